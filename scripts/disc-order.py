#!/usr/bin/env python3
"""Lays out a copy-mode disc in the order setup reads it, and proves the written image.

    disc-order.py weights MEDIUM   xorriso commands (for -options_from_file) that give every
                                   file of the laid-out MEDIUM a sort weight, highest first
    disc-order.py check IMAGE      reads IMAGE's Joliet records, walks them as setup does
                                   and prints the read plan in one line

The order: setup.exe and brindle.exe, which Windows loads from the disc, then the copy of
the veltrane folder. The copy's scan takes each folder's sub-folders in listing order,
each one's whole tree before the next, and only then the folder's own files, in listing
order. Windows lists a disc's folder in the order of its Joliet records, which the writer
sorts by the UTF-16 code units of the names (so "Zeta.hlp" before "ab.txt", "ab-c.txt"
before "ab.txt"). The check does not trust that rule: it reads the records as written.

Exit codes: 0 done; 1 a name too long for Joliet (weights) or an image that does not read
in one pass (check); 2 usage or an unreadable medium or image.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import medium  # noqa: E402

SECTOR = 2048
# A single-speed drive reads 75 sectors of 2,048 bytes a second (the CD-ROM standard's
# data rate, 150 KiB/s); each speed multiplies it. Average access times of drives of each
# speed, as listed in BENCHMARKS.md with their source.
SPEEDS = ((1, 0.400), (4, 0.150), (8, 0.100))
SINGLE_SPEED_RATE = 75 * SECTOR
# The Joliet standard that Windows 95 and NT 4 read holds names of at most 64 characters.
JOLIET_NAME_LIMIT = 64
PROGRAMS = ("setup.exe", "brindle.exe")
SUITE = "veltrane"
HIDDEN = 0x01  # the record's existence flag: Windows shows the entry as hidden


def fail(code, text):
    sys.stderr.write("disc-order: %s\n" % text)
    sys.exit(code)


def joliet_key(name):
    return name.encode("utf-16-be", "surrogatepass")


def code_units(name):
    return len(joliet_key(name)) // 2


def setup_order(folder, relative, too_long):
    """The files below `folder` in the order the copy reads them; names longer than Joliet
    holds are collected in `too_long`."""
    names = sorted(os.listdir(folder), key=joliet_key)
    for name in names:
        if code_units(name) > JOLIET_NAME_LIMIT:
            too_long.append((relative + name, code_units(name)))
    paths = [os.path.join(folder, name) for name in names]
    order = []
    for name, path in zip(names, paths):
        if os.path.isdir(path):
            order += setup_order(path, relative + name + "/", too_long)
    for name, path in zip(names, paths):
        if not os.path.isdir(path):
            order.append(relative + name)
    return order


def weights(laid_out):
    too_long = []
    order = list(PROGRAMS) + setup_order(os.path.join(laid_out, SUITE), SUITE + "/", too_long)
    if too_long:
        for path, length in too_long:
            sys.stderr.write("make-medium: %s: error: a name of %d characters; the Joliet "
                             "names that Windows 95 and NT 4 read hold at most %d\n"
                             % (path, length, JOLIET_NAME_LIMIT))
        sys.exit(1)
    out = sys.stdout.buffer
    # Paths are taken as they are: no wildcard in a name may match another file.
    out.write(b"-iso_rr_pattern off\n")
    for rank, path in enumerate(order):
        if '"' in path:
            fail(2, "%s: a name with a double quote" % path)
        out.write(b'-find "/%s" -exec sort_weight %d --\n'
                  % (os.fsencode(path), len(order) - rank))


def read_records(image):
    """The Joliet records of every folder, read from the image as data (a name is never
    taken for anything else): a map from the folder's first block to its records (kind,
    size, block, flags, name) in the order written, and the root folder's block."""
    try:
        return medium.joliet(image)
    except (medium.Refused, OSError) as error:
        fail(2, "cannot read the Joliet tree of %s: %s" % (image, error))


def walk(folders, block, path):
    """The files of the folder at `block` as the copy reads them: (path, size, block)."""
    records = [r for r in folders.get(block, []) if not r[3] & HIDDEN]
    order = []
    for kind, _, start, _, name in records:
        if kind == "d":
            order += walk(folders, start, path + name + "/")
    for kind, size, start, _, name in records:
        if kind != "d":
            order.append((path + name, size, start))
    return order


def seconds(value):
    return "%.*f s" % (0 if value >= 10 else 1 if value >= 1 else 2, value)


def check(image):
    folders, root = read_records(image)
    top = {r[4]: r for r in folders[root]}
    order = []
    for name in PROGRAMS:
        if name not in top or top[name][0] == "d":
            fail(1, "%s: no %s at the top" % (image, name))
        order.append((name, top[name][1], top[name][2]))
    if SUITE not in top or top[SUITE][0] != "d":
        fail(1, "%s: no %s folder at the top" % (image, SUITE))
    order += walk(folders, top[SUITE][2], SUITE + "/")

    total = sum(size for _, size, _ in order)
    moves = []
    end = None
    previous = None
    for path, size, start in order:
        if size == 0:
            continue  # nothing to read
        if end is not None and start != end:
            moves.append((path, start, previous, end))
        end = start + math.ceil(size / SECTOR)
        previous = path
    back = sum(1 for _, start, _, end in moves if start < end)
    streaming = [total / (speed * SINGLE_SPEED_RATE) for speed, _ in SPEEDS]
    modelled = [stream + len(moves) * seek for stream, (_, seek) in zip(streaming, SPEEDS)]
    print("read plan: %d files, %s bytes, %d head movements (%d back, %d forward); "
          "modelled %s against streaming %s"
          % (len(order), "{:,}".format(total), len(moves), back, len(moves) - back,
             ", ".join("%dx %s" % (speed, seconds(t)) for (speed, _), t in zip(SPEEDS, modelled)),
             ", ".join(seconds(t) for t in streaming)))
    if moves:
        for path, start, before, end in moves[:10]:
            sys.stderr.write("disc-order: %s starts at block %d, the read before it (%s) "
                             "ends at block %d\n" % (path, start, before, end))
        fail(1, "%s does not read in one pass: %d head movements" % (image, len(moves)))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("weights", "check"):
        fail(2, "usage: disc-order.py weights MEDIUM | check IMAGE")
    try:
        if sys.argv[1] == "weights":
            weights(sys.argv[2])
        else:
            check(sys.argv[2])
    except Exception as error:  # whatever the input, one line and no traceback
        fail(2, "%s: %s" % (sys.argv[2], error))


if __name__ == "__main__":
    main()
