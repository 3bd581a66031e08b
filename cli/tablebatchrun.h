#pragma once

#include "blockrun.h"
#include "cellblock.h"
#include "texttable.h"

#include <QByteArray>
#include <QString>

#include <vector>

class BatchWorkers;
class GridFeeder;
class LineOutput;
class ProgressLine;
class TextTableReader;

// Runs the tables of one text file in batches. A table whose fields are all
// plain counts is checked and tested straight from its text, on any of the
// workers' threads; any other table (a formula, text, a table larger than
// the grid) goes into the grid and runs on the main thread, as do the
// blocks that a worker defers (see BlockThread). The lines come out in the
// order of the tables, whatever thread ran them, so the output is the same
// for any number of threads. Two batches at most are held at a time, each
// bounded in tables and characters, so a batch of any length streams.
class TableBatchRun final
{
public:
    // Bounds of one batch.
    static constexpr int MaxTables = 2048;
    static constexpr qsizetype MaxCharacters = qsizetype(1) << 21;

    // blocks: the blocks of every table (empty: each table's own block).
    TableBatchRun(const TestSettings &settings, const std::vector<CellBlock> &blocks,
                  GridFeeder &feeder, ProgressLine &progress,
                  LineOutput &output, BatchWorkers &workers);

    // Runs every table the reader gives; false when any table's block was
    // rejected, failed or stopped, or a table could not be placed. Ends
    // early when Ctrl+C stops the run (calcStopFlag) or standard output
    // fails, reading no further.
    bool run(TextTableReader &reader, const QString &file);

    // The blocks of a table: those asked for, or the bounding box of its
    // cells (for risk clusters without the names' row and column).
    static std::vector<CellBlock> blocksOf(const TestSettings &settings,
                                           const std::vector<CellBlock> &asked, const CellBlock &used);

private:
    enum class State {
        Waiting,   // not run yet
        Done,      // every block ran; out holds the lines
        Deferred,  // the main thread runs it
        Ended      // out holds the lines up to a stop; the run ends here
    };

    struct Slot
    {
        TextTable table;
        int number = 0;        // 1-based within the file
        bool plain = false;
        State state = State::Waiting;
        bool ok = true;
        QByteArray out;
        std::vector<PicturePtr> pictures;  // one per line of out, with --plot
    };

    struct Batch
    {
        std::vector<Slot> entries;   // the first `count` are in use
        int count = 0;
    };

    void read(TextTableReader &reader, Batch &batch);
    void startWorkers(Batch &batch);
    void runOnWorker(Slot &slot);
    // Writes the batch's lines in order, running what is left for the main
    // thread; false once the run has ended or a write failed.
    bool write(Batch &batch);
    // Runs a table on the main thread, from the grid or from its text.
    bool runOnMain(Slot &slot);

    const TestSettings &settings;
    const std::vector<CellBlock> &blocks;
    GridFeeder &feeder;
    ProgressLine &progress;
    LineOutput &output;
    BatchWorkers &workers;
    TestInput mainInput;
    QString file;
    bool allOk = true;
};
