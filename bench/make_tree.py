"""Writes the reference tree of the copy benchmark: 2,500 files of 1 KiB to 4 MiB in 150
folders (three levels deep), about 150 MB, the same tree for the same seed.

    python3 make_tree.py ROOT [seed]

ROOT must not exist yet. Prints "files folders bytes".
"""
import math
import os
import random
import sys

FILES = 2500
BIG_FILES = 10        # of 4 MiB each, the largest the installer is asked to copy
SMALLEST = 1 << 10
LARGEST_SMALL = 256 << 10
BIG = 4 << 20


def folders_below(root):
    """150 folders: 15 at the top, 3 in each of those, 2 in each of the 45 below."""
    folders = []
    for a in range(15):
        top = os.path.join(root, "group%02d" % a)
        folders.append(top)
        for b in range(3):
            middle = os.path.join(top, "part%d" % b)
            folders.append(middle)
            for c in range(2):
                folders.append(os.path.join(middle, "set%d" % c))
    return folders


def main():
    root = sys.argv[1]
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 7)
    folders = folders_below(root)
    os.makedirs(root)
    for folder in folders:
        os.makedirs(folder)
    # Small files spread evenly on a log scale, so that most are small, as in a suite.
    sizes = [BIG] * BIG_FILES
    log_low, log_high = math.log(SMALLEST), math.log(LARGEST_SMALL)
    sizes += [int(math.exp(rng.uniform(log_low, log_high))) for _ in range(FILES - BIG_FILES)]
    rng.shuffle(sizes)
    places = [root] + folders
    total = 0
    for number, size in enumerate(sizes):
        folder = places[number % len(places)]
        with open(os.path.join(folder, "file%04d.dat" % number), "wb") as out:
            out.write(rng.randbytes(size))
        total += size
    print(FILES, len(folders), total)


if __name__ == "__main__":
    main()
