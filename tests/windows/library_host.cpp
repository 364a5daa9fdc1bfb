// A Windows host of tamlo.dll, as a manager that plays in-process would be: it
// loads the library with LoadLibraryA, finds the four functions with
// GetProcAddress, checks the library's error cases and plays a game through
// command, checking every reply with the independent referee. Prints each
// failed check and exits with 1 when there was any.
//
// Usage: tamlo-library-host [path of tamlo.dll]

#include <windows.h>
// The host's own C runtime calls, which the library must leave alone.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "referee.h"

namespace {

using tamlo_test::Cell;
using tamlo_test::ParseMove;
using tamlo_test::Referee;

int checks = 0, failures = 0;

void Check(bool ok, const std::string& what, int line) {
    ++checks;
    if (ok) return;
    ++failures;
    printf("FAILED (line %d): %s\n", line, what.c_str());
    fflush(stdout);
}
#define CHECK(condition, what) Check((condition), (what), __LINE__)

using OpenFn = void (*)();
using CommandFn = const char* (*)(const char*);
using CloseFn = void (*)();
using TestFn = int (*)();

struct Library {
    HMODULE module = nullptr;
    OpenFn open = nullptr;
    CommandFn command = nullptr;
    CloseFn close = nullptr;
    TestFn test = nullptr;

    // The reply as text, "<null>" for an empty one.
    std::string Reply(const std::string& text) const {
        const char* reply = command(text.c_str());
        return reply ? std::string(reply) : std::string("<null>");
    }
};

// GetProcAddress gives a FARPROC; the functions have the plain C signatures.
template <typename Fn>
Fn Find(HMODULE module, const char* name) {
    FARPROC address = GetProcAddress(module, name);
    Fn fn;
    static_assert(sizeof fn == sizeof address);
    std::memcpy(&fn, &address, sizeof fn);
    return fn;
}

// The move of a reply: its last line (diagnostic lines come first).
std::string LastLine(const std::string& reply) {
    size_t nl = reply.rfind('\n');
    return nl == std::string::npos ? reply : reply.substr(nl + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

void ErrorCases(const Library& lib) {
    CHECK(lib.test() == 123, "test() answers 123 before open");
    CHECK(lib.Reply("start 20") == "ERROR engine is not open.", "command before open is refused");
    lib.open();
    CHECK(lib.test() == 123, "test() answers 123 after open");
    const char* ok = lib.command("start 20");
    CHECK(ok && std::strcmp(ok, "OK") == 0, "start 20 answers OK");
    CHECK(lib.command("start 20") == ok, "OK is one static text");
    CHECK(lib.command("info timeout_turn 1000") == nullptr, "INFO answers null");
    CHECK(lib.Reply("START 20") == "UNKNOWN", "command words are not lower-cased");
    CHECK(lib.command("") == nullptr, "an empty line answers null");
    std::string about = lib.Reply("about");
    CHECK(StartsWith(about, "name=\"Tamlo\", version=\"") && about.find('\n') == std::string::npos,
          "about is one line: " + about);
    // Errors that end the console program come back, and the game goes on.
    CHECK(lib.Reply("turn 25,3") == "ERROR 25,3 is off the 20x20 board.", "coordinate error");
    CHECK(StartsWith(lib.Reply("info time_left abc"), "MESSAGE INFO time_left ignored"),
          "an unreadable INFO value is ignored");
    CHECK(lib.Reply("rectstart 128,2") ==
              "ERROR a board has 2 to 127 cells a side and at most 400 cells.",
          "board size error");
    CHECK(lib.Reply("start 21") == "ERROR maximum board size is 400 fields.", "refused size");
    std::string move = LastLine(lib.Reply("turn 10,10"));
    CHECK(ParseMove(move).has_value(), "a move after the errors: " + move);
    CHECK(lib.Reply("turn 10,10") == "ERROR cell is occupied.", "occupied cell");
    // A reply longer than any fixed buffer comes back whole.
    std::string folder = "Z:\\nonexistent\\" + std::string(1500, 'x');
    CHECK(lib.Reply("benchmark " + folder) == "ERROR failed to list directory " + folder,
          "a long reply is whole");
    CHECK(lib.command("end") == nullptr, "END answers null");
    CHECK(lib.Reply("rectstart 10,8") == "OK", "END does not close the library");
    lib.close();
    lib.close();  // closing twice is harmless
    lib.open();
    CHECK(LastLine(lib.Reply("begin")) == "10,10", "open after close starts on 20 x 20");
    lib.close();
}

// The opponent completes its own five, else blocks the engine's, else takes the
// free cell nearest the centre.
Cell OpponentMove(Referee& referee) {
    for (int stone : {2, 1}) {
        std::vector<Cell> fives = referee.FiveCells(stone);
        if (!fives.empty()) return fives.front();
    }
    const int cx = referee.Width() / 2, cy = referee.Height() / 2;
    Cell best{-1, -1};
    int bestDistance = 1 << 30;
    for (int y = 0; y < referee.Height(); ++y)
        for (int x = 0; x < referee.Width(); ++x) {
            int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (referee.IsEmpty({x, y}) && d < bestDistance) {
                best = {x, y};
                bestDistance = d;
            }
        }
    return best;
}

// A whole game on 15 x 15, the engine opening; the engine should beat this
// opponent long before the board fills.
void PlayGame(const Library& lib) {
    lib.open();
    CHECK(lib.Reply("start 15") == "OK", "start 15");
    lib.command("info timeout_turn 200");
    lib.command("info timeout_match 100000");
    Referee referee(15, 15);
    std::string reply = lib.Reply("begin");
    int winner = 0;
    while (!referee.Full()) {
        std::optional<Cell> move = ParseMove(LastLine(reply));
        if (!move || !referee.IsLegal(*move)) {
            CHECK(false, "the engine's reply is a legal move: " + reply);
            break;
        }
        referee.Place(*move, 1);
        if (referee.IsFiveAt(*move)) {
            winner = 1;
            break;
        }
        if (referee.Full()) break;
        Cell answer = OpponentMove(referee);
        referee.Place(answer, 2);
        if (referee.IsFiveAt(answer)) {
            winner = 2;
            break;
        }
        reply = lib.Reply("turn " + tamlo_test::ToString(answer));
        // Its own last stone is refused, and the game goes on.
        if (referee.Stones() == 6)
            CHECK(lib.Reply("turn " + tamlo_test::ToString(answer)) == "ERROR cell is occupied.",
                  "a turn on the opponent's stone is refused");
    }
    CHECK(winner == 1, "the engine wins the game, after " + std::to_string(referee.Stones()) +
                           " stones:\n" + referee.Diagram());
    lib.close();
}

void HostRuntimeUntouched() {
    // The library exports no symbol called open or close, so the host's C
    // runtime still reaches its own files.
    char directory[MAX_PATH], path[MAX_PATH];
    CHECK(GetTempPathA(MAX_PATH, directory) && GetTempFileNameA(directory, "tam", 0, path),
          "a temporary file");
    int fd = _open(path, _O_RDONLY);
    CHECK(fd >= 0, "the host's _open works");
    if (fd >= 0) CHECK(_close(fd) == 0, "the host's _close works");
    DeleteFileA(path);
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "tamlo.dll";
    Library lib;
    lib.module = LoadLibraryA(path);
    if (!lib.module) {
        printf("FAILED: LoadLibraryA(%s): error %lu\n", path, GetLastError());
        return 1;
    }
    lib.open = Find<OpenFn>(lib.module, "open");
    lib.command = Find<CommandFn>(lib.module, "command");
    lib.close = Find<CloseFn>(lib.module, "close");
    lib.test = Find<TestFn>(lib.module, "test");
    if (!lib.open || !lib.command || !lib.close || !lib.test) {
        printf("FAILED: GetProcAddress found open %d, command %d, close %d, test %d\n",
               lib.open != nullptr, lib.command != nullptr, lib.close != nullptr,
               lib.test != nullptr);
        return 1;
    }
    CHECK(GetProcAddress(lib.module, "TamloOpen") == nullptr, "only the plain names are exported");

    ErrorCases(lib);
    PlayGame(lib);
    HostRuntimeUntouched();
    CHECK(FreeLibrary(lib.module) != 0, "FreeLibrary");

    printf("%d checks, %d failed\n", checks, failures);
    return failures ? 1 : 0;
}
