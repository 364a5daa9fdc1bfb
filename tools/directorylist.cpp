#include "tools/directorylist.h"

#include "platform/directory.h"

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    bool folderSlash = IsPathSeparator(folder.back()), nameSlash = IsPathSeparator(name.front());
    if (folderSlash && nameSlash) return folder + name.substr(1);
    if (folderSlash || nameSlash) return folder + name;
    return folder + PathSeparatorFor(folder) + name;
}

int ListDirectory(const std::string& folder, std::vector<std::string>& list) {
    std::vector<DirectoryEntry> entries;
    if (!ReadDirectory(folder, entries)) return 1;
    for (const DirectoryEntry& e : entries) list.push_back(JoinPath(folder, e.name));
    return 0;
}
