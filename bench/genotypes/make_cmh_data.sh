#!/usr/bin/env bash
# The stratified benchmark's files: 100,000 SNPs (98,000 common, 2,000 rare,
# so that some strata are monomorphic) of 1,000 cases and 1,000 controls
# simulated by PLINK 1.9, with four strata of different case shares and
# allele frequencies (cmh_shift.R), as PLINK 1 .bed/.bim/.fam and as an
# indexed .vcf.gz exported by PLINK 2; the strata by sample name
# (sim.strata) and as PLINK's cluster file (sim.clst), the phenotypes by
# sample name (sim.pheno).
# usage: make_cmh_data.sh [DIR]   (default /tmp/velmora-cmh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-/tmp/velmora-cmh}
mkdir -p "$dir"
cd "$dir"
printf '98000 snp 0.05 0.95 1 1\n2000 rare 0.002 0.02 1 1\n' > sim.sim
plink1.9 --simulate sim.sim acgt --simulate-ncases 1000 --simulate-ncontrols 1000 \
    --simulate-missing 0.01 --seed 11 --make-bed --out sim > /dev/null
Rscript "$here/cmh_shift.R" sim 12
plink2 --bfile sim --export vcf bgz --out sim > /dev/null
tabix -f -p vcf sim.vcf.gz
ls -l "$dir"
