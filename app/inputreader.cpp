#include "app/inputreader.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

struct InputReader::Shared {
    struct Line {
        std::string text;
        bool echo;
        uint64_t number;  // in reading order, from 1
    };
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Line> lines;
    bool ended = false;
    uint64_t read = 0;
    uint64_t lastStop = 0;  // number of the last stop line
    std::atomic<bool>* stop;
    std::unique_ptr<std::ifstream> replay;
};

namespace {

// One line; a carriage return before the line feed is not part of it.
bool ReadLine(std::istream& in, std::string& line) {
    line.clear();
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Lower case, the words separated by single blanks, as the command loop reads them.
std::string Normalized(const std::string& line) {
    std::string text;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!text.empty() && text.back() != ' ') text += ' ';
            continue;
        }
        text += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

bool InputReader::IsStopLine(const std::string& line) {
    const std::string text = Normalized(line);
    return text == "yxstop" || text == "stop" || text == "info timeout_turn 0";
}

bool InputReader::IsEndLine(const std::string& line) {
    return Normalized(line) == "end";
}

InputReader::InputReader(std::unique_ptr<std::ifstream> replay, std::atomic<bool>* stop)
    : mShared(std::make_shared<Shared>()) {
    mShared->stop = stop;
    mShared->replay = std::move(replay);
    std::thread([shared = mShared] {
        // The replay file echoes every line read from it, and so does standard
        // input after it; at the file's end one more (empty) read is made, as
        // the line reading of a file that ends with a line feed gives.
        std::istream* source = shared->replay ? static_cast<std::istream*>(shared->replay.get())
                                              : &std::cin;
        const bool echo = shared->replay != nullptr;
        using Clock = std::chrono::steady_clock;
        Clock::time_point previous = Clock::now();
        for (;;) {
            if (source != &std::cin && (source->eof() || source->fail())) source = &std::cin;
            std::string line;
            const bool got = ReadLine(*source, line);
            const Clock::time_point now = Clock::now();
            const bool paused = now - previous >= std::chrono::milliseconds(kPauseMs);
            previous = now;
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (!got && source == &std::cin) {
                // Nobody will send another line: whatever still runs or waits
                // is stopped, unless the input simply ran out after a script.
                if (paused) {
                    shared->lastStop = shared->read + 1;
                    if (shared->stop) shared->stop->store(true);
                }
                shared->ended = true;
                shared->arrived.notify_one();
                return;
            }
            const uint64_t number = ++shared->read;
            if (IsStopLine(line) || (paused && IsEndLine(line))) {
                shared->lastStop = number;
                if (shared->stop) shared->stop->store(true);
            }
            shared->lines.push_back({std::move(line), echo, number});
            shared->arrived.notify_one();
        }
    }).detach();
}

InputReader::~InputReader() {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mShared->stop = nullptr;
}

bool InputReader::Next(std::string& line, bool& echo) {
    std::unique_lock<std::mutex> lock(mShared->mutex);
    mShared->arrived.wait(lock, [&] { return !mShared->lines.empty() || mShared->ended; });
    if (mShared->lines.empty()) return false;
    Shared::Line next = std::move(mShared->lines.front());
    mShared->lines.pop_front();
    if (mShared->stop) mShared->stop->store(mShared->lastStop > next.number);
    line = std::move(next.text);
    echo = next.echo;
    return true;
}
