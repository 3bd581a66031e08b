#!/usr/bin/env python3
"""velmora-cli ld against plink1.9 --r2 dprime-signed, pair by pair.

usage: compare_plink.py OURS.jsonl PLINK.ld
Joins the pairs by their two IDs and checks r2 and signed D' to PLINK's
printed digits (6 significant; a value on a rounding boundary may print
either way). Prints the counts, every pair that one side lacks (up to 10)
and every disagreement (up to 20); exit status 1 on any.
"""
import json
import math
import sys


def printed_as(value, text):
    shown = float(text)
    if math.isnan(shown):
        return math.isnan(value)
    half = 0.5 * 10 ** (math.floor(math.log10(abs(shown))) - 5) if shown != 0 else 1e-12
    return abs(value - shown) <= half * (1 + 1e-9) + 1e-15


def main():
    ours = {}
    for line in open(sys.argv[1]):
        o = json.loads(line)
        ours[(o['id_a'], o['id_b'])] = o
    plink = {}
    with open(sys.argv[2]) as f:
        next(f)
        for line in f:
            fields = line.split()
            plink[(fields[2], fields[5])] = (fields[6], fields[7])
    only_ours = [k for k in ours if k not in plink]
    only_plink = [k for k in plink if k not in ours]
    bad = []
    for key, (r2, dprime) in plink.items():
        o = ours.get(key)
        if o is None:
            continue
        if not printed_as(o['r2'], r2) or not printed_as(o['dprime'], dprime):
            bad.append((key, o['r2'], o['dprime'], r2, dprime))
    print('pairs: ours %d, plink %d, both %d; disagreeing %d; only ours %d, only plink %d'
          % (len(ours), len(plink), len(ours) - len(only_ours), len(bad), len(only_ours), len(only_plink)))
    for key in only_ours[:10]:
        print('only ours', key)
    for key in only_plink[:10]:
        print('only plink', key, plink[key])
    for b in bad[:20]:
        print('disagree', b)
    return 1 if bad or only_ours or only_plink else 0


if __name__ == '__main__':
    sys.exit(main())
