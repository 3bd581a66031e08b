// velmora-cli ld: r2 and D' of every pair of a simulated region against
// PLINK 1.9, the same pairs from every format and thread count and from
// the pieces of a chunked run, the phased r2 against a count of the
// haplotypes, the options that choose pairs, the picture, and each refusal
// named with its status.
#include "../cli/clitestbase.h"
#include "genotypefiles.h"

#include <QJsonArray>

#include <cmath>

using namespace clitest;
using namespace genotypefiles;

namespace {

QList<QJsonObject> objects(const CliRun &run)
{
    QList<QJsonObject> out;
    for (const QByteArray &line : run.lines())
        out << QJsonDocument::fromJson(line).object();
    return out;
}

QString pairOf(const QJsonObject &o)
{
    return o.value(QStringLiteral("id_a")).toString() + u'-' + o.value(QStringLiteral("id_b")).toString();
}

// Whether `value` shows as `printed`, which has 6 significant digits (a
// hair of slack for a value on a rounding boundary).
bool printedAs(double value, const QByteArray &printed)
{
    const double shown = printed.toDouble();
    const double half = shown == 0 ? 1e-12 : 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(shown))) - 5);
    return std::fabs(value - shown) <= half * (1 + 1e-9) + 1e-15;
}

// The VCF of the fixture with its record lines changed by `edit` (index
// among the records, the fields split by tabs).
QByteArray editedVcf(const std::function<void(int, QList<QByteArray> &)> &edit)
{
    QFile file(data(QStringLiteral("ld.vcf")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    int record = 0;
    for (QByteArray &line : lines) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QList<QByteArray> fields = line.split('\t');
        edit(record++, fields);
        line = fields.join('\t');
    }
    return lines.join('\n');
}

} // namespace

class TestCliLd final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plinkAgreement();
    void formatsThreadsChunks();
    void phasedR2();
    void choosingPairs_data();
    void choosingPairs();
    void tsvAndPicture();
    void refusals_data();
    void refusals();

private:
    QString at(const char *name) const { return dir.filePath(QLatin1StringView(name)); }
};

void TestCliLd::initTestCase()
{
    QVERIFY(dir.isValid());
    for (const char *suffix : {".bed", ".bim", ".fam", ".vcf"}) {
        const QString name = QStringLiteral("ld") + QLatin1StringView(suffix);
        QVERIFY(QFile::copy(data(name), dir.filePath(name)));
    }
    QVERIFY(compressAndConvert(at("ld.vcf"), at("ld.vcf.gz"), at("ld.bcf")));
}

// Every pair within 1000 kb, as plink1.9 --r2 dprime-signed gives them.
void TestCliLd::plinkAgreement()
{
    QFile file(data(QStringLiteral("ld_plink.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QHash<QString, QList<QByteArray>> plink;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() == 4 && !line.startsWith('#'))
            plink.insert(QString::fromUtf8(f[0] + '-' + f[1]), f.mid(2));
    }
    const CliRun ld = run({QStringLiteral("ld"), at("ld.bed")});
    QCOMPARE(ld.exitCode, 0);
    const QList<QJsonObject> lines = objects(ld);
    QCOMPARE(lines.size(), plink.size());
    for (const QJsonObject &o : lines) {
        const QList<QByteArray> theirs = plink.value(pairOf(o));
        QVERIFY2(theirs.size() == 2, qPrintable(pairOf(o)));
        QVERIFY2(printedAs(o.value(QStringLiteral("r2")).toDouble(), theirs[0]), qPrintable(pairOf(o)));
        QVERIFY2(printedAs(o.value(QStringLiteral("dprime")).toDouble(), theirs[1]), qPrintable(pairOf(o)));
        // The bounds hold D' and lie on its side.
        const QJsonArray ci = o.value(QStringLiteral("dprime_ci")).toArray();
        const double dprime = o.value(QStringLiteral("dprime")).toDouble();
        QVERIFY(ci.size() == 2 && ci[0].toDouble() <= ci[1].toDouble());
        QVERIFY(dprime >= 0 ? ci[0].toDouble() >= 0 : ci[1].toDouble() <= 0);
        QVERIFY(o.value(QStringLiteral("roots")).toArray().size() >= 1);
    }
}

// The same pairs from .bed, .vcf, .vcf.gz and .bcf (the VCF's with their
// phased r2), on 1 or 3 threads, and from three pieces of a chunked run.
void TestCliLd::formatsThreadsChunks()
{
    const CliRun bed = run({QStringLiteral("ld"), at("ld.bed"), QStringLiteral("--threads"), QStringLiteral("1")});
    QCOMPARE(bed.exitCode, 0);
    QVERIFY(!bed.out.contains("phased_r2"));
    const CliRun vcf = run({QStringLiteral("ld"), at("ld.vcf"), QStringLiteral("--threads"), QStringLiteral("1")});
    QList<QByteArray> stripped;
    for (QByteArray line : vcf.lines()) {
        const qsizetype at = line.indexOf(",\"phased_r2\":");
        QVERIFY(at > 0);
        stripped << line.left(at) + '}';
    }
    QCOMPARE(stripped, bed.lines());
    for (const char *name : {"ld.vcf.gz", "ld.bcf"}) {
        for (const char *threads : {"1", "3"}) {
            const CliRun other = run({QStringLiteral("ld"), at(name), QStringLiteral("--threads"), QLatin1StringView(threads)});
            QCOMPARE(other.exitCode, 0);
            QCOMPARE(other.out, vcf.out);
        }
    }
    QByteArray pieces;
    for (const char *chunk : {"1/3", "2/3", "3/3"}) {
        const CliRun piece = run({QStringLiteral("ld"), at("ld.bed"), QStringLiteral("--chunk"), QLatin1StringView(chunk)});
        QCOMPARE(piece.exitCode, 0);
        pieces += piece.out;
    }
    QCOMPARE(pieces, bed.out);
}

// r2 of the haplotypes the phased calls show, counted here.
void TestCliLd::phasedR2()
{
    QFile file(at("ld.vcf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QHash<QString, QList<QByteArray>> calls;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> f = line.split('\t');
        calls.insert(QString::fromUtf8(f[2]), f.mid(9));
    }
    const CliRun ld = run({QStringLiteral("ld"), at("ld.vcf")});
    for (const QJsonObject &o : objects(ld)) {
        const QList<QByteArray> &a = calls[o.value(QStringLiteral("id_a")).toString()];
        const QList<QByteArray> &b = calls[o.value(QStringLiteral("id_b")).toString()];
        double h[4] = {0, 0, 0, 0};
        for (qsizetype s = 0; s < a.size(); ++s) {
            if (a[s].contains('.') || b[s].contains('.'))
                continue;
            for (const int side : {0, 2})
                h[(a[s][side] - '0') * 2 + (b[s][side] - '0')] += 1;
        }
        const double d = h[0] * h[3] - h[1] * h[2];
        const double r2 = d * d / ((h[0] + h[1]) * (h[2] + h[3]) * (h[0] + h[2]) * (h[1] + h[3]));
        QVERIFY2(std::fabs(o.value(QStringLiteral("phased_r2")).toDouble() - r2) <= 1e-14, qPrintable(pairOf(o)));
    }
    // One unphased call of rs3 takes the phased r2 from its pairs only.
    write(QStringLiteral("onecall.vcf"), editedVcf([](int record, QList<QByteArray> &f) {
              if (record == 2)
                  f[12].replace('|', '/');
          }));
    for (const QJsonObject &o : objects(run({QStringLiteral("ld"), at("onecall.vcf")}))) {
        const bool withRs3 = o.value(QStringLiteral("id_a")).toString() == u"rs3" || o.value(QStringLiteral("id_b")).toString() == u"rs3";
        QVERIFY2(o.contains(QStringLiteral("phased_r2")) != withRs3, qPrintable(pairOf(o)));
    }
}

void TestCliLd::choosingPairs_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expected");   // the pairs, or "r2 >= X"
    QTest::newRow("named, in their order") << QStringList{QStringLiteral("--snps"), QStringLiteral("rs9,rs2,rs30")}
                                           << QStringLiteral("rs9-rs2 rs9-rs30 rs2-rs30");
    QTest::newRow("region, both inside") << QStringList{QStringLiteral("--region"), QStringLiteral("1:6000-9000")}
                                         << QStringLiteral("rs3-rs4 rs3-rs5 rs4-rs5");
    // The fixture's pairs at most 533 bp apart, rs1-rs2 exactly (534 is
    // out), as plink1.9 --ld-window-kb 0.533 gives them.
    QTest::newRow("window, its end included") << QStringList{QStringLiteral("--window-kb"), QStringLiteral("0.533")}
                                              << QStringLiteral("rs1-rs2 rs17-rs18 rs23-rs24 rs26-rs27 rs28-rs29");
    QTest::newRow("r2 floor") << QStringList{QStringLiteral("--r2-min"), QStringLiteral("0.3")} << QStringLiteral("r2 >= 0.3");
}

void TestCliLd::choosingPairs()
{
    QFETCH(QStringList, options);
    QFETCH(QString, expected);
    const CliRun ld = run(QStringList{QStringLiteral("ld"), at("ld.vcf.gz")} + options);
    QCOMPARE(ld.exitCode, 0);
    const QList<QJsonObject> lines = objects(ld);
    QStringList pairs;
    for (const QJsonObject &o : lines)
        pairs << pairOf(o);
    if (expected.startsWith(QStringLiteral("r2 >= "))) {
        const CliRun all = run({QStringLiteral("ld"), at("ld.vcf.gz")});
        int kept = 0;
        for (const QJsonObject &o : objects(all))
            kept += o.value(QStringLiteral("r2")).toDouble() >= 0.3 ? 1 : 0;
        QVERIFY(kept > 0 && kept < objects(all).size());
        QCOMPARE(lines.size(), kept);
    } else {
        QCOMPARE(pairs.join(u' '), expected);
    }
}

// The TSV has the JSON's fields in its columns; the picture is written.
void TestCliLd::tsvAndPicture()
{
    const CliRun json = run({QStringLiteral("ld"), at("ld.vcf"), QStringLiteral("--snps"), QStringLiteral("rs1,rs2")});
    const CliRun tsv = run({QStringLiteral("ld"), at("ld.vcf"), QStringLiteral("--snps"), QStringLiteral("rs1,rs2"),
                            QStringLiteral("--format"), QStringLiteral("tsv")});
    QCOMPARE(tsv.lines().size(), 2);
    const QList<QByteArray> header = tsv.lines()[0].split('\t');
    const QList<QByteArray> row = tsv.lines()[1].split('\t');
    QCOMPARE(row.size(), header.size());
    const QJsonObject o = json.json();
    QCOMPARE(o.keys().size() + 0, header.size());
    for (qsizetype c = 0; c < header.size(); ++c) {
        const QJsonValue v = o.value(QString::fromUtf8(header[c]));
        if (v.isDouble())
            QCOMPARE(row[c].toDouble(), v.toDouble());
        else if (v.isString())
            QCOMPARE(QString::fromUtf8(row[c]), v.toString());
        else if (header[c] == "roots")
            QCOMPARE(row[c].split(';').size(), v.toArray().size());
        else
            QCOMPARE(row[c].split(',').size(), v.toArray().size());
    }
    for (const char *colour : {"dprime", "r2"}) {
        const QString png = dir.filePath(QStringLiteral("ld-%1.png").arg(QLatin1StringView(colour)));
        const CliRun plot = run({QStringLiteral("ld"), at("ld.bed"), QStringLiteral("--plot"), png,
                                 QStringLiteral("--plot-colour"), QLatin1StringView(colour)});
        QCOMPARE(plot.exitCode, 0);
        QImage image(png);
        QCOMPARE(image.size(), QSize(1200, 800));
    }
}

void TestCliLd::refusals_data()
{
    QTest::addColumn<QByteArray>("vcf");       // empty: the fixture
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");      // a part of standard error
    const auto edited = [](int target, const char *what) {
        return editedVcf([target, what](int record, QList<QByteArray> &f) {
            if (record != target)
                return;
            for (qsizetype s = 9; s < f.size(); ++s) {
                if (QByteArray(what) == "monomorphic")
                    f[s] = "0|0";
                else if (QByteArray(what) == "haploid" && s % 7 == 0)
                    f[s] = "1";
            }
            if (QByteArray(what) == "multi-allelic")
                f[4] += ",T";
            if (QByteArray(what) == "unsorted")
                f[1] = "5";
        });
    };
    const QStringList rs3rs4{QStringLiteral("--snps"), QStringLiteral("rs3,rs4")};
    QTest::newRow("monomorphic") << edited(2, "monomorphic") << rs3rs4 << 1 << QStringLiteral("rs3 (1:");
    QTest::newRow("multi-allelic") << edited(2, "multi-allelic") << rs3rs4 << 1 << QStringLiteral("multi-allelic");
    QTest::newRow("haploid calls") << edited(3, "haploid") << rs3rs4 << 1 << QStringLiteral("haploid calls");
    QByteArray apart = editedVcf([](int record, QList<QByteArray> &f) {
        for (qsizetype s = 9; s < f.size(); ++s) {
            if ((record == 2 && s >= 39) || (record == 3 && s < 39))
                f[s] = ".|.";
        }
    });
    QTest::newRow("nobody typed at both") << apart << rs3rs4 << 1 << QStringLiteral("no individuals with both loci typed");
    QTest::newRow("not there") << QByteArray() << QStringList{QStringLiteral("--snps"), QStringLiteral("rs3,rs99")} << 1
                               << QStringLiteral("no variant has the ID rs99");
    QTest::newRow("unsorted") << edited(5, "unsorted") << QStringList() << 1 << QStringLiteral("not sorted");
    QTest::newRow("scan skips and counts") << edited(2, "multi-allelic") << QStringList() << 0
                                           << QStringLiteral("29 variants used; skipped: 0 monomorphic, 1 multi-allelic");
    QTest::newRow("window with --snps") << QByteArray() << QStringList{QStringLiteral("--snps"), QStringLiteral("rs1,rs2"), QStringLiteral("--window-kb"), QStringLiteral("5")}
                                        << 2 << QStringLiteral("--window-kb applies to a scan");
    QTest::newRow("one SNP") << QByteArray() << QStringList{QStringLiteral("--snps"), QStringLiteral("rs1")} << 2
                             << QStringLiteral("two IDs or more");
    QTest::newRow("colour without plot") << QByteArray() << QStringList{QStringLiteral("--plot-colour"), QStringLiteral("r2")} << 2
                                         << QStringLiteral("--plot-colour applies with --plot only");
    QTest::newRow("r2 above 1") << QByteArray() << QStringList{QStringLiteral("--r2-min"), QStringLiteral("1.5")} << 2
                                << QStringLiteral("--r2-min takes an r2 from 0 to 1");
}

void TestCliLd::refusals()
{
    QFETCH(QByteArray, vcf);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString file = vcf.isEmpty() ? at("ld.vcf") : write(QStringLiteral("edited.vcf"), vcf);
    const CliRun ld = run(QStringList{QStringLiteral("ld"), file} + options);
    QCOMPARE(ld.exitCode, status);
    QVERIFY2(ld.err.contains(message.toUtf8()), ld.err);
    // A named pair that cannot be used prints nothing.
    if (status == 1 && options.contains(QStringLiteral("--snps")))
        QVERIFY(ld.out.isEmpty());
}

QTEST_MAIN(TestCliLd)
#include "test_clild.moc"
