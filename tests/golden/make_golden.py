#!/usr/bin/python3
"""Golden files of the simple and bootstrap computations, worked out here on
their own from the description of the computations, not from the program's
code.

    tests/golden/make_golden.py     (writes the band files, one folder per
                                     case, cases.txt and formulas.txt)

The formulas: for strains i > j, b and c their bands, a the shared ones
(taken as 1 when there are none), K in single precision:
  Jaccard  S = a / (K c + K b + (1 - 2K) a)
  Dice     S = a / ((K/2) c + (K/2) b + (1 - K) a)
  (a denominator of 0 or below gives S = 0)
  distance 1 - S^(1/r)
  Jukes-Cantor  -0.75 ln(1 - (4/3) d) for d < 0.75, else 999
  Nei & Li      G = S^(1/4), then 12 times G = ((3 - 2G) S)^(1/4); -(2/r) ln G
Text files: the count line, then per strain its name, six blanks per pair
below the diagonal, (shared bands: the diagonal count) and "%5.3f " or
"%5.0f " of each value narrowed to single precision; lines end in CR LF.
Binary files: the whole square as little-endian float32 (0 on the diagonal,
the band count for the shared bands), then CR LF, rows and columns as six
digits, each followed by CR LF.

The bootstrap: the generator's state starts at the seed; each value is
state = state * 214013 + 2531011 (mod 2^32), then bits 16 to 30 of it.
w = m K columns per replicate (truncated), each drawn with replacement:
column 1 + int(v c m), c the single-precision value nearest 1/32767; for
more than 32,768 bands from two values, v = v1 32768 + v2 and the column
1 + floor(v m / 2^30). The counts are taken over the drawn columns; each
replicate appends its distance table (and with Dice its corrected one) as
a text table.

cases.txt names each case's band file and answers, which the test runs.
formulas.txt holds single values of the same pieces for the unit checks:
generator values, column draws and the two corrections.
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


def similarity(jaccard, a, b, c, k):
    den = k * c + k * b + (1 - 2 * k) * a if jaccard else (k / 2) * c + (k / 2) * b + (1 - k) * a
    return a / den if den > 0 else 0.0


def jukescantor(d):
    return -0.75 * math.log(1 - (4.0 / 3.0) * d) if d < 0.75 else 999.0


def neili(s, r):
    g = math.sqrt(math.sqrt(s))
    for _ in range(12):
        g = math.sqrt(math.sqrt((3 - 2 * g) * s))
    return -(2.0 / r) * math.log(g)


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
            s = similarity(jaccard, a, b, c, k)
            values = {}
            if index in (1, 2):
                d = 1 - s ** (1.0 / r)
                stem = ".matJ" if jaccard else ".matD"
                values = {stem: d, stem + "P": s, ".nxy": float(a)}
                if index == 2 and jc == 1:
                    values[".matDJC"] = jukescantor(d)
            else:
                values = {".matNL": neili(s, r)}
            for ext, v in values.items():
                table(ext)[i][j] = table(ext)[j][i] = v
    if ".nxy" in tables:
        for i in range(n):
            tables[".nxy"][i][i] = float(count[i])
    return tables


def text(t, ext, names):
    n = len(t)
    lines = [f"{n}\r\n"]
    for i in range(n):
        counts = ext == ".nxy"
        fields = "".join(("%5.0f " if counts else "%5.3f ") % f32(t[i][j]) for j in range(i if counts else i + 1, n))
        lines.append(names[i] + "      " * i + fields + "\r\n")
    return "".join(lines).encode()


def binary(t):
    n = len(t)
    body = b"".join(struct.pack("<f", t[i][j]) for i in range(n) for j in range(n))
    return body + f"\r\n{n:06d}\r\n{n:06d}\r\n".encode()


# The bootstrap.

class Generator:
    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 214013 + 2531011) % 2**32
        return (self.state >> 16) & 0x7FFF


C = f32(1.0 / 32767)


def draw(v, m):
    return 1 + int(v * C * m)


def drawwide(v1, v2, m):
    return 1 + (v1 * 32768 + v2) * m // 2**30


def patternbands(seed, strains, m):
    """Band strings from a generator of their own, per strain (name,
    density, like): bands present at that density or, with `like` the name
    of an earlier strain, that strain's codes with that share flipped."""
    state = seed
    made = {}
    for name, density, like in strains:
        codes = []
        for q in range(m):
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            u = (state >> 11) / 2**53
            if like:
                flip = u < density
                codes.append("01"[(made[like][q] == "1") != flip])
            else:
                codes.append("1" if u < density else "0")
        made[name] = "".join(codes)
    return [(name.ljust(10), made[name]) for name, _, _ in strains]


# Six strains of 1,085 bands (5 x 7 x 31: v m is a multiple of 32,767 for
# every v that is a multiple of 151, where the constant's single precision
# decides the column), one of them nearly without bands, whose Dice
# distances reach 0.75; three strains of just over 32,768 bands, drawn from
# two values.
NARROW = patternbands(1, [("A", 0.5, None), ("B near A", 0.1, "A"), ("C", 0.4, None), ("D", 0.3, None),
                          ("E", 0.5, None), ("F sparse", 0.01, None)], 1085)
WIDE = patternbands(2, [("Wa", 0.5, None), ("Wb", 0.15, "Wa"), ("Wc", 0.3, None)], 32800)
INPUTS = {"boot-bands.txt": NARROW, "wide-bands.txt": WIDE}


def replicates(bands, seed, r, k, index, count):
    """Per replicate the pair values {(i, j): (distance, corrected)}."""
    present = [[c in "123456789" for c in codes] for _, codes in bands]
    n, m = len(bands), len(bands[0][1])
    w = int(m * k)
    rng = Generator(seed)
    out = []
    for _ in range(count):
        drawn = [0] * m
        for _ in range(w):
            if m <= 32768:
                q = draw(rng.next(), m)
            else:
                v1 = rng.next()
                q = drawwide(v1, rng.next(), m)
            drawn[q - 1] += 1
        values = {}
        for i in range(n):
            for j in range(i):
                a = sum(t for t, x, y in zip(drawn, present[i], present[j]) if x and y) or 1
                b = sum(t for t, x in zip(drawn, present[i]) if x)
                c = sum(t for t, y in zip(drawn, present[j]) if y)
                d = 1 - similarity(index == 1, a, b, c, k) ** (1.0 / r)
                values[(i, j)] = (d, jukescantor(d))
        out.append(values)
    return out


def shows(v, shift):
    """Whether a shift of the value changes its text, well away from the
    last bits of the arithmetic."""
    field = "%5.3f" % f32(v)
    steady = all("%5.3f" % f32(v + e) == field for e in (-1e-10, 1e-10))
    return steady and "%5.3f" % f32(v + shift) != field


def firstseed(bands, r, k, index, count, shift):
    """The first seed from 1 whose replicates hold a corrected value that a
    shift of its Jukes-Cantor correction changes in the text: such a value
    lies so close to a rounding boundary that the file shows the fault."""
    seed = 1
    while not any(shows(c, shift) for reps in replicates(bands, seed, r, k, index, count)
                  for _, c in reps.values() if c != 999.0):
        seed += 1
    return seed


# name: (input, seed, r, K answer, index, repetitions); a seed written as a
# shift of the correction (1e-7 up, -1e-7 down) is the first that shows it.
BOOTCASES = {
    "boot-jaccard": ("boot-bands.txt", 2026, 3, 0.7, 1, 3),
    "boot-dice-jc": ("boot-bands.txt", +1e-7, 2, 0.5, 2, 4),
    "boot-dice-k": ("boot-bands.txt", -1e-7, 1, 1.5, 2, 4),
    "boot-wide": ("wide-bands.txt", 7, 1, 0.1, 2, 3),
}


def bootfiles(bands, seed, r, k, index, count):
    """The contents {extension: bytes} of one bootstrap run."""
    n = len(bands)
    names = [name for name, _ in bands]
    files = {}
    for values in replicates(bands, seed, r, k, index, count):
        for ext, which in ((".matJ" if index == 1 else ".matD", 0), (".matDJC", 1)):
            if which and index == 1:
                continue
            t = [[0.0] * n for _ in range(n)]
            for (i, j), v in values.items():
                t[i][j] = t[j][i] = v[which]
            files[ext] = files.get(ext, b"") + text(t, ext, names)
    return files


# Band data with missing scores, counted pairwise: for strains i > j, a the
# bands present in both, b those present in i and scored in j, c those
# present in j and scored in i (a taken as 1 when there are none); a pair
# with no band scored in both has no figure (999), its shared count as
# usual. The strains' own band counts (the shared table's diagonal) are
# all their present bands. Names wider than 10 characters widen every
# name's field, and the count line gives the width.

MISSING_SPELLINGS = ["?", "", "NA", "-9", "-1", "."]


def missingrows(seed, names, m, share):
    """Per strain its scores ('1', '0' or '?'), a share of them missing at
    random; the last two strains are scored on disjoint halves."""
    state = seed
    rows = []
    for i in range(len(names)):
        row = []
        for q in range(m):
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            u = (state >> 11) / 2**53
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            v = (state >> 11) / 2**53
            row.append("?" if u < share else "1" if v < 0.4 else "0")
        rows.append(row)
    half = m // 2
    rows[-2] = [x if q < half else "?" for q, x in enumerate(rows[-2])]
    rows[-1] = [x if q >= half else "?" for q, x in enumerate(rows[-1])]
    return rows


def pairwise(rows, r, k, index, jc, drawn=None):
    """The tables {extension: n x n list} of band data with missing scores."""
    n, m = len(rows), len(rows[0])
    w = drawn or [1] * m
    tables = {}

    def table(ext):
        return tables.setdefault(ext, [[0.0] * n for _ in range(n)])

    jaccard = index == 1
    for i in range(n):
        for j in range(i):
            both = [q for q in range(m) if rows[i][q] != "?" and rows[j][q] != "?" and w[q]]
            a = sum(w[q] for q in both if rows[i][q] == "1" and rows[j][q] == "1")
            b = sum(w[q] for q in both if rows[i][q] == "1")
            c = sum(w[q] for q in both if rows[j][q] == "1")
            if not both:
                s = d = 999.0
            else:
                s = similarity(jaccard, a or 1, b, c, k)
                d = 1 - s ** (1.0 / r)
            if index in (1, 2):
                stem = ".matJ" if jaccard else ".matD"
                values = {stem: d, stem + "P": s, ".nxy": float(a or 1)}
                if index == 2 and jc == 1:
                    values[".matDJC"] = jukescantor(d) if both else 999.0
            else:
                values = {".matNL": neili(s, r) if both else 999.0}
            for ext, v in values.items():
                table(ext)[i][j] = table(ext)[j][i] = v
    if ".nxy" in tables:
        for i in range(n):
            tables[".nxy"][i][i] = float(sum(w[q] for q in range(m) if rows[i][q] == "1"))
    return tables


def widetext(t, ext, names):
    width = max([10] + [len(name) for name in names])
    head = f"{len(t)}\r\n" if width == 10 else f"{len(t)} {width}\r\n"
    return head.encode() + text(t, ext, [name.ljust(width) for name in names])[len(f"{len(t)}\r\n"):]


def writecsv(path, names, rows):
    """A 0/1 table: a header of band names, a row a strain; the missing
    scores in every spelling the readers take, in turn."""
    spell = 0
    with open(path, "wb") as f:
        f.write(("strain," + ",".join(f"B{q + 1}" for q in range(len(rows[0]))) + "\r\n").encode())
        for name, row in zip(names, rows):
            cells = []
            for x in row:
                if x == "?":
                    x = MISSING_SPELLINGS[spell % len(MISSING_SPELLINGS)]
                    spell += 1
                cells.append(x)
            quoted = '"' + name + '"' if "," in name else name
            f.write((quoted + "," + ",".join(cells) + "\r\n").encode())


MISSING_NAMES = ["M" + str(i + 1) for i in range(12)]
WIDE_NAMES = ["Strain %d of the field survey, plot %s" % (i + 1, "ABCDEFGHIJKL"[i]) for i in range(12)]
MISSING_ROWS = missingrows(5, MISSING_NAMES, 60, 0.1)
# name: (input, r, K answer, index, Jukes-Cantor)
MISSINGCASES = {
    "missing-jaccard": ("missing.csv", 1, 1.0, 1, 0),
    "missing-dice": ("missing.csv", 1, 1.0, 2, 1),
    "missing-dice-k05": ("missing.csv", 2, 0.5, 2, 0),
    "missing-neili": ("missing.csv", 6, 1.0, 3, 0),
    "missing-wide-names": ("missing-wide.csv", 1, 1.0, 2, 0),
}


def missingboot(rows, seed, r, k, count):
    """The Dice replicate tables of band data with missing scores: whole
    columns drawn, missing cells with them."""
    m = len(rows[0])
    rng = Generator(seed)
    files = {}
    for _ in range(count):
        drawn = [0] * m
        for _ in range(int(m * k)):
            drawn[draw(rng.next(), m) - 1] += 1
        t = pairwise(rows, r, k, 2, 1, drawn)
        for ext in (".matD", ".matDJC"):
            files[ext] = files.get(ext, b"") + widetext(t[ext], ext, MISSING_NAMES)
    return files


def formulas():
    lines = []
    for seed, count in ((1, 5), (2**32 - 1, 3), (2026, 3)):
        g = Generator(seed)
        lines.append("generator %d %s" % (seed, " ".join(str(g.next()) for _ in range(count))))
    for v, m in ((0, 1), (32767, 1), (32767, 41), (32767, 32768), (32767, 32767), (1, 32767), (151, 1085),
                 (302, 1085), (16384, 1000), (32767, 100000)):
        lines.append("draw %d %d %d" % (v, m, draw(v, m)))
    for v1, v2, m in ((0, 0, 32769), (32767, 32767, 40000), (1, 0, 999999), (0, 1, 999999), (12345, 6789, 32800),
                      (16384, 0, 32800)):
        lines.append("drawwide %d %d %d %d" % (v1, v2, m, drawwide(v1, v2, m)))
    for d in (0.1, 0.5, 0.7499):
        lines.append("jukescantor %r %r" % (d, jukescantor(d)))
    for s, r in ((0.3, 1), (0.8, 3), (0.05, 2)):
        lines.append("neili %r %d %r" % (s, r, neili(s, r)))
    return "".join(line + "\n" for line in lines)


def writebands(path, bands):
    with open(path, "wb") as f:
        f.write(f"{len(bands)} {len(bands[0][1])}\r\n".encode())
        for name, codes in bands:
            f.write((name + codes + "\r\n").encode())


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    cases = ["# case, band file, option, r, K, index, Jukes-Cantor, package outputs or repetitions, seed"]
    writebands(os.path.join(here, "bands.txt"), BANDS)
    for case, (r, kanswer, index, jc, package) in CASES.items():
        cases.append(f"{case} bands.txt 1 {r} {kanswer} {index} {jc} {package} 0")
        folder = os.path.join(here, case)
        os.makedirs(folder, exist_ok=True)
        for ext, t in figures(r, f32(kanswer), index, jc).items():
            with open(os.path.join(folder, "bands.txt" + ext), "wb") as f:
                f.write(binary(t) if package == 1 else text(t, ext, [name for name, _ in BANDS]))
    for name, bands in INPUTS.items():
        writebands(os.path.join(here, name), bands)
    for case, (inputname, seed, r, kanswer, index, count) in BOOTCASES.items():
        bands, k = INPUTS[inputname], f32(kanswer)
        if isinstance(seed, float):
            seed = firstseed(bands, r, k, index, count, seed)
        jc = 1 if index == 2 else 0  # passed on, and without effect
        cases.append(f"{case} {inputname} 2 {r} {kanswer} {index} {jc} {count} {seed}")
        folder = os.path.join(here, case)
        os.makedirs(folder, exist_ok=True)
        for ext, content in bootfiles(bands, seed, r, k, index, count).items():
            with open(os.path.join(folder, "bands.txt" + ext), "wb") as f:
                f.write(content)
    writecsv(os.path.join(here, "missing.csv"), MISSING_NAMES, MISSING_ROWS)
    writecsv(os.path.join(here, "missing-wide.csv"), WIDE_NAMES, MISSING_ROWS)
    for case, (inputname, r, kanswer, index, jc) in MISSINGCASES.items():
        cases.append(f"{case} {inputname} 1 {r} {kanswer} {index} {jc} 0 0")
        names = WIDE_NAMES if "wide" in inputname else MISSING_NAMES
        folder = os.path.join(here, case)
        os.makedirs(folder, exist_ok=True)
        for ext, t in pairwise(MISSING_ROWS, r, f32(kanswer), index, jc).items():
            with open(os.path.join(folder, "bands.txt" + ext), "wb") as f:
                f.write(widetext(t, ext, names))
    cases.append("missing-boot missing.csv 2 1 1.0 2 1 3 9")
    folder = os.path.join(here, "missing-boot")
    os.makedirs(folder, exist_ok=True)
    for ext, content in missingboot(MISSING_ROWS, 9, 1, f32(1.0), 3).items():
        with open(os.path.join(folder, "bands.txt" + ext), "wb") as f:
            f.write(content)
    with open(os.path.join(here, "cases.txt"), "w") as f:
        f.write("".join(line + "\n" for line in cases))
    with open(os.path.join(here, "formulas.txt"), "w") as f:
        f.write(formulas())


if __name__ == "__main__":
    main()
