#pragma once

#include <functional>

#include "cellblock.h"
#include "regionspec.h"
#include "stratatables.h"

#include <QString>
#include <QStringList>

#include <vector>

// The kind of `velmora-cli cmh`, the stratified tests on genotype files,
// beside the TestKind values of the grid's tests (it has no block there).
constexpr int kTestCmh = 100;

// What the command line asks for.
struct CliOptions
{
    enum class Command { Test, Values, Convert, Qq, Meta, Ld, Haplotypes, Help };

    Command command = Command::Help;
    int testKind = -1;       // a TestKind for Command::Test
    QString testName;        // as typed: chi2, fisher, hwe, interact, cluster, models
    std::vector<CellBlock> ranges;
    bool yates = false;
    int accuracy = 0;        // Fisher: guaranteed digits, 0 for exact
    bool report = false;     // print the Results entry instead of JSON
    qint64 maxMemoryMb = 0;  // a cap on one run's memory; 0: 3/4 of what is available
    qint64 monteCarloSamples = 0;  // fisher, hwe, chi2: a Monte Carlo estimate; 0: exact
    bool seedGiven = false;  // false: each Monte Carlo run draws its own seed
    quint64 seed = 0;
    int threads = 0;         // threads a run may use; 0: one per core
    double confLevel = 0.95; // models: the level of every interval
    QString plot;            // --plot OUT.png|.svg|.pdf; empty: no picture
    int plotWidth = 1200;    // --plot-size WxH, in pixels
    int plotHeight = 800;
    QStringList files;       // Test: the inputs; Values, Qq: one; Convert: in, out

    // Genotype files (.vcf, .vcf.gz, .bcf, .bed) instead of tables.
    bool genotypes = false;
    std::optional<RegionSpec> region;
    int chunkIndex = 0;      // --chunk I/N; 0: the whole file
    int chunkCount = 0;
    QString samplesFile;     // --samples
    QString phenoFile;       // --pheno
    double exactLimit = 2.0; // --exact-limit: seconds of exact work per variant
    bool tsv = false;        // --format tsv

    // meta: one model (a GeneticModel, or kMetaExposure), -1 for all.
    int metaModel = -1;
    double hweLevel = 0.05;  // --hwe-level
    bool metaSubgroups = false;  // --subgroups: the column right of a --range block
    bool metaEffectFirst = false;  // --effect-first: a --range block's effect homozygotes lead
    QString plotKind = QStringLiteral("forest");  // --plot-kind forest|funnel|leave-one-out
    QString strataFile;      // cmh: --strata
    StrataModel model = StrataModel::Allelic;  // cmh: --model
    // ld: pairs within --window-kb of each other, or of the --snps named.
    double windowKb = 1000;  // --window-kb
    bool windowGiven = false;
    double r2Min = 0;        // --r2-min: pairs with r2 below it are not printed
    QStringList snps;        // --snps ID,ID,...
    bool plotByR2 = false;   // --plot-colour r2 (default: D' with LOD)
    // haplotypes (the SNPs in snps, or --region): the EM's starts, the
    // permutations of the global test, the rare frequency.
    int starts = 20;
    qint64 permutations = 1000;
    double rare = 0.01;
};

// CliOptions::metaModel of the exposure layout's one model.
constexpr int kMetaExposure = 100;

struct CliParse
{
    bool ok = false;
    QString error;           // for the usage message when !ok
    CliOptions options;
};

// Reads the arguments after the program name. Options may stand before,
// between or after the files; "--" ends them, and "-" is standard input.
CliParse parseCommandLine(const QStringList &arguments);

// --plot and --plot-size, common to the tests, qq and meta; false when
// `name` is neither. `error` is set when it is one but is wrong.
bool parsePlotOption(const QString &name, const QString &value, CliOptions &options, QString &error);

// A command's arguments after its name, walked once: files (and every
// argument after "--") go to `files`; each option reaches `take` with its
// value ("--name=value" or the next argument), a flag with none. `kind`
// tells an unknown option, a flag and one with a value apart. Returns the
// first error, or an empty string.
enum class OptionKind { Unknown, Flag, Valued };
QString walkOptions(const QStringList &arguments, QStringList &files,
                    const std::function<OptionKind(const QString &name)> &kind,
                    const std::function<QString(const QString &name, const QString &value)> &take);

// --threads, --format, --seed and --chunk, read alike by every command
// that takes them; false when `name` is none of them. `error` is set when
// it is one but its value is wrong.
bool parseSharedOption(const QString &name, const QString &value, CliOptions &options, QString &error);

// meta's options (the first argument is the command).
CliParse parseMeta(const QStringList &arguments, CliOptions options);

// The short usage text shown with a usage error and for --help.
QString usageText();

// Whether `name` is a text format that convert writes (.tsv, .csv) or a
// document (.sp), by its extension.
bool isDocumentName(const QString &name);
bool isCsvName(const QString &name);
bool isTsvName(const QString &name);
