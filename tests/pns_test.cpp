#include "pns/proofsearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "board/simpleboard.h"
#include "board/threatcategory.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "pns/pnnodepool.h"
#include "protocol/engine.h"
#include "search/movegen.h"
#include "tests/position_builder.h"
#include "tests/threat_reference.h"

namespace {

CellIndex Z(uint32_t x, uint32_t y) {
    return Coord::xy2z(x, y);
}

// X to move has a win by three fours: (11,10) forces (14,13), then (10,10) and
// (10,11) in either order end in a double four. O's split three on the
// anti-diagonal (10,7)-(7,10) threatens an open four, so only fours win.
const std::vector<std::string> kVcf = {
    "....................",  // 0
    "....................",  //
    "....................",  //
    "....................",  //
    "....................",  //
    "....................",  // 5
    "....................",  //
    "..........O.........",  //
    ".........OX.........",  //
    "..........X.........",  //
    ".......OXX..........",  // 10
    "...........XXXO.....",  //
    ".............X......",  //
};

// The same position with the colours exchanged, O to move.
std::vector<std::string> Swapped(std::vector<std::string> rows) {
    for (std::string& row : rows)
        for (char& c : row) c = c == 'X' ? 'O' : c == 'O' ? 'X' : c;
    return rows;
}

// Scattered stones, X to move: neither side is near a decision, so the tree
// keeps growing for thousands of nodes.
const std::vector<std::string> kContested = {
    "....................",  // 0
    "....................",  //
    "....................",  //
    "....................",  //
    "....................",  //
    "...........X........",  // 5
    ".......O.O..........",  //
    ".....XO.............",  //
    "....................",  //
    "......X.O...........",  //
    "......O.............",  // 10
    "......XO............",  //
    "..........O.........",  //
    "........X...X.......",  //
    ".............X......",  //
};

// O threatens an open four from (5..7, 5); X, to move, can block at either end
// or first make one of its two closed fours.
const std::vector<std::string> kOpenThree = {
    "....................",  // 0
    "....................",  //
    "....................",  //
    "....................",  //
    "....................",  //
    ".....OOO............",  // 5
    "....................",  //
    "..........X.........",  //
    "..........X.........",  //
    "..........X.........",  //
    "..........O.........",  // 10
    "....................",  //
    "....................",  //
    "..OXXX..............",  //
};

// Twelve pairs of X stones: the attacker lists dozens of moves at the root.
const std::vector<std::string> kManyMoves = {
    "....................",  // 0
    "..X.X......X.X......",  //
    "....................",  //
    "....................",  //
    "..X.X......X.X......",  //
    "....................",  // 5
    "....................",  //
    "..X.X......X.X......",  //
    "....................",  //
    "....................",  //
    "..X.X......X.X......",  // 10
    "....................",  //
    "....................",  //
    "..X.X......X.X......",  //
    "....................",  //
    "....................",  // 15
    "..X.X......X.X......",  //
    "..................O.",  //
};

struct Statistics {
    uint32_t searched = 0;
    int64_t moves = 0;
    bool hasSpeed = false;
    int64_t speed = 0;
};

// Parses the one statistics line a run writes; fails the test on any other text.
Statistics ParseStatistics(const std::string& text) {
    static const std::regex kLine(
        R"(DEBUG PNS: searched=(\d+) moves=(-?\d+)(?: speed= (\d+)/s)?\n)");
    std::smatch m;
    Statistics s;
    EXPECT_TRUE(std::regex_match(text, m, kLine)) << text;
    if (m.empty()) return s;
    s.searched = static_cast<uint32_t>(std::stoul(m[1]));
    s.moves = std::stoll(m[2]);
    s.hasSpeed = m[3].matched;
    if (s.hasSpeed) s.speed = std::stoll(m[3]);
    return s;
}

// Every node of a tree, parents before children.
std::vector<PnNode*> TreeNodes(PnNode* root) {
    std::vector<PnNode*> nodes{root};
    for (size_t i = 0; i < nodes.size(); ++i)
        for (int c = 0; c < nodes[i]->childCount; ++c) nodes.push_back(nodes[i]->children[c]);
    return nodes;
}

PnNode* ChildWithMove(PnNode* node, CellIndex move) {
    for (int i = 0; i < node->childCount; ++i)
        if (node->children[i]->move == move) return node->children[i];
    return nullptr;
}

class ProofSearchTest : public ::testing::Test {
  protected:
    Engine engine{ProgramArguments{}};

    // Sets up the engine's board as a board change would, and forgets any output.
    void Position(const std::vector<std::string>& rows, int toMove) {
        engine.proof.board = std::make_unique<BoardAI>();
        PlaceDiagram(*engine.proof.board, rows, toMove);
        ReleaseProofTrees(engine.proof);
        engine.diagnostics.str("");
    }
    std::string TakeDiagnostics() {
        std::string text = engine.diagnostics.str();
        engine.diagnostics.str("");
        return text;
    }
    std::vector<CellIndex> Generated(GenMode mode) {
        BoardAI copy = *engine.proof.board;
        GenerateMoves(copy, mode);
        return std::vector<CellIndex>(copy.genMoves, copy.genMoves + copy.genCount);
    }
    PnNode* Root(int slot) { return engine.proof.pnRoots[slot]; }
};

// ---------------------------------------------------------------------------
// The pool on its own.

TEST(PnNodePoolTest, TakesNodesUpToItsCapacity) {
    PnNodePool pool(sizeof(BoardAI), 0, 3);
    EXPECT_EQ(pool.freeCount, 3);
    std::set<PnNode*> nodes;
    for (int i = 0; i < 3; ++i) {
        PnNode* node = pool.TakeNode();
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->pn, 1u);
        EXPECT_EQ(node->nextInList, nullptr);
        nodes.insert(node);
    }
    EXPECT_EQ(nodes.size(), 3u);
    EXPECT_EQ(pool.freeCount, 0);
    EXPECT_EQ(pool.taken, 3);
    EXPECT_EQ(pool.TakeNode(), nullptr);
    EXPECT_EQ(pool.freeCount, 0);
}

TEST(PnNodePoolTest, BufferTooSmallForABoardIsRefused) {
    EXPECT_THROW(PnNodePool(sizeof(BoardAI) - 1, 0, 0), std::invalid_argument);
}

TEST(PnNodePoolTest, MarkedNodesComeBackThroughTheFreeList) {
    PnNodePool pool(sizeof(BoardAI), 0, 4);
    PnNode* root = pool.CreateRoot(BoardAI());
    PnNode* kids[3];
    for (PnNode*& kid : kids) {
        kid = pool.TakeNode();
        kid->AddParent(root);
        root->AppendChild(kid);
    }
    PnNode* grandchild = pool.TakeNode();
    grandchild->AddParent(kids[1]);
    kids[1]->AppendChild(grandchild);
    grandchild->pn = 0;
    ASSERT_EQ(pool.freeCount, 0);

    // The grandchild goes with its only parent; the root is not the pool's.
    pool.Mark(kids[1]);
    EXPECT_TRUE(kids[1]->Marked());
    EXPECT_TRUE(grandchild->Marked());
    EXPECT_EQ(pool.freeCount, 2);
    pool.CollectGarbage();
    ASSERT_EQ(root->childCount, 2);
    EXPECT_EQ(root->children[0], kids[0]);
    EXPECT_EQ(root->children[1], kids[2]);
    EXPECT_EQ(pool.freeCount, 2);

    // Recycled nodes come back as new nodes; the heap is not touched again.
    std::set<PnNode*> again{pool.TakeNode(), pool.TakeNode()};
    EXPECT_EQ(again, (std::set<PnNode*>{kids[1], grandchild}));
    for (PnNode* node : again) {
        EXPECT_EQ(node->pn, 1u);
        EXPECT_EQ(node->childCount, 0);
        EXPECT_EQ(node->parentCount, 0);
        EXPECT_FALSE(node->Marked());
    }
    EXPECT_EQ(pool.taken, 4);
    EXPECT_EQ(pool.TakeNode(), nullptr);
    for (PnNode* node : again) pool.Mark(node);
    pool.CollectGarbage();

    pool.Mark(root);
    pool.CollectGarbage();
    EXPECT_EQ(pool.freeCount, 4);
}

TEST(PnNodePoolTest, NodeWithTwoParentsStaysUntilBothAreGone) {
    PnNodePool pool(sizeof(BoardAI), 0, 10);
    const uint32_t area = Coord::area;
    PnNode* root = pool.CreateRoot(BoardAI());
    PnNode* a = pool.TakeNode();
    PnNode* b = pool.TakeNode();
    PnNode* d = pool.TakeNode();
    a->hash = ZobristKey(Z(3, 3), 1, area);
    b->hash = ZobristKey(Z(4, 4), 1, area);
    d->hash = b->hash ^ ZobristKey(Z(5, 5), 2, area);
    d->move = Z(9, 9);  // as if reached from a
    for (PnNode* kid : {a, b}) {
        kid->AddParent(root);
        root->AppendChild(kid);
        d->AddParent(kid);
        kid->AppendChild(d);
    }
    ASSERT_EQ(d->parentCount, 2);

    pool.Mark(a);
    EXPECT_FALSE(d->Marked());
    EXPECT_EQ(pool.freeCount, 7 + 1);
    pool.CollectGarbage();
    ASSERT_EQ(root->childCount, 1);
    EXPECT_EQ(root->children[0], b);
    ASSERT_EQ(d->parentCount, 1);
    EXPECT_EQ(d->Parent(0), b);
    EXPECT_EQ(d->move, Z(5, 5));  // the move from the parent that is left

    pool.Mark(root);
    EXPECT_TRUE(d->Marked());
    pool.CollectGarbage();
    EXPECT_EQ(pool.freeCount, 10);
}

TEST(PnNodePoolTest, BoardCacheReusesTheLeastRecentlyUsedEntry) {
    PnNodePool pool(sizeof(BoardAI), 2, 10);
    PnNode* n1 = pool.TakeNode();
    PnNode* n2 = pool.TakeNode();
    PnNode* n3 = pool.TakeNode();
    BoardCacheEntry* e1 = pool.AcquireEntry(n1);
    BoardCacheEntry* e2 = pool.AcquireEntry(n2);
    ASSERT_NE(e1, nullptr);
    ASSERT_NE(e2, nullptr);
    EXPECT_NE(e1, e2);
    EXPECT_EQ(n1->cacheEntry, e1);

    // n1's entry is the older one: n3 takes it and n1 loses it.
    EXPECT_EQ(pool.AcquireEntry(n3), e1);
    EXPECT_EQ(n1->cacheEntry, nullptr);
    EXPECT_EQ(e1->owner, n3);

    // Using e2 makes e1 the older one again.
    pool.Touch(e2);
    EXPECT_EQ(pool.AcquireEntry(n1), e1);
    EXPECT_EQ(n3->cacheEntry, nullptr);

    // A given-up entry is the first to be reused.
    pool.ReleaseEntry(n1);
    EXPECT_EQ(e1->owner, nullptr);
    EXPECT_EQ(pool.AcquireEntry(n3), e1);
    EXPECT_EQ(n2->cacheEntry, e2);

    PnNodePool empty(sizeof(BoardAI), 0, 10);
    PnNode* lone = empty.TakeNode();
    EXPECT_EQ(empty.AcquireEntry(lone), nullptr);
    EXPECT_EQ(lone->cacheEntry, nullptr);
}

TEST(PnNodePoolTest, RootKeepsABoardOfItsOwn) {
    BoardAI board;
    PlayMoves(board, {{10, 10}, {11, 11}});
    PnNodePool pool(sizeof(BoardAI), 0, 0);
    PnNode* root = pool.CreateRoot(board);
    ASSERT_NE(root->cacheEntry, nullptr);
    EXPECT_EQ(root->cacheEntry->owner, root);
    EXPECT_EQ(root->cacheEntry->board->mHash, board.mHash);
    EXPECT_NE(root->cacheEntry->board.get(), &board);
    // The pool frees roots still alive when it goes.
}

// ---------------------------------------------------------------------------
// Proof-number arithmetic on hand-built nodes.

class ProofNumbersTest : public ProofSearchTest {
  protected:
    PnNode parent;
    PnNode kids[3];

    void Link(int side, std::initializer_list<std::pair<uint32_t, uint32_t>> numbers) {
        parent.side = static_cast<uint8_t>(side);
        parent.expanded = parent.evaluated = 1;
        int i = 0;
        for (auto [pn, dn] : numbers) {
            kids[i].pn = pn;
            kids[i].dn = dn;
            kids[i].side = static_cast<uint8_t>(1 - side);
            kids[i].evaluated = 1;
            kids[i].AddParent(&parent);
            parent.AppendChild(&kids[i]);
            ++i;
        }
    }
};

TEST_F(ProofNumbersTest, OrNodeTakesTheSmallestProofAndSumsTheDisproofs) {
    Link(1, {{7, 4}, {3, 5}, {3, 2}});
    kids[0].value = 5;
    kids[1].value = -9;
    kids[2].value = 1;
    UpdateNode(engine.proof, &parent);
    EXPECT_EQ(parent.pn, 3u);
    EXPECT_EQ(parent.dn, 11u);
    EXPECT_EQ(parent.value, 9);  // the best of the negated child values
    // The first child that carries the node's proof number.
    EXPECT_EQ(SelectChild(&parent), &kids[1]);
}

TEST_F(ProofNumbersTest, AndNodeSumsTheProofsAndTakesTheSmallestDisproof) {
    Link(0, {{7, 4}, {3, 2}, {5, 2}});
    UpdateNode(engine.proof, &parent);
    EXPECT_EQ(parent.pn, 15u);
    EXPECT_EQ(parent.dn, 2u);
    EXPECT_EQ(SelectChild(&parent), &kids[1]);
}

TEST_F(ProofNumbersTest, InfinityAbsorbsSumsAndLargeSumsStayFinite) {
    Link(0, {{kInfinity - 10, 4}, {20, 6}, {kInfinity, 0}});
    kids[2].value = ScoreLoss;  // disproven: the prover lost there
    UpdateNode(engine.proof, &parent);
    EXPECT_EQ(parent.pn, kInfinity);
    EXPECT_EQ(parent.dn, 0u);
    EXPECT_EQ(parent.value, ScoreWin);  // the opponent, to move here, wins

    PnNode big;
    PnNode bigKids[2];
    big.side = 0;
    big.expanded = big.evaluated = 1;
    for (PnNode& kid : bigKids) {
        kid.pn = kInfinity - 10;
        kid.dn = 3;
        kid.AddParent(&big);
        big.AppendChild(&kid);
    }
    UpdateNode(engine.proof, &big);
    EXPECT_EQ(big.pn, kInfinity - 1);  // open, not mistaken for infinity
    EXPECT_FALSE(big.Solved());
}

TEST_F(ProofNumbersTest, SolvedAndUnexpandedNodesKeepTheirNumbers) {
    Link(1, {{3, 4}});
    parent.pn = 0;
    parent.dn = kInfinity;
    UpdateNode(engine.proof, &parent);
    EXPECT_EQ(parent.pn, 0u);

    PnNode leaf;
    leaf.pn = 7;
    leaf.dn = 9;
    leaf.evaluated = 1;
    UpdateNode(engine.proof, &leaf);
    EXPECT_EQ(leaf.pn, 7u);
    EXPECT_EQ(leaf.dn, 9u);
    leaf.evaluated = 0;
    UpdateNode(engine.proof, &leaf);
    EXPECT_EQ(leaf.pn, 1u);
    EXPECT_EQ(leaf.dn, 1u);
}

TEST_F(ProofNumbersTest, UpdateAncestorsStopsAtTheFirstNodeThatDidNotChange) {
    // root (OR) -> a (AND) -> { b (OR) -> leaf, c }
    PnNode root, a, b, c, leaf;
    auto link = [](PnNode& up, PnNode& down) {
        down.AddParent(&up);
        up.AppendChild(&down);
    };
    link(root, a);
    link(a, b);
    link(a, c);
    link(b, leaf);
    root.side = b.side = 1;
    a.side = c.side = leaf.side = 0;
    for (PnNode* n : {&root, &a, &b, &c, &leaf}) n->evaluated = 1;
    root.expanded = a.expanded = b.expanded = 1;
    leaf.pn = 2;
    leaf.dn = 3;
    c.pn = 4;
    c.dn = 2;
    for (PnNode* n : {&b, &a, &root}) UpdateNode(engine.proof, n);
    ASSERT_EQ(a.pn, 6u);
    ASSERT_EQ(a.dn, 2u);

    // b's disproof number grows, but c still holds a's smallest one.
    leaf.dn = 8;
    EXPECT_EQ(UpdateAncestors(engine.proof, &b, true), &a);
    EXPECT_EQ(b.dn, 8u);
    EXPECT_EQ(a.dn, 2u);

    // A larger proof number changes every sum up to the root.
    leaf.pn = 5;
    EXPECT_EQ(UpdateAncestors(engine.proof, &b, true), &root);
    EXPECT_EQ(a.pn, 9u);
    EXPECT_EQ(root.pn, 9u);
    EXPECT_EQ(root.dn, 2u);
}

// ---------------------------------------------------------------------------
// Reply estimate.

TEST(ReplyEstimateTest, FollowsTheThreatsOfThePlayerWhoIsNotToMove) {
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        uint32_t expected;
    };
    const Case cases[] = {
        {"nothing", {".....O.............."}, 10},
        {"open three", {".....OOO............"}, 2},
        {"closed three", {"....XOOO............"}, 1},
        // (7,5) makes two threes for O; X has no stones.
        {"double three",
         {".....OO.............", ".......O............", ".......O............"},
         5},
        // As before, plus X's two cells that complete a closed four.
        {"double three and own fours",
         {".....OO.............", ".......O............", ".......O............",
          "....................", "....................", "....................",
          "....................", "............OXXX...."},
         7},
    };
    for (const Case& c : cases) {
        BoardAI b;
        std::vector<std::string> rows(5, std::string(20, '.'));
        rows.insert(rows.end(), c.rows.begin(), c.rows.end());
        PlaceDiagram(b, rows, 1);
        EXPECT_EQ(ReplyEstimate(b), c.expected) << c.what;
    }
}

// ---------------------------------------------------------------------------
// Searches.

TEST_F(ProofSearchTest, CapacityZeroPoolEvaluatesTheRootOnly) {
    Position(kVcf, 1);
    CreateProofPool(engine.proof);
    const uint32_t evaluations = engine.proof.pnEvaluationCounter;
    SearchResult r = ProveWinResult(engine.proof, 100000);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");
    EXPECT_EQ(engine.proof.pnEvaluationCounter - evaluations, 1u);
    PnNode* root = Root(kProofSlotB);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(root->expanded);
    EXPECT_EQ(root->childCount, 0);
    // Twelve stones; O threatens an open four, so X's replies are estimated at 2.
    EXPECT_EQ(r.proof, 13u);
    EXPECT_EQ(r.disproof, 14u);
    EXPECT_EQ(r.value, 0);
    EXPECT_EQ(r.move, Generated(GenMode::kProofAttacker).at(0));
    EXPECT_EQ(root->bestMove, r.move);
    EXPECT_EQ(root->hash, engine.proof.board->mHash);
}

TEST_F(ProofSearchTest, RootJudgedWonIsProvenAtOnce) {
    // X has an open four to make.
    Position({"....................", "....XXX.............", "....................",
              "........O.O.O......."},
             1);
    CreateProofPool(engine.proof);
    CellIndex move = kNoCell;
    EXPECT_EQ(ProveWin(engine.proof, 100000, move), ScoreWin);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");
    EXPECT_TRUE(move == Z(3, 1) || move == Z(7, 1)) << move;
    EXPECT_EQ(move, Root(kProofSlotB)->bestMove);

    // Nothing to defend against: proven with no move and nothing recorded.
    Position({"....................", "........X...........", ".........O..........",
              "........XO.........."},
             1);
    CellIndex moves[kMaxArea];
    uint32_t count = 99;
    SearchResult r = FindDefences(engine.proof, 100000, moves, count);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");
    EXPECT_EQ(r.proof, 0u);
    EXPECT_EQ(r.disproof, kInfinity);
    EXPECT_EQ(r.value, ScoreWin);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(r.move, kNoCell);
}

TEST_F(ProofSearchTest, ProvesAWinByThreeFoursForEitherPlayer) {
    for (int toMove : {1, 2}) {
        SCOPED_TRACE(toMove == 1 ? "X to move" : "O to move");
        Position(toMove == 1 ? kVcf : Swapped(kVcf), toMove);
        BoardAI check = *engine.proof.board;
        ASSERT_FALSE(WinsByFours(check, 2));
        ASSERT_TRUE(WinsByFours(check, 3));

        CreateProofPool(engine.proof, 100000, 64);
        CellIndex move = kNoCell;
        ASSERT_EQ(ProveWin(engine.proof, 100000, move), ScoreWin);
        ASSERT_LT(move, Coord::area);
        EXPECT_EQ(engine.proof.board->mCells[move], 0);

        // The first move is a four whose forced block leaves a win by two more.
        const int attacker = static_cast<int>(check.mToMove);
        EXPECT_LE(check.Category(attacker, move), kFour);
        check.Toggle(move);
        ASSERT_EQ(check.Counts(attacker)[kWin], 1);
        check.Toggle(check.First(attacker, kWin));
        EXPECT_TRUE(WinsByFours(check, 2));

        SearchResult r = ProveWinResult(engine.proof, 100000);
        EXPECT_EQ(r.move, move);
        EXPECT_EQ(r.proof, 0u);
        EXPECT_EQ(r.disproof, kInfinity);
        EXPECT_EQ(r.value, ScoreWin);
    }
}

TEST_F(ProofSearchTest, PositionsWithoutAWinAreNotProven) {
    // O has an open four: X has lost before the search starts.
    Position({"....................", ".....OOOO...........", "....................",
              ".........X.X.X.X...."},
             1);
    CreateProofPool(engine.proof, 100000, 64);
    CellIndex move = kNoCell;
    EXPECT_EQ(ProveWin(engine.proof, 100000, move), ScoreLoss);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");

    // Two stones each: the attacker soon runs out of threats.
    Position({"....................", "........X...........", ".........O..........",
              "........XO.........."},
             1);
    CreateProofPool(engine.proof, 100000, 64);
    SearchResult r = ProveWinResult(engine.proof, 100000);
    EXPECT_NE(r.proof, 0u);
    EXPECT_EQ(r.disproof, 0u);
    EXPECT_EQ(r.value, ScoreLoss);
}

TEST_F(ProofSearchTest, OpenRootAnswersItsMostProvingMove) {
    Position(kContested, 1);
    CreateProofPool(engine.proof, 3000, 64);
    SearchResult r = ProveWinResult(engine.proof, 100000);
    PnNode* root = Root(kProofSlotB);
    // The loop ends with 50 nodes or fewer left, the root still open.
    EXPECT_LE(engine.proof.pnPool->freeCount, 50);
    ASSERT_FALSE(root->Solved());
    EXPECT_EQ(r.proof, root->pn);
    EXPECT_EQ(r.disproof, root->dn);
    PnNode* chosen = ChildWithMove(root, r.move);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->pn, root->pn);
    for (int i = 0; i < root->childCount && root->children[i] != chosen; ++i)
        EXPECT_NE(root->children[i]->pn, root->pn);

    // Thousands of stones were placed: the line ends with the speed.
    Statistics s = ParseStatistics(TakeDiagnostics());
    EXPECT_EQ(s.searched, static_cast<uint32_t>(engine.proof.pnPool->taken));
    ASSERT_GT(s.moves, 1000);
    ASSERT_TRUE(s.hasSpeed);
    EXPECT_GT(engine.proof.pnLastSpeed, 0.0f);
    EXPECT_EQ(s.speed, static_cast<int64_t>(engine.proof.pnLastSpeed * 1000.0f));
}

TEST_F(ProofSearchTest, SmallRunsReportNoSpeed) {
    Position(kVcf, 1);
    CreateProofPool(engine.proof, 100000, 64);
    CellIndex move = kNoCell;
    ProveWin(engine.proof, 100000, move);
    Statistics s = ParseStatistics(TakeDiagnostics());
    EXPECT_GT(s.searched, 0u);
    EXPECT_LE(s.moves, 1000);
    EXPECT_FALSE(s.hasSpeed);
}

TEST_F(ProofSearchTest, CacheSizeChangesNeitherTheTreeNorTheBoards) {
    SearchResult reference{};
    uint32_t referenceSearched = 0;
    for (int entries : {64, 2, 1, 0}) {
        SCOPED_TRACE(entries);
        Position(kContested, 1);
        CreateProofPool(engine.proof, 3000, entries);
        std::fill(std::begin(engine.proof.depthHistogram), std::end(engine.proof.depthHistogram),
                  0u);
        SearchResult r = ProveWinResult(engine.proof, 100000);
        Statistics s = ParseStatistics(TakeDiagnostics());
        if (entries == 64) {
            reference = r;
            referenceSearched = s.searched;
        }
        EXPECT_EQ(s.searched, referenceSearched);
        EXPECT_EQ(r.proof, reference.proof);
        EXPECT_EQ(r.disproof, reference.disproof);
        EXPECT_EQ(r.move, reference.move);

        // Every node's board, however it is rebuilt, is the node's position.
        PnNode* root = Root(kProofSlotB);
        std::vector<PnNode*> nodes = TreeNodes(root);
        std::vector<uint32_t> depth(nodes.size(), 0);
        uint32_t histogram[kMaxArea + 2] = {};
        for (size_t i = 0; i < nodes.size(); ++i) {
            PnNode* node = nodes[i];
            for (int c = 0; c < node->childCount; ++c) {
                const size_t at = static_cast<size_t>(
                    std::find(nodes.begin(), nodes.end(), node->children[c]) - nodes.begin());
                depth[at] = depth[i] + 1;
                ++histogram[depth[i] + 1];
            }
            BoardAI& board = GetNodeBoard(engine.proof, node);
            ASSERT_EQ(board.mHash, node->hash);
            ASSERT_EQ(board.mMoveCount, engine.proof.board->mMoveCount + depth[i]);
            if (node != root) {
                ASSERT_NE(board.mCells[node->move], 0);
            }
        }
        EXPECT_TRUE(std::equal(histogram, histogram + kMaxArea + 2, engine.proof.depthHistogram));
    }
}

TEST_F(ProofSearchTest, FindDefencesRecordsEachProvenDefenceInOrder) {
    Position(kOpenThree, 1);
    const std::vector<CellIndex> rootMoves = Generated(GenMode::kProofDefender);
    ASSERT_GE(rootMoves.size(), 4u);

    // Without a moves array the first proof ends the run.
    CreateProofPool(engine.proof, 100000, 64);
    uint32_t count = 7;
    SearchResult first = ProofSearch(engine.proof, kProofSlotC, 100000, GenMode::kProofDefender,
                                     GenMode::kProofAttacker, nullptr, count);
    ASSERT_EQ(first.proof, 0u);
    EXPECT_EQ(count, 0u);
    TakeDiagnostics();

    ReleaseProofTrees(engine.proof);
    CellIndex moves[kMaxArea];
    SearchResult r = FindDefences(engine.proof, 100000, moves, count);
    EXPECT_EQ(r.value, ScoreWin);
    EXPECT_EQ(r.proof, 0u);
    EXPECT_EQ(r.disproof, kInfinity);
    ASSERT_GE(count, 1u);
    EXPECT_EQ(moves[0], first.move);  // recorded in the order proven
    EXPECT_EQ(r.move, moves[0]);

    // Each defence once: a block that leaves O no open four, or a four of X's.
    std::set<CellIndex> recorded(moves, moves + count);
    EXPECT_EQ(recorded.size(), count);
    EXPECT_EQ(recorded, std::set<CellIndex>(rootMoves.begin(), rootMoves.end()));
    for (uint32_t i = 0; i < count; ++i) {
        BoardAI after = *engine.proof.board;
        after.Toggle(moves[i]);
        const uint16_t* o = after.Counts(2);
        EXPECT_TRUE(after.Counts(1)[kWin] == 1 || o[kStraightFour] + o[kStraightFourFour] == 0)
            << moves[i];
    }
    // Proven moves leave the tree.
    for (uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(ChildWithMove(Root(kProofSlotC), moves[i]), nullptr);
    TakeDiagnostics();

    // Nothing is left to prove: the root stays open and nothing is searched.
    r = FindDefences(engine.proof, 100000, moves, count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(r.proof, 1u);
    EXPECT_EQ(r.disproof, 1u);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");
}

TEST_F(ProofSearchTest, OpenRootWithMovesListsEveryChildByProofNumber) {
    Position(kContested, 1);
    CreateProofPool(engine.proof, 3000, 64);
    CellIndex moves[kMaxArea];
    uint32_t count = 0;
    SearchResult r = ProofSearch(engine.proof, kProofSlotB, 100000, GenMode::kProofAttacker,
                                 GenMode::kProofDefender, moves, count);
    PnNode* root = Root(kProofSlotB);
    ASSERT_FALSE(root->Solved());
    EXPECT_EQ(r.proof, root->pn);
    ASSERT_EQ(count, static_cast<uint32_t>(root->childCount));
    std::set<uint32_t> distinct;
    for (uint32_t i = 0; i < count; ++i) {
        PnNode* child = ChildWithMove(root, moves[i]);
        ASSERT_NE(child, nullptr) << moves[i];
        distinct.insert(child->pn);
        if (i > 0) {
            EXPECT_LE(ChildWithMove(root, moves[i - 1])->pn, child->pn);
        }
    }
    EXPECT_GT(distinct.size(), 1u);  // the order means something
    EXPECT_EQ(std::set<CellIndex>(moves, moves + count).size(), count);
}

TEST_F(ProofSearchTest, SecondCallContinuesTheTree) {
    Position(kVcf, 1);
    CreateProofPool(engine.proof, 100000, 64);
    CellIndex move = kNoCell;
    // No time at all: the root is evaluated and nothing more.
    EXPECT_EQ(ProveWin(engine.proof, 0, move), ScoreUnknown);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");
    PnNode* root = Root(kProofSlotB);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->evaluated);
    EXPECT_FALSE(root->expanded);

    EXPECT_EQ(ProveWin(engine.proof, 100000, move), ScoreWin);
    EXPECT_EQ(Root(kProofSlotB), root);
    EXPECT_GT(ParseStatistics(TakeDiagnostics()).searched, 0u);
    const int32_t freeCount = engine.proof.pnPool->freeCount;

    CellIndex again = kNoCell;
    EXPECT_EQ(ProveWin(engine.proof, 100000, again), ScoreWin);
    EXPECT_EQ(again, move);
    EXPECT_EQ(TakeDiagnostics(), "DEBUG PNS: searched=0 moves=0\n");
    EXPECT_EQ(engine.proof.pnPool->freeCount, freeCount);

    // The other slot has a tree of its own.
    uint32_t count = 0;
    CellIndex moves[kMaxArea];
    FindDefences(engine.proof, 0, moves, count);
    EXPECT_NE(Root(kProofSlotC), nullptr);
    EXPECT_EQ(Root(kProofSlotB), root);
}

TEST_F(ProofSearchTest, ReleaseProofTreesEmptiesEverySlot) {
    ReleaseProofTrees(engine.proof);  // no pool yet
    EXPECT_EQ(engine.proof.pnPool, nullptr);

    Position(kVcf, 1);
    CreateProofPool(engine.proof, 100000, 64);
    CellIndex move = kNoCell, moves[kMaxArea];
    uint32_t count = 0;
    ProveWin(engine.proof, 100000, move);
    FindDefences(engine.proof, 100000, moves, count);
    ASSERT_NE(Root(kProofSlotB), nullptr);
    ASSERT_NE(Root(kProofSlotC), nullptr);
    ASSERT_LT(engine.proof.pnPool->freeCount, 100000);

    engine.proof.board->Toggle(move);
    ReleaseProofTrees(engine.proof);
    EXPECT_EQ(Root(kProofSlotA), nullptr);
    EXPECT_EQ(Root(kProofSlotB), nullptr);
    EXPECT_EQ(Root(kProofSlotC), nullptr);
    EXPECT_EQ(engine.proof.pnCurrentRoot, nullptr);
    EXPECT_EQ(engine.proof.pnPool->freeCount, 100000);
    EXPECT_EQ(engine.proof.pnRootMoveCount, engine.proof.board->mMoveCount);
    EXPECT_EQ(engine.proof.pnRootSide, engine.proof.board->mSide);

    // The next call starts a new tree on the new position.
    TakeDiagnostics();
    ProveWin(engine.proof, 100000, move);
    ASSERT_NE(Root(kProofSlotB), nullptr);
    EXPECT_EQ(Root(kProofSlotB)->hash, engine.proof.board->mHash);
}

TEST_F(ProofSearchTest, ReleasedNodesAreReused) {
    Position(kContested, 1);
    CreateProofPool(engine.proof, 3000, 64);
    ProveWinResult(engine.proof, 100000);
    const int32_t taken = engine.proof.pnPool->taken;
    ASSERT_GT(taken, 1000);
    ReleaseTree(engine.proof, kProofSlotB);
    EXPECT_EQ(Root(kProofSlotB), nullptr);
    EXPECT_EQ(engine.proof.pnPool->freeCount, 3000);

    // The same search again runs entirely on recycled nodes.
    SearchResult r = ProveWinResult(engine.proof, 100000);
    EXPECT_EQ(engine.proof.pnPool->taken, taken);
    EXPECT_LE(engine.proof.pnPool->freeCount, 50);
    EXPECT_FALSE(r.proof == 0 || r.disproof == 0);
}

TEST_F(ProofSearchTest, PoolTooSmallForAnExpansionLeavesTheNodeUnexpanded) {
    Position(kManyMoves, 1);
    const size_t listed = Generated(GenMode::kProofAttacker).size();
    ASSERT_GT(listed, 60u);
    CreateProofPool(engine.proof, 60, 4);
    SearchResult r = ProveWinResult(engine.proof, 100000);
    PnNode* root = Root(kProofSlotB);
    EXPECT_FALSE(root->expanded);
    EXPECT_EQ(root->childCount, 0);
    EXPECT_EQ(engine.proof.pnPool->freeCount, 60);
    EXPECT_EQ(r.proof, root->pn);
    EXPECT_EQ(r.move, root->bestMove);
    EXPECT_FALSE(ExpandAndEvaluate(engine.proof, root));
    EXPECT_EQ(engine.proof.pnPool->freeCount, 60);

    // With room for the children the same root expands.
    CreateProofPool(engine.proof, static_cast<int32_t>(listed), 4);
    ProveWinResult(engine.proof, 0);
    root = Root(kProofSlotB);
    ASSERT_TRUE(ExpandAndEvaluate(engine.proof, root));
    EXPECT_TRUE(root->expanded);
    EXPECT_EQ(static_cast<size_t>(root->childCount), listed);
    EXPECT_EQ(engine.proof.pnPool->freeCount, 0);
    for (int i = 0; i < root->childCount; ++i) EXPECT_TRUE(root->children[i]->evaluated);
    ReleaseProofTrees(engine.proof);
    EXPECT_EQ(engine.proof.pnPool->freeCount, static_cast<int32_t>(listed));
}

}  // namespace
