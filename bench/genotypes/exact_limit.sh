#!/usr/bin/env bash
# How closely velmora-cli hwe keeps --exact-limit on many-allele loci: the
# loci of adegenet's microbov and nancycats and five of 28 alleles among 20
# samples (data/, made by many_alleles_data.R). Each variant alone, on one
# thread, all under the machine's build lock: its CPU time (user + system) with
# --exact-limit LIMIT less that with --exact-limit 0 (the same Monte Carlo
# estimate, and the start) is the time its exact attempt took. A variant
# over its limit should take about LIMIT seconds there, or less when its
# memory share ran out first (MAX_MEMORY=MB gives --max-memory MB, to see the
# time limit alone).
#
# usage: [MAX_MEMORY=MB] bench/genotypes/exact_limit.sh [LIMIT [BUILD_DIR]]   (default 2, build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
limit=${1:-2}
cli=${2:-$root/build/release}/cli/velmora-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The lock for the whole measurement: no build runs beside it.
lock=${VELMORA_LOCK:-/work/build.lock}
if [ -e "$lock" ]; then exec 9> "$lock"; flock 9; fi
cpu() {  # CPU seconds of one run, its method
    local out
    out=$(/usr/bin/time -f '%U %S' -o "$work/time" "$cli" hwe --threads 1 --seed 1 --exact-limit "$1" \
        ${MAX_MEMORY:+--max-memory "$MAX_MEMORY"} "$2")
    echo "$(awk '{print $1 + $2}' "$work/time") $(grep -o '"method":"[a-z-]*"' <<< "$out" | cut -d'"' -f4)"
}
printf '%-28s %3s %4s %12s %8s %8s %8s\n' variant K n method cpu base exact
for file in "$here"/data/microbov.vcf.gz "$here"/data/nancycats.vcf.gz "$here"/data/alleles28.vcf; do
    name=$(basename "$file"); name=${name%%.*}
    zcat -f "$file" | grep '^#' > "$work/header"
    zcat -f "$file" | grep -v '^#' | while IFS= read -r line; do
        id=$(cut -f3 <<< "$line")
        K=$(( $(cut -f5 <<< "$line" | tr ',' '\n' | wc -l) + 1 ))
        n=$(cut -f10- <<< "$line" | tr '\t' '\n' | grep -cv '^\./\.$' || true)
        { cat "$work/header"; echo "$line"; } > "$work/one.vcf"
        read -r seconds method < <(cpu "$limit" "$work/one.vcf")
        read -r base _ < <(cpu 0 "$work/one.vcf")
        printf '%-28s %3d %4d %12s %8.2f %8.2f %8.2f\n' "$name:$id" "$K" "$n" "$method" "$seconds" "$base" \
            "$(echo "$seconds - $base" | bc)"
    done
done | tee "$work/rows"
awk -v limit="$limit" '$4 == "monte-carlo" { r = $7 / limit; if (min == "" || r < min) min = r; if (r > max) max = r; c++ }
    END { printf "over the limit: %d variants, exact attempt %.2f to %.2f times the limit\n", c, min, max }' "$work/rows"
