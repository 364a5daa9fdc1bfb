// The swap2 opening as GomocupJudge and qpiskvork play it: three stones to
// place, a colour to choose after three, or after five.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "board/threatlist.h"
#include "platform/clock.h"
#include "protocol/engine.h"
#include "search/driver.h"
#include "search/movegen.h"
#include "search/timebudget.h"
#include "search/trace.h"

namespace {

// Searched values within this of 0 count as balanced: after three stones the
// engine then places two more and leaves the choice of colour to the opponent.
constexpr int32_t kBalanced = 40;
// A decided opening, as JudgeOpening scores it.
constexpr int32_t kDecided = 1000000;

}  // namespace

SearchResult Engine::QuietSearch(int32_t ms) {
    TimeControl tc = timeControl;
    const uint32_t now = NowMs();
    tc.matchTimeout = 0;  // only this deadline binds
    tc.turnClock = tc.moveClock = now;
    tc.turnDeadline = now + static_cast<uint32_t>(std::max(ms, 1) + kTimeReserveMs);
    tc.moveDeadline = tc.turnDeadline;
    // The judgements are the engine's own business: their lines are dropped.
    const std::string before = diagnostics.str();
    const SearchResult r = ChooseMove(worker, tc);
    diagnostics.str(before);
    diagnostics.seekp(0, std::ios_base::end);
    return r;
}

int32_t Engine::JudgeOpening(const std::vector<CellIndex>& stones, int32_t ms, CellIndex* best) {
    // The side to move gets owner 1: the engine's search is then for it.
    const size_t toMove = stones.size() % 2;
    std::vector<BoardEntry> entries;
    for (size_t i = 0; i < stones.size(); ++i)
        entries.push_back({static_cast<uint32_t>(stones[i] % Coord::width),
                           static_cast<uint32_t>(stones[i] / Coord::width),
                           i % 2 == toMove ? 1u : 2u});
    SetUpPosition(entries);
    const SearchResult r = QuietSearch(ms);
    if (best) *best = r.move < Coord::area && !IsOccupied(r.move) ? r.move : FirstEmptyCell();
    if (r.proof == 0) return kDecided;
    if (r.disproof == 0) return -kDecided;
    return r.value;
}

void Engine::SetUpOpening(const std::vector<CellIndex>& stones, int engineColour) {
    BeginGame();
    lastMover = 2;
    for (size_t i = 0; i < stones.size(); ++i)
        PlaceStone(stones[i] % Coord::width, stones[i] / Coord::width,
                   static_cast<int>(i % 2) == engineColour ? 1u : 2u);
    engineToMove = false;
}

std::string Engine::Swap2(const std::vector<BoardEntry>& list) {
    std::vector<CellIndex> stones;
    for (const BoardEntry& e : list) {
        if (e.owner == 0) return Error("a swap2board line is not x,y.");
        if (std::string refusal = OffBoard(e.x, e.y); !refusal.empty()) return refusal;
        const CellIndex cell = Coord::xy2z(e.x, e.y);
        if (std::find(stones.begin(), stones.end(), cell) != stones.end())
            return Error("cell is occupied.");
        stones.push_back(cell);
    }
    if (stones.size() != 0 && stones.size() != 3 && stones.size() != 5)
        return Error("swap2board takes 0, 3 or 5 stones.");
    const int32_t budget = std::max(StartMoveClock(), 10);
    EnsureSearch();

    if (stones.empty()) {
        // Three stones around the centre (black, white, black) for which the
        // search finds the side to move, white, closest to even.
        const int cx = static_cast<int>(Coord::width) / 2, cy = static_cast<int>(Coord::height) / 2;
        auto cell = [&](int x, int y) {
            return x < 0 || y < 0 || x >= static_cast<int>(Coord::width) ||
                           y >= static_cast<int>(Coord::height)
                       ? kNoCell
                       : static_cast<CellIndex>(y * static_cast<int>(Coord::width) + x);
        };
        std::vector<std::vector<CellIndex>> openings;
        for (const auto& [wx, wy] : {std::pair{1, 0}, std::pair{1, 1}})
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const CellIndex b = cell(cx, cy), w = cell(cx + wx, cy + wy),
                                    third = cell(cx + dx, cy + dy);
                    if (b == kNoCell || w == kNoCell || third == kNoCell || third == b || third == w)
                        continue;
                    openings.push_back({b, w, third});
                }
        if (openings.empty()) return Error("the board is too small for swap2.");
        const int32_t share = budget / static_cast<int32_t>(openings.size());
        size_t chosen = 0;
        int32_t closest = 0;
        for (size_t i = 0; i < openings.size(); ++i) {
            const int32_t v = std::abs(JudgeOpening(openings[i], share, nullptr));
            if (i == 0 || v < closest) {
                chosen = i;
                closest = v;
            }
        }
        // The opponent chooses next; until it does, the engine stands as black.
        SetUpOpening(openings[chosen], 0);
        return CellText(openings[chosen][0]) + " " + CellText(openings[chosen][1]) + " " +
               CellText(openings[chosen][2]);
    }

    if (stones.size() == 5) {
        // White to move: play it when it is at least even for white, else take black.
        CellIndex sixth = kNoCell;
        const int32_t white = JudgeOpening(stones, budget, &sixth);
        if (white >= 0) {
            stones.push_back(sixth);
            SetUpOpening(stones, 1);
            return CellText(sixth);
        }
        SetUpOpening(stones, 0);
        return "SWAP";
    }

    // Three stones, white to move: stay white and play, take black, or, when the
    // position is close to even, add two stones and let the opponent choose.
    CellIndex fourth = kNoCell;
    const int32_t white = JudgeOpening(stones, budget / 2, &fourth);
    if (std::abs(white) > kBalanced) {
        if (white > 0) {
            stones.push_back(fourth);
            SetUpOpening(stones, 1);
            return CellText(fourth);
        }
        SetUpOpening(stones, 0);
        return "SWAP";
    }
    std::vector<CellIndex> four = stones;
    four.push_back(fourth);
    // Black's fifth stone among the generator's first candidates: the one that
    // leaves white closest to even.
    SetUpOpening(four, 1);
    BoardAI copy = *board;
    copy.mPlain = 1;
    GenerateMoves(copy, GenMode::kFull);
    std::vector<CellIndex> fifths;
    for (uint32_t i = 0; i < copy.genCount && fifths.size() < 6; ++i)
        if (copy.genMoves[i] < Coord::area) fifths.push_back(copy.genMoves[i]);
    if (fifths.empty()) fifths.push_back(FirstEmptyCell());
    const int32_t share = std::max(1, budget / 2 / static_cast<int32_t>(fifths.size()));
    CellIndex fifth = fifths[0];
    int32_t closest = 0;
    for (size_t i = 0; i < fifths.size(); ++i) {
        std::vector<CellIndex> five = four;
        five.push_back(fifths[i]);
        const int32_t v = std::abs(JudgeOpening(five, share, nullptr));
        if (i == 0 || v < closest) {
            fifth = fifths[i];
            closest = v;
        }
    }
    four.push_back(fifth);
    SetUpOpening(four, 0);
    return CellText(fourth) + " " + CellText(fifth);
}
