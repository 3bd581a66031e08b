#!/usr/bin/env bash
# The chi-squared 10 x 10 table (n = 5,000) at B = 1,000,000, R's
# chisq.test(simulate.p.value = TRUE) and velmora-cli chi2 --monte-carlo on
# 1 and 2 threads, in turn, ROUNDS times, each run under the build lock so
# that no build disturbs it; the load average beside every figure. Prints
# one line per run, then the median of each.
#
# usage: bench/montecarlo/beside_r.sh [ROUNDS] [BUILD_DIR]   (5, build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rounds=${1:-5}
cli=${2:-$root/build/release}/cli/velmora-cli
table=$root/bench/montecarlo/tables/chi2-10x10.tsv
lock=${VELMORA_LOCK:-/work/build.lock}
results=$(mktemp)
trap 'rm -f "$results"' EXIT

timed() {  # name command...: elapsed seconds of one run, under the lock
    local name=$1
    shift
    local seconds
    seconds=$(flock "$lock" /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1)
    printf '%-12s %6.2f s   load %s\n' "$name" "$seconds" "$(cut -d' ' -f1 /proc/loadavg)"
    echo "$name $seconds" >> "$results"
}

for _ in $(seq "$rounds"); do
    if command -v Rscript > /dev/null; then
        timed R Rscript -e "x <- as.matrix(read.table('$table')); set.seed(1); invisible(chisq.test(x, simulate.p.value = TRUE, B = 1e6))"
    fi
    timed velmora-1 "$cli" chi2 --monte-carlo 1000000 --seed 20240601 --threads 1 "$table"
    timed velmora-2 "$cli" chi2 --monte-carlo 1000000 --seed 20240601 --threads 2 "$table"
done
for name in R velmora-1 velmora-2; do
    awk -v n="$name" '$1 == n { print $2 }' "$results" | sort -n |
        awk -v n="$name" '{ v[NR] = $1 } END { if (NR) printf "median %-12s %6.2f s of %d\n", n, v[int((NR + 1) / 2)], NR }'
done
