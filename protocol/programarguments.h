#pragma once

#include <string>
#include <vector>

// The command line as the program received it.
struct ProgramArguments {
    std::string programPath;             // first argument, empty when there is none
    std::vector<std::string> arguments;  // the rest, unchanged and in order

    static ProgramArguments FromMain(int argc, const char* const* argv) {
        ProgramArguments result;
        if (argc > 0 && argv[0]) result.programPath = argv[0];
        for (int i = 1; i < argc; ++i) result.arguments.emplace_back(argv[i] ? argv[i] : "");
        return result;
    }
};
