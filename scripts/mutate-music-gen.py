#!/usr/bin/env python3
"""Mechanical mutants of the music player for scripts/mutate-music.sh.

Scans the player's sources line by line and makes one mutant per site and operator class:
  rel     every relational operator flipped (< to >=, == to !=, ...) and loosened or tightened (< to <=, ...)
  arith   every binary + and - swapped, and += with -=
  reset   every statement that assigns a constant deleted (del-reset), and every statement that copies a
          field of the same name from a default (del-default: c.panning = c.sample->panning)
  swap    every identifier naming one side of a pair (left/right, up/down, high/low, start/end) renamed to
          the other side where that name exists, every [0]/[1] index and every .x/.y exchanged
  clamp   every std::clamp reduced to its value, every std::min and std::max to one of its arguments
          (the one that is not a constant; both when neither is)
Comment lines, preprocessor lines and asserts are skipped, as are string literals and trailing comments.
A mutant is named file:line:column:operator; the name is enough to make it again from the same sources.
Mutants shown equivalent are listed in scripts/mutate-music.txt (name, the mutated line's code, the reason)
and left out of every list; an entry whose line has moved is found again by its code, and one whose code is
gone is printed as stale, so that its mutant runs again.

  mutate-music-gen.py list [--seed N] [--count N] [--class C] [--file F]
        the sampled names, sorted (all of them without --count); --class (rel, arith, reset, swap, clamp)
        and --file (a file under music/) may be repeated or take comma-separated lists, and keep only those
  mutate-music-gen.py apply NAME                    mutates music/FILE in place and prints the changed line
"""

import argparse
import os
import random
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "music")
EQUIVALENTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "mutate-music.txt")
# The player and the stream that plays it; xm_writer.cpp writes the tests' own modules and is no part of it.
FILES = [
    "module_loader.cpp",
    "pitch.cpp",
    "envelope.cpp",
    "replayer.cpp",
    "effects.cpp",
    "mixer.cpp",
    "song_duration.cpp",
    "audio_stream.cpp",
    "ring_refill.h",
]

RELATIONAL = {
    "<": [("lt-ge", ">="), ("lt-le", "<=")],
    "<=": [("le-gt", ">"), ("le-lt", "<")],
    ">": [("gt-le", "<="), ("gt-ge", ">=")],
    ">=": [("ge-lt", "<"), ("ge-gt", ">")],
    "==": [("eq-ne", "!=")],
    "!=": [("ne-eq", "==")],
}
ARITHMETIC = {"+": ("add-sub", "-"), "-": ("sub-add", "+"), "+=": ("addeq-subeq", "-="), "-=": ("subeq-addeq", "+=")}
ARITHMETIC_NAMES = {name for name, _ in ARITHMETIC.values()}
PAIRS = [("Left", "Right"), ("Up", "Down"), ("High", "Low"), ("Hi", "Lo"), ("Start", "End")]
PARTNER = {}
for a, b in PAIRS:
    PARTNER[a], PARTNER[b] = b, a
    PARTNER[a.lower()], PARTNER[b.lower()] = b.lower(), a.lower()

OPERATOR = re.compile(r"(?<=\s)(<=|>=|==|!=|\+=|-=|<|>|\+|-)(?=\s)")
IDENTIFIER = re.compile(r"\b[A-Za-z_]\w*\b")
INDEX = re.compile(r"\[([01])\]")
COORDINATE = re.compile(r"\.([xy])\b")
LITERAL = r"-?(?:\d+(?:\.\d*)?(?:e-?\d+)?[uUfFlL]*|true|false|nullptr)"
LVALUE = r"[A-Za-z_]\w*(?:(?:\.|->)[A-Za-z_]\w*|\[[^\]]*\])*"
# An assignment that is a whole statement: at the line's start, or behind "{", ")" or "else".
ASSIGNMENT = re.compile(r"(?:^\s*|[{)]\s+|\belse\s+)(" + LVALUE + r")\s*=\s*([^;=]+?);")
CLAMP_CALL = re.compile(r"std::(clamp|min|max)(?:<[\w: ]+>)?\(")
CONSTANT = re.compile(r"^(?:" + LITERAL + r"|k[A-Z]\w*|[A-Z][A-Z0-9_]+)$")


def code_part(line):
    """The line with string literals blanked and a trailing comment cut off; None for lines to skip."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")):
        return None
    if re.match(r"(static_assert|assert)\s*\(", stripped):
        return None
    blanked = re.sub(r'"(?:\\.|[^"\\])*"', lambda m: '"' + " " * (len(m.group()) - 2) + '"', line)
    cut = blanked.find("//")
    return blanked[:cut] if cut >= 0 else blanked


def camel_parts(name):
    return re.findall(r"[a-z]+|[A-Z][a-z]*|\d+|_", name)


def split_arguments(text, open_at):
    """The arguments of the call whose "(" is at open_at and the index of its ")", or None."""
    depth, start, parts = 0, open_at + 1, []
    for i in range(open_at, len(text)):
        ch = text[i]
        if ch in "([{":
            depth += 1
        elif ch in ")]}":
            depth -= 1
            if depth == 0:
                parts.append(text[start:i])
                return parts, i
        elif ch == "," and depth == 1:
            parts.append(text[start:i])
            start = i + 1
    return None


def line_mutants(code, known):
    """(column, operator, start, end, replacement) for every mutant of one line's code."""
    out = []
    for m in OPERATOR.finditer(code):
        op = m.group(1)
        for name, to in RELATIONAL.get(op, []):
            out.append((m.start(), name, m.start(), m.end(), to))
        if op in ARITHMETIC:
            name, to = ARITHMETIC[op]
            out.append((m.start(), name, m.start(), m.end(), to))
    m = ASSIGNMENT.search(code)
    if m:
        lhs, rhs = m.group(1), m.group(2).strip()
        kind = None
        if re.fullmatch(LITERAL, rhs):
            kind = "del-reset"
        elif re.fullmatch(LVALUE, rhs) and re.split(r"\.|->", rhs)[-1] == re.split(r"\.|->", lhs)[-1] and rhs != lhs:
            kind = "del-default"
        if kind:
            out.append((m.start(1), kind, m.start(1), m.end(), ";"))
    for m in IDENTIFIER.finditer(code):
        parts = camel_parts(m.group())
        for k, part in enumerate(parts):
            if part in PARTNER:
                swapped = "".join(parts[:k] + [PARTNER[part]] + parts[k + 1 :])
                if swapped in known:
                    out.append((m.start(), "swap-%s-%s" % (part, PARTNER[part]), m.start(), m.end(), swapped))
    for m in INDEX.finditer(code):
        other = "1" if m.group(1) == "0" else "0"
        out.append((m.start(), "swap-index%s-%s" % (m.group(1), other), m.start(1), m.end(1), other))
    for m in COORDINATE.finditer(code):
        other = "y" if m.group(1) == "x" else "x"
        out.append((m.start(), "swap-%s-%s" % (m.group(1), other), m.start(1), m.end(1), other))
    for m in CLAMP_CALL.finditer(code):
        call = split_arguments(code, m.end() - 1)
        if not call or call[0][0].strip().startswith("{"):
            continue
        args, close = call
        function = m.group(1)
        if function == "clamp" and len(args) == 3:
            out.append((m.start(), "clamp-value", m.start(), close + 1, "(" + args[0].strip() + ")"))
        elif len(args) == 2:
            for k, arg in enumerate(args):
                if not CONSTANT.match(arg.strip()):
                    name = "%s-arg%d" % (function, k + 1)
                    out.append((m.start(), name, m.start(), close + 1, "(" + arg.strip() + ")"))
    return out


def scan():
    """Every mutant of the sources: name -> (file, line index, start, end, replacement)."""
    sources = {f: open(os.path.join(ROOT, f)).read().split("\n") for f in FILES}
    known = set(IDENTIFIER.findall("\n".join("\n".join(lines) for lines in sources.values())))
    mutants = {}
    for f, lines in sources.items():
        for index, line in enumerate(lines):
            code = code_part(line)
            if code is None:
                continue
            for column, operator, start, end, replacement in line_mutants(code, known):
                name = "%s:%d:%d:%s" % (f, index + 1, column + 1, operator)
                mutants[name] = (f, index, start, end, replacement)
    return mutants


def equivalents(mutants):
    """The names of the listed equivalent mutants in the current sources, and the entries that no longer fit."""
    sources = {f: open(os.path.join(ROOT, f)).read().split("\n") for f in FILES}
    found, stale = set(), []
    for entry in open(EQUIVALENTS).read().split("\n"):
        fields = entry.split("\t")
        if entry.startswith("#") or len(fields) < 3 or fields[0].count(":") != 3:
            continue
        name, code = fields[0], fields[1].strip()
        f, line, column, operator = name.split(":")
        source = sources.get(f, [])
        # The line named, or else the one line of the file that still holds the same code.
        at = [int(line) - 1] if 0 < int(line) <= len(source) and source[int(line) - 1].strip() == code else []
        at = at or [i for i, text in enumerate(source) if text.strip() == code]
        moved = "%s:%d:%s:%s" % (f, at[0] + 1, column, operator) if len(at) == 1 else None
        if moved in mutants:
            found.add(moved)
        else:
            stale.append(name)
    return found, stale


def split_choices(values, allowed, what):
    chosen = {v for value in values or [] for v in value.split(",") if v}
    unknown = chosen - set(allowed)
    if unknown:
        raise SystemExit("mutate-music-gen: unknown %s %s (one of %s)" % (what, ", ".join(sorted(unknown)), ", ".join(allowed)))
    return chosen


def operator_class(operator):
    prefix = operator.split("-")[0]
    if operator in ARITHMETIC_NAMES:
        return "arith"
    return {"del": "reset", "swap": "swap", "clamp": "clamp", "min": "clamp", "max": "clamp"}.get(prefix, "rel")


def order(name):
    f, line, column, operator = name.split(":")
    return (FILES.index(f), int(line), int(column), operator)


def main():
    parser = argparse.ArgumentParser(description="mechanical mutants of the music player")
    sub = parser.add_subparsers(dest="command", required=True)
    listing = sub.add_parser("list")
    listing.add_argument("--seed", type=int, default=0)
    listing.add_argument("--count", type=int, default=0)
    listing.add_argument("--class", dest="classes", action="append")
    listing.add_argument("--file", dest="files", action="append")
    apply = sub.add_parser("apply")
    apply.add_argument("name")
    args = parser.parse_args()

    mutants = scan()
    if args.command == "list":
        classes = split_choices(args.classes, ["arith", "clamp", "rel", "reset", "swap"], "class")
        files = split_choices(args.files, FILES, "file")
        names = sorted(mutants, key=order)
        counts = {}
        for name in names:
            kind = operator_class(name.split(":")[3])
            counts[kind] = counts.get(kind, 0) + 1
        summary = ", ".join("%d %s" % (n, k) for k, n in sorted(counts.items()))
        print("# %d mutants generated (%s)" % (len(names), summary))
        if classes or files:
            names = [
                n
                for n in names
                if (not classes or operator_class(n.split(":")[3]) in classes)
                and (not files or n.split(":")[0] in files)
            ]
            print("# %d of class %s in %s" % (len(names), ",".join(sorted(classes)) or "any", ",".join(sorted(files)) or "any file"))
        skipped, stale = equivalents(mutants)
        if stale:
            print("# stale equivalence entries, their mutants run again: %s" % " ".join(stale))
        if skipped & set(names):
            names = [n for n in names if n not in skipped]
            print("# %d left after the listed equivalent mutants" % len(names))
        if args.count:
            names = sorted(random.Random(args.seed).sample(names, min(args.count, len(names))), key=order)
            print("# sample: seed %d, count %d" % (args.seed, len(names)))
        for name in names:
            print(name)
        return 0

    if args.name not in mutants:
        print("mutate-music-gen: %s: no such mutant in the current sources" % args.name, file=sys.stderr)
        return 3
    f, index, start, end, replacement = mutants[args.name]
    path = os.path.join(ROOT, f)
    lines = open(path).read().split("\n")
    before = lines[index]
    lines[index] = before[:start] + replacement + before[end:]
    with open(path, "w") as out:
        out.write("\n".join(lines))
    print(lines[index].strip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
