// Per-individual codes of variants: every way a call is written (phased,
// haploid, missing, GT not first, multi-allelic) read alike from a VCF line
// and the BCF made of it, the fixture's codes the same from .bed, .vcf,
// .vcf.gz and .bcf, and variants named by ID found in the order named.
#include "genotypefiles.h"
#include "variantcodesreader.h"

#include <QtTest>

using namespace genotypefiles;

namespace {

// A call as text: "." missing, "h0"/"h1" haploid, "a|b" phased (ALT copies
// by haplotype), else the ALT copies.
QString callText(quint8 code)
{
    if (callcode::missing(code))
        return QStringLiteral(".");
    if (code & callcode::kHaploid)
        return QStringLiteral("h%1").arg(callcode::copies(code));
    if (code & callcode::kPhased)
        return QStringLiteral("%1|%2").arg(callcode::firstAlt(code)).arg(callcode::secondAlt(code));
    return QString::number(callcode::copies(code));
}

QString describe(const VariantCodes &v)
{
    QStringList calls;
    for (const quint8 code : v.calls)
        calls << callText(code);
    return calls.join(u' ')
           + QStringLiteral(" / m%1 h%2 d%3 p%4%5%6")
                 .arg(v.missing)
                 .arg(v.haploid)
                 .arg(v.diploid)
                 .arg(v.phased)
                 .arg(v.allPhased() ? QStringLiteral(" phased") : QString())
                 .arg(v.multiAllelic() ? QStringLiteral(" multi") : QString());
}

QStringList readAll(const QString &file, const SampleChoice &choice = {})
{
    QString error;
    std::unique_ptr<VariantCodesReader> reader = VariantCodesReader::open(file, {}, choice, &error);
    if (!reader)
        return {QStringLiteral("error: ") + error};
    QStringList out;
    VariantCodes v;
    while (reader->next(v))
        out << QString::fromUtf8(v.identity.id) + u' ' + describe(v);
    if (!reader->errorString().isEmpty())
        out << QStringLiteral("error: ") + reader->errorString();
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestVariantCodes final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void calls_data();
    void calls();
    void formatsAgree();
    void named_data();
    void named();

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

void TestVariantCodes::calls_data()
{
    QTest::addColumn<QByteArray>("record");   // ALT, FORMAT and the calls of s1 to s6
    QTest::addColumn<QString>("keep");        // samples in use; empty: all
    QTest::addColumn<QString>("expected");
    QTest::newRow("unphased") << QByteArray("T\tGT\t0/0\t0/1\t1/0\t1/1\t./.\t0/.") << QString()
                              << QStringLiteral("0 1 1 2 . . / m2 h0 d4 p0");
    QTest::newRow("phased, by haplotype") << QByteArray("T\tGT\t0|0\t0|1\t1|0\t1|1\t.|1\t0|0") << QString()
                                          << QStringLiteral("0|0 0|1 1|0 1|1 . 0|0 / m1 h0 d5 p5 phased");
    QTest::newRow("one unphased call") << QByteArray("T\tGT\t0|0\t0|1\t1/0\t1|1\t0|1\t0|0") << QString()
                                       << QStringLiteral("0|0 0|1 1 1|1 0|1 0|0 / m0 h0 d6 p5");
    QTest::newRow("haploid and triploid") << QByteArray("T\tGT\t0\t1\t.\t0/0/1\t1/1\t0|1") << QString()
                                          << QStringLiteral("h0 h1 . . 2 0|1 / m2 h2 d2 p1");
    QTest::newRow("GT not first, dropped") << QByteArray("T\tDP:GT\t5:1|0\t7:1/1\t3\t4:./.\t9:0/1\t2:0/0") << QString()
                                           << QStringLiteral("1|0 2 . . 1 0 / m2 h0 d4 p1");
    QTest::newRow("no GT") << QByteArray("T\tDP\t5\t7\t3\t4\t9\t2") << QString() << QStringLiteral(". . . . . . / m6 h0 d0 p0");
    QTest::newRow("multi-allelic lumps ALTs") << QByteArray("G,T\tGT\t0/2\t1/2\t2/2\t0|2\t0/0\t1/0") << QString()
                                              << QStringLiteral("1 2 2 0|1 0 1 / m0 h0 d6 p1 multi");
    QTest::newRow("samples kept, file order") << QByteArray("T\tGT\t0/0\t0/1\t1/0\t1/1\t./.\t0|1") << QStringLiteral("s6,s2,s4")
                                              << QStringLiteral("1 2 0|1 / m0 h0 d3 p1");
}

// Each record read as a .vcf and as the .bcf that htslib writes of it.
void TestVariantCodes::calls()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, keep);
    QFETCH(QString, expected);
    const QList<QByteArray> parts = record.split('\t');
    QByteArray text = "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
                      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                      "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
                      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\ts5\ts6\n"
                      "1\t100\trs1\tA\t"
                      + parts.at(0) + "\t.\t.\t.";
    for (qsizetype i = 1; i < parts.size(); ++i)
        text += '\t' + parts.at(i);
    writeFile(path(QStringLiteral("calls.vcf")), text + '\n');
    QVERIFY(compressAndConvert(path(QStringLiteral("calls.vcf")), path(QStringLiteral("calls.vcf.gz")),
                               path(QStringLiteral("calls.bcf"))));
    SampleChoice choice;
    if (!keep.isEmpty())
        choice.keep = keep.split(u',');
    for (const char *name : {"calls.vcf", "calls.bcf"})
        QCOMPARE(readAll(path(QLatin1StringView(name)), choice), QStringList{QStringLiteral("rs1 ") + expected});
}

// The fixture's codes are the same in every format, and match its counts.
void TestVariantCodes::formatsAgree()
{
    QVERIFY(copyFixture(dir.path()));
    QVERIFY(compressAndConvert(path(QStringLiteral("fixture.vcf")), path(QStringLiteral("fixture.vcf.gz")),
                               path(QStringLiteral("fixture.bcf"))));
    const QStringList bed = readAll(path(QStringLiteral("fixture.bed")));
    QCOMPARE(bed.size(), 24);
    // snp_0 of the fixture: hom REF, het, missing from plink1.9 --simulate.
    QVERIFY2(bed.first().startsWith(QStringLiteral("snp_0 0 0 0 1 0 0 . 1 ")), qPrintable(bed.first()));
    for (const char *name : {"fixture.vcf", "fixture.vcf.gz", "fixture.bcf"})
        QCOMPARE(readAll(path(QLatin1StringView(name))), bed);
}

void TestVariantCodes::named_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("ids");
    QTest::addColumn<QString>("expected");   // IDs read, or "error: " and a part of the message
    for (const char *file : {"fixture.bed", "fixture.vcf", "fixture.bcf"}) {
        const QString name = QLatin1StringView(file);
        QTest::addRow("%s: the order named", file) << name << QString() << QStringLiteral("snp_7,snp_2,snp_23")
                                                   << QStringLiteral("snp_7 snp_2 snp_23");
        QTest::addRow("%s: not there", file) << name << QString() << QStringLiteral("snp_2,rs99")
                                             << QStringLiteral("error: no variant has the ID rs99");
    }
    QTest::newRow("outside the region") << QStringLiteral("fixture.bed") << QStringLiteral("1:5-9")
                                        << QStringLiteral("snp_5,snp_2") << QStringLiteral("error: no variant has the ID snp_2");
    QTest::newRow("named twice") << QStringLiteral("fixture.vcf") << QString() << QStringLiteral("snp_5,snp_5")
                                 << QStringLiteral("error: snp_5 is named twice");
}

void TestVariantCodes::named()
{
    QFETCH(QString, file);
    QFETCH(QString, region);
    QFETCH(QString, ids);
    QFETCH(QString, expected);
    QVERIFY(copyFixture(dir.path()));
    QVERIFY(compressAndConvert(path(QStringLiteral("fixture.vcf")), path(QStringLiteral("fixture.vcf.gz")),
                               path(QStringLiteral("fixture.bcf"))));
    GenotypeOpenOptions options;
    QString error;
    if (!region.isEmpty())
        options.region = RegionSpec::parse(region, &error);
    std::unique_ptr<VariantCodesReader> reader = VariantCodesReader::open(path(file), options, {}, &error);
    QVERIFY2(reader, qPrintable(error));
    std::vector<VariantCodes> found;
    QStringList got;
    if (!reader->readNamed(ids.split(u','), &found, &error)) {
        got << QStringLiteral("error: ") + error;
    } else {
        for (const VariantCodes &v : found) {
            got << QString::fromUtf8(v.identity.id);
            // The calls are those of a whole read.
            QCOMPARE(int(v.calls.size()), 60);
        }
    }
    if (expected.startsWith(QStringLiteral("error: ")))
        QVERIFY2(got.join(u' ').contains(expected.mid(7)) && got.join(u' ').startsWith(QStringLiteral("error: ")),
                 qPrintable(got.join(u' ')));
    else
        QCOMPARE(got.join(u' '), expected);
}

QTEST_GUILESS_MAIN(TestVariantCodes)
#include "test_variantcodes.moc"
