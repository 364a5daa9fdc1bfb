#pragma once

#include <ostream>
#include <string>

#include "pns/pnnode.h"

// Writes the GML records of the graph that contains node: node records with
// mark 1, edge records with mark 2. A node is written once per mark (its
// dumpMark remembers the last walk), so a whole dump is a walk with mark 1 and
// then one with mark 2. highlight is drawn large.
void DumpTreeGml(std::ostream& out, PnNode* node, PnNode* highlight, int mark);

// Both walks inside a GML graph list.
void DumpGraphGml(std::ostream& out, PnNode* node, PnNode* highlight);

// "PN = p DN = d Value = v", without an end of line.
std::string PnNodeText(const PnNode& node);
