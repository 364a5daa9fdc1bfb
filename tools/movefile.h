#pragma once

#include <string>
#include <vector>

#include "board/coord.h"

// Move files: a header line, then one "x,y,colour" line per move with 1-based
// coordinates, in playing order. The list ends at the end of the file, an empty
// line, a line starting with a letter or a line holding a single number.

// Appends the file's cells to list. Throws on a file that cannot be read or a
// malformed line, and the coordinate error for a cell outside the board.
void ReadMoveFile(const std::string& path, std::vector<CellIndex>& list);
