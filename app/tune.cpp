// tamlo-tune: fits the learned evaluation's tables to self-play games (see
// README, "The learned evaluation") and writes them as the data file the build
// embeds (board/learnedvalues.txt).
//
// usage: tamlo-tune GAMES OUT.txt [--size N] [--skip PLIES] [--prior-weight W]
//                   [--iterations N] [--rate R] [--keep-four-wins 1]
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

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: tamlo-tune GAMES OUT.txt [--size N] [--skip PLIES] "
                     "[--prior-weight W] [--iterations N] [--rate R] [--keep-four-wins 1]\n";
        return 2;
    }
    std::string command = "tamlo-tune";
    for (int i = 1; i < argc; ++i) command += std::string(" ") + argv[i];
    uint32_t size = 20;
    int skip = 4;
    bool keepFourWins = false;
    evaltuner::FitOptions options;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--size")
            size = static_cast<uint32_t>(atoi(value));
        else if (key == "--skip")
            skip = atoi(value);
        else if (key == "--prior-weight")
            options.priorWeight = atof(value);
        else if (key == "--iterations")
            options.iterations = atoi(value);
        else if (key == "--rate")
            options.learningRate = atof(value);
        else if (key == "--keep-four-wins")
            keepFourWins = atoi(value) != 0;
        else {
            std::cerr << "unknown option " << key << "\n";
            return 2;
        }
    }
    try {
        Coord::SetSize(size, size);
        BoardAI::Alloc();
        const evaltuner::DataSet data = evaltuner::LoadGames(argv[1], skip, keepFourWins);
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
