#!/usr/bin/env python3
"""Plays the engine against itself through the protocol and stores the games,
cut at several move numbers, as move files (the format LOAD and the benchmark
read). Used to fill positions/.

usage: selfplay.py ENGINE OUTDIR SIZE GAMES TURN_MS CUTS...
"""
import random
import subprocess
import sys


class Brain:
    def __init__(self, path, stderr=None):
        self.p = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=stderr, text=True, bufsize=1)

    def send(self, line):
        self.p.stdin.write(line + "\r\n")
        self.p.stdin.flush()

    def reply(self):
        # Diagnostic lines come first; the reply is the line after the empty one,
        # or the only line.
        while True:
            line = self.p.stdout.readline()
            if not line:
                raise RuntimeError("engine ended")
            line = line.strip()
            if line and not line.startswith(("DEBUG", "MESSAGE")):
                return line

    def close(self):
        self.send("END")
        # Closed input also ends a wrapper script around the engine.
        self.p.stdin.close()
        self.p.wait(timeout=10)


def five(stones, size, x, y):
    me = stones[(x, y)]
    for dx, dy in ((1, 0), (0, 1), (1, 1), (1, -1)):
        n = 1
        for s in (1, -1):
            cx, cy = x + s * dx, y + s * dy
            while stones.get((cx, cy)) == me:
                n += 1
                cx, cy = cx + s * dx, cy + s * dy
        if n >= 5:
            return True
    return False


def play(engine, size, turn_ms, opening):
    a, b = Brain(engine), Brain(engine)
    for brain in (a, b):
        brain.send("START %d" % size)
        assert brain.reply() == "OK"
        brain.send("INFO timeout_turn %d" % turn_ms)
    moves = []
    stones = {}
    # A random opening move for each side gives different games.
    board_lines = []
    for i, (x, y) in enumerate(opening):
        moves.append((x, y))
        stones[(x, y)] = i % 2
    # Side to move gets the position as a board list.
    side = [a, b][len(moves) % 2]
    side.send("BOARD")
    for i, (x, y) in enumerate(moves):
        own = (i % 2) == (len(moves) % 2)
        side.send("%d,%d,%d" % (x, y, 1 if own else 2))
    side.send("DONE")
    last = side.reply()
    other = [a, b][(len(moves) + 1) % 2]
    other.send("BOARD")
    for i, (x, y) in enumerate(moves):
        own = (i % 2) != (len(moves) % 2)
        other.send("%d,%d,%d" % (x, y, 1 if own else 2))
    x, y = map(int, last.split(","))
    moves.append((x, y))
    stones[(x, y)] = (len(moves) - 1) % 2
    other.send("%d,%d,2" % (x, y))
    other.send("DONE")
    turn = other
    while True:
        last = turn.reply()
        x, y = map(int, last.split(","))
        assert (x, y) not in stones, "occupied %s" % last
        moves.append((x, y))
        stones[(x, y)] = (len(moves) - 1) % 2
        if five(stones, size, x, y) or len(moves) == size * size:
            break
        turn = a if turn is b else b
        turn.send("TURN %d,%d" % (x, y))
    a.close()
    b.close()
    return moves


def main():
    engine, outdir, size, games, turn_ms = sys.argv[1:6]
    cuts = [int(c) for c in sys.argv[6:]]
    size, games, turn_ms = int(size), int(games), int(turn_ms)
    rng = random.Random(size * 1000 + games + turn_ms)
    c = size // 2
    for g in range(games):
        opening = [(c + rng.randint(-2, 2), c + rng.randint(-2, 2))]
        while True:
            second = (c + rng.randint(-2, 2), c + rng.randint(-2, 2))
            if second != opening[0]:
                break
        opening.append(second)
        moves = play(engine, size, turn_ms, opening)
        for cut in cuts:
            if cut > len(moves):
                continue
            name = "%s/selfplay_%dx%d_g%02d_m%03d.txt" % (outdir, size, size, g + 1, cut)
            with open(name, "w") as f:
                f.write("Tamlo %dx%d\n" % (size, size))
                for x, y in moves[:cut]:
                    f.write("%d,%d,0\n" % (x + 1, y + 1))
        print("game %d: %d moves" % (g + 1, len(moves)), flush=True)


if __name__ == "__main__":
    main()
