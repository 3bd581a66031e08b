// The README's pictures of each plot, drawn as velmora-cli --plot draws
// them: the example documents' blocks (and two tables of their own: a
// two-allele genotype table and a simulated genome-wide batch for the Q-Q
// plot) run through the tool's block runner, the pictures exported as PNG.
#include "plotshots.h"

#include "blockrun.h"
#include "cellblock.h"
#include "cellresiduals.h"
#include "checks.h"
#include "chi2.h"
#include "haplotypesrun.h"
#include "clioptions.h"
#include "ldpictures.h"
#include "ldrun.h"
#include "ldwindow.h"
#include "metacheck.h"
#include "metapictures.h"
#include "metarun.h"
#include "variantcodesreader.h"
#include "pictureexport.h"
#include "plaintablesource.h"
#include "qqcommand.h"
#include "runpictures.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "testinput.h"
#include "texttablereader.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

// Three halves of the Results window's picture, for a sharp README.
const QSize kPlotSize(900, 600);

class PlotShooter final
{
public:
    PlotShooter(const QString &outDir, const QString &examplesDir)
        : out(QDir(outDir).absolutePath()), examples(QDir(examplesDir).absolutePath())
    {
    }

    // The block of an example document, as velmora-cli runs it; by
    // simulation when samples are given.
    void document(const char *file, int kind, const char *range, const char *name, qint64 samples = 0)
    {
        Spreadsheet sheet;
        if (!sheet.readSheet(examples.filePath(QString::fromUtf8(file)))) {
            fail(QStringLiteral("cannot read %1").arg(QString::fromUtf8(file)));
            return;
        }
        const SpreadsheetCellSource cells(&sheet);
        run(cells, kind, QString::fromUtf8(range), QString::fromUtf8(file), true, name, samples);
    }

    // A table given as text, as velmora-cli reads it from a file.
    void table(const QByteArray &text, int kind, const char *file, const char *name)
    {
        QByteArray bytes = text;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        TextTableReader reader(buffer, FieldSeparator::Tab, QString::fromUtf8(file));
        TextTable table;
        if (!reader.next(table)) {
            fail(QStringLiteral("cannot read the table of %1").arg(QString::fromUtf8(name)));
            return;
        }
        const PlainTableSource cells(table);
        run(cells, kind, table.usedBlock().text(), QString::fromUtf8(file), false, name);
    }

    // The Q-Q plot of a simulated batch: 2 x 3 genotype tables of 1,000
    // cases and 1,000 controls at 20,000 SNPs, eight of them associated, as
    // velmora-cli chi2 writes their lines.
    void qq(const char *name)
    {
        // The title names the file as given: a name without the folder.
        QTemporaryDir dir;
        const QString home = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString lines = QStringLiteral("snps.jsonl");
        QFile file(lines);
        if (!file.open(QIODevice::WriteOnly)) {
            fail(QStringLiteral("cannot write %1").arg(lines));
            QDir::setCurrent(home);
            return;
        }
        std::mt19937_64 random(20240601);
        std::uniform_real_distribution<double> frequency(0.05, 0.5);
        for (int snp = 1; snp <= 20000; ++snp) {
            const double q = frequency(random);
            // The associated SNPs shift the cases' allele frequency.
            const double shift = snp % 2500 == 0 ? 0.06 : 0.0;
            std::vector<qint64> counts;
            for (const double allele : {q + shift, q}) {
                std::discrete_distribution<int> genotype(
                    {(1 - allele) * (1 - allele), 2 * allele * (1 - allele), allele * allele});
                qint64 n[3] = {0, 0, 0};
                for (int i = 0; i < 1000; ++i)
                    ++n[genotype(random)];
                counts.insert(counts.end(), n, n + 3);
            }
            const CellResiduals cells = tableResiduals(2, 3, counts);
            double x2 = 0.0;
            for (const double r : cells.residual)
                x2 += r * r;
            const double p = chi2PValue(x2, 2.0);
            file.write(QStringLiteral("{\"file\":\"snps.tsv\",\"table\":%1,\"test\":\"chi2\",\"status\":0,\"p\":%2}\n")
                           .arg(snp)
                           .arg(p, 0, 'g', 17)
                           .toUtf8());
        }
        file.close();
        CliOptions options;
        options.command = CliOptions::Command::Qq;
        options.files = {lines};
        options.plot = out.filePath(QString::fromUtf8(name) + QStringLiteral(".png"));
        options.plotWidth = kPlotSize.width();
        options.plotHeight = kPlotSize.height();
        if (runQqCommand(options) != 0)
            fail(QStringLiteral("qq failed"));
        QDir::setCurrent(home);
    }

    // The LD triangle of the example region, every pair within velmora-cli
    // ld's default window, as its --plot draws it.
    void ld(const char *file, const char *name)
    {
        QString error;
        const QString path = examples.filePath(QString::fromUtf8(file));
        std::unique_ptr<VariantCodesReader> reader = VariantCodesReader::open(path, {}, {}, &error);
        if (!reader) {
            fail(error);
            return;
        }
        std::vector<std::unique_ptr<PackedCalls>> variants;
        LdMatrix matrix;
        matrix.title = QStringLiteral("LD of %1").arg(QString::fromUtf8(file));
        VariantCodes codes;
        while (reader->next(codes)) {
            variants.push_back(std::make_unique<PackedCalls>(codes));
            matrix.names << QString::fromUtf8(codes.identity.id);
            matrix.chroms << QString::fromUtf8(codes.identity.chrom);
            matrix.positions.push_back(codes.identity.pos);
        }
        matrix.reset();
        for (std::size_t i = 0; i < variants.size(); ++i) {
            for (std::size_t j = i + 1; j < variants.size(); ++j) {
                PairCounts counts;
                countPair(*variants[i], *variants[j], &counts);
                twolocus::Counts table;
                std::copy(&counts.n[0][0], &counts.n[0][0] + 9, &table.n[0][0]);
                twolocus::Figures figures;
                if (twolocus::estimate(table, &figures) == twolocus::Status::Ok)
                    matrix.set(i, j, figures);
            }
        }
        QString reason;
        if (!pictures::writePicture(*ldTrianglePicture(matrix, false),
                                    out.filePath(QString::fromUtf8(name) + QStringLiteral(".png")), kPlotSize,
                                    QApplication::font(), &reason))
            fail(QStringLiteral("%1: %2").arg(QString::fromUtf8(name), reason));
    }

    // The haplotypes of an example's block, as the window runs them with
    // the dialog's defaults.
    void haplotypes(const char *file, const char *range, const char *name)
    {
        Spreadsheet sheet;
        TestInput in;
        if (!readBlock(file, range, sheet, in))
            return;
        const CheckResult verdict = checkTestRange(TestHaplotypes, SpreadsheetCellSource(&sheet), in);
        const HaplotypesRun run = runHaplotypesTest(in, 20240601, {});
        const PicturePtr picture = verdict.ok ? haplotypesPicture(run, placeOf(file, range)) : nullptr;
        write(picture, name, run.error);
    }

    // A picture of the first model of a meta-analysis block, run as the
    // window runs it with the dialog's defaults (every model), subgroups
    // taken from the column right of the block when asked.
    void meta(const char *file, const char *range, bool subgroups, MetaPictureKind kind, const char *name)
    {
        Spreadsheet sheet;
        TestInput in;
        if (!readBlock(file, range, sheet, in))
            return;
        MetaBlockOptions options;
        options.subgroups = subgroups;
        MetaInput input;
        const CheckResult verdict = checkMeta(SpreadsheetCellSource(&sheet), in, options, &input);
        input.source = placeOf(file, range);
        const MetaRun run = runMetaAnalysis(input);
        const PicturePtr picture =
            verdict.ok && run.status == 0 ? metaPicture(kind, input, run, 0, input.source) : nullptr;
        write(picture, name, verdict.ok ? run.message : verdict.message);
    }

    int failures() const { return errors; }

private:
    // The block of an example document as the test dialog fills its record.
    bool readBlock(const char *file, const char *range, Spreadsheet &sheet, TestInput &in)
    {
        const std::optional<CellBlock> block = CellBlock::parse(QString::fromUtf8(range));
        if (!block || !sheet.readSheet(examples.filePath(QString::fromUtf8(file)))) {
            fail(QStringLiteral("cannot read %1 of %2").arg(QString::fromUtf8(range), QString::fromUtf8(file)));
            return false;
        }
        in.topRow = block->top;
        in.leftCol = block->left;
        in.nRows = block->bottom - block->top + 1;
        in.nCols = block->right - block->left + 1;
        return true;
    }

    static QString placeOf(const char *file, const char *range)
    {
        return QStringLiteral("%1 of %2").arg(QString::fromUtf8(range), QString::fromUtf8(file));
    }

    // The picture as NAME.png, or a failure with `why` when there is none.
    void write(const PicturePtr &picture, const char *name, const QString &why)
    {
        QString reason;
        if (!picture
            || !pictures::writePicture(*picture, out.filePath(QString::fromUtf8(name) + QStringLiteral(".png")),
                                       kPlotSize, QApplication::font(), &reason))
            fail(QStringLiteral("%1: %2 %3").arg(QString::fromUtf8(name), why, reason));
    }

    void run(const CellSource &cells, int kind, const QString &range, const QString &file, bool isDocument,
             const char *name, qint64 samples = 0)
    {
        const std::optional<CellBlock> block = CellBlock::parse(range);
        TestSettings settings;
        settings.kind = kind;
        settings.name = QStringLiteral("plot");
        settings.plot = true;
        settings.monteCarloSamples = samples;
        settings.seedGiven = true;
        settings.seed = 20240601;
        BlockPlace place{file, 1, isDocument};
        const BlockOutcome outcome = runBlock(cells, *block, settings, place, ProgressDisplay());
        QString reason;
        if (!outcome.picture
            || !pictures::writePicture(*outcome.picture, out.filePath(QString::fromUtf8(name) + QStringLiteral(".png")),
                                       kPlotSize, QApplication::font(), &reason))
            fail(QStringLiteral("%1: %2 %3").arg(QString::fromUtf8(name), outcome.line, reason));
    }

    void fail(const QString &message)
    {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        ++errors;
    }

    QDir out;
    QDir examples;
    int errors = 0;
};

} // namespace

int takePlots(const QString &outDir, const QString &examplesDir)
{
    PlotShooter shooter(outDir, examplesDir);
    shooter.document("chi-squared.sp", TestChi2, "B2:D3", "plot-chi-squared");
    shooter.table("342\t436\n\t222\n", TestHardyW, "snp.tsv", "plot-hardy-weinberg");
    shooter.document("hardy-weinberg.sp", TestHardyW, "B2:D4", "plot-genotypes");
    shooter.document("risk-cluster.sp", TestCluster, "B2:G3", "plot-risk-clusters");
    shooter.document("chi-squared.sp", TestModels, "B2:D3", "plot-genetic-models");
    shooter.document("chi-squared.sp", TestChi2, "B2:D3", "plot-monte-carlo", 100000);
    shooter.qq("plot-qq");
    shooter.ld("ld-region.vcf", "plot-ld-triangle");
    shooter.haplotypes("haplotypes.sp", "B2:F101", "plot-haplotypes");
    shooter.meta("meta-analysis.sp", "B2:G15", true, MetaPictureKind::Forest, "plot-meta-forest");
    shooter.meta("meta-analysis.sp", "B2:G15", true, MetaPictureKind::Funnel, "plot-meta-funnel");
    return shooter.failures();
}
