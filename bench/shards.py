#!/usr/bin/env python3
"""Runs in shards against the run on one machine.

    bench/shards.py [--cli build/app/lorvane-cli] [--work DIR] [--pairs 7]
                    [--strains 200] [--skip-identity] [--skip-cost]

Identity: the merged shards against the single run with the same seed, byte
for byte (cmp), on simulated band patterns (scripts/makebands.py):
  bootstrap       Dice, 100 replicates, 200 strains x 1,000 bands (.matD, .matDJC)
                  in 1, 3 and 7 shards
  bootstrap-tree  NJ, Dice, 1,000 replicates, the same bands (.nwk, .cons.nwk,
                  .reps.nwk) in 1, 3 and 7 shards
  mantel          999 permutations, the Dice tables of two such band files,
                  in 4 shards

Cost: bootstrap-tree as above (of --strains strains), the single run (every processor; and one
thread) against its 8 shards (one thread each, one after the other, as jobs
of a cluster would run them) and their merge, in turn, --pairs times. The
processor time (user + system, from wait4) of each; the medians of the
ratios pair by pair.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TREE = ["bootstrap-tree", "--index", "dice", "--sites", "6", "--replicates", "1000", "--seed", "2026"]
BOOT = ["bootstrap", "--index", "dice", "--sites", "6", "--replicates", "100", "--seed", "2026"]
MANTEL = ["mantel", "--permutations", "999", "--seed", "2026"]


def run(cli, args, env):
    """The processor time of one lorvane-cli run (user + system, to the
    microsecond, as wait4 gives it), in seconds."""
    proc = subprocess.Popen([cli] + args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    stderr = proc.stderr.read()
    _, status, usage = os.wait4(proc.pid, 0)
    proc.stderr.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("failed: lorvane-cli " + " ".join(args) + "\n" + stderr)
    return usage.ru_utime + usage.ru_stime


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def shards(cli, verb_args, inputs, count, out, env, threads=None):
    """The shards of a run into `out`, then their merge: the processor time of each."""
    extra = ["--threads", str(threads)] if threads else []
    times = [run(cli, verb_args + extra + ["--quiet", "--shard", f"{i}/{count}", "--output-dir", out] + inputs, env)
             for i in range(1, count + 1)]
    name = os.path.basename(inputs[0])
    paths = [os.path.join(out, f"{name}.shard-{i}-of-{count}.{verb_args[0]}") for i in range(1, count + 1)]
    merge = run(cli, ["merge", "--quiet"] + paths, env)
    return times, merge


def identity(cli, work, env, bands, tables):
    checks = [(BOOT, [bands], [1, 3, 7], [".matD", ".matDJC"]),
              (TREE, [bands], [1, 3, 7], [".nwk", ".cons.nwk", ".reps.nwk"]),
              (MANTEL, tables, [4], [".mantel.csv"])]
    for verb_args, inputs, counts, extensions in checks:
        single = fresh(os.path.join(work, "single"))
        run(cli, verb_args + ["--quiet", "--output-dir", single] + inputs, env)
        name = os.path.basename(inputs[0])
        for count in counts:
            out = fresh(os.path.join(work, f"shards{count}"))
            shards(cli, verb_args, inputs, count, out, env)
            same = all(subprocess.run(["cmp", os.path.join(single, name + e), os.path.join(out, name + e)]).returncode == 0
                       for e in extensions)
            print(f"{verb_args[0]:15s} {count} shards: {' '.join(extensions)} "
                  f"{'byte-identical to the single run' if same else 'DIFFERENT'}", flush=True)
            if not same:
                sys.exit(1)


def cost(cli, work, env, bands, pairs):
    rows = []
    for p in range(pairs + 1):  # the first round warms up and is not counted
        # Each writes into an empty folder: replacing another's files would
        # add the cost of freeing them to its time.
        whole = run(cli, TREE + ["--quiet", "--output-dir", fresh(os.path.join(work, "cost-single")), bands], env)
        one = run(cli, TREE + ["--quiet", "--threads", "1", "--output-dir", fresh(os.path.join(work, "cost-one")),
                               bands], env)
        times, merge = shards(cli, TREE, [bands], 8, fresh(os.path.join(work, "cost-shards")), env, threads=1)
        if p > 0:
            rows.append((whole, one, sum(times), merge))
            print(f"pair {p}: single {whole:.3f} s, single on one thread {one:.3f} s, "
                  f"8 shards {sum(times):.3f} s ({' '.join(f'{t:.3f}' for t in times)}), merge {merge:.4f} s", flush=True)
    med = lambda xs: statistics.median(xs)
    print(f"medians: single {med([r[0] for r in rows]):.3f} s, one thread {med([r[1] for r in rows]):.3f} s, "
          f"8 shards {med([r[2] for r in rows]):.3f} s, merge {med([r[3] for r in rows]):.3f} s")
    print(f"8 shards / single: {med([r[2] / r[0] for r in rows]):.3f}; "
          f"/ single on one thread: {med([r[2] / r[1] for r in rows]):.3f}")
    print(f"merge / single: {100 * med([r[3] / r[0] for r in rows]):.2f} %; "
          f"/ single on one thread: {100 * med([r[3] / r[1] for r in rows]):.2f} %")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/app/lorvane-cli")
    ap.add_argument("--work", default="build/bench-shards")
    ap.add_argument("--pairs", type=int, default=7)
    ap.add_argument("--strains", type=int, default=200, help="of the cost's band file")
    ap.add_argument("--skip-identity", action="store_true")
    ap.add_argument("--skip-cost", action="store_true")
    args = ap.parse_args()
    cli = os.path.abspath(args.cli)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "xdg"), OPENBLAS_NUM_THREADS="1")
    env.pop("LORVANE_SEED", None)
    bands = os.path.join(work, "s200.txt")
    other = os.path.join(work, "t200.txt")
    for path, seed in ((bands, "4"), (other, "5")):
        if not os.path.exists(path):
            subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "makebands.py"), "200", "1000", path,
                            "--seed", seed], check=True, stdout=subprocess.DEVNULL)
    tables = []
    for path in (bands, other):
        run(cli, ["distance", "--index", "dice", "--sites", "6", "--quiet", "--output-dir", work, path], env)
        tables.append(path + ".matD")
    if not args.skip_identity:
        identity(cli, work, env, bands, tables)
    if not args.skip_cost:
        costbands = bands
        if args.strains != 200:
            costbands = os.path.join(work, f"s{args.strains}.txt")
            if not os.path.exists(costbands):
                subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "makebands.py"), str(args.strains),
                                "1000", costbands, "--seed", "4"], check=True, stdout=subprocess.DEVNULL)
        cost(cli, work, env, costbands, args.pairs)


if __name__ == "__main__":
    main()
