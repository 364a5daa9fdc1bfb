// The engine's analysis words (yxboard, prove, defend, dumptree) and the root
// threat solver that runs before the normal search of a move request.
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
#include "search/movegen.h"

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
    if (argument.find_first_of("0123456789") == std::string::npos)
        return static_cast<int32_t>(std::min<uint32_t>(timeControl.turnTimeout, 2147483647u));
    return std::max(0, atoi(argument.c_str()));
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
