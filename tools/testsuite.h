#pragma once

#include <cstdint>
#include <string>

class Engine;

struct TestResult {
    uint32_t positions = 0;
    std::string message;  // one line per failed file
};

// Searches every position file of a folder to depth 10 and reports the files that
// fail to load or search. Writes each path to standard output.
TestResult TestAB(Engine& engine, const std::string& folder);

// Times TestAB; with statistics, prints the two build-statistic lines first.
std::string Benchmark(Engine& engine, const std::string& folder, bool printStatistics);

// Plays a fixed 40-move game and searches each of its positions; answers
// "testing: N nodes". The count is a signature of the search.
std::string SelfTest(Engine& engine);
