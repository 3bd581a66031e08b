#pragma once

#include "clioptions.h"

class ProgressLine;

// hwe, fisher, chi2 or models on genotype files: every variant (of the region, of
// the chunk) in file order, one JSON line or TSV row each, on
// options.threads threads. Exit status: 0 when every file was read to its
// end and every test that could run ran (rejected variants are results),
// 1 when a file or record could not be read, a test failed or the run was
// stopped.
int runGenotypeCommand(const CliOptions &options, ProgressLine &progress);
