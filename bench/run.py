#!/usr/bin/python3
"""End-to-end benchmark of lorvane-cli against the numpy and scipy anchors.

    bench/run.py [--cli build/app/lorvane-cli] [--work DIR] [--repeat 2]
                 [--only W1,W2,W3] [--skip-anchors]

Generates the workloads deterministically (about 30% of bands present):
  W1  500 strains x 1,000 bands, simple computation
  W2  5,000 strains x 10,000 bands, simple computation
  W3  200 strains x 500 bands, bootstrap with R = 1,000
runs lorvane-cli on each (simple Jaccard text, simple Dice text, simple Dice
binary, bootstrap Dice), then the anchors on the same files (scipy pdist +
text, numpy X @ X.T + text, numpy bootstrap loop + text), and prints wall
time and peak memory (maximum resident set of the process) with the ratios.
Each run is repeated --repeat times and the best time is kept; the outputs
of earlier runs are removed before each run, outside the timing.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

import numpy as np

WORKLOADS = {
    "W1": (500, 1000, "simple"),
    "W2": (5000, 10000, "simple"),
    "W3": (200, 500, "bootstrap"),
}


def generate(path, n, m, seed):
    """A band-pattern file: header, then a 10-character name and m codes."""
    rng = np.random.default_rng(seed)
    present = rng.random((n, m)) < 0.3
    codes = np.where(present, ord("1"), ord("0")).astype(np.uint8)
    with open(path, "wb") as f:
        f.write(f"{n} {m}\r\n".encode())
        for i in range(n):
            f.write(f"G{i + 1:<9d}".encode() + codes[i].tobytes() + b"\r\n")


def readbands(path):
    """The anchors' reading: names and a boolean presence matrix."""
    with open(path, "rb") as f:
        header = f.readline().split()
        n, m = int(header[0]), int(header[1])
        data = np.frombuffer(f.read(), dtype=np.uint8)
    width = 10 + m + 2
    rows = data[: n * width].reshape(n, width)
    names = [bytes(r[:10]).decode() for r in rows]
    present = (rows[:, 10 : 10 + m] >= ord("1")) & (rows[:, 10 : 10 + m] <= ord("9"))
    return names, present


def writetriangle(f, names, rowvalues):
    """Triangle text: count line, then name, blanks and the row's upper values."""
    n = len(names)
    f.write(f"{n}\r\n".encode())
    for i in range(n):
        values = rowvalues(i)
        f.write((names[i] + "      " * i + ("%5.3f " * len(values)) % tuple(values) + "\r\n").encode())


def anchor_scipy(path):
    from scipy.spatial.distance import pdist

    names, x = readbands(path)
    n = len(names)
    d = pdist(x, "jaccard")
    starts = np.concatenate(([0], np.cumsum(np.arange(n - 1, 0, -1))))
    with open(path + ".scipy", "wb") as f:
        writetriangle(f, names, lambda i: d[starts[i] : starts[i] + n - 1 - i] if i < n - 1 else [])


def anchor_numpy(path):
    names, x = readbands(path)
    x = x.astype(np.float64)
    a = x @ x.T
    b = np.diag(a).copy()
    s = 2 * a / (b[:, None] + b[None, :])
    dist = 1 - s
    with open(path + ".numpy", "wb") as f:
        writetriangle(f, names, lambda i: dist[i, i + 1 :])


def anchor_numpy_bootstrap(path, repetitions):
    names, x = readbands(path)
    n, m = x.shape
    x = x.astype(np.float64)
    rng = np.random.default_rng(1)
    with open(path + ".numpyD", "wb") as fd, open(path + ".numpyDJC", "wb") as fc:
        for _ in range(repetitions):
            xr = x[:, rng.integers(0, m, m)]
            a = xr @ xr.T
            b = np.diag(a).copy()
            with np.errstate(divide="ignore", invalid="ignore"):
                dist = 1 - 2 * a / (b[:, None] + b[None, :])
                jc = -0.75 * np.log(1 - 4.0 / 3.0 * dist)
            writetriangle(fd, names, lambda i: dist[i, i + 1 :])
            writetriangle(fc, names, lambda i: jc[i, i + 1 :])


def measure(argv, env=None):
    """Wall seconds and peak resident memory (MB) of one process, the latter
    from /usr/bin/time (the maximum resident set of the process itself).
    Dirty pages of earlier runs are written back first, outside the timing,
    so that no program pays for another's writing."""
    os.sync()
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    err = proc.stderr.decode(errors="replace").strip().splitlines()
    if proc.returncode != 0:
        sys.exit(f"failed: {' '.join(argv)}\n" + "\n".join(err))
    return wall, int(err[-1]) / 1024.0


def clean(work, name):
    """Outputs of earlier runs go before each timed run (replacing a large
    file costs the freeing of its pages, which would be timed otherwise)."""
    for f in os.listdir(work):
        if f.startswith(name + ".txt."):
            os.remove(os.path.join(work, f))


def best(argv, repeat, env=None, before=None):
    runs = []
    for _ in range(repeat):
        if before:
            before()
        runs.append(measure(argv, env))
    return min(r[0] for r in runs), max(r[1] for r in runs)


def commandfile(path, option, inputpath, index, package="", repetitions=""):
    """r = 1 and K = 1 (empty answer): the plain Jaccard and Dice distances."""
    last = package if option == 1 else repetitions
    with open(path, "w") as f:
        f.write(f"bench\n{option}\n6\n{inputpath}\n1\n\n{index}\n\n{last}\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", default=os.path.join(here, "..", "build", "app", "lorvane-cli"))
    parser.add_argument("--work", default=os.path.join(here, "..", "build", "bench-work"))
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--only", default="W1,W2,W3")
    parser.add_argument("--skip-anchors", action="store_true")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"), LORVANE_SEED="2026")
    me = [sys.executable, os.path.abspath(__file__)]

    with open("/proc/cpuinfo") as f:
        model = next((l.split(":", 1)[1].strip() for l in f if l.startswith("model name")), "?")
    print(f"machine: {model}, {os.cpu_count()} processors; load average at start {os.getloadavg()}")
    rows = []
    for name in args.only.split(","):
        n, m, kind = WORKLOADS[name]
        data = os.path.join(work, f"{name}.txt")
        if not os.path.exists(data):
            generate(data, n, m, seed={"W1": 1, "W2": 2, "W3": 3}[name])

        def tidy(name=name):
            clean(work, name)

        if kind == "simple":
            runs = [("Jaccard text", 1, ""), ("Dice text", 2, ""), ("Dice binary", 2, "1")]
            for label, index, package in runs:
                cmd = os.path.join(work, f"{name}-{index}-{package or 0}.cmd")
                commandfile(cmd, 1, data, index, package=package)
                t, mem = best([cli, "-f", cmd], args.repeat, env, tidy)
                rows.append((name, f"lorvane {label}", t, mem))
            if not args.skip_anchors:
                t, mem = best(me + ["--anchor", "scipy", data], args.repeat, None, tidy)
                rows.append((name, "scipy pdist jaccard + text", t, mem))
                t, mem = best(me + ["--anchor", "numpy", data], args.repeat, None, tidy)
                rows.append((name, "numpy X@X.T dice + text", t, mem))
        else:
            cmd = os.path.join(work, f"{name}-boot.cmd")
            commandfile(cmd, 2, data, 2, repetitions="1000")
            t, mem = best([cli, "-f", cmd], args.repeat, env, tidy)
            rows.append((name, "lorvane bootstrap Dice R=1000", t, mem))
            if not args.skip_anchors:
                t, mem = best(me + ["--anchor", "numpyboot", data], args.repeat, None, tidy)
                rows.append((name, "numpy bootstrap loop + text", t, mem))
        clean(work, name)  # outputs are large: keep only the inputs

    print(f"load average at end {os.getloadavg()}")
    print(f"{'workload':8} {'run':34} {'wall s':>9} {'peak MB':>9}")
    for w, label, t, mem in rows:
        print(f"{w:8} {label:34} {t:9.3f} {mem:9.1f}")
    print()
    print("Ratios (anchor / lorvane: above 1 means lorvane is faster or smaller):")
    for w in dict.fromkeys(r[0] for r in rows):
        mine = [r for r in rows if r[0] == w and r[1].startswith("lorvane")]
        anchors = [r for r in rows if r[0] == w and not r[1].startswith("lorvane")]
        for a in anchors:
            for l in mine:
                print(f"{w:8} {a[1]:28} / {l[1]:30} time {a[2] / l[2]:7.1f}x  memory {a[3] / l[3]:7.1f}x")
    shutil.rmtree(os.path.join(work, "data"), ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "--anchor":
        which, path = sys.argv[2], sys.argv[3]
        if which == "scipy":
            anchor_scipy(path)
        elif which == "numpy":
            anchor_numpy(path)
        else:
            anchor_numpy_bootstrap(path, 1000)
    else:
        main()
