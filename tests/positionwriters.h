#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/simpleboard.h"

// Writers of the engine's position files, which no command of the program
// calls: tests write files that the readers must take back.

// Writes the board's moves as a move file; a file that cannot be created is
// silently left unwritten.
void WriteMoveFile(const SimpleBoard& board, const std::string& path);

// Writes the board and one mark per cell as a small XML document.
void WritePositionXml(const SimpleBoard& board, const std::string& path,
                      const std::vector<uint32_t>& marks);
