#!/usr/bin/env python3
"""Writes the demo NFO as code page 437 bytes with DOS line ends.

    to_cp437.py demo.nfo.utf8.txt ../demo.nfo

The UTF-8 file is the one to edit; the byte file is what the release carries and
what the installer's viewer shows. Every character must exist in code page 437.
"""
import sys


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as f:
        text = f.read()
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    try:
        data = "".join(line + "\r\n" for line in lines).encode("cp437")
    except UnicodeEncodeError as e:
        print(f"line {text[:e.start].count(chr(10)) + 1}: {text[e.start]!r} is not in code page 437",
              file=sys.stderr)
        return 1
    with open(sys.argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
