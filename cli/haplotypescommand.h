#pragma once

#include "clioptions.h"

class ProgressLine;

// velmora-cli haplotypes FILE (--snps ID,ID,... | --region CHR:FROM-TO)
// [--pheno FILE] [--samples FILE] [--starts N] [--permutations N]
// [--seed S] [--rare F] [--threads T] [--format json|tsv]
// [--plot OUT [--plot-size WxH]]: the arguments after the command name.
CliParse parseHaplotypesCommand(const QStringList &arguments);

// The haplotypes of the SNPs named (or of the region) in one genotype
// file, their frequencies in cases, controls and all, and the tests: one
// JSON line (or TSV rows, one per haplotype). A SNP that cannot be used,
// more than 20 SNPs, a failed fit: a message, an error line and status 1.
int runHaplotypesCommand(const CliOptions &options, ProgressLine &progress);
