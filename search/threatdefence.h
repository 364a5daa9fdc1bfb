#pragma once

#include <cstdint>

#include "search/genstate.h"

// The generator's answers to the opponent's threats: open fours, four-threes
// and double threes, and the side's own fours that answer them by a
// counter-attack.
namespace generator {

// Answers the opponent's open-four threats and four-threes: a verdict, or
// ScoreContinue when there was nothing to answer.
int32_t DefendThreats(Gen& g);
// Lists the defences against the opponent's n double threes.
void DefendDoubleThree(Gen& g, uint32_t n);
// Every listed move is one of the opponent's double-three cells, and all of them
// are listed.
bool ListedAreExactlyOpponentDoubleThrees(const Gen& g);

}  // namespace generator
