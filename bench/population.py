#!/usr/bin/python3
"""AMOVA with 999 permutations against ade4's amova + randtest.amova, and
the Mantel test with 999 permutations against vegan's mantel, in one run.

    bench/population.py [--cli build/app/lorvane-cli] [--work DIR]
                        [--sizes 500,2000] [--ade4-sizes 500,2000]
                        [--ade4-permutations 999] [--bands 1000]
                        [--mantel-size 2000] [--threads 2]

Makes band data deterministically: N strains of --bands bands in 4 regions
of 5 populations (N / 20 strains each), band frequencies drawn round each
region's and population's own. For each size times, in one run:
  lorvane-cli amova --groups G --levels Region,Pop --permutations 999 --seed 1
      the whole program (reading the band file, δ², the table, the
      permutations, the files), wall time, best of 2;
  R (ade4)   amova(samples, dist(x), structures) and
             randtest.amova(a, nrepet = 999), system.time of the two calls
             (the reading of the data left out), for the sizes of --ade4-sizes;
             above 500 strains randtest runs --ade4-permutations times and
             its time is scaled to 999;
and checks that both give the same sums of squares and components (relative
1e-9). Then the Mantel test of two tables of --mantel-size strains (those of
bench/ordination.py): lorvane-cli mantel --permutations 999 (the whole
program, reading the tables included, best of 2) against vegan's
mantel(permutations = 999) (system.time of the call alone); r must agree
within 1e-9. Prints Markdown tables for bench/RESULTS.md.
"""
import argparse
import os
import subprocess
import sys
import time

import numpy as np

R_SCRIPT = r"""
suppressMessages(library(ade4))
args <- commandArgs(trailingOnly = TRUE)
x <- as.matrix(read.table(args[1], row.names = 1, colClasses = c("character", rep("integer", as.integer(args[3])))))
g <- read.csv(args[2], colClasses = "character")
pops <- unique(g$Pop)
samples <- as.data.frame(sapply(pops, function(p) as.integer(g$Pop == p)))
structures <- data.frame(Region = factor(g$Region[match(pops, g$Pop)]))
d <- dist(x)
nrepet <- as.integer(args[4])
t1 <- system.time(a <- amova(samples, d, structures))[["elapsed"]]
t2 <- system.time(r <- randtest(a, nrepet = nrepet))[["elapsed"]]
cat(sprintf("seconds %.3f\n", t1 + t2 * 999 / nrepet))
cat(sprintf("ss %.17g\n", a$results$`Sum Sq`))
cat(sprintf("sigma %.17g\n", a$componentsofcovariance$Sigma))
cat(sprintf("p %.17g\n", rev(r$pvalue)))
"""


def generate(n, bands, work):
    stem = os.path.join(work, f"amova{n}")
    rng = np.random.default_rng(n)
    base = rng.uniform(0.2, 0.8, bands)
    rows, pops, regions = [], [], []
    for r in range(4):
        rf = np.clip(base + rng.normal(0, 0.05, bands), 0.02, 0.98)
        for p in range(5):
            pf = np.clip(rf + rng.normal(0, 0.05, bands), 0.02, 0.98)
            rows.append(rng.random((n // 20, bands)) < pf)
            pops += [f"P{r}{p}"] * (n // 20)
            regions += [f"R{r}"] * (n // 20)
    x = np.vstack(rows).astype(int)
    names = [f"S{i:05d}" for i in range(len(x))]
    with open(stem + ".txt", "w") as f:
        f.write(f"{len(x)} {bands}\n")
        for name, row in zip(names, x):
            f.write(f"{name:<10}" + "".join(map(str, row)) + "\n")
    with open(stem + ".groups.csv", "w") as f:
        f.write("name,Region,Pop\n" + "".join(f"{a},{b},{c}\n" for a, b, c in zip(names, regions, pops)))
    with open(stem + ".r.txt", "w") as f:
        for name, row in zip(names, x):
            f.write(name + " " + " ".join(map(str, row)) + "\n")
    return stem


def lorvane(cli, stem, threads):
    best = None
    for _ in range(2):
        start = time.perf_counter()
        subprocess.run([cli, "amova", "--groups", stem + ".groups.csv", "--levels", "Region,Pop", "--permutations",
                        "999", "--seed", "1", "--threads", str(threads), "--quiet", stem + ".txt"], check=True)
        seconds = time.perf_counter() - start
        best = seconds if best is None else min(best, seconds)
    with open(stem + ".txt.amova.csv") as f:
        rows = [line.strip().split(",") for line in f][1:]
    return best, rows


def ade4(stem, bands, work, nrepet):
    script = os.path.join(work, "amova.R")
    with open(script, "w") as f:
        f.write(R_SCRIPT)
    out = subprocess.run(["Rscript", script, stem + ".r.txt", stem + ".groups.csv", str(bands), str(nrepet)], check=True,
                         capture_output=True, text=True).stdout
    values = {}
    for line in out.splitlines():
        key, value = line.split()
        values.setdefault(key, []).append(float(value))
    return values


def main():
    a = argparse.ArgumentParser()
    a.add_argument("--cli", default="build/app/lorvane-cli")
    a.add_argument("--work", default="/tmp/lorvane-bench-population")
    a.add_argument("--sizes", default="500,2000")
    a.add_argument("--ade4-sizes", default="500,2000")
    a.add_argument("--ade4-permutations", type=int, default=999)
    a.add_argument("--mantel-size", type=int, default=2000)
    a.add_argument("--bands", type=int, default=1000)
    a.add_argument("--threads", type=int, default=2)
    o = a.parse_args()
    os.makedirs(o.work, exist_ok=True)
    anchors = {int(s) for s in o.ade4_sizes.split(",") if s}
    print("| strains | bands | lorvane-cli amova (whole program) | ade4 amova + randtest.amova | ade4 / lorvane | p (Region, Pop, within) |")
    print("|---:|---:|---:|---:|---:|---|")
    for n in (int(s) for s in o.sizes.split(",")):
        stem = generate(n, o.bands, o.work)
        ours, rows = lorvane(o.cli, stem, o.threads)
        p = ", ".join(r[7] for r in rows[:3])
        if n not in anchors:
            print(f"| {n:,} | {o.bands:,} | {ours:.3f} s | | | {p} |")
            continue
        r = ade4(stem, o.bands, o.work, 999 if n <= 500 else o.ade4_permutations)
        ss = [float(row[2]) for row in rows]
        sigma = [float(row[4]) for row in rows]
        for mine, theirs in zip(ss + sigma, r["ss"] + r["sigma"]):
            if abs(mine - theirs) > 1e-9 * max(abs(theirs), 1e-300):
                sys.exit(f"{n} strains: {mine} against ade4's {theirs}")
        seconds = r["seconds"][0]
        print(f"| {n:,} | {o.bands:,} | {ours:.3f} s | {seconds:.1f} s | {seconds / ours:.0f} | {p} (ade4: "
              + ", ".join("%g" % v for v in r["p"]) + ") |")
    if o.mantel_size > 0:
        mantel(o)


MANTEL_R = r"""
args <- commandArgs(TRUE)
read <- function(path) {
  first <- strsplit(readLines(path, n = 1), " ")[[1]]
  t <- read.table(path, colClasses = c("character", rep("numeric", length(first) - 1)))
  m <- as.matrix(t[, -1]); rownames(m) <- colnames(m) <- t[, 1]; m
}
d <- read(args[1]); g <- read(args[2]); g <- g[rownames(d), rownames(d)]
t <- system.time(m <- vegan::mantel(as.dist(d), as.dist(g), permutations = 999))[["elapsed"]]
cat(sprintf("seconds %.3f\nr %.17g\np %.17g\n", t, m$statistic, m$signif))
"""


def mantel(o):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import ordination
    dice, plane = ordination.generate(o.mantel_size, o.work)
    dphy, pphy = ordination.phylip(dice), ordination.phylip(plane)
    best = None
    for _ in range(2):
        start = time.perf_counter()
        subprocess.run([o.cli, "mantel", "--quiet", "--seed", "15", "--threads", str(o.threads), "--permutations",
                        "999", dphy, pphy], check=True)
        seconds = time.perf_counter() - start
        best = seconds if best is None else min(best, seconds)
    with open(dphy + ".mantel.csv") as f:
        ours = f.read().splitlines()[1].split(",")
    script = os.path.join(o.work, "mantel.R")
    with open(script, "w") as f:
        f.write(MANTEL_R)
    out = subprocess.run(["Rscript", script, dice, plane], check=True, capture_output=True, text=True).stdout
    vegan = {line.split()[0]: float(line.split()[1]) for line in out.splitlines()}
    if abs(float(ours[0]) - vegan["r"]) > 1e-9:
        sys.exit(f"Mantel r {ours[0]} against vegan's {vegan['r']}")
    print()
    print("| strains | lorvane-cli mantel (whole program) | vegan mantel (the call) | vegan / lorvane | r | p (vegan) |")
    print("|---:|---:|---:|---:|---|---|")
    print(f"| {o.mantel_size:,} | {best:.3f} s | {vegan['seconds']:.1f} s | {vegan['seconds'] / best:.0f} | {ours[0]} "
          f"| {ours[1]} ({vegan['p']:g}) |")


if __name__ == "__main__":
    main()
