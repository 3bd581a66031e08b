#pragma once

#include "clioptions.h"

// velmora-cli qq FILE [--plot OUT]: the "p" of every line with status 0 of a
// JSON-lines output, as the genomic-control lambda on standard output
// ("lambda 1.034712") and, with --plot, a Q-Q plot. A line that is not a
// JSON object, a status-0 line without a P-value in (0, 1], or a file with
// no P-value at all ends the command with a message and status 1, before
// anything is printed or drawn. Returns the exit status.
int runQqCommand(const CliOptions &options);
