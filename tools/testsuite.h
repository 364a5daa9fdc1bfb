#pragma once

#include <cstdint>
#include <functional>
#include <string>

class BoardAI;
class SearchWorker;

struct TestResult {
    uint32_t positions = 0;
    std::string message;  // one line per failed file
};

// Searches every position file of a folder to depth 10 and reports the files that
// fail to load or search. Writes each path to standard output.
TestResult TestAB(SearchWorker& worker, const std::string& folder);

// Times TestAB; with statistics, prints the two build-statistic lines first.
std::string Benchmark(SearchWorker& worker, const std::string& folder, bool printStatistics);

// Plays a fixed 40-move game and searches each of its positions; answers
// "testing: N nodes". The count is a signature of the search.
// onSearch, when given, sees each board just before it is searched.
std::string SelfTest(SearchWorker& worker,
                     const std::function<void(const BoardAI&)>& onSearch = nullptr);
