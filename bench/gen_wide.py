#!/usr/bin/env python3
"""Writes a wide delimited file and its description from the 7-column benchmark file.

    python3 bench/gen_wide.py COLUMNS SOURCE DESC OUTPUT OUTPUT_DESC

The values of SOURCE (bench/gen_delimited.py's file, read through DESC, bench/delimited.fyk)
taken in their order, whole source rows side by side and cut at COLUMNS values, so that column i
holds the values of the source's column i mod 7, with its type; rows are written until the file
is as large as SOURCE.
OUTPUT_DESC is DESC with COLUMNS columns, column i a copy of the source's column i mod 7 named
c<i>. The same arguments always give the same bytes.
"""
import os
import re
import sys


def fields(line):
    """The fields of one line split at ";" outside double quotes (quotes kept)."""
    out, start, quoted = [], 0, False
    for i, c in enumerate(line):
        if c == '"':
            quoted = not quoted
        elif c == ";" and not quoted:
            out.append(line[start:i])
            start = i + 1
    out.append(line[start:])
    return out


def main():
    if len(sys.argv) != 6:
        sys.exit("usage: gen_wide.py COLUMNS SOURCE DESC OUTPUT OUTPUT_DESC")
    columns, source, desc, output, output_desc = int(sys.argv[1]), *sys.argv[2:]
    target = os.path.getsize(source)

    text = open(desc, encoding="utf-8", newline="").read()
    blocks = re.findall(r"\t\tBEGIN Column\r?\n.*?\t\tEND Column\r?\n", text, re.S)
    if len(blocks) != 7:
        sys.exit(f"gen_wide.py: {desc} has {len(blocks)} columns, 7 expected")
    first, last = text.index(blocks[0]), text.index(blocks[-1]) + len(blocks[-1])
    wide = []
    for i in range(columns):
        block = re.sub(r"NAME=[^\r\n]*", f"NAME=c{i}", blocks[i % 7], count=1)
        wide.append(re.sub(r"POSITION=\d+", f"POSITION={i}", block, count=1))
    with open(output_desc, "w", encoding="utf-8", newline="") as out:
        out.write(text[:first] + "".join(wide) + text[last:])

    written = 0
    with open(source, encoding="ascii", newline="") as src, \
            open(output, "w", encoding="ascii", newline="") as out:
        header = ";".join(f"c{i}" for i in range(columns)) + "\r\n"
        out.write(header)
        written += len(header)
        next(src)  # the source's header

        def source_line():
            line = next(src, None)
            if line is None:  # the source again from its first row
                src.seek(0)
                next(src)
                line = next(src)
            return line.rstrip("\r\n")

        while written < target:
            # Whole source rows side by side, the last one cut: column i is source column i % 7.
            row = []
            while len(row) < columns:
                row.extend(fields(source_line()))
            text_row = ";".join(row[:columns]) + "\r\n"
            out.write(text_row)
            written += len(text_row)
    return 0


if __name__ == "__main__":
    sys.exit(main())
