#!/usr/bin/env bash
# The Monte Carlo speed goals through the product, velmora-cli with its
# defaults (every core): each of the 48 Fisher suite tables at B = 100,000,
# and Guo and Thompson's nine-allele table at B = 1,000,000. Prints one line
# per run: seconds, then the JSON line.
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
printf '%s\n' \
    $'1236\t120\t18\t982\t32\t2582\t6\t2\t115' \
    $'\t3\t0\t55\t1\t132\t0\t0\t5' \
    $'\t\t0\t7\t0\t20\t0\t0\t2' \
    $'\t\t\t249\t12\t1162\t4\t0\t53' \
    $'\t\t\t\t0\t29\t0\t0\t1' \
    $'\t\t\t\t\t1312\t4\t0\t149' \
    $'\t\t\t\t\t\t0\t0\t0' \
    $'\t\t\t\t\t\t\t0\t0' \
    $'\t\t\t\t\t\t\t\t4' > "$work/guo-thompson.tsv"
start=$(date +%s.%N)
line=$("$cli" hwe --monte-carlo 1000000 --seed 20240601 "$work/guo-thompson.tsv")
end=$(date +%s.%N)
printf '%6.2f s  Guo-Thompson %s\n' "$(echo "$end - $start" | bc)" "$line"
