#pragma once

#include "blockrun.h"
#include "genotypereader.h"
#include "variantrun.h"
#include "varianttable.h"

#include <QByteArray>

#include <vector>

class BatchWorkers;
struct CmhSettings;
class LineOutput;
class ProgressLine;
class TsvRows;

// What a genotype file's variants are tested with.
struct GenotypeTest
{
    TestSettings settings;
    TableLayout layout = TableLayout::HardyWeinberg;
    VariantBudget budget;
    const TsvRows *tsv = nullptr;   // the rows of --format tsv; null for JSON lines
    bool seedDrawn = false;         // no --seed: told on standard error at the first estimate
    // cmh: the stratified tests (layout Strata), a line per ALT allele,
    // instead of the table tests; null for those.
    const CmhSettings *cmh = nullptr;
};

// Tests the variants of a genotype file in batches: the main thread reads
// the records (raw, as the file holds them) while the workers decode,
// count and test the previous batch; a variant whose exact test is over
// its budget gets its Monte Carlo estimate on the main thread, in turn.
// Lines come out in file order, whatever thread made them, so the output
// is the same for any number of threads. Two batches at most are held,
// each bounded in records and bytes, so a file of any size streams.
class GenotypeBatchRun final
{
public:
    static constexpr int MaxRecords = 1024;
    static constexpr qsizetype MaxBytes = qsizetype(16) << 20;

    GenotypeBatchRun(const GenotypeTest &test, LineOutput &output, BatchWorkers &workers, ProgressLine &progress);

    // Tests up to `limit` records (-1: all) from where the reader stands,
    // numbering them from `first`. False when a record could not be read
    // or decoded (its error line ends the output, nothing after it), a test
    // failed, or Ctrl+C stopped the run.
    bool run(GenotypeReader &reader, qint64 first, qint64 limit);

    // The bytes of one line: JSON, or its TSV row.
    QByteArray lineBytes(const QString &line) const;

private:
    enum class State {
        Waiting,     // not run yet
        Done,        // out holds the line
        MonteCarlo,  // over budget: the main thread runs the estimate
        Error,       // out holds the error line; nothing after it is written
        Ended        // stopped by Ctrl+C
    };

    struct Slot
    {
        RawRecord raw;
        qint64 number = 0;
        State state = State::Waiting;
        bool ok = true;
        QByteArray out;
        QString message;       // Error: for standard error
        VariantTable table;    // kept for the estimate
    };

    struct Batch
    {
        std::vector<Slot> entries;  // the first `count` are in use
        int count = 0;
        QString failure;            // why reading stopped after them
    };

    void read(Batch &batch);
    void startWorkers(Batch &batch);
    void runOnWorker(Slot &slot);
    // Writes the batch's lines in order; false once the run has ended.
    bool write(Batch &batch);
    // A line could not be written: the run ends here.
    bool lostOutput();

    const GenotypeTest &test;
    LineOutput &output;
    BatchWorkers &workers;
    ProgressLine &progress;
    GenotypeReader *reader = nullptr;
    VariantLineNames names;  // of the reader's file and the test
    TestInput mainInput;
    qint64 next = 0;       // the number of the next record read
    qint64 left = -1;      // records still to read; -1: all
    bool ended = false;    // nothing more to read
    bool allOk = true;
    bool seedTold = false;
};
