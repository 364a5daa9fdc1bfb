#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "board/cellcodes.h"

// Fits the learned evaluation's tables to self-play games by logistic
// regression of the result on the evaluation: each position's value is a sum
// of parameters (cell codes of both sides, the presence pair, the danger
// marks), so a position is stored as its parameter counts.
namespace evaltuner {

// Parameter numbering.
constexpr uint32_t kOwnCodes = 0;
constexpr uint32_t kOppCodes = kCellCodeCount;
constexpr uint32_t kPresence = 2 * kCellCodeCount;
constexpr uint32_t kDanger = kPresence + kPresenceCount;
constexpr uint32_t kParameterCount = kDanger + 2;
static_assert(kParameterCount == 2 * kCellCodeCount + kPresenceCount + 2);

struct Feature {
    uint32_t parameter;
    uint32_t count;
};

// Positions where the leaf evaluation would be asked: not decided by the
// generator, no five to block, no win by fours for the side to move.
struct DataSet {
    std::vector<Feature> features;
    std::vector<uint32_t> begin;  // position i owns features[begin[i] .. begin[i + 1])
    std::vector<float> result;    // 1 won, 0 lost, 0.5 drawn, for the side to move
    std::vector<float> classic;   // the classic evaluation
    std::vector<uint8_t> heldOut;
    uint32_t games = 0;
    size_t Size() const { return result.size(); }
};

// Reads game lines ("RESULT x,y x,y ...", as tools/gamedata.py writes them)
// and replays them; positions before skipPlies are left out, and so are those
// the side to move wins by continuous fours unless keepFourWins. Every tenth
// game is held out. The board geometry must be set up for the games' size.
DataSet LoadGames(const std::string& path, int skipPlies, bool keepFourWins = false);

// The classic weights as per-code values: the prior the fit is pulled to.
std::vector<double> PriorValues();

struct FitOptions {
    double priorWeight = 20;  // pseudo-positions that hold a parameter at its prior
    int iterations = 400;
    double learningRate = 0.05;
};

struct FitReport {
    double scale = 0;  // K: probability of a win = 1 / (1 + exp(-value / K))
    double classicHeldOut = 0, priorHeldOut = 0, fittedHeldOut = 0;
    double classicTrain = 0, fittedTrain = 0;
    uint32_t seen = 0;      // parameters that occur in the training positions
    uint32_t rare = 0;      // of those, in fewer than 20 positions
    uint32_t unseen = 0;    // left at the prior
    size_t trainPositions = 0, heldOutPositions = 0;
};

// Each position's value under the parameters.
std::vector<double> PositionValues(const DataSet& data, const std::vector<double>& parameters);
// Mean cross-entropy of sigmoid(value / scale) against the results, over the
// held-out or the training positions.
double Loss(const DataSet& data, const std::vector<double>& value, double scale, bool heldOut);
// The scale that fits the classic evaluation best on the training positions.
double FitScale(const DataSet& data);
// Fits values (starting from and regularised toward prior) at a fixed scale.
std::vector<double> Fit(const DataSet& data, const std::vector<double>& prior, double scale,
                        const FitOptions& options, FitReport& report, std::ostream& log);

// The tables in hundredths as the data file the build embeds
// (board/learnedvalues.txt): a description of the layout, the header lines
// (command and fit), then the numbers.
std::string LearnedValuesFile(const CodeValues& table, const std::vector<std::string>& header);
// The fitted values (in evaluation units) as that file, the header naming the
// command and the fit.
std::string TableText(const std::vector<double>& values, const std::string& command,
                      const FitReport& report);

}  // namespace evaltuner
