#pragma once

#include <cstdint>

// What wins: five or more in a row, or exactly five (six or more is no win).
// Renju and caro would be further values, each with its own pattern tables.
enum class WinRule : uint8_t { kFiveOrMore = 0, kExactlyFive = 1 };
constexpr int kWinRuleCount = 2;

// The game's rules as a value: the shared state of the searches holds it, and
// every board is built for one (its pattern tables).
struct Rules {
    WinRule win = WinRule::kFiveOrMore;

    bool ExactFive() const { return win == WinRule::kExactlyFive; }
    int Index() const { return static_cast<int>(win); }
    // The protocol's "INFO rule" value: 1 and 3 mean exactly five, any other
    // value five or more.
    static Rules FromProtocolValue(uint32_t value) {
        return Rules{value == 1 || value == 3 ? WinRule::kExactlyFive : WinRule::kFiveOrMore};
    }
    friend bool operator==(Rules, Rules) = default;
};
