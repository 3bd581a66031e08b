#!/usr/bin/env python3
"""Exact references for the two-locus estimate, by brute force.

For each hand-made 3 x 3 table: the roots of the likelihood's stationary
condition (the EM fixed point for the double heterozygotes) found by
scanning the whole valid range of f11 on a grid of 40,000 points in exact
rational arithmetic and bisecting each sign change to 1e-30; their
log-likelihoods to 30 digits (decimal logarithms); and the 95% likelihood
bounds of D' from the exact likelihood (a rational number) at D' = 0, 0.01,
..., 1 on the side of D's sign: the first grid point where the running sum
reaches 5% (95%) of the total. Prints the rows of the test's table.
"""
from decimal import Decimal, getcontext
from fractions import Fraction

getcontext().prec = 50

TABLES = [
    ('no double heterozygotes', [10, 5, 2, 4, 0, 3, 1, 2, 8]),
    ('no double heterozygotes, D < 0', [1, 4, 9, 3, 0, 6, 7, 2, 1]),
    ('all double heterozygotes', [0, 0, 0, 0, 20, 0, 0, 0, 0]),
    ('D\' = -1, no 22 haplotype', [9, 6, 1, 6, 4, 0, 1, 0, 0]),
    ('D\' = 1, no 12 haplotype', [9, 0, 0, 6, 4, 0, 1, 6, 1]),
    ('D\' = -1, no 11 haplotype', [0, 0, 5, 0, 10, 5, 5, 5, 5]),
    ('three roots', [2, 1, 6, 0, 34, 1, 1, 7, 8]),
    ('three roots, a tie', [3, 1, 0, 1, 20, 2, 3, 1, 0]),
    ('boundary root and a maximum', [0, 0, 0, 0, 10, 5, 0, 5, 20]),
    ('weak LD', [3, 5, 2, 5, 9, 6, 3, 8, 4]),
    ('large table', [812, 650, 131, 601, 902, 210, 118, 230, 99]),
]


def setup(t):
    n = [t[0:3], t[3:6], t[6:9]]
    c11 = 2 * n[0][0] + n[0][1] + n[1][0]
    c12 = 2 * n[0][2] + n[0][1] + n[1][2]
    c21 = 2 * n[2][0] + n[1][0] + n[2][1]
    c22 = 2 * n[2][2] + n[1][2] + n[2][1]
    m = n[1][1]
    singles = n[0][1] + n[1][0] + n[1][2] + n[2][1]
    n2 = 2 * sum(t)
    a = c11 + c12 + m
    b = c11 + c21 + m
    return c11, c12, c21, c22, m, singles, n2, a, b


def stationary(t):
    c11, c12, c21, c22, m, singles, n2, a, b = setup(t)

    def fixed_point_gap(y):
        # EM: y' = c11 + m * y f22 / (y f22 + f12 f21); its fixed points
        # times the (positive) denominator.
        f22 = n2 - a - b + y
        mix = y * f22 + (a - y) * (b - y)
        return (y - c11) * mix - m * y * f22

    lo, hi = max(0, a + b - n2), min(a, b)
    steps = 40000
    roots = []
    prev = None
    for i in range(steps + 1):
        y = Fraction(lo) + Fraction(hi - lo) * i / steps
        v = fixed_point_gap(y)
        if v == 0:
            roots.append(y)
        elif prev is not None and prev[1] != 0 and (prev[1] < 0) != (v < 0):
            u, w = prev[0], y
            while w - u > Fraction(1, 10 ** 30):
                mid = (u + w) / 2
                if (fixed_point_gap(mid) < 0) == (fixed_point_gap(u) < 0):
                    u = mid
                else:
                    w = mid
            roots.append((u + w) / 2)
        prev = (y, v)
    return roots


def loglik(t, y):
    c11, c12, c21, c22, m, singles, n2, a, b = setup(t)
    f = [Fraction(y) / n2, Fraction(a - y) / n2, Fraction(b - y) / n2, Fraction(n2 - a - b + y) / n2]
    total = Decimal(singles + m) * Decimal(2).ln()
    for c, fv in zip((c11, c12, c21, c22), f):
        if c:
            if fv <= 0:
                return None
            total += c * (Decimal(fv.numerator) / Decimal(fv.denominator)).ln()
    if m:
        mix = f[0] * f[3] + f[1] * f[2]
        total += m * (Decimal(mix.numerator) / Decimal(mix.denominator)).ln()
    return total


def likelihood(t, y):
    c11, c12, c21, c22, m, singles, n2, a, b = setup(t)
    f = [Fraction(y) / n2, Fraction(a - y) / n2, Fraction(b - y) / n2, Fraction(n2 - a - b + y) / n2]
    value = Fraction(1)
    for c, fv in zip((c11, c12, c21, c22), f):
        if c:
            if fv <= 0:
                return Fraction(0)
            value *= fv ** c
    if m:
        value *= (f[0] * f[3] + f[1] * f[2]) ** m
    return value


def bounds(t, best):
    c11, c12, c21, c22, m, singles, n2, a, b = setup(t)
    y0 = Fraction(a * b, n2)
    positive = best * n2 - a * b >= 0
    dmax = min(a * (n2 - b), (n2 - a) * b) if positive else min(a * b, (n2 - a) * (n2 - b))
    step = Fraction(dmax, n2) * (1 if positive else -1)
    weights = [likelihood(t, y0 + step * i / 100) for i in range(101)]
    total = sum(weights)
    running = Fraction(0)
    low = high = None
    for i, w in enumerate(weights):
        running += w
        if low is None and running >= total / 20:
            low = i
        if high is None and running >= total * 19 / 20:
            high = i
    if positive:
        return Fraction(low, 100), Fraction(high, 100)
    return -Fraction(high, 100), -Fraction(low, 100)


def main():
    for name, t in TABLES:
        c11, c12, c21, c22, m, singles, n2, a, b = setup(t)
        roots = stationary(t)
        scored = [(loglik(t, y), y) for y in roots]
        top = max(s for s, _ in scored if s is not None)
        # The maximum first; ties to the smallest f11; then by likelihood.
        first = min(y for s, y in scored if s is not None and s >= top - Decimal('1e-20'))
        rest = sorted((p for p in scored if p[1] != first), key=lambda p: -p[0] if p[0] is not None else 1e99)
        ordered = [(top, first)] + rest
        best = first
        d = Fraction(best * n2 - a * b, n2 * n2)
        r2 = (best * n2 - a * b) ** 2 / Fraction(a * (n2 - a) * b * (n2 - b))
        dmax = min(a * (n2 - b), (n2 - a) * b) if d >= 0 else min(a * b, (n2 - a) * (n2 - b))
        dprime = Fraction(best * n2 - a * b, dmax)
        lod = (top - loglik(t, Fraction(a * b, n2))) / Decimal(10).ln()
        low, high = bounds(t, best)
        roots_text = ', '.join('{%s, %s}' % ('%.20f' % float(Fraction(y, n2)) if False else
                                            str(Decimal((y / n2).numerator) / Decimal((y / n2).denominator))[:24],
                                            str(s)[:24] if s is not None else '-inf')
                               for s, y in ordered)
        print('    {"%s", {%s}, {%s}, %s, %s, %s, %s, %s, %s},' % (
            name, ', '.join(map(str, t)), roots_text,
            '%.17g' % float(d), '%.17g' % float(dprime), '%.17g' % float(r2), str(lod)[:24],
            '%.2f' % float(low), '%.2f' % float(high)))


if __name__ == '__main__':
    main()
