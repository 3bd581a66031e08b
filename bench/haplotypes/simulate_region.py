#!/usr/bin/env python3
"""A simulated candidate region for the haplotype benchmarks and examples.

usage: simulate_region.py OUT_PREFIX [--snps L] [--cases N] [--controls N]
                          [--missing F] [--seed S]

Writes OUT_PREFIX.vcf (one record per SNP, IDs rs1.., 100 bp apart on
chromosome 7), OUT_PREFIX.pheno (sample, 2 for a case, 1 for a control) and
OUT_PREFIX.geno (the same genotypes as copies of ALT, 9 for missing, one
row per individual, for R). Haplotypes are copies of a few founder
haplotypes with rare changes, drawn with unequal frequencies, so that the
SNPs are in LD; cases carry the second founder twice as often.
"""
import argparse
import random


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("prefix")
    parser.add_argument("--snps", type=int, default=10)
    parser.add_argument("--cases", type=int, default=1000)
    parser.add_argument("--controls", type=int, default=1000)
    parser.add_argument("--missing", type=float, default=0.01)
    parser.add_argument("--seed", type=int, default=35)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    loci = args.snps
    founders = [[rng.randint(0, 1) for _ in range(loci)] for _ in range(12)]
    weights = sorted((rng.expovariate(1.0) for _ in founders), reverse=True)
    case_weights = list(weights)
    case_weights[1] *= 2.0

    def haplotype(w):
        h = list(rng.choices(founders, weights=w)[0])
        return [a ^ (rng.random() < 0.004) for a in h]

    people = []
    for status, count, w in ((2, args.cases, case_weights), (1, args.controls, weights)):
        for _ in range(count):
            a, b = haplotype(w), haplotype(w)
            people.append((status, [None if rng.random() < args.missing else x + y for x, y in zip(a, b)]))
    names = ["ind%d" % (i + 1) for i in range(len(people))]
    with open(args.prefix + ".vcf", "w") as out:
        out.write("##fileformat=VCFv4.2\n##contig=<ID=7>\n")
        out.write('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n')
        out.write("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + "\t".join(names) + "\n")
        calls = {None: "./.", 0: "0/0", 1: "0/1", 2: "1/1"}
        for j in range(loci):
            out.write("7\t%d\trs%d\tA\tG\t.\tPASS\t.\tGT\t" % (117559000 + 100 * j, j + 1))
            out.write("\t".join(calls[g[j]] for _, g in people) + "\n")
    with open(args.prefix + ".pheno", "w") as out:
        for name, (status, _) in zip(names, people):
            out.write("%s\t%d\n" % (name, status))
    with open(args.prefix + ".geno", "w") as out:
        for status, g in people:
            out.write("%d %s\n" % (status, "".join("9" if x is None else str(x) for x in g)))


if __name__ == "__main__":
    main()
