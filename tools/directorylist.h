#pragma once

#include <string>
#include <vector>

// Folder and name joined by exactly one path separator (see PathSeparatorFor);
// either alone when the other is empty.
std::string JoinPath(const std::string& folder, const std::string& name);

// Appends the full path of every entry of the folder (files and subfolders, not
// "." and ".."), sorted by name. Returns 0, or non-zero when the folder cannot be
// listed (the list is then unchanged).
int ListDirectory(const std::string& folder, std::vector<std::string>& list);
