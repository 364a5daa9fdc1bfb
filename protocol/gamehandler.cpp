#include "protocol/gamehandler.h"

#include <cstdio>
#include <vector>

#include "board/boardai.h"

namespace {

const char kOccupied[] = "cell is occupied.";

std::string FormatMove(uint32_t x, uint32_t y) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "%d,%d", static_cast<int>(x), static_cast<int>(y));
    return buffer;
}

}  // namespace

void GameHandler::Apply(CellIndex cell) {
    gameOperations.push_back(cell);
    MakeMove(cell);
}

void GameHandler::BeginGame() {
    gameOperations.clear();
    placements.clear();
    NewGame();
}

void GameHandler::PlaceStone(uint32_t x, uint32_t y, uint32_t owner) {
    if (owner == 3) return;
    // Convert first: a cell outside the board must raise before a pass is made.
    CellIndex cell = Coord::xy2z(x, y);
    placements.push_back({cell, gameOperations.size(), lastMover, engineToMove});
    if (lastMover == owner) Apply(kPass);
    lastMover = owner;
    Apply(cell);
    engineToMove = !engineToMove;
}

std::string GameHandler::Turn(uint32_t x, uint32_t y) {
    if (std::string refusal = OffBoard(x, y); !refusal.empty()) return refusal;
    CellIndex cell = Coord::xy2z(x, y);
    if (IsOccupied(cell)) return Error(kOccupied);
    OpponentMoved(cell);
    PlaceStone(x, y, 2);
    return Think();
}

std::string GameHandler::Begin() {
    BeginGame();
    engineToMove = true;
    lastMover = 4;
    return Think();
}

std::string GameHandler::ValidateEntries(const std::vector<BoardEntry>& entries) {
    std::vector<bool> used(Coord::area, false);
    for (const BoardEntry& e : entries) {
        if (e.owner < 1 || e.owner > 3) return Error("a board line is not x,y,owner (owner 1, 2 or 3).");
    }
    for (const BoardEntry& e : entries) {
        if (e.owner == 3) continue;
        if (std::string refusal = OffBoard(e.x, e.y); !refusal.empty()) return refusal;
        CellIndex cell = Coord::xy2z(e.x, e.y);
        if (used[cell]) return Error(kOccupied);
        used[cell] = true;
    }
    return "";
}

std::string GameHandler::Board(std::vector<BoardEntry> entries) {
    // Every entry is checked before the new game starts, so a refused list keeps
    // the previous game.
    std::string refusal = ValidateEntries(entries);
    if (!refusal.empty()) return refusal;
    BeginGame();
    lastMover = 2;
    for (const BoardEntry& e : entries) PlaceStone(e.x, e.y, e.owner);
    entries.clear();
    engineToMove = true;
    return Think();
}

std::string GameHandler::Start(uint32_t width, uint32_t height) {
    if (static_cast<uint32_t>(width * height) > static_cast<uint32_t>(kMaxArea)) {
        char buffer[64];
        snprintf(buffer, sizeof buffer, "maximum board size is %d fields.", kMaxArea);
        return Error(buffer);
    }
    const uint32_t side = static_cast<uint32_t>(kMaxSide);
    if (width < 2 || height < 2 || width > side || height > side) {
        char buffer[96];
        snprintf(buffer, sizeof buffer, "a board has 2 to %d cells a side and at most %d cells.",
                 kMaxSide, kMaxArea);
        return Error(buffer);
    }
    if (width != Coord::width || height != Coord::height) {
        // Refuse a bad shape before the tables are freed, so none is left half built.
        Coord::CheckSize(width, height);
        BoardAI::Free();
        Coord::SetSize(width, height);
        BoardAI::Alloc();
    }
    engineToMove = false;
    lastMover = 4;
    BeginGame();
    return "OK";
}

std::string GameHandler::Restart() {
    engineToMove = false;
    lastMover = 4;
    BeginGame();
    return "OK";
}

std::string GameHandler::Takeback(uint32_t x, uint32_t y) {
    // Only the last stone, as a manager's undo takes it; anything else needs BOARD.
    if (x >= Coord::width || y >= Coord::height || placements.empty() ||
        placements.back().cell != Coord::xy2z(x, y))
        return Error("TAKEBACK not supported, use BOARD instead.");
    const Placement last = placements.back();
    std::vector<Placement> earlier(placements.begin(), placements.end() - 1);
    std::vector<CellIndex> operations(gameOperations.begin(),
                                      gameOperations.begin() + last.operations);
    BeginGame();
    for (CellIndex cell : operations) Apply(cell);
    placements = std::move(earlier);
    lastMover = last.lastMover;
    engineToMove = last.engineToMove;
    return "OK";
}

std::string GameHandler::Play(uint32_t x, uint32_t y) {
    if (std::string refusal = OffBoard(x, y); !refusal.empty()) return refusal;
    CellIndex cell = Coord::xy2z(x, y);
    if (IsOccupied(cell)) return Error(kOccupied);
    PlaceStone(x, y, 1);
    return FormatMove(x, y);
}

CellIndex GameHandler::FirstEmptyCell() const {
    for (uint32_t z = 0; z < Coord::area; ++z)
        if (!IsOccupied(static_cast<CellIndex>(z))) return static_cast<CellIndex>(z);
    return kNoCell;
}

CellIndex GameHandler::FirstPlayableCell() const {
    for (uint32_t z = 0; z < Coord::area; ++z) {
        const auto cell = static_cast<CellIndex>(z);
        if (!IsOccupied(cell) && !IsForbiddenToMove(cell) && !IsBlockedCell(cell)) return cell;
    }
    for (uint32_t z = 0; z < Coord::area; ++z) {
        const auto cell = static_cast<CellIndex>(z);
        if (!IsOccupied(cell) && !IsForbiddenToMove(cell)) return cell;
    }
    return FirstEmptyCell();
}

std::string GameHandler::Think() {
    if (FirstEmptyCell() == kNoCell) return Error("board is full.");
    // When the engine placed the last stone (PLAY, or a board list ending with its
    // own stone) the board has the opponent to move: a pass, standing for the
    // opponent's turn, hands the move to the engine's side, so the search is for
    // the engine and its stone gets the engine's colour.
    if (lastMover == 1) {
        Apply(kPass);
        lastMover = 2;
    }
    engineToMove = true;
    SearchResult result = Search();
    CellIndex move = result.move;
    // A search that finds no move (a board too small for any five, or every
    // candidate forbidden, say) still answers with a legal cell.
    if (move >= Coord::area || IsOccupied(move) || IsForbiddenToMove(move) || IsBlockedCell(move))
        move = FirstPlayableCell();
    lastEngineMove = move;
    uint32_t x = move % Coord::width, y = move / Coord::width;
    std::string reply = FormatMove(x, y);
    PlaceStone(x, y, 1);
    return reply;
}
