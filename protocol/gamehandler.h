#pragma once

#include <vector>

#include "board/coord.h"
#include "protocol/protocolhandler.h"
#include "search/score.h"

// Game bookkeeping on top of the protocol: which owner placed the last stone,
// whether the engine's side is to move, and the passes that keep the board's
// strict alternation of sides in step with the protocol's owners.
class GameHandler : public ProtocolHandler {
  public:
    explicit GameHandler(ProgramArguments args) : ProtocolHandler(std::move(args)) {}

    uint32_t lastMover = 4;  // 1, 2, or 4 when nobody has moved yet
    bool engineToMove = false;
    bool firstMoveRequest = true;
    bool searchReady = false;
    CellIndex lastEngineMove = kNoCell;

    std::string Turn(uint32_t x, uint32_t y) override;
    std::string Begin() override;
    std::string Board(std::vector<BoardEntry> entries) override;
    std::string Start(uint32_t width, uint32_t height) override;
    std::string Restart() override;
    std::string Takeback(uint32_t x, uint32_t y) override;
    std::string Play(uint32_t x, uint32_t y) override;
    std::string Think() override;

    // Slots 13..18.
    virtual void OpponentMoved(CellIndex cell) = 0;
    virtual void StoreResult(SearchResult result) { (void)result; }
    virtual SearchResult Search() = 0;
    virtual void MakeMove(CellIndex cell) = 0;
    virtual void NewGame() = 0;
    virtual void AllocSearch() = 0;

    // What the protocol needs to know of the board to refuse unsound moves.
    virtual bool IsOccupied(CellIndex cell) const = 0;
    // Whether the side to move may not play the empty cell (renju's forbidden
    // points of Black).
    virtual bool IsForbiddenToMove(CellIndex cell) const {
        (void)cell;
        return false;
    }

    // A cell the user blocked: no answer names it while another is free.
    virtual bool IsBlockedCell(CellIndex cell) const {
        (void)cell;
        return false;
    }

    void PlaceStone(uint32_t x, uint32_t y, uint32_t owner);
    // MakeMove and NewGame as the game's record sees them; everything that changes
    // the game's board goes through these two.
    void Apply(CellIndex cell);
    void BeginGame();

  protected:
    // How the game stood before each stone placed through the protocol: the
    // board operations (stones and passes) made until then and the owners' state.
    // TAKEBACK puts the game back exactly by replaying the operations before it.
    struct Placement {
        CellIndex cell;
        size_t operations;
        uint32_t lastMover;
        bool engineToMove;
    };
    std::vector<CellIndex> gameOperations;
    std::vector<Placement> placements;

    std::string ValidateEntries(const std::vector<BoardEntry>& entries) override;
    // First empty cell in index order, 400 when the board is full.
    CellIndex FirstEmptyCell() const;
    // First empty cell the side to move may play and the user did not block,
    // else the first it may play, else the first empty cell.
    CellIndex FirstPlayableCell() const;
};
