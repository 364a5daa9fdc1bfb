#pragma once

// Running the real engine binary from a test: one-shot runs that feed a whole
// standard input and collect the output, an interactive session that writes a
// line and reads reply lines, temporary working directories, and comparison of
// output transcripts line by line.
//
// Header only: the test CMake file compiles every *_test.cpp and nothing else.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// Sanitizer builds run several times slower: long or tightly timed tests skip there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

namespace tamlo_test {

// The engine binary under test: the one the build passes to the test program, or
// the one named by TAMLO_TEST_BINARY, so that the same transcripts run against
// another build (the Windows tests name pbrain-tamlo.exe there).
inline std::string TamloBinary() {
    if (const char* binary = std::getenv("TAMLO_TEST_BINARY"); binary && *binary) return binary;
#ifdef TAMLO_BINARY
    return TAMLO_BINARY;
#else
    throw std::runtime_error("TAMLO_BINARY is not defined for this test program");
#endif
}

// The command line that starts the engine under test: the binary itself, or the
// program named by TAMLO_TEST_LAUNCHER (Wine, by its full path) and the binary.
inline std::vector<std::string> TamloCommand() {
    std::vector<std::string> command;
    if (const char* launcher = std::getenv("TAMLO_TEST_LAUNCHER"); launcher && *launcher)
        command.push_back(launcher);
    command.push_back(TamloBinary());
    return command;
}

// True when the engine under test is a Windows program.
inline bool TestingWindowsBuild() {
    const std::string binary = TamloBinary();
    return binary.size() >= 4 && binary.compare(binary.size() - 4, 4, ".exe") == 0;
}

// Generous: the whole test set is also run under the sanitizers.
constexpr double kDefaultTimeoutSeconds = 20.0;

// ---------------------------------------------------------------------------
// Temporary directories

// A fresh empty directory, removed with everything in it when the object dies.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tamlo-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
        mPath = buffer.data();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return mPath; }
    std::string File(const std::string& name) const { return mPath + "/" + name; }
    // Writes the text byte for byte (no line-end translation); returns the path.
    std::string WriteFile(const std::string& name, const std::string& text) const {
        std::string path = File(name);
        std::ofstream out(path, std::ios::binary);
        out << text;
        if (!out) throw std::runtime_error("cannot write " + path);
        return path;
    }

  private:
    std::string mPath;
};

// ---------------------------------------------------------------------------
// Child processes

namespace detail {

inline void IgnoreSigpipe() {
    // Writing to a child that has already exited must give EPIPE, not kill the test.
    static const bool done = [] {
        signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)done;
}

inline void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

inline int Remaining(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

inline std::chrono::steady_clock::time_point DeadlineIn(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

// Reads what is available; false at end of file (the descriptor is then closed).
inline bool ReadAvailable(int& fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            if (static_cast<size_t>(n) < sizeof buffer) return true;
            continue;
        }
        if (n < 0 && (errno == EINTR)) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        CloseFd(fd);
        return false;
    }
}

struct Child {
    pid_t pid = -1;
    int in = -1;   // the child's standard input (write end)
    int out = -1;  // its standard output (read end)
    int err = -1;  // its standard error (read end)
};

// Starts the command (a program and its first arguments), followed by the
// arguments, in the working directory (the current one when empty). All three
// pipes are non-blocking on the parent's side and close on exec, so one child
// never holds another's pipes open.
inline Child Spawn(const std::vector<std::string>& command,
                   const std::vector<std::string>& arguments, const std::string& workingDirectory) {
    IgnoreSigpipe();
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    // Everything the child needs is prepared before fork.
    std::vector<std::string> argvText = command;
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    const char* directory = workingDirectory.empty() ? nullptr : workingDirectory.c_str();

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);  // an ignored signal would stay ignored across exec
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (directory && chdir(directory) != 0) _exit(126);
        execv(argv[0], argv.data());
        const char message[] = "exec failed\n";
        ssize_t ignored = write(2, message, sizeof message - 1);
        (void)ignored;
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    Child child;
    child.pid = pid;
    child.in = inPipe[1];
    child.out = outPipe[0];
    child.err = errPipe[0];
    for (int fd : {child.in, child.out, child.err})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return child;
}

// Exit code of a wait status: the code itself, or 128 + signal number.
inline int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Waits for the child until the deadline, then kills it. Returns the exit code;
// timedOut is set when it had to be killed.
inline int Reap(pid_t pid, std::chrono::steady_clock::time_point deadline, bool& timedOut) {
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return ExitCodeOf(status);
        if (r < 0 && errno != EINTR) return -1;
        if (Remaining(deadline) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    timedOut = true;
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ExitCodeOf(status);
}

}  // namespace detail

struct RunOptions {
    std::vector<std::string> arguments;
    // Working directory. Empty: a fresh empty temporary directory, so that no
    // stray "input.txt" is replayed.
    std::string workingDirectory;
    std::string input;  // written to standard input
    // Close standard input once the input is written. When false the pipe stays
    // open until the process ends, so a program that reads it waits (and is killed
    // at the timeout).
    bool closeInput = true;
    double timeoutSeconds = kDefaultTimeoutSeconds;
    std::string binary;  // empty: the engine binary under test
};

struct RunResult {
    std::string output;  // standard output
    std::string errors;  // standard error
    int exitCode = -1;   // 128 + signal number when killed by a signal
    bool timedOut = false;
};

namespace detail {

inline RunResult RunProcessOnce(const RunOptions& options) {
    std::optional<TempDir> scratch;
    std::string directory = options.workingDirectory;
    if (directory.empty()) {
        scratch.emplace();
        directory = scratch->Path();
    }
    auto deadline = detail::DeadlineIn(options.timeoutSeconds);
    detail::Child child =
        detail::Spawn(options.binary.empty() ? TamloCommand() : std::vector{options.binary},
                      options.arguments, directory);
    RunResult result;
    size_t written = 0;
    if (options.input.empty() && options.closeInput) detail::CloseFd(child.in);

    while (child.out >= 0 || child.err >= 0) {
        std::vector<pollfd> fds;
        if (child.in >= 0 && written < options.input.size()) fds.push_back({child.in, POLLOUT, 0});
        if (child.out >= 0) fds.push_back({child.out, POLLIN, 0});
        if (child.err >= 0) fds.push_back({child.err, POLLIN, 0});
        int wait = detail::Remaining(deadline);
        if (wait == 0) break;
        int ready = poll(fds.data(), fds.size(), wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            if (p.fd == child.in) {
                if (p.revents & (POLLERR | POLLHUP)) {
                    detail::CloseFd(child.in);  // the child no longer reads
                    continue;
                }
                ssize_t n =
                    write(child.in, options.input.data() + written, options.input.size() - written);
                if (n > 0) written += static_cast<size_t>(n);
                if (n < 0 && errno != EAGAIN && errno != EINTR) detail::CloseFd(child.in);
                if (written == options.input.size() && options.closeInput)
                    detail::CloseFd(child.in);
            } else if (p.fd == child.out) {
                detail::ReadAvailable(child.out, result.output);
            } else if (p.fd == child.err) {
                detail::ReadAvailable(child.err, result.errors);
            }
        }
    }
    detail::CloseFd(child.in);
    detail::CloseFd(child.out);
    detail::CloseFd(child.err);
    result.exitCode = detail::Reap(child.pid, deadline, result.timedOut);
    return result;
}

}  // namespace detail

// Runs the program to its end (or the timeout) and collects its output. A start
// through a launcher that fails before any output is made once more (see
// Session::Relaunched).
inline RunResult RunProcess(const RunOptions& options) {
    RunResult result = detail::RunProcessOnce(options);
    const bool launched = options.binary.empty() && TamloCommand().size() > 1;
    if (launched && result.output.empty() && result.exitCode != 0 && !result.timedOut) {
        const std::string first = result.errors;
        result = detail::RunProcessOnce(options);
        result.errors =
            first + "[launcher exited before any output; started again]\n" + result.errors;
    }
    return result;
}

// The engine binary with the given standard input and arguments, in a fresh
// temporary directory unless one is given.
inline RunResult RunTamlo(const std::string& input, std::vector<std::string> arguments = {},
                          const std::string& workingDirectory = "",
                          double timeoutSeconds = kDefaultTimeoutSeconds) {
    RunOptions options;
    options.input = input;
    options.arguments = std::move(arguments);
    options.workingDirectory = workingDirectory;
    options.timeoutSeconds = timeoutSeconds;
    return RunProcess(options);
}

// An engine process driven one line at a time. Reads time out instead of
// blocking; the destructor kills a process that is still running.
class Session {
  public:
    // Starts the binary (empty: the engine under test) with the arguments in the
    // working directory (empty: a fresh temporary directory, see Directory()).
    explicit Session(const std::vector<std::string>& arguments = {},
                     const std::string& workingDirectory = "", const std::string& binary = "") {
        std::string directory = workingDirectory;
        if (directory.empty()) {
            mScratch.emplace();
            directory = mScratch->Path();
        }
        mCommand = binary.empty() ? TamloCommand() : std::vector{binary};
        mArguments = arguments;
        mDirectory = directory;
        mChild = detail::Spawn(mCommand, mArguments, mDirectory);
    }
    ~Session() {
        detail::CloseFd(mChild.in);
        detail::CloseFd(mChild.out);
        detail::CloseFd(mChild.err);
        if (!mReaped) {
            kill(mChild.pid, SIGKILL);
            int status;
            while (waitpid(mChild.pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The temporary working directory, empty when one was given.
    std::string Directory() const { return mScratch ? mScratch->Path() : std::string(); }
    pid_t Pid() const { return mChild.pid; }

    // Writes the text and a line feed; false when the process no longer reads.
    bool WriteLine(const std::string& text, double timeoutSeconds = kDefaultTimeoutSeconds) {
        std::string data = text + "\n";
        if (!mSawOutput) mSent += data;
        auto deadline = detail::DeadlineIn(timeoutSeconds);
        size_t written = 0;
        while (written < data.size()) {
            if (mChild.in < 0) return false;
            ssize_t n = write(mChild.in, data.data() + written, data.size() - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                // The child is not reading: keep its output flowing meanwhile.
                if (!PollOnce(detail::Remaining(deadline), true)) return false;
                continue;
            }
            detail::CloseFd(mChild.in);
            return Relaunched();
        }
        return true;
    }

    // The next output line without its line feed; nothing when no complete line
    // came within the timeout or the output ended.
    std::optional<std::string> ReadLine(double timeoutSeconds = kDefaultTimeoutSeconds) {
        auto deadline = detail::DeadlineIn(timeoutSeconds);
        for (;;) {
            size_t end = mOut.find('\n');
            if (end != std::string::npos) {
                std::string line = mOut.substr(0, end);
                mOut.erase(0, end + 1);
                return line;
            }
            if (mChild.out < 0) {
                if (Relaunched()) continue;
                return std::nullopt;
            }
            int wait = detail::Remaining(deadline);
            if (wait == 0) return std::nullopt;
            PollOnce(wait, false);
        }
    }

    // The reply to one command: "DEBUG " / "MESSAGE " lines are skipped (and kept
    // in diagnostics when given), and the next line is returned, even an empty
    // one, which no reply may be. Use it only for commands that answer.
    std::optional<std::string> ReadReply(double timeoutSeconds = kDefaultTimeoutSeconds,
                                         std::vector<std::string>* diagnostics = nullptr) {
        auto deadline = detail::DeadlineIn(timeoutSeconds);
        for (;;) {
            std::optional<std::string> line = ReadLine(detail::Remaining(deadline) / 1000.0);
            if (!line) return std::nullopt;
            if (IsDiagnosticLine(*line)) {
                if (diagnostics) diagnostics->push_back(*line);
                continue;
            }
            return line;
        }
    }

    // Writes a command and reads its reply (see ReadReply).
    std::optional<std::string> Command(const std::string& text,
                                       double timeoutSeconds = kDefaultTimeoutSeconds,
                                       std::vector<std::string>* diagnostics = nullptr) {
        if (!WriteLine(text, timeoutSeconds)) return std::nullopt;
        return ReadReply(timeoutSeconds, diagnostics);
    }

    // Ends the process's standard input.
    void CloseInput() { detail::CloseFd(mChild.in); }

    // True while no exit has been seen; does not wait.
    bool Running() {
        if (mReaped) return false;
        int status = 0;
        if (waitpid(mChild.pid, &status, WNOHANG) == mChild.pid) {
            mReaped = true;
            mExitCode = detail::ExitCodeOf(status);
        }
        return !mReaped;
    }

    // Waits for the process to end, collecting the rest of its output (see
    // RemainingOutput), and returns its exit code; the process is killed at the
    // timeout and timedOut() is set.
    int Wait(double timeoutSeconds = kDefaultTimeoutSeconds) {
        auto deadline = detail::DeadlineIn(timeoutSeconds);
        while ((mChild.out >= 0 || mChild.err >= 0) && detail::Remaining(deadline) > 0)
            PollOnce(detail::Remaining(deadline), false);
        if (!mReaped) {
            bool timedOut = false;
            mExitCode = detail::Reap(mChild.pid, deadline, timedOut);
            mTimedOut = mTimedOut || timedOut;
            mReaped = true;
        }
        return mExitCode;
    }

    bool TimedOut() const { return mTimedOut; }
    // Output received but not yet returned by ReadLine.
    const std::string& RemainingOutput() const { return mOut; }
    const std::string& Errors() const { return mErr; }

    static bool IsDiagnosticLine(const std::string& line) {
        return line.rfind("DEBUG ", 0) == 0 || line.rfind("MESSAGE ", 0) == 0;
    }

  private:
    // Wine now and then fails to start a program on a busy machine: the launcher
    // exits with an error before the program has written anything. Such a start
    // is made once more, with the lines sent so far; an engine that fails by
    // itself fails the same way again. True when the new process runs.
    bool Relaunched() {
        if (mRelaunched || mSawOutput || mCommand.size() < 2 || mReaped) return false;
        detail::CloseFd(mChild.in);
        bool timedOut = false;
        const int code = detail::Reap(mChild.pid, detail::DeadlineIn(5.0), timedOut);
        mReaped = true;
        mExitCode = code;
        if (code == 0 || timedOut) return false;
        // What the failed start wrote so far (one read: a server it started
        // may hold the pipe open).
        if (mChild.err >= 0) detail::ReadAvailable(mChild.err, mErr);
        detail::CloseFd(mChild.out);
        detail::CloseFd(mChild.err);
        mErr += "[launcher exited with " + std::to_string(code) +
                " before any output; started again]\n";
        mChild = detail::Spawn(mCommand, mArguments, mDirectory);
        mReaped = false;
        mExitCode = -1;
        mRelaunched = true;
        size_t written = 0;
        auto deadline = detail::DeadlineIn(kDefaultTimeoutSeconds);
        while (written < mSent.size() && mChild.in >= 0) {
            ssize_t n = write(mChild.in, mSent.data() + written, mSent.size() - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
            } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                if (!PollOnce(detail::Remaining(deadline), true)) break;
            } else {
                detail::CloseFd(mChild.in);
            }
        }
        return written == mSent.size();
    }

    // One poll on the output pipes (and the input pipe when wantInput is set).
    // Returns false when nothing can progress any more.
    bool PollOnce(int waitMs, bool wantInput) {
        std::vector<pollfd> fds;
        if (wantInput && mChild.in >= 0) fds.push_back({mChild.in, POLLOUT, 0});
        if (mChild.out >= 0) fds.push_back({mChild.out, POLLIN, 0});
        if (mChild.err >= 0) fds.push_back({mChild.err, POLLIN, 0});
        if (fds.empty() || waitMs <= 0) return false;
        int ready = poll(fds.data(), fds.size(), waitMs);
        if (ready <= 0) return ready < 0 && errno == EINTR;
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            if (p.fd == mChild.out) {
                const size_t before = mOut.size();
                detail::ReadAvailable(mChild.out, mOut);
                if (mOut.size() > before) mSawOutput = true;
            }
            if (p.fd == mChild.err) detail::ReadAvailable(mChild.err, mErr);
            if (p.fd == mChild.in && (p.revents & (POLLERR | POLLHUP))) detail::CloseFd(mChild.in);
        }
        return true;
    }

    std::optional<TempDir> mScratch;
    std::vector<std::string> mCommand, mArguments;
    std::string mDirectory;
    // Every line written until the first output arrives, for a second start.
    std::string mSent;
    bool mSawOutput = false;
    bool mRelaunched = false;
    detail::Child mChild;
    std::string mOut, mErr;
    bool mReaped = false;
    bool mTimedOut = false;
    int mExitCode = -1;
};

// ---------------------------------------------------------------------------
// Transcripts

// The text cut at every line feed. A last line without a line feed is kept; a
// final line feed gives no empty last line. Carriage returns stay in the lines.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Removes the diagnostic lines ("DEBUG " / "MESSAGE "); every other line, an
// empty one too, stays so that a comparison shows it.
inline std::vector<std::string> StripDiagnostics(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if (!Session::IsDiagnosticLine(line)) kept.push_back(line);
    return kept;
}

// An expected line that matches any move reply "x,y".
inline const std::string kAnyMove = "<any move>";
// An expected line that matches the ABOUT reply of any build (builds differ in
// their revision and time).
inline const std::string kAboutLine = "<about line>";

// An expected line "~regex" matches the lines the regular expression matches.
inline bool LineMatches(const std::string& expected, const std::string& actual) {
    static const std::regex move("[0-9]+,[0-9]+");
    if (!expected.empty() && expected[0] == '~') return std::regex_match(actual, std::regex(expected.substr(1)));
    static const std::regex about(R"(name="Tamlo", version="[^"]+", .*builded="[^"]+")");
    if (expected == kAnyMove) return std::regex_match(actual, move);
    if (expected == kAboutLine) return std::regex_match(actual, about);
    return expected == actual;
}

// A line with its control characters made visible.
inline std::string Visible(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 32 || c == 127) {
            char buffer[8];
            snprintf(buffer, sizeof buffer, "\\x%02x", c);
            out += buffer;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

// Line-by-line comparison; on a difference the message shows both transcripts
// and marks the first differing line.
inline ::testing::AssertionResult SameLines(const std::vector<std::string>& expected,
                                            const std::vector<std::string>& actual) {
    size_t n = std::max(expected.size(), actual.size());
    size_t first = n;
    for (size_t i = 0; i < n && first == n; ++i)
        if (i >= expected.size() || i >= actual.size() || !LineMatches(expected[i], actual[i]))
            first = i;
    if (first == n) return ::testing::AssertionSuccess();
    std::ostringstream message;
    message << "transcripts differ at line " << first + 1 << "\n";
    for (size_t i = 0; i < n; ++i) {
        message << (i == first ? "> " : "  ") << i + 1 << ": expected "
                << (i < expected.size() ? "[" + Visible(expected[i]) + "]" : "(nothing)")
                << ", actual " << (i < actual.size() ? "[" + Visible(actual[i]) + "]" : "(nothing)")
                << "\n";
    }
    return ::testing::AssertionFailure() << message.str();
}

// Describes a finished run for failure messages.
inline std::string Describe(const RunResult& r) {
    std::ostringstream s;
    s << "exit code " << r.exitCode << (r.timedOut ? " (killed at the timeout)" : "")
      << "\n--- stdout ---\n"
      << r.output << "\n--- stderr ---\n"
      << r.errors;
    return s.str();
}

}  // namespace tamlo_test
