#pragma once

#include <optional>

// A genotype-file run of the tool, on Qt Core alone: the command line is
// read, and when it tests genotype files (without a picture) the run is
// made here and its exit status returned. Anything else (documents, text
// tables, pictures, usage) gives no value: the full tool runs it.
std::optional<int> genotypeMain(int argc, char **argv);
