"""Prints the runs of casetable.cpp: every character of the Basic Multilingual Plane that
has a capital of its own in Unicode 3.2, where each is the other's case, as runs of
(first, last, step, difference to the capital).

    python3 tools/medium-check/casetable.py
"""
import unicodedata

OLD = unicodedata.ucd_3_2_0


def pairs():
    for code in range(0x10000):
        small = chr(code)
        capital = small.upper()
        if OLD.category(small) == "Cn" or len(capital) != 1 or capital == small:
            continue
        if OLD.category(capital) != "Cn" and capital.lower() == small:
            yield code, ord(capital) - code


def runs():
    found = []
    for code, difference in pairs():
        if found:
            first, last, step, delta = found[-1]
            gap = code - last
            if delta == difference and (gap == step or (step == 0 and gap in (1, 2))):
                found[-1] = (first, code, gap, delta)
                continue
        found.append((code, code, 0, difference))
    return found


for first, last, step, delta in runs():
    print("    {0x%04X, 0x%04X, %d, %d}," % (first, last, max(step, 1), delta))
