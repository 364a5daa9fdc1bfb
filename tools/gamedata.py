#!/usr/bin/env python3
"""Self-play games for tuning the learned evaluation.

Each game starts from a few random stones near the centre, then both sides are
the engine at a fixed node budget, with random candidate moves (the engine's
own set_randommoveprobability) in the first plies. One line per game:

    RESULT x,y x,y ...

RESULT is 1 when the first stone's side won, 0 when it lost, 0.5 for a full
board; the moves alternate from the first stone. Several processes split the
games between them (--jobs). The tuner (tamlo-tune) replays the games.

usage: gamedata.py ENGINE OUT GAMES [--nodes N] [--jobs J] [--seed S]
                   [--size 20] [--random-plies K] [--random-percent P]
"""
import argparse
import multiprocessing
import random
import subprocess

from selfplay import Brain, five  # the same engine driver and five test


def opening(rng, size):
    # Two to four stones within three cells of the centre, alternating sides.
    c = size // 2
    stones = []
    for _ in range(rng.randint(2, 4)):
        while True:
            cell = (c + rng.randint(-3, 3), c + rng.randint(-3, 3))
            if cell not in stones:
                stones.append(cell)
                break
    return stones


def play(brain, rng, args):
    brain.send("START %d" % args.size)
    if brain.reply() != "OK":
        raise RuntimeError("START refused")
    brain.send("INFO timeout_turn 30000")
    brain.send("INFO max_node %d" % args.nodes)
    moves = opening(rng, args.size)
    stones = {m: i % 2 for i, m in enumerate(moves)}
    first = len(moves)
    while True:
        # The side to move is the engine: its stones are owner 1.
        brain.send("set_randommoveprobability %d" % (
            args.random_percent if len(moves) < first + args.random_plies else 0))
        brain.reply()
        brain.send("BOARD")
        me = len(moves) % 2
        for i, (x, y) in enumerate(moves):
            brain.send("%d,%d,%d" % (x, y, 1 if i % 2 == me else 2))
        brain.send("DONE")
        x, y = map(int, brain.reply().split(","))
        if (x, y) in stones:
            raise RuntimeError("occupied %d,%d" % (x, y))
        moves.append((x, y))
        stones[(x, y)] = me
        if five(stones, args.size, x, y):
            return ("1" if me == 0 else "0"), moves
        if len(moves) == args.size * args.size:
            return "0.5", moves


def worker(job):
    args, index, count = job
    rng = random.Random(args.seed * 1000 + index)
    brain = Brain(args.engine, stderr=subprocess.DEVNULL)
    lines = []
    for _ in range(count):
        result, moves = play(brain, rng, args)
        lines.append(result + " " + " ".join("%d,%d" % m for m in moves))
    brain.close()
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("engine")
    ap.add_argument("out")
    ap.add_argument("games", type=int)
    ap.add_argument("--nodes", type=int, default=20000)
    ap.add_argument("--jobs", type=int, default=multiprocessing.cpu_count())
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--size", type=int, default=20)
    ap.add_argument("--random-plies", type=int, default=4)
    ap.add_argument("--random-percent", type=int, default=30)
    args = ap.parse_args()
    # Small batches, so that the file grows as the games come in.
    batch = 10
    jobs = [(args, i, min(batch, args.games - i * batch))
            for i in range((args.games + batch - 1) // batch)]
    done = 0
    with open(args.out, "w") as f, multiprocessing.Pool(args.jobs) as pool:
        for lines in pool.imap_unordered(worker, jobs):
            f.write("\n".join(lines) + "\n")
            f.flush()
            done += len(lines)
            print("%d games" % done, flush=True)


if __name__ == "__main__":
    main()
