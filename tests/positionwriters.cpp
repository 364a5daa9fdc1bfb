#include "tests/positionwriters.h"

#include <fstream>

#include "board/coord.h"

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
