#pragma once

#include <string>
#include <vector>

struct DirectoryEntry {
    std::string name;
    bool isDirectory;
};

// Entries of a folder other than "." and "..", sorted by name so that runs over a
// folder repeat. False when the folder cannot be listed.
bool ReadDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries);

// True when the path names a folder.
bool IsDirectory(const std::string& path);
