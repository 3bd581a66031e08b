#!/usr/bin/env python3
"""Reference figures for test_riskclust, standard library only.

Distances are exact fractions (so ties are exact ties), G is summed with
math.fsum, and the chi-squared tail uses the closed forms for whole degrees
of freedom. Prints every level's G and P-value, the best level, the
assignment and the ratios of the second table for the cases below.
"""
import math
from fractions import Fraction


def chi2_tail(x, df):
    """Upper tail of chi-squared with whole df (closed forms)."""
    if x <= 0:
        return 1.0
    h = x / 2.0
    if df % 2 == 0:
        term, total = 1.0, 1.0
        for k in range(1, df // 2):
            term *= h / k
            total += term
        return math.exp(-h) * total
    total = math.erfc(math.sqrt(h))
    for k in range(df // 2):
        total += math.exp(-h + (k + 0.5) * math.log(h) - math.lgamma(k + 1.5))
    return total


def ll(x, y):
    t = lambda v: v * math.log(v) if v > 0 else 0.0
    return t(x) + t(y) - t(x + y)


def dist(a, b, c, d):
    r1, r2, c1, c2 = a + b, c + d, a + c, b + d
    if 0 in (r1, r2, c1, c2):
        return Fraction(0)
    n = r1 + r2
    return Fraction(n * (a * d - b * c) ** 2, r1 * r2 * c1 * c2)


def order(factors):
    zero = sorted([i for i, (e, f) in enumerate(factors) if e == 0], key=lambda i: -factors[i][1])
    both = sorted([i for i, (e, f) in enumerate(factors) if e > 0 and f > 0],
                  key=lambda i: Fraction(factors[i][0], factors[i][1]))
    inf = sorted([i for i, (e, f) in enumerate(factors) if e > 0 and f == 0], key=lambda i: factors[i][0])
    return zero + both + inf


def run(factors):
    E = sum(e for e, f in factors)
    F = sum(f for e, f in factors)
    eng = order(factors)
    clusters = [[[p], factors[i][0], factors[i][1]] for p, i in enumerate(eng)]
    k = len(factors)
    levels = {}
    best, bestp, bestassign = None, None, None
    for L in range(k, 1, -1):
        if L < k:
            ds = [dist(clusters[i][1], clusters[i][2], clusters[i + 1][1], clusters[i + 1][2])
                  for i in range(len(clusters) - 1)]
            m = ds.index(min(ds))
            a, b = clusters[m], clusters.pop(m + 1)
            clusters[m] = [a[0] + b[0], a[1] + b[1], a[2] + b[2]]
        g = 2 * math.fsum([ll(c[1], c[2]) for c in clusters] + [-ll(E, F)])
        p = chi2_tail(max(g, 0.0), L)
        levels[L] = (g, p)
        if best is None or p < bestp:
            best, bestp = L, p
            bestassign = [(eng[pos], n + 1) for n, c in enumerate(clusters) for pos in c[0]]
    rows = []
    sums = {}
    for i, c in bestassign:
        s = sums.setdefault(c, [0, 0])
        s[0] += factors[i][0]
        s[1] += factors[i][1]
    for c in range(1, best + 1):
        e, f = sums[c]
        ep = e if e > 0 else -0.5
        fr = (E / F) * f / ep
        orr = None
        if c < best:
            en, fn = sums[c + 1]
            fp = fn if fn > 0 else (-0.5 if ep > 0 else 0.5)
            orr = (en * f) / (ep * fp)
        rows.append((c, e, f, fr, orr))
    return eng, levels, best, bestassign, rows


CASES = {
    "worked": [(10, 30), (0, 7), (25, 15), (12, 28)],
    "three": [(5, 10), (10, 5), (20, 10)],
    "zeros": [(3, 0), (4, 9), (0, 5), (6, 0), (0, 2), (8, 8)],
    "two": [(1, 9), (2, 18), (30, 10), (60, 20)],
    "proportional": [(1, 2), (2, 4), (3, 6)],
    "large": [(0, 1000000), (1000000, 0), (1000000, 0)],
}

if __name__ == "__main__":
    for name, factors in CASES.items():
        eng, levels, best, assign, rows = run(factors)
        print(name, "order", eng, "best", best, "assign", assign)
        for L in sorted(levels, reverse=True):
            print("  L=%d G=%.17g P=%.17g P6=%s" % (L, levels[L][0], levels[L][1], "%.6g" % levels[L][1]))
        for r in rows:
            print("  cluster", r[0], r[1], r[2], "FR %.6g" % r[3], "OR", None if r[4] is None else "%.6g" % r[4])
