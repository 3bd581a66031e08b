// Genotype files read as the tool reads them: record lines decoded into
// tables (phase and allele order ignored, missing and haploid calls counted
// apart, alleles without copies dropped, variants no test can take
// rejected), the same fixture giving the same variants as .bed, .vcf,
// .vcf.gz and .bcf, regions exactly, and every damaged input named with its
// file and line or record.
#include "bedreader.h"
#include "genotypefiles.h"
#include "genotypereader.h"
#include "textlines.h"
#include "vcfline.h"

#include <QtTest>

#include <sys/stat.h>

using namespace genotypefiles;

namespace {

// A table as text: the rejection, or n, missing, haploid and the cells
// (upper triangle of a Hardy-Weinberg table, rows of the others).
QString describe(const VariantTable &t)
{
    QString out = QStringLiteral("n%1 m%2 h%3 ").arg(t.n).arg(t.missing).arg(t.haploid);
    if (!t.rejected.isEmpty())
        return out + QStringLiteral("rejected: ") + t.rejected;
    QStringList cells;
    for (int r = 0; r < t.rows; ++r)
        for (int c = 0; c < t.columns; ++c)
            if (t.hasCell(r, c))
                cells << QString::number(t.cell(r, c));
    return out + QStringLiteral("K%1 ").arg(t.alleles) + cells.join(u',');
}

// Every record of a file: identity and table, or the first error.
QStringList readAll(const QString &file, const GenotypeOpenOptions &options, TableLayout layout,
                    const SampleChoice &choice = {})
{
    QString error;
    std::unique_ptr<GenotypeReader> reader = openGenotypeFile(file, options, &error);
    if (!reader)
        return {QStringLiteral("error: ") + error};
    reader->setGroups(groupSamples(reader->sampleIds(), reader->filePhenotypes(), choice));
    QStringList out;
    RawRecord raw;
    GenotypeTally tally;
    VariantTable table;
    while (reader->read(raw)) {
        if (!reader->decode(raw, tally, table.identity, &error))
            return out << QStringLiteral("error: ") + error;
        tally.toTable(layout, table);
        const VariantIdentity &id = table.identity;
        out << QStringLiteral("%1:%2 %3 %4>%5 ").arg(QString::fromUtf8(id.chrom)).arg(id.pos)
                       .arg(QString::fromUtf8(id.id), QString::fromUtf8(id.ref), QString::fromUtf8(id.alts.join(',')))
                   + describe(table);
    }
    if (!reader->errorString().isEmpty())
        out << QStringLiteral("error: ") + reader->errorString();
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestGenotypes final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordLines_data();
    void recordLines();
    void formatsAgree();
    void regions();
    void damagedInput_data();
    void damagedInput();
    void samplesAndPhenotypes();
    void textLines_data();
    void textLines();

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

void TestGenotypes::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(copyFixture(dir.path()));
    QVERIFY(compressAndConvert(path(QStringLiteral("fixture.vcf")), path(QStringLiteral("fixture.vcf.gz")),
                               path(QStringLiteral("fixture.bcf"))));
}

void TestGenotypes::recordLines_data()
{
    QTest::addColumn<QByteArray>("line");    // after CHROM POS ID REF; ALT first
    QTest::addColumn<QByteArray>("groups");     // one per sample; -1 left out
    QTest::addColumn<int>("layout");         // TableLayout
    QTest::addColumn<QByteArray>("expected");   // describe(), or "error: " and a part of the reason
    const int hw = int(TableLayout::HardyWeinberg), cc = int(TableLayout::CaseControl), models = int(TableLayout::Models);
    QTest::newRow("diploid calls") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1\t1/1") << QByteArray("0,0,0") << hw << QByteArray("n3 m0 h0 K2 1,1,1");
    QTest::newRow("phase and order ignored") << QByteArray("C\t.\t.\t.\tGT\t1|0\t0/1\t0|1") << QByteArray("0,0,0") << hw << QByteArray("n3 m0 h0 K2 0,3,0");
    QTest::newRow("missing and haploid apart") << QByteArray("C\t.\t.\t.\tGT\t./.\t0/.\t1\t0/1\t0/0") << QByteArray("0,0,0,0,0") << hw
                                               << QByteArray("n2 m2 h1 K2 1,1,0");
    QTest::newRow("three alleles a call is missing") << QByteArray("C\t.\t.\t.\tGT\t0/0/1\t0/0\t0/1") << QByteArray("0,0,0") << hw
                                                     << QByteArray("n2 m1 h0 K2 1,1,0");
    QTest::newRow("too few called") << QByteArray("C\t.\t.\t.\tGT\t./.\t.\t0/1") << QByteArray("0,0,0") << hw
                                    << QByteArray("n1 m2 h0 rejected: fewer than two called individuals");
    QTest::newRow("one allele present") << QByteArray("C,G\t.\t.\t.\tGT\t0/0\t0/0") << QByteArray("0,0") << hw
                                        << QByteArray("n2 m0 h0 rejected: one allele present");
    QTest::newRow("alleles without copies dropped")
        << QByteArray("C,G,T,A,CC,GG,TT,AA,CG,CT\t.\t.\t.\tGT\t10/2\t0/10\t2/2") << QByteArray("0,0,0") << hw
        << QByteArray("n3 m0 h0 K3 0,0,1,1,1,0");
    QTest::newRow("GT after another key") << QByteArray("C\t.\t.\t.\tDP:GT\t5:0/1\t7:1/1\t.:0/0") << QByteArray("0,0,0") << hw
                                          << QByteArray("n3 m0 h0 K2 1,1,1");
    QTest::newRow("trailing keys dropped") << QByteArray("C\t.\t.\t.\tGT:DP\t0/1:3\t0/0\t1/1:4") << QByteArray("0,0,0") << hw
                                           << QByteArray("n3 m0 h0 K2 1,1,1");
    QTest::newRow("no GT: all missing") << QByteArray("C\t.\t.\t.\tDP\t5\t6\t7") << QByteArray("0,0,0") << hw
                                        << QByteArray("n0 m3 h0 rejected: fewer than two called individuals");
    QTest::newRow("left out, not counted") << QByteArray("C\t.\t.\t.\tGT\t0/0\t1/1\t0/1") << QByteArray("0,-1,0") << hw
                                           << QByteArray("n2 m0 h0 K2 1,1,0");
    QTest::newRow("line end CRLF") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1\t1/1\r\n") << QByteArray("0,0,0") << hw << QByteArray("n3 m0 h0 K2 1,1,1");
    QTest::newRow("cases over controls, classes present")
        << QByteArray("C,G\t.\t.\t.\tGT\t0/0\t0/1\t0/0\t0/1\t2/2") << QByteArray("0,1,1,0,-1") << cc << QByteArray("n4 m0 h0 K2 1,1,1,1");
    QTest::newRow("no cases") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1") << QByteArray("1,1") << cc << QByteArray("n2 m0 h0 rejected: no called cases");
    QTest::newRow("no controls") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1") << QByteArray("0,0") << cc
                                 << QByteArray("n2 m0 h0 rejected: no called controls");
    QTest::newRow("one genotype class") << QByteArray("C\t.\t.\t.\tGT\t0/1\t0/1") << QByteArray("0,1") << cc
                                        << QByteArray("n2 m0 h0 rejected: one genotype class present");
    QTest::newRow("models: the three genotypes") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1\t0/0\t0/0") << QByteArray("0,0,1,1") << models
                                                 << QByteArray("n4 m0 h0 K2 1,1,0,2,0,0");
    QTest::newRow("models need two alleles") << QByteArray("C,G\t.\t.\t.\tGT\t0/0\t1/2\t0/1") << QByteArray("0,1,1") << models
                                             << QByteArray("n3 m0 h0 rejected: models need two alleles");
    QTest::newRow("models: one allele is not two") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/0") << QByteArray("0,1") << models
                                                   << QByteArray("n2 m0 h0 rejected: models need two alleles");
    QTest::newRow("too few columns") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1") << QByteArray("0,0,0") << hw << QByteArray("error: 11 columns, 12 expected");
    QTest::newRow("too many columns") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/1\t1/1\t0/0") << QByteArray("0,0,0") << hw
                                      << QByteArray("error: 13 columns, 12 expected");
    QTest::newRow("allele beyond ALT") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/2\t1/1") << QByteArray("0,0,0") << hw
                                       << QByteArray("error: sample 2: a genotype names allele 2, but the record has 2 alleles");
    QTest::newRow("bad genotype, even left out") << QByteArray("C\t.\t.\t.\tGT\t0/0\t0/x\t1/1") << QByteArray("0,-1,0") << hw
                                                 << QByteArray("error: sample 2: a genotype holds \"x\"");
    QTest::newRow("empty column") << QByteArray("C\t.\t.\t.\tGT\t0/0\t\t1/1") << QByteArray("0,0,0") << hw
                                  << QByteArray("error: the column of sample 2 is empty");
    QTest::newRow("empty ALT allele") << QByteArray("C,\t.\t.\t.\tGT\t0/0\t0/1\t1/1") << QByteArray("0,0,0") << hw
                                      << QByteArray("error: has an empty allele");
}

void TestGenotypes::recordLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, groups);
    QFETCH(int, layout);
    QFETCH(QByteArray, expected);
    std::vector<qint8> groupOf;
    int groupCount = 1;
    for (const QByteArray &g : groups.split(',')) {
        groupOf.push_back(qint8(g.toInt()));
        groupCount = qMax(groupCount, g.toInt() + 1);
    }
    if (layout != int(TableLayout::HardyWeinberg))
        groupCount = 2;
    const QByteArray record = "1\t5\trs1\tA\t" + line;
    GenotypeTally tally;
    VariantTable table;
    QString why;
    const bool ok = decodeVcfLine(record.constData(), record.size(), int(groupOf.size()), groupOf.data(), groupCount,
                                  tally, table.identity, &why);
    if (expected.startsWith("error: ")) {
        QVERIFY2(!ok, qPrintable(describe(table)));
        QVERIFY2(why.contains(QString::fromUtf8(expected.mid(7))), qPrintable(why));
        return;
    }
    QVERIFY2(ok, qPrintable(why));
    QCOMPARE(table.identity.pos, 5);
    tally.toTable(TableLayout(layout), table);
    QCOMPARE(describe(table), QString::fromUtf8(expected));
    // A bad POS is named, whatever follows.
    const QByteArray badPos = "1\t5x\trs1\tA\t" + line;
    QVERIFY(!decodeVcfLine(badPos.constData(), badPos.size(), int(groupOf.size()), groupOf.data(), groupCount, tally,
                           table.identity, &why));
    QVERIFY2(why.contains(QStringLiteral("POS \"5x\"")), qPrintable(why));
}

// The fixture in its four forms: the same variants, identities and tables,
// for the whole sample and for cases against controls (the .fam's
// phenotypes; for a VCF, the same given by sample ID).
void TestGenotypes::formatsAgree()
{
    SampleChoice caseControl;
    caseControl.caseControl = true;
    QHash<QString, Phenotype> pheno;
    QString error;
    {
        std::unique_ptr<GenotypeReader> bed = openGenotypeFile(path(QStringLiteral("fixture.bed")), {}, &error);
        QVERIFY2(bed, qPrintable(error));
        for (qsizetype s = 0; s < bed->sampleIds().size(); ++s)
            pheno.insert(bed->sampleIds().at(s), bed->filePhenotypes()[std::size_t(s)]);
    }
    SampleChoice byId = caseControl;
    byId.pheno = pheno;
    const QStringList bedWhole = readAll(path(QStringLiteral("fixture.bed")), {}, TableLayout::HardyWeinberg);
    const QStringList bedGroups = readAll(path(QStringLiteral("fixture.bed")), {}, TableLayout::CaseControl, caseControl);
    QCOMPARE(bedWhole.size(), 24);
    QVERIFY2(bedWhole.first().startsWith(QStringLiteral("1:1 snp_0 A>T n5")), qPrintable(bedWhole.first()));
    for (const char *name : {"fixture.vcf", "fixture.vcf.gz", "fixture.bcf"}) {
        const QString file = path(QLatin1StringView(name));
        QCOMPARE(readAll(file, {}, TableLayout::HardyWeinberg), bedWhole);
        QCOMPARE(readAll(file, {}, TableLayout::CaseControl, byId), bedGroups);
    }
}

// A region holds the variants whose POS lies in it, through the index of
// a .vcf.gz or .bcf and the .bim of a .bed, and the readers know how many.
void TestGenotypes::regions()
{
    GenotypeOpenOptions options;
    QString error;
    options.region = RegionSpec::parse(QStringLiteral("1:5-9"), &error);
    QVERIFY(options.region);
    const QStringList whole = readAll(path(QStringLiteral("fixture.bed")), {}, TableLayout::HardyWeinberg);
    const QStringList expected = whole.mid(4, 5);
    for (const char *name : {"fixture.bed", "fixture.vcf.gz", "fixture.bcf"}) {
        QCOMPARE(readAll(path(QLatin1StringView(name)), options, TableLayout::HardyWeinberg), expected);
    }
    std::unique_ptr<GenotypeReader> bed = openGenotypeFile(path(QStringLiteral("fixture.bed")), options, &error);
    QCOMPARE(bed->knownRecordCount(), 5);
    std::unique_ptr<GenotypeReader> gz = openGenotypeFile(path(QStringLiteral("fixture.vcf.gz")), {}, &error);
    QCOMPARE(gz->knownRecordCount(), 24);
    options.region = RegionSpec::parse(QStringLiteral("1"), &error);
    QCOMPARE(readAll(path(QStringLiteral("fixture.bcf")), options, TableLayout::HardyWeinberg), whole);
    for (const char *bad : {"1:9-5", ":1-2", "1:x-2", "1:5"})
        QVERIFY2(!RegionSpec::parse(QLatin1StringView(bad), &error), bad);
}

void TestGenotypes::damagedInput_data()
{
    QTest::addColumn<QString>("file");        // read after the damage
    QTest::addColumn<int>("damage");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QByteArray>("message");  // parts of the error, split by |
    QTest::addColumn<int>("readBefore");      // variants read before it
    const QString bed = QStringLiteral("fixture.bed");
    QTest::newRow("truncated .bed") << bed << 1 << QString() << QByteArray("fixture.bed: 353 bytes|fixture.bim|need 363") << 0;
    QTest::newRow("wrong magic") << bed << 2 << QString() << QByteArray("fixture.bed|wrong magic number 6c 1c 01") << 0;
    QTest::newRow("sample-major") << bed << 3 << QString() << QByteArray("fixture.bed|sample-major") << 0;
    QTest::newRow(".bim longer than the .bed") << bed << 4 << QString() << QByteArray("25 variants|need 378 bytes") << 0;
    QTest::newRow("missing .bim") << bed << 5 << QString() << QByteArray("fixture.bed|fixture.bim is missing") << 0;
    QTest::newRow("missing .fam") << bed << 6 << QString() << QByteArray("fixture.bed|fixture.fam is missing") << 0;
    QTest::newRow("bad .bim line") << bed << 7 << QString() << QByteArray("fixture.bim, line 3|5 columns") << 0;
    QTest::newRow("bad .fam line") << bed << 8 << QString() << QByteArray("fixture.fam, line 2|3 columns") << 0;
    QTest::newRow("malformed VCF record") << QStringLiteral("fixture.vcf") << 9 << QString()
                                          << QByteArray("fixture.vcf, line 10 (1:3)|sample 2|\"x\"") << 2;
    QTest::newRow("not a VCF") << QStringLiteral("fixture.vcf") << 10 << QString()
                               << QByteArray("fixture.vcf: not a VCF file") << 0;
    QTest::newRow("damaged compression") << QStringLiteral("fixture.vcf.gz") << 11 << QString()
                                         << QByteArray("fixture.vcf.gz: cannot be read|damaged compression") << -1;
    QTest::newRow("region without an index") << QStringLiteral("fixture.vcf.gz") << 12 << QStringLiteral("1:1-3")
                                             << QByteArray("--region needs the file's index|tabix -p vcf") << 0;
    QTest::newRow("region on a plain VCF") << QStringLiteral("fixture.vcf") << 0 << QStringLiteral("1:1-3")
                                           << QByteArray("fixture.vcf: --region needs a bgzip-compressed file") << 0;
    for (const char *name : {"fixture.bed", "fixture.vcf.gz", "fixture.bcf"})
        QTest::addRow("unknown chromosome, %s", name) << QString::fromLatin1(name) << 0 << QStringLiteral("7:1-3")
                                                     << QByteArray(name) + "|chromosome 7 of --region 7:1-3" << 0;
}

void TestGenotypes::damagedInput()
{
    QFETCH(QString, file);
    QFETCH(int, damage);
    QFETCH(QString, region);
    QFETCH(QByteArray, message);
    QFETCH(int, readBefore);
    QTemporaryDir scratch;
    QVERIFY(copyFixture(scratch.path()));
    const auto at = [&](const char *name) { return scratch.filePath(QLatin1StringView(name)); };
    QVERIFY(compressAndConvert(at("fixture.vcf"), at("fixture.vcf.gz"), at("fixture.bcf")));
    QByteArray bytes = readFile(scratch.filePath(file));
    switch (damage) {
    case 1: writeFile(at("fixture.bed"), bytes.left(bytes.size() - 10)); break;
    case 2: bytes[1] = 0x1c; writeFile(at("fixture.bed"), bytes); break;
    case 3: bytes[2] = 0; writeFile(at("fixture.bed"), bytes); break;
    case 4: writeFile(at("fixture.bim"), readFile(at("fixture.bim")) + "1\tsnp_x\t0\t99\tA\tC\n"); break;
    case 5: QFile::remove(at("fixture.bim")); break;
    case 6: QFile::remove(at("fixture.fam")); break;
    case 7: {
        QList<QByteArray> lines = readFile(at("fixture.bim")).split('\n');
        lines[2] = "1 snp_2 0 3 T";
        writeFile(at("fixture.bim"), lines.join('\n'));
        break;
    }
    case 8: {
        QList<QByteArray> lines = readFile(at("fixture.fam")).split('\n');
        lines[1] = "per1 per1 0";
        writeFile(at("fixture.fam"), lines.join('\n'));
        break;
    }
    case 9: {
        QList<QByteArray> lines = bytes.split('\n');
        lines[9].replace("\t0/0\t0/0", "\t0/0\t0/x");
        writeFile(at("fixture.vcf"), lines.join('\n'));
        break;
    }
    case 10: writeFile(at("fixture.vcf"), bytes.mid(bytes.indexOf("#CHROM"))); break;
    case 11: {
        // Two compressed blocks, the second cut short: the damage is named
        // (the reading threads may report it before the first block's lines).
        const QByteArray text = readFile(at("fixture.vcf"));
        const qsizetype cut = text.indexOf("\n1\t6\t") + 1;
        BGZF *out = bgzf_open(QFile::encodeName(at("fixture.vcf.gz")).constData(), "w");
        QVERIFY(out && bgzf_write(out, text.constData(), size_t(cut)) >= 0 && bgzf_flush(out) == 0);
        QVERIFY(bgzf_write(out, text.constData() + cut, size_t(text.size() - cut)) >= 0 && bgzf_close(out) == 0);
        const QByteArray gz = readFile(at("fixture.vcf.gz"));
        writeFile(at("fixture.vcf.gz"), gz.left(gz.size() - 60));
        break;
    }
    case 12: QFile::remove(at("fixture.vcf.gz.tbi")); break;
    default: break;
    }
    GenotypeOpenOptions options;
    QString error;
    if (!region.isEmpty())
        options.region = RegionSpec::parse(region, &error);
    const QStringList out = readAll(scratch.filePath(file), options, TableLayout::HardyWeinberg);
    QVERIFY(!out.isEmpty());
    const QString last = out.last();
    QVERIFY2(last.startsWith(QStringLiteral("error: ")), qPrintable(last));
    for (const QByteArray &part : message.split('|'))
        QVERIFY2(last.contains(QString::fromUtf8(part)), qPrintable(last));
    if (readBefore >= 0)
        QCOMPARE(out.size() - 1, readBefore);
}

void TestGenotypes::samplesAndPhenotypes()
{
    writeFile(path(QStringLiteral("p.txt")), "# comment\nIID PHENO\na 2\nb 1\n\nc 0\nd -9\n");
    QHash<QString, Phenotype> pheno;
    QString error;
    QVERIFY2(readPhenotypes(path(QStringLiteral("p.txt")), &pheno, &error), qPrintable(error));
    QCOMPARE(pheno.value(QStringLiteral("a")), Phenotype::Case);
    QCOMPARE(pheno.value(QStringLiteral("b")), Phenotype::Control);
    QCOMPARE(pheno.value(QStringLiteral("c")), Phenotype::None);
    writeFile(path(QStringLiteral("k.txt")), "a\nb\nzz\n");
    QStringList keep;
    QVERIFY(readSampleList(path(QStringLiteral("k.txt")), &keep, &error));
    SampleChoice choice;
    choice.keep = keep;
    choice.pheno = pheno;
    choice.caseControl = true;
    const SampleGroups groups = groupSamples({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                              QStringLiteral("e")}, {}, choice);
    QCOMPARE(groups.groupOf, (std::vector<qint8>{GenotypeTally::Case, GenotypeTally::Control, -1, -1}));
    QCOMPARE(groups.cases, 1);
    QCOMPARE(groups.controls, 1);
    QCOMPARE(groups.keptNotFound, 1);

    writeFile(path(QStringLiteral("bad.txt")), "a 2\nb 1 3\n");
    pheno.clear();
    QVERIFY(!readPhenotypes(path(QStringLiteral("bad.txt")), &pheno, &error));
    QVERIFY2(error.contains(QStringLiteral("bad.txt, line 2: a sample ID and its phenotype")), qPrintable(error));
    writeFile(path(QStringLiteral("twice.txt")), "a 2\na 1\n");
    pheno.clear();
    QVERIFY(!readPhenotypes(path(QStringLiteral("twice.txt")), &pheno, &error));
    QVERIFY2(error.contains(QStringLiteral("line 2: sample a is listed twice")), qPrintable(error));
}

void TestGenotypes::textLines_data()
{
    QTest::addColumn<QByteArray>("content");  // "FIFO": a FIFO that nobody writes to
    QTest::addColumn<QByteArray>("lines");    // what is read, joined by |
    QTest::addColumn<QString>("error");
    QTest::newRow("line ends") << QByteArray("a b\r\n\nc\n  \nlast") << QByteArray("a b||c|  |last") << QString();
    // Refused once the line is longer than the bound, not at its end.
    QTest::newRow("too long") << "a\n" + QByteArray(200000, 'x') << QByteArray("a")
                              << QStringLiteral("t.txt, line 2: longer than 64 bytes");
    QTest::newRow("a FIFO without a writer") << QByteArray("FIFO") << QByteArray() << QString();
}

// The lines of a small text file: every line end, a bound on a line's
// length, and a FIFO that would block an open read as empty.
void TestGenotypes::textLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, lines);
    QFETCH(QString, error);
    QTemporaryDir scratch;
    const QString file = scratch.filePath(QStringLiteral("t.txt"));
    if (content == "FIFO")
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else
        writeFile(file, content);
    TextLines reader;
    QString openError;
    QVERIFY2(reader.open(file, TextLines::Kinds::RegularOrPipe, &openError, 64), qPrintable(openError));
    QList<QByteArray> read;
    QByteArray line;
    while (reader.next(&line))
        read << line;
    QCOMPARE(read.join('|'), lines);
    QCOMPARE(reader.failed(), !error.isEmpty());
    QVERIFY2(reader.errorString().contains(error), qPrintable(reader.errorString()));
    if (content == "FIFO") {
        TextLines regular;
        QVERIFY(!regular.open(file, TextLines::Kinds::RegularOnly, &openError));
        QCOMPARE(openError, file + QStringLiteral(": not a regular file"));
    }
}

QTEST_APPLESS_MAIN(TestGenotypes)
#include "test_genotypes.moc"
