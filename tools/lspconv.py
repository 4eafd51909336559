#!/usr/bin/env python3
"""Converts Vexilon source files between their stored form and UTF-8.

Source files (.LSP) are UTF-16LE with a byte-order mark and CR LF line ends.
To edit one with ordinary tools, decode it, edit the UTF-8 copy, and encode
it back over the original:

    tools/lspconv.py decode src/vexsys.LSP /tmp/vexsys.txt
    (edit /tmp/vexsys.txt)
    tools/lspconv.py encode /tmp/vexsys.txt src/vexsys.LSP

encode refuses text that the loader would refuse or misread: a tab (tabs are
symbol characters, not blanks), or a top-level expression longer than 3,998
units once comments are dropped and line ends become blanks, each ' counting
7 more for the "(quote " and ")" it grows into.

    tools/lspconv.py check FILE.LSP...   checks stored files the same way.
"""
import sys

LIMIT = 3998


def problems(text):
    """The reasons the loader would refuse or misread text (a str)."""
    found = []
    for number, line in enumerate(text.split("\n"), 1):
        if "\t" in line:
            found.append(f"line {number}: tab character")
    # Walk the text as the loader does: comments dropped, line ends kept as
    # one blank each, expressions measured from "(" to the balancing ")".
    depth = 0
    size = 0
    quotes = 0
    start = 0
    line = 1
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\n":
            line += 1
        if c == ";":
            while i < len(text) and text[i] != "\n":
                i += 1
            if depth > 0:
                size += 1  # the line end after a comment becomes a blank
                line += 1
            else:
                line += 1
            i += 1
            continue
        if depth == 0:
            if c == "(":
                depth, size, quotes, start = 1, 1, 0, line
            elif c == ")":
                found.append(f"line {line}: ')' outside an expression")
        else:
            size += 2 if c == "\n" else 1  # CR and LF are one blank each
            if c == "(":
                depth += 1
            elif c == "'":
                quotes += 1
            elif c == ")":
                depth -= 1
                if depth == 0 and size + 7 * quotes > LIMIT:
                    grown = f", {size + 7 * quotes} with its {quotes} " \
                            f"quotes expanded" if quotes else ""
                    found.append(f"line {start}: expression of {size} units"
                                 f"{grown} (at most {LIMIT})")
        i += 1
    if depth > 0:
        found.append(f"line {start}: expression not closed")
    return found


def decode(data):
    if not data.startswith(b"\xff\xfe"):
        raise SystemExit("not a UTF-16LE file with a byte-order mark")
    return data[2:].decode("utf-16-le").replace("\r\n", "\n")


def encode(text):
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    return b"\xff\xfe" + text.encode("utf-16-le")


def main(argv):
    if len(argv) == 4 and argv[1] == "decode":
        with open(argv[2], "rb") as f:
            text = decode(f.read())
        with open(argv[3], "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        return 0
    if len(argv) == 4 and argv[1] == "encode":
        with open(argv[2], encoding="utf-8") as f:
            text = f.read()
        bad = problems(text)
        if bad:
            for b in bad:
                print(f"{argv[2]}: {b}", file=sys.stderr)
            return 1
        with open(argv[3], "wb") as f:
            f.write(encode(text))
        return 0
    if len(argv) >= 3 and argv[1] == "check":
        status = 0
        for name in argv[2:]:
            with open(name, "rb") as f:
                for b in problems(decode(f.read())):
                    print(f"{name}: {b}", file=sys.stderr)
                    status = 1
        return status
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
