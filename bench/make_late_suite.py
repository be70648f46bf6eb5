"""Writes a suite whose files sort after their folders: 241 files of 1 KiB to 512 KiB in
40 folders (8 at the top, 4 in each), about 20 MB, with the names' case and punctuation
mixed as a real suite's are; the same suite for the same seed.

    python3 make_late_suite.py ROOT [seed]

ROOT must not exist yet. Prints "files folders bytes".
"""
import math
import os
import random
import sys

FILES = 241
SMALLEST = 1 << 10
LARGEST = 512 << 10
TOPS = ("Art", "data", "Fonts", "help", "Lib", "models", "Parts", "kits")
SUBS = ("Big", "a1", "b2", "Cache")
# Every name sorts after the folder names beside it, in code units or in case-blind order.
NAMES = ("readme.txt", "Zeta.hlp", "x.y.dat", "x_y.dat", "wiring.dat", "Notes.txt")


def main():
    root = sys.argv[1]
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 7)
    folders = []
    for top in TOPS:
        folders.append(os.path.join(root, top))
        folders += [os.path.join(root, top, sub) for sub in SUBS]
    os.makedirs(root)
    for folder in folders:
        os.makedirs(folder)
    places = [root] + folders
    log_low, log_high = math.log(SMALLEST), math.log(LARGEST)
    total = 0
    for number in range(FILES):
        place = number % len(places)
        name = NAMES[number // len(places)]
        size = int(math.exp(rng.uniform(log_low, log_high)))
        with open(os.path.join(places[place], name), "wb") as out:
            out.write(rng.randbytes(size))
        total += size
    print(FILES, len(folders), total)


if __name__ == "__main__":
    main()
