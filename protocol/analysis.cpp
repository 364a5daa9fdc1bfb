#include "protocol/analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "board/patterntables.h"
#include "platform/clock.h"
#include "pns/proofsearch.h"
#include "pns/threatsolver.h"
#include "pns/treedump.h"
#include "search/movegen.h"
#include "search/searchworker.h"
#include "search/trace.h"

namespace {

// A five on the board by the rules: exactly five where six or more is none
// (for Black alone under renju), and under caro not closed by the opponent's
// stones at both ends.
bool HasFive(const BoardAI& board) {
    const Rules rules = board.GameRules();
    const int dx[4] = {1, 0, 1, -1}, dy[4] = {0, 1, 1, 1};
    const int w = static_cast<int>(Coord::width), h = static_cast<int>(Coord::height);
    auto at = [&](int x, int y) {
        return x < 0 || y < 0 || x >= w || y >= h ? 0 : board.mCells[y * w + x];
    };
    auto opponent = [&](int x, int y, int stone) {
        const int v = at(x, y);
        return v != 0 && v != stone;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int stone = at(x, y);
            if (!stone) continue;
            for (int d = 0; d < 4; ++d) {
                if (at(x - dx[d], y - dy[d]) == stone) continue;  // not the start of the run
                int run = 1;
                while (at(x + run * dx[d], y + run * dy[d]) == stone) ++run;
                const bool exact = rules.ExactFiveFor(stone == board.mBlack);
                const bool closed = rules.Caro() && opponent(x - dx[d], y - dy[d], stone) &&
                                    opponent(x + run * dx[d], y + run * dy[d], stone);
                if ((exact ? run == 5 : run >= 5) && !closed) return true;
            }
        }
    return false;
}

// Nothing to search: no stones, a finished game or a full board.
bool NothingToProve(const BoardAI& board) {
    return board.mMoveCount == 0 || board.mMoveCount >= Coord::area || HasFive(board);
}

}  // namespace

std::string ProveReply(ProofSearcher& proof, int32_t budget) {
    std::stringstream& diagnostics = proof.worker.diagnostics;
    if (NothingToProve(*proof.board)) return "NOWIN";
    proof.pnPool->ResetPeak();
    const uint32_t evaluations = proof.pnEvaluationCounter;
    const uint32_t start = NowMs();
    proof.pnPruneSolved = true;
    SearchResult r = ProveWinResult(proof, budget);
    proof.pnPruneSolved = false;
    const int32_t ms = StampDiff(NowMs(), start);
    const uint32_t nodes = proof.pnEvaluationCounter - evaluations;
    const long long rate = ms > 0 ? 1000LL * nodes / ms : 0;
    diagnostics << "DEBUG PROVE: nodes=" << nodes << " ms=" << ms << " nps=" << rate
                << " pool=" << proof.pnPool->peakLive << "/" << proof.pnPool->capacity << '\n';
    if (r.proof == 0) {
        const ProofShape shape = MeasureProof(proof.pnRoots[kProofSlotB]);
        diagnostics << "DEBUG PROVE: proof of " << shape.nodes << " nodes, " << shape.plies
                    << " plies\n";
        return r.move < Coord::area ? "WIN " + CellText(r.move) : "WIN";
    }
    return r.disproof == 0 ? "NOWIN" : "UNKNOWN";
}

std::string DefendReply(ProofSearcher& proof, int32_t budget) {
    std::stringstream& diagnostics = proof.worker.diagnostics;
    if (NothingToProve(*proof.board)) return "NONE";
    BoardAI copy = *proof.board;
    GenerateMoves(copy, GenMode::kFull);
    const std::vector<CellIndex> first(copy.genMoves, copy.genMoves + copy.genCount);
    const uint32_t start = NowMs();
    DefenceReport report = AnalyseDefences(proof, budget, first, true);
    diagnostics << "DEBUG DEFEND: nodes=" << report.nodes << " ms=" << StampDiff(NowMs(), start)
                << " threat=" << (report.threat ? 1 : 0) << " stopping=" << report.stopping.size()
                << " losing=" << report.losing.size() << " open=" << report.open.size() << '\n';
    if (report.stopping.empty()) return "NONE";
    std::string reply;
    for (CellIndex c : report.stopping) {
        if (!reply.empty()) reply += ' ';
        reply += CellText(c);
    }
    return reply;
}

std::string DumpTreeReply(const ProofSearcher& proof, const std::string& fileName) {
    // The tree of the last prove, or else the defences' tree.
    PnNode* root = proof.pnRoots[kProofSlotB] ? proof.pnRoots[kProofSlotB]
                                               : proof.pnRoots[kProofSlotC];
    if (!root) return "ERROR no proof tree to dump.";
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) return "ERROR cannot write " + fileName + ".";
    DumpGraphGml(out, root, root);
    out.close();
    if (!out) return "ERROR cannot write " + fileName + ".";
    return "OK";
}

std::string SearchDefendReply(ProofSearcher& proof, int32_t budget, CellIndex fallback) {
    if (NothingToProve(*proof.board))
        return fallback == kNoCell ? "ERROR board is full." : "NONE";
    BoardAI copy = *proof.board;
    GenerateMoves(copy, GenMode::kFull);
    const std::vector<CellIndex> first(copy.genMoves, copy.genMoves + copy.genCount);
    const DefenceReport report = AnalyseDefences(proof, budget, first, true);
    for (CellIndex c : report.losing) proof.worker.Message("REALTIME LOST " + CellText(c));
    CellIndex move = report.stopping.empty() ? kNoCell : report.stopping.front();
    for (CellIndex c : first)
        if (move == kNoCell && c < Coord::area &&
            std::find(report.losing.begin(), report.losing.end(), c) == report.losing.end())
            move = c;
    if (move == kNoCell) move = first.empty() || first[0] >= Coord::area ? fallback : first[0];
    return CellText(move);
}
