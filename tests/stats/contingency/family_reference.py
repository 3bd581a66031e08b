#!/usr/bin/env python3
"""Writes familyreference.h: exact P-values of Hardy-Weinberg and
gene-interaction tables with very large counts, as the reference of the
engines' sums at sizes where log factorials reach 10^9.

Every table's log weight is computed on its own from mpmath's loggamma at 40
significant digits (no recurrence, no ratios), and the sums run over every
table whose weight is within e^-130 of the heaviest, far below what a double
can show. A table counts when its log weight is at most the observed one's
+ 1e-10, the engines' tie tolerance.

Two alleles: the heterozygote count h determines the table. Three alleles:
the two copies of the third allele are placed in each of the four possible
ways, and each leaves a two-allele family. Interaction: the checkerboard
shift s of table A determines the table.

Run from this folder: python3 family_reference.py > familyreference.h
"""

import mpmath
from mpmath import mpf, loggamma, log, exp

mpmath.mp.dps = 40
LN2 = log(2)
TIE = mpf('1e-10')
CUTOFF = 130


def lf(n):
    return loggamma(n + 1)


def walk_family(logw, lo, hi, start, step):
    """Log weights of members start, start +- step, ... within [lo, hi],
    leaving each side once it falls, CUTOFF below both its running top and
    the start (members lighter than the start may count)."""
    out = {start: logw(start)}
    for direction in (step, -step):
        top = out[start]
        k = start + direction
        while lo <= k <= hi:
            v = logw(k)
            out[k] = v
            top = max(top, v)
            if v < min(top, out[start]) - CUTOFF and v < out[k - direction]:
                break
            k += direction
    return out


def p_value(logs, observed):
    top = max(logs)
    total = mpf(0)
    counting = mpf(0)
    for v in logs:
        w = exp(v - top)
        total += w
        if v <= observed + TIE:
            counting += w
    return counting / total


def hw_two(hom_a, het, hom_b):
    a = 2 * hom_a + het
    b = 2 * hom_b + het

    def logw(h):
        return h * LN2 - lf((a - h) // 2) - lf(h) - lf((b - h) // 2)

    lo = a % 2
    hi = min(a, b)
    if (hi - lo) % 2:
        hi -= 1
    family = walk_family(logw, lo, hi, het, 2)
    return p_value(list(family.values()), family[het])


def hw_three(n00, n01, n11, n02, n12, n22):
    """Third allele with exactly two copies."""
    assert n02 + n12 + 2 * n22 == 2
    a = 2 * n00 + n01 + n02
    b = 2 * n11 + n01 + n12
    logs = []
    observed = None
    for (x02, x12, x22) in ((2, 0, 0), (1, 1, 0), (0, 2, 0), (0, 0, 1)):
        ra = a - x02
        rb = b - x12
        base = (x02 + x12) * LN2 - lf(x02) - lf(x12) - lf(x22)

        def logw(h, ra=ra, rb=rb, base=base):
            return base + h * LN2 - lf((ra - h) // 2) - lf(h) - lf((rb - h) // 2)

        lo = ra % 2
        hi = min(ra, rb)
        if (hi - lo) % 2:
            hi -= 1
        if hi < lo:
            continue
        start = n01 if (x02, x12, x22) == (n02, n12, n22) else lo + 2 * ((hi - lo) // 4)
        family = walk_family(logw, lo, hi, start, 2)
        if (x02, x12, x22) == (n02, n12, n22):
            observed = family[n01]
        logs.extend(family.values())
    return p_value(logs, observed)


def interaction(m, n, a, b):
    t = [a[p] + b[p] for p in range(m * n)]
    row_a = [sum(a[i * n:(i + 1) * n]) for i in range(m)]
    row_b = [sum(b[i * n:(i + 1) * n]) for i in range(m)]
    col_a = [sum(a[i * n + j] for i in range(m)) for j in range(n)]
    col_b = [sum(b[i * n + j] for i in range(m)) for j in range(n)]

    def cells(s):
        for i in range(m):
            for j in range(n):
                p = i * n + j
                d = s if (i + j) % 2 == 0 else -s
                yield i, j, p, a[p] + d, b[p] - d

    def feasible(s):
        return all(0 <= x <= t[p] and x <= col_a[j] and x <= row_a[i] and y <= col_b[j] and y <= row_b[i]
                   for i, j, p, x, y in cells(s))

    def logw(s):
        return sum(lf(t[p]) - lf(x) - lf(t[p] - x) for i, j, p, x, y in cells(s))

    lo = 0
    while feasible(lo - 1):
        lo -= 1
        if lo < -10**9:
            raise ValueError
    hi = 0
    big = max(t)
    # The feasible shifts form an interval; find its ends by bisection.
    lo_in, lo_out = 0, -big - 1
    while lo_out + 1 < lo_in:
        mid = (lo_in + lo_out) // 2
        if feasible(mid):
            lo_in = mid
        else:
            lo_out = mid
    hi_in, hi_out = 0, big + 1
    while hi_in + 1 < hi_out:
        mid = (hi_in + hi_out) // 2
        if feasible(mid):
            hi_in = mid
        else:
            hi_out = mid
    family = walk_family(logw, lo_in, hi_in, 0, 1)
    return p_value(list(family.values()), family[0])


HW_TWO = [
    (1000000, 2001000, 1000000),
    (1500000, 3001000, 1500000),
    (1000000, 2000500, 1000500),
    (250, 500, 250),
    (30, 120, 50),
    (2400, 4800, 2700),
    (90000, 420000, 490000),
    (95000, 410000, 495000),
    (9000000, 42000000, 49000000),
    (1000000, 18000000, 81000000),
    (1010000, 17980000, 81010000),
    (1003000, 17994000, 81003000),
    (25000000, 50000000, 25000000),
    (24990000, 50010000, 25000000),
    (24996000, 50008000, 24996000),
    (7, 52000, 99947993),
    (15, 51984, 99948001),
]

HW_THREE = [
    (1000000, 2001000, 1000000, 1, 1, 0),
    (250000, 500000, 250000, 0, 0, 1),
    (250000, 499000, 251000, 2, 0, 0),
]

INTERACTION = [
    (2, 2, [30000000] * 4, [30000000] * 4),
    (2, 2, [30000000, 29990000, 30004000, 30000000], [30000000, 30010000, 29996000, 30000000]),
    (2, 2, [30000000, 29996000, 30001000, 30000000], [30000000, 30002000, 29999000, 30003000]),
    (2, 3, [1000000, 2000000, 1500000, 999000, 2001000, 1500500],
     [1000200, 1999000, 1500000, 1000000, 2000000, 1499000]),
    (2, 2, [1000, 2000, 1500, 999], [1001, 1999, 1500, 1001]),
]


def main():
    print('// Generated by family_reference.py (mpmath loggamma, 40 digits): exact')
    print('// P-values of two- and three-allele Hardy-Weinberg tables and of')
    print('// gene-interaction tables with very large counts.')
    print('#pragma once')
    print()
    print('struct HwTwoAlleleReference')
    print('{')
    print('    long long homA;')
    print('    long long het;')
    print('    long long homB;')
    print('    double p;')
    print('};')
    print()
    print('inline constexpr HwTwoAlleleReference kHwTwoAlleleReferences[] = {')
    for hom_a, het, hom_b in HW_TWO:
        p = hw_two(hom_a, het, hom_b)
        print('    {%d, %d, %d, %s},' % (hom_a, het, hom_b, mpmath.nstr(p, 20, min_fixed=0, max_fixed=0)))
    print('};')
    print()
    print('// Upper triangle of the 3 x 3 table, row-major: n00 n01 n02 / n11 n12 / n22.')
    print('struct HwThreeAlleleReference')
    print('{')
    print('    int table[9];')
    print('    double p;')
    print('};')
    print()
    print('inline constexpr HwThreeAlleleReference kHwThreeAlleleReferences[] = {')
    for n00, n01, n11, n02, n12, n22 in HW_THREE:
        p = hw_three(n00, n01, n11, n02, n12, n22)
        print('    {{%d, %d, %d, 0, %d, %d, 0, 0, %d}, %s},'
              % (n00, n01, n02, n11, n12, n22, mpmath.nstr(p, 20, min_fixed=0, max_fixed=0)))
    print('};')
    print()
    print('struct InteractionReference')
    print('{')
    print('    int M;')
    print('    int N;')
    print('    int a[6];')
    print('    int b[6];')
    print('    double p;')
    print('};')
    print()
    print('inline constexpr InteractionReference kInteractionReferences[] = {')
    for m, n, a, b in INTERACTION:
        p = interaction(m, n, a, b)
        print('    {%d, %d, {%s}, {%s}, %s},' % (m, n, ', '.join(map(str, a)), ', '.join(map(str, b)),
                                                 mpmath.nstr(p, 20, min_fixed=0, max_fixed=0)))
    print('};')


if __name__ == '__main__':
    main()
