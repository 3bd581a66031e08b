#pragma once

#include "cellblock.h"
#include "cellsource.h"
#include "runreport.h"

#include <QString>

// The test asked for on the command line.
struct TestSettings
{
    int kind = -1;        // TestKind
    QString name;         // chi2, fisher, hwe, interact, cluster
    bool yates = false;
    int accuracy = 0;
    bool report = false;  // the Results entry instead of JSON
    qint64 monteCarloSamples = 0;  // fisher, hwe, chi2: estimate by simulation
    bool seedGiven = false;        // false: every block draws its own seed
    quint64 seed = 0;
    int threads = 0;               // 0: one per core
};

// Where a block comes from, for its output line.
struct BlockPlace
{
    QString file;
    int table = 1;        // 1-based within the file
};

struct BlockOutcome
{
    bool ok = false;      // checked, run, and status 0
    bool stopped = false; // the run was stopped by Ctrl+C
    QString line;         // one JSON object, or one Results entry
};

// Checks the block of the grid as the test dialog does and, when the check
// passes, runs the test as the application does.
BlockOutcome runBlock(const CellSource &grid, const CellBlock &block, const TestSettings &settings,
                      const BlockPlace &place, const ProgressDisplay &progress);

// The line for a file or table that could not be tested at all (unreadable,
// or larger than the grid); table 0 stands for the whole file.
QString errorLine(const TestSettings &settings, const BlockPlace &place, const QString &message);

// The text of an HTML message without its tags, entities decoded, its lines
// joined by single spaces.
QString plainText(const QString &html);

