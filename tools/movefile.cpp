#include "tools/movefile.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "platform/directory.h"

namespace {

std::runtime_error FileError(const char* format, const std::string& path) {
    char buffer[256];
    snprintf(buffer, sizeof buffer, format, path.c_str());
    return std::runtime_error(buffer);
}

}  // namespace

void ReadMoveFile(const std::string& path, std::vector<CellIndex>& list) {
    std::ifstream in;
    // A folder opens like a file here; refuse it as unreadable.
    if (!IsDirectory(path)) in.open(path);
    if (!in.is_open()) throw FileError("Failed to open file %s.", path);

    std::string line;
    std::getline(in, line);
    while (in.good()) {
        int next = in.peek();
        if (next == EOF || std::isalpha(next)) break;
        if (!std::getline(in, line)) break;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // At most 255 characters of a line are read; a longer line ends the list.
        bool cut = line.size() > 255;
        if (cut) line.resize(255);
        if (line.empty()) break;
        unsigned short x = 0, y = 0;
        int colour = 0;
        int fields = sscanf(line.c_str(), "%hu,%hu,%d", &x, &y, &colour);
        if (fields == 3) {
            list.push_back(Coord::xy2z(static_cast<uint32_t>(x - 1), static_cast<uint32_t>(y - 1)));
        } else if (fields == 1) {
            break;
        } else {
            throw FileError("Failed to read data in file %s.", path);
        }
        if (cut) break;
    }
}
