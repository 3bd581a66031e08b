#include "genotypecommand.h"

#include "batchworkers.h"
#include "calcpoll.h"
#include "clicommands.h"
#include "cliprocess.h"
#include "cmhline.h"
#include "exactbudget.h"
#include "genotypebatchrun.h"
#include "genotypereader.h"
#include "lineoutput.h"
#include "membudget.h"
#include "montecarlorun.h"
#include "progressline.h"
#include "samplegroups.h"
#include "standardoutput.h"
#include "testinput.h"
#include "tsvrows.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

// The records of a file (or its region), from what it knows or by a pass
// over a second reading of it; -1 with the reason when that fails.
qint64 countRecords(const QString &file, const GenotypeReader &reader, const GenotypeOpenOptions &open,
                    QString *error)
{
    const qint64 known = reader.knownRecordCount();
    if (known >= 0)
        return known;
    std::unique_ptr<GenotypeReader> counter = openGenotypeFile(file, open, error);
    if (!counter)
        return -1;
    qint64 count = 0;
    while (counter->skip()) {
        ++count;
        if (calcStopFlag)
            return -1;
    }
    if (!counter->errorString().isEmpty()) {
        *error = counter->errorString();
        return -1;
    }
    return count;
}

} // namespace

int runGenotypeCommand(const CliOptions &options, ProgressLine &progress)
{
    const int threads = options.threads > 0 ? options.threads
                                            : int(std::max(1u, std::thread::hardware_concurrency()));
    GenotypeTest test;
    TestSettings &settings = test.settings;
    settings.kind = options.testKind;
    settings.name = options.testName;
    settings.yates = options.yates;
    settings.threads = options.threads;
    settings.confLevel = options.confLevel;
    test.layout = options.testKind == TestHardyW  ? TableLayout::HardyWeinberg
                  : options.testKind == TestModels ? TableLayout::Models
                  : options.testKind == kTestCmh   ? TableLayout::Strata
                                                   : TableLayout::CaseControl;
    CmhSettings cmh;
    cmh.model = options.model;
    cmh.confLevel = options.confLevel;
    if (options.testKind == kTestCmh)
        test.cmh = &cmh;
    test.budget.exactUnits = exactbudget::unitsFor(options.testKind, options.exactLimit);
    test.budget.monteCarloSamples = options.monteCarloSamples > 0 ? options.monteCarloSamples : 100000;
    test.budget.seed = options.seedGiven ? options.seed : drawMonteCarloSeed();
    // Every exact run of a variant gets the same fixed share, never what is
    // free at the moment, so that its outcome is the same on every run.
    MemoryBudget::setRunLimitOverride(exactbudget::memoryShare(options.exactLimit, options.maxMemoryMb << 20));

    SampleChoice choice;
    choice.caseControl = test.layout != TableLayout::HardyWeinberg;
    if (!options.samplesFile.isEmpty()) {
        QStringList keep;
        QString error;
        if (!readSampleList(options.samplesFile, &keep, &error)) {
            cliprocess::printError(error);
            return ExitFailed;
        }
        choice.keep = keep;
    }
    if (!options.phenoFile.isEmpty()) {
        QHash<QString, Phenotype> pheno;
        QString error;
        if (!readPhenotypes(options.phenoFile, &pheno, &error)) {
            cliprocess::printError(error);
            return ExitFailed;
        }
        choice.pheno = pheno;
    }
    if (test.cmh) {
        StrataAssignment strata;
        QString error;
        if (!readStrata(options.strataFile, &strata, &error)) {
            cliprocess::printError(error);
            return ExitFailed;
        }
        choice.strata = strata;
    }

    const TsvRows tsv(options.testKind);
    if (options.tsv)
        test.tsv = &tsv;
    LineOutput output(progress);
    // The pieces of a chunked run join into one output: the header is the
    // first piece's.
    if (options.tsv && options.chunkIndex <= 1)
        output.writeLines(tsv.header());
    test.seedDrawn = !options.seedGiven;

    BatchWorkers workers(threads);
    GenotypeBatchRun batchRun(test, output, workers, progress);
    GenotypeOpenOptions open;
    open.region = options.region;
    // One thread inflates the compressed blocks beside the reading thread.
    open.threads = 1;
    bool allOk = true;
    for (const QString &file : options.files) {
        if (calcStopFlag || StandardOutput::failed())
            break;
        QString error;
        std::unique_ptr<GenotypeReader> reader = openGenotypeFile(file, open, &error);
        const auto fileFailed = [&](const QString &message) {
            cliprocess::printError(message);
            output.writeLines(batchRun.lineBytes(variantErrorLine(settings, file, 0, message)));
            allOk = false;
        };
        if (!reader) {
            fileFailed(error);
            continue;
        }
        const SampleGroups groups = groupSamples(reader->sampleIds(), reader->filePhenotypes(), choice);
        if (choice.keep && groups.keptNotFound > 0)
            cliprocess::printError(QStringLiteral("%1: %2 of the samples listed in %3 are not in it")
                                       .arg(file)
                                       .arg(groups.keptNotFound)
                                       .arg(options.samplesFile));
        if (choice.caseControl)
            cliprocess::printError(groups.phenotypeSummary(file));
        // Nothing to test is a failure, never a run of rejected variants.
        if (choice.keep && groups.keptNotFound == choice.keep->size()) {
            fileFailed(QStringLiteral("%1: none of the samples listed in %2 is in it").arg(file, options.samplesFile));
            continue;
        }
        if (choice.caseControl && groups.cases + groups.controls == 0) {
            fileFailed(QStringLiteral("%1: no sample has a phenotype (1 control, 2 case) in %2")
                           .arg(file, options.phenoFile.isEmpty() ? QStringLiteral("its .fam") : options.phenoFile));
            continue;
        }
        if (choice.strata) {
            const QString refusal = groups.strataRefusal(file, *choice.strata);
            if (!refusal.isEmpty()) {
                fileFailed(refusal);
                continue;
            }
        }
        reader->setGroups(groups);

        qint64 first = 1;
        qint64 limit = -1;
        if (options.chunkCount > 0) {
            const qint64 total = countRecords(file, *reader, open, &error);
            if (total < 0) {
                if (!calcStopFlag)
                    fileFailed(error);
                continue;
            }
            // Piece I holds records floor((I-1)V/N) + 1 to floor(IV/N); the
            // last piece reads on to the end, whatever the count said.
            const qint64 from = (options.chunkIndex - 1) * total / options.chunkCount;
            const qint64 to = options.chunkIndex * total / options.chunkCount;
            qint64 skipped = 0;
            while (skipped < from && reader->skip())
                ++skipped;
            if (skipped < from && !reader->errorString().isEmpty()) {
                fileFailed(reader->errorString());
                continue;
            }
            first = from + 1;
            limit = options.chunkIndex == options.chunkCount ? -1 : to - from;
        }
        progress.setFile(file, -1);
        allOk = batchRun.run(*reader, first, limit) && allOk;
    }
    if (StandardOutput::failed())
        allOk = false;
    // Through StandardOutput, which keeps the system's words for a failure.
    StandardOutput::flush();
    if (calcStopFlag) {
        progress.erase();
        cliprocess::printError(QStringLiteral("stopped"));
        return ExitFailed;
    }
    return allOk ? ExitOk : ExitFailed;
}
