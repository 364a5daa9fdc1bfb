// The in-process library as a host sees it: loaded with dlopen, the four
// functions found with dlsym, the host's own open/close untouched.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <set>
#include <string>

namespace {

class LibraryTest : public ::testing::Test {
  protected:
    using OpenFn = void (*)();
    using CommandFn = const char* (*)(const char*);
    using CloseFn = void (*)();
    using TestFn = int (*)();

    void SetUp() override {
        handle = dlopen(TAMLO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        open = reinterpret_cast<OpenFn>(dlsym(handle, "open"));
        command = reinterpret_cast<CommandFn>(dlsym(handle, "command"));
        close = reinterpret_cast<CloseFn>(dlsym(handle, "close"));
        test = reinterpret_cast<TestFn>(dlsym(handle, "test"));
        ASSERT_TRUE(open && command && close && test);
    }
    void TearDown() override {
        if (close) close();
        if (handle) dlclose(handle);
    }
    std::string Reply(const char* text) {
        const char* r = command(text);
        return r ? std::string(r) : std::string("<null>");
    }
    // The move of a reply: its last line.
    static std::string LastLine(const std::string& reply) {
        size_t nl = reply.rfind('\n');
        return nl == std::string::npos ? reply : reply.substr(nl + 1);
    }

    void* handle = nullptr;
    OpenFn open = nullptr;
    CommandFn command = nullptr;
    CloseFn close = nullptr;
    TestFn test = nullptr;
};

TEST_F(LibraryTest, TestAnswers123BeforeAndAfterOpen) {
    EXPECT_EQ(test(), 123);
    open();
    EXPECT_EQ(test(), 123);
    close();
    EXPECT_EQ(test(), 123);
}

TEST_F(LibraryTest, CommandBeforeOpenIsRefused) {
    EXPECT_EQ(Reply("start 20"), "ERROR engine is not open.");
}

TEST_F(LibraryTest, RepliesAndSilentCommands) {
    open();
    const char* ok = command("start 20");
    ASSERT_NE(ok, nullptr);
    EXPECT_STREQ(ok, "OK");
    EXPECT_EQ(command("start 20"), ok) << "OK is one static text";
    EXPECT_EQ(command("info timeout_turn 1000"), nullptr);
    EXPECT_EQ(command("board"), nullptr);
    EXPECT_EQ(command("10,10,2"), nullptr);
    std::string move = LastLine(Reply("done"));
    EXPECT_TRUE(std::regex_match(move, std::regex("[0-9]+,[0-9]+"))) << move;
    EXPECT_EQ(Reply("START 20"), "UNKNOWN") << "command words are not lower-cased";
    EXPECT_EQ(command(""), nullptr);
    EXPECT_EQ(command("end"), nullptr);
    EXPECT_EQ(Reply("start 20"), "OK") << "END does not close the library";
}

TEST_F(LibraryTest, AboutIsOneLine) {
    open();
    std::string about = Reply("about");
    EXPECT_EQ(about.find('\n'), std::string::npos);
    EXPECT_EQ(about.rfind("name=\"Tamlo\", version=\"", 0), 0u) << about;
}

TEST_F(LibraryTest, ErrorsComeBackAndTheEngineStaysUsable) {
    open();
    EXPECT_EQ(Reply("start 20"), "OK");
    EXPECT_EQ(Reply("turn 25,3"), "ERROR 25,3 is off the 20x20 board.");
    // INFO never answers an error; its MESSAGE line says what was ignored.
    EXPECT_EQ(Reply("info time_left abc").rfind("MESSAGE INFO time_left ignored", 0), 0u);
    EXPECT_EQ(Reply("rectstart 128,2"), "ERROR a board has 2 to 127 cells a side and at most 400 cells.");
    EXPECT_EQ(Reply("start 1"), "ERROR a board has 2 to 127 cells a side and at most 400 cells.");
    // The refused sizes left the 20 x 20 game in place.
    std::string move = LastLine(Reply("turn 10,10"));
    EXPECT_TRUE(std::regex_match(move, std::regex("[0-9]+,[0-9]+"))) << move;
    EXPECT_EQ(Reply("turn 10,10"), "ERROR cell is occupied.");
}

TEST_F(LibraryTest, LongRepliesAreWhole) {
    open();
    // A benchmark over a missing folder answers with the folder's name in full.
    std::string folder = "/nonexistent/" + std::string(1500, 'x');
    std::string reply = Reply(("benchmark " + folder).c_str());
    EXPECT_EQ(reply, "ERROR failed to list directory " + folder);
}

TEST_F(LibraryTest, ReopenStartsAgainOn20x20) {
    open();
    EXPECT_EQ(Reply("rectstart 10,8"), "OK");
    close();
    open();
    EXPECT_EQ(LastLine(Reply("begin")), "10,10");
    open();  // open while open replaces the engine
    EXPECT_EQ(LastLine(Reply("begin")), "10,10");
}

TEST_F(LibraryTest, PlaysAWholeGameInProcess) {
    open();
    ASSERT_EQ(Reply("start 15"), "OK");
    command("info timeout_turn 60");
    command("info timeout_match 100000");
    std::set<std::string> used;
    std::string move = LastLine(Reply("begin"));
    int plies = 0;
    while (plies < 225) {
        ASSERT_TRUE(std::regex_match(move, std::regex("[0-9]+,[0-9]+"))) << move;
        ASSERT_TRUE(used.insert(move).second) << "occupied cell " << move;
        ++plies;
        if (plies == 225) break;
        // The opponent takes the first free cell in index order.
        std::string reply;
        for (int z = 0; z < 225; ++z) {
            std::string cell = std::to_string(z % 15) + "," + std::to_string(z / 15);
            if (used.count(cell)) continue;
            used.insert(cell);
            ++plies;
            reply = Reply(("turn " + cell).c_str());
            break;
        }
        if (plies >= 225) break;
        move = LastLine(reply);
        if (reply.find("ERROR") != std::string::npos) FAIL() << reply;
        // Stop once a five is on the board: the engine plays on otherwise.
        if (plies > 60) break;
    }
    EXPECT_GT(plies, 20);
}

TEST_F(LibraryTest, HostOpenAndCloseStillReachTheCLibrary) {
    open();
    char path[] = "/tmp/tamlo_host_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::close(fd), 0);
    fd = ::open(path, O_RDONLY);
    EXPECT_GE(fd, 0) << "the host's open must be the C library's";
    EXPECT_EQ(::close(fd), 0);
    FILE* f = fopen(path, "r");
    EXPECT_NE(f, nullptr);
    if (f) fclose(f);
    unlink(path);
    EXPECT_EQ(Reply("start 20"), "OK");
}

}  // namespace
