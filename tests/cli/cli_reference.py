#!/usr/bin/env python3
"""Reference P-values for the velmora-cli tests, from exact rational
arithmetic (standard library only): complete enumeration of every table
with the observed margins. Prints the values that test_cli.cpp expects."""
from fractions import Fraction as F
from itertools import product
from math import comb, factorial, sqrt, erfc


def chi2_df1(table, yates):
    n = sum(map(sum, table))
    rows = [sum(r) for r in table]
    cols = [sum(c) for c in zip(*table)]
    x2 = 0.0
    for i in range(2):
        for j in range(2):
            e = rows[i] * cols[j] / n
            x2 += max(abs(table[i][j] - e) - (0.5 if yates else 0.0), 0.0) ** 2 / e
    return erfc(sqrt(x2 / 2))  # upper tail of chi-squared with one degree of freedom


def fisher(x1, x2):
    cols = [a + b for a, b in zip(x1, x2)]
    n1, n = sum(x1), sum(cols)

    def prob(x):
        p = F(1)
        for xi, ci in zip(x, cols):
            p *= comb(ci, xi)
        return p / comb(n, n1)

    observed = prob(x1)
    return sum(prob(x) for x in product(*[range(c + 1) for c in cols])
               if sum(x) == n1 and prob(x) <= observed)


def hardy_weinberg_2(n11, n12, n22):
    n = n11 + n12 + n22
    a, b = 2 * n11 + n12, 2 * n22 + n12

    def prob(h):
        return F(factorial(n) * 2 ** h * factorial(a) * factorial(b),
                 factorial((a - h) // 2) * factorial(h) * factorial((b - h) // 2) * factorial(2 * n))

    observed = prob(n12)
    return sum(prob(h) for h in range(a % 2, min(a, b) + 1, 2) if prob(h) <= observed)


def interaction(a, b):
    """Two M x N tables; the checkerboard family with the cell totals fixed."""
    m, n = len(a), len(a[0])
    t = [[a[i][j] + b[i][j] for j in range(n)] for i in range(m)]
    row_a = [sum(r) for r in a]
    row_b = [sum(r) for r in b]
    col_a = [sum(c) for c in zip(*a)]
    col_b = [sum(c) for c in zip(*b)]

    def weight(s):
        w = F(1)
        for i in range(m):
            for j in range(n):
                d = s if (i + j) % 2 == 0 else -s
                x, y = a[i][j] + d, b[i][j] - d
                if x < 0 or x > t[i][j] or x > col_a[j] or x > row_a[i] or y > col_b[j] or y > row_b[i]:
                    return None
                w *= comb(t[i][j], x)
        return w

    observed = weight(0)
    total = counting = F(0)
    for step in (-1, 1):
        s = 0 if step == -1 else 1
        while True:
            w = weight(s)
            if w is None:
                break
            total += w
            if w <= observed:
                counting += w
            s += step
    return counting / total


print("chi2 10,20/30,40", chi2_df1([[10, 20], [30, 40]], False))
print("chi2 yates", chi2_df1([[10, 20], [30, 40]], True))
print("fisher 5,0,1/0,5,4", float(fisher([5, 0, 1], [0, 5, 4])))
print("hwe 10,5/-,3", float(hardy_weinberg_2(10, 5, 3)))
print("hwe 3,20/-,2", float(hardy_weinberg_2(3, 20, 2)))
print("interact", float(interaction([[10, 5], [3, 12]], [[6, 8], [9, 4]])))
