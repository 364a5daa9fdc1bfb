#pragma once

// An independent referee for engine tests: a board of stones addressed by column
// and row, the legality of a move, five detection under either rule, and a small
// search for wins by an unbroken series of fours, used to check that a hand-built
// position holds what its test claims. It shares no code with the engine.
//
// Header only: the test CMake file compiles every *_test.cpp and nothing else.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tamlo_test {

struct Cell {
    int x = 0;
    int y = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

inline std::string ToString(const Cell& c) {
    return std::to_string(c.x) + "," + std::to_string(c.y);
}

// A move reply "x,y" (decimal, nothing else on the line); nothing otherwise.
inline std::optional<Cell> ParseMove(const std::string& text) {
    int x = 0, y = 0, used = 0;
    if (sscanf(text.c_str(), "%d,%d%n", &x, &y, &used) != 2) return std::nullopt;
    if (static_cast<size_t>(used) != text.size() || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    return Cell{x, y};
}

class Referee {
  public:
    static constexpr int kEmpty = 0;

    // exactFive: only a line of exactly five wins (six or more does not).
    Referee(int width, int height, bool exactFive = false)
        : mWidth(width),
          mHeight(height),
          mExact(exactFive),
          mCells(static_cast<size_t>(width * height), kEmpty) {}

    // 'X' is stone 1, 'O' stone 2, anything else empty; row 0 first. The rows
    // may cover only the top left of the board; a stone outside it is refused.
    static Referee FromDiagram(const std::vector<std::string>& rows, int width, int height,
                               bool exactFive = false) {
        Referee r(width, height, exactFive);
        for (size_t y = 0; y < rows.size(); ++y)
            for (size_t x = 0; x < rows[y].size(); ++x) {
                char c = rows[y][x];
                if (c == 'X' || c == 'O')
                    r.Place({static_cast<int>(x), static_cast<int>(y)}, c == 'X' ? 1 : 2);
            }
        return r;
    }

    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int Stones() const { return mStones; }
    bool Full() const { return mStones == mWidth * mHeight; }

    bool OnBoard(const Cell& c) const {
        return c.x >= 0 && c.y >= 0 && c.x < mWidth && c.y < mHeight;
    }
    int At(const Cell& c) const { return OnBoard(c) ? mCells[Index(c)] : -1; }
    bool IsEmpty(const Cell& c) const { return At(c) == kEmpty; }
    // A legal move: on the board and empty.
    bool IsLegal(const Cell& c) const { return IsEmpty(c); }

    void Place(const Cell& c, int stone) {
        if (!IsLegal(c)) throw std::logic_error("illegal move " + ToString(c));
        mCells[Index(c)] = stone;
        ++mStones;
    }
    void Remove(const Cell& c) {
        if (!OnBoard(c) || IsEmpty(c)) throw std::logic_error("nothing to remove");
        mCells[Index(c)] = kEmpty;
        --mStones;
    }

    // The longest line of the stone at c through c (0 for an empty cell).
    int LineThrough(const Cell& c) const {
        int stone = At(c);
        if (stone <= 0) return 0;
        int best = 0;
        for (const auto& [dx, dy] : kDirections) {
            int n = 1;
            for (int sign : {1, -1})
                for (Cell d{c.x + sign * dx, c.y + sign * dy}; At(d) == stone;
                     d = {d.x + sign * dx, d.y + sign * dy})
                    ++n;
            best = std::max(best, n);
        }
        return best;
    }
    // Whether the stone at c stands in a winning line through c.
    bool IsFiveAt(const Cell& c) const {
        int stone = At(c);
        if (stone <= 0) return false;
        for (const auto& [dx, dy] : kDirections) {
            int n = 1;
            for (int sign : {1, -1})
                for (Cell d{c.x + sign * dx, c.y + sign * dy}; At(d) == stone;
                     d = {d.x + sign * dx, d.y + sign * dy})
                    ++n;
            if (mExact ? n == 5 : n >= 5) return true;
        }
        return false;
    }
    // Whether a stone placed on the empty cell c would make a winning line.
    bool WouldMakeFive(const Cell& c, int stone) {
        if (!IsEmpty(c)) return false;
        mCells[Index(c)] = stone;
        bool five = IsFiveAt(c);
        mCells[Index(c)] = kEmpty;
        return five;
    }
    // Every empty cell where the stone would complete five, in row order.
    std::vector<Cell> FiveCells(int stone) {
        std::vector<Cell> cells;
        for (int y = 0; y < mHeight; ++y)
            for (int x = 0; x < mWidth; ++x)
                if (WouldMakeFive({x, y}, stone)) cells.push_back({x, y});
        return cells;
    }
    // Empty cells from which the stone could make a five in one move more: those
    // whose placing gives at least one cell that completes five.
    std::vector<Cell> FourCells(int stone) {
        std::vector<Cell> cells;
        for (int y = 0; y < mHeight; ++y)
            for (int x = 0; x < mWidth; ++x) {
                Cell c{x, y};
                if (!IsEmpty(c) || !NearStones(c, stone)) continue;
                Place(c, stone);
                bool four = !FivesNear(c, stone).empty();
                Remove(c);
                if (four) cells.push_back(c);
            }
        return cells;
    }

    // Whether `attacker`, to move, wins by fours alone: it completes five, or
    // makes a four that the defender must block at its only completion cell,
    // again and again, within maxFours fours, until a five or two completion cells
    // at once. A defender's five-threat must be blocked first (by a four); a
    // defender's five wins for it.
    bool WinsByFours(int attacker, int maxFours) {
        if (!FiveCells(attacker).empty()) return true;
        std::vector<Cell> threats = FiveCells(3 - attacker);
        if (threats.size() >= 2) return false;
        return Fours(attacker, maxFours,
                     threats.empty() ? std::nullopt : std::optional<Cell>(threats[0]));
    }
    // The first moves of `attacker` that complete five or win by fours within
    // maxFours fours, in row order.
    std::vector<Cell> WinningFourStarts(int attacker, int maxFours) {
        std::vector<Cell> wins = FiveCells(attacker);
        if (!wins.empty()) return wins;
        std::vector<Cell> threats = FiveCells(3 - attacker);
        if (threats.size() >= 2) return {};
        for (const Cell& m : threats.empty() ? FourCells(attacker) : threats)
            if (FourWins(attacker, m, maxFours)) wins.push_back(m);
        return wins;
    }
    // The fewest fours with which `attacker` wins, up to maxFours; 0 when none.
    int FewestFours(int attacker, int maxFours) {
        for (int n = 1; n <= maxFours; ++n)
            if (WinsByFours(attacker, n)) return n;
        return 0;
    }

    std::string Diagram() const {
        std::string text;
        for (int y = 0; y < mHeight; ++y) {
            for (int x = 0; x < mWidth; ++x) text += ".XO"[mCells[Index({x, y})]];
            text += '\n';
        }
        return text;
    }

  private:
    static constexpr std::pair<int, int> kDirections[4] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};

    size_t Index(const Cell& c) const { return static_cast<size_t>(c.y * mWidth + c.x); }

    // At least three own stones within four cells along one line through c: the
    // least a four needs.
    bool NearStones(const Cell& c, int stone) const {
        for (const auto& [dx, dy] : kDirections) {
            int n = 0;
            for (int k = -4; k <= 4; ++k)
                if (k != 0 && At({c.x + k * dx, c.y + k * dy}) == stone) ++n;
            if (n >= 3) return true;
        }
        return false;
    }
    // The completion cells of `stone` on the lines through c within four cells:
    // after a stone is placed on c, every new completion cell is among them.
    std::vector<Cell> FivesNear(const Cell& c, int stone) {
        std::vector<Cell> cells;
        for (const auto& [dx, dy] : kDirections)
            for (int k = -4; k <= 4; ++k) {
                Cell e{c.x + k * dx, c.y + k * dy};
                if (k == 0 || !WouldMakeFive(e, stone)) continue;
                bool seen = false;
                for (const Cell& s : cells) seen = seen || s == e;
                if (!seen) cells.push_back(e);
            }
        return cells;
    }
    // The attacker to move, without a five of its own; `forced` is the
    // defender's single completion cell, which the attacker must take.
    bool Fours(int attacker, int maxFours, std::optional<Cell> forced) {
        if (maxFours <= 0) return false;
        if (forced) return FourWins(attacker, *forced, maxFours);
        for (const Cell& m : FourCells(attacker))
            if (FourWins(attacker, m, maxFours)) return true;
        return false;
    }
    // The attacker plays m; true when it is a four that wins by fours.
    bool FourWins(int attacker, const Cell& m, int maxFours) {
        if (!IsEmpty(m)) return false;
        const int defender = 3 - attacker;
        Place(m, attacker);
        bool won = false;
        if (IsFiveAt(m)) {
            won = true;
        } else {
            std::vector<Cell> completions = FivesNear(m, attacker);
            if (completions.size() >= 2) {
                won = true;
            } else if (completions.size() == 1) {
                const Cell block = completions[0];
                Place(block, defender);
                std::vector<Cell> counter = FivesNear(block, defender);
                if (counter.size() < 2)
                    won = Fours(attacker, maxFours - 1,
                                counter.empty() ? std::nullopt : std::optional<Cell>(counter[0]));
                Remove(block);
            }
        }
        Remove(m);
        return won;
    }

    int mWidth;
    int mHeight;
    bool mExact;
    std::vector<int> mCells;
    int mStones = 0;
};

}  // namespace tamlo_test
