#pragma once

#include <cstdint>
#include <string>

#include "board/coord.h"

class ProofSearcher;

// The replies of the analysis words on the searcher's position, whose search
// structures exist. Empty, finished and full boards are answered at once.
// "WIN x,y" (won by threats, the first move), "NOWIN" or "UNKNOWN", within
// budget milliseconds; a second call on the same position goes on with the tree.
std::string ProveReply(ProofSearcher& proof, int32_t budget);
// The moves after which the opponent has no winning threat sequence, as "x,y"
// pairs, or "NONE".
std::string DefendReply(ProofSearcher& proof, int32_t budget);
// "OK" having written the last proof tree (or else the defences' tree) as GML
// to fileName; an "ERROR " line without a tree or when the file fails.
std::string DumpTreeReply(const ProofSearcher& proof, const std::string& fileName);
// A GUI's defend: a "MESSAGE REALTIME LOST x,y" line for each move proven to
// lose, and one move as "x,y": one that stops the threats, else a candidate
// not proven to lose, else fallback. A full board is an "ERROR " line.
std::string SearchDefendReply(ProofSearcher& proof, int32_t budget, CellIndex fallback);
