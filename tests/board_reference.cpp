#include "board_reference.h"

#include <algorithm>
#include <climits>
#include <set>
#include <sstream>

#include "board/boardai.h"
#include "board/coord.h"
#include "board/patterntables.h"
#include "board/threatlist.h"
#include "board/zobrist.h"

namespace boardref {

namespace {

// Unit steps of the four line directions, as column and row deltas.
constexpr int kDx[4] = {1, 0, 1, -1};
constexpr int kDy[4] = {0, 1, 1, 1};

// Orthogonal neighbours for the border rays.
constexpr int kRayDx[4] = {1, 0, -1, 0};
constexpr int kRayDy[4] = {0, 1, 0, -1};

constexpr uint32_t kOff = 3;

int Width() {
    return static_cast<int>(Coord::width);
}
int Height() {
    return static_cast<int>(Coord::height);
}
bool OnBoard(int x, int y) {
    return x >= 0 && y >= 0 && x < Width() && y < Height();
}

std::string Name(uint32_t z) {
    std::ostringstream os;
    os << "cell " << z << " (" << z % Coord::width << "," << z / Coord::width << ")";
    return os.str();
}

// Collects mismatches and reports the first few of them.
class Report {
  public:
    std::ostream& Add() {
        ++count_;
        if (count_ <= kShown) return os_ << "\n  ";
        return sink_;
    }
    ::testing::AssertionResult Result() const {
        if (count_ == 0) return ::testing::AssertionSuccess();
        ::testing::AssertionResult r = ::testing::AssertionFailure();
        r << count_ << " mismatch(es):" << os_.str();
        if (count_ > kShown) r << "\n  ...";
        return r;
    }

  private:
    static constexpr int kShown = 12;
    int count_ = 0;
    std::ostringstream os_;
    std::ostringstream sink_;
};

// The stones as they stood before the move with history index `time`: a cell
// counts when it holds a stone placed earlier. Stones missing from the history
// (a fault reported elsewhere) count always.
class Stones {
  public:
    Stones(const SimpleBoard& board, const std::array<int, kMaxArea>& order, int time)
        : board_(board), order_(order), time_(time) {}
    uint32_t At(int x, int y) const {
        if (!OnBoard(x, y)) return kOff;
        const int z = y * Width() + x;
        if (!board_.mCells[z] || order_[z] >= time_) return 0;
        return board_.mCells[z];
    }

  private:
    const SimpleBoard& board_;
    const std::array<int, kMaxArea>& order_;
    int time_;
};

uint32_t Slot(uint32_t word, int slot) {
    return (word >> (2 * slot)) & 3;
}
uint32_t WithSlot(uint32_t word, int slot, uint32_t v) {
    return (word & ~(3u << (2 * slot))) | v << (2 * slot);
}

uint32_t PatternOf(const Stones& stones, int x, int y, int d) {
    uint32_t w = 0;
    for (int k = 1; k <= 5; ++k) {
        w = WithSlot(w, 4 + k, stones.At(x + k * kDx[d], y + k * kDy[d]));
        w = WithSlot(w, 5 - k, stones.At(x - k * kDx[d], y - k * kDy[d]));
    }
    return w;
}

// Five slots from `first` on read gap, stone, gap, stone, gap.
bool AlternatingHalf(uint32_t w, int first, uint32_t stone) {
    static constexpr int kShape[5] = {0, 1, 0, 1, 0};
    for (int i = 0; i < 5; ++i)
        if (Slot(w, first + i) != (kShape[i] ? stone : 0)) return false;
    return true;
}

// The category that one side of the line gives on its own, the other side's
// five slots taken as off the board.
uint32_t OneSided(const uint8_t* table, uint32_t w, int blockedFirst) {
    for (int i = 0; i < 5; ++i) w = WithSlot(w, blockedFirst + i, kOff);
    return table[w];
}

// The window shows five cells to each side; a sixth stone of the same player
// beyond gap, stone, gap, stone, gap makes the line worth more.
uint32_t SixCellCorrected(const uint8_t* table, uint32_t stone, uint32_t w, uint32_t c,
                          uint32_t sixBack, uint32_t sixAhead) {
    int n = 0;
    uint32_t rLow = 0, rHigh = 0;
    if (AlternatingHalf(w, 0, stone) && sixBack == stone) {
        const uint32_t x = OneSided(table, w, 0);
        rLow = x >= kFourDevelopFour && x <= kFour ? kFourThree : kThree;
        ++n;
    }
    if (AlternatingHalf(w, 5, stone) && sixAhead == stone) {
        const uint32_t x = OneSided(table, w, 5);
        rHigh = x >= kFourDevelopFour && x <= kFour ? kFourThree : kThree;
        ++n;
    }
    if (n == 0) return c;
    uint32_t r;
    if (n == 1)
        r = rLow != 0 ? rLow : rHigh;
    else if (rLow == kFourThree)
        r = kFourThree;
    else
        r = rHigh == kFourThree ? kFourThree : k2xThree;
    return std::min(r, c);
}

CellModel ModelCell(const ListBoard& board, const Stones& stones, int x, int y) {
    CellModel m;
    const uint8_t* tables[2] = {board.Patterns().LineTable(1), board.Patterns().LineTable(2)};
    for (int d = 0; d < 4; ++d) {
        const uint32_t w = PatternOf(stones, x, y, d);
        m.pattern[d] = w;
        uint32_t c[2] = {tables[0][w], tables[1][w]};
        if (board.mLookSix && (c[0] >= 5 || c[1] >= 5)) {
            const uint32_t back = stones.At(x - 6 * kDx[d], y - 6 * kDy[d]);
            const uint32_t ahead = stones.At(x + 6 * kDx[d], y + 6 * kDy[d]);
            for (int p = 0; p < 2; ++p)
                c[p] = SixCellCorrected(tables[p], p + 1, w, c[p], back, ahead);
        }
        for (int p = 0; p < 2; ++p) {
            m.line[p][d] = c[p];
            m.word[p] |= c[p] << (5 * d);
        }
    }
    for (int p = 0; p < 2; ++p) m.category[p] = combinedCategory[m.word[p]];
    return m;
}

// History index of every stone; INT_MIN for a cell without a history entry.
std::array<int, kMaxArea> MoveOrder(const SimpleBoard& board) {
    std::array<int, kMaxArea> order;
    order.fill(INT_MIN);
    const uint32_t n = std::min<uint32_t>(board.mMoveCount, kMaxArea);
    for (uint32_t i = 0; i < n; ++i)
        if (board.mMoves[i] < Coord::area && order[board.mMoves[i]] == INT_MIN)
            order[board.mMoves[i]] = static_cast<int>(i);
    return order;
}

void CheckSideAndHistory(const SimpleBoard& board, Report& report) {
    if (board.mSide > 1) report.Add() << "mSide " << int(board.mSide);
    if (board.mToMove != 2u - board.mSide)
        report.Add() << "mToMove " << board.mToMove << " with mSide " << int(board.mSide);
    if (board.mOpponent != board.mSide + 1u)
        report.Add() << "mOpponent " << board.mOpponent << " with mSide " << int(board.mSide);
    if (board.mMoveCount > Coord::area) {
        report.Add() << "mMoveCount " << board.mMoveCount;
        return;
    }
    std::set<uint32_t> seen;
    for (uint32_t i = 0; i < board.mMoveCount; ++i) {
        const uint32_t z = board.mMoves[i];
        if (z >= Coord::area || !board.mCells[z] || !seen.insert(z).second)
            report.Add() << "mMoves[" << i << "] = " << z << " is not a distinct stone";
    }
    uint32_t stones = 0;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (board.mCells[z] > 2) report.Add() << Name(z) << " holds " << int(board.mCells[z]);
        if (board.mCells[z]) ++stones;
    }
    if (stones != board.mMoveCount)
        report.Add() << stones << " stones but mMoveCount " << board.mMoveCount;
}

// Walks one category list from its head; returns the cells, or reports a
// broken link structure.
std::vector<uint32_t> WalkList(const uint16_t* prev, const uint16_t* next, uint32_t c, int player,
                               Report& report) {
    std::vector<uint32_t> cells;
    const uint32_t head = kNoCell + c;
    uint32_t at = head;
    for (uint32_t steps = 0;; ++steps) {
        const uint32_t to = next[at];
        if (to != head && to >= Coord::area) {
            report.Add() << "player " << player << " list " << c << ": link " << at << " -> " << to;
            return cells;
        }
        if (prev[to] != at) {
            report.Add() << "player " << player << " list " << c << ": prev[" << to
                         << "] = " << prev[to] << ", expected " << at;
            return cells;
        }
        if (to == head) return cells;
        if (steps > Coord::area) {
            report.Add() << "player " << player << " list " << c << " does not close";
            return cells;
        }
        cells.push_back(to);
        at = to;
    }
}

}  // namespace

uint32_t ModelPattern(const SimpleBoard& board, CellIndex cell, int d) {
    const std::array<int, kMaxArea> order = MoveOrder(board);
    const Stones stones(board, order, INT_MAX);
    return PatternOf(stones, cell % Width(), cell / Width(), d);
}

BoardModel ComputeModel(const ListBoard& board) {
    BoardModel model;
    const std::array<int, kMaxArea> order = MoveOrder(board);
    const Stones now(board, order, INT_MAX);
    for (uint32_t z = 0; z < Coord::area; ++z) {
        const int x = static_cast<int>(z) % Width(), y = static_cast<int>(z) / Width();
        if (board.mCells[z]) {
            // Its words stay as they were just before its stone was placed.
            const Stones before(board, order, order[z] == INT_MIN ? INT_MAX : order[z]);
            model.cells[z] = ModelCell(board, before, x, y);
            model.hash ^= zobristKeys[z + (board.mCells[z] == 2 ? Coord::area : 0)];
        } else {
            model.cells[z] = ModelCell(board, now, x, y);
            for (int p = 0; p < 2; ++p) ++model.counts[p][model.cells[z].category[p]];
        }
    }
    return model;
}

::testing::AssertionResult BoardConsistent(const ListBoard& board) {
    Report report;
    CheckSideAndHistory(board, report);
    const BoardModel model = ComputeModel(board);
    if (board.mHash != model.hash)
        report.Add() << "mHash " << std::hex << board.mHash << ", expected " << model.hash
                     << std::dec;

    for (uint32_t z = 0; z < Coord::area; ++z) {
        const CellModel& m = model.cells[z];
        const char* what = board.mCells[z] ? " (occupied)" : "";
        for (int d = 0; d < 4; ++d) {
            if (board.mLinePattern[z * 4 + d] != m.pattern[d])
                report.Add() << Name(z) << what << " pattern d" << d << " " << std::hex
                             << board.mLinePattern[z * 4 + d] << ", expected " << m.pattern[d]
                             << std::dec;
        }
        for (int p = 0; p < 2; ++p) {
            if (board.Category(p + 1, z) != m.category[p])
                report.Add() << Name(z) << what << " player " << p + 1 << " category "
                             << board.Category(p + 1, z) << ", expected " << m.category[p];
            if (board.mCategoryWord[z][p] == m.word[p]) continue;
            std::ostream& os = report.Add();
            os << Name(z) << what << " player " << p + 1 << " lines";
            for (int d = 0; d < 4; ++d) os << " " << board.LineCat(p + 1, z, d);
            os << ", expected";
            for (int d = 0; d < 4; ++d) os << " " << m.line[p][d];
        }
    }

    // Lists and counts.
    const uint16_t* prevs[2] = {board.mPrev1, board.mPrev2};
    const uint16_t* nexts[2] = {board.mNext1, board.mNext2};
    const uint16_t* counts[2] = {board.mCategoryCount1, board.mCategoryCount2};
    uint32_t empty = 0;
    for (uint32_t z = 0; z < Coord::area; ++z)
        if (!board.mCells[z]) ++empty;
    for (int p = 0; p < 2; ++p) {
        std::vector<int> listed(Coord::area, 0);
        uint32_t total = 0;
        for (uint32_t c = 0; c < kCategoryCount; ++c) {
            const std::vector<uint32_t> cells = WalkList(prevs[p], nexts[p], c, p + 1, report);
            if (cells.size() != counts[p][c])
                report.Add() << "player " << p + 1 << " list " << c << " has " << cells.size()
                             << " cells, count " << counts[p][c];
            if (counts[p][c] != model.counts[p][c])
                report.Add() << "player " << p + 1 << " count[" << c << "] " << counts[p][c]
                             << ", expected " << model.counts[p][c];
            total += counts[p][c];
            for (uint32_t z : cells) {
                ++listed[z];
                if (board.mCells[z])
                    report.Add() << Name(z) << " occupied but in player " << p + 1 << " list " << c;
                else if (model.cells[z].category[p] != c)
                    report.Add() << Name(z) << " in player " << p + 1 << " list " << c
                                 << ", expected list " << model.cells[z].category[p];
            }
        }
        if (total != empty)
            report.Add() << "player " << p + 1 << " counts sum to " << total << ", " << empty
                         << " empty cells";
        for (uint32_t z = 0; z < Coord::area; ++z)
            if (!board.mCells[z] && listed[z] != 1)
                report.Add() << Name(z) << " appears " << listed[z] << " times in player " << p + 1
                             << "'s lists";
    }

    const bool ownOk = (board.mOwnLists == board.mNext1 && board.mOppLists == board.mNext2) ||
                       (board.mOwnLists == board.mNext2 && board.mOppLists == board.mNext1);
    if (!ownOk) report.Add() << "mOwnLists / mOppLists do not point to this board's lists";
    return report.Result();
}

bool ExpectBoardConsistent(const ListBoard& board) {
    const ::testing::AssertionResult r = BoardConsistent(board);
    EXPECT_TRUE(r);
    return r;
}

BorderModel ComputeBorderModel(const SimpleBoard& board) {
    BorderModel model;
    const int area = static_cast<int>(Coord::area);
    std::vector<bool> inside(area), byMove(area), stone(area);
    model.insideBy.fill(kNobody);
    for (int z = 0; z < area; ++z) {
        const int x = z % Width(), y = z / Width();
        inside[z] = x == 0 || y == 0 || x == Width() - 1 || y == Height() - 1;
    }
    auto makeInside = [&](int z, int by) {
        inside[z] = byMove[z] = true;
        model.insideBy[z] = static_cast<uint16_t>(by);
    };
    for (uint32_t i = 0; i < board.mMoveCount; ++i) {
        const int c = board.mMoves[i];
        stone[c] = true;
        if (!inside[c]) makeInside(c, c);
        // A stone closes the cells between it and the nearest stone or inside
        // cell up to three steps away along each orthogonal direction.
        const int x = c % Width(), y = c / Width();
        for (int r = 0; r < 4; ++r) {
            int stop = 0;
            for (int k = 1; k <= 3; ++k) {
                const int nx = x + k * kRayDx[r], ny = y + k * kRayDy[r];
                if (!OnBoard(nx, ny)) break;
                const int t = ny * Width() + nx;
                if (stone[t] || inside[t]) {
                    stop = k;
                    break;
                }
            }
            for (int k = 1; k < stop; ++k) {
                const int t = (y + k * kRayDy[r]) * Width() + x + k * kRayDx[r];
                if (!inside[t]) makeInside(t, c);
            }
        }
    }
    for (int z = 0; z < area; ++z) {
        if (inside[z]) {
            model.state[z] = 0;
            continue;
        }
        bool touches = false;
        for (const CellIndex* n = Coord::neighbours[z]; *n != kNoCell; ++n) touches |= byMove[*n];
        model.state[z] = touches ? 1 : 2;
    }
    return model;
}

::testing::AssertionResult BorderConsistent(const BorderListBoard& board) {
    Report report;
    try {
        const uint32_t n = board.CheckBorderList();
        if (n != board.mBorderCount)
            report.Add() << "CheckBorderList gave " << n << ", mBorderCount " << board.mBorderCount;
    } catch (const std::exception& e) {
        report.Add() << "CheckBorderList threw: " << e.what();
    }
    const BorderModel model = ComputeBorderModel(board);
    std::multiset<uint32_t> listed(board.mBorderList, board.mBorderList + board.mBorderCount);
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (board.mBorderState[z] != model.state[z])
            report.Add() << Name(z) << " border state " << board.mBorderState[z] << ", expected "
                         << model.state[z];
        if (board.mInsideBy[z] != model.insideBy[z])
            report.Add() << Name(z) << " mInsideBy " << board.mInsideBy[z] << ", expected "
                         << model.insideBy[z];
        const size_t times = listed.count(z);
        if (times != (model.state[z] == 1 ? 1u : 0u))
            report.Add() << Name(z) << " listed " << times << " times, state " << model.state[z];
        const uint16_t owner = board.mBorderBy[z];
        if (model.state[z] == 2 && owner != kNobody)
            report.Add() << Name(z) << " outside but owned by " << owner;
        if (model.state[z] == 1) {
            // The owner is an adjacent cell that a move made inside.
            const bool adjacent = owner < Coord::area && std::abs(Coord::Dist(z, owner)) == 1;
            if (!adjacent || model.insideBy[owner] == kNobody)
                report.Add() << Name(z) << " border cell owned by " << owner;
        }
    }
    return report.Result();
}

void EnsureTables(uint32_t width, uint32_t height) {
    const bool built = zobristKeys && combinedCategory && Coord::updateList && Coord::rayCount;
    if (built && Coord::width == width && Coord::height == height) return;
    BoardAI::Free();
    Coord::SetSize(width, height);
    BoardAI::Alloc();
}

void Play(BorderListBoard& board, CellIndex cell) {
    board.MakeMove(cell);
}

void Play(ListBoard& board, CellIndex cell) {
    board.Toggle(cell);
}

std::vector<DiagramStone> ParseDiagram(const std::vector<std::string>& rows, int left, int top) {
    std::vector<DiagramStone> stones;
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            const char ch = rows[y][x];
            if (ch != 'X' && ch != 'O') continue;
            stones.push_back(
                {Coord::xy2z(left + static_cast<uint32_t>(x), top + static_cast<uint32_t>(y)),
                 ch == 'X' ? 1 : 2});
        }
    }
    return stones;
}

}  // namespace boardref
