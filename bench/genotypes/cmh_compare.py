#!/usr/bin/env python3
"""Compares velmora-cli cmh with PLINK 1.9's --bd --within on the same SNPs.

    cmh_compare.py VELMORA_OUTPUT PLINK.cmh

VELMORA_OUTPUT: the JSON lines of `velmora-cli cmh sim.bed --strata
sim.strata`; PLINK.cmh: the report of `plink1.9 --bfile sim --bd --within
sim.clst --ci 0.95` (make_cmh_data.sh's files), one row per SNP in the same
order.

Rule: PLINK prints 4 significant digits. A figure agrees when ours, rounded
to 4 significant digits ("%.4g"), is the number PLINK printed; the tested
allele must be PLINK's A1. Where PLINK prints NA (or inf), what velmora
gives is counted by its reason and listed. Exit status 0 when every figure
both sides give agrees.
"""
import json
import sys

COLUMNS = [('CHISQ', ('cmh', 'chi2')), ('P', ('cmh', 'p')), ('OR', ('mh', 'or')),
           ('L95', ('mh', 'or_ci', 0)), ('U95', ('mh', 'or_ci', 1)),
           ('CHISQ_BD', ('breslow_day', 'chi2')), ('P_BD', ('breslow_day', 'p'))]


def field(line, path):
    value = line
    for key in path:
        if value is None:
            return None
        value = value[key] if isinstance(key, int) else value.get(key)
    return value


def degenerate(line):
    return sum(1 for a, b, c, d in line.get('strata', [])
               if not (a + b > 0 and c + d > 0 and a + c > 0 and b + d > 0))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    ours = [json.loads(line) for line in open(sys.argv[1]) if line.strip()]
    with open(sys.argv[2]) as f:
        header = f.readline().split()
        theirs = [dict(zip(header, line.split())) for line in f if line.strip()]
    if len(ours) != len(theirs):
        sys.exit(f'{len(ours)} velmora lines but {len(theirs)} PLINK rows')
    agree = {name: 0 for name, _ in COLUMNS}
    differ, allele, na = [], [], {}
    for line, row in zip(ours, theirs):
        if line.get('tested_allele') != row['A1']:
            allele.append((row['SNP'], line.get('tested_allele'), row['A1']))
            continue
        for name, path in COLUMNS:
            mine = field(line, path)
            if row[name] in ('NA', 'inf', 'nan'):
                if row['OR'] not in ('NA', 'inf', 'nan') and float(row['OR']) == 1:
                    why = 'MH OR exactly 1'
                elif degenerate(line):
                    why = 'degenerate strata'
                else:
                    why = 'other'
                gives = 'null' if mine is None else '"inf"' if mine == 'inf' else 'a number'
                na.setdefault((name, row[name], why, gives), []).append(row['SNP'])
                continue
            if isinstance(mine, (int, float)) and float('%.4g' % mine) == float(row[name]):
                agree[name] += 1
            else:
                differ.append((row['SNP'], name, mine, row[name]))
    print(f'{len(ours)} SNPs; tested allele differs from PLINK\'s A1 for {len(allele)}')
    for name, _ in COLUMNS:
        print(f'  {name}: {agree[name]} agree to PLINK\'s 4 digits')
    print(f'  {len(differ)} figures differ')
    for snp, name, mine, theirs_ in differ[:50]:
        print(f'    {snp} {name}: velmora {mine!r}, PLINK {theirs_}')
    for key, snps in sorted(na.items()):
        print(f'  PLINK {key[1]} in {key[0]} ({key[2]}): {len(snps)} SNPs, velmora {key[3]}; '
              f'e.g. {" ".join(snps[:5])}')
    for snp, mine, theirs_ in allele[:20]:
        print(f'    {snp}: velmora tests {mine}, PLINK A1 {theirs_}')
    return 0 if not differ and not allele else 1


if __name__ == '__main__':
    sys.exit(main())
