#include "haplotypescommand.h"

#include "calcpoll.h"
#include "clicommands.h"
#include "cliprocess.h"
#include "genotypereader.h"
#include "genotypetally.h"
#include "haplotypesrun.h"
#include "jsonline.h"
#include "montecarlorun.h"
#include "progressline.h"
#include "samplegroups.h"
#include "standardoutput.h"
#include "variantcodesreader.h"


#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxStarts = 1000;
constexpr qint64 kMaxPermutations = 1000000000;
constexpr int kMaxThreads = 1024;

CliParse failure(const QString &error)
{
    CliParse parse;
    parse.error = error;
    return parse;
}

// A SNP's name for messages and the report: its ID, or CHROM:POS without one.
QString snpName(const VariantCodes &codes)
{
    const VariantIdentity &id = codes.identity;
    if (!id.id.isEmpty() && id.id != ".")
        return QString::fromUtf8(id.id);
    return QStringLiteral("%1:%2").arg(QString::fromUtf8(id.chrom)).arg(id.pos);
}

// Why a SNP cannot take part; empty when it can.
QString unusable(const VariantCodes &codes)
{
    if (codes.multiAllelic())
        return QStringLiteral("SNP %1 is multi-allelic: haplotypes take two alleles a SNP").arg(codes.label());
    if (codes.haploid > 0)
        return QStringLiteral("SNP %1 has %2 haploid calls: haplotypes need two alleles an individual")
            .arg(codes.label())
            .arg(codes.haploid);
    int seen[3] = {0, 0, 0};
    for (const quint8 call : codes.calls) {
        if (!callcode::missing(call))
            ++seen[callcode::copies(call)];
    }
    if (seen[1] == 0 && (seen[0] == 0 || seen[2] == 0))
        return QStringLiteral("SNP %1 is monomorphic in the samples used").arg(codes.label());
    return QString();
}

// An odds ratio or limit as the models write it: JSON has no infinity, so
// the string "inf" stands for it (a haplotype never seen in controls).
QString ratioJson(double value)
{
    return std::isinf(value) ? QStringLiteral("\"inf\"") : JsonLine::number(value);
}

QString haplotypeJson(const HaplotypeEntry &entry, int loci)
{
    JsonLine json;
    json.add("alleles", haplotypeDigits(entry, loci))
        .addNumber("freq", entry.freq)
        .addNumber("freq_cases", entry.freqCases)
        .addNumber("freq_controls", entry.freqControls)
        .addRaw("or", ratioJson(entry.oddsRatio));
    if (std::isnan(entry.low))
        json.addNull("or_ci");
    else
        json.addRaw("or_ci", QStringLiteral("[%1,%2]").arg(ratioJson(entry.low), ratioJson(entry.high)));
    json.addNumber("p", entry.p);
    if (entry.rare)
        json.add("pooled", entry.pooled);
    return json.text();
}

QString resultLine(const QString &file, const HaplotypesRun &run)
{
    const HaplotypeFigures &f = run.figures;
    JsonLine json;
    json.add("file", file).addRaw("snps", JsonLine::stringArray(run.labels.snps));
    json.add("n", f.n).add("cases", f.cases).add("controls", f.controls).add("untyped", f.untyped);
    json.addNumber("loglik", f.loglik)
        .addNumber("loglik_cases", f.loglikCases)
        .addNumber("loglik_controls", f.loglikControls)
        .add("converged", true)
        .add("iterations", f.iterations)
        .add("starts", f.starts)
        .add("starts_at_best", f.startsAtBest);
    QStringList entries;
    for (const HaplotypeEntry &entry : f.entries)
        entries.append(haplotypeJson(entry, f.loci));
    json.addRaw("haplotypes", QStringLiteral("[") + entries.join(u',') + u']');
    JsonLine global;
    global.addNumber("lrt", f.lrt).add("df", f.df).addNumber("p", f.p);
    if (f.permutations > 0) {
        global.addNumber("p_perm", f.pPerm)
            .addRaw("p_perm_ci", QStringLiteral("[%1,%2]").arg(JsonLine::number(f.pPermLow), JsonLine::number(f.pPermHigh)));
    } else {
        global.addNull("p_perm").addNull("p_perm_ci");
    }
    global.add("permutations", f.permutations).add("seed", qint64(f.seed));
    json.addRaw("global", global.text());
    json.add("status", 0);
    return json.text();
}

QString errorLine(const QString &file, const QStringList &snps, const QString &message, bool converged)
{
    JsonLine json;
    json.add("file", file).addRaw("snps", JsonLine::stringArray(snps));
    if (!converged)
        json.add("converged", false);
    json.add("status", "error").add("message", message);
    return json.text();
}

// --format tsv: a row per haplotype, the run's figures repeated.
QByteArray tsvRows(const QString &file, const HaplotypesRun &run)
{
    const HaplotypeFigures &f = run.figures;
    const auto number = [](double v) { return std::isnan(v) ? QStringLiteral("NA") : JsonLine::number(v); };
    QByteArray out =
        "file\tsnps\tn\tcases\tcontrols\tloglik\titerations\tstarts\tstarts_at_best\talleles\tfreq\tfreq_cases\t"
        "freq_controls\tor\tor_lo\tor_hi\tp\tlrt\tdf\tglobal_p\tp_perm\tp_perm_lo\tp_perm_hi\tpermutations\tseed\n";
    QString name = file;
    name.replace(u'\t', u' ').replace(u'\n', u' ');
    for (const HaplotypeEntry &e : f.entries) {
        const QStringList fields = {name,
                                    run.labels.snps.join(u','),
                                    QString::number(f.n),
                                    QString::number(f.cases),
                                    QString::number(f.controls),
                                    number(f.loglik),
                                    QString::number(f.iterations),
                                    QString::number(f.starts),
                                    QString::number(f.startsAtBest),
                                    haplotypeDigits(e, f.loci),
                                    number(e.freq),
                                    number(e.freqCases),
                                    number(e.freqControls),
                                    number(e.oddsRatio),
                                    number(e.low),
                                    number(e.high),
                                    number(e.p),
                                    number(f.lrt),
                                    QString::number(f.df),
                                    number(f.p),
                                    number(f.permutations > 0 ? f.pPerm : qQNaN()),
                                    number(f.permutations > 0 ? f.pPermLow : qQNaN()),
                                    number(f.permutations > 0 ? f.pPermHigh : qQNaN()),
                                    QString::number(f.permutations),
                                    QString::number(f.seed)};
        out += fields.join(u'\t').toUtf8() + '\n';
    }
    return out;
}

// The SNPs of the run, in order, each usable; false after telling why not.
bool readSnps(VariantCodesReader &reader, const CliOptions &options, std::vector<VariantCodes> &snps, QString &error)
{
    if (!options.snps.isEmpty()) {
        if (options.snps.size() > haplotypeem::kMaxLoci) {
            error = QStringLiteral("%1 SNPs named: haplotypes take 2 to %2").arg(options.snps.size()).arg(haplotypeem::kMaxLoci);
            return false;
        }
        if (!reader.readNamed(options.snps, &snps, &error))
            return false;
        for (const VariantCodes &codes : snps) {
            error = unusable(codes);
            if (!error.isEmpty())
                return false;
        }
        return true;
    }
    // A region: SNPs that cannot be used are passed over and counted.
    int skipped = 0;
    VariantCodes codes;
    while (reader.next(codes)) {
        if (calcStopFlag) {
            error = QStringLiteral("stopped");
            return false;
        }
        if (codes.haploid > 0) {
            error = unusable(codes);
            return false;
        }
        if (!unusable(codes).isEmpty()) {
            ++skipped;
            continue;
        }
        snps.push_back(codes);
        if (int(snps.size()) > haplotypeem::kMaxLoci) {
            error = QStringLiteral("the region %1 holds more than %2 SNPs that can be used: haplotypes take 2 to %2")
                        .arg(options.region->text())
                        .arg(haplotypeem::kMaxLoci);
            return false;
        }
    }
    if (!reader.errorString().isEmpty()) {
        error = reader.errorString();
        return false;
    }
    if (skipped > 0)
        cliprocess::printError(QStringLiteral("%1: %2 monomorphic or multi-allelic SNPs of %3 passed over")
                                   .arg(reader.fileName())
                                   .arg(skipped)
                                   .arg(options.region->text()));
    if (snps.size() < 2) {
        error = QStringLiteral("the region %1 holds %2 SNPs that can be used: haplotypes take 2 to %3")
                    .arg(options.region->text())
                    .arg(snps.size())
                    .arg(haplotypeem::kMaxLoci);
        return false;
    }
    return true;
}

} // namespace

CliParse parseHaplotypesCommand(const QStringList &arguments)
{
    CliOptions options;
    options.command = CliOptions::Command::Haplotypes;
    options.testName = QStringLiteral("haplotypes");
    options.genotypes = true;
    bool plotSizeGiven = false;
    static const QStringList kValued = {
        QStringLiteral("--plot"),   QStringLiteral("--plot-size"), QStringLiteral("--snps"),         QStringLiteral("--region"),
        QStringLiteral("--pheno"),  QStringLiteral("--samples"),   QStringLiteral("--starts"),       QStringLiteral("--permutations"),
        QStringLiteral("--seed"),   QStringLiteral("--rare"),      QStringLiteral("--threads"),      QStringLiteral("--format")};
    const QString wrong = walkOptions(
        arguments, options.files,
        [](const QString &name) { return kValued.contains(name) ? OptionKind::Valued : OptionKind::Unknown; },
        [&](const QString &name, const QString &value) -> QString {
            QString error;
            bool ok = false;
            if (parsePlotOption(name, value, options, error) || parseSharedOption(name, value, options, error)) {
                plotSizeGiven = plotSizeGiven || name == u"--plot-size";
            } else if (name == u"--snps") {
                options.snps = value.split(u',', Qt::SkipEmptyParts);
                if (options.snps.isEmpty())
                    return QStringLiteral("--snps takes IDs separated by commas");
            } else if (name == u"--region") {
                options.region = RegionSpec::parse(value, &error);
                if (!options.region)
                    return error;
            } else if (name == u"--pheno") {
                options.phenoFile = value;
            } else if (name == u"--samples") {
                options.samplesFile = value;
            } else if (name == u"--starts") {
                options.starts = value.toInt(&ok, 10);
                if (!ok || options.starts < 1 || options.starts > kMaxStarts)
                    return QStringLiteral("--starts takes 1 to %1 starts").arg(kMaxStarts);
            } else if (name == u"--permutations") {
                options.permutations = value.toLongLong(&ok, 10);
                if (!ok || options.permutations < 0 || options.permutations > kMaxPermutations)
                    return QStringLiteral("--permutations takes 0 to %1").arg(kMaxPermutations);
            } else if (name == u"--rare") {
                options.rare = value.toDouble(&ok);
                if (!ok || !(options.rare >= 0.0 && options.rare < 0.5))
                    return QStringLiteral("--rare takes a frequency from 0 to below 0.5");
            }
            return error;
        });
    if (!wrong.isEmpty())
        return failure(wrong);
    if (options.files.size() != 1)
        return failure(QStringLiteral("haplotypes takes one genotype FILE"));
    if (!isGenotypeFileName(options.files.first()))
        return failure(QStringLiteral("haplotypes reads a genotype file (.vcf, .vcf.gz, .bcf, .bed), not %1")
                           .arg(options.files.first()));
    if (options.snps.isEmpty() == !options.region)
        return failure(QStringLiteral("haplotypes takes either --snps or --region"));
    if (options.phenoFile.isEmpty() && !options.files.first().endsWith(QStringLiteral(".bed"), Qt::CaseInsensitive))
        return failure(QStringLiteral("haplotypes on %1 needs --pheno FILE: its cases and controls").arg(options.files.first()));
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}

int runHaplotypesCommand(const CliOptions &options, ProgressLine &progress, const HaplotypesPlotWriter &plot)
{
    const QString &file = options.files.first();
    QStringList names = options.snps;
    const auto fail = [&](const QString &message, bool converged = true) {
        progress.erase();
        cliprocess::printError(message);
        QByteArray line = errorLine(file, names, message, converged).toUtf8() + '\n';
        StandardOutput::write(line);
        return ExitFailed;
    };

    SampleChoice choice;
    choice.caseControl = true;
    QString error;
    if (!options.samplesFile.isEmpty()) {
        QStringList keep;
        if (!readSampleList(options.samplesFile, &keep, &error))
            return fail(error);
        choice.keep = keep;
    }
    if (!options.phenoFile.isEmpty()) {
        QHash<QString, Phenotype> pheno;
        if (!readPhenotypes(options.phenoFile, &pheno, &error))
            return fail(error);
        choice.pheno = pheno;
    }
    GenotypeOpenOptions open;
    open.region = options.region;
    open.threads = 1;
    std::unique_ptr<VariantCodesReader> reader = VariantCodesReader::open(file, open, choice, &error);
    if (!reader)
        return fail(error);
    progress.setFile(file, 0);
    cliprocess::printError(reader->groups().phenotypeSummary(file));

    std::vector<VariantCodes> snps;
    if (!readSnps(*reader, options, snps, error))
        return fail(error);
    names.clear();
    HaplotypeSample sample;
    HaplotypeLabels labels;
    sample.loci = int(snps.size());
    for (const VariantCodes &codes : snps) {
        names.append(snpName(codes));
        labels.alleles << QString::fromUtf8(codes.identity.ref)
                       << QString::fromUtf8(codes.identity.alts.value(0, QByteArrayLiteral(".")));
    }
    labels.snps = names;
    sample.names = names;
    const std::size_t individuals = reader->sampleIds().size();
    sample.genotypes.resize(individuals * std::size_t(sample.loci));
    for (std::size_t i = 0; i < individuals; ++i) {
        for (int j = 0; j < sample.loci; ++j) {
            const quint8 call = snps[std::size_t(j)].calls[i];
            sample.genotypes[i * std::size_t(sample.loci) + std::size_t(j)] =
                callcode::missing(call) ? haplotypeem::kMissing : qint8(callcode::copies(call));
        }
        sample.isCase.push_back(qint8(reader->callGroups()[i] == GenotypeTally::Case));
    }
    snps.clear();

    HaplotypeSettings settings;
    settings.starts = options.starts;
    settings.permutations = options.permutations;
    settings.seed = options.seedGiven ? options.seed : drawMonteCarloSeed();
    settings.rare = options.rare;
    settings.threads = options.threads;
    const HaplotypesRun run = runHaplotypesTest(
        sample, labels, settings, [&progress](int maximum) { progress.engineProgress(maximum); },
        ReportText::FiguresOnly);
    if (run.status == haplotypeassoc::Stopped) {
        progress.erase();
        cliprocess::printError(QStringLiteral("stopped"));
        return ExitFailed;
    }
    if (run.status != haplotypeassoc::Finished) {
        return fail(run.error, run.status != haplotypeassoc::NoConvergence);
    }
    progress.erase();
    const QByteArray out = options.tsv ? tsvRows(file, run) : resultLine(file, run).toUtf8() + '\n';
    if (!StandardOutput::write(out))
        return ExitFailed;
    if (!options.plot.isEmpty() && (!plot || !plot(run, file)))
        return ExitFailed;
    return ExitOk;
}
