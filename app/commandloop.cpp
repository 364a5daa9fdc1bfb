#include "app/commandloop.h"

#include <fstream>
#include <iostream>
#include <memory>

#include "app/errorreport.h"
#include "app/inputreader.h"
#include "protocol/protocolhandler.h"

std::pair<bool, std::string> FindOption(const ProtocolHandler& handler, const std::string& name) {
    const auto& args = handler.programArguments.arguments;
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i] == name) return {true, i + 1 < args.size() ? args[i + 1] : std::string()};
    return {false, std::string()};
}

std::vector<std::string> SplitCommands(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string ExecuteLine(ProtocolHandler& handler, const std::string& line) {
    // Blanks and tabs around words and numbers are separators, as a manager's
    // user would type them.
    std::string text = line;
    for (char& c : text)
        if (c == '\t') c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const size_t space = text.find(' ');
    std::string command = text.substr(0, space);
    std::string argument =
        space == std::string::npos ? std::string() : text.substr(text.find_first_not_of(' ', space));
    std::string reply;
    try {
        reply = handler.ParseCommand(command, argument);
    } catch (...) {
        // A manager must be able to go on after any line: the command answers its
        // error, and every command checks its input before it changes anything.
        reply = "ERROR " + DescribeError(std::current_exception());
    }
    // No reply ends with an empty line: a GUI would take it for the move.
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
    // The diagnostic lines end with their line feeds; the reply follows at once.
    std::string out = handler.diagnostics.str() + reply;
    handler.diagnostics.str(std::string());
    handler.diagnostics.clear();
    if (reply.empty() && !out.empty()) out.pop_back();
    return out;
}

void ProcessLine(ProtocolHandler& handler) {
    std::string reply = ExecuteLine(handler, handler.line);
    if (!reply.empty()) {
        std::cout << reply << '\n';
        std::cout.flush();
    }
}

void RunCommandLoop(ProtocolHandler& handler) {
    auto replay = std::make_unique<std::ifstream>("input.txt");
    if (!replay->is_open()) replay.reset();

    // Live analysis lines are written as they come.
    handler.output = [](const std::string& text) {
        std::cout << text;
        std::cout.flush();
    };

    auto [found, value] = FindOption(handler, "--command");
    if (found) {
        for (const std::string& piece : SplitCommands(value)) {
            handler.line = piece;
            if (!handler.line.empty() && handler.line.back() == '\r') handler.line.pop_back();
            ProcessLine(handler);
        }
    }
    if (!handler.running) return;

    // Input is read while a command runs, so that a stop line ends its search.
    InputReader input(std::move(replay), handler.StopFlag());
    bool echo = false;
    while (handler.running && input.Next(handler.line, echo)) {
        if (echo) {
            std::cout << handler.line << '\n';
            std::cout.flush();
        }
        for (char& c : handler.line)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        ProcessLine(handler);
    }
    // The flag stays lowered for commands run without the reader (the library).
    if (std::atomic<bool>* stop = handler.StopFlag()) stop->store(false);
}
