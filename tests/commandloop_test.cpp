#include "app/commandloop.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/programarguments.h"
#include "process_helpers.h"
#include "protocol/protocolhandler.h"

using tamlo_test::kAboutLine;
using tamlo_test::kAnyMove;
using tamlo_test::RunResult;
using tamlo_test::RunTamlo;
using tamlo_test::SameLines;
using tamlo_test::Session;
using tamlo_test::SplitLines;
using tamlo_test::StripDiagnostics;
using tamlo_test::TempDir;

namespace {

// The output lines of a run, diagnostic blocks removed.
std::vector<std::string> Lines(const RunResult& r) {
    return StripDiagnostics(SplitLines(r.output));
}

// Every reply line ends with a line feed.
::testing::AssertionResult EndsWithLineFeed(const RunResult& r) {
    if (r.output.empty() || r.output.back() == '\n') return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "output does not end with a line feed\n"
                                         << tamlo_test::Describe(r);
}

// ---------------------------------------------------------------------------
// The replay file "input.txt"

TEST(ReplayFile, EchoesEveryLineThenContinuesWithStandardInput) {
    TempDir dir;
    dir.WriteFile("input.txt", "START 20\nBEGIN\n");
    RunResult r = RunTamlo("END\n", {}, dir.Path());
    ASSERT_FALSE(r.timedOut) << tamlo_test::Describe(r);
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    // The empty line is the echo of the empty read at the end of the file.
    EXPECT_TRUE(SameLines({"START 20", "OK", "BEGIN", "10,10", "", "END"}, Lines(r)));
    EXPECT_TRUE(EndsWithLineFeed(r));
}

TEST(ReplayFile, CarriageReturnsAreNotPartOfTheLines) {
    TempDir dir;
    dir.WriteFile("input.txt", "START 15\r\nBEGIN\r\n");
    RunResult r = RunTamlo("END\r\n", {}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({"START 15", "OK", "BEGIN", "7,7", "", "END"}, Lines(r)));
}

TEST(ReplayFile, LastLineWithoutLineFeedGivesNoEmptyEcho) {
    TempDir dir;
    dir.WriteFile("input.txt", "start 20\nabout");
    RunResult r = RunTamlo("end\n", {}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({"start 20", "OK", "about", kAboutLine, "end"}, Lines(r)));
}

TEST(ReplayFile, EndInsideTheFileStopsWithoutReadingStandardInput) {
    TempDir dir;
    dir.WriteFile("input.txt", "start 20\nend\nabout\n");
    tamlo_test::RunOptions options;
    options.workingDirectory = dir.Path();
    options.closeInput = false;  // a read of standard input would hang
    RunResult r = tamlo_test::RunProcess(options);
    ASSERT_FALSE(r.timedOut) << tamlo_test::Describe(r);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(SameLines({"start 20", "OK", "end"}, Lines(r)));
}

// ---------------------------------------------------------------------------
// The --command option

TEST(CommandOption, PiecesAnswerBeforeAnyInputIsRead) {
    Session session({"--command", "start 15;begin"});
    // Nothing has been written to the program yet.
    EXPECT_EQ(session.ReadReply(), "OK");
    EXPECT_EQ(session.ReadReply(), "7,7");
    ASSERT_TRUE(session.WriteLine("end"));
    EXPECT_EQ(session.Wait(), 0);
    EXPECT_FALSE(session.TimedOut());
    EXPECT_EQ(session.RemainingOutput(), "");
}

TEST(CommandOption, EndStopsWithoutReadingInputButLaterPiecesStillRun) {
    tamlo_test::RunOptions options;
    options.arguments = {"--command", "end;start 21;xyz;about"};
    options.closeInput = false;  // a read of standard input would hang
    RunResult r = tamlo_test::RunProcess(options);
    ASSERT_FALSE(r.timedOut) << tamlo_test::Describe(r);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(
        SameLines({"ERROR maximum board size is 400 fields.", "UNKNOWN", kAboutLine}, Lines(r)));
}

TEST(CommandOption, PiecesAreNeitherLowerCasedNorEchoed) {
    TempDir dir;
    dir.WriteFile("input.txt", "ABOUT\n");  // echo is on for the replay file
    RunResult r = RunTamlo("end\n", {"--command", "START 15;BEGIN;start 15"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({"UNKNOWN", "UNKNOWN", "OK", "ABOUT", kAboutLine, "", "end"}, Lines(r)));
}

TEST(CommandOption, MissingOrEmptyValueRunsNothing) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--command"}, std::vector<std::string>{"--command", ""},
          std::vector<std::string>{"--command", ";"}}) {
        RunResult r = RunTamlo("about\nend\n", arguments);
        EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
        EXPECT_TRUE(SameLines({kAboutLine}, Lines(r))) << "arguments: " << arguments.size();
    }
}

TEST(CommandOption, OnlyTheExactOptionNameCounts) {
    RunResult r = RunTamlo("end\n", {"--Command", "about", "--commands", "about"});
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({}, Lines(r)));
}

// ---------------------------------------------------------------------------
// Reading standard input

TEST(StandardInput, UpperCaseCommandsAreLowerCased) {
    RunResult r = RunTamlo("ABOUT\nSTART 20\nINFO TIMEOUT_TURN 5000\nTURN 10,10\nRESTART\nEND\n");
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    std::vector<std::string> lines = Lines(r);
    EXPECT_TRUE(SameLines({kAboutLine, "OK", kAnyMove, "OK"}, lines));
    if (lines.size() > 2) {
        EXPECT_NE(lines[2], "10,10") << "answered on the opponent's stone";
    }
}

TEST(StandardInput, CarriageReturnLineFeedLineEnds) {
    RunResult r = RunTamlo("START 20\r\nBEGIN\r\nbegin\r\nEND\r\n");
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({"OK", "10,10", "10,10"}, Lines(r)));
}

TEST(StandardInput, RepliesAreSeenBeforeTheNextCommandIsSent) {
    // Each reply is flushed at once: a manager waits for it before sending more.
    Session session;
    EXPECT_EQ(session.Command("START 20"), "OK");
    EXPECT_EQ(session.Command("begin"), "10,10");
    EXPECT_EQ(session.Command("xyz"), "UNKNOWN");
    EXPECT_EQ(session.Command("takeback 3,4"), "ERROR TAKEBACK not supported, use BOARD instead.");
    ASSERT_TRUE(session.WriteLine("end"));
    EXPECT_EQ(session.Wait(), 0);
    EXPECT_EQ(session.RemainingOutput(), "");
}

TEST(StandardInput, LeadingBlanksSeparateAndSilentCommandsGiveNoOutput) {
    RunResult r = RunTamlo(
        " start 20\n"
        "\n"
        " \n"
        "info timeout_turn 5000\n"
        "info max_memory 83886080\n"
        "info game_type 1\n"
        "info folder c:\\games dir\\x\n"
        "board\n"
        "10,10,1\n"
        "end\n");
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    // A blank before the word is a separator: " start 20" is START.
    EXPECT_EQ(r.output, "OK\n");
}

TEST(StandardInput, EndOfInputWithoutEndExitsNormally) {
    RunResult r = RunTamlo("start 20\n");
    ASSERT_FALSE(r.timedOut) << tamlo_test::Describe(r);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(SameLines({"OK"}, Lines(r)));

    RunResult empty = RunTamlo("");
    ASSERT_FALSE(empty.timedOut) << tamlo_test::Describe(empty);
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.output, "");
}

TEST(StandardInput, LinesAfterEndAreNotRead) {
    RunResult r = RunTamlo("start 20\nend\nabout\nstart 21\n");
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({"OK"}, Lines(r)));
}

// ---------------------------------------------------------------------------
// Errors: one line each, and the engine goes on

TEST(CommandErrors, EachAnswersOneErrorLineAndTheEngineGoesOn) {
    const char* kSizes = "ERROR a board has 2 to 127 cells a side and at most 400 cells.";
    struct Case {
        const char* input;
        const char* line;  // empty: no reply at all
    };
    const Case cases[] = {
        {"turn 3,-1\n", "ERROR expected two numbers x,y."},
        {"turn abc\n", "ERROR expected two numbers x,y."},
        // In the user's terms: no exception type, no source file.
        {"rectstart 128,2\n", kSizes},
        {"rectstart 2,128\n", kSizes},
        {"start 0\n", kSizes},
        {"start 1\n", kSizes},
        {"rectstart 1,20\n", kSizes},
        {"turn 20,3\n", "ERROR 20,3 is off the 20x20 board."},
        {"start\n", "ERROR expected a board size."},
        // INFO never answers: what it cannot use is only said in a MESSAGE line.
        {"info time_left abc\n", ""},
        {"info timeout_turn \n", ""},
        {"INFO MAX_MEMORY X\n", ""},
        {"info\n", ""},
    };
    for (const Case& c : cases) {
        RunResult r = RunTamlo(std::string(c.input) + "about\nstart 15\nbegin\nend\n");
        EXPECT_EQ(r.exitCode, 0) << c.input << tamlo_test::Describe(r);
        std::vector<std::string> expected = {kAboutLine, "OK", "7,7"};
        if (*c.line) expected.insert(expected.begin(), c.line);
        EXPECT_TRUE(SameLines(expected, Lines(r))) << c.input;
    }
}

TEST(CommandErrors, CoordinateOutsideTheBoardIsSaidInTheUsersTerms) {
    RunResult r = RunTamlo("start 20\nturn 25,3\nturn 10,10\nend\n");
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    std::vector<std::string> lines = Lines(r);
    ASSERT_EQ(lines.size(), 3u) << tamlo_test::Describe(r);
    EXPECT_EQ(lines[0], "OK");
    EXPECT_EQ(lines[1], "ERROR 25,3 is off the 20x20 board.");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("[0-9]+,[0-9]+"))) << lines[2];
}

TEST(StandardInput, BoardOverFourHundredCellsIsARefusalNotAnError) {
    // A refused size over 400 cells is a reply, not an error: the game goes on.
    RunResult r = RunTamlo("start 21\nrectstart 41,10\nstart 20\nbegin\nend\n");
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(SameLines({"ERROR maximum board size is 400 fields.",
                           "ERROR maximum board size is 400 fields.", "OK", "10,10"},
                          Lines(r)));
}

// ---------------------------------------------------------------------------
// Pieces of the loop, in-process

TEST(SplitCommands, CutsLikeLineReading) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommands(""), V{});
    EXPECT_EQ(SplitCommands("start 15"), V{"start 15"});
    EXPECT_EQ(SplitCommands("start 15;begin"), (V{"start 15", "begin"}));
    EXPECT_EQ(SplitCommands("a;"), V{"a"});
    EXPECT_EQ(SplitCommands("a;b;"), (V{"a", "b"}));
    EXPECT_EQ(SplitCommands(";"), V{""});
    EXPECT_EQ(SplitCommands(";;"), (V{"", ""}));
    EXPECT_EQ(SplitCommands("a;;b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitCommands(";a"), (V{"", "a"}));
    EXPECT_EQ(SplitCommands(" a ; b "), (V{" a ", " b "}));
}

// A handler that records what the line processor hands it and answers with
// scripted replies and diagnostics.
class ScriptedHandler : public ProtocolHandler {
  public:
    explicit ScriptedHandler(ProgramArguments args = {}) : ProtocolHandler(std::move(args)) {}

    std::vector<std::pair<std::string, std::string>> calls;

    std::string ParseCommand(std::string command, std::string argument) override {
        calls.emplace_back(command, argument);
        if (command == "diag") {
            Debug("first line");
            Message("second line");
            diagnostics << "DEBUG AB: written straight\n";
            return "the reply";
        }
        if (command == "diagsilent") {
            Debug("only diagnostics");
            return "";
        }
        if (command == "throw") {
            Debug("about to fail");
            throw std::runtime_error("broken");
        }
        if (command == "spoil") {
            // Leaves the stream in a failed state, as a reader at its end would.
            Debug("before");
            diagnostics.setstate(std::ios::failbit | std::ios::eofbit);
            return "spoilt";
        }
        return "reply to " + command;
    }

    std::string Turn(uint32_t, uint32_t) override { return ""; }
    std::string Begin() override { return ""; }
    std::string Board(std::vector<BoardEntry>) override { return ""; }
    std::string Start(uint32_t, uint32_t) override { return ""; }
    std::string Restart() override { return ""; }
    std::string Takeback(uint32_t, uint32_t) override { return ""; }
    std::string Play(uint32_t, uint32_t) override { return ""; }
    void SetMaxMemory(int64_t) override {}
    std::string Think() override { return ""; }
    std::string Benchmark(std::string, bool) override { return ""; }
};

using Call = std::pair<std::string, std::string>;

TEST(ExecuteLine, SplitsAtTheFirstSpace) {
    ScriptedHandler h;
    EXPECT_EQ(ExecuteLine(h, "turn 10,10"), "reply to turn");
    EXPECT_EQ(ExecuteLine(h, "info folder c:\\a b  c"), "reply to info");
    EXPECT_EQ(ExecuteLine(h, "begin"), "reply to begin");
    EXPECT_EQ(ExecuteLine(h, "begin "), "reply to begin");
    EXPECT_EQ(ExecuteLine(h, " start 20"), "reply to start");
    EXPECT_EQ(ExecuteLine(h, "10,10,1"), "reply to 10,10,1");
    EXPECT_EQ(ExecuteLine(h, "turn\t 9,9\t"), "reply to turn");
    std::vector<Call> expected = {{"turn", "10,10"}, {"info", "folder c:\\a b  c"},
                                  {"begin", ""},     {"begin", ""},
                                  {"start", "20"},   {"10,10,1", ""},
                                  {"turn", "9,9"}};
    EXPECT_EQ(h.calls, expected);
}

TEST(ExecuteLine, EmptyLineIsNotDispatchedAndLeavesDiagnostics) {
    ScriptedHandler h;
    h.Debug("pending");
    EXPECT_EQ(ExecuteLine(h, ""), "");
    EXPECT_TRUE(h.calls.empty());
    EXPECT_EQ(h.diagnostics.str(), "DEBUG pending\n");
}

TEST(ExecuteLine, DiagnosticsComeFirstThenAtOnceTheReply) {
    ScriptedHandler h;
    EXPECT_EQ(ExecuteLine(h, "diag"),
              "DEBUG first line\nMESSAGE second line\nDEBUG AB: written straight\nthe reply");
    EXPECT_EQ(h.diagnostics.str(), "");
    // The buffer was emptied: the next reply comes alone.
    EXPECT_EQ(ExecuteLine(h, "quiet"), "reply to quiet");
    // Diagnostics with an empty reply still come out, and nothing after them.
    EXPECT_EQ(ExecuteLine(h, "diagsilent"), "DEBUG only diagnostics");
}

TEST(ExecuteLine, ClearsTheBufferErrorStateForTheNextCommand) {
    ScriptedHandler h;
    EXPECT_EQ(ExecuteLine(h, "spoil"), "DEBUG before\nspoilt");
    EXPECT_EQ(ExecuteLine(h, "diag"),
              "DEBUG first line\nMESSAGE second line\nDEBUG AB: written straight\nthe reply");
}

TEST(ExecuteLine, AFailingCommandAnswersItsErrorAfterItsDiagnostics) {
    ScriptedHandler h;
    EXPECT_EQ(ExecuteLine(h, "throw"), "DEBUG about to fail\nERROR broken");
    EXPECT_EQ(ExecuteLine(h, "quiet"), "reply to quiet");
}

TEST(ExecuteLine, DiagnosticFunctionsAndErrorReply) {
    ScriptedHandler h;
    h.Debug("a b");
    h.Message("c");
    EXPECT_EQ(h.diagnostics.str(), "DEBUG a b\nMESSAGE c\n");
    EXPECT_EQ(ProtocolHandler::Error("text."), "ERROR text.");
}

TEST(ProcessLine, WritesNonEmptyRepliesWithALineFeed) {
    ScriptedHandler h;
    std::ostringstream captured;
    std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
    h.line = "x";
    ProcessLine(h);
    h.line = "";
    ProcessLine(h);
    h.line = "diagsilent";
    ProcessLine(h);
    std::cout.rdbuf(saved);
    EXPECT_EQ(captured.str(), "reply to x\nDEBUG only diagnostics\n");
}

TEST(FindOption, FirstExactMatchAndTheArgumentAfterIt) {
    auto find = [](std::vector<std::string> arguments, const std::string& name) {
        ProgramArguments args;
        args.programPath = "pbrain-tamlo";
        args.arguments = std::move(arguments);
        ScriptedHandler h(args);
        return FindOption(h, name);
    };
    using R = std::pair<bool, std::string>;
    EXPECT_EQ(find({"--command", "start 15;begin"}, "--command"), (R{true, "start 15;begin"}));
    EXPECT_EQ(find({"-x", "--command", "a", "--command", "b"}, "--command"), (R{true, "a"}));
    EXPECT_EQ(find({"--command"}, "--command"), (R{true, ""}));
    EXPECT_EQ(find({"x", "--command"}, "--command"), (R{true, ""}));
    EXPECT_EQ(find({}, "--command"), (R{false, ""}));
    EXPECT_EQ(find({"--COMMAND", "a"}, "--command"), (R{false, ""}));
    EXPECT_EQ(find({"--command=a"}, "--command"), (R{false, ""}));
    EXPECT_EQ(find({"a", "--command"}, "a"), (R{true, "--command"}));
}

TEST(FindOption, ProgramPathIsNotAnArgument) {
    const char* argv[] = {"--command", "about"};
    ProgramArguments args = ProgramArguments::FromMain(2, argv);
    EXPECT_EQ(args.programPath, "--command");
    EXPECT_EQ(args.arguments, std::vector<std::string>{"about"});
    ScriptedHandler h(args);
    EXPECT_FALSE(FindOption(h, "--command").first);
    EXPECT_TRUE(FindOption(h, "about").first);

    ProgramArguments none = ProgramArguments::FromMain(0, nullptr);
    EXPECT_EQ(none.programPath, "");
    EXPECT_TRUE(none.arguments.empty());
}

// ---------------------------------------------------------------------------
// The process helpers themselves, on standard tools

TEST(ProcessHelpers, ExitCodesAndTimeout) {
    tamlo_test::RunOptions options;
    options.binary = "/bin/sh";
    options.arguments = {"-c", "echo out; echo err >&2; exit 3"};
    RunResult r = tamlo_test::RunProcess(options);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output, "out\n");
    EXPECT_EQ(r.errors, "err\n");
    EXPECT_FALSE(r.timedOut);

    options.arguments = {"-c", "echo started; exec sleep 30"};
    options.timeoutSeconds = 0.3;
    r = tamlo_test::RunProcess(options);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.output, "started\n");
    EXPECT_EQ(r.exitCode, 128 + SIGKILL);
}

TEST(ProcessHelpers, LargeInputAndOutputDoNotBlock) {
    std::string text;
    for (int i = 0; text.size() < 1000000; ++i) text += "line " + std::to_string(i) + "\n";
    tamlo_test::RunOptions options;
    options.binary = "/bin/cat";
    options.input = text;
    RunResult r = tamlo_test::RunProcess(options);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.output == text) << r.output.size() << " of " << text.size() << " bytes";
}

TEST(ProcessHelpers, RunsInTheGivenDirectory) {
    TempDir dir;
    dir.WriteFile("marker", "x");
    tamlo_test::RunOptions options;
    options.binary = "/bin/ls";
    options.workingDirectory = dir.Path();
    EXPECT_EQ(tamlo_test::RunProcess(options).output, "marker\n");
    // Without a directory the run gets a fresh empty one.
    options.workingDirectory = "";
    EXPECT_EQ(tamlo_test::RunProcess(options).output, "");
}

TEST(ProcessHelpers, SessionReadsLinesAndReplies) {
    Session session({}, "", "/bin/cat");
    ASSERT_TRUE(session.WriteLine("hello"));
    EXPECT_EQ(session.ReadLine(), "hello");
    EXPECT_EQ(session.ReadLine(0.05), std::nullopt);  // nothing more yet
    std::vector<std::string> diagnostics;
    ASSERT_TRUE(session.WriteLine("DEBUG one\nMESSAGE two\n5,6"));
    EXPECT_EQ(session.ReadReply(tamlo_test::kDefaultTimeoutSeconds, &diagnostics), "5,6");
    EXPECT_EQ(diagnostics, (std::vector<std::string>{"DEBUG one", "MESSAGE two"}));
    EXPECT_EQ(session.Command("OK"), "OK");
    EXPECT_EQ(session.Command(""), "");  // an empty line is a reply, so a test sees it
    session.CloseInput();
    EXPECT_EQ(session.Wait(), 0);
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(session.ReadLine(0.05), std::nullopt);
}

TEST(ProcessHelpers, TranscriptComparison) {
    EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
    EXPECT_EQ(SplitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\r\n"), std::vector<std::string>{"a\r"});
    // An empty line stays, so that a comparison shows it.
    EXPECT_EQ(StripDiagnostics({"OK", "DEBUG x", "MESSAGE y", "", "3,4", "END"}),
              (std::vector<std::string>{"OK", "", "3,4", "END"}));
    EXPECT_TRUE(SameLines({"OK", kAnyMove}, {"OK", "12,0"}));
    EXPECT_FALSE(SameLines({"OK", kAnyMove}, {"OK", "12,"}));
    EXPECT_FALSE(SameLines({"OK"}, {"OK", ""}));
    EXPECT_FALSE(SameLines({"OK"}, {"OK\r"}));
    EXPECT_TRUE(SameLines({kAboutLine}, {ProtocolHandler::AboutText()}));
    EXPECT_FALSE(SameLines({kAboutLine}, {"UNKNOWN"}));
}

}  // namespace
