#!/usr/bin/env python3
"""Checks that a build searches exactly as recorded: for each search the engine
offers (the classic alpha-beta one and the default PV search), the self-test
count, the benchmark's moves per search, and the moves and depth lines of two
fixed self-play games. Speed work must leave all of it unchanged; a change of
behaviour on purpose records the new figures (--record) in the same commit.

The games' node counts are left out: the table is sized from the memory the
process already uses, which varies by a page or two from run to run, and over
a game that moves a few stores.

usage: searchcheck.py [--record] [BUILD_DIR]     (default: build)
Runs from the repository root; the record is tools/searchcheck.txt.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from selfplay import five  # noqa: E402  the same five test as the self-play tool

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RECORD = os.path.join(ROOT, "tools", "searchcheck.txt")

# (board size, rule, maximum depth, moves): small enough to run in seconds, deep
# enough to reach the table, the forcing search and the six-cell shapes.
GAMES = [(15, 0, 8, 40), (20, 1, 8, 40)]
# Each search the engine offers, by the commands that choose it.
SEARCHES = [("classic", ["set_classic 1"]), ("pv", [])]


def run(binary, commands):
    out = subprocess.run([binary], input="\n".join(commands + ["end"]) + "\n",
                         capture_output=True, text=True, cwd=ROOT, check=True).stdout
    return out.splitlines()


class Brain:
    def __init__(self, binary):
        self.p = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True, bufsize=1, cwd=ROOT)

    def ask(self, line):
        """Sends a command; returns its reply and the depth lines before it."""
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()
        depths = []
        while True:
            text = self.p.stdout.readline()
            if not text:
                raise RuntimeError("engine ended after " + line)
            text = text.strip()
            if text.startswith("DEBUG"):
                # Node and speed lines depend on the clock; depth lines do not.
                if "dep=" in text:
                    depths.append(text[len("DEBUG "):])
            elif text and not text.startswith("MESSAGE"):
                return text, depths

    def tell(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()

    def close(self):
        self.tell("end")
        self.p.wait(timeout=30)


def game(binary, setup, size, rule, depth, moves):
    lines = ["game %dx%d rule %d depth %d" % (size, size, rule, depth)]
    brains = [Brain(binary), Brain(binary)]
    for b in brains:
        assert b.ask("start %d" % size)[0] == "OK"
        b.tell("info rule %d" % rule)
        b.tell("info timeout_match 0")
        b.tell("info timeout_turn 100000000")
        # A table of a fixed size: one sized from the memory the process uses
        # would differ between builds and place its entries elsewhere.
        b.tell("info hash_size 32768")
        assert b.ask("set_maxdepth %d" % depth)[0] == "OK"
        for line in setup:
            assert b.ask(line)[0] == "OK"
    stones = {}
    reply, depths = brains[0].ask("begin")
    for n in range(moves):
        lines.append("%d %s | %s" % (n + 1, reply, " ".join(depths)))
        x, y = map(int, reply.split(","))
        stones[(x, y)] = n % 2
        if five(stones, size, x, y) or n + 1 == moves:
            break
        reply, depths = brains[(n + 1) % 2].ask("turn %d,%d" % (x, y))
    for b in brains:
        b.close()
    return lines


def figures(build):
    binary = os.path.join(build, "pbrain-tamlo")
    if not os.path.isabs(binary):
        binary = os.path.join(ROOT, binary)
    lines = []
    for name, setup in SEARCHES:
        lines.append("search " + name)
        lines.append("test: " + run(binary, setup + ["test"])[-1])
        for line in run(binary, setup + ["tcbenchmark positions"]):
            if "MovesPerSearch" in line:
                lines.append("benchmark: " + line)
        for g in GAMES:
            lines += game(binary, setup, *g)
    return lines


def main(argv):
    record = "--record" in argv
    args = [a for a in argv if a != "--record"]
    build = args[0] if args else "build"
    got = figures(build)
    if record:
        with open(RECORD, "w") as f:
            f.write("\n".join(got) + "\n")
        print("recorded %d lines in %s" % (len(got), os.path.relpath(RECORD, ROOT)))
        return 0
    with open(RECORD) as f:
        want = f.read().splitlines()
    if got == want:
        print("identical search: " + ", ".join(l for l in got if l.startswith("test:")))
        return 0
    print("SEARCH CHANGED")
    for i in range(max(len(got), len(want))):
        a = want[i] if i < len(want) else "(none)"
        b = got[i] if i < len(got) else "(none)"
        if a != b:
            print("  recorded: " + a)
            print("  now:      " + b)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
