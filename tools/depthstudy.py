#!/usr/bin/env python3
"""How deep the search gets on a fixed budget, and what each iteration costs.

usage: python3 tools/depthstudy.py ENGINE [--nodes 450000] [--turn MS] [--info KEY=VALUE ...] [--verbose]
       python3 tools/depthstudy.py ENGINE --depth 12 [--info thread_num=2 ...]

Runs the engine on thirteen stored positions (whole or cut after their first N stones), each
with `INFO max_node NODES` and a 60 s turn, reads the iteration lines that `INFO show_detail 1`
prints, and reports per position the completed depth, the growth of the cumulative node count
per iteration from depth 7 on (geometric mean), and the share of the budget spent in the
iteration that did not finish. With --turn (and --nodes 0) the turn's time is the budget
instead: the share is then that of the move's nodes. A position the search decides (a proven score) is marked and
left out of the averages. --info passes settings first (for example param_<name>=<value>).

With --depth D there is no node budget: each position is searched to depth D (INFO max_depth)
and the report is the time the search took to complete that depth, and its speed in stones
per second over all threads, per position and in total (for measuring threads: run it with
--info thread_num=1 and =2 on an otherwise idle machine).
"""
import argparse
import math
import os
import re
import subprocess
import sys

POSITIONS = [
    "15x15_g02_m010", "15x15_g03_m010", "15x15_g02_m016:10", "15x15_g02_m019:16",
    "15x15_g02_m027:16", "15x15_g02_m035:20", "15x15_g02_m035:24", "20x20_g02_m012",
    "20x20_g05_m012", "20x20_g02_m020:16", "20x20_g05_m028:16", "20x20_g02_m036:24",
    "20x20_g05_m036:18",
]
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# "ev +M14" / "ev -M9": a proven win or loss.
ITERATION = re.compile(r"^MESSAGE depth (\d+)-\d+ ev ([-+]?M?\d+) n (\d+) .* tm (\d+)")


def Session(name, nodes, infos, turn=60000):
    stem, _, cut = name.partition(":")
    with open(os.path.join(ROOT, "positions", "selfplay_" + stem + ".txt")) as f:
        lines = f.read().split("\n")
    size = int(re.search(r"(\d+)x", lines[0]).group(1))
    moves = [l.strip() for l in lines[1:] if l.strip()]
    if cut:
        moves = moves[: int(cut)]
    cmds = ["START %d" % size, "INFO max_node %d" % nodes, "INFO timeout_turn %d" % turn,
            "INFO timeout_match 0", "INFO show_detail 1"]
    cmds += ["INFO %s %s" % tuple(kv.split("=", 1)) for kv in infos]
    cmds.append("BOARD")
    n = len(moves)
    for i, m in enumerate(moves):
        x, y = m.split(",")[:2]
        # The file's last stone is the opponent's: the engine answers for the side to move.
        cmds.append("%s,%s,%d" % (x, y, 2 if (n - 1 - i) % 2 == 0 else 1))
    cmds += ["DONE", "END"]
    return "\r\n".join(cmds) + "\r\n"


TOTAL = re.compile(r"^DEBUG AB: (\d+)")


def Study(engine, name, nodes, infos, turn):
    engine = os.path.abspath(engine)
    out = subprocess.run([engine], input=Session(name, nodes, infos, turn), capture_output=True,
                         text=True, timeout=120, cwd=os.path.dirname(os.path.abspath(engine))).stdout
    its, total = [], 0
    for line in out.split("\n"):
        t = TOTAL.match(line.strip())
        if t:
            total = int(t.group(1))
        m = ITERATION.match(line.strip())
        if m:
            depth, score, nodes, ms = m.groups()
            its.append((int(depth), "M" in score, int(nodes), int(ms)))
    return its, total


def TimeToDepth(args):
    total_ms, total_nodes = 0, 0
    for name in POSITIONS:
        its, _ = Study(args.engine, name, 0, ["max_depth=%d" % args.depth] + args.info, args.turn)
        # With threads the main search may go on from a helper's deeper iteration.
        reached = [it for it in its if it[0] >= args.depth]
        if not reached:
            last = its[-1][0] if its else 0
            print("%-20s stopped at depth %d (decided)" % (name, last))
            continue
        _, _, nodes, ms = reached[0]
        total_ms += ms
        total_nodes += nodes
        print("%-20s depth %d in %6d ms  %8.0f stones/s" % (name, args.depth, ms,
                                                             1000.0 * nodes / max(ms, 1)))
    print("total: %d ms, %.0f stones/s" % (total_ms, 1000.0 * total_nodes / max(total_ms, 1)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("engine")
    ap.add_argument("--nodes", type=int, default=450000)
    ap.add_argument("--turn", type=int, default=60000)
    ap.add_argument("--info", action="append", default=[])
    ap.add_argument("--verbose", action="store_true")
    ap.add_argument("--depth", type=int, default=0)
    args = ap.parse_args()
    if args.depth:
        return TimeToDepth(args)
    depths, growths, unfinished = [], [], []
    for name in POSITIONS:
        its, total = Study(args.engine, name, args.nodes, args.info, args.turn)
        if not its:
            print("%-20s no iteration completed" % name)
            continue
        depth, decided, done, _ = its[-1]
        deep = [it for it in its if it[0] >= 7]
        ratios = [b[2] / a[2] for a, b in zip(deep, deep[1:]) if a[2] > 0]
        growth = math.exp(sum(map(math.log, ratios)) / len(ratios)) if ratios else float("nan")
        waste = max(0.0, 1.0 - done / total) if total else 0.0
        print("%-20s depth %2d  growth %5.2f  unfinished %4.1f %%%s" %
              (name, depth, growth, 100 * waste, "  (decided)" if decided else ""))
        if args.verbose:
            print("    " + " ".join("%d:%d" % (d, n) for d, _, n, _ in its))
        if not decided:
            depths.append(depth)
            if ratios:
                growths.append(growth)
            unfinished.append(waste)
    if depths:
        print("undecided %d: depth %.2f, growth %.2f, unfinished %.1f %%" %
              (len(depths), sum(depths) / len(depths),
               math.exp(sum(map(math.log, growths)) / len(growths)) if growths else float("nan"),
               100 * sum(unfinished) / len(unfinished)))


if __name__ == "__main__":
    sys.exit(main())
