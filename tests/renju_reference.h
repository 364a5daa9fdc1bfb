#pragma once

// Renju's forbidden points written straight from the rules, for tests: a grid
// of characters, whole lines walked cell by cell, nothing shared with the
// engine and no care for speed.
//
// Black ('X') may not make an overline, two fours or two threes at once, unless
// the move also makes exactly five. A five-point of a line is an empty cell
// whose stone gives that line exactly five through the move; a four is one
// five-point, except that the two ends of .XXXX. (five apart) make one four. A
// three is a line where some empty cell, not itself forbidden once the move
// stands, makes a straight four through the move: two five-points five apart.
//
// Header only: the test CMake file compiles every *_test.cpp and nothing else.

#include <string>
#include <vector>

namespace renju_reference {

class Grid {
  public:
    Grid(int width, int height) : w(width), h(height), cells(static_cast<size_t>(width * height), '.') {}

    char Get(int x, int y) const {
        return x < 0 || y < 0 || x >= w || y >= h ? '#' : cells[static_cast<size_t>(y * w + x)];
    }
    void Set(int x, int y, char c) { cells[static_cast<size_t>(y * w + x)] = c; }
    int Width() const { return w; }
    int Height() const { return h; }

    // Whether Black may not play the empty cell (x, y).
    bool Forbidden(int x, int y) {
        Set(x, y, 'X');
        bool five = false, overline = false;
        int fours = 0;
        std::vector<int> threeDirections;
        for (int d = 0; d < 4; ++d) {
            const int run = Run(x, y, d);
            five = five || run == 5;
            overline = overline || run > 5;
            fours += Fours(x, y, d);
        }
        bool forbidden = false;
        if (!five) {
            if (overline || fours >= 2) {
                forbidden = true;
            } else {
                int threes = 0;
                for (int d = 0; d < 4; ++d)
                    if (Fours(x, y, d) == 0 && IsThree(x, y, d)) ++threes;
                forbidden = threes >= 2;
            }
        }
        Set(x, y, '.');
        return forbidden;
    }

  private:
    static constexpr int kDx[4] = {1, 0, 1, -1};
    static constexpr int kDy[4] = {0, 1, 1, 1};

    int w, h;
    std::string cells;

    // Black's stones in a row through (x, y) along d.
    int Run(int x, int y, int d) const {
        int n = 1;
        for (int s = 1; Get(x + s * kDx[d], y + s * kDy[d]) == 'X'; ++s) ++n;
        for (int s = 1; Get(x - s * kDx[d], y - s * kDy[d]) == 'X'; ++s) ++n;
        return n;
    }

    // Steps along d (from (x, y)) of the five-points of the line through the
    // stone on (x, y).
    std::vector<int> FivePoints(int x, int y, int d) {
        std::vector<int> points;
        for (int s = -w - h; s <= w + h; ++s) {
            const int px = x + s * kDx[d], py = y + s * kDy[d];
            if (Get(px, py) != '.') continue;
            Set(px, py, 'X');
            // The five must hold (x, y): every cell between them is Black.
            bool joined = true;
            for (int t = s < 0 ? s : 0; t <= (s < 0 ? 0 : s); ++t)
                joined = joined && Get(x + t * kDx[d], y + t * kDy[d]) == 'X';
            if (joined && Run(px, py, d) == 5) points.push_back(s);
            Set(px, py, '.');
        }
        return points;
    }

    int Fours(int x, int y, int d) {
        const std::vector<int> points = FivePoints(x, y, d);
        int n = static_cast<int>(points.size());
        for (size_t i = 0; i < points.size(); ++i)
            for (size_t j = 0; j < points.size(); ++j)
                if (points[j] - points[i] == 5) --n;
        return n;
    }

    bool StraightFour(int x, int y, int d) {
        const std::vector<int> points = FivePoints(x, y, d);
        for (size_t i = 0; i < points.size(); ++i)
            for (size_t j = 0; j < points.size(); ++j)
                if (points[j] - points[i] == 5) return true;
        return false;
    }

    bool IsThree(int x, int y, int d) {
        for (int s = -w - h; s <= w + h; ++s) {
            const int px = x + s * kDx[d], py = y + s * kDy[d];
            if (Get(px, py) != '.') continue;
            Set(px, py, 'X');
            const bool straight = StraightFour(x, y, d);
            Set(px, py, '.');
            if (straight && !Forbidden(px, py)) return true;
        }
        return false;
    }
};

}  // namespace renju_reference
