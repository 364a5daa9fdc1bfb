#include "protocol/protocolhandler.h"

#include <cstdio>
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

// "%u"-style reading: leading blanks skipped, a leading minus wraps, a value the
// text does not hold stays 0.
void ReadUnsigned(const std::string& text, uint32_t& a) {
    unsigned int v = 0;
    if (sscanf(text.c_str(), "%u", &v) >= 1) a = v;
}

void ReadUnsignedPair(const std::string& text, uint32_t& a, uint32_t& b) {
    unsigned int v[2] = {0, 0};
    sscanf(text.c_str(), "%u,%u", &v[0], &v[1]);
    a = v[0];
    b = v[1];
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

BoardEntry ParseBoardEntry(const std::string& line) {
    unsigned int v[3] = {0, 0, 0};
    sscanf(line.c_str(), "%u,%u,%u", &v[0], &v[1], &v[2]);
    return {v[0], v[1], v[2]};
}

std::string ProtocolHandler::ParseCommand(std::string command, std::string argument) {
    if (command.empty()) return "";

    if (boardMode) {
        if (command == "done") {
            boardMode = false;
            return Board(boardEntries);
        }
        boardEntries.push_back(ParseBoardEntry(command));
        return "";
    }

    uint32_t x = 0, y = 0;
    if (command == "board") {
        boardMode = true;
        boardEntries.clear();
        return "";
    }
    if (command == "end") {
        running = false;
        return "";
    }
    if (command == "about") return AboutText();
    if (command == "turn") {
        ReadUnsignedPair(argument, x, y);
        return Turn(x, y);
    }
    if (command == "begin") return Begin();
    if (command == "play") {
        ReadUnsignedPair(argument, x, y);
        return Play(x, y);
    }
    if (command == "takeback") {
        ReadUnsignedPair(argument, x, y);
        return Takeback(x, y);
    }
    if (command == "benchmark") return Benchmark(argument, false);
    if (command == "tcbenchmark") return Benchmark(argument, true);
    if (command == "load") return Load(argument);
    if (command == "info") return Info(argument);
    if (command == "copyright") return CopyrightText();
    if (command == "start") {
        ReadUnsigned(argument, x);
        return Start(x, x);
    }
    if (command == "rectstart") {
        ReadUnsignedPair(argument, x, y);
        return Start(x, y);
    }
    if (command == "test") return SelfTest();
    if (command == "restart") return Restart();
    return "UKNOWN";
}

std::string ProtocolHandler::Info(const std::string& argument) {
    size_t space = argument.find(' ');
    if (space == std::string::npos) return Error("uknown info format.");
    // The settings hold at most 255 characters of each part.
    std::string key = argument.substr(0, space).substr(0, 255);
    std::string value = argument.substr(space + 1).substr(0, 255);

    if (key == "timeout_turn") {
        int32_t v = StringToInt(value);
        uint32_t now = NowMs();
        timeControl.turnTimeout = static_cast<uint32_t>(v);
        timeControl.turnClock = now;
        timeControl.turnDeadline = now + static_cast<uint32_t>(v);
    } else if (key == "timeout_match") {
        timeControl.matchTimeout = StringToInt(value);
    } else if (key == "max_memory") {
        maxMemory = StringToInt(value);
        SetMaxMemory(maxMemory);
    } else if (key == "time_left") {
        timeControl.SetTimeLeft(StringToInt(value));
    } else if (key == "game_type") {
        gameType = static_cast<uint32_t>(StringToInt(value));
    } else if (key == "rule") {
        uint32_t v = static_cast<uint32_t>(StringToInt(value));
        if (v != rule) {
            rule = v;
            SetRule(v);
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
