#include "tablebatchrun.h"

#include "batchworkers.h"
#include "calcpoll.h"
#include "gridfeeder.h"
#include "lineoutput.h"
#include "plaintablesource.h"
#include "progressline.h"
#include "standardoutput.h"
#include "texttablereader.h"

#include <utility>

namespace {

// A slot that held a table larger than this gives its memory back once
// written, so that one large table does not stay in every batch.
constexpr qsizetype kKeptCharacters = 64 * 1024;

} // namespace

TableBatchRun::TableBatchRun(const TestSettings &settings, const std::vector<CellBlock> &blocks,
                             GridFeeder &feeder, ProgressLine &progress, LineOutput &output,
                             BatchWorkers &workers)
    : settings(settings), blocks(blocks), feeder(feeder), progress(progress),
      output(output), workers(workers)
{
}

std::vector<CellBlock> TableBatchRun::blocksOf(const TestSettings &settings,
                                               const std::vector<CellBlock> &asked, const CellBlock &used)
{
    if (!asked.empty())
        return asked;
    return {settings.kind == TestCluster ? used.withoutNames() : used};
}

void TableBatchRun::read(TextTableReader &reader, Batch &batch)
{
    batch.count = 0;
    qsizetype characters = 0;
    while (batch.count < MaxTables && characters < MaxCharacters && !calcStopFlag) {
        if (std::size_t(batch.count) == batch.entries.size())
            batch.entries.emplace_back();
        Slot &slot = batch.entries[std::size_t(batch.count)];
        if (!reader.next(slot.table))
            break;
        slot.number = int(reader.tablesRead());
        slot.plain = PlainTableSource::isPlain(slot.table);
        slot.state = State::Waiting;
        slot.ok = true;
        slot.out.resize(0);
        slot.pictures.clear();
        characters += slot.table.characters();
        ++batch.count;
    }
}

void TableBatchRun::startWorkers(Batch &batch)
{
    // The entries stay where they are while the workers run: the next batch
    // is read into the other one, and swapping batches moves no slot.
    Slot *entries = batch.entries.data();
    workers.start(
        [this, entries](int index) {
            Slot &slot = entries[index];
            if (slot.plain)
                runOnWorker(slot);
        },
        batch.count);
}

void TableBatchRun::runOnWorker(Slot &slot)
{
    thread_local TestInput input;
    const PlainTableSource source(slot.table);
    BlockPlace place{file, slot.number};
    auto runOne = [&](const CellBlock &block) {
        if (calcStopFlag) {
            slot.state = State::Ended;
            return false;
        }
        const BlockOutcome outcome =
            runBlock(source, block, settings, place, ProgressDisplay(), input, BlockThread::Worker, &slot.out);
        if (outcome.deferred) {
            slot.out.resize(0);
            slot.pictures.clear();
            slot.ok = true;
            slot.state = State::Deferred;
            return false;
        }
        if (settings.plot)
            slot.pictures.push_back(outcome.picture);
        slot.ok = slot.ok && outcome.ok;
        ++place.block;
        if (outcome.stopped) {
            slot.state = State::Ended;
            return false;
        }
        return true;
    };
    if (blocks.empty()) {
        const CellBlock &used = slot.table.usedBlock();
        if (!runOne(settings.kind == TestCluster ? used.withoutNames() : used))
            return;
    } else {
        for (const CellBlock &block : blocks) {
            if (!runOne(block))
                return;
        }
    }
    slot.state = State::Done;
}

bool TableBatchRun::runOnMain(Slot &slot)
{
    BlockPlace place{file, slot.number};
    if (!slot.plain) {
        // The grid brings the application object, which the workers' texts
        // consult: it is made while they are idle.
        if (!feeder.hasSheet())
            workers.finish();
        QString error;
        if (!feeder.place(slot.table, &error)) {
            allOk = false;
            return output.write(errorLine(settings, place, error)) && !calcStopFlag;
        }
    }
    const PlainTableSource plainSource(slot.table);
    const CellSource &source = slot.plain ? static_cast<const CellSource &>(plainSource) : feeder.cells();
    const ProgressDisplay display = [this](int maximum) { progress.engineProgress(maximum); };
    for (const CellBlock &block : blocksOf(settings, blocks, slot.table.usedBlock())) {
        if (calcStopFlag)
            return false;
        progress.setBlock(slot.number, block.text());
        const BlockOutcome outcome =
            runBlock(source, block, settings, place, display, mainInput, BlockThread::Main);
        allOk = allOk && outcome.ok;
        if (!output.write(outcome.line, outcome.picture))
            return false;
        ++place.block;
    }
    return !calcStopFlag;
}

bool TableBatchRun::write(Batch &batch)
{
    for (int i = 0; i < batch.count; ++i) {
        Slot &slot = batch.entries[std::size_t(i)];
        switch (slot.state) {
        case State::Done:
            allOk = allOk && slot.ok;
            if (!output.writeLines(slot.out, slot.pictures))
                return false;
            break;
        case State::Ended:
            output.writeLines(slot.out, slot.pictures);
            allOk = false;
            return false;
        case State::Waiting:
        case State::Deferred:
            if (!runOnMain(slot))
                return false;
            break;
        }
        slot.pictures.clear();
        if (slot.table.characters() > kKeptCharacters)
            slot.table = TextTable();
    }
    if (batch.count > 0)
        progress.setBlock(batch.entries[std::size_t(batch.count - 1)].number, QString());
    return true;
}

bool TableBatchRun::run(TextTableReader &reader, const QString &fileName)
{
    file = fileName;
    allOk = true;
    Batch current;
    Batch next;
    read(reader, current);
    startWorkers(current);
    while (current.count > 0) {
        // The next batch is read while the workers test this one.
        read(reader, next);
        workers.finish();
        startWorkers(next);
        if (!write(current) || calcStopFlag)
            break;
        std::swap(current, next);
    }
    workers.finish();
    return allOk;
}
