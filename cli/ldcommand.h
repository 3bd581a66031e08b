#pragma once

#include "clioptions.h"

#include <functional>

class ProgressLine;
struct LdMatrix;

// Draws the LD triangle of a run to --plot; false, after telling standard
// error why, when it cannot. Only the full tool (with Qt Gui) has one.
using LdPlotWriter = std::function<bool(const LdMatrix &matrix)>;

// velmora-cli ld: two-locus LD of every pair of variants of a genotype file
// (or its region, or its chunk) within the window, or of every pair of the
// SNPs named, one line each, in the order of the first variant, then the
// second. A scan skips monomorphic and multi-allelic variants and those
// with haploid calls, and pairs without an estimate, counting them on
// standard error; a named SNP or pair that cannot be used ends the run
// before any line, with status 1. Status 1 also when the file cannot be
// read, is not sorted, the picture fails or the run is stopped.
int runLdCommand(const CliOptions &options, ProgressLine &progress, const LdPlotWriter &plot = {});
