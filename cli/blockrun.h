#pragma once

#include "runpictures.h"
#include "cellblock.h"
#include "cellsource.h"
#include "runreport.h"
#include "testinput.h"

#include <QByteArray>
#include <QString>

// The test asked for on the command line.
struct TestSettings
{
    int kind = -1;        // TestKind
    QString name;         // chi2, fisher, hwe, interact, cluster, models
    bool yates = false;
    int accuracy = 0;
    bool report = false;  // the Results entry instead of JSON
    qint64 monteCarloSamples = 0;  // fisher, hwe, chi2: estimate by simulation
    bool seedGiven = false;        // false: every block draws its own seed
    quint64 seed = 0;
    int threads = 0;               // 0: one per core
    double confLevel = 0.95;       // models: the level of every interval
    bool plot = false;             // build each block's picture
};

// Where a block comes from, for its output line.
struct BlockPlace
{
    QString file;
    int table = 1;        // 1-based within the file
    bool document = false; // a *.sp document (one table)
    int block = 0;        // 0-based among the table's blocks
    // A variant of a genotype file: its fields (written as JSON, without
    // braces) stand in for the table and range, the line names the method
    // that ran ("method"), and a Monte Carlo run's key is variantKey (a hash
    // of its identity) rather than the table's place.
    const QString *variant = nullptr;
    quint64 variantKey = 0;

    // The Monte Carlo run's key among the runs that share a seed (see
    // MonteCarloSettings::key).
    quint64 monteCarloKey() const
    {
        return variant ? variantKey : quint64(qMax(table, 1)) | (quint64(block) << 32);
    }
};

struct BlockOutcome
{
    bool ok = false;      // checked, run, and status 0
    bool stopped = false; // the run was stopped by Ctrl+C
    bool deferred = false; // not run: the block needs the main thread
    int status = 0;       // the engine's status (0 also for a rejected block)
    QString line;         // one JSON object, or one Results entry
    PicturePtr picture;   // with settings.plot, for a block that ran
};

// Where a block runs. A batch worker runs only what is quick and shares no
// state: the checks, chi-squared, and the exact two-allele Hardy-Weinberg and
// Fisher 2 x 2 and 2 x 3 sums. Anything else (a network, which takes the
// whole memory budget and shows progress, a Monte Carlo run with its own
// threads, an approximate Fisher run) is deferred to the main thread.
enum class BlockThread { Main, Worker };

// Checks the block of the grid as the test dialog does and, when the check
// passes, runs the test as the application does.
BlockOutcome runBlock(const CellSource &grid, const CellBlock &block, const TestSettings &settings,
                      const BlockPlace &place, const ProgressDisplay &progress);

// The same with the caller's input record, reused from block to block so
// that its work arrays are allocated once. With `lines`, the block's line is
// appended there, in UTF-8 with its line end, and outcome.line stays empty.
BlockOutcome runBlock(const CellSource &grid, const CellBlock &block, const TestSettings &settings,
                      const BlockPlace &place, const ProgressDisplay &progress, TestInput &input,
                      BlockThread thread, QByteArray *lines = nullptr);

// The line for a file or table that could not be tested at all (unreadable,
// or larger than the grid); table 0 stands for the whole file.
QString errorLine(const TestSettings &settings, const BlockPlace &place, const QString &message);

// The text of an HTML message without its tags, entities decoded, its lines
// joined by single spaces.
QString plainText(const QString &html);

