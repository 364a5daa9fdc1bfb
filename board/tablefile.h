#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text form of a learned table, written by the tuner and embedded by the
// build:
//
//   # header lines (the command and the fit that made the file)
//   NAME ROWS COLUMNS
//   ROWS lines of COLUMNS integers
//   ... more sections ...
//   end
//
// Reading is strict (every row whole, nothing after "end"), so a cut or
// edited file fails loudly instead of loading zeros.
struct TableSection {
    std::string name;
    uint32_t rows = 0;
    uint32_t columns = 0;
    std::vector<int32_t> values;  // rows * columns, row by row
};

// Throws std::runtime_error naming the line that is wrong.
std::vector<TableSection> ParseTableFile(std::string_view text);
// Header lines are written with "# " in front of each.
std::string WriteTableFile(const std::vector<std::string>& header,
                           const std::vector<TableSection>& sections);
