// The engine's analysis words (yxboard, prove, defend, dumptree, and the GUI's
// yxnbest and yxsearchdefend) and the root threat solver that runs before the
// normal search of a move request.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "board/patterntables.h"
#include "board/threatlist.h"
#include "platform/clock.h"
#include "pns/proofsearch.h"
#include "pns/threatsolver.h"
#include "pns/treedump.h"
#include "protocol/engine.h"
#include "search/driver.h"
#include "search/movegen.h"
#include "search/timebudget.h"

namespace {

std::string FormatCell(CellIndex cell) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "%d,%d", static_cast<int>(cell % Coord::width),
             static_cast<int>(cell / Coord::width));
    return buffer;
}

// A five (or, where exactly five wins, a line of exactly five) on the board.
bool HasFive(const BoardAI& board) {
    const int dx[4] = {1, 0, 1, -1}, dy[4] = {0, 1, 1, 1};
    const int w = static_cast<int>(Coord::width), h = static_cast<int>(Coord::height);
    auto at = [&](int x, int y) {
        return x < 0 || y < 0 || x >= w || y >= h ? 0 : board.mCells[y * w + x];
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int stone = at(x, y);
            if (!stone) continue;
            for (int d = 0; d < 4; ++d) {
                if (at(x - dx[d], y - dy[d]) == stone) continue;  // not the start of the run
                int run = 1;
                while (at(x + run * dx[d], y + run * dy[d]) == stone) ++run;
                if (ExactFive(rule) ? run == 5 : run >= 5) return true;
            }
        }
    return false;
}

// A result's score for a reader: "win", "loss" or the value.
std::string ScoreText(const SearchResult& r) {
    return r.proof == 0 ? "win" : r.disproof == 0 ? "loss" : std::to_string(r.value);
}

// Nothing to search: no stones, a finished game or a full board.
bool NothingToProve(const BoardAI& board) {
    return board.mMoveCount == 0 || board.mMoveCount >= Coord::area || HasFive(board);
}

}  // namespace

void Engine::EnsureSearch() {
    if (!searchReady || !pnPool || !transpositionTable) {
        AllocSearch();
        searchReady = true;
    }
}

int32_t Engine::AnalysisBudget(const std::string& argument) const {
    int64_t ms = 0;
    if (!ReadInt64(argument, ms))
        return static_cast<int32_t>(std::min<uint32_t>(timeControl.turnTimeout, 2147483647u));
    return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(ms, 2147483647)));
}

std::string Engine::SetUpPosition(const std::vector<BoardEntry>& entries) {
    // BOARD's checks and stones; the engine is then to move, as BOARD's search
    // would have it, but nothing is searched and nothing answered.
    std::string refusal = ValidateEntries(entries);
    if (!refusal.empty()) return refusal;
    BeginGame();
    lastMover = 2;
    for (const BoardEntry& e : entries) PlaceStone(e.x, e.y, e.owner);
    engineToMove = true;
    if (lastMover == 1) {
        Apply(kPass);
        lastMover = 2;
    }
    return "";
}

std::string Engine::Prove(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    if (NothingToProve(*board)) return "NOWIN";
    pnPool->ResetPeak();
    const uint32_t evaluations = pnEvaluationCounter;
    const uint32_t start = NowMs();
    pnPruneSolved = true;
    SearchResult r = ProveWinResult(*this, budget);
    pnPruneSolved = false;
    const int32_t ms = StampDiff(NowMs(), start);
    const uint32_t nodes = pnEvaluationCounter - evaluations;
    const long long rate = ms > 0 ? 1000LL * nodes / ms : 0;
    diagnostics << "DEBUG PROVE: nodes=" << nodes << " ms=" << ms << " nps=" << rate
                << " pool=" << pnPool->peakLive << "/" << pnPool->capacity << '\n';
    if (r.proof == 0) {
        const ProofShape shape = MeasureProof(pnRoots[kProofSlotB]);
        diagnostics << "DEBUG PROVE: proof of " << shape.nodes << " nodes, " << shape.plies
                    << " plies\n";
        return r.move < Coord::area ? "WIN " + FormatCell(r.move) : "WIN";
    }
    return r.disproof == 0 ? "NOWIN" : "UNKNOWN";
}

std::string Engine::Defend(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    if (NothingToProve(*board)) return "NONE";
    BoardAI copy = *board;
    InvalidateThreatLists();
    GenerateMoves(copy, 0);
    InvalidateThreatLists();
    const std::vector<CellIndex> first(copy.genMoves, copy.genMoves + copy.genCount);
    const uint32_t start = NowMs();
    DefenceReport report = AnalyseDefences(*this, budget, first, true);
    diagnostics << "DEBUG DEFEND: nodes=" << report.nodes << " ms=" << StampDiff(NowMs(), start)
                << " threat=" << (report.threat ? 1 : 0) << " stopping=" << report.stopping.size()
                << " losing=" << report.losing.size() << " open=" << report.open.size() << '\n';
    if (report.stopping.empty()) return "NONE";
    std::string reply;
    for (CellIndex c : report.stopping) {
        if (!reply.empty()) reply += ' ';
        reply += FormatCell(c);
    }
    return reply;
}

std::string Engine::DumpTree(const std::string& fileName) {
    // The tree of the last prove, or else the defences' tree.
    PnNode* root = pnRoots[kProofSlotB] ? pnRoots[kProofSlotB] : pnRoots[kProofSlotC];
    if (!root) return Error("no proof tree to dump.");
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) return Error("cannot write " + fileName + ".");
    DumpGraphGml(out, root, root);
    out.close();
    if (!out) return Error("cannot write " + fileName + ".");
    return "OK";
}

bool Engine::SolveAtRoot(int32_t moveBudget, SearchResult& result) {
    restrictedCount = 0;
    // Only where the normal search would search: the generator leaves the
    // position open with a choice of moves.
    BoardAI copy = *board;
    copy.mPlain = 1;
    InvalidateThreatLists();
    const int32_t verdict = GenerateMoves(copy, 0);
    InvalidateThreatLists();
    if (IsDecisive(verdict) || copy.genCount < 2 || copy.mMoveCount <= 1 ||
        randomMoveProbability > 0)
        return false;
    const int32_t solverMs = std::min(pnsTime, moveBudget / 2);
    if (solverMs <= 0) return false;
    const uint32_t start = NowMs();

    // a. A win by threats for the engine is played at once.
    const std::string before = diagnostics.str();
    pnPruneSolved = true;
    SearchResult own = ProveWinResult(*this, solverMs / 3);
    pnPruneSolved = false;
    diagnostics.str(before);
    diagnostics.seekp(0, std::ios_base::end);
    if (own.proof == 0 && own.move < Coord::area && board->mCells[own.move] == 0) {
        const ProofShape shape = MeasureProof(pnRoots[kProofSlotB]);
        Message("threat win proven: " + std::to_string(shape.nodes) + " nodes, " +
                std::to_string(shape.plies) + " plies");
        result = own;
        return true;
    }
    pnCurrentRoot = nullptr;
    ReleaseTree(*this, kProofSlotB);

    // b. The opponent's threats: the search keeps only the moves not proven to
    //    lose to them, and gains those proven to stop them.
    const int32_t left = solverMs - StampDiff(NowMs(), start);
    if (left <= 0) return false;
    const std::vector<CellIndex> candidates(copy.genMoves, copy.genMoves + copy.genCount);
    DefenceReport report = AnalyseDefences(*this, left, candidates, false);
    if (!report.threat) return false;
    std::vector<CellIndex> kept;
    for (CellIndex c : candidates)
        if (std::find(report.losing.begin(), report.losing.end(), c) == report.losing.end())
            kept.push_back(c);
    for (CellIndex c : report.stopping)
        if (std::find(kept.begin(), kept.end(), c) == kept.end()) kept.push_back(c);
    diagnostics << "DEBUG PNS: threatened; " << kept.size() << " of " << candidates.size()
                << " moves kept, " << report.stopping.size() << " stop it, " << report.losing.size()
                << " lose, " << report.nodes << " nodes, " << StampDiff(NowMs(), start) << " ms";
    for (CellIndex c : report.losing)
        diagnostics << (c == report.losing[0] ? "; lost: " : " ") << FormatCell(c);
    diagnostics << '\n';
    // Every move loses: the search chooses as usual.
    if (kept.empty()) return false;
    if (kept.size() == 1) {
        result = SearchResult{0, 1, 1, kept[0]};
        return true;
    }
    if (report.losing.empty() && kept.size() == candidates.size()) return false;
    restrictedCount = static_cast<uint32_t>(std::min<size_t>(kept.size(), kMaxArea));
    std::copy(kept.begin(), kept.begin() + restrictedCount, restrictedMoves);
    return false;
}

std::string Engine::BestMoves(const std::string& argument) {
    int64_t wanted = 1;
    ReadInt64(argument, wanted);
    const int32_t n = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(wanted, 20)));
    if (FirstEmptyCell() == kNoCell) return Error("board is full.");
    const int32_t budget = StartMoveClock();
    EnsureSearch();
    BoardAI copy = *board;
    copy.mPlain = 1;
    InvalidateThreatLists();
    const int32_t verdict = GenerateMoves(copy, 0);
    InvalidateThreatLists();
    std::vector<CellIndex> candidates(copy.genMoves, copy.genMoves + copy.genCount);
    candidates.erase(std::remove(candidates.begin(), candidates.end(), kNoCell), candidates.end());
    // A decided position, or a single move, has one best move: the normal decision.
    if (IsDecisive(verdict) || candidates.size() < 2 || copy.mMoveCount <= 1) {
        const SearchResult r = ChooseMove(*this, timeControl);
        const CellIndex move = r.move < Coord::area && !IsOccupied(r.move) ? r.move : FirstEmptyCell();
        Message("nbest 1: " + FormatCell(move) + " " + ScoreText(r));
        return FormatCell(move);
    }
    // Each next best move is the best of the root moves not found yet, searched
    // with its share of the time.
    std::vector<CellIndex> found;
    const int32_t share = std::max(1, budget / n);
    for (int32_t i = 0; i < n && found.size() < candidates.size(); ++i) {
        restrictedCount = 0;
        for (CellIndex c : candidates)
            if (std::find(found.begin(), found.end(), c) == found.end())
                restrictedMoves[restrictedCount++] = c;
        TimeControl tc = timeControl;
        const uint32_t now = NowMs();
        tc.moveClock = now;
        tc.moveDeadline = now + static_cast<uint32_t>(share);
        tc.turnDeadline = std::min<uint32_t>(timeControl.turnDeadline - now,
                                             static_cast<uint32_t>(share + kTimeReserveMs)) +
                          now;
        BoardAI searched = *board;
        searched.mPlain = 1;
        InvalidateThreatLists();
        SearchResult r = IterativeDeepening(*this, searched, &tc, maxDepth);
        InvalidateThreatLists();
        if (r.move >= Coord::area) r.move = restrictedMoves[0];
        found.push_back(r.move);
        Message("nbest " + std::to_string(i + 1) + ": " + FormatCell(r.move) + " " + ScoreText(r));
    }
    restrictedCount = 0;
    return FormatCell(found.front());
}

std::string Engine::SearchDefend(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    if (NothingToProve(*board)) return FirstEmptyCell() == kNoCell ? Error("board is full.") : "NONE";
    BoardAI copy = *board;
    InvalidateThreatLists();
    GenerateMoves(copy, 0);
    InvalidateThreatLists();
    const std::vector<CellIndex> first(copy.genMoves, copy.genMoves + copy.genCount);
    const DefenceReport report = AnalyseDefences(*this, budget, first, true);
    for (CellIndex c : report.losing) Message("REALTIME LOST " + FormatCell(c));
    // One move: one that stops the threats, else a candidate not proven to lose.
    CellIndex move = report.stopping.empty() ? kNoCell : report.stopping.front();
    for (CellIndex c : first)
        if (move == kNoCell && c < Coord::area &&
            std::find(report.losing.begin(), report.losing.end(), c) == report.losing.end())
            move = c;
    if (move == kNoCell) move = first.empty() || first[0] >= Coord::area ? FirstEmptyCell() : first[0];
    return FormatCell(move);
}
