#!/usr/bin/env python3
"""PLINK 1.9's two-locus figures for the test's table of pairs.

Simulates two samples of 40 individuals with LD (bench/ld/simulate_ld.py):
one like a real population, and one of two founders and much mutation,
where cubics with three roots in the valid range are common enough. Picks
200 pairs (from the first, 40 whose cubic has two or three roots and 100 at
random; from the second, 60 with three roots or else two), runs
`plink1.9 --ld A B` and `--r2 dprime-signed` on each, and writes one line
per pair to data/plink_pairs.txt:

    n00 n01 ... n22 | r2 dprime | f11 f12 f21 f22 ; f11 f12 f21 f22 ; ...

with the counts by ALT copies (A down, B across), the --r2 figures and the
haplotype frequencies of every solution --ld lists, in its order and its
printed digits (1 = REF, 2 = ALT; --keep-allele-order makes A1 the ALT).
"""
import os
import random
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SIMULATE = os.path.join(HERE, '..', '..', '..', 'bench', 'ld', 'simulate_ld.py')


def read_vcf(path):
    snps = []
    for line in open(path):
        if line.startswith('#'):
            continue
        f = line.rstrip('\n').split('\t')
        calls = [-1 if '.' in c else int(c[0]) + int(c[2]) for c in f[9:]]
        snps.append((f[2], f[3], f[4], calls))
    return snps


def table(a, b):
    t = [0] * 9
    for x, y in zip(a, b):
        if x >= 0 and y >= 0:
            t[3 * x + y] += 1
    return t


def root_count(t):
    n = [t[0:3], t[3:6], t[6:9]]
    c11 = 2 * n[0][0] + n[0][1] + n[1][0]
    c12 = 2 * n[0][2] + n[0][1] + n[1][2]
    c21 = 2 * n[2][0] + n[1][0] + n[2][1]
    m = n[1][1]
    n2 = 2 * sum(t)
    a, b = c11 + c12 + m, c11 + c21 + m
    if a in (0, n2) or b in (0, n2) or m == 0:
        return 1
    g = lambda y: (y - c11) * (2 * y * y + (n2 - 2 * a - 2 * b) * y + a * b) - m * y * (y + n2 - a - b)
    lo, hi = max(0, a + b - n2), min(a, b)
    count, prev = 0, None
    for i in range(4001):
        v = g(lo + (hi - lo) * i / 4000.0)
        if v == 0 or (prev is not None and prev != 0 and (prev < 0) != (v < 0)):
            count += 1
        prev = v
    return count


def plink_pair(prefix, a, b):
    """The --ld solutions and --r2 figures of one pair, as a line."""
    t = table(a[3], b[3])
    run = lambda *extra: subprocess.run(['plink1.9', '--bfile', prefix, '--keep-allele-order', '--out',
                                         prefix + 'o', '--snps', a[0] + ',' + b[0]] + list(extra),
                                        capture_output=True, text=True)
    run('--ld', a[0], b[0])
    log = open(prefix + 'o.log').read().split('--ld ' + a[0] + ' ' + b[0] + ':')[-1]
    blocks = re.split(r'Solution #\d+:', log)
    solutions = []
    for block in blocks[1:] if len(blocks) > 1 else blocks:
        freqs = dict(re.findall(r'^\s+([ACGT]{2})\s+(-?[0-9.e-]+)\s', block, re.M))
        # REF is a[1] / b[1]; ALT a[2] / b[2].
        solutions.append([freqs[x + y] for x in (a[1], a[2]) for y in (b[1], b[2])])
    run('--r2', 'dprime-signed', '--ld-window-r2', '0')
    fields = open(prefix + 'o.ld').read().splitlines()[1].split()
    return '%s | %s %s | %s' % (' '.join(map(str, t)), fields[6], fields[7],
                                ' ; '.join(' '.join(s) for s in solutions))


def main():
    work = tempfile.mkdtemp()
    rng = random.Random(11)
    out = []
    # A sample like a real one, for pairs at random; and one of two founders
    # and much mutation, where cubics with three roots are common enough.
    for name, extra, multi_wanted, others in (
            ('real', ['--founders', '12', '--mutation', '0.02'], 40, 100),
            ('mixed', ['--founders', '2', '--mutation', '0.15', '--snps', '400'], 60, 0)):
        prefix = os.path.join(work, name)
        subprocess.run([sys.executable, SIMULATE, prefix, '--snps', '120', '--samples', '40', '--missing', '0.02',
                        '--spacing', '2000', '--seed', '7'] + extra, check=True)
        snps = read_vcf(prefix + '.vcf')
        pairs = [(i, j) for i in range(len(snps)) for j in range(i + 1, min(len(snps), i + 30))]
        counted = {p: root_count(table(snps[p[0]][3], snps[p[1]][3])) for p in pairs}
        three = [p for p in pairs if counted[p] == 3]
        two = [p for p in pairs if counted[p] == 2]
        rng.shuffle(two)
        chosen = (three + two)[:multi_wanted]
        rest = [p for p in pairs if p not in chosen]
        rng.shuffle(rest)
        for i, j in chosen + rest[:others]:
            out.append(plink_pair(prefix, snps[i], snps[j]))
    with open(os.path.join(HERE, 'data', 'plink_pairs.txt'), 'w') as f:
        f.write('# plink1.9 --ld and --r2 dprime-signed on pairs of a simulated sample (plink_reference.py)\n')
        f.write('\n'.join(out) + '\n')
    print(len(out), 'pairs,', sum(1 for l in out if l.count(';') >= 2), 'with three solutions,',
          sum(1 for l in out if l.count(';') == 1), 'with two')


if __name__ == '__main__':
    main()
