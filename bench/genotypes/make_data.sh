#!/usr/bin/env bash
# The genotype benchmark's files: 50,000 SNPs of 1,000 cases and 1,000
# controls simulated by PLINK 1.9 (alleles drawn from A, C, G, T so that
# they are valid VCF bases; 1% missing calls), as PLINK 1 .bed/.bim/.fam,
# exported to VCF by PLINK 2, bgzipped and indexed, and as indexed BCF; and
# the .fam's phenotypes by VCF sample name for --pheno.
# usage: make_data.sh [DIR]   (default /tmp/velmora-genotypes)
set -euo pipefail
dir=${1:-/tmp/velmora-genotypes}
mkdir -p "$dir"
cd "$dir"
echo "50000 snp 0.05 0.95 1 1" > sim.sim
plink1.9 --simulate sim.sim acgt --simulate-ncases 1000 --simulate-ncontrols 1000 \
    --simulate-missing 0.01 --seed 7 --make-bed --out sim > /dev/null
plink2 --bfile sim --export vcf bgz --out sim > /dev/null
tabix -f -p vcf sim.vcf.gz
bcftools view -Ob -o sim.bcf sim.vcf.gz
bcftools index -f sim.bcf
awk '{print $1 "_" $2, $6}' sim.fam > sim.pheno
ls -l "$dir"
