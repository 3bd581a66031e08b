#include "genotypebatchrun.h"

#include "batchworkers.h"
#include "calcpoll.h"
#include "cliprocess.h"
#include "cmhline.h"
#include "genotypetally.h"
#include "lineoutput.h"
#include "progressline.h"
#include "testinput.h"
#include "tsvrows.h"

#include <climits>
#include <cstdio>
#include <utility>

GenotypeBatchRun::GenotypeBatchRun(const GenotypeTest &test, LineOutput &output, BatchWorkers &workers,
                                   ProgressLine &progress)
    : test(test), output(output), workers(workers), progress(progress)
{
}

QByteArray GenotypeBatchRun::lineBytes(const QString &line) const
{
    if (test.tsv)
        return test.tsv->row(line);
    QByteArray bytes = line.toUtf8();
    bytes += '\n';
    return bytes;
}

void GenotypeBatchRun::read(Batch &batch)
{
    batch.count = 0;
    batch.failure.clear();
    qsizetype bytes = 0;
    while (!ended && batch.count < MaxRecords && bytes < MaxBytes && !calcStopFlag) {
        if (left == 0) {
            ended = true;
            break;
        }
        if (std::size_t(batch.count) == batch.entries.size())
            batch.entries.emplace_back();
        Slot &slot = batch.entries[std::size_t(batch.count)];
        if (!reader->read(slot.raw)) {
            ended = true;
            batch.failure = reader->errorString();
            break;
        }
        slot.number = next++;
        slot.state = State::Waiting;
        slot.ok = true;
        slot.out.resize(0);
        bytes += slot.raw.bytes;
        if (left > 0)
            --left;
        ++batch.count;
    }
}

void GenotypeBatchRun::startWorkers(Batch &batch)
{
    Slot *entries = batch.entries.data();
    workers.start([this, entries](int index) { runOnWorker(entries[index]); }, batch.count);
}

void GenotypeBatchRun::runOnWorker(Slot &slot)
{
    thread_local GenotypeTally tally;
    thread_local TestInput input;
    if (calcStopFlag) {
        slot.state = State::Ended;
        return;
    }
    QString error;
    if (!reader->decode(slot.raw, tally, slot.table.identity, &error)) {
        slot.message = error;
        slot.out = lineBytes(variantErrorLine(test.settings, reader->fileName(), slot.number, error));
        slot.state = State::Error;
        return;
    }
    tally.toTable(test.layout, slot.table);
    if (test.cmh) {
        slot.out.resize(0);
        slot.ok = appendCmhLines(slot.table, slot.number, *test.cmh, names, slot.out);
        if (test.tsv) {
            QByteArray rows;
            for (const QByteArray &line : slot.out.split('\n')) {
                if (!line.isEmpty())
                    rows += test.tsv->row(QString::fromUtf8(line));
            }
            slot.out = rows;
        }
        slot.state = State::Done;
        return;
    }
    if (twoAlleleHweLine(slot.table, slot.number, test.settings, test.budget, names, slot.out)) {
        if (test.tsv)
            slot.out = test.tsv->row(QString::fromUtf8(slot.out));
        else
            slot.out += '\n';
        slot.state = State::Done;
        return;
    }
    const VariantOutcome outcome =
        runVariantExact(slot.table, slot.number, test.settings, test.budget, reader->fileName(), input);
    if (outcome.needsMonteCarlo) {
        slot.state = State::MonteCarlo;
        return;
    }
    slot.out = lineBytes(outcome.line);
    slot.ok = outcome.ok || !slot.table.rejected.isEmpty();
    slot.state = outcome.stopped ? State::Ended : State::Done;
}

bool GenotypeBatchRun::lostOutput()
{
    // Nothing more is read: what follows could not be written either.
    allOk = false;
    ended = true;
    return false;
}

bool GenotypeBatchRun::write(Batch &batch)
{
    const ProgressDisplay display = [this](int maximum) { progress.engineProgress(maximum); };
    for (int i = 0; i < batch.count; ++i) {
        Slot &slot = batch.entries[std::size_t(i)];
        switch (slot.state) {
        case State::Done:
            if (!output.writeLines(slot.out))
                return lostOutput();
            allOk = allOk && slot.ok;
            break;
        case State::MonteCarlo: {
            if (calcStopFlag)
                return false;
            progress.setBlock(int(qMin<qint64>(slot.number, INT_MAX)), QString());
            if (test.seedDrawn && !seedTold) {
                seedTold = true;
                cliprocess::printError(QStringLiteral("Monte Carlo seed %1 for the variants over the exact limit "
                                                      "(--seed %1 repeats them)")
                                           .arg(test.budget.seed));
            }
            const VariantOutcome outcome = runVariantMonteCarlo(slot.table, slot.number, test.settings, test.budget,
                                                                reader->fileName(), mainInput, display);
            if (!output.writeLines(lineBytes(outcome.line)))
                return lostOutput();
            allOk = allOk && outcome.ok;
            if (outcome.stopped)
                return false;
            break;
        }
        case State::Error: {
            output.writeLines(slot.out);
            cliprocess::printError(slot.message);
            allOk = false;
            return false;
        }
        case State::Waiting:
        case State::Ended:
            // A stop left them untested, or the stopped run's line ends here.
            if (slot.state == State::Ended && !slot.out.isEmpty())
                output.writeLines(slot.out);
            allOk = false;
            return false;
        }
    }
    if (batch.count > 0)
        progress.setBlock(int(qMin<qint64>(batch.entries[std::size_t(batch.count - 1)].number, INT_MAX)), QString());
    if (!batch.failure.isEmpty()) {
        output.writeLines(lineBytes(variantErrorLine(test.settings, reader->fileName(), 0, batch.failure)));
        cliprocess::printError(batch.failure);
        allOk = false;
        return false;
    }
    return true;
}

bool GenotypeBatchRun::run(GenotypeReader &source, qint64 first, qint64 limit)
{
    reader = &source;
    names = variantLineNames(source.fileName(), test.settings);
    next = first;
    left = limit;
    ended = false;
    allOk = true;
    Batch current;
    Batch following;
    read(current);
    startWorkers(current);
    while (current.count > 0 || !current.failure.isEmpty()) {
        // The next batch is read while the workers test this one.
        read(following);
        workers.finish();
        startWorkers(following);
        if (!write(current) || calcStopFlag)
            break;
        std::swap(current, following);
    }
    workers.finish();
    return allOk && !calcStopFlag;
}
