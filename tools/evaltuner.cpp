#include "tools/evaltuner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "board/boardai.h"
#include "search/evaluate.h"
#include "board/patterntables.h"
#include "board/tablefile.h"
#include "search/movegen.h"
#include "search/score.h"
#include "search/searchworker.h"
#include "search/transpositiontable.h"
#include "search/vcf.h"

namespace evaltuner {

namespace {

double Sigmoid(double x) {
    return 1.0 / (1.0 + std::exp(-x));
}

double CrossEntropy(double p, double y) {
    const double e = 1e-12;
    return -(y * std::log(p + e) + (1 - y) * std::log(1 - p + e));
}

// The position's parameters, counted into a dense scratch array and its list
// of touched entries.
void AddFeatures(BoardAI& b, DataSet& data, std::vector<uint32_t>& scratch,
                 std::vector<uint32_t>& touched) {
    auto add = [&](uint32_t parameter) {
        if (scratch[parameter]++ == 0) touched.push_back(parameter);
    };
    const int own = static_cast<int>(b.mToMove) - 1, opp = static_cast<int>(b.mOpponent) - 1;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (b.mCells[z]) continue;
        add(kOwnCodes + CellCode(b.mCategoryWord[z][own]));
        add(kOppCodes + CellCode(b.mCategoryWord[z][opp]));
    }
    add(kPresence + PresenceIndex(PresenceFlags(b.Counts(own + 1)), PresenceFlags(b.Counts(opp + 1))));
    if (b.genDanger & 1)
        add(kDanger);
    else if (b.genDanger & 2)
        add(kDanger + 1);
    for (uint32_t parameter : touched) {
        data.features.push_back({parameter, scratch[parameter]});
        scratch[parameter] = 0;
    }
    touched.clear();
}

// The search's leaf tries the side to move's fours before it evaluates, so a
// position won by continuous fours never reaches the evaluation: fitting it
// would only teach the tables what the leaf already knows.
class FourProbe {
  public:
    FourProbe() : mWorker(mShared, mLog) {
        mShared.transpositionTable = std::make_unique<TranspositionTable>(1 << 16);
    }
    bool Wins(BoardAI& b) {
        CellIndex four = kNoCell;
        b.mLookSix = 0;
        const int32_t v = VCF(mWorker, b, 0, mParams, four, true, ScoreWin, nullptr);
        b.mLookSix = 1;
        mLog.str("");
        return v == ScoreWin;
    }

  private:
    SearchShared mShared;
    std::stringstream mLog;
    SearchWorker mWorker;
    SearchParams mParams;
};

}  // namespace

DataSet LoadGames(const std::string& path, int skipPlies, bool keepFourWins) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    DataSet data;
    std::vector<uint32_t> scratch(kParameterCount, 0), touched;
    std::string line;
    BoardAI board;
    FourProbe probe;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        double firstResult;
        if (!(words >> firstResult)) continue;
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
        board = BoardAI();
        for (size_t i = 0; i < moves.size(); ++i) {
            if (static_cast<int>(i) >= skipPlies && board.Counts(board.mOpponent)[kWin] == 0 &&
                GenerateMovesCore(board, GenMode::kLeafThreats) == ScoreUnknown &&
                (keepFourWins || !probe.Wins(board))) {
                data.begin.push_back(static_cast<uint32_t>(data.features.size()));
                AddFeatures(board, data, scratch, touched);
                data.result.push_back(static_cast<float>(i % 2 == 0 ? firstResult : 1 - firstResult));
                data.classic.push_back(static_cast<float>(Evaluate(board)));
                data.heldOut.push_back(heldOut);
            }
            if (board.mCells[moves[i]]) throw std::runtime_error("occupied cell in " + path);
            board.Toggle(moves[i]);
        }
    }
    data.begin.push_back(static_cast<uint32_t>(data.features.size()));
    return data;
}

std::vector<double> PriorValues() {
    std::vector<double> prior(kParameterCount, 0.0);
    for (uint32_t code = 0; code < kCellCodeCount; ++code) {
        uint8_t c[4];
        CodeCategories(code, c);
        const uint32_t category = combinedCategory[CombinedIndex(c[0], c[1], c[2], c[3])];
        if (category > kTwoDef) continue;
        prior[kOwnCodes + code] = ownWeight[category] / 100.0;
        prior[kOppCodes + code] = oppWeight[category] / 100.0;
    }
    prior[kDanger] = -1000;
    prior[kDanger + 1] = -200;
    return prior;
}

std::vector<double> PositionValues(const DataSet& data, const std::vector<double>& parameters) {
    std::vector<double> value(data.Size());
    for (size_t i = 0; i < data.Size(); ++i) {
        double v = 0;
        for (uint32_t f = data.begin[i]; f < data.begin[i + 1]; ++f)
            v += parameters[data.features[f].parameter] * data.features[f].count;
        value[i] = v;
    }
    return value;
}

double Loss(const DataSet& data, const std::vector<double>& value, double scale, bool heldOut) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < data.Size(); ++i) {
        if (static_cast<bool>(data.heldOut[i]) != heldOut) continue;
        sum += CrossEntropy(Sigmoid(value[i] / scale), data.result[i]);
        ++n;
    }
    return n ? sum / static_cast<double>(n) : 0.0;
}

double FitScale(const DataSet& data) {
    const std::vector<double> classic(data.classic.begin(), data.classic.end());
    // Golden-section search on log K: the loss is unimodal in it.
    double lo = std::log(0.1), hi = std::log(10000.0);
    const double g = (std::sqrt(5.0) - 1) / 2;
    auto loss = [&](double logK) { return Loss(data, classic, std::exp(logK), false); };
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    double fa = loss(a), fb = loss(b);
    for (int i = 0; i < 60; ++i) {
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

std::vector<double> Fit(const DataSet& data, const std::vector<double>& prior, double scale,
                        const FitOptions& options, FitReport& report, std::ostream& log) {
    const size_t n = data.Size();
    std::vector<uint32_t> occurrences(kParameterCount, 0);
    size_t train = 0;
    for (size_t i = 0; i < n; ++i) {
        if (data.heldOut[i]) continue;
        ++train;
        for (uint32_t f = data.begin[i]; f < data.begin[i + 1]; ++f)
            ++occurrences[data.features[f].parameter];
    }
    report.scale = scale;
    report.trainPositions = train;
    report.heldOutPositions = n - train;
    report.seen = report.rare = report.unseen = 0;
    for (uint32_t p = 0; p < kParameterCount; ++p) {
        if (occurrences[p] == 0)
            ++report.unseen;
        else {
            ++report.seen;
            if (occurrences[p] < 20) ++report.rare;
        }
    }
    const std::vector<double> classic(data.classic.begin(), data.classic.end());
    report.classicTrain = Loss(data, classic, scale, false);
    report.classicHeldOut = Loss(data, classic, scale, true);
    report.priorHeldOut = Loss(data, PositionValues(data, prior), scale, true);

    // Loss per training position plus lambda (v - prior)^2 per parameter, where
    // lambda is priorWeight positions' worth of curvature near an even game
    // (p (1 - p) = 1/4 each).
    const double lambda = options.priorWeight * 0.25 / (scale * scale);
    std::vector<double> v = prior, gradient(kParameterCount), m(kParameterCount, 0.0),
                        s(kParameterCount, 0.0);
    const double beta1 = 0.9, beta2 = 0.999;
    for (int it = 1; it <= options.iterations; ++it) {
        std::fill(gradient.begin(), gradient.end(), 0.0);
        for (size_t i = 0; i < n; ++i) {
            if (data.heldOut[i]) continue;
            double value = 0;
            for (uint32_t f = data.begin[i]; f < data.begin[i + 1]; ++f)
                value += v[data.features[f].parameter] * data.features[f].count;
            const double d = (Sigmoid(value / scale) - data.result[i]) / scale;
            for (uint32_t f = data.begin[i]; f < data.begin[i + 1]; ++f)
                gradient[data.features[f].parameter] += d * data.features[f].count;
        }
        for (uint32_t p = 0; p < kParameterCount; ++p) {
            if (occurrences[p] == 0) continue;
            const double g = (gradient[p] + 2 * lambda * (v[p] - prior[p])) / static_cast<double>(train);
            m[p] = beta1 * m[p] + (1 - beta1) * g;
            s[p] = beta2 * s[p] + (1 - beta2) * g * g;
            const double mh = m[p] / (1 - std::pow(beta1, it)), sh = s[p] / (1 - std::pow(beta2, it));
            v[p] -= options.learningRate * mh / (std::sqrt(sh) + 1e-12);
        }
        if (it % 50 == 0 || it == options.iterations) {
            const std::vector<double> values = PositionValues(data, v);
            log << "iteration " << it << ": train " << Loss(data, values, scale, false)
                << ", held out " << Loss(data, values, scale, true) << std::endl;
        }
    }
    const std::vector<double> values = PositionValues(data, v);
    report.fittedTrain = Loss(data, values, scale, false);
    report.fittedHeldOut = Loss(data, values, scale, true);
    return v;
}

std::string LearnedValuesFile(const CodeValues& table, const std::vector<std::string>& header) {
    std::vector<std::string> lines = {
        "The learned evaluation's tables, in hundredths of an evaluation unit: per cell",
        "code (0 .. 5984) the value of a cell of the side to move and of the opponent,",
        "the presence pairs by PresenceIndex (16 a row), the two danger marks.",
        "Written by tamlo-tune; do not edit."};
    lines.insert(lines.end(), header.begin(), header.end());
    TableSection codes{"codes", kCellCodeCount, 2, {}};
    for (const auto& v : table.value) codes.values.insert(codes.values.end(), {v[0], v[1]});
    TableSection presence{"presence", kPresenceCount / 16, 16,
                          std::vector<int32_t>(table.presence, table.presence + kPresenceCount)};
    TableSection danger{"danger", 1, 2, {table.danger[0], table.danger[1]}};
    return WriteTableFile(lines, {codes, presence, danger});
}

std::string TableText(const std::vector<double>& values, const std::string& command,
                      const FitReport& report) {
    auto hundredths = [](double v) {
        const double c = std::round(v * 100);
        return static_cast<int32_t>(std::max(-1e8, std::min(1e8, c)));
    };
    auto table = std::make_unique<CodeValues>();
    for (uint32_t code = 0; code < kCellCodeCount; ++code) {
        table->value[code][0] = hundredths(values[kOwnCodes + code]);
        table->value[code][1] = hundredths(values[kOppCodes + code]);
    }
    for (uint32_t i = 0; i < kPresenceCount; ++i) table->presence[i] = hundredths(values[kPresence + i]);
    table->danger[0] = hundredths(values[kDanger]);
    table->danger[1] = hundredths(values[kDanger + 1]);
    char fit[300], seen[200];
    snprintf(fit, sizeof fit,
             "%zu training and %zu held-out positions; scale %.3f; held-out loss %.5f "
             "(classic %.5f, prior %.5f);",
             report.trainPositions, report.heldOutPositions, report.scale, report.fittedHeldOut,
             report.classicHeldOut, report.priorHeldOut);
    snprintf(seen, sizeof seen,
             "%u parameters seen (%u in fewer than 20 positions), %u left at the prior.",
             report.seen, report.rare, report.unseen);
    return LearnedValuesFile(*table, {"Made with:", "  " + command, fit, seen});
}

}  // namespace evaltuner
