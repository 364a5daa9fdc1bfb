#include "protocol/engine.h"

#include <cstdlib>
#include <string>

#include "board/simpleboard.h"
#include "board/threatlist.h"

Engine::Engine(ProgramArguments args)
    : GameHandler(std::move(args)), maxDepth(static_cast<int32_t>(Coord::area)) {
    board = std::make_unique<BoardAI>();
    rootSide = board->mSide;
    rootMoveCount = board->mMoveCount;
}

Engine::~Engine() = default;

std::string Engine::ParseCommand(std::string command, std::string argument) {
    // Checked before everything else, so they also work in board mode.
    if (command == "searchdump") return "moves proceeed " + std::to_string(nodeCounter) + "\n";
    if (command == "set_maxdepth") {
        maxDepth = atoi(argument.c_str());
        return "OK";
    }
    if (command == "set_hashtablesize") return "OK";  // the table follows max_memory
    if (command == "set_randommoveprobability") {
        randomMoveProbability = atoi(argument.c_str());
        return "OK";
    }
    return GameHandler::ParseCommand(std::move(command), std::move(argument));
}

void Engine::SetMaxMemory(int32_t) {}

std::string Engine::Benchmark(std::string, bool) { return ""; }

void Engine::SetRule(uint32_t value) {
    GameHandler::SetRule(value);
    // The board's categories were computed with the old tables: replay the game
    // on a board built with the new ones.
    std::unique_ptr<BoardAI> fresh = std::make_unique<BoardAI>();
    uint8_t side = board->mSide;
    for (uint32_t i = 0; i < board->mMoveCount; ++i) {
        // Passes are not in the history: restore each stone's owner explicitly.
        uint8_t stone = board->mCells[board->mMoves[i]];
        if (2u - fresh->mSide != stone) fresh->Toggle(kPass);
        fresh->Toggle(board->mMoves[i]);
    }
    if (fresh->mSide != side) fresh->Toggle(kPass);
    board = std::move(fresh);
    InvalidateThreatLists();
}

void Engine::OpponentMoved(CellIndex) {}

void Engine::StoreResult(SearchResult result) {
    if (result.proof == 0)
        lastResult = ScoreWin;
    else if (result.disproof == 0)
        lastResult = ScoreLoss;
    else
        lastResult = ScoreUnknown;
}

SearchResult Engine::Search() {
    // TEMPORARY until the search lands: play the empty cell nearest the centre.
    firstMoveRequest = false;
    if (!searchReady) {
        AllocSearch();
        searchReady = true;
    }
    SearchResult result{0, 1, 1, kNoCell};
    int cx = Coord::width / 2, cy = Coord::height / 2, best = 1 << 30;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (board->mCells[z]) continue;
        int dx = static_cast<int>(z % Coord::width) - cx, dy = static_cast<int>(z / Coord::width) - cy;
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            result.move = static_cast<CellIndex>(z);
        }
    }
    StoreResult(result);
    return result;
}

void Engine::MakeMove(CellIndex cell) {
    board->Toggle(cell);
    InvalidateThreatLists();
    rootMoveCount = board->mMoveCount;
    rootSide = board->mSide;
}

void Engine::NewGame() {
    board = std::make_unique<BoardAI>();
    InvalidateThreatLists();
    rootMoveCount = board->mMoveCount;
    rootSide = board->mSide;
    lastResult = ScoreUnknown;
}

void Engine::AllocSearch() {}

bool Engine::IsOccupied(CellIndex cell) const { return board->mCells[cell] != 0; }
