#include "board/learnedtables.h"

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/tablefile.h"

CodeValues LearnedTables::sValues;
MoveScores LearnedTables::sMoves;

namespace {

struct Shape {
    const char* name;
    uint32_t rows, columns;
};

// The file's sections, checked against the shapes expected of it in order;
// answers their values.
std::vector<std::vector<int32_t>> Sections(std::string_view text, const char* file,
                                           std::initializer_list<Shape> shapes) {
    std::vector<TableSection> sections;
    try {
        sections = ParseTableFile(text);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string(file) + ": " + e.what());
    }
    if (sections.size() != shapes.size())
        throw std::runtime_error(std::string(file) + ": " + std::to_string(sections.size()) +
                                 " sections, expected " + std::to_string(shapes.size()));
    std::vector<std::vector<int32_t>> out;
    size_t i = 0;
    for (const Shape& shape : shapes) {
        const TableSection& s = sections[i++];
        if (s.name != shape.name || s.rows != shape.rows || s.columns != shape.columns)
            throw std::runtime_error(std::string(file) + ": section " + s.name + " " +
                                     std::to_string(s.rows) + " x " + std::to_string(s.columns) +
                                     ", expected " + shape.name + " " + std::to_string(shape.rows) +
                                     " x " + std::to_string(shape.columns));
        out.push_back(s.values);
    }
    return out;
}

constexpr uint32_t kPresenceColumns = 16;

}  // namespace

void ParseLearnedValues(std::string_view text, CodeValues& out) {
    const auto s = Sections(text, "learned values",
                            {{"codes", kCellCodeCount, 2},
                             {"presence", kPresenceCount / kPresenceColumns, kPresenceColumns},
                             {"danger", 1, 2}});
    // Every parameter of the evaluation, no more and no fewer.
    if (s[0].size() + s[1].size() + s[2].size() != 2 * kCellCodeCount + kPresenceCount + 2)
        throw std::runtime_error("learned values: wrong number of parameters");
    for (uint32_t code = 0; code < kCellCodeCount; ++code) {
        out.value[code][0] = s[0][2 * code];
        out.value[code][1] = s[0][2 * code + 1];
    }
    for (uint32_t i = 0; i < kPresenceCount; ++i) out.presence[i] = s[1][i];
    out.danger[0] = s[2][0];
    out.danger[1] = s[2][1];
}

void ParseMoveScores(std::string_view text, MoveScores& out) {
    const auto s = Sections(text, "move scores", {{"moves", kCellCodeCount, 2}});
    if (s[0].size() != 2 * kCellCodeCount)
        throw std::runtime_error("move scores: wrong number of parameters");
    for (uint32_t code = 0; code < kCellCodeCount; ++code) {
        out.score[code][0] = s[0][2 * code];
        out.score[code][1] = s[0][2 * code + 1];
    }
}

void LearnedTables::Load() {
    static std::once_flag once;
    std::call_once(once, [] {
        ParseLearnedValues(EmbeddedLearnedValues(), sValues);
        ParseMoveScores(EmbeddedMoveScores(), sMoves);
    });
}
