#!/usr/bin/python3
"""Golden output files of the simple computation, worked out here on their own.

    tests/golden/make_golden.py     (writes bands.txt and one folder per case)

The formulas follow the description of the distance computation, not the
program's code: for strains i > j, b and c their bands, a the shared ones
(taken as 1 when there are none), K in single precision:
  Jaccard  S = a / (K c + K b + (1 - 2K) a)
  Dice     S = a / ((K/2) c + (K/2) b + (1 - K) a)
  distance 1 - S^(1/r)
  Jukes-Cantor  -0.75 ln(1 - (4/3) d) for d < 0.75, else 999
  Nei & Li      G = S^(1/4), then 12 times G = ((3 - 2G) S)^(1/4); -(2/r) ln G
Text files: the count line, then per strain its name, six blanks per pair
below the diagonal, (shared bands: the diagonal count) and "%5.3f " or
"%5.0f " of each value narrowed to single precision; lines end in CR LF.
Binary files: the whole square as little-endian float32 (0 on the diagonal,
the band count for the shared bands), then CR LF, rows and columns as six
digits, each followed by CR LF.
"""
import math
import os
import struct

BANDS = [
    ("Alpha     ", "1101001011010010"),
    ("Beta 2    ", "1100001011010011"),
    ("Gamma     ", "0010110100101100"),
    ("D         ", "9876543210000000"),
    ("Eps       ", "0000000000000001"),
    ("Zeta-x    ", "1a-1 1.1x1111000"),
]

# name: (r, K answer, index, Jukes-Cantor, binary)
CASES = {
    "jaccard-text": (1, 1.0, 1, 0, 0),
    "dice-jc-text": (2, 0.3, 2, 1, 0),
    "dice-jc-binary": (1, 1.0, 2, 1, 1),
    "jaccard-binary": (3, 0.3, 1, 0, 1),
    "neili-text": (3, 2.0, 3, 0, 0),
    "neili-binary": (1, 0.7, 3, 1, 1),
}


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


def figures(r, k, index, jc):
    """The tables {extension: n x n list} of one case."""
    present = [[c in "123456789" for c in codes] for _, codes in BANDS]
    n = len(present)
    count = [sum(p) for p in present]
    tables = {}

    def table(ext):
        return tables.setdefault(ext, [[0.0] * n for _ in range(n)])

    jaccard = index == 1
    for i in range(n):
        for j in range(i):
            b, c = count[i], count[j]
            a = sum(x and y for x, y in zip(present[i], present[j])) or 1
            if jaccard:
                s = a / (k * c + k * b + (1 - 2 * k) * a)
            else:
                s = a / ((k / 2) * c + (k / 2) * b + (1 - k) * a)
            values = {}
            if index in (1, 2):
                d = 1 - s ** (1.0 / r)
                stem = ".matJ" if jaccard else ".matD"
                values = {stem: d, stem + "P": s, ".nxy": float(a)}
                if index == 2 and jc == 1:
                    values[".matDJC"] = -0.75 * math.log(1 - (4.0 / 3.0) * d) if d < 0.75 else 999.0
            else:
                g = math.sqrt(math.sqrt(s))
                for _ in range(12):
                    g = math.sqrt(math.sqrt((3 - 2 * g) * s))
                values = {".matNL": -(2.0 / r) * math.log(g)}
            for ext, v in values.items():
                table(ext)[i][j] = table(ext)[j][i] = v
    if ".nxy" in tables:
        for i in range(n):
            tables[".nxy"][i][i] = float(count[i])
    return tables


def text(t, ext):
    n = len(t)
    lines = [f"{n}\r\n"]
    for i in range(n):
        counts = ext == ".nxy"
        fields = "".join(("%5.0f " if counts else "%5.3f ") % f32(t[i][j]) for j in range(i if counts else i + 1, n))
        lines.append(BANDS[i][0] + "      " * i + fields + "\r\n")
    return "".join(lines).encode()


def binary(t):
    n = len(t)
    body = b"".join(struct.pack("<f", t[i][j]) for i in range(n) for j in range(n))
    return body + f"\r\n{n:06d}\r\n{n:06d}\r\n".encode()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "bands.txt"), "wb") as f:
        f.write(f"{len(BANDS)} {len(BANDS[0][1])}\r\n".encode())
        for name, codes in BANDS:
            f.write((name + codes + "\r\n").encode())
    for case, (r, kanswer, index, jc, package) in CASES.items():
        folder = os.path.join(here, case)
        os.makedirs(folder, exist_ok=True)
        for ext, t in figures(r, f32(kanswer), index, jc).items():
            with open(os.path.join(folder, "bands.txt" + ext), "wb") as f:
                f.write(binary(t) if package == 1 else text(t, ext))


if __name__ == "__main__":
    main()
