// The checks of the selected block: shapes, messages, work-array layouts
// and the refusal of totals beyond the int range.
#include "cellsnapshot.h"
#include "checks.h"
#include "fakegrid.h"
#include "metacheck.h"

#include <QLoggingCategory>
#include <QtTest>

#include <climits>

namespace {

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");
const QString kWrongRange = QStringLiteral("<font color=\"red\"> wrong Range</font>");
const QString kEmpty = QStringLiteral("<font color=\"red\">Empty cell</font>");
const QString kBad = QStringLiteral("<font color=\"red\">Bad number</font>");
const QString kWrong = QStringLiteral("<font color=\"red\">Wrong number</font>");
const QString kTooLarge = QStringLiteral("<font color=\"red\">Counts are too large</font>");
const QString kBlockZero = QStringLiteral("<font color=\"red\">Column or row Sum=0</font>");
const QString kSamplesNoNames = QStringLiteral("<font color=\"red\">Samples has not names</font>");
const QString kSampleEmpty = QStringLiteral("<font color=\"red\">Samples name is empty</font>");
const QString kFactorsNoNames = QStringLiteral("<font color=\"red\">Factors has not names</font>");
const QString kFactorEmpty = QStringLiteral("<font color=\"red\">Factor name is empty</font>");

QString red(const QString &text)
{
    return QStringLiteral("<font color=\"red\">") + text + QStringLiteral("</font>");
}

// Places the block of a range text such as "B2:D7" into the record.
void setRange(TestInput &in, const QString &range)
{
    const QStringList corners = range.split(u':');
    // Columns past Z ("CV") let a fake grid hold blocks wider than the real one.
    auto letters = [](const QString &cell) {
        int n = 0;
        while (cell.at(n).isLetter())
            ++n;
        return n;
    };
    auto column = [&letters](const QString &cell) {
        int value = 0;
        for (int i = 0; i < letters(cell); ++i)
            value = value * 26 + (cell.at(i).unicode() - u'A' + 1);
        return value - 1;
    };
    auto row = [&letters](const QString &cell) { return cell.mid(letters(cell)).toInt() - 1; };
    in.leftCol = column(corners.at(0));
    in.topRow = row(corners.at(0));
    in.nCols = column(corners.at(1)) - in.leftCol + 1;
    in.nRows = row(corners.at(1)) - in.topRow + 1;
}

// `count` rows (or fields) of the same text, in the layout syntax of FakeGrid.
QString repeated(const QString &text, int count, QChar separator)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts.append(text);
    return parts.join(separator);
}

} // namespace

class TestChecks final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messages_data();
    void messages();
    void yatesBox_data();
    void yatesBox();
    void layouts_data();
    void layouts();
    void hugeCounts_data();
    void hugeCounts();
    void debugLines();
    void geneInterBeyond999();
    void snapshotKeepsWhatTheCheckRead();
    void metaBlocks_data();
    void metaBlocks();
};

void TestChecks::initTestCase()
{
    // One " value=" line per cell read would drown the log.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestChecks::messages_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("message");

    const QString tallColumn = QStringLiteral("A1:") + repeated(QStringLiteral("1,2"), 101, u'|');
    const QString wideRow = QStringLiteral("A1:") + repeated(QStringLiteral("1"), 100, u',')
        + QStringLiteral("|") + repeated(QStringLiteral("2"), 100, u',');

    QTest::newRow("no kind") << int(TestNone) << "A1:1,2|3,4" << "A1:B2" << kWrongRange;
    QTest::newRow("kind 7") << 7 << "A1:1,2|3,4" << "A1:B2" << kWrongRange;

    QTest::newRow("fisher 2x2") << int(TestFisher) << "B2:1,2|3,4" << "B2:C3" << kGood;
    QTest::newRow("fisher 2 x 100") << int(TestFisher) << tallColumn << "A1:B100" << kGood;
    QTest::newRow("fisher 2 x 101") << int(TestFisher) << tallColumn << "A1:B101" << kWrongRange;
    QTest::newRow("fisher 100 x 2") << int(TestFisher) << wideRow << "A1:CV2" << kGood;
    QTest::newRow("fisher 3x3") << int(TestFisher) << "A1:1,2,3|4,5,6|7,8,9" << "A1:C3" << kWrongRange;
    QTest::newRow("fisher 1x2") << int(TestFisher) << "A1:1|2" << "A1:A2" << kWrongRange;
    QTest::newRow("fisher zero") << int(TestFisher) << "A1:0,2|3,4" << "A1:B2" << kGood;
    QTest::newRow("fisher empty cell") << int(TestFisher) << "A1:1,~|3,4" << "A1:B2" << kEmpty;
    QTest::newRow("fisher 2.5") << int(TestFisher) << "A1:1,2.5|3,4" << "A1:B2" << kBad;
    QTest::newRow("fisher empty text") << int(TestFisher) << "A1:1,|3,4" << "A1:B2" << kBad;
    QTest::newRow("fisher -1") << int(TestFisher) << "A1:1,-1|3,4" << "A1:B2" << kBad;
    QTest::newRow("fisher ####") << int(TestFisher) << "A1:1,####|3,4" << "A1:B2" << kBad;
    QTest::newRow("fisher zero category row")
        << int(TestFisher) << "B2:1,2|0,0|3,4" << "B2:C4" << red(QStringLiteral("Sum=0 for row # 3"));
    QTest::newRow("fisher zero category column")
        << int(TestFisher) << "B2:1,0,3|2,0,4" << "B2:D3" << red(QStringLiteral("Sum=0 for column # 3"));

    QTest::newRow("chi2 3x2") << int(TestChi2) << "A1:1,2,3|4,5,6" << "A1:C2" << kGood;
    QTest::newRow("chi2 1x3") << int(TestChi2) << "A1:1,2,3" << "A1:C1" << kWrongRange;
    QTest::newRow("chi2 empty cell") << int(TestChi2) << "A1:1,2|~,4" << "A1:B2" << kEmpty;
    QTest::newRow("chi2 ####") << int(TestChi2) << "A1:1,2|####,4" << "A1:B2" << kWrong;
    QTest::newRow("chi2 2.5") << int(TestChi2) << "A1:1,2|2.5,4" << "A1:B2" << kWrong;
    QTest::newRow("chi2 empty text") << int(TestChi2) << "A1:1,2|,4" << "A1:B2" << kWrong;
    QTest::newRow("chi2 -1") << int(TestChi2) << "A1:1,2|-1,4" << "A1:B2" << kWrong;
    QTest::newRow("chi2 zero row") << int(TestChi2) << "B2:1,2|3,4|5,6|0,0|7,8" << "B2:C6"
                                   << red(QStringLiteral("Sum=0 for row # 5"));
    QTest::newRow("chi2 zero column") << int(TestChi2) << "B2:1,0,2|3,0,4" << "B2:D3"
                                      << red(QStringLiteral("Sum=0 for column # 3"));

    QTest::newRow("hwe triangle") << int(TestHardyW) << "A1:5,3,2|~,4,1|~,~,6" << "A1:C3" << kGood;
    QTest::newRow("hwe 3x2") << int(TestHardyW) << "A1:5,3,2|~,4,1" << "A1:C2" << kWrongRange;
    QTest::newRow("hwe 1x1") << int(TestHardyW) << "A1:5" << "A1:A1" << kWrongRange;
    QTest::newRow("hwe item below, empty text")
        << int(TestHardyW) << "A1:5,3|,4" << "A1:B2" << red(QStringLiteral("Left botton nonempty cell"));
    QTest::newRow("hwe item below, zero")
        << int(TestHardyW) << "A1:5,3|0,4" << "A1:B2" << red(QStringLiteral("Left botton nonempty cell"));
    QTest::newRow("hwe null genotype") << int(TestHardyW) << "A1:5,0,2|~,0,0|~,~,6" << "A1:C3"
                                       << red(QStringLiteral("Null Genotype number=2"));
    QTest::newRow("hwe empty cell") << int(TestHardyW) << "A1:5,~|~,4" << "A1:B2" << kEmpty;
    QTest::newRow("hwe bad number") << int(TestHardyW) << "A1:5,x|~,4" << "A1:B2" << kBad;

    QTest::newRow("gene 4x2") << int(TestGeneInter) << "A1:1,2|3,4|5,6|7,8" << "A1:B4" << kGood;
    QTest::newRow("gene 2 rows") << int(TestGeneInter) << "A1:1,2|3,4" << "A1:B2" << kWrongRange;
    QTest::newRow("gene odd rows") << int(TestGeneInter) << "A1:1,2|3,4|5,6|7,8|9,9" << "A1:B5" << kWrongRange;
    QTest::newRow("gene 1 column") << int(TestGeneInter) << "A1:1|2|3|4" << "A1:A4" << kWrongRange;
    QTest::newRow("gene half column zero") << int(TestGeneInter) << "A1:0,2|0,4|5,6|7,8" << "A1:B4" << kBlockZero;
    QTest::newRow("gene row zero") << int(TestGeneInter) << "A1:1,2|0,0|5,6|7,8" << "A1:B4" << kBlockZero;
    QTest::newRow("gene gaplotype") << int(TestGeneInter) << "A1:1,0|3,4|5,0|7,8" << "A1:B4"
                                    << red(QStringLiteral("Gaplotype=0 for i=0, j=1"));
    QTest::newRow("gene empty cell") << int(TestGeneInter) << "A1:1,2|3,4|5,~|7,8" << "A1:B4" << kEmpty;
    QTest::newRow("gene bad number") << int(TestGeneInter) << "A1:1,2|3,4|5,2.5|7,8" << "A1:B4" << kBad;

    // Samples in rows: names in column A, factor names in row 1.
    const QString rows = QStringLiteral("A1:~,f1,f2,f3|s1,1,2,3|s2,4,5,6");
    // Samples in columns: names in row 1, factor names in column A.
    const QString cols = QStringLiteral("A1:~,s1,s2|f1,1,4|f2,2,5|f3,3,6");
    QTest::newRow("cluster rows") << int(TestCluster) << rows << "B2:D3" << kGood;
    QTest::newRow("cluster columns") << int(TestCluster) << cols << "B2:C4" << kGood;
    QTest::newRow("cluster 2x2") << int(TestCluster) << cols << "B2:C3" << kWrongRange;
    QTest::newRow("cluster rows from A") << int(TestCluster) << "A2:1,2,3|4,5,6" << "A2:C3" << kWrongRange;
    QTest::newRow("cluster columns from A")
        << int(TestCluster) << "A1:s1,s2|1,4|2,5|3,6" << "A2:B4" << kFactorsNoNames;
    QTest::newRow("cluster columns at row 1") << int(TestCluster) << "B1:1,4|2,5|3,6" << "B1:C3" << kSamplesNoNames;
    QTest::newRow("cluster columns sample name")
        << int(TestCluster) << "A1:~,s1,~|f1,1,4|f2,2,5|f3,3,6" << "B2:C4" << kSampleEmpty;
    QTest::newRow("cluster columns factor name")
        << int(TestCluster) << "A1:~,s1,s2|f1,1,4|~,2,5|f3,3,6" << "B2:C4" << kFactorEmpty;
    QTest::newRow("cluster empty name texts") << int(TestCluster) << "A1:~,,s2|f1,1,4|,2,5|f3,3,6" << "B2:C4" << kGood;
    QTest::newRow("cluster columns zero row") << int(TestCluster) << "A1:~,s1,s2|f1,1,4|f2,0,0|f3,3,6" << "B2:C4"
                                              << red(QStringLiteral("Sum=0 for row # 3"));
    QTest::newRow("cluster columns zero column")
        << int(TestCluster) << "A1:~,s1,s2|f1,1,0|f2,2,0|f3,3,0" << "B2:C4" << red(QStringLiteral("Sum=0 for column # 3"));
    QTest::newRow("cluster rows sample name")
        << int(TestCluster) << "A1:~,f1,f2,f3|s1,1,2,3|~,4,5,6" << "B2:D3" << kSampleEmpty;
    QTest::newRow("cluster rows at row 1") << int(TestCluster) << "A1:s1,1,2,3|s2,4,5,6" << "B1:D2" << kFactorsNoNames;
    QTest::newRow("cluster rows factor name")
        << int(TestCluster) << "A1:~,f1,~,f3|s1,1,2,3|s2,4,5,6" << "B2:D3" << kFactorEmpty;
    QTest::newRow("cluster rows zero row") << int(TestCluster) << "A1:~,f1,f2,f3|s1,0,0,0|s2,4,5,6" << "B2:D3"
                                           << red(QStringLiteral("Sum=0 for row # 2"));
    QTest::newRow("cluster rows zero column") << int(TestCluster) << "A1:~,f1,f2,f3|s1,1,0,3|s2,4,0,6" << "B2:D3"
                                              << red(QStringLiteral("Sum=0 for column # 3"));
    QTest::newRow("cluster wrong number") << int(TestCluster) << "A1:~,s1,s2|f1,1,4|f2,####,5|f3,3,6" << "B2:C4"
                                          << kWrong;
    QTest::newRow("cluster empty cell") << int(TestCluster) << "A1:~,s1,s2|f1,1,4|f2,2,5|f3,3,~" << "B2:C4"
                                        << kEmpty;

    // Genetic models: cases and controls by rows (2 x 3) or by columns (3 x 2).
    const QString twoAlleles = red(QStringLiteral("Fewer than two alleles"));
    QTest::newRow("models 2x3") << int(TestModels) << "B2:5,3,0|4,6,0" << "B2:D3" << kGood;
    QTest::newRow("models 3x2") << int(TestModels) << "B2:5,4|3,6|0,1" << "B2:C4" << kGood;
    QTest::newRow("models 2x2") << int(TestModels) << "A1:1,2|3,4" << "A1:B2" << kWrongRange;
    QTest::newRow("models 2x4") << int(TestModels) << "A1:1,2,3,4|5,6,7,8" << "A1:D2" << kWrongRange;
    QTest::newRow("models 3x3") << int(TestModels) << "A1:1,2,3|4,5,6|7,8,9" << "A1:C3" << kWrongRange;
    QTest::newRow("models empty cell") << int(TestModels) << "A1:1,~,3|4,5,6" << "A1:C2" << kEmpty;
    QTest::newRow("models text") << int(TestModels) << "A1:1,2,x|4,5,6" << "A1:C2" << kBad;
    QTest::newRow("models negative") << int(TestModels) << "A1:1,2,3|4,-5,6" << "A1:C2" << kBad;
    QTest::newRow("models no cases") << int(TestModels) << "B2:0,0,0|4,5,6" << "B2:D3"
                                     << red(QStringLiteral("Sum=0 for row # 2"));
    QTest::newRow("models no controls, 3x2") << int(TestModels) << "B2:4,0|5,0|6,0" << "B2:C4"
                                             << red(QStringLiteral("Sum=0 for column # 3"));
    QTest::newRow("models one allele") << int(TestModels) << "A1:0,0,7|0,0,9" << "A1:C2" << twoAlleles;
    QTest::newRow("models one allele, 3x2") << int(TestModels) << "A1:7,9|0,0|0,0" << "A1:B3" << twoAlleles;
    QTest::newRow("models heterozygotes only") << int(TestModels) << "A1:0,3,0|0,2,0" << "A1:C2" << kGood;

    // Two-locus LD: 3 x 3 counts by the copies at the locus of the rows and
    // at that of the columns.
    QTest::newRow("ld 3x3") << int(TestLd) << "B2:5,3,0|4,6,1|0,2,7" << "B2:D4" << kGood;
    QTest::newRow("ld double heterozygotes only") << int(TestLd) << "A1:0,0,0|0,9,0|0,0,0" << "A1:C3" << kGood;
    QTest::newRow("ld 2x3") << int(TestLd) << "A1:1,2,3|4,5,6" << "A1:C2" << kWrongRange;
    QTest::newRow("ld text") << int(TestLd) << "A1:1,2,3|4,x,6|7,8,9" << "A1:C3" << kBad;
    QTest::newRow("ld nobody") << int(TestLd) << "A1:0,0,0|0,0,0|0,0,0" << "A1:C3" << red(QStringLiteral("No individuals"));
    QTest::newRow("ld rows one allele") << int(TestLd) << "A1:0,0,0|0,0,0|3,4,5" << "A1:C3"
                                       << red(QStringLiteral("One allele at the locus of the rows"));
    QTest::newRow("ld columns one allele") << int(TestLd) << "A1:3,0,0|4,0,0|5,0,0" << "A1:C3"
                                          << red(QStringLiteral("One allele at the locus of the columns"));

    // The number parser stops at a NUL; a count holding one is no number.
    const QChar nul(u'\0');
    QTest::newRow("chi2 NUL between digits")
        << int(TestChi2) << QStringLiteral("A1:1") + nul + QStringLiteral("9,2|3,4") << "A1:B2" << kWrong;
    QTest::newRow("fisher number then NUL")
        << int(TestFisher) << QStringLiteral("A1:7") + nul + QStringLiteral("abc,2|3,4") << "A1:B2" << kBad;
    QTest::newRow("hwe trailing NUL") << int(TestHardyW) << QStringLiteral("A1:5,3") + nul + QStringLiteral("|~,4")
                                      << "A1:B2" << kBad;
    QTest::newRow("gene leading NUL") << int(TestGeneInter)
                                      << QStringLiteral("A1:1,2|") + nul + QStringLiteral("3,4|5,6|7,8") << "A1:B4"
                                      << kBad;
    QTest::newRow("cluster NUL") << int(TestCluster)
                                 << QStringLiteral("A1:~,s1,s2|f1,1,4|f2,2") + nul + QStringLiteral(",5|f3,3,6")
                                 << "B2:C4" << kWrong;
}

void TestChecks::messages()
{
    QFETCH(int, kind);
    QFETCH(QString, cells);
    QFETCH(QString, range);
    QFETCH(QString, message);

    const FakeGrid grid(cells);
    TestInput in;
    setRange(in, range);
    const CheckResult result = checkTestRange(kind, grid, in);
    QCOMPARE(result.message, message);
    QCOMPARE(result.ok, message == kGood);
}

void TestChecks::yatesBox_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("unchecked");

    QTest::newRow("chi2 2x2") << int(TestChi2) << "A1:B2" << true << false;
    QTest::newRow("chi2 3x2") << int(TestChi2) << "A1:C2" << false << true;
    QTest::newRow("chi2 2x3") << int(TestChi2) << "A1:B3" << false << true;
    QTest::newRow("chi2 wrong range") << int(TestChi2) << "A1:A2" << false << true;
    QTest::newRow("fisher wrong range") << int(TestFisher) << "A1:C3" << false << true;
}

void TestChecks::yatesBox()
{
    QFETCH(int, kind);
    QFETCH(QString, range);
    QFETCH(bool, enabled);
    QFETCH(bool, unchecked);

    const FakeGrid grid(QStringLiteral("A1:10,20,5|30,40,5|5,5,5"));
    TestInput in;
    setRange(in, range);
    in.yates = true;
    const CheckResult result = checkTestRange(kind, grid, in);
    QCOMPARE(result.yatesEnabled, enabled);
    QCOMPARE(result.yatesUnchecked, unchecked);
    if (unchecked)
        QVERIFY(!in.yates);

    // 10 20 / 30 40: every |O - E| is 2 and the sum of 1/E is 25/126
    // (hand algebra), so X2 = 4 * 25/126 plain and 1.5^2 * 25/126 corrected.
    if (kind == TestChi2 && enabled) {
        QVERIFY(result.ok);
        QVERIFY(qAbs(in.chi2Sum - 2.25 * 25.0 / 126.0) < 1e-12);
        in.yates = false;
        QVERIFY(checkTestRange(kind, grid, in).ok);
        QVERIFY(qAbs(in.chi2Sum - 4.0 * 25.0 / 126.0) < 1e-12);
        QCOMPARE(in.testSize, 1);
        QCOMPARE(in.total, 100);
    }
}

void TestChecks::layouts_data()
{
    using Ints = QList<int>;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("range");
    QTest::addColumn<Ints>("a");
    QTest::addColumn<Ints>("b");
    QTest::addColumn<Ints>("c");
    QTest::addColumn<Ints>("d");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("testSize");
    QTest::addColumn<QStringList>("factors");
    QTest::addColumn<QStringList>("samples");

    const QStringList none;
    QTest::newRow("fisher categories in rows") << int(TestFisher) << "B2:1,4|2,5|3,6" << "B2:C4" << Ints() << Ints()
                                               << Ints{1, 2, 3} << Ints{5, 7, 9} << 21 << 3 << none << none;
    QTest::newRow("fisher categories in columns") << int(TestFisher) << "B2:1,2,3|4,5,6" << "B2:D3" << Ints() << Ints()
                                                  << Ints{1, 2, 3} << Ints{5, 7, 9} << 21 << 3 << none << none;
    QTest::newRow("fisher 2x2 groups in columns") << int(TestFisher) << "A1:1,2|3,4" << "A1:B2" << Ints() << Ints()
                                                  << Ints{1, 3} << Ints{3, 7} << 10 << 2 << none << none;
    QTest::newRow("chi2") << int(TestChi2) << "C3:1,2,3|4,5,6" << "C3:E4" << Ints() << Ints() << Ints{6, 15}
                          << Ints{5, 7, 9} << 21 << 2 << none << none;
    QTest::newRow("cluster rows") << int(TestCluster) << "A1:~,f1,f2,f3|s1,1,2,3|s2,4,5,6" << "B2:D3"
                                  << Ints{1, 2, 3} << Ints{4, 5, 6} << Ints{6, 15} << Ints{5, 7, 9} << -1 << 3
                                  << QStringList{QStringLiteral("f1"), QStringLiteral("f2"), QStringLiteral("f3")}
                                  << QStringList{QStringLiteral("s1"), QStringLiteral("s2")};
    QTest::newRow("cluster columns") << int(TestCluster) << "A1:~,s1,s2|f1,1,4|f2,2,5|f3,3,6" << "B2:C4"
                                     << Ints{1, 2, 3} << Ints{4, 5, 6} << Ints{5, 7, 9} << Ints{6, 15} << -1 << 2
                                     << QStringList{QStringLiteral("f1"), QStringLiteral("f2"), QStringLiteral("f3")}
                                     << QStringList{QStringLiteral("s1"), QStringLiteral("s2")};
    QTest::newRow("hwe") << int(TestHardyW) << "B2:5,3,2|~,4,1|~,~,6" << "B2:D4" << Ints{5, 3, 2, 0, 4, 1, 0, 0, 6}
                         << Ints() << Ints{5, 7, 9} << Ints{10, 5, 6} << -1 << 3 << none << none;
    QTest::newRow("gene") << int(TestGeneInter) << "A1:1,2,3|4,5,6|7,8,9|10,11,12" << "A1:C4"
                          << Ints{1, 2, 3, 4, 5, 6} << Ints{7, 8, 9, 10, 11, 12} << Ints() << Ints() << -1 << 3
                          << none << none;
    QTest::newRow("models 2x3") << int(TestModels) << "B2:1,2,3|4,5,6" << "B2:D3" << Ints{1, 2, 3, 4, 5, 6} << Ints()
                                << Ints() << Ints() << 21 << 3 << none << none;
    QTest::newRow("models 3x2") << int(TestModels) << "B2:1,4|2,5|3,6" << "B2:C4" << Ints{1, 2, 3, 4, 5, 6} << Ints()
                                << Ints() << Ints() << 21 << 3 << none << none;
}

void TestChecks::layouts()
{
    using Ints = QList<int>;
    QFETCH(int, kind);
    QFETCH(QString, cells);
    QFETCH(QString, range);
    QFETCH(Ints, a);
    QFETCH(Ints, b);
    QFETCH(Ints, c);
    QFETCH(Ints, d);
    QFETCH(int, total);
    QFETCH(int, testSize);
    QFETCH(QStringList, factors);
    QFETCH(QStringList, samples);

    const FakeGrid grid(cells);
    TestInput in;
    setRange(in, range);
    // A marker shows that entries beyond the block keep their contents.
    constexpr int kOld = -7;
    for (std::vector<int> *buffer : {&in.bufA, &in.bufB, &in.bufC, &in.bufD})
        std::fill(buffer->begin(), buffer->end(), kOld);
    in.factorNames = QStringList{QStringLiteral("stale")};

    const CheckResult result = checkTestRange(kind, grid, in);
    QCOMPARE(result.message, kGood);
    const std::pair<const std::vector<int> *, Ints> expected[] = {
        {&in.bufA, a}, {&in.bufB, b}, {&in.bufC, c}, {&in.bufD, d}};
    for (const auto &[buffer, values] : expected) {
        if (values.isEmpty())
            continue;
        const Ints got(buffer->begin(), buffer->begin() + values.size() + 1);
        QCOMPARE(got, Ints(values) << kOld);
    }
    if (total >= 0)
        QCOMPARE(in.total, total);
    QCOMPARE(in.testSize, testSize);
    if (kind == TestCluster) {
        QCOMPARE(in.factorNames, factors);
        QCOMPARE(in.sampleNames, samples);
    }
}

void TestChecks::hugeCounts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("accepted");

    const QString g = QStringLiteral("2000000000");
    const QString block2x2 = QStringLiteral("B2:") + g + u',' + g + u'|' + g + u',' + g;
    QTest::newRow("fisher") << int(TestFisher) << block2x2 << "B2:C3" << false;
    QTest::newRow("chi2") << int(TestChi2) << block2x2 << "B2:C3" << false;
    QTest::newRow("hwe") << int(TestHardyW) << QString(QStringLiteral("B2:") + g + u',' + g + QStringLiteral("|~,") + g)
                         << "B2:C3" << false;
    QTest::newRow("gene") << int(TestGeneInter) << QString(block2x2 + QStringLiteral(";B4:") + g + u',' + g + u'|' + g
                                                           + u',' + g)
                          << "B2:C5" << false;
    QTest::newRow("cluster rows")
        << int(TestCluster)
        << QString(QStringLiteral("A1:~,f1,f2,f3|s1,") + g + u',' + g + u',' + g + QStringLiteral("|s2,") + g + u','
                   + g + u',' + g)
        << "B2:D3" << false;
    QTest::newRow("cluster columns")
        << int(TestCluster)
        << QString(QStringLiteral("A1:~,s1,s2|f1,") + g + u',' + g + QStringLiteral("|f2,") + g + u',' + g
                   + QStringLiteral("|f3,") + g + u',' + g)
        << "B2:C4" << false;

    // The edge of the int range: INT_MAX itself is a total, one more is not.
    QTest::newRow("fisher at INT_MAX") << int(TestFisher) << "A1:2147483644,1|1,1" << "A1:B2" << true;
    QTest::newRow("fisher past INT_MAX") << int(TestFisher) << "A1:2147483645,1|1,1" << "A1:B2" << false;
    QTest::newRow("one cell INT_MAX") << int(TestChi2) << "A1:2147483647,0|0,0" << "A1:B2" << false;
    QTest::newRow("chi2 at INT_MAX") << int(TestChi2) << "A1:2147483646,0|0,1" << "A1:B2" << true;
    QTest::newRow("gene at INT_MAX") << int(TestGeneInter) << "A1:2147483640,1|1,1|1,1|1,1" << "A1:B4" << true;
    // Two alleles per individual: 2N must be an int as well.
    QTest::newRow("hwe at INT_MAX / 2") << int(TestHardyW) << "A1:1073741822,1|~,0" << "A1:B2" << true;
    QTest::newRow("hwe alleles past int") << int(TestHardyW) << "A1:1073741823,1|~,0" << "A1:B2" << false;
    QTest::newRow("models at INT_MAX / 2") << int(TestModels) << "A1:1073741821,1,0|1,0,0" << "A1:C2" << true;
    QTest::newRow("models alleles past int") << int(TestModels) << "A1:1073741822,1,0|1,0,0" << "A1:C2" << false;
}

void TestChecks::hugeCounts()
{
    QFETCH(int, kind);
    QFETCH(QString, cells);
    QFETCH(QString, range);
    QFETCH(bool, accepted);

    const FakeGrid grid(cells);
    TestInput in;
    setRange(in, range);
    const CheckResult result = checkTestRange(kind, grid, in);
    if (QByteArrayView(QTest::currentDataTag()) == "one cell INT_MAX") {
        // The single count is accepted; the empty row is what fails.
        QCOMPARE(result.message, red(QStringLiteral("Sum=0 for row # 2")));
        return;
    }
    QCOMPARE(result.message, accepted ? kGood : kTooLarge);
    QCOMPARE(result.ok, accepted);
}

// Off unless asked for: a release build's user sees no line per cell.
int debugLinesSeen = 0;
void countDebugLines(QtMsgType type, const QMessageLogContext &, const QString &)
{
    debugLinesSeen += type == QtDebugMsg;
}

void TestChecks::debugLines()
{
    const FakeGrid counts(QStringLiteral("A1:1,2|3,4"));
    TestInput quiet;
    setRange(quiet, QStringLiteral("A1:B2"));
    const QtMessageHandler previous = qInstallMessageHandler(countDebugLines);
    QVERIFY(checkTestRange(TestFisher, counts, quiet).ok);
    qInstallMessageHandler(previous);
    QCOMPARE(debugLinesSeen, 0);

    QLoggingCategory::setFilterRules(QStringLiteral("velmora.checks.debug=true"));
    // Column by column for the Fisher check.
    for (const char *line : {" value= 1", " value= 3", " value= 2", " value= 4"})
        QTest::ignoreMessage(QtDebugMsg, line);
    const FakeGrid grid(QStringLiteral("A1:1,2|3,4"));
    TestInput in;
    setRange(in, QStringLiteral("A1:B2"));
    QVERIFY(checkTestRange(TestFisher, grid, in).ok);
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.checks.debug=false"));
}

void TestChecks::geneInterBeyond999()
{
    // 26 columns by 2 x 40 rows: 1040 cells per table, more than 999.
    constexpr int n = 26;
    constexpr int m = 40;
    FakeGrid grid;
    for (int r = 0; r < 2 * m; ++r) {
        for (int c = 0; c < n; ++c)
            grid.set(r, c, QString::number(r * n + c + 1));
    }
    TestInput in;
    setRange(in, QStringLiteral("A1:Z80"));
    CheckResult result = checkTestRange(TestGeneInter, grid, in);
    QCOMPARE(result.message, kGood);
    QVERIFY(in.bufA.size() >= std::size_t(m * n));
    QVERIFY(in.bufB.size() >= std::size_t(m * n));
    QCOMPARE(in.bufC.size(), std::size_t(TestInput::kMinBufferSize));
    for (int p = 0; p < m * n; ++p) {
        QCOMPARE(in.bufA[p], p + 1);
        QCOMPARE(in.bufB[p], m * n + p + 1);
    }

    // The last pair of cells is checked too.
    grid.set(m - 1, n - 1, QStringLiteral("0"));
    grid.set(2 * m - 1, n - 1, QStringLiteral("0"));
    result = checkTestRange(TestGeneInter, grid, in);
    QCOMPARE(result.message, red(QStringLiteral("Gaplotype=0 for i=39, j=25")));

    // A smaller block afterwards does not shrink the arrays.
    setRange(in, QStringLiteral("A1:B4"));
    QVERIFY(checkTestRange(TestGeneInter, grid, in).ok);
    QVERIFY(in.bufA.size() >= std::size_t(m * n));
}

// A report echoes the block from the check's snapshot: what the check read,
// not what the grid holds by the time the report is built.
void TestChecks::snapshotKeepsWhatTheCheckRead()
{
    FakeGrid live(QStringLiteral("A1:10,20|30,40"));
    CellSnapshot snapshot(&live);
    TestInput in;
    setRange(in, QStringLiteral("A1:B2"));
    QVERIFY(checkTestRange(TestChi2, snapshot, in).ok);
    snapshot.detach();
    live.set(1, 1, QStringLiteral("400"));
    live.set(5, 5, QStringLiteral("unread"));
    QCOMPARE(snapshot.text(1, 1), QStringLiteral("40"));
    QVERIFY(snapshot.hasItem(0, 0));
    // Never read before the detach: empty, not the grid's newer text.
    QVERIFY(!snapshot.hasItem(5, 5));
    QCOMPARE(snapshot.text(5, 5), QString());

    // Read once: a second read of a changed grid still gives the first.
    FakeGrid grid(QStringLiteral("A1:1"));
    CellSnapshot attached(&grid);
    QCOMPARE(attached.text(0, 0), QStringLiteral("1"));
    grid.set(0, 0, QStringLiteral("2"));
    QCOMPARE(attached.text(0, 0), QStringLiteral("1"));
    QVERIFY(!attached.hasItem(3, 3));
    grid.set(3, 3, QStringLiteral("late"));
    QVERIFY(!attached.hasItem(3, 3));

    // A default snapshot has no grid at all.
    const CellSnapshot none;
    QVERIFY(!none.hasItem(0, 0));
}

void TestChecks::metaBlocks_data()
{
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("subgroups");
    QTest::addColumn<bool>("effectFirst");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<qint64>>("second");  // the second study's counts as kept, when accepted
    const QString studies = QStringLiteral("A2:X,10,5,1,12,3,0,EUR|Y,4,7,2,5,3,1,EAS");
    QTest::newRow("genotypes") << studies << "B2:G3" << true << false << kGood << QList<qint64>{4, 7, 2, 5, 3, 1};
    // Counts kept by copies of the effect allele: each group reversed.
    QTest::newRow("effect allele first") << studies << "B2:G3" << false << true << kGood
                                         << QList<qint64>{2, 7, 4, 1, 3, 5};
    QTest::newRow("exposure") << studies << "B2:E3" << false << false << kGood << QList<qint64>{4, 7, 2, 5, 0, 0};
    QTest::newRow("one study") << studies << "B2:G2" << false << false
                               << red(QStringLiteral("A meta-analysis needs 2 studies or more")) << QList<qint64>();
    const QString shape = red(QStringLiteral("Select 4 or 6 columns of counts, one row per study, names at the left"));
    QTest::newRow("five columns") << studies << "B2:F3" << false << false << shape << QList<qint64>();
    QTest::newRow("no column for names") << QStringLiteral("A2:10,5,1,12,3,0|4,7,2,5,3,1") << "A2:F3" << false
                                         << false << shape << QList<qint64>();
    QTest::newRow("no cases") << QStringLiteral("A2:X,10,5,1,12,3,0|Y,0,0,0,5,3,1") << "B2:G3" << false << false
                              << red(QStringLiteral("Study Y (row 3) has no cases")) << QList<qint64>();
    QTest::newRow("no controls, unnamed") << QStringLiteral("A2:X,10,5,1,12|~,4,1,0,0") << "B2:E3" << false << false
                                          << red(QStringLiteral("Study row 3 (row 3) has no controls"))
                                          << QList<qint64>();
    QTest::newRow("empty cell") << QStringLiteral("A2:X,10,5,1,12,3,0|Y,4,~,2,5,3,1") << "B2:G3" << false << false
                                << red(QStringLiteral("Empty cell C3")) << QList<qint64>();
    QTest::newRow("negative") << QStringLiteral("A2:X,10,5,1,12,3,0|Y,4,7,2,5,-3,1") << "B2:G3" << false << false
                              << red(QStringLiteral("F3 is not a count: -3")) << QList<qint64>();
    QTest::newRow("fraction") << QStringLiteral("A2:X,10,5,1,12,3,0|Y,4,7,2,5,3,0.5") << "B2:G3" << false << false
                              << red(QStringLiteral("G3 is not a count: 0.5")) << QList<qint64>();
    QTest::newRow("too large") << QStringLiteral("A2:X,10,5,1,600000000|Y,4,7,2,5") << "B2:E3" << false << false
                               << red(QStringLiteral("Counts are too large (E2)")) << QList<qint64>();
    QTest::newRow("no subgroup") << QStringLiteral("A2:X,10,5,1,12,3,0,EUR|Y,4,7,2,5,3,1") << "B2:G3" << true << false
                                 << red(QStringLiteral("Study Y (row 3) has no subgroup in column H")) << QList<qint64>();
    QTest::newRow("no column for subgroups") << QStringLiteral("T2:X,10,5,1,12,3,0|Y,4,7,2,5,3,1") << "U2:Z3" << true
                                             << false
                                             << red(QStringLiteral("No column right of the block for the subgroups"))
                                             << QList<qint64>();
}

// The meta-analysis block's check: each refusal in its words, and an
// accepted block's studies with their counts kept by copies of the effect
// allele, named from the column at the left.
void TestChecks::metaBlocks()
{
    QFETCH(QString, cells);
    QFETCH(QString, range);
    QFETCH(bool, subgroups);
    QFETCH(bool, effectFirst);
    QFETCH(QString, message);
    QFETCH(QList<qint64>, second);
    const FakeGrid grid(cells);
    TestInput in;
    setRange(in, range);
    MetaBlockOptions options;
    options.subgroups = subgroups;
    options.effectFirst = effectFirst;
    MetaInput out;
    const CheckResult result = checkMeta(grid, in, options, &out);
    QCOMPARE(result.message, message);
    QCOMPARE(result.ok, message == kGood);
    if (!result.ok)
        return;
    QCOMPARE(int(out.studies.size()), 2);
    QCOMPARE(out.exposure, in.nCols == 4);
    QCOMPARE(out.studies[1].name, QStringLiteral("Y"));
    QCOMPARE(out.studies[1].row, 2);
    QCOMPARE(out.studies[1].subgroup, subgroups ? QStringLiteral("EAS") : QString());
    QCOMPARE(QList<qint64>(std::begin(out.studies[1].counts), std::end(out.studies[1].counts)), second);
}

QTEST_GUILESS_MAIN(TestChecks)
#include "test_checks.moc"
