#pragma once

#include <cstdint>

// What playing a cell gives a player, per line and combined; lower is stronger.
enum ThreatCategory : uint8_t {
    kWin = 0,
    k2xStraightFour = 1,
    kStraightFourFour = 2,
    kStraightFour = 3,
    kFourThree = 4,
    kFourDevelopFour = 5,
    kFourDevelopThree = 6,
    kFour = 7,
    k2xThree = 8,
    kThreeDevelop = 9,
    kThree = 10,
    kThreeDef = 11,
    k2xTwo = 12,
    kTwoTwoDef = 13,
    kTwo = 14,
    kTwoDef = 15,
    kOther = 16,
    kImpossible = 17,
};

constexpr int kCategoryCount = 18;
