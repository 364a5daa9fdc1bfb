#pragma once

#include "board/cellcodes.h"

// The learned evaluation's tables, fitted to self-play games by tamlo-tune
// (search/learnedvalues.cpp is its output).
extern const CodeValues kLearnedValues;
