#include "board/tablefile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <stdexcept>

namespace {

class LineReader {
  public:
    explicit LineReader(std::string_view text) : mText(text) {}

    // The next line that is neither blank nor a comment; false at the end.
    bool Next(std::string_view& line) {
        while (mPos < mText.size()) {
            const size_t end = std::min(mText.find('\n', mPos), mText.size());
            line = mText.substr(mPos, end - mPos);
            mPos = end + 1;
            ++mNumber;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const size_t first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos || line[first] == '#') continue;
            return true;
        }
        return false;
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("table file, line " + std::to_string(mNumber) + ": " + what);
    }

  private:
    std::string_view mText;
    size_t mPos = 0;
    int mNumber = 0;
};

// The line's whitespace-separated integers; anything else fails.
std::vector<int64_t> Integers(std::string_view line, const LineReader& reader) {
    std::vector<int64_t> out;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) return out;
        int64_t v = 0;
        const auto [end, error] = std::from_chars(line.data() + i, line.data() + line.size(), v);
        const size_t next = static_cast<size_t>(end - line.data());
        if (error != std::errc() || (next < line.size() && line[next] != ' ' && line[next] != '\t'))
            reader.Fail("not an integer: " + std::string(line.substr(i)));
        out.push_back(v);
        i = next;
    }
}

}  // namespace

std::vector<TableSection> ParseTableFile(std::string_view text) {
    LineReader reader(text);
    std::vector<TableSection> sections;
    std::string_view line;
    while (reader.Next(line)) {
        const size_t space = line.find(' ');
        const std::string_view name = line.substr(0, space);
        if (name == "end") {
            if (space != std::string_view::npos) reader.Fail("text after end");
            if (reader.Next(line)) reader.Fail("text after end");
            return sections;
        }
        if (space == std::string_view::npos) reader.Fail("a section needs NAME ROWS COLUMNS");
        const std::vector<int64_t> shape = Integers(line.substr(space), reader);
        if (shape.size() != 2 || shape[0] <= 0 || shape[1] <= 0 || shape[0] * shape[1] > (1 << 24))
            reader.Fail("a section needs NAME ROWS COLUMNS");
        TableSection s{std::string(name), static_cast<uint32_t>(shape[0]),
                       static_cast<uint32_t>(shape[1]), {}};
        s.values.reserve(s.rows * s.columns);
        for (uint32_t r = 0; r < s.rows; ++r) {
            if (!reader.Next(line)) reader.Fail("section " + s.name + " is cut short");
            const std::vector<int64_t> row = Integers(line, reader);
            if (row.size() != s.columns)
                reader.Fail("section " + s.name + " wants " + std::to_string(s.columns) +
                            " numbers a row");
            for (int64_t v : row) {
                if (v < INT32_MIN || v > INT32_MAX) reader.Fail("number out of range");
                s.values.push_back(static_cast<int32_t>(v));
            }
        }
        sections.push_back(std::move(s));
    }
    reader.Fail("no end line: the file is cut short");
}

std::string WriteTableFile(const std::vector<std::string>& header,
                           const std::vector<TableSection>& sections) {
    std::string out;
    for (const std::string& h : header) out += "# " + h + "\n";
    for (const TableSection& s : sections) {
        if (s.values.size() != static_cast<size_t>(s.rows) * s.columns)
            throw std::logic_error("section " + s.name + " does not hold rows * columns values");
        out += s.name + " " + std::to_string(s.rows) + " " + std::to_string(s.columns) + "\n";
        for (uint32_t r = 0; r < s.rows; ++r) {
            for (uint32_t c = 0; c < s.columns; ++c) {
                if (c) out += ' ';
                out += std::to_string(s.values[r * s.columns + c]);
            }
            out += '\n';
        }
    }
    out += "end\n";
    return out;
}
