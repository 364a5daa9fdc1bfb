// Hand-built positions given to the real engine binary through BOARD ... DONE,
// with the carriage-return line ends that managers send. X marks the engine's
// own stones, O the opponent's; the engine is to move. Every position is first
// checked with the independent referee, so that each test states a fact of the
// game, and then the engine's reply is checked against the only correct cells.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "process_helpers.h"
#include "referee.h"

namespace {

using tamlo_test::Cell;
using tamlo_test::ParseMove;
using tamlo_test::Referee;
using tamlo_test::Session;
using Rows = std::vector<std::string>;
using Cells = std::vector<Cell>;

constexpr int kEngine = 1;    // X
constexpr int kOpponent = 2;  // O

// A position: the board size, a diagram of its top rows (row 0 first) and the
// rule: exactFive for "info rule 1", where six in a row does not win.
struct Position {
    int width;
    int height;
    Rows rows;
    bool exactFive = false;

    Referee MakeReferee() const { return Referee::FromDiagram(rows, width, height, exactFive); }
};

// The board lines of the diagram with their owner codes (1 for X, 2 for O),
// interleaved as in a game, the side with more stones first.
std::vector<std::string> BoardLines(const Position& p) {
    std::vector<std::string> own, other;
    for (size_t y = 0; y < p.rows.size(); ++y)
        for (size_t x = 0; x < p.rows[y].size(); ++x) {
            char c = p.rows[y][x];
            std::string cell = std::to_string(x) + "," + std::to_string(y);
            if (c == 'X') own.push_back(cell + ",1");
            if (c == 'O') other.push_back(cell + ",2");
        }
    std::vector<std::string>& first = own.size() > other.size() ? own : other;
    std::vector<std::string>& second = own.size() > other.size() ? other : own;
    std::vector<std::string> lines;
    for (size_t i = 0; i < first.size(); ++i) {
        lines.push_back(first[i]);
        if (i < second.size()) lines.push_back(second[i]);
    }
    return lines;
}

// Gives the position to a fresh engine process, its search chosen by the
// setting line, and returns its reply to DONE.
std::string EngineReply(const Position& p, const std::string& setting) {
    Session engine;
    std::string start = p.width == p.height ? "start " + std::to_string(p.width)
                                            : "rectstart " + std::to_string(p.width) + "," +
                                                  std::to_string(p.height);
    // Every line ends with a carriage return and a line feed.
    auto reply = engine.Command(start + "\r");
    if (reply != "OK") return "(start answered " + reply.value_or("nothing") + ")";
    if (engine.Command(setting + "\r") != "OK") return "(" + setting + " refused)";
    if (p.exactFive) engine.WriteLine("info rule 1\r");
    engine.WriteLine("info timeout_turn 2000\r");
    engine.WriteLine("board\r");
    for (const std::string& line : BoardLines(p)) engine.WriteLine(line + "\r");
    return engine.Command("done\r").value_or("(no reply)");
}

bool Contains(const Cells& cells, const Cell& c) {
    return std::find(cells.begin(), cells.end(), c) != cells.end();
}

std::string Describe(const Cells& cells) {
    std::string text = "{";
    for (const Cell& c : cells) {
        if (text.size() > 1) text += ' ';
        text += tamlo_test::ToString(c);
    }
    text += '}';
    return text;
}

// The reply of either search, the default one and the classic alpha-beta,
// must be one of the acceptable cells.
void ExpectReplyIn(const Position& p, const Cells& acceptable) {
    for (const char* setting : {"set_classic 0", "set_classic 1"}) {
        const std::string reply = EngineReply(p, setting);
        std::optional<Cell> move = ParseMove(reply);
        ASSERT_TRUE(move) << setting << ", reply: " << reply;
        EXPECT_TRUE(p.MakeReferee().IsLegal(*move)) << setting << ", illegal reply " << reply;
        EXPECT_TRUE(Contains(acceptable, *move))
            << setting << ", reply " << reply << ", expected one of " << Describe(acceptable)
            << "\n"
            << p.MakeReferee().Diagram();
    }
}

// The cells where the player's stone would leave two or more completion cells
// (an open four or a double four), in row order.
Cells DoubleThreatCells(Referee r, int player) {
    Cells cells;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x) {
            if (!r.IsEmpty({x, y})) continue;
            r.Place({x, y}, player);
            if (r.FiveCells(player).size() >= 2) cells.push_back({x, y});
            r.Remove({x, y});
        }
    return cells;
}

// After every move of `player` other than those listed, the other side wins by
// fours: only the listed moves can keep the game. Fours of `player` are
// skipped when skipFours is set (the caller has dealt with them).
Cells MovesThatStopTheFours(Referee r, int player, int maxFours, bool skipFours) {
    Cells kept;
    Cells fours = skipFours ? r.FourCells(player) : Cells{};
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x) {
            Cell c{x, y};
            if (!r.IsEmpty(c) || Contains(fours, c)) continue;
            r.Place(c, player);
            if (!r.WinsByFours(3 - player, maxFours)) kept.push_back(c);
            r.Remove(c);
        }
    return kept;
}

// ---------------------------------------------------------------------------
// The engine completes its own five, even when the opponent threatens one.

TEST(OwnFive, CompletesAnOpenEndedFourRatherThanBlocking) {
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "...XOOOO............",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         ".......OXXXX........",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kEngine), (Cells{{12, 10}}));
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{8, 5}}));  // a block would lose the win
    ExpectReplyIn(p, {{12, 10}});
}

TEST(OwnFive, FillsTheMiddleGapOfTwoPairsOnASmallBoard) {
    // Column XX.XX closed at both ends: only the gap completes five.
    const Position p{15,
                     15,
                     {
                         "...............",
                         "...............",
                         "...............",
                         "...O...........",
                         "...X...........",
                         "...X...........",
                         "...............",
                         "...X...........",
                         "...X...........",
                         "...O...........",
                         ".......XOOOO...",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kEngine), (Cells{{3, 6}}));
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{12, 10}}));
    ExpectReplyIn(p, {{3, 6}});
}

TEST(OwnFive, FillsTheGapOfABrokenDiagonalFour) {
    // X.XXX on the diagonal, both ends blocked; O has an open three, which the
    // engine must ignore.
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "....................",
                         "............OOO.....",
                         "....O...............",
                         ".....X..............",
                         "....................",
                         ".......X............",
                         "........X...........",
                         ".........X..........",
                         "..........O.........",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kEngine), (Cells{{6, 6}}));
    ASSERT_TRUE(r.FiveCells(kOpponent).empty());
    ASSERT_FALSE(DoubleThreatCells(r, kOpponent).empty());  // O's open three
    ExpectReplyIn(p, {{6, 6}});
}

TEST(OwnFive, CompletesADiagonalThatEndsInTheCorner) {
    // The four runs into the corner (19,19): the only completion is (15,15).
    const Position p{20,
                     20,
                     {
                         "....................", "..X.................", "..O.................",
                         "..O.................", "..O.................", "..O.................",
                         "....................", "....................", "....................",
                         "....................", "..........O.........", "....................",
                         "....................", "....................", "....................",
                         "....................", "................X...", ".................X..",
                         "..................X.", "...................X",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kEngine), (Cells{{15, 15}}));
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{2, 6}}));
    ExpectReplyIn(p, {{15, 15}});
}

TEST(OwnFive, CompletesAColumnAlongTheEdgeOfASmallBoard) {
    const Position p{15,
                     15,
                     {
                         "...............",
                         "...............",
                         "....XOOOO......",
                         "...............",
                         "...............",
                         "...............",
                         "...............",
                         "...............",
                         "...............",
                         "O..............",
                         "X..............",
                         "X..............",
                         "X..............",
                         "X..............",
                         "...............",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kEngine), (Cells{{0, 14}}));
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{9, 2}}));
    ExpectReplyIn(p, {{0, 14}});
}

TEST(OwnFive, CompletesAnOpenFourAtEitherEnd) {
    // Both ends of .XXXX. complete five: either is equally correct.
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "...X................",
                         "...O................",
                         "...O................",
                         "...O................",
                         "...O................",
                         "....................",
                         "....................",
                         "....................",
                         "......XXXX..........",
                         "...........O........",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kEngine), (Cells{{5, 10}, {10, 10}}));
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{3, 7}}));
    ExpectReplyIn(p, {{5, 10}, {10, 10}});
}

// ---------------------------------------------------------------------------
// Without a five of its own the engine blocks the opponent's four.

TEST(OpponentFour, BlocksAFourAtItsOpenEnd) {
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         ".....XOOOO..........",
                         "........X...........",
                         "...........X........",
                         "....................",
                         "....................",
                         "...X................",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_TRUE(r.FiveCells(kEngine).empty());
    ASSERT_TRUE(r.FourCells(kEngine).empty());
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{10, 7}}));
    ExpectReplyIn(p, {{10, 7}});
}

TEST(OpponentFour, BlocksTheGapOfABrokenFourOnASmallBoard) {
    // O.OOO: the gap is O's only completion.
    const Position p{15,
                     15,
                     {
                         "...............",
                         "...............",
                         "..X............",
                         "..........X....",
                         "...............",
                         "...............",
                         "...............",
                         "...............",
                         "....O.OOO......",
                         "...............",
                         "...............",
                         ".....X.........",
                         "............X..",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_TRUE(r.FiveCells(kEngine).empty());
    ASSERT_TRUE(r.FourCells(kEngine).empty());
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{5, 8}}));
    ExpectReplyIn(p, {{5, 8}});
}

// ---------------------------------------------------------------------------
// Attacks and defences a few moves deep.

TEST(Attack, MakesAnOpenFourWhenTheOpponentHasNothing) {
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "....................",
                         "...O................",
                         "...............O....",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         ".......XXX..........",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "............O.......",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_TRUE(r.FourCells(kOpponent).empty());
    // Only the open fours win at once; a closed four or a quiet move lets O
    // block the line.
    const Cells openFours = DoubleThreatCells(r, kEngine);
    ASSERT_EQ(openFours, (Cells{{6, 10}, {10, 10}}));
    ExpectReplyIn(p, openFours);
}

TEST(Attack, PlaysTheFourThree) {
    // (8,10) makes the row four and the open column three at once; O has two
    // open threes, so every move that is not a four loses.
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "..............OOO...",
                         "....................",
                         "....................",
                         "............X.......",
                         "....................",
                         "....................",
                         "........X...........",
                         "........X...........",
                         "....OXXX............",
                         "....................",
                         "....................",
                         "....................",
                         "..O.................",
                         "..O.................",
                         "..O..............X..",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.WinningFourStarts(kEngine, 6), (Cells{{8, 10}}));
    ASSERT_EQ(r.FewestFours(kEngine, 6), 2);
    ASSERT_TRUE(MovesThatStopTheFours(r, kEngine, 3, true).empty());
    ExpectReplyIn(p, {{8, 10}});
}

TEST(Attack, WinsByASeriesOfFours) {
    // Three fours in a row: (8,10) forces (8,9), then (10,8) forces (9,9), then
    // (10,10) makes two fours at once. Every other four fails, and O has two
    // four-three threats of its own, so any quiet move loses.
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "....................",
                         "............X.......",
                         "...........X........",
                         "....................",
                         "....................",
                         ".....OXX............",
                         "........X.X.........",
                         "........X.X.........",
                         "........X...........",
                         "........O...........",
                         "..O.............O...",
                         "..O.............O...",
                         "...OOOX.....XOOO....",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.WinningFourStarts(kEngine, 8), (Cells{{8, 10}}));
    ASSERT_EQ(r.FewestFours(kEngine, 8), 3);
    ASSERT_TRUE(r.WinsByFours(kOpponent, 3));
    ASSERT_TRUE(MovesThatStopTheFours(r, kEngine, 3, true).empty());
    ExpectReplyIn(p, {{8, 10}});
}

TEST(Attack, BlocksAnOpenThreeNextToIt) {
    // X has no four; O's open three becomes an open four unless X takes one of
    // the two cells next to it (a block one cell further out leaves O an open
    // four on the other side).
    const Position p{15,
                     15,
                     {
                         "...............",
                         "...............",
                         "..X............",
                         "............X..",
                         "...............",
                         "...............",
                         "...............",
                         "......OOO......",
                         "...............",
                         "...............",
                         "...............",
                         "...........X...",
                     }};
    Referee r = p.MakeReferee();
    ASSERT_TRUE(r.FourCells(kEngine).empty());
    const Cells defences = MovesThatStopTheFours(r, kEngine, 2, false);
    ASSERT_EQ(defences, (Cells{{5, 7}, {9, 7}}));
    ExpectReplyIn(p, defences);
}

// ---------------------------------------------------------------------------
// Under the exact-five rule a line of six is no win.

TEST(ExactFive, CompletesTheFiveAndNotTheSix) {
    // XXXX.X: the gap makes six; only (4,10) makes five. O threatens five, so
    // the six would lose.
    const Position p{20,
                     20,
                     {
                         "....................",
                         "....................",
                         "............X.......",
                         "............O.......",
                         "............O.......",
                         "............O.......",
                         "............O.......",
                         "....................",
                         "....................",
                         "....................",
                         ".....XXXX.X.........",
                         "....................",
                         "....................",
                         "..O.............O...",
                     },
                     true};
    ASSERT_EQ(p.MakeReferee().FiveCells(kEngine), (Cells{{4, 10}}));
    ASSERT_EQ(p.MakeReferee().FiveCells(kOpponent), (Cells{{12, 7}}));
    Position freestyle = p;
    freestyle.exactFive = false;
    ASSERT_EQ(freestyle.MakeReferee().FiveCells(kEngine), (Cells{{4, 10}, {9, 10}}));
    ExpectReplyIn(p, {{4, 10}});
}

TEST(ExactFive, ASixIsNoAnswerToTheOpponentsFour) {
    // OXXXX.X: X's only line completion makes six. Under the exact-five rule X
    // has no win and must block O's five at (12,7); where six wins, it wins.
    const Position exact{20,
                         20,
                         {
                             "....................",
                             "....................",
                             "............X.......",
                             "............O.......",
                             "............O.......",
                             "............O.......",
                             "............O.......",
                             "....................",
                             "....................",
                             "....................",
                             "....OXXXX.X.........",
                             "....................",
                             "....................",
                             "..O.............O...",
                         },
                         true};
    Position freestyle = exact;
    freestyle.exactFive = false;
    ASSERT_TRUE(exact.MakeReferee().FiveCells(kEngine).empty());
    ASSERT_EQ(exact.MakeReferee().FiveCells(kOpponent), (Cells{{12, 7}}));
    ASSERT_EQ(freestyle.MakeReferee().FiveCells(kEngine), (Cells{{9, 10}}));
    ExpectReplyIn(exact, {{12, 7}});
    ExpectReplyIn(freestyle, {{9, 10}});
}

TEST(ExactFive, BlocksOnlyTheCellThatMakesFive) {
    // OOOO.O: filling the gap would give O six, no win; the real threat is
    // (4,8). Five or more would make this position lost.
    const Position p{15,
                     15,
                     {
                         "...............",
                         "..X............",
                         "...........X...",
                         "...............",
                         "...............",
                         "...............",
                         "...............",
                         "...............",
                         ".....OOOO.O....",
                         "...............",
                         "...............",
                         "...X...........",
                         "............X..",
                         "........X......",
                     },
                     true};
    Referee r = p.MakeReferee();
    ASSERT_EQ(r.FiveCells(kOpponent), (Cells{{4, 8}}));
    ASSERT_TRUE(r.FourCells(kEngine).empty());
    ExpectReplyIn(p, {{4, 8}});
}

}  // namespace
