#!/usr/bin/python3
"""Principal coordinates and the Mantel test against R's anchors.

    bench/ordination.py [--bench build/bench/ordination_bench] [--work DIR]
                        [--sizes 2000,5000] [--repeat 2] [--skip-anchors]
                        [--reuse-anchors] [--blas-threads 1] [--vegan-permutations 999]
                        [--cli build/app/lorvane-cli]

Generates two tables per size deterministically: Dice distances of strains
in 12 groups on 300 bands (about 30 % present, 12 % of bands flipped per
strain; not Euclidean), and plane distances of points scattered round one
centre per group, its strains in another order. Times:
  lorvane  PCoA, 3 axes                   ordination_bench pcoa TABLE 3
           (the Dice table, then the plane one, which is Euclidean)
  R        cmdscale(d, k = 3, eig = TRUE) and ape pcoa(d)
  lorvane  Mantel, Pearson, 999 permutations, 2 threads
  R        vegan mantel(d, g, permutations = 999)
  lorvane-cli  the same through the program's verbs (options 6 and 7):
           pcoa TABLE and mantel --seed 15 --threads 2 DICE PLANE, on the
           tables as PHYLIP square files, when --cli names the program
lorvane's times are the wall time of the whole program (reading the text
tables included) and its own computation time; R's are system.time of the
call alone, the reading of the table left out. Each lorvane run is repeated
--repeat times, the best kept; R runs once (--reuse-anchors takes R's
results of an earlier run from the work folder). Both sides run with
OPENBLAS_NUM_THREADS=--blas-threads (1 by default: on a shared machine two
OpenBLAS threads that wait for each other's processor make R's and
lorvane's eigen solvers several times slower, and the times erratic).
--vegan-permutations runs vegan with fewer permutations on large tables;
its time is then scaled to 999 (the permutations are nearly all of it).
Ratios are of computation
times (R's call against lorvane's computation) and of lorvane's whole
program. Then checks the results:
eigenvalues within a relative 1e-6 of cmdscale's, coordinates equal up to
the sign of each axis within 1e-6, Mantel r within 1e-9 of vegan's.
"""
import argparse
import os
import subprocess
import sys
import time

import numpy as np

SEED = 15


def generate(n, work):
    dice = os.path.join(work, f"dice{n}.txt")
    plane = os.path.join(work, f"plane{n}.txt")
    if os.path.exists(dice) and os.path.exists(plane):
        return dice, plane
    rng = np.random.default_rng(SEED)
    ancestors = rng.random((12, 300)) < 0.3
    group = rng.integers(0, 12, n)
    x = (ancestors[group] ^ (rng.random((n, 300)) < 0.12)).astype(np.float64)
    shared = x @ x.T
    count = x.sum(1)
    d = 1 - 2 * shared / (count[:, None] + count[None, :])
    np.fill_diagonal(d, 0)
    centres = rng.random((12, 2)) * 10
    points = centres[group] + rng.normal(0, 1.5, (n, 2))
    g = np.sqrt(((points[:, None, :] - points[None, :, :]) ** 2).sum(-1))
    order = rng.permutation(n)
    with open(dice, "w") as f:
        for i in range(n):
            f.write(f"G{i + 1} " + " ".join("%.17g" % v for v in d[i]) + "\n")
    with open(plane, "w") as f:
        for i in order:
            f.write(f"G{i + 1} " + " ".join("%.17g" % g[i, j] for j in order) + "\n")
    return dice, plane


def phylip(path):
    """The table as a PHYLIP square file (the count line first), for lorvane-cli."""
    out = path[:-4] + ".phy"
    if not os.path.exists(out):
        with open(path) as f:
            lines = f.readlines()
        with open(out, "w") as f:
            f.write(f"{len(lines)}\n")
            f.writelines(lines)
    return out


def csvcolumns(path, first):
    """The numeric columns from `first` on of a CSV output (after its header)."""
    return np.loadtxt(path, delimiter=",", skiprows=1, dtype=str)[:, first:].astype(float)


def run(command, repeat):
    best = None
    for _ in range(repeat):
        start = time.perf_counter()
        out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
        wall = time.perf_counter() - start
        if best is None or wall < best[0]:
            best = (wall, out)
    fields = {}
    for line in best[1].splitlines():
        key, *values = line.split()
        fields.setdefault(key, []).append(values)
    return best[0], fields


R_SCRIPT = r"""
args <- commandArgs(TRUE)
read <- function(path) {
  first <- strsplit(readLines(path, n = 1), " ")[[1]]
  t <- read.table(path, colClasses = c("character", rep("numeric", length(first) - 1)))
  d <- as.matrix(t[, -1]); rownames(d) <- colnames(d) <- t[, 1]; d
}
d <- read(args[1]); g <- read(args[2]); out <- args[3]
g <- g[rownames(d), rownames(d)]
t1 <- system.time(c3 <- cmdscale(d, k = 3, eig = TRUE))[["elapsed"]]
t2 <- system.time(p <- ape::pcoa(d))[["elapsed"]]
perms <- as.integer(args[4])
t3 <- system.time(m <- vegan::mantel(as.dist(d), as.dist(g), permutations = perms))[["elapsed"]] * 999 / perms
writeLines(c(sprintf("cmdscale %.3f", t1), sprintf("pcoa %.3f", t2), sprintf("mantel %.3f", t3),
             paste("eig", paste(sprintf("%.17g", c3$eig[1:3]), collapse = " ")),
             sprintf("r %.17g", m$statistic), sprintf("p %.17g", m$signif)), out)
write.table(c3$points, paste0(out, ".points"), col.names = FALSE, quote = FALSE)
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bench", default="build/bench/ordination_bench")
    parser.add_argument("--work", default="/tmp/lorvane-ordination-bench")
    parser.add_argument("--sizes", default="2000,5000")
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--skip-anchors", action="store_true")
    parser.add_argument("--reuse-anchors", action="store_true")
    parser.add_argument("--blas-threads", default="1")
    parser.add_argument("--vegan-permutations", type=int, default=999)
    parser.add_argument("--cli", default="build/app/lorvane-cli")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    os.environ["OPENBLAS_NUM_THREADS"] = args.blas_threads
    failed = False
    for n in [int(s) for s in args.sizes.split(",")]:
        dice, plane = generate(n, args.work)
        coords = os.path.join(args.work, f"coords{n}.txt")
        pwall, pcoa = run([args.bench, "pcoa", dice, "3", "--coordinates", coords], args.repeat)
        ewall, euclid = run([args.bench, "pcoa", plane, "3"], args.repeat)
        mwall, mantel = run([args.bench, "mantel", dice, plane, "999", "2", str(SEED)], args.repeat)
        print(f"n = {n}: lorvane PCoA {pwall:.3f} s wall ({float(pcoa['compute'][0][0]):.3f} s computing), "
              f"{pcoa['negatives'][0][0]} negative eigenvalues")
        print(f"n = {n}: lorvane PCoA of the plane table {ewall:.3f} s wall "
              f"({float(euclid['compute'][0][0]):.3f} s computing), {euclid['negatives'][0][0]} negative eigenvalues")
        print(f"n = {n}: lorvane Mantel {mwall:.3f} s wall ({float(mantel['compute'][0][0]):.3f} s computing), "
              f"r = {mantel['r'][0][0]}, p = {mantel['p'][0][0]}")
        if os.path.exists(args.cli):
            # The verbs write their reports into the per-user data folder: the work folder's here.
            os.environ["XDG_DATA_HOME"] = args.work
            dphy, pphy = phylip(dice), phylip(plane)
            cpwall, _ = run([args.cli, "pcoa", "--quiet", dphy], args.repeat)
            cmwall, _ = run([args.cli, "mantel", "--quiet", "--seed", str(SEED), "--threads", "2", dphy, pphy],
                            args.repeat)
            eig = csvcolumns(dphy + ".eig.csv", 1)
            bencheig = np.array([float(a[1]) for a in pcoa["axis"]])
            cli_erel = np.max(np.abs(eig[:, 0] - bencheig) / np.abs(bencheig))
            cli_cdiff = np.max(np.abs(csvcolumns(dphy + ".pcoa.csv", 1) - np.loadtxt(coords, usecols=(1, 2, 3))))
            with open(dphy + ".mantel.csv") as f:
                cli_r = float(f.read().splitlines()[1].split(",")[0])
            cli_rdiff = abs(cli_r - float(mantel["r"][0][0]))
            same = cli_erel <= 1e-12 and cli_cdiff <= 1e-12 and cli_rdiff <= 1e-12
            failed |= not same
            print(f"n = {n}: lorvane-cli pcoa {cpwall:.3f} s, mantel {cmwall:.3f} s (whole program); "
                  f"shares {', '.join('%.4f' % v for v in eig[:, 1])}; against ordination_bench: eigenvalues "
                  f"{cli_erel:.1e}, coordinates {cli_cdiff:.1e}, r {cli_rdiff:.1e}: {'same' if same else 'DIFFER'}")
        if args.skip_anchors:
            continue
        script = os.path.join(args.work, "anchor.R")
        with open(script, "w") as f:
            f.write(R_SCRIPT)
        result = os.path.join(args.work, f"r{n}.txt")
        if not (args.reuse_anchors and os.path.exists(result)):
            subprocess.run(["Rscript", script, dice, plane, result, str(args.vegan_permutations)], check=True)
        anchor = {}
        for line in open(result):
            key, *values = line.split()
            anchor[key] = [float(v) for v in values]
        cmd, ape, veg = anchor["cmdscale"][0], anchor["pcoa"][0], anchor["mantel"][0]
        print(f"n = {n}: R cmdscale {cmd:.3f} s, ape pcoa {ape:.3f} s, vegan mantel {veg:.3f} s "
              f"(r = {anchor['r'][0]!r}, p = {anchor['p'][0]})")
        pcompute, mcompute = float(pcoa["compute"][0][0]), float(mantel["compute"][0][0])
        print(f"n = {n}: ratios of computation times: PCoA {cmd / pcompute:.1f}x cmdscale, "
              f"{ape / pcompute:.1f}x pcoa; Mantel {veg / mcompute:.1f}x vegan")
        print(f"n = {n}: ratios to lorvane's whole program (reading the text included): PCoA {cmd / pwall:.1f}x "
              f"cmdscale, {ape / pwall:.1f}x pcoa; Mantel {veg / mwall:.1f}x vegan")
        if os.path.exists(args.cli):
            print(f"n = {n}: ratios to lorvane-cli (options 6 and 7, whole program): PCoA {cmd / cpwall:.1f}x "
                  f"cmdscale, {ape / cpwall:.1f}x pcoa; Mantel {veg / cmwall:.1f}x vegan")
        eig = np.array([float(a[1]) for a in pcoa["axis"]])
        erel = np.max(np.abs(eig - anchor["eig"]) / np.abs(anchor["eig"]))
        ours = np.loadtxt(coords, usecols=(1, 2, 3))
        theirs = np.loadtxt(result + ".points", usecols=(1, 2, 3))
        theirs = theirs * np.sign(theirs[np.abs(theirs).argmax(0), range(3)])
        cdiff = np.max(np.abs(ours - theirs))
        rdiff = abs(float(mantel["r"][0][0]) - anchor["r"][0])
        ok = erel <= 1e-6 and cdiff <= 1e-6 and rdiff <= 1e-9
        failed |= not ok
        print(f"n = {n}: eigenvalues relative difference {erel:.2e}, coordinates {cdiff:.2e}, "
              f"Mantel r {rdiff:.2e}: {'agree' if ok else 'DIFFER'}")
        sys.stdout.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
