#pragma once

#include "clioptions.h"

class GridFeeder;

// velmora-cli meta: the meta-analysis of each table of each FILE (a text
// table with its header, or a --range block of a document, or a
// document's filled area read as such a table), one JSON line (or TSV row)
// per model on standard output, pictures with --plot.
int runMetaCommand(const CliOptions &options, GridFeeder &feeder);
