#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/programarguments.h"
#include "search/timecontrol.h"

// One line collected between BOARD and DONE.
struct BoardEntry {
    uint32_t x;
    uint32_t y;
    uint32_t owner;  // 1 = engine, 2 = opponent, 3 = continuous game (not supported)
};

// A list line "x,y,owner"; a line that is not three numbers gives owner 0, which
// no list accepts.
BoardEntry ParseBoardEntry(const std::string& line);

// The items of a list sent on one line ("7,7,1 8, 8, 2 done"): blanks around
// commas joined, the rest split at blanks.
std::vector<std::string> ListItems(const std::string& text);

// Unsigned decimals separated by the separator (blanks allowed around each), and
// nothing else; false for anything else. A number too large for 32 bits reads as
// 4294967295, which no board has.
bool ReadNumbers(const std::string& text, char separator, uint32_t* values, size_t count);

// Interprets one command word and its argument and answers with the reply line.
// Owns the manager's settings (memory, rule, time limits) and the diagnostics
// buffer that the searches write into while a command runs. Everything that
// needs a board or a search is reached through the virtual slots.
class ProtocolHandler {
  public:
    explicit ProtocolHandler(ProgramArguments args);
    virtual ~ProtocolHandler() = default;

    // Command-loop members.
    bool running = true;
    std::string line;
    ProgramArguments programArguments;
    std::stringstream diagnostics;
    // Writes text at once, flushed, ahead of the reply (the console's standard
    // output); none: text waits in the diagnostics for the reply.
    std::function<void(const std::string&)> output;

    bool boardMode = false;
    static constexpr int64_t kDefaultMaxMemory = 104857600;
    int64_t maxMemory = kDefaultMaxMemory;  // 0: no limit given
    uint32_t gameType = 1;
    uint32_t rule = 0;
    std::vector<BoardEntry> boardEntries;
    TimeControl timeControl;

    // Slots 0..12.
    virtual std::string Turn(uint32_t x, uint32_t y) = 0;
    virtual std::string Begin() = 0;
    virtual std::string Board(std::vector<BoardEntry> entries) = 0;
    virtual std::string Start(uint32_t width, uint32_t height) = 0;
    virtual std::string Restart() = 0;
    virtual std::string Takeback(uint32_t x, uint32_t y) = 0;
    virtual std::string Play(uint32_t x, uint32_t y) = 0;
    virtual void SetMaxMemory(int64_t bytes) = 0;
    virtual std::string Think() = 0;
    virtual std::string Benchmark(std::string argument, bool statistics) = 0;
    virtual std::string ParseCommand(std::string command, std::string argument);
    virtual void SetRule(uint32_t value);
    virtual std::string SelfTest();
    // The flag that ends a running search when another thread raises it; none
    // when nothing here searches.
    virtual std::atomic<bool>* StopFlag() { return nullptr; }

    void Debug(const std::string& text);
    void Message(const std::string& text);
    static std::string Error(const std::string& text) { return "ERROR " + text; }
    // The refusal of a cell outside the board, in the user's terms; empty for
    // a cell on it.
    static std::string OffBoard(uint32_t x, uint32_t y);

    static std::string AboutText();
    static std::string CopyrightText();
    // Signed decimal as "%d" reads it; throws when there is no number.
    static int32_t StringToInt(const std::string& text);
    // Signed decimal (leading blanks, trailing text ignored) in 64 bits, saturated;
    // false when there is no number.
    static bool ReadInt64(const std::string& text, int64_t& value);

    // After "yxshowinfo" (a GUI): unknown words get no reply, since a GUI takes
    // any line for the engine's move.
    bool quietUnknown = false;

  protected:
    std::string Info(const std::string& argument);
    std::string Load(const std::string& fileName);
    // Checks a list of board entries before any change: raises the coordinate error
    // for a cell outside the board, answers an error reply for a refused list, or
    // an empty text when the list is sound.
    virtual std::string ValidateEntries(const std::vector<BoardEntry>& entries);
};
