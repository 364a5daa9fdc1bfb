#include "protocol/protocolhandler.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "board/boardai.h"
#include "board/coord.h"
#include "board/patterntables.h"
#include "buildinfo.h"
#include "platform/clock.h"
#include "tools/movefile.h"

ProtocolHandler::ProtocolHandler(ProgramArguments args) : programArguments(std::move(args)) {}

void ProtocolHandler::Debug(const std::string& text) {
    diagnostics << "DEBUG " << text << '\n';
}

void ProtocolHandler::Message(const std::string& text) {
    diagnostics << "MESSAGE " << text << '\n';
}

namespace {

const char kNotAMove[] = "expected two numbers x,y.";

// The longest time a millisecond stamp can reach (about 24 days): "no limit".
constexpr int64_t kNoTimeLimit = 2147483647;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The compiler's date with single spaces: "Dec  9 2026" becomes "Dec 9 2026".
std::string BuildDate() {
    std::string date = __DATE__, result;
    for (char c : date)
        if (c != ' ' || (!result.empty() && result.back() != ' ')) result += c;
    return result + " " + __TIME__;
}

}  // namespace

std::string ProtocolHandler::AboutText() {
    const std::pair<const char*, std::string> pairs[] = {
        {"name", "Tamlo"},
        {"version", TAMLO_VERSION},
        {"build", std::string(TAMLO_BRANCH) + "_" + TAMLO_REVISION},
        {"author", "The Tamlo developers"},
        {"email", "tamlo@tamlo.dev"},
        {"country", "Czech Republic"},
        {"builded", BuildDate()},
    };
    std::string text;
    for (const auto& [key, value] : pairs) {
        if (!text.empty()) text += ", ";
        text += std::string(key) + "=\"" + value + "\"";
    }
    return text;
}

std::string ProtocolHandler::CopyrightText() {
    return "Tamlo, copyright (c) 2026 The Tamlo developers, tamlo@tamlo.dev, Czech Republic";
}

int32_t ProtocolHandler::StringToInt(const std::string& text) {
    int v = 0;
    if (sscanf(text.c_str(), "%d", &v) != 1)
        throw std::runtime_error("StringToInt Conversion failed.");
    return v;
}

bool ProtocolHandler::ReadInt64(const std::string& text, int64_t& value) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    uint64_t v = 0;
    const uint64_t limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min<uint64_t>(limit, v * 10 + static_cast<uint64_t>(text[i] - '0'));
    value = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

bool ReadNumbers(const std::string& text, char separator, uint32_t* values, size_t count) {
    size_t i = 0;
    for (size_t n = 0; n < count; ++n) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (n > 0) {
            if (separator != ' ') {
                if (i >= text.size() || text[i] != separator) return false;
                ++i;
                while (i < text.size() && IsBlank(text[i])) ++i;
            } else if (i == 0 || !IsBlank(text[i - 1])) {
                return false;
            }
        }
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
        uint64_t v = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            v = std::min<uint64_t>(4294967295u, v * 10 + static_cast<uint64_t>(text[i] - '0'));
        values[n] = static_cast<uint32_t>(v);
    }
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i == text.size();
}

std::vector<std::string> ListItems(const std::string& text) {
    std::string joined;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) {
            const size_t next = text.find_first_not_of(" \t", i);
            const bool nextComma = next != std::string::npos && text[next] == ',';
            if (nextComma || joined.empty() || joined.back() == ',' || joined.back() == ' ') continue;
            joined += ' ';
            continue;
        }
        joined += c;
    }
    std::vector<std::string> items;
    size_t start = 0;
    while (start < joined.size()) {
        size_t end = joined.find(' ', start);
        if (end == std::string::npos) end = joined.size();
        if (end > start) items.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::string ProtocolHandler::OffBoard(uint32_t x, uint32_t y) {
    if (x < Coord::width && y < Coord::height) return "";
    return Error(std::to_string(x) + "," + std::to_string(y) + " is off the " +
                 std::to_string(Coord::width) + "x" + std::to_string(Coord::height) + " board.");
}

BoardEntry ParseBoardEntry(const std::string& line) {
    uint32_t v[3] = {0, 0, 0};
    if (!ReadNumbers(line, ',', v, 3)) return {0, 0, 0};
    return {v[0], v[1], v[2]};
}

std::string ProtocolHandler::ParseCommand(std::string command, std::string argument) {
    if (command.empty()) return "";

    if (boardMode) {
        if (command == "done") {
            boardMode = false;
            return Board(boardEntries);
        }
        // "7, 7, 1" comes split at its first blank; "7,7,1 x" is 7,7,1.
        BoardEntry entry = ParseBoardEntry(command);
        if (entry.owner == 0 && !argument.empty()) entry = ParseBoardEntry(command + " " + argument);
        boardEntries.push_back(entry);
        return "";
    }

    uint32_t xy[2] = {0, 0};
    const uint32_t &x = xy[0], &y = xy[1];
    if (command == "board") {
        boardMode = true;
        boardEntries.clear();
        // The list may also come on the same line: "board 7,7,1 8,8,2 done".
        std::string reply;
        for (const std::string& item : ListItems(argument)) reply = ParseCommand(item, "");
        return reply;
    }
    if (command == "end") {
        running = false;
        return "";
    }
    if (command == "about") return AboutText();
    if (command == "turn") {
        if (!ReadNumbers(argument, ',', xy, 2)) return Error(kNotAMove);
        return Turn(x, y);
    }
    if (command == "begin") return Begin();
    if (command == "play") {
        if (!ReadNumbers(argument, ',', xy, 2)) return Error(kNotAMove);
        return Play(x, y);
    }
    if (command == "takeback") {
        if (!ReadNumbers(argument, ',', xy, 2)) return Error(kNotAMove);
        return Takeback(x, y);
    }
    if (command == "benchmark") return Benchmark(argument, false);
    if (command == "tcbenchmark") return Benchmark(argument, true);
    if (command == "load") return Load(argument);
    if (command == "info") return Info(argument);
    if (command == "copyright") return CopyrightText();
    if (command == "start") {
        // "START n", or "START w h" as some managers send a rectangle.
        if (ReadNumbers(argument, ' ', xy, 1)) return Start(x, x);
        if (ReadNumbers(argument, ' ', xy, 2)) return Start(x, y);
        return Error("expected a board size.");
    }
    if (command == "rectstart") {
        if (!ReadNumbers(argument, ',', xy, 2)) return Error("expected a board size w,h.");
        return Start(x, y);
    }
    if (command == "test") return SelfTest();
    if (command == "restart") return Restart();
    return quietUnknown ? "" : "UNKNOWN";
}

std::string ProtocolHandler::Info(const std::string& argument) {
    // Managers never read a reply to INFO: what cannot be used is said in a
    // MESSAGE line and otherwise ignored.
    size_t space = argument.find(' ');
    if (space == std::string::npos) {
        Message("INFO ignored: no value in \"" + argument.substr(0, 255) + "\".");
        return "";
    }
    // The settings hold at most 255 characters of each part.
    std::string key = argument.substr(0, space).substr(0, 255);
    std::string value = argument.substr(space + 1).substr(0, 255);
    static const char* const keys[] = {"timeout_turn", "timeout_match", "max_memory",
                                       "time_left",    "game_type",     "rule"};
    if (std::find(std::begin(keys), std::end(keys), key) == std::end(keys)) return "";
    int64_t v = 0;
    if (!ReadInt64(value, v)) {
        Message("INFO " + key + " ignored: \"" + value + "\" is not a number.");
        return "";
    }
    const auto clamp = [](int64_t n, int64_t low, int64_t high) {
        return std::max(low, std::min(high, n));
    };

    if (key == "timeout_turn") {
        // Negative (managers send -1): no limit for the move.
        const uint32_t t = static_cast<uint32_t>(v < 0 ? kNoTimeLimit : clamp(v, 0, kNoTimeLimit));
        uint32_t now = NowMs();
        timeControl.turnTimeout = t;
        timeControl.turnClock = now;
        timeControl.turnDeadline = now + t;
    } else if (key == "timeout_match") {
        // 0, and negative, is a match without a limit; 2147483647 marks "not given".
        timeControl.matchTimeout = static_cast<int32_t>(v < 0 ? 0 : clamp(v, 0, kNoTimeLimit - 1));
    } else if (key == "max_memory") {
        maxMemory = std::max<int64_t>(v, 0);
        SetMaxMemory(maxMemory);
    } else if (key == "time_left") {
        timeControl.SetTimeLeft(static_cast<int32_t>(clamp(v, 0, kNoTimeLimit)));
    } else if (key == "game_type") {
        gameType = static_cast<uint32_t>(v);
    } else if (key == "rule") {
        uint32_t r = static_cast<uint32_t>(v);
        if (r != rule) {
            rule = r;
            SetRule(r);
        }
    }
    return "";
}

std::string ProtocolHandler::Load(const std::string& fileName) {
    std::vector<CellIndex> moves;
    ReadMoveFile(fileName, moves);
    std::vector<BoardEntry> entries;
    // The owners alternate so that the file's last move is the opponent's: the
    // engine then answers for the side to move in the stored position.
    const size_t n = moves.size();
    for (size_t i = 0; i < n; ++i)
        entries.push_back(
            {moves[i] % Coord::width, moves[i] / Coord::width, (n - 1 - i) % 2 == 0 ? 2u : 1u});
    // A refused position leaves the current game as it was.
    std::string refusal = ValidateEntries(entries);
    if (!refusal.empty()) return refusal;
    Restart();
    return Board(std::move(entries));
}

std::string ProtocolHandler::ValidateEntries(const std::vector<BoardEntry>&) {
    return "";
}

void ProtocolHandler::SetRule(uint32_t) {}

std::string ProtocolHandler::SelfTest() {
    throw std::runtime_error("not implemented");
}
