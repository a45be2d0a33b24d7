#!/usr/bin/python3
"""Trees from distance tables: lorvane-cli against the tree programs users
take today (Debian quicktree, phylip, r-cran-ape, r-cran-phangorn).

    bench/trees.py [--cli build/app/lorvane-cli] [--work DIR] [--skip-anchors]
                   [--only nj2000,upgma2000,nj10000,upgma10000,support200,boottree200]

Workloads (tables made by bench/maketable.py along a random tree, written
as the simple computation writes them, "%5.3f"):
  nj2000, upgma2000    option 3 on a 2,000-strain table; anchors quicktree,
                       ape nj (its tree compared split by split), PHYLIP
                       neighbor
  nj10000, upgma10000  option 3 on a 10,000-strain table (no anchor: the
                       anchors take many minutes there)
  support200           option 3 on a 200-strain table with 1,000 replicate
                       tables: support, consensus and the replicate trees;
                       anchors PHYLIP neighbor (M 1000) + consense, and R
                       (ape nj x 1000, prop.clades, phangorn consensus)
  boottree200          option 4 on 200 strains x 1,000 bands (simulated
                       along a random tree), Dice, 1,000 replicates, NJ;
                       anchor PHYLIP neighbor (M 1000) + consense on the
                       replicate file of option 2 (same seed; option 2 and
                       the PHYLIP conversion are not timed)
Each run's wall time and peak resident memory (of the process and its
children) are printed; conversions for the anchors are done beforehand.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(command, cwd, stdin=None):
    """Wall seconds, peak resident megabytes and processor seconds (user +
    system) of a command, by /usr/bin/time."""
    proc = subprocess.run(["/usr/bin/time", "-f", "TIMED %e %M %U %S"] + command, cwd=cwd,
                          input=stdin.encode() if stdin else None, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    err = proc.stderr.decode(errors="replace")
    if proc.returncode != 0:
        sys.exit(f"{command} failed: {err[-500:]}")
    line = [l for l in err.splitlines() if l.startswith("TIMED ")][-1].split()
    return float(line[1]), int(line[2]) / 1024, float(line[3]) + float(line[4])


def cli(args, work, option, answers):
    cmd = os.path.join(work, f"run{option}.cmd")
    with open(cmd, "w") as f:
        f.write("bench\n%d\n%d\n" % (option, len(answers)) + "".join(a + "\n" for a in answers))
    env_home = os.path.join(work, "xdg")
    os.environ["XDG_DATA_HOME"] = env_home
    return timed([args.cli, cmd], work)


def table(work, n, replicates=0):
    path = os.path.join(work, f"t{n}.matD")
    if not os.path.exists(path) or (replicates and not os.path.exists(path + ".reps")):
        extra = ["--replicates", str(replicates)] if replicates else []
        subprocess.run([sys.executable, os.path.join(HERE, "maketable.py"), str(n), path, "--seed", str(n)] + extra,
                       check=True)
    return path


def bands(work, n, m, seed=7):
    """A band file of n strains and m bands: presence flipped along the
    edges of a random tree, each edge flipping a band with a chance of its
    length."""
    path = os.path.join(work, f"b{n}x{m}.txt")
    if os.path.exists(path):
        return path
    import numpy as np
    rng = np.random.default_rng(seed)
    rows = [rng.random(m) < 0.5]
    leaves = [0]
    while len(leaves) < n:
        k = int(rng.integers(len(leaves)))
        parent = rows[leaves[k]]
        for slot in (k, len(leaves)):
            child = parent ^ (rng.random(m) < rng.exponential(0.03))
            rows.append(child)
            if slot == k:
                leaves[k] = len(rows) - 1
            else:
                leaves.append(len(rows) - 1)
    with open(path, "w", newline="") as f:
        f.write(f"{n} {m}\r\n")
        for i, leaf in enumerate(leaves):
            f.write(f"{'B' + str(i + 1):<10}" + "".join("1" if b else "0" for b in rows[leaf]) + "\r\n")
    return path


def phylip(args, work, path):
    """The PHYLIP square form of a table file, by option 5 (not timed)."""
    if not os.path.exists(path + ".phy"):
        cli(args, work, 5, [path, "1"])
    return path + ".phy"


def report(name, wall, peak, cpu, base=None):
    """One line: wall time, peak memory, processor time; against lorvane's
    run (base: its wall and processor times) as ratios of each."""
    ratio = f"  ({wall / base[0]:.1f}x lorvane wall, {cpu / max(base[1], 0.01):.1f}x cpu)" if base else ""
    print(f"{name:<44} {wall:8.2f} s {peak:8.0f} MB {cpu:8.2f} s cpu{ratio}", flush=True)


def runphylip(program, folder, infile, answers):
    for f in ("outfile", "outtree"):
        if os.path.exists(os.path.join(folder, f)):
            os.remove(os.path.join(folder, f))
    shutil.copy(infile, os.path.join(folder, "infile" if program == "neighbor" else "intree"))
    return timed(["phylip", program], folder, stdin=answers)


def phylipchain(args, work, reps, base):
    """PHYLIP neighbor (M 1000) then consense on a file of 1,000 tables."""
    folder = os.path.join(work, "phylip")
    os.makedirs(folder, exist_ok=True)
    square = phylip(args, work, reps)
    nb = runphylip("neighbor", folder, square, "M\n1000\n7\nY\n")
    shutil.copy(os.path.join(folder, "outtree"), os.path.join(folder, "trees"))
    cs = runphylip("consense", folder, os.path.join(folder, "trees"), "Y\n")
    report("PHYLIP neighbor M 1000 + consense", nb[0] + cs[0], max(nb[1], cs[1]), nb[2] + cs[2], base=base)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default="build/app/lorvane-cli")
    ap.add_argument("--work", default="build/bench-trees")
    ap.add_argument("--skip-anchors", action="store_true")
    ap.add_argument("--only", default="nj2000,upgma2000,nj10000,upgma10000,support200,boottree200")
    args = ap.parse_args()
    args.cli = os.path.abspath(args.cli)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    only = args.only.split(",")
    anchors = not args.skip_anchors

    for n in (2000, 10000):
        for method, number in (("nj", "1"), ("upgma", "2")):
            if f"{method}{n}" not in only:
                continue
            path = table(work, n)
            wall, peak, cpu = cli(args, work, 3, [path, number, "", ""])
            report(f"lorvane option 3, {method.upper()}, {n} strains", wall, peak, cpu)
            base = (wall, cpu)
            if not anchors or n > 2000:
                continue
            tree = os.path.join(work, f"{method}{n}.nwk")
            shutil.copy(path + ".nwk", tree)
            check = subprocess.run(["Rscript", os.path.join(HERE, "ape-check.R"), path, tree, method],
                                   capture_output=True, text=True)
            print(f"  R {'ape nj' if method == 'nj' else 'phangorn upgma'}: {check.stdout.strip()}", flush=True)
            square = phylip(args, work, path)
            if method == "nj":
                qt = timed(["quicktree", "-in", "m", square], work)
                report(f"quicktree, {n} strains", *qt, base=base)
            folder = os.path.join(work, "phylip")
            os.makedirs(folder, exist_ok=True)
            nb = runphylip("neighbor", folder, square, "Y\n" if method == "nj" else "N\nY\n")
            report(f"PHYLIP neighbor ({method.upper()}), {n} strains", *nb, base=base)

    if "support200" in only:
        path = table(work, 200, replicates=1000)
        reps = path + ".reps"
        wall, peak, cpu = cli(args, work, 3, [path, "1", reps, "1"])
        report("lorvane option 3, NJ, 200 strains, 1,000 replicates", wall, peak, cpu)
        base = (wall, cpu)
        if anchors:
            phylipchain(args, work, reps, base)
            r = timed(["Rscript", os.path.join(HERE, "ape-support.R"), path, reps], work)
            report("R: read, ape nj x 1000, prop.clades, consensus", *r, base=base)

    if "boottree200" in only:
        path = bands(work, 200, 1000)
        os.environ["LORVANE_SEED"] = "2026"
        wall, peak, cpu = cli(args, work, 4, [path, "6", "", "2", "", "1000", "1"])
        report("lorvane option 4, NJ, 200 x 1,000 bands, 1,000 replicates", wall, peak, cpu)
        base = (wall, cpu)
        if anchors:
            reps = path + ".matD"
            for old in (reps, path + ".matDJC", reps + ".phy"):
                if os.path.exists(old):
                    os.remove(old)
            cli(args, work, 2, [path, "6", "", "2", "", "1000"])
            phylipchain(args, work, reps, base)
        del os.environ["LORVANE_SEED"]


if __name__ == "__main__":
    main()
