#!/usr/bin/env bash
# The Monte Carlo speed goals through the product, velmora-cli with its
# defaults (every core): each of the 48 Fisher suite tables at B = 100,000,
# and Guo and Thompson's nine-allele table at B = 1,000,000. Then, one
# thread at B = 1,000,000, the tables of tables/ beside R (r_speed.R, when
# Rscript is installed): 10 x 10 chi-squared, Fisher 2 x 30 and the
# nine-allele table. Prints one line per run: seconds, then the JSON line.
#
# usage: bench/montecarlo/cli_speed.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
cli=$build/cli/velmora-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/montecarlo/write_fisher_suite" > "$work/suite.tsv"
# One file per table, so that each run is timed alone.
awk -v dir="$work" 'BEGIN { n = 1 } /^$/ { n++; next } { print > (dir "/table" n ".tsv") }' "$work/suite.tsv"
for i in $(seq 1 48); do
    start=$(date +%s.%N)
    line=$("$cli" fisher --monte-carlo 100000 --seed 20240601 "$work/table$i.tsv")
    end=$(date +%s.%N)
    printf '%6.2f s  suite #%-2d %s\n' "$(echo "$end - $start" | bc)" "$i" "$line"
done

# Guo and Thompson (1992), nine alleles, n = 8297: the upper triangle.
tables=$root/bench/montecarlo/tables
start=$(date +%s.%N)
line=$("$cli" hwe --monte-carlo 1000000 --seed 20240601 "$tables/guo-thompson.tsv")
end=$(date +%s.%N)
printf '%6.2f s  Guo-Thompson %s\n' "$(echo "$end - $start" | bc)" "$line"

# One thread, B = 1,000,000, beside R on the same tables.
for run in "chi2 chi2-10x10.tsv" "fisher fisher-2x30.tsv" "hwe guo-thompson.tsv"; do
    set -- $run
    start=$(date +%s.%N)
    line=$("$cli" "$1" --monte-carlo 1000000 --seed 20240601 --threads 1 "$tables/$2")
    end=$(date +%s.%N)
    printf '%6.2f s  one thread, %s %s\n' "$(echo "$end - $start" | bc)" "$2" "$line"
done
if command -v Rscript > /dev/null; then
    Rscript "$root/bench/montecarlo/r_speed.R" "$tables"
fi
