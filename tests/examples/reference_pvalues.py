#!/usr/bin/env python3
"""Recomputes the P-value of every example in the README's table from the
*.sp file itself, without any of the application's code: exact enumeration
with fractions for the Fisher, Hardy-Weinberg and gene-interaction tests,
closed-form chi-squared tails (math.erfc and a finite sum) for the
chi-squared test and the levels of the risk clusterization; for two-locus
LD, which has no P-value, D' at the likelihood's maximum found by a scan of
the haplotype frequency and golden-section search; for haplotypes, EM over
every haplotype at once (no insertion, no trimming) from equal and random
starts, and the likelihood-ratio test of cases and controls against all.

    reference_pvalues.py README.md EXAMPLES_DIR

Exit status 0 when every stated value agrees with the recomputed one to
within half a unit of its sixth significant digit.
"""
import itertools
import math
import os
import re
import struct
import sys
from fractions import Fraction

MAGIC = 0x7F51C883


def read_sheet(path):
    """{(row, column): formula text} of a *.sp document."""
    data = open(path, "rb").read()
    (magic,) = struct.unpack_from(">I", data, 0)
    if magic != MAGIC:
        raise ValueError(path + ": not a spreadsheet document")
    cells, pos = {}, 4
    while pos < len(data):
        row, column, length = struct.unpack_from(">HHI", data, pos)
        pos += 8
        text = "" if length == 0xFFFFFFFF else data[pos:pos + length].decode("utf-16-be")
        pos += 0 if length == 0xFFFFFFFF else length
        cells[(row, column)] = text
    return cells


def cell_index(name):
    return int(name[1:]) - 1, ord(name[0]) - ord("A")


class Formula:
    """+ - * / and parentheses over numbers and cell names."""

    TOKEN = re.compile(r"\s*(?:(\d+(?:\.\d*)?)|([A-Z][0-9]{1,3})|(.))")

    def __init__(self, cells, text):
        self.cells = cells
        self.tokens = [m.groups() for m in self.TOKEN.finditer(text) if any(m.groups())]
        self.pos = 0

    def value(self):
        result = self.sum()
        if self.pos != len(self.tokens):
            raise ValueError("trailing input")
        return result

    def peek(self):
        return self.tokens[self.pos][2] if self.pos < len(self.tokens) else None

    def sum(self):
        result = self.product()
        while self.peek() in ("+", "-"):
            op = self.peek()
            self.pos += 1
            right = self.product()
            result = result + right if op == "+" else result - right
        return result

    def product(self):
        result = self.factor()
        while self.peek() in ("*", "/"):
            op = self.peek()
            self.pos += 1
            right = self.factor()
            result = result * right if op == "*" else result / right
        return result

    def factor(self):
        number, ref, op = self.tokens[self.pos]
        self.pos += 1
        if op == "-":
            return -self.factor()
        if op == "(":
            result = self.sum()
            self.pos += 1
            return result
        if number is not None:
            return Fraction(number)
        return evaluate(self.cells, cell_index(ref))


def evaluate(cells, position):
    text = cells.get(position, "")
    if text.startswith("="):
        return Formula(cells, text[1:]).value()
    return Fraction(text) if text else Fraction(0)


def block_counts(cells, block):
    first, last = block.split(":")
    top, left = cell_index(first)
    bottom, right = cell_index(last)
    table = []
    for r in range(top, bottom + 1):
        row = []
        for c in range(left, right + 1):
            v = evaluate(cells, (r, c))
            if v.denominator != 1:
                raise ValueError("not a count: %s" % v)
            row.append(int(v))
        table.append(row)
    return table, top, left


def chi2_tail(x, df):
    """Upper tail of the chi-squared distribution, integer df."""
    h = x / 2.0
    if df % 2 == 0:
        return math.exp(-h) * sum(h ** k / math.factorial(k) for k in range(df // 2))
    tail = math.erfc(math.sqrt(h))
    term = math.exp(-h) * math.sqrt(h) / math.gamma(1.5)
    for k in range(1, (df - 1) // 2 + 1):
        tail += term
        term *= h / (k + 0.5)
    return tail


def chi_squared(table, yates):
    rows = [sum(r) for r in table]
    cols = [sum(c) for c in zip(*table)]
    n = sum(rows)
    y = 0.5 if yates else 0.0
    x2 = sum(max(abs(o - rows[i] * cols[j] / n) - y, 0.0) ** 2 / (rows[i] * cols[j] / n)
             for i, r in enumerate(table) for j, o in enumerate(r))
    return chi2_tail(x2, (len(rows) - 1) * (len(cols) - 1))


def fisher(table):
    if len(table) != 2:
        table = [list(c) for c in zip(*table)]
    x1 = table[0]
    totals = [a + b for a, b in zip(*table)]
    n1 = sum(x1)

    def weight(xs):
        return math.prod(math.comb(c, x) for c, x in zip(totals, xs))

    observed = weight(x1)
    counted = whole = 0
    for xs in itertools.product(*(range(c + 1) for c in totals)):
        if sum(xs) == n1:
            w = weight(xs)
            whole += w
            if w <= observed:
                counted += w
    return float(Fraction(counted, whole))


def hardy_weinberg(table):
    k = len(table)
    alleles = [2 * table[i][i] + sum(table[i][j] for j in range(k) if j != i)
               + sum(table[j][i] for j in range(k) if j != i) for i in range(k)]
    pairs = [(i, j) for i in range(k) for j in range(i + 1, k)]

    def weight(het, hom):
        w = Fraction(2 ** sum(het.values()))
        for v in list(het.values()) + hom:
            w /= math.factorial(v)
        return w

    def tables():
        for choice in itertools.product(*(range(min(alleles[i], alleles[j]) + 1) for i, j in pairs)):
            het = dict(zip(pairs, choice))
            hom = []
            for a in range(k):
                left = alleles[a] - sum(v for (i, j), v in het.items() if a in (i, j))
                if left < 0 or left % 2:
                    break
                hom.append(left // 2)
            else:
                yield het, hom

    observed = weight({p: table[p[0]][p[1]] for p in pairs}, [table[i][i] for i in range(k)])
    counted = whole = Fraction(0)
    for het, hom in tables():
        w = weight(het, hom)
        whole += w
        if w <= observed:
            counted += w
    return float(counted / whole)


def gene_interaction(table):
    m = len(table) // 2
    a, b = table[:m], table[m:]
    n = len(a[0])
    t = [[a[i][j] + b[i][j] for j in range(n)] for i in range(m)]
    row_a = [sum(r) for r in a]
    row_b = [sum(r) for r in b]
    col_a = [sum(a[i][j] for i in range(m)) for j in range(n)]
    col_b = [sum(b[i][j] for i in range(m)) for j in range(n)]

    def weight(s):
        w = 1
        for i in range(m):
            for j in range(n):
                shift = s if (i + j) % 2 == 0 else -s
                x, y = a[i][j] + shift, b[i][j] - shift
                if not (0 <= x <= t[i][j] and x <= col_a[j] and x <= row_a[i]
                        and y <= col_b[j] and y <= row_b[i]):
                    return None
                w *= math.comb(t[i][j], x)
        return w

    observed = weight(0)
    counted = whole = observed
    for step in (-1, 1):
        s = step
        while (w := weight(s)) is not None:
            whole += w
            if w <= observed:
                counted += w
            s += step
    return float(Fraction(counted, whole))


def risk_cluster(table):
    if len(table) != 2:
        table = [list(c) for c in zip(*table)]
    factors = list(zip(table[0], table[1]))
    total_e, total_f = sum(table[0]), sum(table[1])

    def ll(x, y):
        return ((x * math.log(x) if x else 0.0) + (y * math.log(y) if y else 0.0)
                - (x + y) * math.log(x + y))

    def distance(p, q):
        (a, b), (c, d) = p, q
        n = a + b + c + d
        if 0 in (a + b, c + d, a + c, b + d):
            return 0.0
        cells = [(a, (a + b) * (a + c) / n), (b, (a + b) * (b + d) / n),
                 (c, (c + d) * (a + c) / n), (d, (c + d) * (b + d) / n)]
        return sum((o - e) ** 2 / e for o, e in cells)

    # Ascending ratio e/f: the e = 0 factors first, the f = 0 ones last.
    zero_e = sorted((x for x in factors if x[0] == 0), key=lambda x: -x[1])
    both = sorted((x for x in factors if x[0] and x[1]), key=lambda x: x[0] / x[1])
    zero_f = sorted((x for x in factors if x[0] and not x[1]), key=lambda x: x[0])
    clusters = [list(x) for x in zero_e + both + zero_f]

    def level_p():
        g = 2 * (sum(ll(e, f) for e, f in clusters) - ll(total_e, total_f))
        return chi2_tail(max(g, 0.0), len(clusters))

    best = level_p()
    while len(clusters) > 2:
        d = [distance(clusters[i], clusters[i + 1]) for i in range(len(clusters) - 1)]
        i = d.index(min(d))
        clusters[i] = [clusters[i][0] + clusters[i + 1][0], clusters[i][1] + clusters[i + 1][1]]
        del clusters[i + 1]
        best = min(best, level_p())
    return best


def two_locus_dprime(table):
    """D' of the maximum-likelihood haplotype frequencies of a 3 x 3 table
    (rows: copies of the second allele at one locus, columns at the other)."""
    n = [row[:] for row in table]
    total = sum(map(sum, n))
    # Haplotype 11 is allele 1 at both loci; the double heterozygotes n[1][1]
    # are 11/22 or 12/21.
    known = [2 * n[0][0] + n[0][1] + n[1][0], 2 * n[0][2] + n[0][1] + n[1][2],
             2 * n[2][0] + n[1][0] + n[2][1], 2 * n[2][2] + n[1][2] + n[2][1]]
    pa = (known[0] + known[1] + n[1][1]) / (2 * total)
    pb = (known[0] + known[2] + n[1][1]) / (2 * total)

    def loglik(f11):
        f = [f11, pa - f11, pb - f11, 1 - pa - pb + f11]
        if min(f) < 0:
            return -math.inf
        value = 0.0
        for count, freq in zip(known, f):
            if count:
                value += count * math.log(freq) if freq > 0 else -math.inf
        mix = f[0] * f[3] + f[1] * f[2]
        return value + (n[1][1] * math.log(mix) if n[1][1] else 0.0)

    low, high = max(0.0, pa + pb - 1), min(pa, pb)
    steps = 100000
    best = max(range(steps + 1), key=lambda i: loglik(low + (high - low) * i / steps))
    a = low + (high - low) * max(best - 1, 0) / steps
    b = low + (high - low) * min(best + 1, steps) / steps
    golden = (math.sqrt(5) - 1) / 2
    for _ in range(200):
        c, d = b - golden * (b - a), a + golden * (b - a)
        if loglik(c) >= loglik(d):
            b = d
        else:
            a = c
    f11 = (a + b) / 2
    d = f11 - pa * pb
    dmax = min(pa * (1 - pb), (1 - pa) * pb) if d >= 0 else min(pa * pb, (1 - pa) * (1 - pb))
    return d / dmax


def haplotypes(cells, block, rare=0.01):
    """Global P of the haplotype test: genotype columns of allele pairs
    ("A/G", "NA" missing) and the case/control column last."""
    first, last = block.split(":")
    top, left = cell_index(first)
    bottom, right = cell_index(last)
    loci = right - left
    people = []
    alleles = []
    for c in range(left, right):
        seen = {}
        for r in range(top, bottom + 1):
            text = cells.get((r, c), "")
            if "/" in text:
                for a in text.split("/"):
                    seen[a] = seen.get(a, 0) + 1
        # The commoner allele is allele 1; a tie goes to the first seen.
        order = sorted(seen, key=lambda a: -seen[a])
        alleles.append(order)
    for r in range(top, bottom + 1):
        genotype = []
        for j, c in enumerate(range(left, right)):
            text = cells.get((r, c), "")
            genotype.append(None if "/" not in text else sum(a == alleles[j][1] for a in text.split("/")))
        people.append((cells.get((r, right), "") == "case", genotype))

    def pairs(genotype):
        """Every ordered pair of haplotypes (bit j: allele 2 at SNP j)."""
        options = []
        for j, g in enumerate(genotype):
            choices = [(0, 0), (0, 1), (1, 0), (1, 1)] if g is None else \
                      [(0, 0)] if g == 0 else [(1, 1)] if g == 2 else [(0, 1), (1, 0)]
            options.append([(x << j, y << j) for x, y in choices])
        return [(sum(x for x, _ in combo), sum(y for _, y in combo)) for combo in itertools.product(*options)]

    def fit(group):
        lists = [pairs(g) for _, g in group]
        rng = __import__("random").Random(1)
        best = None
        for start in range(10):
            f = [1.0 if start == 0 else rng.random() for _ in range(2 ** loci)]
            f = [v / sum(f) for v in f]
            for _ in range(200000):
                counts = [0.0] * len(f)
                for lst in lists:
                    total = sum(f[a] * f[b] for a, b in lst)
                    for a, b in lst:
                        w = f[a] * f[b] / total
                        counts[a] += w
                        counts[b] += w
                new = [c / (2 * len(lists)) for c in counts]
                change = max(abs(x - y) for x, y in zip(new, f))
                f = new
                if change < 1e-13:
                    break
            lnl = sum(math.log(sum(f[a] * f[b] for a, b in lst)) for lst in lists)
            if best is None or lnl > best[0]:
                best = (lnl, f)
        return best

    typed = [p for p in people if any(g is not None for g in p[1])]
    whole = fit(typed)
    cases = fit([p for p in typed if p[0]])
    controls = fit([p for p in typed if not p[0]])
    lrt = max(0.0, 2 * (cases[0] + controls[0] - whole[0]))
    ranked = sorted(range(2 ** loci), key=lambda h: -whole[1][h])
    listed = [h for i, h in enumerate(ranked) if i == 0 or whole[1][h] >= rare]
    pooled = [h for h in ranked if h not in listed and max(whole[1][h], cases[1][h], controls[1][h]) >= 1e-6]
    df = len(listed) + (1 if pooled else 0) - 1
    return chi2_tail(lrt, df)


def meta_allelic_dl(table):
    """P of the DerSimonian-Laird pooled allelic odds ratio: one row per
    study, cases with 0, 1, 2 copies of the effect allele, then controls;
    0.5 added to each cell of a study with a zero cell."""
    y, v = [], []
    for case0, case1, case2, control0, control1, control2 in (row[:6] for row in table):
        a, b = 2 * case2 + case1, 2 * case0 + case1
        c, d = 2 * control2 + control1, 2 * control0 + control1
        if 0 in (a, b, c, d):
            a, b, c, d = a + 0.5, b + 0.5, c + 0.5, d + 0.5
        y.append(math.log(a * d / (b * c)))
        v.append(1 / a + 1 / b + 1 / c + 1 / d)
    w = [1 / x for x in v]
    fixed = sum(wi * yi for wi, yi in zip(w, y)) / sum(w)
    q = sum(wi * (yi - fixed) ** 2 for wi, yi in zip(w, y))
    tau2 = max(0.0, (q - (len(y) - 1)) / (sum(w) - sum(wi * wi for wi in w) / sum(w)))
    w = [1 / (x + tau2) for x in v]
    pooled = sum(wi * yi for wi, yi in zip(w, y)) / sum(w)
    return math.erfc(abs(pooled) * math.sqrt(sum(w)) / math.sqrt(2))


TESTS = {
    "Chi-squared test": lambda t, options: chi_squared(t, "Yates" in options),
    "Fisher 2xN test": lambda t, options: fisher(t),
    "Exact Hardy-Weinberg": lambda t, options: hardy_weinberg(t),
    "Gene interaction": lambda t, options: gene_interaction(t),
    "Risk cluster": lambda t, options: risk_cluster(t),
    "Two-locus LD": lambda t, options: two_locus_dprime(t),
    "Meta-analysis": lambda t, options: meta_allelic_dl(t),
}

ROW = re.compile(r"^\|.*`(?P<file>[\w.-]+\.sp)`.*\|\s*(?P<test>[^|]+?)\s*\|\s*`(?P<block>[A-Z]\d+:[A-Z]\d+)`"
                 r"\s*\|(?P<options>[^|]*)\|\s*(?P<p>[0-9.e+-]+)\s*\|\s*$")


def main(readme, folder):
    rows = [m for m in map(ROW.match, open(readme, encoding="utf-8").read().splitlines()) if m]
    if not rows:
        print("no example rows in", readme)
        return 1
    unlisted = sorted(set(f for f in os.listdir(folder) if f.endswith(".sp")) - {r["file"] for r in rows})
    if unlisted:
        print("documents without a row in the README:", ", ".join(unlisted))
        return 1
    failures = 0
    for row in rows:
        cells = read_sheet(folder + "/" + row["file"])
        if row["test"] == "Haplotypes":
            p = haplotypes(cells, row["block"])
        else:
            table, _, _ = block_counts(cells, row["block"])
            # Hardy-Weinberg tables are triangular: the empty lower cells read 0.
            p = TESTS[row["test"]](table, row["options"])
        stated = float(row["p"])
        ok = abs(p - stated) <= 5e-6 * abs(p)
        failures += not ok
        print("%-22s %-22s %-8s stated %-12s computed %.10g %s"
              % (row["file"], row["test"], row["block"], row["p"], p, "ok" if ok else "MISMATCH"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
