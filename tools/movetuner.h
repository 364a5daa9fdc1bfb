#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "board/cellcodes.h"

// Fits per-code move scores to the moves the engine chose in self-play: a
// candidate's score is the side to move's table entry for its code of the cell
// plus the opponent's for its code there, and a softmax over the moves the
// generator lists (as the search's root lists them) is fitted to the move the
// game played.
namespace movetuner {

// Parameter numbering: the side to move's codes, then the opponent's.
constexpr uint32_t kOwnCodes = 0;
constexpr uint32_t kOppCodes = kCellCodeCount;
constexpr uint32_t kParameterCount = 2 * kCellCodeCount;

// One candidate of a position, in the generator's list order.
struct Candidate {
    uint16_t own;   // the side to move's code of the cell
    uint16_t opp;   // the opponent's code of the same cell
    uint8_t today;  // 2 makes a four, 1 other tactical move, 0 quiet: the search's classes
};

// Positions the generator leaves to the search (not decided, two or more
// moves listed) whose played move is among the listed ones.
struct MoveData {
    std::vector<Candidate> candidates;
    std::vector<uint32_t> begin;  // position i owns candidates[begin[i] .. begin[i + 1])
    std::vector<uint16_t> played;  // index of the game's move among the position's candidates
    std::vector<uint8_t> heldOut;
    uint32_t games = 0;
    // Positions left out: decided by the generator, one move listed, the
    // played move not listed (the engine's threat solver chose it).
    uint32_t decided = 0, single = 0, unlisted = 0;
    size_t Size() const { return played.size(); }
};

// Reads game lines ("RESULT x,y x,y ...", as tools/gamedata.py writes them)
// and replays them, from ply skipPlies on (the earlier ones are the random
// opening). Every tenth game is held out. The board geometry must be set up
// for the games' size.
MoveData LoadMoves(const std::string& path, int skipPlies);

// The classic category weights as move scores (an own cell's weight, an
// opponent cell's weight with its sign turned: taking it blocks), unscaled.
std::vector<double> CategoryScores();
// The factor that makes CategoryScores fit the training moves best.
double FitPriorScale(const MoveData& data, const std::vector<double>& base);

struct FitOptions {
    double priorWeight = 1;  // L2 strength toward the prior, in positions' worth per parameter
    int iterations = 300;
    double learningRate = 0.05;
};

// How often the played move comes first, and within the first three.
struct Accuracy {
    double top1 = 0, top3 = 0;
};

struct FitReport {
    size_t trainPositions = 0, heldOutPositions = 0;
    double priorScale = 0;
    double priorLoss = 0, fittedLoss = 0;  // held-out mean cross-entropy
    Accuracy generator, today, prior, fitted, fittedFoursFirst, fittedClassesFirst;  // held out
    Accuracy fittedTrain;
    uint32_t seen = 0;  // parameters that occur in the training candidates
};

// Mean cross-entropy of the softmax against the played moves.
double Loss(const MoveData& data, const std::vector<double>& scores, bool heldOut);
// Which of the search's classes an order by score keeps ahead of the rest.
enum class ClassesFirst { kNone, kFours, kFoursThenTactical };
// The order by score, highest first, equal scores in the generator's order;
// within the groups of `first` (as the search keeps them).
Accuracy ScoreAccuracy(const MoveData& data, const std::vector<double>& scores, bool heldOut,
                       ClassesFirst first = ClassesFirst::kNone);
// The generator's list order as it is, and as the search's interior nodes
// order it without history or killers: fours, then other tactical moves, then
// the rest, each in list order.
Accuracy ListAccuracy(const MoveData& data, bool heldOut, bool searchClasses);

// Fits the scores (starting from and regularised toward prior) by Adam on the
// full training batch; fills the report's held-out figures.
std::vector<double> Fit(const MoveData& data, const std::vector<double>& prior,
                        const FitOptions& options, FitReport& report, std::ostream& log);

// The scores as the data file the build embeds (board/movescores.txt), in
// hundredths of a logit, the header naming the command and the fit.
std::string MoveScoresFile(const std::vector<int32_t>& hundredths,
                           const std::vector<std::string>& header);
std::string MoveScoresText(const std::vector<double>& scores, const std::string& command,
                           const FitReport& report);

}  // namespace movetuner
