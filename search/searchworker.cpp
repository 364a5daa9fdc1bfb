#include "search/searchworker.h"

#include "board/coord.h"

SearchShared::SearchShared() : maxDepth(static_cast<int32_t>(Coord::area)) {}

SearchWorker::SearchWorker(SearchShared& owner, std::stringstream& out)
    : shared(owner),
      random(RandomGenerator::AfterZobristKeys()),
      stopFlag(&owner.stop),
      diagnostics(out) {
    board = std::make_unique<BoardAI>();
    board->CountStonesIn(nodeCounter);
}

SearchWorker::~SearchWorker() = default;

void SearchWorker::SetPosition(const BoardAI& position) {
    board = std::make_unique<BoardAI>(position);
    board->CountStonesIn(nodeCounter);
}

void SearchWorker::Debug(const std::string& text) {
    diagnostics << "DEBUG " << text << '\n';
}

void SearchWorker::Message(const std::string& text) {
    diagnostics << "MESSAGE " << text << '\n';
}

void SearchWorker::Live(const std::string& text) {
    const std::string line = "MESSAGE " + text + "\n";
    if (liveOutput)
        liveOutput(line);
    else
        diagnostics << line;
}
