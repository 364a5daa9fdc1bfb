#!/usr/bin/env python3
"""Old against new in one run: builds two revisions of the engine and prints
their `make bench` and `make benchmark` figures side by side, each the median of
several runs taken in turn, so that both see the same machine load.

usage: compare.py [--runs N] [--filter REGEX] [--quick] [--classic] OLD [NEW]

OLD and NEW are git revisions; NEW defaults to the working tree (uncommitted
changes included). Both builds run the working tree's bench/ sources, so that
they time the same benchmarks. Builds are kept under build-compare/ and reused.
--quick runs only the 20 x 20 freestyle benchmark and the board benchmarks.
--classic runs the benchmark searches with `set_classic 1`, the search every
revision shares (revisions without the setting ignore it), so that their speed
compares like for like.
"""
import argparse
import json
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.path.join(ROOT, "build-compare")
JOBS = "2"

# (label, commands before the benchmark)
BOARDS = [("20x20 rule 0", []), ("15x15 rule 0", ["start 15"]), ("20x20 rule 1", ["info rule 1"])]


def git(*args):
    return subprocess.run(["git", "-C", ROOT] + list(args), capture_output=True, text=True,
                          check=True).stdout.strip()


def build(revision):
    """Builds a revision (or the working tree for None); returns its build dir."""
    if revision is None:
        source, name = ROOT, "work"
    else:
        sha = git("rev-parse", "--short=12", revision + "^{commit}")
        source, name = os.path.join(CACHE, "src-" + sha), sha
        if not os.path.isdir(source):
            os.makedirs(source)
            archive = subprocess.run(["git", "-C", ROOT, "archive", sha], capture_output=True,
                                     check=True).stdout
            subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
        # The same benchmarks on both sides.
        shutil.rmtree(os.path.join(source, "bench"), ignore_errors=True)
        shutil.copytree(os.path.join(ROOT, "bench"), os.path.join(source, "bench"))
    out = os.path.join(CACHE, "build-" + name)
    try:
        compile_tree(source, out, revision is not None)
    except subprocess.CalledProcessError:
        if revision is None:
            raise
        # An interface the benchmarks call changed in between: the revision's
        # own benchmarks then, which time the same operations under old names.
        print("compare: the working tree's bench/ does not build at %s; its own is used"
              % revision, file=sys.stderr)
        shutil.rmtree(os.path.join(source, "bench"), ignore_errors=True)
        archive = subprocess.run(["git", "-C", ROOT, "archive", sha, "bench"],
                                 capture_output=True, check=True).stdout
        subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
        compile_tree(source, out, False)
    return out


def compile_tree(source, out, quiet):
    errors = subprocess.DEVNULL if quiet else None
    subprocess.run(["cmake", "-S", source, "-B", out, "-DCMAKE_BUILD_TYPE=Release",
                    "-DTAMLO_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", out, "-j", JOBS, "--target", "pbrain-tamlo",
                    "tamlo_bench"], check=True, stdout=subprocess.DEVNULL, stderr=errors)


def bench(out, pattern):
    text = subprocess.run([os.path.join(out, "bench", "tamlo_bench"), "--benchmark_format=json",
                           "--benchmark_filter=" + pattern], capture_output=True, text=True,
                          check=True).stdout
    figures = {}
    for b in json.loads(text)["benchmarks"]:
        name = b["name"] + (" " + b["label"] if b.get("label") else "")
        unit = b.get("time_unit", "ns")
        figures["%s (cpu %s)" % (name, unit)] = b["cpu_time"]
    return figures


def cpu_seconds():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def benchmark(out, label, before):
    commands = before + ["tcbenchmark positions", "end"]
    start = cpu_seconds()
    text = subprocess.run([os.path.join(out, "pbrain-tamlo")], input="\n".join(commands) + "\n",
                          capture_output=True, text=True, cwd=ROOT, check=True).stdout
    cpu = cpu_seconds() - start
    figures = {}
    for key, value in re.findall(r"key='(\w+)' value='(\d+)'", text):
        figures["benchmark %s %s" % (label, key)] = int(value)
    # Moves_PerSec reads the wall clock; on a shared machine the process's own
    # CPU time is the steadier measure (start-up included, the same for both).
    searched = sum(1 for line in text.splitlines() if line.startswith("positions/"))
    failed = text.count("TestAB failed")
    per = figures.get("benchmark %s MovesPerSearch_depth10" % label)
    if per and cpu > 0:
        figures["benchmark %s moves per CPU second" % label] = per * (searched - failed) / cpu
    return figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--filter", default="Pair|ThreatList|GenerateMoves|IterativeDeepening")
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--classic", action="store_true")
    parser.add_argument("old")
    parser.add_argument("new", nargs="?")
    args = parser.parse_args()
    boards = BOARDS[:1] if args.quick else BOARDS
    if args.quick:
        args.filter = "Pair|ThreatList"
    if args.classic:
        boards = [(label, ["set_classic 1"] + before) for label, before in boards]

    builds = [("old", build(args.old)), ("new", build(args.new))]
    samples = {"old": {}, "new": {}}
    for run in range(args.runs):
        # Alternate which side goes first, so neither always meets a warmer machine.
        order = builds if run % 2 == 0 else builds[::-1]
        for side, out in order:
            figures = bench(out, args.filter)
            for label, before in boards:
                figures.update(benchmark(out, label, before))
            for k, v in figures.items():
                samples[side].setdefault(k, []).append(v)
        print("run %d of %d done" % (run + 1, args.runs), file=sys.stderr)

    names = list(samples["new"]) + [k for k in samples["old"] if k not in samples["new"]]
    width = max(len(n) for n in names)
    print("%-*s %14s %14s %9s" % (width, "median of %d" % args.runs, args.old,
                                  args.new or "working tree", "new/old"))
    for n in names:
        old = statistics.median(samples["old"][n]) if n in samples["old"] else None
        new = statistics.median(samples["new"][n]) if n in samples["new"] else None
        ratio = "%9.2f" % (new / old) if old and new else "%9s" % "-"
        fmt = lambda v: "%14s" % "-" if v is None else "%14.1f" % v
        print("%-*s %s %s %s" % (width, n, fmt(old), fmt(new), ratio))
    return 0


if __name__ == "__main__":
    sys.exit(main())
