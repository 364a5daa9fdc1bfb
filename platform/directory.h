#pragma once

#include <string>
#include <vector>

struct DirectoryEntry {
    std::string name;
    bool isDirectory;
};

// Entries of a folder other than "." and "..", sorted by name (byte order) so that
// runs over a folder repeat on every system. False when the folder cannot be
// listed.
bool ReadDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries);

// True when the path names a folder.
bool IsDirectory(const std::string& path);

// True for a character that separates the parts of a path: "/" everywhere, and
// "\" as well on Windows.
bool IsPathSeparator(char c);

// The separator to put between a folder and a name inside it: on Windows the one
// the folder already uses, so a path keeps one style, and "\" when it has none.
char PathSeparatorFor(const std::string& folder);
