#!/usr/bin/env python3
"""Genotypes with real linkage disequilibrium, as a VCF and a PLINK .bed.

Each individual's two haplotypes are mosaics of a few founder haplotypes:
walking along the chromosome, a haplotype keeps copying its founder and
switches to another with probability 1 - exp(-distance / scale), and a copied
allele mutates with a small probability. Nearby SNPs therefore share their
founder and are in LD that decays with distance, as in a real population.

usage: simulate_ld.py OUT_PREFIX --snps N --samples M [--spacing BP]
       [--scale BP] [--founders F] [--missing RATE] [--phased] [--seed S]
writes OUT_PREFIX.vcf and OUT_PREFIX.bed/.bim/.fam (REF = A2, ALT = A1).
"""
import argparse
import math
import random


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('prefix')
    parser.add_argument('--snps', type=int, required=True)
    parser.add_argument('--samples', type=int, required=True)
    parser.add_argument('--spacing', type=float, default=5000.0, help='mean bp between SNPs')
    parser.add_argument('--scale', type=float, default=50000.0, help='bp over which founders switch')
    parser.add_argument('--founders', type=int, default=12)
    parser.add_argument('--mutation', type=float, default=0.02)
    parser.add_argument('--missing', type=float, default=0.0)
    parser.add_argument('--phased', action='store_true')
    parser.add_argument('--chrom', default='1')
    parser.add_argument('--seed', type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)

    haplotypes = 2 * args.samples
    founder_of = [rng.randrange(args.founders) for _ in range(haplotypes)]
    pos = 0
    bases = 'ACGT'
    fam = open(args.prefix + '.fam', 'w')
    for s in range(args.samples):
        fam.write('f%d i%d 0 0 0 -9\n' % (s, s))
    fam.close()
    vcf = open(args.prefix + '.vcf', 'w')
    vcf.write('##fileformat=VCFv4.2\n##contig=<ID=%s>\n' % args.chrom)
    vcf.write('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n')
    vcf.write('#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t'
              + '\t'.join('f%d_i%d' % (s, s) for s in range(args.samples)) + '\n')
    bim = open(args.prefix + '.bim', 'w')
    bed = open(args.prefix + '.bed', 'wb')
    bed.write(bytes([0x6c, 0x1b, 0x01]))
    sep = '|' if args.phased else '/'
    # .bed codes by ALT copies; 1 is missing.
    bed_code = {0: 3, 1: 2, 2: 0}
    for v in range(args.snps):
        step = max(1, int(rng.expovariate(1.0 / args.spacing))) if v else 1 + rng.randrange(1000)
        pos += step
        switch = 1.0 - math.exp(-step / args.scale) if v else 0.0
        for h in range(haplotypes):
            if rng.random() < switch:
                founder_of[h] = rng.randrange(args.founders)
        freq = rng.uniform(0.05, 0.95)
        founders = [1 if rng.random() < freq else 0 for _ in range(args.founders)]
        if not any(founders):
            founders[rng.randrange(args.founders)] = 1
        alleles = [founders[founder_of[h]] ^ (1 if rng.random() < args.mutation else 0)
                   for h in range(haplotypes)]
        ref = rng.choice(bases)
        alt = rng.choice([b for b in bases if b != ref])
        sid = 'rs%d' % (v + 1)
        calls = []
        codes = []
        for s in range(args.samples):
            a, b = alleles[2 * s], alleles[2 * s + 1]
            if args.missing and rng.random() < args.missing:
                calls.append('.' + sep + '.')
                codes.append(1)
            else:
                calls.append('%d%s%d' % (a, sep, b))
                codes.append(bed_code[a + b])
        vcf.write('%s\t%d\t%s\t%s\t%s\t.\t.\t.\tGT\t%s\n' % (args.chrom, pos, sid, ref, alt, '\t'.join(calls)))
        bim.write('%s\t%s\t0\t%d\t%s\t%s\n' % (args.chrom, sid, pos, alt, ref))
        packed = bytearray((args.samples + 3) // 4)
        for s, c in enumerate(codes):
            packed[s >> 2] |= c << (2 * (s & 3))
        bed.write(packed)
    vcf.close()
    bim.close()
    bed.close()


if __name__ == '__main__':
    main()
