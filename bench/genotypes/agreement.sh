#!/usr/bin/env bash
# Agreement of velmora-cli with bcftools and PLINK 1.9 on make_data.sh's
# files: `hwe` on the .vcf.gz, .bcf and .bed against bcftools +fill-tags
# -t HWE (6 digits) and plink1.9 --hardy (4 digits); `models` on the .bed
# and on the VCF with --pheno against plink1.9 --model (ALLELIC and TREND,
# 4 digits), when velmora-cli has `models`. compare.py states the rules.
# usage: agreement.sh [DIR] [VELMORA_CLI]
set -euo pipefail
dir=${1:-/tmp/velmora-genotypes}
cli=${2:-velmora-cli}
here=$(cd "$(dirname "$0")" && pwd)
cd "$dir"
bcftools +fill-tags sim.vcf.gz -Ou -- -t HWE | bcftools query -f '%HWE\n' > peer.bcftools.txt
plink1.9 --bfile sim --hardy --out peer > /dev/null
for f in sim.vcf.gz sim.bcf sim.bed; do
    "$cli" hwe --seed 1 "$f" > "hwe.$f.jsonl"
    echo "hwe $f against bcftools:"; python3 "$here/compare.py" bcftools "hwe.$f.jsonl" peer.bcftools.txt
    echo "hwe $f against PLINK 1.9:"; python3 "$here/compare.py" hardy "hwe.$f.jsonl" peer.hwe
done
if "$cli" --help | grep -q models; then
    plink1.9 --bfile sim --model --out peer > /dev/null
    "$cli" models sim.bed > models.bed.jsonl
    "$cli" models --pheno sim.pheno sim.vcf.gz > models.vcf.jsonl 2> /dev/null
    for f in models.bed.jsonl models.vcf.jsonl; do
        echo "$f against PLINK 1.9 --model:"; python3 "$here/compare.py" model "$f" peer.model
    done
fi
