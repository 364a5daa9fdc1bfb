#include <windows.h>

#include <algorithm>

#include "platform/directory.h"

bool ReadDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries) {
    // "*.*" matches every name, with or without a dot.
    std::string pattern = folder;
    if (!pattern.empty() && !IsPathSeparator(pattern.back())) pattern += PathSeparatorFor(folder);
    pattern += "*.*";
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        // An empty folder still lists "." and ".."; only a missing or unreadable
        // one fails, except a drive root, which has neither.
        return GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(folder.empty() ? "." : folder);
    }
    std::vector<DirectoryEntry> found;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        found.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(search, &data));
    FindClose(search);
    // The file system's own order differs between volumes; byte order matches
    // the other systems.
    std::sort(found.begin(), found.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    entries.insert(entries.end(), found.begin(), found.end());
    return true;
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

char PathSeparatorFor(const std::string& folder) {
    for (auto it = folder.rbegin(); it != folder.rend(); ++it)
        if (IsPathSeparator(*it)) return *it;
    return '\\';
}
