#pragma once

#include "haplotypescommand.h"
#include "ldcommand.h"

// The writer of ld's --plot: the LD triangle through the picture export,
// with the application's font (the full tool only: it needs Qt Gui).
LdPlotWriter ldPlotWriter(const CliOptions &options);

// The writer of haplotypes' --plot: the frequencies and odds ratios.
HaplotypesPlotWriter haplotypesPlotWriter(const CliOptions &options);
