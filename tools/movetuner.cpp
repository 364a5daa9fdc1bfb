#include "tools/movetuner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "board/boardai.h"
#include "board/patterntables.h"
#include "board/tablefile.h"
#include "board/threatcategory.h"
#include "search/evaluate.h"
#include "search/movegen.h"
#include "search/score.h"

namespace movetuner {

namespace {

// The search's classes of a listed move (its interior nodes put fours first,
// then the other tactical moves, each in the generator's order).
uint8_t SearchClass(const BoardAI& b, CellIndex cell) {
    const int own = static_cast<int>(b.mToMove), opp = static_cast<int>(b.mOpponent);
    if (b.Category(own, cell) < k2xThree) return 2;
    constexpr uint8_t kAnswers = kKindWin | kKindDefence | kKindCounter;
    const bool tactical = b.Category(own, cell) <= kThree || b.Category(opp, cell) <= kFour ||
                          (b.IsListed(cell) && (b.genKind[cell] & kAnswers));
    return tactical ? 1 : 0;
}

double Score(const Candidate& c, const std::vector<double>& scores) {
    return scores[kOwnCodes + c.own] + scores[kOppCodes + c.opp];
}

// Of the position's candidates, how many an order puts before the played
// one; before(a, b) says whether candidate a comes before candidate b, ties
// going to the earlier in the list.
template <typename Before>
uint32_t PlayedRank(const MoveData& data, size_t i, Before before) {
    const uint32_t first = data.begin[i], n = data.begin[i + 1] - first;
    const uint32_t played = data.played[i];
    uint32_t rank = 0;
    for (uint32_t k = 0; k < n; ++k)
        if (k != played && before(first + k, first + played, k < played)) ++rank;
    return rank;
}

template <typename Before>
Accuracy Measure(const MoveData& data, bool heldOut, Before before) {
    size_t n = 0, top1 = 0, top3 = 0;
    for (size_t i = 0; i < data.Size(); ++i) {
        if (static_cast<bool>(data.heldOut[i]) != heldOut) continue;
        const uint32_t rank = PlayedRank(data, i, before);
        ++n;
        top1 += rank == 0;
        top3 += rank < 3;
    }
    if (n == 0) return {};
    return {static_cast<double>(top1) / static_cast<double>(n),
            static_cast<double>(top3) / static_cast<double>(n)};
}

}  // namespace

MoveData LoadMoves(const std::string& path, int skipPlies) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    MoveData data;
    std::string line;
    auto board = std::make_unique<BoardAI>();
    std::vector<uint32_t> stamp(kMaxArea, 0);
    uint32_t position = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        double result;
        if (!(words >> result)) continue;
        std::vector<CellIndex> moves;
        std::string move;
        unsigned x, y;
        while (words >> move) {
            if (sscanf(move.c_str(), "%u,%u", &x, &y) != 2 || x >= Coord::width ||
                y >= Coord::height)
                throw std::runtime_error("bad move " + move + " in " + path);
            moves.push_back(Coord::xy2z(x, y));
        }
        const bool heldOut = data.games % 10 == 0;
        ++data.games;
        *board = BoardAI();
        BoardAI& b = *board;
        for (size_t i = 0; i < moves.size(); ++i) {
            if (static_cast<int>(i) >= skipPlies) {
                // The root's list: every move the generator gives.
                b.genLimit = Coord::area;
                const int32_t verdict = GenerateMoves(b, GenMode::kFull);
                const uint32_t first = static_cast<uint32_t>(data.candidates.size());
                ++position;
                int played = -1;
                for (uint32_t k = 0; k < b.genCount; ++k) {
                    const CellIndex m = b.genMoves[k];
                    if (m >= Coord::area || b.mCells[m]) continue;
                    if (stamp[m] == position) continue;  // listed twice: once, as the root does
                    stamp[m] = position;
                    if (m == moves[i]) played = static_cast<int>(data.candidates.size() - first);
                    const uint16_t own = static_cast<uint16_t>(
                        CellCode(b.mCategoryWord[m][b.mToMove - 1]));
                    const uint16_t opp = static_cast<uint16_t>(
                        CellCode(b.mCategoryWord[m][b.mOpponent - 1]));
                    data.candidates.push_back({own, opp, SearchClass(b, m)});
                }
                const size_t listed = data.candidates.size() - first;
                bool keep = false;
                if (IsDecisive(verdict))
                    ++data.decided;
                else if (listed < 2)
                    ++data.single;
                else if (played < 0)
                    ++data.unlisted;
                else
                    keep = true;
                if (keep) {
                    data.begin.push_back(first);
                    data.played.push_back(static_cast<uint16_t>(played));
                    data.heldOut.push_back(heldOut);
                } else {
                    data.candidates.resize(first);
                }
            }
            if (b.mCells[moves[i]]) throw std::runtime_error("occupied cell in " + path);
            b.Toggle(moves[i]);
        }
    }
    data.begin.push_back(static_cast<uint32_t>(data.candidates.size()));
    return data;
}

std::vector<double> CategoryScores() {
    std::vector<double> base(kParameterCount, 0.0);
    for (uint32_t code = 0; code < kCellCodeCount; ++code) {
        uint8_t c[4];
        CodeCategories(code, c);
        const uint32_t category = combinedCategory[CombinedIndex(c[0], c[1], c[2], c[3])];
        if (category > kTwoDef) continue;
        base[kOwnCodes + code] = ownWeight[category] / 100.0;
        base[kOppCodes + code] = -oppWeight[category] / 100.0;
    }
    return base;
}

double Loss(const MoveData& data, const std::vector<double>& scores, bool heldOut) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < data.Size(); ++i) {
        if (static_cast<bool>(data.heldOut[i]) != heldOut) continue;
        double top = -1e300;
        for (uint32_t k = data.begin[i]; k < data.begin[i + 1]; ++k)
            top = std::max(top, Score(data.candidates[k], scores));
        double z = 0;
        for (uint32_t k = data.begin[i]; k < data.begin[i + 1]; ++k)
            z += std::exp(Score(data.candidates[k], scores) - top);
        sum += std::log(z) + top - Score(data.candidates[data.begin[i] + data.played[i]], scores);
        ++n;
    }
    return n ? sum / static_cast<double>(n) : 0.0;
}

Accuracy ScoreAccuracy(const MoveData& data, const std::vector<double>& scores, bool heldOut,
                       ClassesFirst first) {
    return Measure(data, heldOut, [&](uint32_t a, uint32_t b, bool earlier) {
        const Candidate &ca = data.candidates[a], &cb = data.candidates[b];
        if (first == ClassesFirst::kFours && (ca.today == 2) != (cb.today == 2))
            return ca.today == 2;
        if (first == ClassesFirst::kFoursThenTactical && ca.today != cb.today)
            return ca.today > cb.today;
        const double sa = Score(ca, scores), sb = Score(cb, scores);
        return sa > sb || (sa == sb && earlier);
    });
}

Accuracy ListAccuracy(const MoveData& data, bool heldOut, bool searchClasses) {
    return Measure(data, heldOut, [&](uint32_t a, uint32_t b, bool earlier) {
        const uint8_t ca = searchClasses ? data.candidates[a].today : 0;
        const uint8_t cb = searchClasses ? data.candidates[b].today : 0;
        return ca > cb || (ca == cb && earlier);
    });
}

double FitPriorScale(const MoveData& data, const std::vector<double>& base) {
    // Golden-section search on the logarithm of the factor.
    std::vector<double> scaled(base.size());
    auto loss = [&](double logK) {
        for (size_t p = 0; p < base.size(); ++p) scaled[p] = base[p] * std::exp(logK);
        return Loss(data, scaled, false);
    };
    double lo = std::log(1e-5), hi = std::log(10.0);
    const double g = (std::sqrt(5.0) - 1) / 2;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    double fa = loss(a), fb = loss(b);
    for (int i = 0; i < 50; ++i) {
        if (fa < fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - g * (hi - lo);
            fa = loss(a);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + g * (hi - lo);
            fb = loss(b);
        }
    }
    return std::exp((lo + hi) / 2);
}

std::vector<double> Fit(const MoveData& data, const std::vector<double>& prior,
                        const FitOptions& options, FitReport& report, std::ostream& log) {
    const size_t n = data.Size();
    std::vector<uint8_t> occurs(kParameterCount, 0);
    size_t train = 0;
    for (size_t i = 0; i < n; ++i) {
        if (data.heldOut[i]) continue;
        ++train;
        for (uint32_t k = data.begin[i]; k < data.begin[i + 1]; ++k) {
            occurs[kOwnCodes + data.candidates[k].own] = 1;
            occurs[kOppCodes + data.candidates[k].opp] = 1;
        }
    }
    report.trainPositions = train;
    report.heldOutPositions = n - train;
    report.seen = static_cast<uint32_t>(std::count(occurs.begin(), occurs.end(), 1));
    report.priorLoss = Loss(data, prior, true);
    report.generator = ListAccuracy(data, true, false);
    report.today = ListAccuracy(data, true, true);
    report.prior = ScoreAccuracy(data, prior, true);

    std::vector<double> v = prior, gradient(kParameterCount), m(kParameterCount, 0.0),
                        s(kParameterCount, 0.0), p;
    const double beta1 = 0.9, beta2 = 0.999;
    for (int it = 1; it <= options.iterations; ++it) {
        std::fill(gradient.begin(), gradient.end(), 0.0);
        for (size_t i = 0; i < n; ++i) {
            if (data.heldOut[i]) continue;
            const uint32_t first = data.begin[i], count = data.begin[i + 1] - first;
            p.resize(count);
            double top = -1e300;
            for (uint32_t k = 0; k < count; ++k) {
                p[k] = Score(data.candidates[first + k], v);
                top = std::max(top, p[k]);
            }
            double z = 0;
            for (uint32_t k = 0; k < count; ++k) z += p[k] = std::exp(p[k] - top);
            for (uint32_t k = 0; k < count; ++k) {
                const double d = p[k] / z - (k == data.played[i] ? 1.0 : 0.0);
                gradient[kOwnCodes + data.candidates[first + k].own] += d;
                gradient[kOppCodes + data.candidates[first + k].opp] += d;
            }
        }
        for (uint32_t q = 0; q < kParameterCount; ++q) {
            if (!occurs[q]) continue;
            const double g =
                (gradient[q] + 2 * options.priorWeight * (v[q] - prior[q])) / static_cast<double>(train);
            m[q] = beta1 * m[q] + (1 - beta1) * g;
            s[q] = beta2 * s[q] + (1 - beta2) * g * g;
            const double mh = m[q] / (1 - std::pow(beta1, it)), sh = s[q] / (1 - std::pow(beta2, it));
            v[q] -= options.learningRate * mh / (std::sqrt(sh) + 1e-12);
        }
        if (it % 50 == 0 || it == options.iterations)
            log << "iteration " << it << ": train " << Loss(data, v, false) << ", held out "
                << Loss(data, v, true) << std::endl;
    }
    report.fittedLoss = Loss(data, v, true);
    report.fitted = ScoreAccuracy(data, v, true);
    report.fittedFoursFirst = ScoreAccuracy(data, v, true, ClassesFirst::kFours);
    report.fittedClassesFirst = ScoreAccuracy(data, v, true, ClassesFirst::kFoursThenTactical);
    report.fittedTrain = ScoreAccuracy(data, v, false);
    return v;
}

std::string MoveScoresFile(const std::vector<int32_t>& hundredths,
                           const std::vector<std::string>& header) {
    if (hundredths.size() != kParameterCount)
        throw std::logic_error("move scores: wrong number of parameters");
    std::vector<std::string> lines = {
        "Move scores for ordering, in hundredths of a logit: per cell code (0 .. 5984)",
        "the score of a cell where the side to move has that code, and of one where",
        "the opponent has it; a cell's score is the sum of its two.",
        "Written by tamlo-tune --moves; do not edit."};
    lines.insert(lines.end(), header.begin(), header.end());
    TableSection moves{"moves", kCellCodeCount, 2, {}};
    for (uint32_t code = 0; code < kCellCodeCount; ++code)
        moves.values.insert(moves.values.end(),
                            {hundredths[kOwnCodes + code], hundredths[kOppCodes + code]});
    return WriteTableFile(lines, {moves});
}

std::string MoveScoresText(const std::vector<double>& scores, const std::string& command,
                           const FitReport& report) {
    std::vector<int32_t> hundredths(kParameterCount);
    for (uint32_t q = 0; q < kParameterCount; ++q)
        hundredths[q] = static_cast<int32_t>(std::max(-1e8, std::min(1e8, std::round(scores[q] * 100))));
    auto percent = [](const Accuracy& a) {
        char b[64];
        snprintf(b, sizeof b, "%.1f %% / %.1f %%", 100 * a.top1, 100 * a.top3);
        return std::string(b);
    };
    char positions[200], loss[200];
    snprintf(positions, sizeof positions,
             "%zu training and %zu held-out positions; %u parameters seen; prior scale %.5f;",
             report.trainPositions, report.heldOutPositions, report.seen, report.priorScale);
    snprintf(loss, sizeof loss, "held-out cross-entropy %.4f (prior %.4f);", report.fittedLoss,
             report.priorLoss);
    return MoveScoresFile(
        hundredths,
        {"Made with:", "  " + command, positions, loss,
         "held-out played move first / in the first three: fitted " + percent(report.fitted) +
             ", fours first then fitted " + percent(report.fittedFoursFirst) + ",",
         "  the search's order without history " + percent(report.today) +
             ", the generator's list " + percent(report.generator) + ", prior " +
             percent(report.prior) + "."});
}

}  // namespace movetuner
