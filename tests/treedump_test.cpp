#include "pns/treedump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "search/score.h"

namespace {

std::string Id(const PnNode& node) {
    return std::to_string(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&node)));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_TRUE(text.empty() || text.back() == '\n');
    return lines;
}

void Link(PnNode& parent, PnNode& child) {
    parent.AppendChild(&child);
    child.AddParent(&parent);
}

// The record of a node as the format defines it; shape is the two lines of
// type and fill (and, for a root, the size lines after them).
std::vector<std::string> NodeRecord(const PnNode& node, bool highlight,
                                    std::vector<std::string> shape, bool red) {
    const std::string numbers = std::to_string(node.pn) + "/" + std::to_string(node.dn);
    std::vector<std::string> lines = {
        "node", "[", "id " + Id(node), "label \"" + numbers + "\"", "graphics", "  ["};
    if (highlight) lines.insert(lines.end(), {"h\t 300.0", "w\t 300.0"});
    lines.insert(lines.end(), shape.begin(), shape.end());
    lines.push_back(red ? "    outline \"#FF0000\"" : "    outline \"#000000\"");
    lines.insert(lines.end(),
                 {"  ]", "LabelGraphics", "  [", "    text    \"" + numbers + "\"",
                  "    fontSize    12", "    fontName \"Dialog\"", "    anchor \"c\"", "  ]", "]"});
    return lines;
}

const std::vector<std::string> kTriangle = {"    type    \"triangle\"", "    fill    \"#FF0000\"",
                                            "h\t 300.0", "w\t 300.0"};
const std::vector<std::string> kEllipse = {"    type    \"ellipse\"", "    fill    \"#FFCC00\""};
const std::vector<std::string> kRectangle = {"    type    \"rectangle\"",
                                             "    fill    \"#99CCFF\""};

std::vector<std::string> EdgeRecord(const PnNode& parent, const PnNode& child) {
    return {
        "edge",       "[",   "source\t" + Id(parent), "target\t" + Id(child),        "label\t\"\"",
        "  graphics", "  [", "    fill\t\"#000000\"", "\ttargetArrow\t\"standard\"", "  ]",
        "]"};
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> records) {
    std::vector<std::string> all;
    for (const auto& r : records) all.insert(all.end(), r.begin(), r.end());
    return all;
}

std::string Walk(PnNode& start, PnNode* highlight, int mark) {
    std::ostringstream out;
    DumpTreeGml(out, &start, highlight, mark);
    return out.str();
}

// Counts lines and throws the text away.
class LineCounter : public std::streambuf {
  public:
    uint64_t lines = 0;

  protected:
    int overflow(int c) override {
        if (c == '\n') ++lines;
        return c == traits_type::eof() ? 0 : c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) lines += s[i] == '\n';
        return n;
    }
};

// root (OR) -> a (AND, marked for deletion) -> c (OR); root -> b (AND).
class TreeDumpTest : public ::testing::Test {
  protected:
    PnNode root, a, b, c;

    void SetUp() override {
        Link(root, a);
        Link(a, c);
        Link(root, b);
        a.side = b.side = 0;
        root.pn = 0;
        root.dn = kInfinity;
        a.pn = kInfinity;
        a.dn = 0;
        b.pn = 0;
        b.dn = kInfinity;
        c.pn = 12;
        c.dn = 7;
        a.nextInList = &a;  // any non-null link marks it
    }
    void TearDown() override { a.nextInList = nullptr; }
};

TEST(TreeDumpSingleNodeTest, HighlightedRootHasItsSizeLinesTwice) {
    PnNode root;
    root.pn = 0;
    root.dn = kInfinity;
    const std::vector<std::string> expected = {
        "node",
        "[",
        "id " + Id(root),
        "label \"0/4294967295\"",
        "graphics",
        "  [",
        "h\t 300.0",
        "w\t 300.0",
        "    type    \"triangle\"",
        "    fill    \"#FF0000\"",
        "h\t 300.0",
        "w\t 300.0",
        "    outline \"#000000\"",
        "  ]",
        "LabelGraphics",
        "  [",
        "    text    \"0/4294967295\"",
        "    fontSize    12",
        "    fontName \"Dialog\"",
        "    anchor \"c\"",
        "  ]",
        "]",
    };
    EXPECT_EQ(Lines(Walk(root, &root, 1)), expected);
    EXPECT_EQ(root.dumpMark, 1);
    // A lone node has no edges.
    EXPECT_EQ(Walk(root, &root, 2), "");
}

TEST_F(TreeDumpTest, NodeRecordsInWalkOrderWithShapesAndOutlines) {
    const std::vector<std::string> expected =
        Join({NodeRecord(root, false, kTriangle, false), NodeRecord(a, false, kRectangle, true),
              NodeRecord(c, true, kEllipse, false), NodeRecord(b, false, kRectangle, false)});
    EXPECT_EQ(Lines(Walk(root, &c, 1)), expected);
}

TEST_F(TreeDumpTest, EdgeRecordsFollowTheSameWalk) {
    // Solved nodes keep their children, and their edges are written.
    const std::vector<std::string> expected =
        Join({EdgeRecord(root, a), EdgeRecord(a, c), EdgeRecord(root, b)});
    EXPECT_EQ(Lines(Walk(root, &c, 2)), expected);
}

TEST_F(TreeDumpTest, SecondWalkWithTheSameMarkWritesNothing) {
    EXPECT_NE(Walk(root, nullptr, 1), "");
    EXPECT_EQ(Walk(root, nullptr, 1), "");
    EXPECT_NE(Walk(root, nullptr, 2), "");
    EXPECT_EQ(Walk(root, nullptr, 2), "");
    for (PnNode* n : {&root, &a, &b, &c}) EXPECT_EQ(n->dumpMark, 2);
}

TEST_F(TreeDumpTest, WalkFromAnInnerNodeClimbsToItsParents) {
    const std::vector<std::string> expected =
        Join({NodeRecord(c, false, kEllipse, false), NodeRecord(a, false, kRectangle, true),
              NodeRecord(root, false, kTriangle, false), NodeRecord(b, false, kRectangle, false)});
    EXPECT_EQ(Lines(Walk(c, nullptr, 1)), expected);
}

TEST(TreeDumpGraphTest, NodeWithTwoParentsIsWrittenOnceWithBothEdges) {
    // root -> x, y; x -> d; y -> d. The walk reaches y through d's parents.
    PnNode root, x, y, d;
    Link(root, x);
    Link(root, y);
    Link(x, d);
    Link(y, d);
    x.side = y.side = 0;
    EXPECT_EQ(
        Lines(Walk(root, nullptr, 1)),
        Join({NodeRecord(root, false, kTriangle, false), NodeRecord(x, false, kRectangle, false),
              NodeRecord(d, false, kEllipse, false), NodeRecord(y, false, kRectangle, false)}));
    EXPECT_EQ(Lines(Walk(root, nullptr, 2)),
              Join({EdgeRecord(root, x), EdgeRecord(x, d), EdgeRecord(y, d), EdgeRecord(root, y)}));
}

TEST(TreeDumpGraphTest, DeepTreeIsWalkedWithoutRecursion) {
    constexpr int kDepth = 100000;
    std::vector<std::unique_ptr<PnNode>> chain;
    chain.push_back(std::make_unique<PnNode>());
    for (int i = 1; i < kDepth; ++i) {
        chain.push_back(std::make_unique<PnNode>());
        Link(*chain[i - 1], *chain[i]);
        chain[i]->side = static_cast<uint8_t>(i % 2 == 0);
    }
    LineCounter counter;
    std::ostream out(&counter);
    DumpTreeGml(out, chain.back().get(), nullptr, 1);  // from the deepest leaf up
    const uint64_t nodeLines = counter.lines;
    EXPECT_EQ(nodeLines, uint64_t{18} * kDepth + 2);  // the root has two more
    DumpTreeGml(out, chain.front().get(), nullptr, 2);
    EXPECT_EQ(counter.lines - nodeLines, uint64_t{11} * (kDepth - 1));
}

TEST(TreeDumpGraphTest, GraphListHoldsBothWalks) {
    PnNode root, kid;
    Link(root, kid);
    std::ostringstream out;
    DumpGraphGml(out, &root, &kid);
    std::vector<std::string> lines = Lines(out.str());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"graph", "[", "directed 1"}));
    EXPECT_EQ(lines.back(), "]");
    std::vector<std::string> body(lines.begin() + 3, lines.end() - 1);
    EXPECT_EQ(body, Join({NodeRecord(root, false, kTriangle, false),
                          NodeRecord(kid, true, kEllipse, false), EdgeRecord(root, kid)}));
}

TEST(PnNodeTextTest, ShowsUnsignedNumbersAndASignedValue) {
    PnNode node;
    node.pn = kInfinity;
    node.dn = 0;
    node.value = ScoreLoss;
    EXPECT_EQ(PnNodeText(node), "PN = 4294967295 DN = 0 Value = -2147483646");
    node.pn = 3;
    node.dn = 17;
    node.value = 0;
    EXPECT_EQ(PnNodeText(node), "PN = 3 DN = 17 Value = 0");
}

}  // namespace
