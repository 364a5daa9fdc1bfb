#pragma once

#include <cstdint>

// What wins, and for whom:
// - kFiveOrMore: five or more in a row, for both players;
// - kExactlyFive: exactly five (six or more is no win), for both;
// - kRenju: Black (the first player) wins with exactly five only, and its
//   overlines, double fours and double threes are forbidden moves; White wins
//   with five or more;
// - kCaro, kCaroExactlyFive: five or more (exactly five), unless both ends of
//   the line are blocked by the opponent's stones; the board's edge blocks
//   nothing.
enum class WinRule : uint8_t {
    kFiveOrMore = 0,
    kExactlyFive = 1,
    kRenju = 2,
    kCaro = 3,
    kCaroExactlyFive = 4,
};
constexpr int kWinRuleCount = 5;

// The game's rules as a value: the shared state of the searches holds it, and
// every board is built for one (its pattern tables).
struct Rules {
    WinRule win = WinRule::kFiveOrMore;

    // Exactly five for both players.
    bool ExactFive() const { return win == WinRule::kExactlyFive || win == WinRule::kCaroExactlyFive; }
    bool Renju() const { return win == WinRule::kRenju; }
    bool Caro() const { return win == WinRule::kCaro || win == WinRule::kCaroExactlyFive; }
    // Whether a player's six or more in a row is no five.
    bool ExactFiveFor(bool black) const { return ExactFive() || (Renju() && black); }
    int Index() const { return static_cast<int>(win); }

    // The protocol's "INFO rule" value. Managers send a bit mask (1 exactly
    // five, 2 continuous game, 4 renju) and 8 and 9 for caro: 1 and 3 mean
    // exactly five; 4 renju; 8 caro, 9 caro with exactly five; anything else
    // five or more. GUIs send 5 and 6 for freestyle with the swap1 and swap2
    // openings, whose opening rule is the GUI's business. A GUI
    // (after "yxshowinfo") sends 2 for renju, where a manager's 2 is a
    // continuous game of five or more.
    static Rules FromProtocolValue(uint32_t value, bool gui = false) {
        switch (value) {
            case 1:
            case 3:
                return Rules{WinRule::kExactlyFive};
            case 2:
                return Rules{gui ? WinRule::kRenju : WinRule::kFiveOrMore};
            case 4:
                return Rules{WinRule::kRenju};
            case 8:
                return Rules{WinRule::kCaro};
            case 9:
                return Rules{WinRule::kCaroExactlyFive};
            default:
                return Rules{WinRule::kFiveOrMore};
        }
    }
    friend bool operator==(Rules, Rules) = default;
};
