#include "pns/treedump.h"

#include <cstdint>
#include <vector>

namespace {

// A node's identity in every record: its address.
uint64_t NodeId(const PnNode* node) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(node));
}

void WriteNode(std::ostream& out, const PnNode* node, const PnNode* highlight) {
    const char* kSize = "h\t 300.0\nw\t 300.0\n";
    out << "node\n[\n";
    out << "id " << NodeId(node) << "\n";
    out << "label \"" << node->pn << "/" << node->dn << "\"\n";
    out << "graphics\n  [\n";
    if (node == highlight) out << kSize;
    if (node->parentCount == 0) {
        out << "    type    \"triangle\"\n    fill    \"#FF0000\"\n" << kSize;
    } else if (node->side == 1) {
        out << "    type    \"ellipse\"\n    fill    \"#FFCC00\"\n";
    } else {
        out << "    type    \"rectangle\"\n    fill    \"#99CCFF\"\n";
    }
    out << (node->Marked() ? "    outline \"#FF0000\"\n" : "    outline \"#000000\"\n");
    out << "  ]\n";
    out << "LabelGraphics\n  [\n";
    out << "    text    \"" << node->pn << "/" << node->dn << "\"\n";
    out << "    fontSize    12\n    fontName \"Dialog\"\n    anchor \"c\"\n";
    out << "  ]\n]\n";
}

void WriteEdge(std::ostream& out, const PnNode* parent, const PnNode* child) {
    out << "edge\n[\n";
    out << "source\t" << NodeId(parent) << "\n";
    out << "target\t" << NodeId(child) << "\n";
    out << "label\t\"\"\n";
    out << "  graphics\n  [\n    fill\t\"#000000\"\n\ttargetArrow\t\"standard\"\n  ]\n]\n";
}

}  // namespace

void DumpTreeGml(std::ostream& out, PnNode* node, PnNode* highlight, int mark) {
    // Depth-first like the recursive walk (the node, then each child, then each
    // parent), with the pending links of every open node on an explicit stack.
    struct Frame {
        PnNode* node;
        int next;  // children first, then parents
    };
    std::vector<Frame> stack;
    const uint16_t stamp = static_cast<uint16_t>(mark);
    auto enter = [&](PnNode* n) {
        if (n->dumpMark == stamp) return;
        n->dumpMark = stamp;
        if (mark == 1) WriteNode(out, n, highlight);
        stack.push_back({n, 0});
    };
    enter(node);
    while (!stack.empty()) {
        Frame& top = stack.back();
        PnNode* n = top.node;
        const int i = top.next++;
        if (i < n->childCount) {
            if (mark == 2) WriteEdge(out, n, n->children[i]);
            enter(n->children[i]);  // may invalidate top
        } else if (i < n->childCount + n->parentCount) {
            enter(n->Parent(i - n->childCount));
        } else {
            stack.pop_back();
        }
    }
}

void DumpGraphGml(std::ostream& out, PnNode* node, PnNode* highlight) {
    out << "graph\n[\ndirected 1\n";
    DumpTreeGml(out, node, highlight, 1);
    DumpTreeGml(out, node, highlight, 2);
    out << "]\n";
}

std::string PnNodeText(const PnNode& node) {
    return "PN = " + std::to_string(node.pn) + " DN = " + std::to_string(node.dn) +
           " Value = " + std::to_string(node.value);
}
