#pragma once

#include <cstdint>
#include <string_view>

#include "board/boardai.h"
#include "board/cellcodes.h"

// Owns the process-wide learned tables: the learned evaluation's values. They
// are data files the build embeds (board/learnedvalues.txt), parsed once by
// Load and never changed after, so searches on any thread read them without
// locks.
class LearnedTables {
  public:
    // Parses the embedded files the first time it runs (BoardAI::Alloc calls
    // it); throws std::runtime_error when one is malformed.
    static void Load();
    static const CodeValues& Values() { return sValues; }

  private:
    static CodeValues sValues;
};

// The file's text into its table; throws std::runtime_error unless the sections
// are exactly the expected ones with the expected shapes.
void ParseLearnedValues(std::string_view text, CodeValues& out);

// The embedded file's text; the build makes its definition from the file.
std::string_view EmbeddedLearnedValues();

