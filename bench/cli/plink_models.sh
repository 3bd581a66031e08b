#!/usr/bin/env bash
# velmora-cli models against PLINK 1.9 on 100,000 simulated SNPs (1,000
# cases, 1,000 controls): every P of --model, --model fisher and
# --model fisher-midp and the allelic OR of --assoc --ci 0.95 compared to
# PLINK's printed digits (plink_models.py), and the time of velmora-cli
# models with its defaults against PLINK's --model fisher plus --assoc:
# RUNS rounds (default 5), each round one run of each side by turns under
# the machine's build lock, the load before each, then the medians.
#
# usage: [RUNS=N] bench/cli/plink_models.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
cli=$build/cli/velmora-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Nine in ten SNPs without association, one in ten with a per-allele odds
# ratio of 1.5; allele frequencies from 0.02 to 0.98.
printf '90000 null 0.02 0.98 1.00 1.00\n10000 assoc 0.02 0.98 1.5 mult\n' > sim.txt
plink1.9 --simulate sim.txt --simulate-ncases 1000 --simulate-ncontrols 1000 --seed 7 \
    --make-bed --out sim > /dev/null
plink1.9 --bfile sim --model --out chi2 > /dev/null
plink1.9 --bfile sim --model fisher-midp --out midp > /dev/null
python3 "$root/bench/cli/plink_models.py" tables chi2.model tables.tsv

lock=${VELMORA_LOCK:-/work/build.lock}
run() { if [ -e "$lock" ]; then flock "$lock" "$@"; else "$@"; fi; }
seconds() { local s e; s=$(date +%s.%N); "$@" > /dev/null; e=$(date +%s.%N); echo "$e - $s" | bc; }
round() {
    local ours fisher assoc
    ours=$(seconds "$cli" models tables.tsv)
    fisher=$(seconds plink1.9 --bfile sim --model fisher --out fisher)
    assoc=$(seconds plink1.9 --bfile sim --assoc --ci 0.95 --out assoc)
    echo "$ours $fisher $assoc $(echo "$fisher + $assoc" | bc)"
}
export -f seconds round
export cli
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
printf '%-34s %8s %8s %8s %8s\n' load velmora fisher assoc plink
: > rounds.txt
for _ in $(seq "${RUNS:-5}"); do
    load=$(uptime | sed 's/.*load average: //')
    figures=$(run bash -c round)
    echo "$figures" >> rounds.txt
    printf '%-34s %8.2f %8.2f %8.2f %8.2f\n' "$load" $figures
done
printf 'median: velmora-cli models %.2f s, plink1.9 --model fisher + --assoc --ci 0.95 %.2f s\n' \
    "$(cut -d' ' -f1 rounds.txt | median)" "$(cut -d' ' -f4 rounds.txt | median)"

"$cli" models tables.tsv > ours.json || true
python3 "$root/bench/cli/plink_models.py" compare ours.json chi2.model fisher.model midp.model assoc.assoc
