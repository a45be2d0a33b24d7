#!/usr/bin/env python3
"""check-size.py [ROOT]: the C++ sources under src/ and app/ whose file is
over 500 lines or that hold a function over 80 lines (from the line of its
name to its closing brace). Prints each offender; exits 1 when there is one.

Functions are found by matching braces in the text without comments,
strings and preprocessor lines: a block whose header (the text since the
last ';', '{' or '}') holds a '(' and is not a statement (if, for, while,
switch, catch, do, else) is a function body, measured whole; namespaces,
classes, structs and unions are searched inside."""
import os
import re
import sys

MAX_FILE, MAX_FUNCTION = 500, 80
SOURCES = (".cpp", ".cc", ".h", ".hpp")
STATEMENT = re.compile(r"^\s*(if|for|while|switch|catch|do|else|try)\b|\belse\s*$|\bdo\s*$|\btry\s*$")
SCOPE = re.compile(r"\b(namespace|class|struct|union)\b|extern\s+\"C\"")


def blank(text):
    """The text with comments, string and character literals and
    preprocessor lines turned into blanks, line ends kept."""
    out, i, n = [], 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            j = i
            while j < n and text[j] != "\n":
                j = j + 2 if text[j] == "\\" and j + 1 < n else j + 1
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
            continue
        if c == "\n":
            at_line_start = True
        elif not c.isspace():
            at_line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            k = text.find("(", i)
            delim = ")" + text[i + 2:k] + '"'
            j = text.find(delim, k)
            j = n if j < 0 else j + len(delim)
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(text):
    """(name, first line, lines) of every function body outside another."""
    found = []
    header_start = 0
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c in ";}":
            header_start = i + 1
        elif c == "{":
            header = text[header_start:i]
            if re.search(r"\bnamespace\b", header) or (SCOPE.search(header) and "(" not in header):
                header_start = i + 1  # search inside
            else:
                depth, j = 1, i + 1
                while j < n and depth:
                    depth += {"{": 1, "}": -1}.get(text[j], 0)
                    j += 1
                if "(" in header and not STATEMENT.search(header.strip()) and "=" not in header.split("(")[0]:
                    name = re.findall(r"([~\w:]+)\s*\(", header)
                    first = header_start + len(header) - len(header.lstrip())
                    start_line = text.count("\n", 0, first) + 1
                    end_line = text.count("\n", 0, j) + 1
                    found.append((name[0] if name else "?", start_line, end_line - start_line + 1))
                i = j
                header_start = j
                continue
        i += 1
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    offenders = []
    for top in ("src", "app"):
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                lines = text.count("\n") + (0 if text.endswith("\n") else 1)
                if lines > MAX_FILE:
                    offenders.append(f"{rel}: {lines} lines (at most {MAX_FILE})")
                for fn, line, length in functions(blank(text)):
                    if length > MAX_FUNCTION:
                        offenders.append(f"{rel}:{line}: {fn}: {length} lines (at most {MAX_FUNCTION})")
    for o in sorted(offenders):
        print(o)
    return 1 if offenders else 0


if __name__ == "__main__":
    sys.exit(main())
