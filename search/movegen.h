#pragma once

#include <cstdint>

#include "board/boardai.h"

// Generation kinds, recorded per cell in genKind.
constexpr uint8_t kKindWin = 1;
constexpr uint8_t kKindLossMark = 2;
constexpr uint8_t kKindDefence = 4;
constexpr uint8_t kKindThreat = 8;
constexpr uint8_t kKindPositional = 16;
constexpr uint8_t kKindDevelopDefence = 32;
constexpr uint8_t kKindCounter = 64;
constexpr uint8_t kKindFallback = 128;

// What a generation is for. The numbers are the ones traces and tests have
// always shown.
enum class GenMode : int32_t {
    kFull = 0,            // every candidate of an interior node
    kVcfAttacker = 1,     // the attacker's fours
    kVcfDefender = -1,    // the block of a five threat
    kProofAttacker = 2,   // proof-number search, the side that attacks
    kProofDefender = -2,  // proof-number search, the side that defends
    kLeafThreats = 6,     // verdicts and threat answers only, at a leaf
};

// Decides the position or lists a few ordered candidate moves in genMoves.
// Answers ScoreWin, ScoreLoss or ScoreUnknown for the side to move.
int32_t GenerateMovesCore(BoardAI& board, GenMode mode);
// GenerateMovesCore plus the completion steps for interior nodes.
int32_t GenerateMoves(BoardAI& board, GenMode mode);
