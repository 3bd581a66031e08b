#!/usr/bin/env python3
"""Compares velmora-cli's P-values on a genotype file with a peer's, variant by variant.

    compare.py bcftools VELMORA.jsonl HWE.txt      # bcftools query -f '%HWE\\n' after +fill-tags -t HWE
    compare.py hardy    VELMORA.jsonl PLINK.hwe    # plink1.9 --hardy: the ALL rows
    compare.py model    VELMORA.jsonl PLINK.model  # plink1.9 --model: ALLELIC and TREND rows

VELMORA.jsonl is what `velmora-cli hwe|models FILE` printed, one JSON line per
variant in file order; the peer's rows are taken in file order too, and each
pair must name the same variant (ID). Rule: bcftools prints P with 6
significant digits of the 32-bit float that INFO/HWE holds, PLINK 1.9 with
4; a P agrees when ours, rounded to as many significant digits ("%.6g",
"%.4g"; for bcftools, of ours as a 32-bit float first), is the number
printed (compared as numbers, so 1 and 1.0 agree). Variants that one side cannot test (ours
"rejected", theirs "NA" or ".") are counted apart and listed. Exit status 0
when every P that both sides give agrees.
"""
import json
import struct
import sys


def ours(path, fields):
    for line in open(path):
        if line.strip():
            d = json.loads(line)
            if d.get('status') == 0:
                yield d['id'], [d[f] if not isinstance(f, tuple) else d[f[0]][f[1]] for f in fields]
            else:
                yield d.get('id'), None


def bcftools_rows(path):
    for line in open(path):
        yield None, [line.strip()]


def plink_rows(path, tests):
    rows = {}
    order = []
    with open(path) as f:
        header = f.readline().split()
        snp, test, p = header.index('SNP'), header.index('TEST'), header.index('P')
        for line in f:
            x = line.split()
            if x[test] in tests:
                if x[snp] not in rows:
                    rows[x[snp]] = {}
                    order.append(x[snp])
                rows[x[snp]][x[test]] = x[p]
    for name in order:
        yield name, [rows[name].get(t, 'NA') for t in tests]


def agrees(value, printed, digits, single):
    if printed in ('NA', '.', ''):
        return None
    if single:
        value = struct.unpack('f', struct.pack('f', value))[0]
    return float('%.*g' % (digits, value)) == float(printed)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ('bcftools', 'hardy', 'model'):
        sys.exit(__doc__)
    kind, mine, theirs = sys.argv[1:]
    if kind == 'bcftools':
        fields, digits, rows = ['p'], 6, bcftools_rows(theirs)
    elif kind == 'hardy':
        fields, digits, rows = ['p'], 4, plink_rows(theirs, ['ALL'])
    else:
        fields, digits = [('allelic', 'p_chi2'), ('trend', 'p_chi2')], 4
        rows = plink_rows(theirs, ['ALLELIC', 'TREND'])
    a, b = list(ours(mine, fields)), list(rows)
    if len(a) != len(b):
        sys.exit(f'{len(a)} velmora lines but {len(b)} peer rows')
    agree, differ, untested = 0, [], []
    for (name, values), (peer_name, printed) in zip(a, b):
        if peer_name is not None and name is not None and name != peer_name:
            sys.exit(f'out of step: {name} against {peer_name}')
        if values is None:
            untested.append((name, 'ours', printed))
            continue
        for v, p in zip(values, printed):
            verdict = agrees(v, p, digits, kind == 'bcftools')
            if verdict is None:
                untested.append((name, 'theirs', p))
            elif verdict:
                agree += 1
            else:
                differ.append((name, v, p))
    print(f'{agree} P-values agree to {digits} digits, {len(differ)} differ, {len(untested)} untested on one side')
    for d in differ[:20]:
        print('differs:', *d)
    for u in untested[:20]:
        print('untested:', *u)
    sys.exit(1 if differ else 0)


if __name__ == '__main__':
    main()
