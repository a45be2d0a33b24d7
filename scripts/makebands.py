#!/usr/bin/python3
"""A band-pattern file of simulated strains: N strains of B bands grown
along a random tree (each child flips a few bands of its parent), so that
the strains fall into nested groups.

    scripts/makebands.py N B OUT [--seed S]
"""
import argparse
import random


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("n", type=int)
    ap.add_argument("bands", type=int)
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=12)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    root = [1 if rng.random() < 0.3 else 0 for _ in range(a.bands)]
    patterns = [root]
    # Split a random pattern into two children until there are n leaves.
    while len(patterns) < a.n:
        parent = patterns.pop(rng.randrange(len(patterns)))
        for _ in range(2):
            rate = rng.uniform(0.005, 0.06)
            patterns.append([b ^ (rng.random() < rate) for b in parent])
    with open(a.out, "w", newline="") as f:
        f.write(f"{a.n} {a.bands}\r\n")
        for i, p in enumerate(patterns):
            f.write(f"{'S' + str(i + 1):<10}" + "".join(map(str, p)) + "\r\n")


if __name__ == "__main__":
    main()
