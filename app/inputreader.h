#pragma once

#include <atomic>
#include <fstream>
#include <memory>
#include <string>

// Reads the command lines on a thread of its own, so that a line can end the
// search the main thread is running: "input.txt" (its lines echoed) until its
// end, then standard input. Lines wait in a queue, in order, for the main
// thread. A stop line (yxstop, stop, INFO timeout_turn 0) also raises the stop
// flag at once, for every command read before it; the flag is lowered again for
// the commands read after it. END, and the end of input, stop the same way when
// they come after a pause in the input (a GUI closing or restarting its engine
// while it thinks), so the process ends at once; sent together with the
// commands before them (a script), they let those commands run whole.
class InputReader {
  public:
    // replay: the open "input.txt", or null; stop: the search's flag, or null.
    InputReader(std::unique_ptr<std::ifstream> replay, std::atomic<bool>* stop);
    // The reading thread may wait for input for ever: it is left to the end of
    // the process and no longer touches the flag.
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // The next line as read, and whether it is echoed; false at the end of
    // input. Sets the stop flag for the command about to run.
    bool Next(std::string& line, bool& echo);

    // A line that stops the running search (lower-cased already).
    static bool IsStopLine(const std::string& line);
    // END (lower-cased already).
    static bool IsEndLine(const std::string& line);
    // What counts as a pause before END or the end of input.
    static constexpr int kPauseMs = 100;

  private:
    struct Shared;
    std::shared_ptr<Shared> mShared;
};
