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

// Decides the position or lists a few ordered candidate moves in genMoves.
// Modes: 0 full listing, 1 attacker's fours (VCF), -1 the block of a five
// threat (VCF defender), 2 / -2 proof-number search, 6 leaf threats only.
// Answers ScoreWin, ScoreLoss or ScoreUnknown for the side to move.
int32_t GenerateMovesCore(BoardAI& board, int32_t mode);
// GenerateMovesCore plus the completion steps for interior nodes.
int32_t GenerateMoves(BoardAI& board, int32_t mode);
// Static score for the side to move.
int32_t Evaluate(BoardAI& board);
// The cell that completes, on the same line, the four the player makes at cell.
CellIndex FourPartner(BoardAI& board, CellIndex cell, int player);
