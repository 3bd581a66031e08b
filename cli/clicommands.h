#pragma once

#include "clioptions.h"

class GridFeeder;
class ProgressLine;
class StderrPrompts;

// Exit statuses of the tool.
enum CliExit {
    ExitOk = 0,       // every block ran (or the command did its work)
    ExitFailed = 1,   // a block was rejected, failed or stopped; a file failed
    ExitUsage = 2     // the command line was wrong
};

// The three commands, on a grid that the feeder fills. Each writes its
// results to standard output and returns the exit status.
int runTestCommand(const CliOptions &options, GridFeeder &feeder, ProgressLine &progress);
int runValuesCommand(const CliOptions &options, GridFeeder &feeder);
int runConvertCommand(const CliOptions &options, GridFeeder &feeder, StderrPrompts &prompts);

// The whole tool: reads the arguments, sets up the offscreen application,
// the prompts and the Ctrl+C handler, and runs the command.
int cliMain(int argc, char **argv);
