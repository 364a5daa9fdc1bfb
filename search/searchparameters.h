#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

// The numbers the PV search is tuned by: its margins, reductions, move limits,
// aspiration window and time factors, all integers so that a tuner or a manager
// (`INFO param_<name> <value>`) can set them. Depths are in sixteenths of a ply
// (kPly), scores in the evaluation's units; fractions are scaled as the table
// says. The classic search reads none of them.
struct SearchParameters {
    // Depth a move making a four costs; its forced block costs nothing.
    int32_t fourCost;
    // Reverse futility: below this depth a node whose static value exceeds
    // beta by the margin per ply is cut.
    int32_t futilityDepth;
    int32_t futilityMargin;
    // Razoring: below this depth a node this far under alpha asks only its fours.
    int32_t razorDepth;
    int32_t razorMargin;
    // Late-move reductions from this depth on: scale/100 plies per ln(depth) *
    // ln(move number), plus an offset; less at PV nodes and for killers, more
    // at expected cut nodes, and less by history score / divisor sixteenths.
    int32_t reductionDepth;
    int32_t reductionScale;
    int32_t reductionOffset;
    int32_t reductionPv;
    int32_t reductionCutNode;
    int32_t reductionKiller;
    int32_t reductionHistoryDivisor;
    // Which moves may be reduced besides quiet ones at quiet nodes (0 or 1, off by default):
    // moves that make or stop a three or a four (never a four itself), by
    // `reductionTactical` less; and moves at nodes where the opponent threatens
    // anything but a five. Non-PV nodes whose static value is not improving
    // are reduced `reductionNotImproving` more.
    int32_t reduceTactical;
    int32_t reductionTactical;
    int32_t reduceThreatened;
    int32_t reductionNotImproving;
    // Order by the learned move scores (times this weight, plus history, and
    // a bonus for killers and half of it for the counter move) instead of
    // tactical moves first by the generator's rank; fours stay first and the
    // defences against a threat keep the generator's order. 0: off.
    int32_t learnedOrder;
    int32_t learnedOrderKiller;
    // With the learned order: tactical moves still come before the others,
    // each group ordered by the learned key. 0: off.
    int32_t learnedTacticalFirst;
    // Move-count pruning counts and cuts tactical moves too (never a four). 0: off.
    int32_t pruneTactical;
    // At the root: reduced by this much less, and only from this move on.
    int32_t rootReductionOffset;
    int32_t rootReductionFirst;
    // Once a move has raised alpha at a PV node, the later ones are reduced
    // this much more: a second best move is rare. 0: off.
    int32_t reductionAfterAlpha;
    // A node from this depth on that the table knows no move for is searched
    // a ply shallower: its order is a guess, and the next iteration comes back
    // with a table move. 0: off.
    int32_t iirDepth;
    // Singular extension: from this depth on, a table move whose lower bound
    // beats every other move's search at half the depth by the margin per ply
    // is searched `singularExtension` deeper. 0: off.
    int32_t singularDepth;
    int32_t singularMargin;
    int32_t singularExtension;
    // Move-count pruning after (base/10 + plies^(power/100)) quiet moves when the
    // static value improves, that many percent of it when it does not.
    int32_t moveLimitBase;
    int32_t moveLimitPower;
    int32_t moveLimitNotImproving;
    // The generator lists at most plies + this many moves of a category.
    int32_t listLimitOffset;
    // Aspiration window from this iteration: delta + share% of |last score|,
    // grown by growth% + widen after each failure, opened fully past `full`.
    int32_t aspirationDepth;
    int32_t aspirationDelta;
    int32_t aspirationShare;
    int32_t aspirationGrowth;
    int32_t aspirationWiden;
    int32_t aspirationFull;
    // Time: no iteration starts past target% of the turn's limit (nor past the
    // match time left / moves to go); the search stops at the turn's limit or
    // the time left / divisor.
    int32_t timeTarget;
    int32_t timeLimitDivisor;
    int32_t timeMovesToGo;
    // The target in percent when the best move held 1, 2, 3+ iterations or
    // changed; times falling% when the score fell by more than the drop.
    int32_t timeStable1;
    int32_t timeStable2;
    int32_t timeStable3;
    int32_t timeUnstable;
    int32_t timeFalling;
    int32_t timeFallingDrop;
    // No iteration starts when this percentage of its expected cost (the last
    // one's time times the growth from the one before) would pass the limit;
    // 0: always started while the target allows.
    int32_t timeFinish;

    // Every parameter at its default.
    SearchParameters();
    bool operator==(const SearchParameters&) const = default;

    enum class SetResult { kSet, kUnknown, kOutOfRange };
    // Sets the parameter of that name (without the "param_" prefix) when the
    // value lies in its range; otherwise changes nothing.
    SetResult Set(std::string_view name, int64_t value);
};

// One row of the table: the name the protocol knows it by, where it lives,
// its default and the closed range it may be set to.
struct SearchParameterSpec {
    const char* name;
    int32_t SearchParameters::*field;
    int32_t defaultValue;
    int32_t min;
    int32_t max;
    const char* meaning;
};

inline constexpr SearchParameterSpec kSearchParameterTable[] = {
    {"four_cost", &SearchParameters::fourCost, 11, 4, 16, "depth of a four, 1/16 ply"},
    {"futility_depth", &SearchParameters::futilityDepth, 64, 16, 128, "1/16 ply"},
    {"futility_margin", &SearchParameters::futilityMargin, 13, 0, 200, "per ply"},
    {"razor_depth", &SearchParameters::razorDepth, 40, 16, 96, "1/16 ply"},
    {"razor_margin", &SearchParameters::razorMargin, 56, 0, 300, "score"},
    {"reduction_depth", &SearchParameters::reductionDepth, 48, 16, 96, "1/16 ply"},
    {"reduction_scale", &SearchParameters::reductionScale, 63, 20, 200, "1/100 ply per ln*ln"},
    {"reduction_offset", &SearchParameters::reductionOffset, 0, -32, 32, "1/16 ply"},
    {"reduction_pv", &SearchParameters::reductionPv, 6, 0, 48, "1/16 ply less"},
    {"reduction_cut_node", &SearchParameters::reductionCutNode, 12, 0, 48, "1/16 ply more"},
    {"reduction_killer", &SearchParameters::reductionKiller, 8, 0, 32, "1/16 ply less"},
    {"reduction_history_divisor", &SearchParameters::reductionHistoryDivisor, 8192, 1024, 65536,
     "history per 1/16 ply"},
    {"reduce_tactical", &SearchParameters::reduceTactical, 0, 0, 1, "switch"},
    {"reduction_tactical", &SearchParameters::reductionTactical, 16, 0, 48, "1/16 ply less"},
    {"reduce_threatened", &SearchParameters::reduceThreatened, 0, 0, 1, "switch"},
    {"reduction_not_improving", &SearchParameters::reductionNotImproving, 0, 0, 48,
     "1/16 ply more"},
    {"learned_order", &SearchParameters::learnedOrder, 8, 0, 64, "per 1/100 logit"},
    {"learned_order_killer", &SearchParameters::learnedOrderKiller, 2000, 0, 20000, "key"},
    {"learned_tactical_first", &SearchParameters::learnedTacticalFirst, 1, 0, 1, "switch"},
    {"prune_tactical", &SearchParameters::pruneTactical, 0, 0, 1, "switch"},
    {"root_reduction_offset", &SearchParameters::rootReductionOffset, 16, 0, 48, "1/16 ply less"},
    {"root_reduction_first", &SearchParameters::rootReductionFirst, 3, 1, 10, "move index"},
    {"reduction_after_alpha", &SearchParameters::reductionAfterAlpha, 0, 0, 48, "1/16 ply more"},
    {"iir_depth", &SearchParameters::iirDepth, 0, 0, 256, "1/16 ply, 0: off"},
    {"singular_depth", &SearchParameters::singularDepth, 0, 0, 256, "1/16 ply, 0: off"},
    {"singular_margin", &SearchParameters::singularMargin, 4, 0, 100, "score per ply"},
    {"singular_extension", &SearchParameters::singularExtension, 16, 0, 32, "1/16 ply"},
    {"move_limit_base", &SearchParameters::moveLimitBase, 27, 0, 100, "1/10 move"},
    {"move_limit_power", &SearchParameters::moveLimitPower, 130, 80, 200, "1/100"},
    {"move_limit_not_improving", &SearchParameters::moveLimitNotImproving, 50, 20, 100, "percent"},
    {"list_limit_offset", &SearchParameters::listLimitOffset, 5, 1, 20, "moves"},
    {"aspiration_depth", &SearchParameters::aspirationDepth, 5, 2, 20, "iteration"},
    {"aspiration_delta", &SearchParameters::aspirationDelta, 20, 1, 200, "score"},
    {"aspiration_share", &SearchParameters::aspirationShare, 25, 0, 100, "percent of |score|"},
    {"aspiration_growth", &SearchParameters::aspirationGrowth, 50, 10, 200, "percent"},
    {"aspiration_widen", &SearchParameters::aspirationWiden, 10, 1, 100, "score"},
    {"aspiration_full", &SearchParameters::aspirationFull, 2000, 100, 10000, "score"},
    {"time_target", &SearchParameters::timeTarget, 80, 30, 100, "percent of the limit"},
    {"time_limit_divisor", &SearchParameters::timeLimitDivisor, 8, 2, 40, "of the time left"},
    {"time_moves_to_go", &SearchParameters::timeMovesToGo, 20, 5, 60, "moves"},
    {"time_stable_1", &SearchParameters::timeStable1, 90, 30, 200, "percent"},
    {"time_stable_2", &SearchParameters::timeStable2, 80, 30, 200, "percent"},
    {"time_stable_3", &SearchParameters::timeStable3, 70, 30, 200, "percent"},
    {"time_unstable", &SearchParameters::timeUnstable, 130, 50, 300, "percent"},
    {"time_falling", &SearchParameters::timeFalling, 150, 100, 300, "percent"},
    {"time_falling_drop", &SearchParameters::timeFallingDrop, 30, 0, 200, "score"},
    {"time_finish", &SearchParameters::timeFinish, 0, 0, 200, "percent of the next iteration"},
};

inline constexpr size_t kSearchParameterCount = std::size(kSearchParameterTable);

// The table's row of that name (without the "param_" prefix); null for none.
const SearchParameterSpec* FindSearchParameter(std::string_view name);
