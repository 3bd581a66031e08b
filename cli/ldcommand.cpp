#include "ldcommand.h"

#include "batchworkers.h"
#include "calcpoll.h"
#include "clicommands.h"
#include "cliprocess.h"
#include "ldlines.h"
#include "ldrun.h"
#include "lineoutput.h"
#include "progressline.h"
#include "standardoutput.h"
#include "variantcodesreader.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

namespace {

// A picture of more SNPs than this would be too dense to read (and its
// pairs too many to hold).
constexpr int kMaxPlotSnps = 1000;
// A batch of first variants for the workers: bounded in pairs so that a
// dense window still streams.
constexpr int kBatchDepartures = 4096;
constexpr qint64 kBatchPairs = 65536;

QString number(qint64 value)
{
    return QLocale(QLocale::English).toString(value);
}

// Why a variant cannot take part in LD; empty when it can.
QString unusable(const VariantCodes &codes, const PackedCalls &packed)
{
    if (codes.multiAllelic())
        return QStringLiteral("multi-allelic (%1 ALT alleles); LD takes two alleles").arg(codes.identity.alts.size());
    if (codes.haploid > 0)
        return QStringLiteral("%1 haploid calls; LD takes diploid calls").arg(codes.haploid);
    if (packed.typed == 0)
        return QStringLiteral("no individual is typed");
    if (packed.het == 0 && (packed.homAlt == 0 || packed.homAlt == packed.typed))
        return QStringLiteral("monomorphic: one allele among the %1 individuals typed").arg(packed.typed);
    return {};
}

QString nameOf(const VariantIdentity &id)
{
    if (id.id.isEmpty() || id.id == ".")
        return QStringLiteral("%1:%2").arg(QString::fromUtf8(id.chrom)).arg(id.pos);
    return QString::fromUtf8(id.id);
}

struct PlotPair
{
    int a, b;
    double dprime, lod, r2;
};

struct Skipped
{
    qint64 monomorphic = 0;
    qint64 multiAllelic = 0;
    qint64 haploid = 0;
    qint64 pairsRefused = 0;
};

// The pairs of one first variant, made on a worker.
struct Item
{
    LdWindow::Departure departure;
    QByteArray out;
    qint64 refused = 0;
    std::vector<PlotPair> plot;
};

class LdScan final
{
public:
    LdScan(const CliOptions &options, const LdLines &lines, LineOutput &output, BatchWorkers &workers,
           LdMatrix *matrix)
        : options(options), lines(lines), output(output), workers(workers), matrix(matrix)
    {
    }

    // Reads the variants and writes the pairs. False when the file could
    // not be read or is not sorted, or the run was stopped.
    bool run(VariantCodesReader &reader, qint64 first, qint64 last);

    Skipped skipped;
    qint64 used = 0;
    bool plotTooLarge = false;
    std::vector<PlotPair> plotPairs;   // for the matrix, once its size is known

private:
    void compute(Item &item) const;
    // Hands `pending` to the workers and writes the batch before it.
    bool flush(bool last);
    bool writeBatch();

    const CliOptions &options;
    const LdLines &lines;
    LineOutput &output;
    BatchWorkers &workers;
    LdMatrix *matrix;
    std::vector<LdWindow::Departure> pending;
    qint64 pendingPairs = 0;
    std::vector<Item> running;   // with the workers
    bool started = false;
};

void LdScan::compute(Item &item) const
{
    const auto &a = static_cast<const LdVariant &>(*item.departure.first);
    // A line is about 550 bytes: the buffer grows once at most.
    item.out.reserve(qsizetype(item.departure.partners.size()) * 600);
    PairCounts counts;
    twolocus::Counts table;
    twolocus::Figures figures;
    for (const LdWindow::Variant &partner : item.departure.partners) {
        const auto &b = static_cast<const LdVariant &>(*partner);
        countPair(a, b, &counts);
        std::copy(&counts.n[0][0], &counts.n[0][0] + 9, &table.n[0][0]);
        if (twolocus::estimate(table, &figures) != twolocus::Status::Ok) {
            ++item.refused;
            continue;
        }
        if (figures.r2 < options.r2Min)
            continue;
        const double phased = counts.phased ? twolocus::phasedR2(counts.haplotypes) : qQNaN();
        lines.append(item.out, a.names, b.names, figures, phased);
        if (matrix && !plotTooLarge)
            item.plot.push_back({a.index, b.index, figures.dprime, figures.lod, figures.r2});
    }
}

bool LdScan::writeBatch()
{
    if (started)
        workers.finish();
    started = false;
    for (Item &item : running) {
        skipped.pairsRefused += item.refused;
        if (matrix && !plotTooLarge)
            plotPairs.insert(plotPairs.end(), item.plot.begin(), item.plot.end());
        if (!output.writeLines(item.out))
            return false;
    }
    running.clear();
    return !calcStopFlag;
}

bool LdScan::flush(bool last)
{
    if (!writeBatch())
        return false;
    running.clear();
    running.resize(pending.size());
    for (std::size_t i = 0; i < pending.size(); ++i)
        running[i].departure = std::move(pending[i]);
    pending.clear();
    pendingPairs = 0;
    if (!running.empty()) {
        workers.start([this](int i) { compute(running[std::size_t(i)]); }, int(running.size()));
        started = true;
    }
    return !last || writeBatch();
}

bool LdScan::run(VariantCodesReader &reader, qint64 first, qint64 last)
{
    LdWindow window(qint64(std::llround(options.windowKb * 1000.0)));
    VariantCodes codes;
    // The pairs of a chunk start at its first variant.
    for (qint64 skippedRecords = 1; skippedRecords < first; ++skippedRecords) {
        if (!reader.skip())
            break;
    }
    qint64 lastTaken = -1;   // the last variant of the chunk put in the window
    bool ok = true;
    const auto take = [&](std::vector<LdWindow::Departure> &departed) {
        // Pairs whose first variant lies outside the chunk belong to another.
        for (LdWindow::Departure &d : departed) {
            if (d.first->ordinal < first || d.first->ordinal > last || d.partners.empty())
                continue;
            pendingPairs += qint64(d.partners.size());
            pending.push_back(std::move(d));
        }
        departed.clear();
    };
    std::vector<LdWindow::Departure> departed;
    while (!calcStopFlag && reader.next(codes)) {
        // Past the chunk, variants are read only as partners of its last ones.
        if (codes.ordinal > last && (lastTaken < 0 || window.oldestOrdinal() < 0 || window.oldestOrdinal() > lastTaken))
            break;
        auto variant = std::make_shared<LdVariant>(codes, lines, int(used));
        const QString why = unusable(codes, *variant);
        if (!why.isEmpty()) {
            if (codes.ordinal >= first && codes.ordinal <= last) {
                if (codes.multiAllelic())
                    ++skipped.multiAllelic;
                else if (codes.haploid > 0)
                    ++skipped.haploid;
                else
                    ++skipped.monomorphic;
            }
            continue;
        }
        if (codes.ordinal <= last) {
            lastTaken = codes.ordinal;
            ++used;
            if (matrix && !plotTooLarge) {
                if (matrix->names.size() >= kMaxPlotSnps) {
                    plotTooLarge = true;
                } else {
                    matrix->names << nameOf(codes.identity);
                    matrix->chroms << QString::fromUtf8(codes.identity.chrom);
                    matrix->positions.push_back(codes.identity.pos);
                }
            }
        }
        QString error;
        if (!window.add(variant, departed, &error)) {
            cliprocess::printError(QStringLiteral("%1: %2").arg(reader.fileName(), error));
            ok = false;
            break;
        }
        take(departed);
        if ((int(pending.size()) >= kBatchDepartures || pendingPairs >= kBatchPairs) && !flush(false))
            return false;
    }
    if (ok && !reader.errorString().isEmpty()) {
        cliprocess::printError(reader.errorString());
        ok = false;
    }
    window.finish(departed);
    take(departed);
    const bool written = flush(true);
    if (matrix && !plotTooLarge) {
        matrix->reset();
        for (const PlotPair &p : plotPairs) {
            twolocus::Figures f;
            f.dprime = p.dprime;
            f.lod = p.lod;
            f.r2 = p.r2;
            matrix->set(std::size_t(p.a), std::size_t(p.b), f);
        }
    }
    return written && ok && !calcStopFlag;
}

// The records of the file (or its region) for --chunk; -1 with the reason
// when they cannot be counted.
qint64 countRecords(const CliOptions &options, const GenotypeOpenOptions &open, QString *error)
{
    std::unique_ptr<VariantCodesReader> counter =
        VariantCodesReader::open(options.files.first(), open, SampleChoice(), error);
    if (!counter)
        return -1;
    const qint64 known = counter->knownRecordCount();
    if (known >= 0)
        return known;
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

// Every pair of the SNPs named, in the order named; nothing is written
// unless every SNP and pair can be used.
int runNamed(const CliOptions &options, VariantCodesReader &reader, const LdLines &lines, LineOutput &output,
             LdMatrix *matrix)
{
    std::vector<VariantCodes> named;
    QString error;
    if (!reader.readNamed(options.snps, &named, &error)) {
        cliprocess::printError(error);
        return ExitFailed;
    }
    std::vector<std::unique_ptr<LdVariant>> variants;
    for (std::size_t i = 0; i < named.size(); ++i) {
        variants.push_back(std::make_unique<LdVariant>(named[i], lines, int(i)));
        const QString why = unusable(named[i], *variants.back());
        if (!why.isEmpty()) {
            cliprocess::printError(QStringLiteral("%1: SNP %2 (%3) cannot be used: %4")
                                       .arg(reader.fileName(), options.snps.at(qsizetype(i)), named[i].label(), why));
            return ExitFailed;
        }
        if (matrix) {
            matrix->names << nameOf(named[i].identity);
            matrix->chroms << QString::fromUtf8(named[i].identity.chrom);
            matrix->positions.push_back(named[i].identity.pos);
        }
    }
    if (matrix && matrix->names.size() > kMaxPlotSnps) {
        cliprocess::printError(QStringLiteral("--plot draws %1 SNPs at most").arg(kMaxPlotSnps));
        return ExitFailed;
    }
    if (matrix)
        matrix->reset();
    QByteArray out;
    PairCounts counts;
    twolocus::Counts table;
    twolocus::Figures figures;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        for (std::size_t j = i + 1; j < variants.size(); ++j) {
            countPair(*variants[i], *variants[j], &counts);
            std::copy(&counts.n[0][0], &counts.n[0][0] + 9, &table.n[0][0]);
            const twolocus::Status status = twolocus::estimate(table, &figures);
            if (status != twolocus::Status::Ok) {
                cliprocess::printError(QStringLiteral("%1: SNPs %2 and %3: %4")
                                           .arg(reader.fileName(), options.snps.at(qsizetype(i)),
                                                options.snps.at(qsizetype(j)),
                                                QString::fromUtf8(twolocus::statusText(status))));
                return ExitFailed;
            }
            if (matrix)
                matrix->set(i, j, figures);
            if (figures.r2 < options.r2Min)
                continue;
            const double phased = counts.phased ? twolocus::phasedR2(counts.haplotypes) : qQNaN();
            lines.append(out, variants[i]->names, variants[j]->names, figures, phased);
        }
    }
    return output.writeLines(out) ? ExitOk : ExitFailed;
}

} // namespace

int runLdCommand(const CliOptions &options, ProgressLine &progress, const LdPlotWriter &plot)
{
    const QString &file = options.files.first();
    SampleChoice choice;
    if (!options.samplesFile.isEmpty()) {
        QStringList keep;
        QString error;
        if (!readSampleList(options.samplesFile, &keep, &error)) {
            cliprocess::printError(error);
            return ExitFailed;
        }
        choice.keep = keep;
    }
    GenotypeOpenOptions open;
    open.region = options.region;
    open.threads = 1;
    QString error;
    std::unique_ptr<VariantCodesReader> reader = VariantCodesReader::open(file, open, choice, &error);
    if (!reader) {
        cliprocess::printError(error);
        return ExitFailed;
    }
    if (choice.keep && reader->groups().keptNotFound > 0)
        cliprocess::printError(QStringLiteral("%1: %2 of the samples listed in %3 are not in it")
                                   .arg(file)
                                   .arg(reader->groups().keptNotFound)
                                   .arg(options.samplesFile));

    const LdLines lines(options.tsv);
    LineOutput output(progress);
    if (options.tsv && options.chunkIndex <= 1)
        output.writeLines(lines.header());
    LdMatrix matrix;
    LdMatrix *collect = options.plot.isEmpty() ? nullptr : &matrix;
    matrix.title = QStringLiteral("LD of %1").arg(file);
    progress.setFile(file, -1);

    int status = ExitOk;
    if (!options.snps.isEmpty()) {
        status = runNamed(options, *reader, lines, output, collect);
    } else {
        qint64 first = 1;
        qint64 last = std::numeric_limits<qint64>::max();
        if (options.chunkCount > 0) {
            const qint64 total = countRecords(options, open, &error);
            if (total < 0) {
                if (!calcStopFlag)
                    cliprocess::printError(error);
                return ExitFailed;
            }
            // Piece I takes the pairs whose first variant is one of records
            // floor((I-1)V/N) + 1 to floor(IV/N); the last piece reads on to
            // the end, whatever the count said.
            first = (options.chunkIndex - 1) * total / options.chunkCount + 1;
            if (options.chunkIndex < options.chunkCount)
                last = options.chunkIndex * total / options.chunkCount;
        }
        const int threads = options.threads > 0 ? options.threads
                                                : int(std::max(1u, std::thread::hardware_concurrency()));
        BatchWorkers workers(threads);
        LdScan scan(options, lines, output, workers, collect);
        if (!scan.run(*reader, first, last))
            status = ExitFailed;
        const Skipped &s = scan.skipped;
        if (s.monomorphic + s.multiAllelic + s.haploid + s.pairsRefused > 0 || scan.used < 2) {
            cliprocess::printError(
                QStringLiteral("ld: %1: %2 variants used; skipped: %3 monomorphic, %4 multi-allelic, %5 with "
                               "haploid calls; %6 pairs without an estimate (no individual typed at both, or one "
                               "allele among those typed at both)")
                    .arg(file, number(scan.used), number(s.monomorphic), number(s.multiAllelic), number(s.haploid),
                         number(s.pairsRefused)));
        }
        if (scan.plotTooLarge) {
            cliprocess::printError(QStringLiteral("--plot draws %1 SNPs at most; narrow the run with --region or --snps")
                                       .arg(kMaxPlotSnps));
            status = ExitFailed;
            collect = nullptr;
        }
    }
    StandardOutput::flush();
    if (calcStopFlag) {
        progress.erase();
        cliprocess::printError(QStringLiteral("stopped"));
        return ExitFailed;
    }
    if (status == ExitOk && collect) {
        if (!plot) {
            cliprocess::printError(QStringLiteral("--plot needs the full tool"));
            return ExitFailed;
        }
        if (!plot(matrix))
            return ExitFailed;
    }
    return status;
}
