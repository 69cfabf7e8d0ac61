#!/usr/bin/env python3
"""Generates the trees of scripts/heavy.sh.

  heavy-tree.py million DIR   10,000 directories (100 x 99 + 100) of 99 files each: 1,000,000 entries
  heavy-tree.py flat DIR      one directory of 200,000 files

Most files are empty; one in ten holds a few bytes drawn from a small set, so that the
duplicate finder has real groups to form. A finished tree is marked with DIR.complete (beside it, not inside) and
is not made again.
"""
import os
import sys


def content(n):
    return b"" if n % 10 else b"payload %d\n" % (n % 997)


def write(path, data):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    if data:
        os.write(fd, data)
    os.close(fd)


def million(root):
    n = 0
    for top in range(100):
        top_dir = os.path.join(root, "d%03d" % top)
        dirs = [top_dir] + [os.path.join(top_dir, "s%02d" % s) for s in range(99)]
        for d in dirs:
            os.makedirs(d, exist_ok=True)
            for f in range(99):
                write(os.path.join(d, "f%02d.dat" % f), content(n))
                n += 1
    return n


def flat(root):
    os.makedirs(root, exist_ok=True)
    for f in range(200000):
        write(os.path.join(root, "file%06d.bin" % f), content(f))
    return 200000


def main():
    kind, root = sys.argv[1], sys.argv[2]
    marker = os.path.normpath(root) + ".complete"
    if os.path.exists(marker):
        return
    count = {"million": million, "flat": flat}[kind](root)
    write(marker, b"%d files\n" % count)


if __name__ == "__main__":
    main()
