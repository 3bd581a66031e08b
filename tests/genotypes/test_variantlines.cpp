// A two-allele variant's hwe line written straight from its counts
// (twoAlleleHweLine) against the general path (runVariantExact: cell texts,
// checks, runBlock, JsonLine): the same bytes on every variant of the
// committed fixture, with its missing calls, and on tables built for the
// edges; rejected and three-allele variants are left to the general path.
#include "genotypefiles.h"

#include "genotypereader.h"
#include "testinput.h"
#include "variantrun.h"

#include <QtTest>

namespace {

TestSettings hweSettings()
{
    TestSettings settings;
    settings.kind = TestHardyW;
    settings.name = QStringLiteral("hwe");
    return settings;
}

VariantBudget exactBudget()
{
    VariantBudget budget;
    budget.exactUnits = quint64(1) << 40;
    return budget;
}

// The direct line, or empty when the direct path declines; the general
// path's line beside it.
QByteArray direct(const VariantTable &table, qint64 number, const QString &file, bool *taken)
{
    QByteArray out = "left over";
    *taken = twoAlleleHweLine(table, number, hweSettings(), exactBudget(), variantLineNames(file, hweSettings()), out);
    return out;
}

QByteArray general(const VariantTable &table, qint64 number, const QString &file)
{
    TestInput input;
    return runVariantExact(table, number, hweSettings(), exactBudget(), file, input).line.toUtf8();
}

} // namespace

class TestVariantLines final : public QObject
{
    Q_OBJECT

private slots:
    void fixture();
    void built_data();
    void built();
};

void TestVariantLines::fixture()
{
    QString error;
    const QString file = genotypefiles::data(QStringLiteral("fixture.bed"));
    std::unique_ptr<GenotypeReader> reader = openGenotypeFile(file, {}, &error);
    QVERIFY2(reader, qPrintable(error));
    RawRecord raw;
    GenotypeTally tally;
    VariantTable table;
    int lines = 0;
    while (reader->read(raw)) {
        QVERIFY(reader->decode(raw, tally, table.identity, &error));
        tally.toTable(TableLayout::HardyWeinberg, table);
        bool taken = false;
        const QByteArray line = direct(table, raw.ordinal, file, &taken);
        QVERIFY(taken);
        QCOMPARE(line, general(table, raw.ordinal, file));
        ++lines;
    }
    QCOMPARE(lines, 24);
}

void TestVariantLines::built_data()
{
    QTest::addColumn<QByteArray>("chrom");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QList<int>>("counts");  // hom REF, het, hom ALT[, a third allele's homozygotes]
    QTest::addColumn<int>("missing");
    QTest::addColumn<bool>("taken");
    QTest::newRow("missing calls") << QByteArray("1") << QByteArray("rs1") << QList<int>{10, 20, 15} << 5 << true;
    QTest::newRow("P of 1") << QByteArray("2") << QByteArray(".") << QList<int>{1, 2, 1} << 0 << true;
    QTest::newRow("small P") << QByteArray("X") << QByteArray("x") << QList<int>{500, 0, 500} << 0 << true;
    QTest::newRow("escaped identity") << QByteArray("chr\xc3\xa9") << QByteArray("a\"b\\c\td") << QList<int>{7, 3, 9}
                                      << 2 << true;
    QTest::newRow("a million individuals") << QByteArray("22") << QByteArray("big") << QList<int>{640000, 320000, 40000}
                                           << 0 << true;
    QTest::newRow("one allele present") << QByteArray("1") << QByteArray("mono") << QList<int>{30, 0, 0} << 1 << false;
    QTest::newRow("one called individual") << QByteArray("1") << QByteArray("one") << QList<int>{0, 1, 0} << 40 << false;
    QTest::newRow("three alleles") << QByteArray("1") << QByteArray("tri") << QList<int>{10, 5, 8, 4} << 0 << false;
}

void TestVariantLines::built()
{
    QFETCH(QByteArray, chrom);
    QFETCH(QByteArray, id);
    QFETCH(QList<int>, counts);
    QFETCH(int, missing);
    QFETCH(bool, taken);
    GenotypeTally tally;
    tally.reset(counts.size() == 4 ? 3 : 2, 1);
    tally.addGenotypes(0, 0, 0, counts[0]);
    tally.addGenotypes(0, 0, 1, counts[1]);
    tally.addGenotypes(0, 1, 1, counts[2]);
    if (counts.size() == 4)
        tally.addGenotypes(0, 2, 2, counts[3]);
    tally.addMissing(missing);
    VariantTable table;
    table.identity = {chrom, 1234, id, "A", {"G"}};
    tally.toTable(TableLayout::HardyWeinberg, table);
    const QString file = QStringLiteral("d\u00e9j\u00e0 \"vu\".bed");
    bool took = false;
    const QByteArray line = direct(table, 7, file, &took);
    QCOMPARE(took, taken);
    QCOMPARE(line, taken ? general(table, 7, file) : QByteArray());
}

QTEST_GUILESS_MAIN(TestVariantLines)
#include "test_variantlines.moc"
