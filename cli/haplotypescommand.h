#pragma once

#include "clioptions.h"

#include <functional>

struct HaplotypesRun;

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
// --plot goes through `plot`, which only the full tool gives (it needs Qt
// Gui); false when the picture could not be written.
using HaplotypesPlotWriter = std::function<bool(const HaplotypesRun &run, const QString &file)>;
int runHaplotypesCommand(const CliOptions &options, ProgressLine &progress, const HaplotypesPlotWriter &plot = {});
