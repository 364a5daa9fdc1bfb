// tamlo-tune: fits the learned evaluation's tables to self-play games (see
// README, "The learned evaluation") and writes them as the data file the build
// embeds (board/learnedvalues.txt); with --moves 1, the move scores to the
// moves the games played instead (board/movescores.txt).
//
// usage: tamlo-tune GAMES OUT.txt [--size N] [--skip PLIES] [--prior-weight W]
//                   [--iterations N] [--rate R] [--keep-four-wins 1] [--moves 1]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "board/boardai.h"
#include "board/coord.h"
#include "tools/evaltuner.h"
#include "tools/movetuner.h"

namespace {

std::string Percent(const movetuner::Accuracy& a) {
    char text[80];
    snprintf(text, sizeof text, "%.1f %% first, %.1f %% in the first three", 100 * a.top1,
             100 * a.top3);
    return text;
}

void FitMoves(const char* games, const char* out, int skip, const movetuner::FitOptions& options,
              const std::string& command) {
    const movetuner::MoveData data = movetuner::LoadMoves(games, skip);
    std::cout << data.games << " games, " << data.Size() << " positions (left out: "
              << data.decided << " decided, " << data.single << " single moves, " << data.unlisted
              << " played moves not listed)" << std::endl;
    std::vector<double> prior = movetuner::CategoryScores();
    movetuner::FitReport report;
    report.priorScale = movetuner::FitPriorScale(data, prior);
    for (double& p : prior) p *= report.priorScale;
    std::cout << "prior scale " << report.priorScale << std::endl;
    const std::vector<double> scores = movetuner::Fit(data, prior, options, report, std::cout);
    std::cout << "held-out cross-entropy: prior " << report.priorLoss << ", fitted "
              << report.fittedLoss << "\nheld-out order: fitted " << Percent(report.fitted)
              << "\n  fours first, then fitted " << Percent(report.fittedFoursFirst)
              << "\n  fours, other tactical moves, the rest, each by the fitted scores "
              << Percent(report.fittedClassesFirst)
              << "\n  the search's order without history " << Percent(report.today)
              << "\n  the generator's list " << Percent(report.generator) << "\n  prior "
              << Percent(report.prior) << "\ntraining order: fitted " << Percent(report.fittedTrain)
              << "\nparameters seen " << report.seen << std::endl;
    std::ofstream file(out);
    file << movetuner::MoveScoresText(scores, command, report);
    if (!file) throw std::runtime_error(std::string("cannot write ") + out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: tamlo-tune GAMES OUT.txt [--size N] [--skip PLIES] "
                     "[--prior-weight W] [--iterations N] [--rate R] [--keep-four-wins 1] "
                     "[--moves 1]\n";
        return 2;
    }
    std::string command = "tamlo-tune";
    for (int i = 1; i < argc; ++i) command += std::string(" ") + argv[i];
    uint32_t size = 20;
    int skip = -1;
    bool keepFourWins = false, moves = false;
    evaltuner::FitOptions options;
    movetuner::FitOptions moveOptions;
    bool priorWeightSet = false, iterationsSet = false, rateSet = false;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--size")
            size = static_cast<uint32_t>(atoi(value));
        else if (key == "--skip")
            skip = atoi(value);
        else if (key == "--prior-weight")
            options.priorWeight = atof(value), priorWeightSet = true;
        else if (key == "--iterations")
            options.iterations = atoi(value), iterationsSet = true;
        else if (key == "--rate")
            options.learningRate = atof(value), rateSet = true;
        else if (key == "--keep-four-wins")
            keepFourWins = atoi(value) != 0;
        else if (key == "--moves")
            moves = atoi(value) != 0;
        else {
            std::cerr << "unknown option " << key << "\n";
            return 2;
        }
    }
    try {
        Coord::SetSize(size, size);
        BoardAI::Alloc();
        if (moves) {
            if (priorWeightSet) moveOptions.priorWeight = options.priorWeight;
            if (iterationsSet) moveOptions.iterations = options.iterations;
            if (rateSet) moveOptions.learningRate = options.learningRate;
            // Past the random opening stones (up to four) and random plies (four).
            FitMoves(argv[1], argv[2], skip >= 0 ? skip : 8, moveOptions, command);
            BoardAI::Free();
            return 0;
        }
        const evaltuner::DataSet data = evaltuner::LoadGames(argv[1], skip >= 0 ? skip : 4, keepFourWins);
        std::cout << data.games << " games, " << data.Size() << " positions" << std::endl;
        const double scale = evaltuner::FitScale(data);
        std::cout << "scale " << scale << std::endl;
        evaltuner::FitReport report;
        const std::vector<double> values =
            evaltuner::Fit(data, evaltuner::PriorValues(), scale, options, report, std::cout);
        std::cout << "held-out loss: classic " << report.classicHeldOut << ", prior tables "
                  << report.priorHeldOut << ", fitted " << report.fittedHeldOut
                  << "\ntraining loss: classic " << report.classicTrain << ", fitted "
                  << report.fittedTrain << "\nparameters seen " << report.seen << " (in fewer than 20 positions "
                  << report.rare << "), left at the prior " << report.unseen << std::endl;
        std::ofstream out(argv[2]);
        out << evaltuner::TableText(values, command, report);
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
        BoardAI::Free();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "tamlo-tune: " << e.what() << "\n";
        return 1;
    }
}
