#!/usr/bin/python3
"""A distance table of n strains along a random tree, as the triangle text
table of the simple computation writes it ("%5.3f " values, CR LF lines).

    bench/maketable.py N OUT [--seed S] [--replicates R]

The tree is grown by random splits of a random leaf with random edge
lengths; each distance is the path length plus a little noise, capped
below 1. With --replicates, R tables with fresh noise follow the first one
in OUT.reps (the form of the bootstrap's replicate files).
"""
import argparse

import numpy as np


def tree(n, rng):
    """Parent of every node and the length of the edge above it."""
    parent = [-1]
    length = [0.0]
    leaves = [0]
    while len(leaves) < n:
        k = rng.integers(len(leaves))
        v = leaves[k]
        for _ in range(2):
            parent.append(v)
            length.append(rng.exponential(0.02))
        leaves[k] = len(parent) - 2
        leaves.append(len(parent) - 1)
    return parent, length, leaves


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("n", type=int)
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--replicates", type=int, default=0)
    a = ap.parse_args()
    rng = np.random.default_rng(a.seed)
    base = pathdistances(a.n, rng)
    names = [f"G{i + 1:<9d}" for i in range(a.n)]
    write(a.out, names, [noisy(base, rng)])
    if a.replicates:
        write(a.out + ".reps", names, (noisy(base, rng) for _ in range(a.replicates)))


def pathdistances(n, rng):
    parent, length, leaves = tree(n, rng)
    m = len(parent)
    depth = np.zeros(m)
    for v in range(1, m):
        depth[v] = depth[parent[v]] + length[v]
    children = [[] for _ in range(m)]
    for v in range(1, m):
        children[parent[v]].append(v)
    pos = {leaf: k for k, leaf in enumerate(leaves)}
    d = np.zeros((n, n))
    sets = [None] * m
    order, stack = [], [0]
    while stack:
        v = stack.pop()
        order.append(v)
        stack.extend(children[v])
    for v in reversed(order):
        groups = [sets[c] for c in children[v]]
        if v in pos:
            groups.append(np.array([pos[v]]))
        for x in range(len(groups)):
            for y in range(x):
                a, b = groups[x], groups[y]
                val = depth[leaves][a][:, None] + depth[leaves][b][None, :] - 2 * depth[v]
                d[np.ix_(a, b)] = val
                d[np.ix_(b, a)] = val.T
        sets[v] = np.concatenate(groups) if groups else np.array([], dtype=np.int64)
        for c in children[v]:
            sets[c] = None
    return d


def noisy(d, rng):
    e = d + np.triu(rng.normal(0, 0.004, d.shape), 1)
    e = np.triu(e, 1)
    e = e + e.T
    return np.clip(e, 0, 0.999)


def write(path, names, tables):
    n = len(names)
    with open(path, "wb") as f:
        for d in tables:
            f.write(f"{n}\r\n".encode())
            for i in range(n):
                row = "".join(f"{v:5.3f} " for v in d[i, i + 1:].astype(np.float32))
                f.write((names[i] + "      " * i + row + "\r\n").encode())


if __name__ == "__main__":
    main()
