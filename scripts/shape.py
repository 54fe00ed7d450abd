#!/usr/bin/env python3
"""Lists production files over 400 lines and functions over 60 lines.

A file's length is its number of lines, as wc -l counts them. A function runs
from the first line of its signature (a template <...> line included) to its
closing brace, both counted; lambdas and classes defined inside a function
count toward it. Prints `path:line: name N lines` for each offender and exits
1 when there is any, 0 otherwise; --all also prints the 15 longest functions.
"""
import itertools
import pathlib
import re
import sys

DIRS = ("engine", "files", "icc", "app", "ui", "cli")
MAX_FILE, MAX_FUNCTION = 400, 60
# Comments, literals and preprocessor lines, which hold no braces that count.
NOISE = re.compile(
    r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|'
    r"'(?:\\.|[^'\\\n])*'|^[ \t]*#(?:[^\n]*\\\n)*[^\n]*",
    re.S | re.M,
)
NAME = re.compile(r"((?:[\w~]+\s*::\s*)*(?:operator\s*(?:\(\)|[^\s(]+)|~?\w+))\s*\(")
ACCESS = re.compile(r"\b(public|private|protected|signals|slots)\s*$")
ASSIGN = re.compile(r"^(?!.*\boperator\b).*(?<![=!<>])=(?!=)")
INIT_LIST = re.compile(r"\)\s*(?:noexcept\s*)?:(?!:)")


def untemplated(stmt):
    """The statement without a leading template <...> header."""
    depth = 0
    for k, c in enumerate(stmt if stmt.startswith("template") else ""):
        depth += {"<": 1, ">": -1}.get(c, 0)
        if c == ">" and depth == 0:
            return stmt[k + 1 :]
    return stmt


def is_function_body(stmt):
    """Whether a brace after stmt, at namespace or class level, opens a function body
    rather than a lambda inside a call, an initialiser or a member's {} initialiser."""
    if "(" not in stmt or stmt.count("(") > stmt.count(")"):
        return False
    outside = untemplated(stmt)
    while re.search(r"\([^()]*\)", outside):  # default arguments are no initialiser
        outside = re.sub(r"\([^()]*\)", "", outside)
    if ASSIGN.search(outside):
        return False
    return not (INIT_LIST.search(stmt) and re.search(r"[\w>]$", stmt))


def functions(text):
    """(first line, length, name) of each function defined in the source text."""
    def blank(m):  # keeps the line count, and a literal as a token
        return ('""' if m.group()[0] in "R\"'" else " ") + "\n" * m.group().count("\n")

    text = NOISE.sub(blank, text)
    lines = list(itertools.accumulate((c == "\n" for c in text), initial=1))
    found, stmt, first, i = [], "", 0, 0

    def past_braces(k):  # the index just past the brace that closes the one at k
        depth = 0
        while k < len(text):
            depth += {"{": 1, "}": -1}.get(text[k], 0)
            k += 1
            if depth == 0:
                break
        return k

    while i < len(text):
        c = text[i]
        if c in ";}" or (c == ":" and ACCESS.search(stmt) and text[i + 1 : i + 2] != ":"):
            stmt = ""
        elif c == "{" and is_function_body(stmt):
            i = past_braces(i)
            name = NAME.search(stmt)
            found.append((first, lines[i - 1] - first + 1, name.group(1) if name else "?"))
            stmt = ""
            continue
        elif c == "{" and "(" in stmt:
            i, stmt = past_braces(i), stmt + "{}"
            continue
        elif c == "{":  # a namespace, class, enum or table: look inside
            stmt = ""
        elif not c.isspace() or stmt:
            first = first if stmt else lines[i]
            stmt += " " if c.isspace() else c
        i += 1
    return found


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    over, everything = [], []
    for top in DIRS:
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            rel, text = path.relative_to(root).as_posix(), path.read_text(errors="replace")
            if text.count("\n") > MAX_FILE:
                over.append(f"{rel}: file {text.count(chr(10))} lines")
            for line, length, name in functions(text):
                everything.append((length, rel, line, name))
                if length > MAX_FUNCTION:
                    over.append(f"{rel}:{line}: {name} {length} lines")
    print("\n".join(over) if over else "nothing over the limits")
    if "--all" in sys.argv[1:]:
        print("\nlongest functions:")
        for length, rel, line, name in sorted(everything, key=lambda f: -f[0])[:15]:
            print(f"  {rel}:{line}: {name} {length} lines")
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
