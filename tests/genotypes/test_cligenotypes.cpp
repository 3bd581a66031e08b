// velmora-cli on genotype files: the fixture's P-values against PLINK 1.9
// and bcftools in all four forms, multi-allelic variants against the
// brute-force enumeration, the same bytes for any thread count, chunking,
// region and format, the Monte Carlo fallback deterministic, and damaged
// input and misuse named.
#include "../cli/clitestbase.h"
#include "../stats/contingency/hwbruteforce.h"
#include "genotypefiles.h"

#include <QJsonArray>

#include <csignal>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace clitest;
using namespace genotypefiles;

namespace {

// A random VCF of multi-allelic variants and what its calls hold: per
// variant the genotype table of the alleles present, and the missing calls.
struct MultiVariant
{
    int alleles = 0;             // present
    std::vector<int> table;      // alleles x alleles, upper triangle
    int missing = 0;
    int n = 0;
};

QByteArray multiAllelicVcf(std::vector<MultiVariant> *variants)
{
    std::mt19937 rng(77);
    const int shapes[][2] = {{3, 60}, {3, 45}, {4, 40}, {4, 30}, {5, 25}, {5, 28}, {4, 50}, {3, 33}};
    const int samples = 60;
    QByteArray vcf = "##fileformat=VCFv4.2\n##contig=<ID=3>\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int s = 0; s < samples; ++s)
        vcf += "\ts" + QByteArray::number(s);
    vcf += '\n';
    int pos = 100;
    for (const auto &shape : shapes) {
        const int K = shape[0], used = shape[1];
        // One more allele in ALT than the calls use: it must be dropped.
        const QList<QByteArray> alts = QByteArray("C,G,T,AC,AG,AT").split(',').mid(0, K);
        pos += 7;
        vcf += "3\t" + QByteArray::number(pos) + "\tm" + QByteArray::number(pos) + "\tA\t" + alts.join(',')
               + "\t.\t.\t.\tGT";
        MultiVariant v;
        std::vector<int> counts(std::size_t(K + 1) * std::size_t(K + 1), 0);
        for (int s = 0; s < samples; ++s) {
            if (s >= used || std::uniform_int_distribution<int>(0, 11)(rng) == 0) {
                vcf += s % 2 ? "\t./." : "\t.";
                ++v.missing;
                continue;
            }
            // Skewed, so that the table is not in equilibrium everywhere.
            int a = std::uniform_int_distribution<int>(0, K - 1)(rng);
            int b = std::uniform_int_distribution<int>(0, std::max(0, a + (s % 3) - 1))(rng) % K;
            vcf += '\t' + QByteArray::number(b) + (s % 4 ? "/" : "|") + QByteArray::number(a);
            ++counts[std::size_t(std::min(a, b)) * std::size_t(K + 1) + std::size_t(std::max(a, b))];
            ++v.n;
        }
        vcf += '\n';
        std::vector<int> present;
        for (int a = 0; a <= K; ++a) {
            bool any = false;
            for (int b = 0; b <= K; ++b)
                any = any || counts[std::size_t(std::min(a, b)) * std::size_t(K + 1) + std::size_t(std::max(a, b))] > 0;
            if (any)
                present.push_back(a);
        }
        v.alleles = int(present.size());
        v.table.assign(present.size() * present.size(), 0);
        for (std::size_t i = 0; i < present.size(); ++i)
            for (std::size_t j = i; j < present.size(); ++j)
                v.table[i * present.size() + j] = counts[std::size_t(present[i]) * std::size_t(K + 1) + std::size_t(present[j])];
        variants->push_back(v);
    }
    return vcf;
}

QList<QJsonObject> objects(const CliRun &run)
{
    QList<QJsonObject> out;
    for (const QByteArray &line : run.lines())
        out << QJsonDocument::fromJson(line).object();
    return out;
}

} // namespace

class TestCliGenotypes final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void peers_data();
    void peers();
    void multiAllelic();
    void sameBytes_data();
    void sameBytes();
    void monteCarloFallback();
    void tsvColumns();
    void damagedAndMisused();
    void damagedAndOddInputs_data();
    void damagedAndOddInputs();
    void lostOutputStops_data();
    void lostOutputStops();

private:
    QString at(const char *name) const { return dir.filePath(QLatin1StringView(name)); }
    CliRun runWithin(const QStringList &arguments, const QString &shell, const std::function<void(QProcess &)> &prepare = {});
    QByteArray bytesOf(const QString &name) const;
    std::vector<MultiVariant> multi;
};

void TestCliGenotypes::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(copyFixture(dir.path()));
    QVERIFY(compressAndConvert(at("fixture.vcf"), at("fixture.vcf.gz"), at("fixture.bcf")));
    write(QStringLiteral("multi.vcf"), multiAllelicVcf(&multi));
    QVERIFY(compressAndConvert(at("multi.vcf"), at("multi.vcf.gz"), at("multi.bcf")));
    // The .fam's phenotypes by the sample names of the exported VCF.
    QFile fam(at("fixture.fam"));
    QVERIFY(fam.open(QIODevice::ReadOnly));
    QByteArray pheno;
    for (const QByteArray &line : fam.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 6)
            pheno += f[0] + '_' + f[1] + ' ' + f[5] + '\n';
    }
    write(QStringLiteral("pheno.txt"), pheno);
}

void TestCliGenotypes::peers_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name : {"fixture.bed", "fixture.vcf", "fixture.vcf.gz", "fixture.bcf"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Every SNP's Hardy-Weinberg P as PLINK 1.9 (4 digits) and bcftools (6
// digits of its float) print it, the Fisher 2 x 3 P as PLINK's --model
// fisher, and the models' allelic and trend P as its --model: the .bed with
// its .fam's phenotypes, the others with --pheno.
void TestCliGenotypes::peers()
{
    QFETCH(QString, file);
    const CliRun hwe = run({QStringLiteral("hwe"), file});
    QCOMPARE(hwe.exitCode, 0);
    QStringList pheno;
    if (!file.endsWith(QStringLiteral(".bed")))
        pheno << QStringLiteral("--pheno") << at("pheno.txt");
    const CliRun fisher = run(QStringList{QStringLiteral("fisher"), file} + pheno);
    QCOMPARE(fisher.exitCode, 0);
    QVERIFY2(fisher.err.contains(": 30 cases and 30 controls; 0 samples without a phenotype left out"), fisher.err);
    const CliRun models = run(QStringList{QStringLiteral("models"), file} + pheno);
    QCOMPARE(models.exitCode, 0);
    const QList<QJsonObject> h = objects(hwe), f = objects(fisher), m = objects(models);
    QCOMPARE(h.size(), 24);
    QCOMPARE(f.size(), 24);
    QCOMPARE(m.size(), 24);
    for (int i = 0; i < 24; ++i) {
        const PeerNumbers &peer = kPeers[i];
        QCOMPARE(h[i].value(QStringLiteral("variant")).toInt(), i + 1);
        QCOMPARE(h[i].value(QStringLiteral("id")).toString(), QString::fromLatin1(peer.id));
        QCOMPARE(h[i].value(QStringLiteral("method")).toString(), QStringLiteral("exact"));
        const double p = h[i].value(QStringLiteral("p")).toDouble();
        QVERIFY2(printedAs(p, peer.hardy, 4), peer.id);
        QVERIFY2(printedAs(p, peer.bcftools, 6, true), peer.id);
        QVERIFY2(printedAs(f[i].value(QStringLiteral("p")).toDouble(), peer.fisherGeno, 4), peer.id);
        const auto modelP = [&](const char *model) {
            return m[i].value(QLatin1StringView(model)).toObject().value(QStringLiteral("p_chi2")).toDouble();
        };
        QVERIFY2(printedAs(modelP("allelic"), peer.allelic, 4), peer.id);
        QVERIFY2(printedAs(modelP("trend"), peer.trend, 4), peer.id);
        QCOMPARE(h[i].value(QStringLiteral("n")).toInt() + h[i].value(QStringLiteral("missing")).toInt(), 60);
    }
}

// Three to five alleles, 25 to 60 called samples: the exact K-allele P of
// the alleles present, as the enumeration of every table gives it (to
// 1e-9, relative), and the alleles, individuals and missing calls.
void TestCliGenotypes::multiAllelic()
{
    const CliRun out = run({QStringLiteral("hwe"), at("multi.vcf")});
    QCOMPARE(out.exitCode, 0);
    const QList<QJsonObject> lines = objects(out);
    QCOMPARE(lines.size(), int(multi.size()));
    for (std::size_t v = 0; v < multi.size(); ++v) {
        const QJsonObject &line = lines[int(v)];
        QCOMPARE(line.value(QStringLiteral("alleles")).toInt(), multi[v].alleles);
        QCOMPARE(line.value(QStringLiteral("missing")).toInt(), multi[v].missing);
        QCOMPARE(line.value(QStringLiteral("n")).toInt(), multi[v].n);
        QCOMPARE(line.value(QStringLiteral("method")).toString(), QStringLiteral("exact"));
        HwBruteForce reference(multi[v].alleles, multi[v].table);
        const double want = reference.pValue();
        const double got = line.value(QStringLiteral("p")).toDouble();
        QVERIFY2(std::fabs(got - want) <= 1e-9 * want, qPrintable(QStringLiteral("%1 %2").arg(got).arg(want)));
    }
}

void TestCliGenotypes::sameBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("hwe .bed") << QStringList{QStringLiteral("hwe"), QStringLiteral("fixture.bed")};
    QTest::newRow("fisher .vcf.gz, tsv") << QStringList{QStringLiteral("fisher"), QStringLiteral("fixture.vcf.gz"),
                                                        QStringLiteral("--pheno"), QStringLiteral("pheno.txt"),
                                                        QStringLiteral("--format"), QStringLiteral("tsv")};
    QTest::newRow("chi2 .bcf") << QStringList{QStringLiteral("chi2"), QStringLiteral("fixture.bcf"),
                                              QStringLiteral("--pheno"), QStringLiteral("pheno.txt")};
    // Some variants over a tiny budget, some not: the choice is counted.
    QTest::newRow("hwe multi-allelic, short limit")
        << QStringList{QStringLiteral("hwe"), QStringLiteral("multi.vcf"), QStringLiteral("--exact-limit"),
                       QStringLiteral("0.0001"), QStringLiteral("--seed"), QStringLiteral("3"),
                       QStringLiteral("--monte-carlo"), QStringLiteral("2000")};
}

// One run's bytes, again with 1 to 3 threads and from three chunks joined.
void TestCliGenotypes::sameBytes()
{
    QFETCH(QStringList, arguments);
    const CliRun one = run(arguments);
    QCOMPARE(one.exitCode, 0);
    QVERIFY(one.lines().size() >= 8);
    for (const char *threads : {"1", "2", "3"})
        QCOMPARE(run(arguments + QStringList{QStringLiteral("--threads"), QLatin1StringView(threads)}).out, one.out);
    QByteArray joined;
    for (int i = 1; i <= 3; ++i)
        joined += run(arguments + QStringList{QStringLiteral("--chunk"), QStringLiteral("%1/3").arg(i)}).out;
    QCOMPARE(joined, one.out);
}

// Over the exact limit (here none at all): Monte Carlo with the variant's
// own stream, so a variant tested alone gets the same estimate; the seed
// of the run, given or drawn and told; the 99% interval holds the exact P
// (for each of the eight variants with this seed).
void TestCliGenotypes::monteCarloFallback()
{
    const QStringList arguments{QStringLiteral("hwe"), at("multi.vcf.gz"), QStringLiteral("--exact-limit"),
                                QStringLiteral("0"), QStringLiteral("--seed"), QStringLiteral("4")};
    const CliRun all = run(arguments);
    QCOMPARE(all.exitCode, 0);
    const QList<QJsonObject> lines = objects(all);
    for (std::size_t v = 0; v < multi.size(); ++v) {
        const QJsonObject &line = lines[int(v)];
        QCOMPARE(line.value(QStringLiteral("method")).toString(), QStringLiteral("monte-carlo"));
        QCOMPARE(line.value(QStringLiteral("seed")).toInteger(), 4);
        QCOMPARE(line.value(QStringLiteral("samples")).toInteger(), 100000);
        HwBruteForce reference(multi[v].alleles, multi[v].table);
        const double exact = reference.pValue();
        const QJsonArray ci = line.value(QStringLiteral("ci99")).toArray();
        QVERIFY2(ci[0].toDouble() <= exact && exact <= ci[1].toDouble(),
                 qPrintable(QStringLiteral("variant %1: exact %2, ").arg(v + 1).arg(exact)
                            + QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact))));
    }
    const QString pos = QString::number(lines[4].value(QStringLiteral("pos")).toInt());
    const CliRun alone = run(arguments + QStringList{QStringLiteral("--region"), QStringLiteral("3:") + pos + u'-' + pos});
    QCOMPARE(objects(alone).first().value(QStringLiteral("p")), lines[4].value(QStringLiteral("p")));

    // A short limit: the larger tables are over it, the smaller not.
    const CliRun mixed = run({QStringLiteral("hwe"), at("multi.vcf"), QStringLiteral("--exact-limit"), QStringLiteral("0.0001")});
    QVERIFY(mixed.out.contains("\"method\":\"exact\"") && mixed.out.contains("\"method\":\"monte-carlo\""));

    const CliRun drawn = run({QStringLiteral("hwe"), at("multi.vcf"), QStringLiteral("--exact-limit"), QStringLiteral("0")});
    const qint64 seed = objects(drawn).first().value(QStringLiteral("seed")).toInteger();
    QVERIFY2(drawn.err.contains(QByteArray(QByteArray("Monte Carlo seed ") + QByteArray::number(seed))), drawn.err);
}

// The TSV header names every field of every kind of line, and each row has
// the JSON line's values in those columns.
void TestCliGenotypes::tsvColumns()
{
    const QList<QStringList> runs = {
        {QStringLiteral("hwe"), at("multi.vcf"), QStringLiteral("--exact-limit"), QStringLiteral("0"),
         QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--monte-carlo"), QStringLiteral("100")},
        {QStringLiteral("chi2"), at("fixture.bed"), QStringLiteral("--yates")},
        {QStringLiteral("fisher"), at("multi.vcf"), QStringLiteral("--pheno"), at("pheno.txt")},
        {QStringLiteral("models"), at("fixture.bed"), QStringLiteral("--exact-limit"), QStringLiteral("0")},
    };
    for (const QStringList &arguments : runs) {
        const CliRun json = run(arguments);
        const CliRun tsv = run(arguments + QStringList{QStringLiteral("--format"), QStringLiteral("tsv")});
        const QList<QByteArray> rows = tsv.lines();
        QCOMPARE(rows.size(), json.lines().size() + 1);
        const QList<QByteArray> header = rows.first().split('\t');
        for (int i = 0; i < json.lines().size(); ++i) {
            const QJsonObject line = json.json(i);
            const QList<QByteArray> cells = rows[i + 1].split('\t');
            QCOMPARE(cells.size(), header.size());
            QJsonObject flat;
            for (auto it = line.begin(); it != line.end(); ++it) {
                if (!it.value().isObject()) {
                    flat.insert(it.key(), it.value());
                    continue;
                }
                const QJsonObject inner = it.value().toObject();
                for (auto in = inner.begin(); in != inner.end(); ++in)
                    flat.insert(it.key() + u'.' + in.key(), in.value());
            }
            for (auto it = flat.begin(); it != flat.end(); ++it) {
                const qsizetype column = header.indexOf(it.key().toUtf8());
                QVERIFY2(column >= 0, qPrintable(it.key()));
                QString value = it.value().isString() ? it.value().toString()
                                : it.value().isNull() ? QStringLiteral("NA")
                                : it.value().isBool() ? QString::fromLatin1(it.value().toBool() ? "true" : "false")
                                                      : QString();
                if (it.value().isDouble())
                    QCOMPARE(cells[column].toDouble(), it.value().toDouble());
                else if (!it.value().isArray())
                    QCOMPARE(QString::fromUtf8(cells[column]), value);
            }
        }
    }
}

void TestCliGenotypes::damagedAndMisused()
{
    // A record with a bad call among good ones: the lines before it, its
    // error naming the line, nothing after.
    QFile vcf(at("fixture.vcf"));
    QVERIFY(vcf.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = vcf.readAll().split('\n');
    lines[11].replace("\t0/1\t", "\t0/7\t");
    write(QStringLiteral("bad.vcf"), lines.join('\n'));
    for (const char *threads : {"1", "3"}) {
        const CliRun bad = run({QStringLiteral("hwe"), at("bad.vcf"), QStringLiteral("--threads"), QLatin1StringView(threads)});
        QCOMPARE(bad.exitCode, 1);
        const QList<QJsonObject> out = objects(bad);
        QCOMPARE(out.size(), 5);
        QCOMPARE(out.last().value(QStringLiteral("status")).toString(), QStringLiteral("error"));
        QCOMPARE(out.last().value(QStringLiteral("variant")).toInt(), 5);
        QVERIFY2(out.last().value(QStringLiteral("message")).toString().contains(QStringLiteral("bad.vcf, line 12 (1:5)")),
                 bad.out);
        QVERIFY2(bad.err.contains("allele 7, but the record has 2 alleles"), bad.err);
    }
    write(QStringLiteral("table.tsv"), "1\t2\n3\t4\n");
    const QList<QStringList> misuses = {
        {QStringLiteral("hwe"), at("fixture.bed"), at("table.tsv")},
        {QStringLiteral("fisher"), at("fixture.vcf")},
        {QStringLiteral("hwe"), at("table.tsv"), QStringLiteral("--region"), QStringLiteral("1:1-2")},
        {QStringLiteral("interact"), at("fixture.bed")},
        {QStringLiteral("hwe"), at("fixture.bed"), QStringLiteral("--chunk"), QStringLiteral("4/3")},
        {QStringLiteral("hwe"), at("fixture.bed"), QStringLiteral("--pheno"), at("pheno.txt")},
    };
    for (const QStringList &arguments : misuses)
        QVERIFY2(run(arguments).exitCode == 2, qPrintable(arguments.join(u' ')));
}

QByteArray TestCliGenotypes::bytesOf(const QString &name) const
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// velmora-cli in the folder, or a bash line that runs it as "$0" (for a
// pipe), ended after 60 seconds: exit code 124 then.
CliRun TestCliGenotypes::runWithin(const QStringList &arguments, const QString &shell,
                                   const std::function<void(QProcess &)> &prepare)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    if (prepare)
        prepare(process);
    if (shell.isEmpty())
        process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
    else
        process.start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), shell, QStringLiteral(VELMORA_CLI_PATH)});
    CliRun result;
    if (!process.waitForStarted())
        return result;
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.exitCode = 124;
    } else {
        result.exitCode = process.exitCode();
    }
    result.exitStatus = process.exitStatus();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void TestCliGenotypes::damagedAndOddInputs_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("command");   // arguments, or a bash line with "$0"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("lines");         // on standard output, -1: any
    QTest::addColumn<QByteArray>("err");    // in standard error
    const auto row = [](const char *name, const char *setup, const char *command, int exitCode, int lines,
                        const char *err) {
        QTest::newRow(name) << QString::fromLatin1(setup) << QString::fromLatin1(command) << exitCode << lines
                            << QByteArray(err);
    };
    // A writer killed at a block's end: every line, then the error.
    row("cut .vcf.gz", "cut", "hwe cut.vcf.gz", 1, 25, "cut.vcf.gz: ends after 24 records without its BGZF end-of-file marker");
    row("cut .bcf", "cut", "hwe cut.bcf", 1, 25, "cut.bcf: ends after 24 records without its BGZF end-of-file marker");
    row("cut .vcf.gz, --chunk", "cut", "hwe cut.vcf.gz --chunk 2/2", 1, 1, "without its BGZF end-of-file marker");
    row("--pheno a pipe", "", "\"$0\" fisher --pheno <(cat pheno.txt) fixture.vcf", 0, 24, ": 30 cases and 30 controls;");
    row("--samples a pipe", "", "\"$0\" hwe --samples <(head -n 20 pheno.txt | cut -d ' ' -f 1) fixture.bcf", 0, 24, "");
    row("--pheno a FIFO without writer", "fifo", "fisher --pheno nobody.fifo fixture.vcf", 1, 1,
        "fixture.vcf: no sample has a phenotype (1 control, 2 case) in nobody.fifo");
    row("--samples none in the file", "", "\"$0\" hwe --samples <(echo nobody) fixture.vcf", 1, 1,
        "fixture.vcf: none of the samples listed in /dev/fd/");
    row(".fam a FIFO", "famfifo", "hwe odd.bed", 1, 1, "odd.fam: not a regular file");
    row(".bim /dev/zero", "bimzero", "hwe odd.bed", 1, 1, "odd.bim: not a regular file");
    row(".bed a FIFO", "bedfifo", "hwe odd.bed", 1, 1, "odd.bed: not a regular file");
    row(".tbi a FIFO", "tbififo", "hwe odd.vcf.gz --region 1", 1, 1, "odd.vcf.gz.tbi: not a regular file");
    row("--region in a damaged block", "damaged", "hwe damaged.vcf.gz --region 1", 1, -1, "damaged.vcf.gz");
    row(".bim POS of 20 digits", "bigpos", "models odd.bed", 1, 1, "odd.bim, line 3: POS \"99999999999999999999\" is not a position");
    row(".fam a line short", "famshort", "hwe odd.bed", 1, 1, "odd.fam: the .fam lacks a line");
}

// Damaged, piped and odd inputs end with a named error and status 1 (after
// the lines that could be read), never hang (60 s) or pass for a whole
// result; pipes serve as files.
void TestCliGenotypes::damagedAndOddInputs()
{
    QFETCH(QString, setup);
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(int, lines);
    QFETCH(QByteArray, err);
    const auto fileset = [this](const QByteArray &bed, const QByteArray &bim, const QByteArray &fam) {
        // Not through a FIFO or link an earlier row left.
        for (const char *name : {"odd.bed", "odd.bim", "odd.fam"})
            QFile::remove(at(name));
        write(QStringLiteral("odd.bed"), bed);
        write(QStringLiteral("odd.bim"), bim);
        write(QStringLiteral("odd.fam"), fam);
    };
    const QByteArray bed = bytesOf(QStringLiteral("fixture.bed")), bim = bytesOf(QStringLiteral("fixture.bim")),
                     fam = bytesOf(QStringLiteral("fixture.fam"));
    const auto fifo = [this](const char *name) {
        QFile::remove(at(name));
        QVERIFY(::mkfifo(QFile::encodeName(at(name)).constData(), 0600) == 0);
    };
    if (setup == u"cut") {
        // Without the empty block that ends a complete BGZF file.
        write(QStringLiteral("cut.vcf.gz"), bytesOf(QStringLiteral("fixture.vcf.gz")).chopped(28));
        write(QStringLiteral("cut.bcf"), bytesOf(QStringLiteral("fixture.bcf")).chopped(28));
    } else if (setup == u"fifo") {
        fifo("nobody.fifo");
    } else if (setup == u"famfifo" || setup == u"bimzero" || setup == u"bedfifo") {
        fileset(bed, bim, fam);
        if (setup == u"famfifo")
            fifo("odd.fam");
        else if (setup == u"bedfifo")
            fifo("odd.bed");
        else
            QVERIFY(QFile::remove(at("odd.bim")) && QFile::link(QStringLiteral("/dev/zero"), at("odd.bim")));
    } else if (setup == u"tbififo") {
        QVERIFY(QFile::copy(at("fixture.vcf.gz"), at("odd.vcf.gz")) || QFile::exists(at("odd.vcf.gz")));
        fifo("odd.vcf.gz.tbi");
    } else if (setup == u"damaged") {
        // Ten sites, bgzipped, byte 160 (in the end-of-file block) changed,
        // then indexed by tabix: htslib's reading threads waited for ever.
        for (const char *suffix : {"", ".tbi"}) {
            QFile::remove(at("damaged.vcf.gz") + QLatin1StringView(suffix));
            QVERIFY(QFile::copy(data(QStringLiteral("damagedend.vcf.gz") + QLatin1StringView(suffix)),
                                at("damaged.vcf.gz") + QLatin1StringView(suffix)));
        }
    } else if (setup == u"bigpos") {
        QList<QByteArray> rows = bim.split('\n');
        rows[2] = "1\tsnp_2\t0\t99999999999999999999\tT\tA";
        fileset(bed, rows.join('\n'), fam);
    } else if (setup == u"famshort") {
        // 59 samples take the 15 bytes a variant of 60 does.
        fileset(bed, bim, fam.mid(fam.indexOf('\n') + 1));
    }

    const bool shell = command.contains(QStringLiteral("$0"));
    const CliRun result = runWithin(shell ? QStringList() : command.split(u' '), shell ? command : QString());
    QVERIFY2(result.exitCode != 124, "still running after 60 s");
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QVERIFY2(result.err.contains(err), result.err.constData());
    QCOMPARE(result.exitCode, exitCode);
    if (lines >= 0)
        QCOMPARE(result.lines().size(), lines);
    // A run that succeeds tested its variants (none rejected for want of
    // samples); one refused at once says so in its only line.
    const QJsonValue status = result.json(0).value(QStringLiteral("status"));
    if (exitCode == 0)
        QCOMPARE(status.toInt(-1), 0);
    else if (lines == 1)
        QCOMPARE(status.toString(), QStringLiteral("error"));
}

void TestCliGenotypes::lostOutputStops_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<bool>("many");  // beyond the output buffer, or only its last flush
    for (const bool many : {true, false}) {
        const char *size = many ? ", many lines" : ", within the buffer";
        QTest::addRow("/dev/full%s", size) << "full" << QByteArray("No space left on device") << many;
        QTest::addRow("closed%s", size) << "closed" << QByteArray("Bad file descriptor") << many;
        QTest::addRow("pipe without reader%s", size) << "pipe" << QByteArray("Broken pipe") << many;
    }
}

// Results of a genotype file that cannot be written: the system's words
// (also when only the last flush fails), status 1, and no more reading
// (the damaged record at the end of many.vcf, beyond the megabyte of output
// that fills the buffer, is never reached).
void TestCliGenotypes::lostOutputStops()
{
    QFETCH(QString, output);
    QFETCH(QByteArray, words);
    QFETCH(bool, many);
    QByteArray vcf = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\n";
    for (int i = 1; i <= 20000; ++i)
        vcf += "1\t" + QByteArray::number(i) + "\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n";
    vcf += "1\t20001\t.\tA\tC\t.\t.\t.\tGT\t0/7\t0/0\n";
    const QString file = many ? write(QStringLiteral("many.vcf"), vcf) : at("fixture.vcf");
    const CliRun result = runWithin({QStringLiteral("hwe"), file}, QString(), [output](QProcess &process) {
        if (output == u"full")
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.setChildProcessModifier([output] {
            ::signal(SIGPIPE, SIG_IGN);
            if (output == u"closed") {
                ::close(STDOUT_FILENO);
            } else if (output == u"pipe") {
                int ends[2];
                if (::pipe(ends) == 0) {
                    ::close(ends[0]);
                    ::dup2(ends[1], STDOUT_FILENO);
                    ::close(ends[1]);
                }
            }
        });
    });
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, "velmora-cli: cannot write standard output: " + words + '\n');
}

QTEST_MAIN(TestCliGenotypes)
#include "test_cligenotypes.moc"
