#!/usr/bin/env python3
"""Compares velmora-cli's P-values with PLINK 1.9's on the same SNPs.

    plink_compare.py hwe    VELMORA_OUTPUT PLINK.hwe
    plink_compare.py fisher VELMORA_OUTPUT PLINK.model

VELMORA_OUTPUT is what `velmora-cli hwe|fisher TABLES` printed (one JSON
line per table, in the order of the SNPs). PLINK's rows are taken in file
order: the ALL rows of --hardy, the GENO rows of --model (Fisher).

Rule: PLINK prints P with 4 significant digits. A P-value agrees when ours,
rounded to 4 significant digits ("%.4g"), is the number PLINK printed. A
table PLINK could not test ("NA") and a table our check refused (status
"rejected", an allele or genotype column without counts) are counted apart
and listed (the check may refuse a table with an empty genotype column, where
PLINK still gives a P). Exit status 0 when every P both sides give agrees.
"""
import json
import sys


def plink_rows(path, test):
    with open(path) as f:
        header = f.readline().split()
        test_col, p_col = header.index('TEST'), header.index('P')
        for line in f:
            fields = line.split()
            if fields and fields[test_col] == test:
                yield fields[1], fields[p_col]


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ('hwe', 'fisher'):
        sys.exit(__doc__)
    kind, ours_path, plink_path = sys.argv[1:]
    ours = [json.loads(line) for line in open(ours_path) if line.strip()]
    theirs = list(plink_rows(plink_path, 'ALL' if kind == 'hwe' else 'GENO'))
    if len(ours) != len(theirs):
        sys.exit(f'{len(ours)} velmora lines but {len(theirs)} PLINK rows')
    agree, differ, no_p = 0, [], []
    for line, (snp, p_text) in zip(ours, theirs):
        p = line.get('p')
        if p_text == 'NA' or p is None:
            no_p.append((line['table'], snp, line.get('status'), line.get('message', ''), p_text, p))
            continue
        if float('%.4g' % p) == float(p_text):
            agree += 1
        else:
            differ.append((line['table'], snp, p, p_text))
    both_none = sum(1 for t in no_p if t[4] == 'NA' and t[5] is None)
    print(f'{kind}: {len(ours)} SNPs; {agree} P-values agree with PLINK to 4 digits, '
          f'{len(differ)} differ; {len(no_p)} without a P ({both_none} on both sides)')
    for table, snp, p, p_text in differ:
        print(f'  differs: table {table} ({snp}): velmora {p!r}, PLINK {p_text}')
    reasons = {}
    for _, _, status, message, p_text, p in no_p:
        key = (f'velmora {status} {message!r}' if p is None else 'velmora has a P') + \
              (', PLINK NA' if p_text == 'NA' else ', PLINK has a P')
        reasons[key] = reasons.get(key, 0) + 1
    for key, count in sorted(reasons.items()):
        print(f'  without a P: {count} tables: {key}')
    for table, snp, status, message, p_text, p in no_p:
        print(f'  no P: table {table} ({snp}): velmora status {status} {message!r} p={p}, PLINK {p_text}')
    return 0 if not differ else 1


if __name__ == '__main__':
    sys.exit(main())
