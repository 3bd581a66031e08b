// The check of a haplotype block: genotypes as 0/1/2 or allele pairs,
// missing cells, the case/control column, and every refusal.
#include "checks.h"
#include "fakegrid.h"

#include <QtTest>

class TestHaplotypeCheck final : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
};

void TestHaplotypeCheck::check_data()
{
    QTest::addColumn<QString>("layout");   // the block starts at B2; names in row 1
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<QString>("codes");    // accepted: bufA row by row, "." for missing
    QTest::addColumn<QString>("status");   // accepted: bufB
    QTest::addColumn<QString>("names");    // accepted: SNP names, then the alleles
    const auto row = [](const char *name, const char *layout, int rows, int columns, const char *message,
                        const char *codes = "", const char *status = "", const char *names = "") {
        QTest::newRow(name) << QString::fromUtf8(layout) << rows << columns << QString::fromUtf8(message)
                            << QString::fromUtf8(codes) << QString::fromUtf8(status) << QString::fromUtf8(names);
    };
    row("codes, names above", "B1:rsA,rsB|0,1,case|1,2,control|2,0,Case|1,1,1", 4, 3, "", "01 12 20 11", "1 0 1 0",
        "rsA rsB | 1 2 1 2");
    // The rarer allele of a pair column is the second: G is commoner here.
    row("pairs", "B2:A/G,C/T,2|G/G,TT,control|A/G,c/t,2|G/G,C/C,1", 4, 3, "", "11 02 11 00", "1 0 1 0",
        "B C | G A C T");
    row("missing cells", "B2:,0,2|.,NA,1|1,2,case|./.,1,control|2,-,case", 5, 3, "", ".0 .. 12 .1 2.", "1 0 1 0 1",
        "B C | 1 2 1 2");
    row("codes and pairs mixed", "B2:0,A/G,case|1,A/A,control|2,G/G,case|1,2,control", 4, 3,
        "Column C mixes 0/1/2 codes and allele pairs (C5)");
    row("three alleles", "B2:0,A/G,case|1,A/T,control", 2, 3, "Column C has more than two alleles (C3)");
    row("monomorphic", "B2:0,2,case|0,1,control|0,0,case", 3, 3, "Column B has one allele only");
    row("no genotype", "B2:0,,case|1,.,control|2,NA,case", 3, 3, "Column C has no genotype");
    row("bad status", "B2:0,1,case|1,2,maybe", 2, 3, "Cell D3: the last column says case or control");
    row("bad genotype", "B2:0,1,case|3,2,control", 2, 3, "Cell B3 is not a genotype");
    row("no control", "B2:0,1,case|1,2,case", 2, 3, "No control is typed");
    row("never together", "B2:0,.,case|.,1,control|2,.,case|.,2,control", 4, 3,
        "No individual is typed at both B and C");
    row("one SNP", "B2:0,case|1,control", 2, 2, "wrong Range");
}

void TestHaplotypeCheck::check()
{
    QFETCH(QString, layout);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, message);
    const FakeGrid grid(layout);
    TestInput in;
    in.topRow = 1;
    in.leftCol = 1;
    in.nRows = rows;
    in.nCols = columns;
    const CheckResult result = checkTestRange(TestHaplotypes, grid, in);
    if (!message.isEmpty()) {
        QVERIFY(!result.ok);
        QVERIFY2(result.message.contains(message), qPrintable(result.message));
        return;
    }
    QVERIFY2(result.ok, qPrintable(result.message));
    QFETCH(QString, codes);
    QFETCH(QString, status);
    QFETCH(QString, names);
    const int loci = columns - 1;
    QCOMPARE(in.testSize, loci);
    QStringList codeRows;
    QStringList statuses;
    for (int r = 0; r < rows; ++r) {
        QString text;
        for (int j = 0; j < loci; ++j) {
            const int code = in.bufA[std::size_t(r * loci + j)];
            text += code < 0 ? QStringLiteral(".") : QString::number(code);
        }
        codeRows << text;
        statuses << QString::number(in.bufB[std::size_t(r)]);
    }
    QCOMPARE(codeRows.join(u' '), codes);
    QCOMPARE(statuses.join(u' '), status);
    QCOMPARE(in.factorNames.join(u' ') + QStringLiteral(" | ") + in.alleleNames.join(u' '), names);
}

QTEST_GUILESS_MAIN(TestHaplotypeCheck)
#include "test_haplotypecheck.moc"
