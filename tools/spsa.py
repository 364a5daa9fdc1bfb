#!/usr/bin/env python3
"""SPSA tuning of the PV search's parameters by games of the engine against itself.

usage: spsa.py ENGINE --params NAME[:C],... --log FILE [--iterations N] [--games G]
               [--nodes N | --tc MATCH/TURN] [--concurrency C] [--c-fraction F] [--a A]
               [--seed S] [--openings FILE] [--cli PATH] [--maxmemory BYTES]
       spsa.py --show FILE

Each iteration perturbs every chosen parameter by +-c_k (signs at random), plays G
games (G/2 openings, each with colours swapped) of theta+ against theta- through
c-gomoku-cli, the values sent as `INFO param_<name> <value>`, and moves theta along
the estimated gradient:

  c_k = 1 / (k + 1)^0.101          a_k = a / (k + 1 + A)^0.602,  A = N / 10
  theta_i += c_i * a_k * (score+ - score-) / (2 * c_k * delta_i)

in units of each parameter's step c_i (default: --c-fraction of its range, at least
1; NAME:C gives it). score+ - score- is the points difference per game, in [-1, 1].
With the default a, a_0 = 1: a whole point a game moves a parameter by c_i / 2 at the
first iteration. Defaults, ranges and the start come from the engine's `params`.

The log has one JSON line per iteration (theta after it, the perturbation, the
values played and the result) after a header with the run's settings. A run given a
log that exists continues after its last complete line with the header's settings.
"""
import argparse
import json
import math
import os
import random
import re
import shlex
import signal
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_CLI = os.path.join(ROOT, "..", "shared", "tools", "bin", "c-gomoku-cli")
ALPHA, GAMMA = 0.602, 0.101

PARAM_LINE = re.compile(
    r"^MESSAGE param_(\w+) (-?\d+) \(default (-?\d+), (-?\d+)\.\.(-?\d+)\)")
SCORE_LINE = re.compile(r"^Score of (\S+) vs (\S+): (\d+) - (\d+) - (\d+)")


def die(text):
    print("spsa: " + text, file=sys.stderr)
    sys.exit(2)


def engine_parameters(engine):
    """{name: (default, min, max)} as the engine lists them."""
    out = subprocess.run([engine], input="params\nend\n", capture_output=True, text=True,
                         timeout=60).stdout
    table = {}
    for line in out.splitlines():
        m = PARAM_LINE.match(line)
        if m:
            table[m.group(1)] = tuple(int(m.group(i)) for i in (3, 4, 5))
    if not table:
        die("%s lists no parameters (no `params` command?)" % engine)
    return table


def read_openings(path):
    """Offset-notation openings, one a line; '#' lines are comments."""
    with open(path) as f:
        return [l.strip() for l in f if l.strip() and not l.startswith("#")]


def match_openings(cli):
    """The balanced 20x20 openings built into the match script beside c-gomoku-cli."""
    script = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(cli))), "match")
    try:
        text = open(script).read()
    except OSError:
        die("no --openings and no match script at %s to take them from" % script)
    m = re.search(r'OPENINGS_20 = """\\\n(.*?)"""', text, re.S)
    if not m:
        die("no OPENINGS_20 in %s" % script)
    return [l.strip() for l in m.group(1).splitlines() if l.strip()]


def read_log(path):
    """The header and the complete iteration lines of a log (a torn last line is dropped)."""
    header, rows = None, []
    with open(path) as f:
        for line in f:
            try:
                record = json.loads(line)
            except ValueError:
                break
            if header is None:
                header = record
            else:
                rows.append(record)
    return header, rows


def append(path, record):
    with open(path, "a") as f:
        f.write(json.dumps(record, sort_keys=True) + "\n")
        f.flush()
        os.fsync(f.fileno())


def play(settings, engine, plus, minus, openings, concurrency):
    """Points of theta+ and theta- over the games, and W-L-D from theta+'s side."""
    games = settings["games"]
    with tempfile.TemporaryDirectory(prefix="spsa-") as work:
        opening_file = os.path.join(work, "openings.txt")
        with open(opening_file, "w") as f:
            f.write("\n".join(openings) + "\n")
        each = ["maxmemory=%d" % settings["maxmemory"]]
        if settings["nodes"]:
            # A clock far beyond the node budget's needs: the nodes decide.
            each += ["tc=%s" % (settings["tc"] or "3600/60"), "nodes=%d" % settings["nodes"]]
        else:
            each.append("tc=%s" % settings["tc"])
        argv = [settings["cli"], "-each"] + each
        for name, values in (("plus", plus), ("minus", minus)):
            argv += ["-engine", "name=" + name, "cmd=" + engine]
            argv += ["option.param_%s=%d" % (k, v) for k, v in sorted(values.items())]
        argv += ["-rule", "0", "-boardsize", "20", "-games", str(games), "-repeat",
                 "-concurrency", str(concurrency), "-openings", "file=" + opening_file,
                 "type=offset", "order=sequential"]
        done = subprocess.run(argv, cwd=work, capture_output=True, text=True)
    scores = [m for m in map(SCORE_LINE.match, done.stdout.splitlines()) if m]
    if not scores or sum(int(scores[-1].group(i)) for i in (3, 4, 5)) != games:
        die("c-gomoku-cli did not finish %d games (exit %d):\n%s\n%s" % (
            games, done.returncode, " ".join(shlex.quote(a) for a in argv),
            "\n".join((done.stdout + done.stderr).splitlines()[-10:])))
    w, l, d = (int(scores[-1].group(i)) for i in (3, 4, 5))
    if scores[-1].group(1) != "plus":
        w, l = l, w
    return w, l, d


def clamp_round(value, low, high):
    return max(low, min(high, int(math.floor(value + 0.5))))


def show(rows, names):
    """The path: theta after each iteration and the games so far."""
    print("%5s %6s %9s  %s" % ("iter", "games", "W-L-D", "  ".join("%10s" % n[:10] for n in names)))
    for r in rows:
        print("%5d %6d %9s  %s" % (r["iteration"] + 1, r["games_total"], "-".join(map(str, r["result"])),
                                  "  ".join("%10.2f" % r["theta"][n] for n in names)))


def main():
    usage, _, description = __doc__.partition("\n\nEach iteration")
    ap = argparse.ArgumentParser(prog="spsa.py", usage=usage.partition("usage: ")[2],
                                 description="Each iteration" + description,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("engine", nargs="?", help="the engine binary, e.g. build/pbrain-tamlo")
    ap.add_argument("--params", help="parameters to tune, comma-separated, each NAME or NAME:C")
    ap.add_argument("--log", help="JSON-lines log; an existing one is continued")
    ap.add_argument("--show", metavar="LOG", help="print a log's path and stop")
    ap.add_argument("--iterations", type=int, default=1000, help="N (default 1000)")
    ap.add_argument("--games", type=int, default=4, help="games an iteration, even (default 4)")
    ap.add_argument("--nodes", type=int, default=None,
                    help="node budget a move (default 20000 unless --tc)")
    ap.add_argument("--tc", default=None, help="MATCH/TURN seconds instead, e.g. 10/0.1")
    ap.add_argument("--concurrency", type=int, default=os.cpu_count() or 2,
                    help="games at once (default: one a core)")
    ap.add_argument("--c-fraction", type=float, default=0.05,
                    help="default step c_i as a fraction of the range (default 0.05)")
    ap.add_argument("--a", type=float, default=None, help="learning rate (default (1 + A)^0.602)")
    ap.add_argument("--seed", type=int, default=1, help="perturbations and openings (default 1)")
    ap.add_argument("--openings", default=None,
                    help="offset-notation openings (default: the match script's built-in set)")
    ap.add_argument("--cli", default=DEFAULT_CLI, help="c-gomoku-cli (default %(default)s)")
    ap.add_argument("--maxmemory", type=int, default=64 << 20,
                    help="INFO max_memory of each engine (default 64 MiB)")
    args = ap.parse_args()

    if args.show:
        header, rows = read_log(args.show)
        if header is None:
            die("%s is empty" % args.show)
        show(rows, header["names"])
        return 0
    if not args.engine or not args.log:
        die("ENGINE and --log are needed (see --help)")
    engine = os.path.abspath(args.engine)
    table = engine_parameters(engine)

    header, rows = (read_log(args.log) if os.path.exists(args.log) and os.path.getsize(args.log)
                    else (None, []))
    if header is None:
        if not args.params:
            die("--params is needed for a new log")
        if args.games < 2 or args.games % 2:
            die("--games must be even: each opening is played with both colours")
        names, steps = [], {}
        for item in args.params.split(","):
            name, _, c = item.strip().partition(":")
            if name not in table:
                die("no parameter %r; the engine has: %s" % (name, ", ".join(sorted(table))))
            low, high = table[name][1], table[name][2]
            names.append(name)
            steps[name] = float(c) if c else max(1.0, args.c_fraction * (high - low))
        big_a = 0.1 * args.iterations
        header = {
            "names": names, "c": steps, "A": big_a,
            "a": args.a if args.a is not None else (1 + big_a) ** ALPHA,
            "alpha": ALPHA, "gamma": GAMMA, "iterations": args.iterations,
            "games": args.games, "nodes": None if args.tc and not args.nodes else (args.nodes or 20000),
            "tc": args.tc, "seed": args.seed, "maxmemory": args.maxmemory,
            "cli": os.path.abspath(args.cli),
            "openings": read_openings(args.openings) if args.openings else match_openings(args.cli),
            "start": {n: table[n][0] for n in names},
        }
        append(args.log, header)
        print("spsa: new log %s" % args.log)
    else:
        print("spsa: continuing %s after iteration %d" % (args.log, len(rows)))
    names = header["names"]
    missing = [n for n in names if n not in table]
    if missing:
        die("the engine has no parameter %s" % ", ".join(missing))
    theta = dict(rows[-1]["theta"]) if rows else {n: float(v) for n, v in header["start"].items()}
    total = rows[-1]["games_total"] if rows else 0
    print("spsa: %s; %d games an iteration, %s; a=%.3f A=%.1f c=%s" % (
        ", ".join(names), header["games"],
        "%d nodes a move" % header["nodes"] if header["nodes"] else "tc " + header["tc"],
        header["a"], header["A"], ", ".join("%s:%g" % (n, header["c"][n]) for n in names)), flush=True)

    for k in range(len(rows), header["iterations"]):
        # The same iteration draws the same signs and openings, however often resumed.
        # (A string seed is hashed: neighbouring integer seeds start alike.)
        rng = random.Random("%d:%d" % (header["seed"], k))
        delta = {n: rng.choice((-1, 1)) for n in names}
        pairs, pool = header["games"] // 2, header["openings"]
        openings = (rng.sample(pool, pairs) if pairs <= len(pool)
                    else [rng.choice(pool) for _ in range(pairs)])
        ck = 1.0 / (k + 1) ** header["gamma"]
        ak = header["a"] / (k + 1 + header["A"]) ** header["alpha"]
        plus, minus = {}, {}
        for n in names:
            _, low, high = table[n]
            shift = ck * header["c"][n] * delta[n]
            plus[n] = clamp_round(theta[n] + shift, low, high)
            minus[n] = clamp_round(theta[n] - shift, low, high)
        w, l, d = play(header, engine, plus, minus, openings, args.concurrency)
        difference = (w - l) / header["games"]  # points of theta+ less those of theta-, a game
        for n in names:
            _, low, high = table[n]
            step = header["c"][n] * ak * difference / (2 * ck * delta[n])
            theta[n] = max(float(low), min(float(high), theta[n] + step))
        total += header["games"]
        append(args.log, {"iteration": k, "theta": theta, "delta": delta, "plus": plus,
                          "minus": minus, "result": [w, l, d], "games_total": total})
        print("%5d/%d  games %6d  +%d -%d =%d  %s" % (
            k + 1, header["iterations"], total, w, l, d,
            "  ".join("%s=%.2f" % (n, theta[n]) for n in names)), flush=True)

    print("spsa: %d games; theta rounded: %s" % (
        total, " ".join("param_%s=%d" % (n, clamp_round(theta[n], table[n][1], table[n][2]))
                        for n in names)))
    return 0


if __name__ == "__main__":
    # Stopped by a signal, the running games go with it (subprocess.run kills
    # c-gomoku-cli on any exception); the log keeps every finished iteration.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    sys.exit(main())
