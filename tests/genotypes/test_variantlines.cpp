// A two-allele variant's hwe line written from its counts (twoAlleleHweLine)
// is the general path's line (runVariantExact: cell texts, checks, runBlock)
// byte for byte: on the fixture's variants, with missing calls, and on built
// tables; rejected and three-allele variants are left to the general path.
#include "genotypefiles.h"

#include "genotypereader.h"
#include "testinput.h"
#include "variantrun.h"

#include <QtTest>

class TestVariantLines final : public QObject
{
    Q_OBJECT

private slots:
    void sameLine_data();
    void sameLine();
};

void TestVariantLines::sameLine_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QList<int>>("counts");  // hom REF, het, hom ALT[, a third allele's homozygotes]
    QTest::addColumn<bool>("direct");
    QTest::newRow("fixture") << QByteArray() << QList<int>{} << true;
    QTest::newRow("escaped identity, P of 1") << QByteArray("\xc3\xa9\"\\\t") << QList<int>{1, 2, 1} << true;
    QTest::newRow("a million individuals") << QByteArray("big") << QList<int>{640000, 300000, 60000} << true;
    QTest::newRow("one allele present") << QByteArray("mono") << QList<int>{30, 0, 0} << false;
    QTest::newRow("three alleles") << QByteArray("tri") << QList<int>{10, 5, 8, 4} << false;
}

void TestVariantLines::sameLine()
{
    QFETCH(QByteArray, id);
    QFETCH(QList<int>, counts);
    QFETCH(bool, direct);
    TestSettings settings;
    settings.kind = TestHardyW;
    settings.name = QStringLiteral("hwe");
    VariantBudget budget;
    budget.exactUnits = quint64(1) << 40;
    const QString file = counts.isEmpty() ? genotypefiles::data(QStringLiteral("fixture.bed"))
                                          : QStringLiteral("d\u00e9j\u00e0 \"vu\".bed");
    QString error;
    std::unique_ptr<GenotypeReader> reader = openGenotypeFile(file, {}, &error);
    QVERIFY2(!counts.isEmpty() || reader, qPrintable(error));
    RawRecord raw;
    GenotypeTally tally;
    VariantTable table;
    TestInput input;
    int lines = 0;
    while (counts.isEmpty() ? reader->read(raw) : lines == 0) {
        if (counts.isEmpty()) {
            QVERIFY(reader->decode(raw, tally, table.identity, &error));
        } else {
            table.identity = {"1", 1234, id, "A", {"G"}};
            tally.reset(counts.size() - 1, 1);
            for (int a = 0; a < counts.size(); ++a)
                tally.addGenotypes(0, a == 1 ? 0 : a - (a > 1), a == 1 ? 1 : a - (a > 1), counts[a]);
            tally.addMissing(3);
        }
        tally.toTable(TableLayout::HardyWeinberg, table);
        QByteArray line = "left over";
        QCOMPARE(twoAlleleHweLine(table, ++lines, settings, budget, variantLineNames(file, settings), line), direct);
        QCOMPARE(line, direct ? runVariantExact(table, lines, settings, budget, file, input).line.toUtf8() : QByteArray());
    }
    QVERIFY(lines == (counts.isEmpty() ? 24 : 1));
}

QTEST_GUILESS_MAIN(TestVariantLines)
#include "test_variantlines.moc"
