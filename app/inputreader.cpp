#include "app/inputreader.h"

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

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

bool InputReader::IsStopLine(const std::string& line) {
    const size_t end = line.find_last_not_of(" \t");
    const std::string text = end == std::string::npos ? std::string() : line.substr(0, end + 1);
    return text == "yxstop" || text == "stop" || text == "info timeout_turn 0";
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
        for (;;) {
            if (source != &std::cin && (source->eof() || source->fail())) source = &std::cin;
            std::string line;
            const bool got = ReadLine(*source, line);
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (!got && source == &std::cin) {
                shared->ended = true;
                shared->arrived.notify_one();
                return;
            }
            const uint64_t number = ++shared->read;
            if (IsStopLine(Lower(line))) {
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
