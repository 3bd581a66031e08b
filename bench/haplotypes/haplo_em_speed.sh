#!/usr/bin/env bash
# velmora-cli haplotypes against R's haplo.em on one simulated region of 10
# SNPs, 1,000 cases and 1,000 controls (simulate_region.py): our whole run
# with its defaults and --permutations 0 (three fits of 20 starts, the odds
# ratios and scores, the file read) against haplo.em with n.try = 20 (one
# fit), timed inside R. RUNS rounds (default 5), each round one run of
# each side by turns under the machine's build lock, the load before each,
# then the medians and their ratio.
#
# usage: [RUNS=N] bench/haplotypes/haplo_em_speed.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
cli=$build/cli/velmora-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 "$root/bench/haplotypes/simulate_region.py" region --snps 10 --cases 1000 --controls 1000
snps=rs1,rs2,rs3,rs4,rs5,rs6,rs7,rs8,rs9,rs10
cat > em.R <<'REOF'
suppressMessages(library(haplo.stats))
d <- read.table("region.geno", colClasses = c("integer", "character"))
g <- t(sapply(strsplit(d[, 2], ""), as.integer))
g[g == 9] <- NA
geno <- matrix(0, nrow(g), 2 * ncol(g))
for (j in seq_len(ncol(g))) {
  geno[, 2 * j - 1] <- ifelse(is.na(g[, j]), 0, ifelse(g[, j] == 2, 2, 1))
  geno[, 2 * j] <- ifelse(is.na(g[, j]), 0, ifelse(g[, j] >= 1, 2, 1))
}
t <- system.time(e <- haplo.em(geno, control = haplo.em.control(n.try = 20)))
cat(sprintf("%.4f %.6f\n", t[["elapsed"]], e$lnlike))
REOF

lock=${VELMORA_LOCK:-/work/build.lock}
run() { if [ -e "$lock" ]; then flock "$lock" "$@"; else "$@"; fi; }
seconds() { local s e; s=$(date +%s.%N); "$@" > /dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }
round() {
    local ours theirs
    ours=$(seconds "$cli" haplotypes region.vcf --snps "$snps" --pheno region.pheno --permutations 0)
    theirs=$(Rscript em.R | cut -d' ' -f1)
    echo "$ours $theirs"
}
export -f seconds round
export cli snps
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
printf '%-34s %10s %10s\n' load velmora haplo.em
: > rounds.txt
for _ in $(seq "${RUNS:-5}"); do
    load=$(uptime | sed 's/.*load average: //')
    figures=$(run bash -c round)
    echo "$figures" >> rounds.txt
    printf '%-34s %10.3f %10.3f\n' "$load" $figures
done
ours=$(cut -d' ' -f1 rounds.txt | median)
theirs=$(cut -d' ' -f2 rounds.txt | median)
printf 'median: velmora-cli haplotypes %.3f s, haplo.em n.try = 20 %.3f s: %.1f times faster\n' \
    "$ours" "$theirs" "$(echo "$theirs / $ours" | bc -l)"
echo "log-likelihood: velmora $("$cli" haplotypes region.vcf --snps "$snps" --pheno region.pheno \
    --permutations 0 2>/dev/null | python3 -c 'import json,sys; print(json.load(sys.stdin)["loglik"])'), haplo.em $(Rscript em.R | cut -d' ' -f2)"
