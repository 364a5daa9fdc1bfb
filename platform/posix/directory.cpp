#include "platform/directory.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

bool ReadDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return false;
    std::vector<DirectoryEntry> found;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string path = folder.empty() ? name : folder + "/" + name;
        found.push_back({name, IsDirectory(path)});
    }
    closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    entries.insert(entries.end(), found.begin(), found.end());
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPathSeparator(char c) {
    return c == '/';
}

char PathSeparatorFor(const std::string&) {
    return '/';
}
