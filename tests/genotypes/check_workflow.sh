#!/usr/bin/env bash
# The cluster workflow run locally: workflow/Snakefile scatters the fixture
# into pieces, runs velmora-cli on each and gathers them; the result is one
# run's output byte for byte, for JSON lines with a given seed and for TSV
# with the seed the workflow draws (and keeps beside the output), in a
# folder whose path holds a space; --chunk in options is refused.
# usage: check_workflow.sh SNAKEFILE VELMORA_CLI DATA_DIR
set -euo pipefail
snakefile=$1 cli=$2 data=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
work="$scratch/a folder"
mkdir "$work"
cp "$data"/fixture.bed "$data"/fixture.bim "$data"/fixture.fam "$work"/
cd "$work"

snakemake --snakefile "$snakefile" --cores 2 --quiet \
    --config input=fixture.bed test=hwe chunks=4 output=hwe.jsonl cli="$cli" options="--seed 5" >/dev/null 2>&1
"$cli" hwe --seed 5 fixture.bed > one.jsonl
cmp one.jsonl hwe.jsonl

snakemake --snakefile "$snakefile" --cores 2 --quiet \
    --config input=fixture.bed test=fisher chunks=3 output=fisher.tsv cli="$cli" \
    options="--format tsv --exact-limit 0 --monte-carlo 500" >/dev/null 2>&1
"$cli" fisher --format tsv --exact-limit 0 --monte-carlo 500 --seed "$(cat fisher.tsv.seed)" fixture.bed > one.tsv 2>/dev/null
cmp one.tsv fisher.tsv
[ "$(wc -l < fisher.tsv)" -eq 25 ]

if snakemake --snakefile "$snakefile" --cores 2 --quiet \
    --config input=fixture.bed test=hwe chunks=2 output=twice.jsonl cli="$cli" options="--seed 5 --chunk 1/2" \
    >/dev/null 2>&1 || [ -e twice.jsonl ]; then
    echo "workflow: --chunk in options was not refused"
    exit 1
fi
# cmh takes no seed: the workflow draws none.
awk '{print $1 "_" $2, (NR % 3 ? "north" : "south")}' fixture.fam > strata.txt
snakemake --snakefile "$snakefile" --cores 2 --quiet \
    --config input=fixture.bed test=cmh chunks=3 output=cmh.jsonl cli="$cli" options="--strata strata.txt" >/dev/null 2>&1
"$cli" cmh --strata strata.txt fixture.bed > one-cmh.jsonl 2>/dev/null
cmp one-cmh.jsonl cmh.jsonl
[ ! -e cmh.jsonl.seed ]
echo "workflow: the gathered pieces are one run's bytes"
