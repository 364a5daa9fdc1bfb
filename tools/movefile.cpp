#include "tools/movefile.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "board/simpleboard.h"
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

void WriteMoveFile(const SimpleBoard& board, const std::string& path) {
    std::ofstream out(path);
    if (!out.is_open()) return;
    out << "Tamlo " << Coord::width << "x" << Coord::height << std::endl;
    for (uint32_t i = 0; i < board.mMoveCount; ++i) {
        uint32_t z = board.mMoves[i];
        out << z % Coord::width + 1 << "," << z / Coord::width + 1 << ",0" << std::endl;
    }
}

void WritePositionXml(const SimpleBoard& board, const std::string& path,
                      const std::vector<uint32_t>& marks) {
    static const char* const kMarkNames[] = {"", "MustInclude", "MustNotInclude", "ShouldInclude",
                                             "ShouldNotInclude"};
    std::ofstream out(path);
    if (!out.is_open()) return;
    out << "<?xml version=\"1.0\" encoding=\"ASCII\"?>" << std::endl;
    out << "<gomoku>" << std::endl;
    out << "<rule width=\"" << Coord::width << "\" height=\"" << Coord::height << "\" />"
        << std::endl;
    out << "<stones>" << std::endl;
    for (uint32_t i = 0; i < board.mMoveCount; ++i) {
        uint32_t z = board.mMoves[i];
        out << "<stone x=\"" << z % Coord::width << "\" y=\"" << z / Coord::width << "\" index=\""
            << i << "\">" << (board.mCells[z] == 1 ? "x" : "o") << "</stone>" << std::endl;
    }
    out << "</stones>" << std::endl;
    out << "<marks>" << std::endl;
    for (uint32_t z = 0; z < Coord::area && z < marks.size(); ++z) {
        if (marks[z] == 0) continue;
        const char* name = marks[z] <= 4 ? kMarkNames[marks[z]] : "";
        out << "<mark x=\"" << z % Coord::width << "\" y=\"" << z / Coord::width << "\"  type=\""
            << name << "\" />" << std::endl;
    }
    out << "</marks>" << std::endl;
    out << "</gomoku>" << std::endl;
}
