#pragma once

#include <cstdint>
#include <string_view>

#include "board/boardai.h"
#include "board/cellcodes.h"

// Per-code move scores for ordering, in hundredths of a logit of the softmax
// they were fitted with: [code][0] for the side to move's code of the cell (its
// value as an attack), [code][1] for the opponent's code of the same cell (its
// value as a block). A cell's score is the sum of the two.
struct MoveScores {
    int32_t score[kCellCodeCount][2];
};

// Owns the process-wide learned tables: the learned evaluation's values and the
// move scores. They are data files the build embeds (board/learnedvalues.txt,
// board/movescores.txt), parsed once by Load and never changed after, so
// searches on any thread read them without locks.
class LearnedTables {
  public:
    // Parses the embedded files the first time it runs (BoardAI::Alloc calls
    // it); throws std::runtime_error when one is malformed.
    static void Load();
    static const CodeValues& Values() { return sValues; }
    static const MoveScores& Moves() { return sMoves; }

  private:
    static CodeValues sValues;
    static MoveScores sMoves;
};

// A file's text into its table; throws std::runtime_error unless the sections
// are exactly the expected ones with the expected shapes.
void ParseLearnedValues(std::string_view text, CodeValues& out);
void ParseMoveScores(std::string_view text, MoveScores& out);

// The embedded files' text; the build makes their definitions from the files.
std::string_view EmbeddedLearnedValues();
std::string_view EmbeddedMoveScores();

// The move score of the side to move taking cell (empty). Reads the codes the
// board keeps when a CodeValues table is attached, else computes them from the
// category words.
inline int32_t MoveScore(const BoardAI& b, CellIndex cell) {
    const uint32_t own = b.mToMove - 1, opp = b.mOpponent - 1;
    uint32_t ownCode, oppCode;
    if (b.mCodes.values) {
        ownCode = b.mCodes.code[cell][own];
        oppCode = b.mCodes.code[cell][opp];
    } else {
        ownCode = CellCode(b.mCategoryWord[cell][own]);
        oppCode = CellCode(b.mCategoryWord[cell][opp]);
    }
    const MoveScores& m = LearnedTables::Moves();
    return m.score[ownCode][0] + m.score[oppCode][1];
}
