// The chi-squared tail and its report. Reference values: gammareference.h,
// written by gamma_reference.py in this folder (decimal arithmetic with 60
// or more digits, two methods cross-checked); the engine must match them to
// 1e-8 relative wherever P > 1e-300, and to 1e-13 in its closed forms.
#include "chi2.h"
#include "contingencyruns.h"
#include "gammareference.h"
#include "incompletegamma.h"
#include "testinput.h"
#include "textgrid.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// X2 of a table given row by row, with or without Yates' correction, the way
// the check computes it.
double chi2Statistic(const QList<QList<int>> &rows, bool yates)
{
    const qsizetype nRows = rows.size();
    const qsizetype nCols = rows.first().size();
    QList<double> rowSum(nRows, 0.0), colSum(nCols, 0.0);
    double total = 0.0;
    for (qsizetype r = 0; r < nRows; ++r)
        for (qsizetype c = 0; c < nCols; ++c) {
            rowSum[r] += rows[r][c];
            colSum[c] += rows[r][c];
            total += rows[r][c];
        }
    double x2 = 0.0;
    for (qsizetype r = 0; r < nRows; ++r)
        for (qsizetype c = 0; c < nCols; ++c) {
            const double e = rowSum[r] * colSum[c] / total;
            const double d = std::max(std::fabs(rows[r][c] - e) - (yates ? 0.5 : 0.0), 0.0);
            x2 += d * d / e;
        }
    return x2;
}

// A block placed at B3 of a grid, with its input record.
struct Chi2Case
{
    TextGrid grid;
    TestInput in;
};

void fillCase(Chi2Case &c, const QList<QList<int>> &rows, bool yates)
{
    c.in.topRow = 2;
    c.in.leftCol = 1;
    c.in.nRows = int(rows.size());
    c.in.nCols = int(rows.first().size());
    for (int r = 0; r < c.in.nRows; ++r)
        for (int col = 0; col < c.in.nCols; ++col)
            c.grid.set(2 + r, 1 + col, QString::number(rows[r][col]));
    c.in.chi2Sum = chi2Statistic(rows, yates);
    c.in.testSize = (c.in.nRows - 1) * (c.in.nCols - 1);
    c.in.yates = yates;
}

} // namespace

class ChiSquaredTests final : public QObject
{
    Q_OBJECT

private slots:
    void matchesReference_data();
    void matchesReference();
    void extremeArguments();
    void invalidArgumentsAreReported();
    void report_data();
    void report();
    void echoShowsDisplayedTexts();
    void gammaFailureGivesRedEntry();
};

void ChiSquaredTests::matchesReference_data()
{
    QTest::addColumn<double>("df");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("q");
    for (const GammaReference &ref : kGammaReferences)
        QTest::addRow("df=%g x2=%.17g", ref.df, ref.x2) << ref.df << ref.x2 << ref.q;
}

void ChiSquaredTests::matchesReference()
{
    QFETCH(double, df);
    QFETCH(double, x2);
    QFETCH(double, q);
    QString error;
    const double p = chi2PValue(x2, df, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // Whole df within the closed forms' reach (chi2.h) to 1e-13; the series
    // elsewhere to 1e-8.
    const bool closed = df == std::floor(df) && df <= 2000.0 && x2 <= 1400.0;
    QVERIFY2(std::fabs(p - q) <= (closed ? 1e-13 : 1e-8) * q,
             qPrintable(QStringLiteral("P=%1 reference=%2").arg(p, 0, 'g', 17).arg(q, 0, 'g', 17)));
}

void ChiSquaredTests::extremeArguments()
{
    // The statistic of the largest grid can reach any size: far tails give
    // 0 (or a value below every reference), never an error.
    for (const double df : {1.0, 2.0, 250.0, 24950.0}) {
        for (const double x2 : {1e6, 1e9, 1e12}) {
            QString error;
            const double p = chi2PValue(x2, df, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY(p >= 0.0 && p < 1e-300);
        }
        QString error;
        QCOMPARE(chi2PValue(0.0, df, &error), 1.0);
        QVERIFY(error.isEmpty());
    }
    // The iteration limit grows with a, and so does what the methods need.
    QVERIFY(gammaIterationLimit(0.5) >= 100);
    QVERIFY(gammaIterationLimit(12475.0) > 1000);
}

void ChiSquaredTests::invalidArgumentsAreReported()
{
    const double nan = std::nan("");
    QString error;
    QVERIFY(std::isnan(chi2PValue(1.0, 0.0, &error)));
    QCOMPARE(error, QStringLiteral("Invalid arguments in routine gammq"));
    error.clear();
    QVERIFY(std::isnan(chi2PValue(-1.0, 3.0, &error)));
    QCOMPARE(error, QStringLiteral("Invalid arguments in routine gammq"));
    error.clear();
    QVERIFY(std::isnan(chi2PValue(nan, 3.0, &error)));
    QVERIFY(!error.isEmpty());
    const GammaResult negative = gser(2.0, -1.0);
    QCOMPARE(negative.error, QStringLiteral("x less than 0 in routine gser"));
    QVERIFY(std::isnan(negative.value));
}

void ChiSquaredTests::report_data()
{
    QTest::addColumn<QList<QList<int>>>("rows");
    QTest::addColumn<bool>("yates");
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("p");

    QTest::newRow("2x2")
        << QList<QList<int>>{{10, 20}, {30, 40}} << false
        << QStringLiteral("<br />Chi-squared test <b>P-VALUE = 0.372998</b>  for input vectors:"
                          "<br />{ 10, 20 }<br />{ 30, 40 }<br />chi2=0.793651 , df=1")
        << 0.372998421;
    QTest::newRow("2x2 Yates")
        << QList<QList<int>>{{10, 20}, {30, 40}} << true
        << QStringLiteral("<br />Chi-squared test <b>P-VALUE = 0.504036</b>  for input vectors:"
                          "<br />{ 10, 20 }<br />{ 30, 40 }<br />chi2=0.446429 , df=1")
        << 0.504035662;
    QTest::newRow("2x3")
        << QList<QList<int>>{{12, 5, 7}, {3, 9, 14}} << false
        << QStringLiteral("<br />Chi-squared test <b>P-VALUE = 0.0122144</b>  for input vectors:"
                          "<br />{ 12, 5, 7 }<br />{ 3, 9, 14 }<br />chi2=8.81029 , df=2")
        << 0.0122143352;
    QTest::newRow("proportional")
        << QList<QList<int>>{{10, 20}, {20, 40}} << false
        << QStringLiteral("<br />Chi-squared test <b>P-VALUE = 1</b>  for input vectors:"
                          "<br />{ 10, 20 }<br />{ 20, 40 }<br />chi2=0 , df=1")
        << 1.0;
    // Reference: gamma_reference.upper_tail(1, 1000.0) = 1.7958327848e-219.
    QTest::newRow("tiny P in exponent form")
        << QList<QList<int>>{{500, 0}, {0, 500}} << false
        << QStringLiteral("<br />Chi-squared test <b>P-VALUE = 1.79583e-219</b>  for input vectors:"
                          "<br />{ 500, 0 }<br />{ 0, 500 }<br />chi2=1000 , df=1")
        << 1.7958328e-219;
}

void ChiSquaredTests::report()
{
    QFETCH(QList<QList<int>>, rows);
    QFETCH(bool, yates);
    QFETCH(QString, message);
    QFETCH(double, p);
    Chi2Case c;
    fillCase(c, rows, yates);
    const Chi2Run run = runChi2Test(c.in, c.grid);
    QCOMPARE(run.message, message);
    QCOMPARE(run.isError, 0);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.df, c.in.testSize);
    QCOMPARE(run.x2, c.in.chi2Sum);
    QVERIFY(std::fabs(run.pValue - p) <= 1e-5 * p);
}

void ChiSquaredTests::echoShowsDisplayedTexts()
{
    // A formula cell shows its value; the echo copies what is shown.
    Chi2Case c;
    fillCase(c, {{10, 20}, {30, 40}}, false);
    c.grid.set(2, 1, QStringLiteral("10.0"));
    const Chi2Run run = runChi2Test(c.in, c.grid);
    QVERIFY(run.message.contains(QStringLiteral("<br />{ 10.0, 20 }<br />{ 30, 40 }")));
}

void ChiSquaredTests::gammaFailureGivesRedEntry()
{
    // 26 x 11 grid: df = 250 with X2 = 250 needs more than the classic 100
    // terms, and gets a P-value.
    Chi2Case big;
    big.in.nRows = 1;
    big.in.nCols = 1;
    big.grid.set(0, 0, QStringLiteral("1"));
    big.in.chi2Sum = 250.0;
    big.in.testSize = 250;
    const Chi2Run ok = runChi2Test(big.in, big.grid);
    QCOMPARE(ok.isError, 0);
    QVERIFY(ok.message.startsWith(
        QStringLiteral("<br />Chi-squared test <b>P-VALUE = 0.488105</b>  for input vectors:")));

    // Degrees of freedom no check gives: the routine's text, red.
    big.in.testSize = 0;
    const Chi2Run bad = runChi2Test(big.in, big.grid);
    QCOMPARE(bad.isError, 1);
    QCOMPARE(bad.status, 1);
    QVERIFY(std::isnan(bad.pValue));
    QCOMPARE(bad.message,
             QStringLiteral("<br />Chi-squared test error: Invalid arguments in routine gammq"
                            "  for input vectors:<br />{ 1 }<br />chi2=250 , df=0"));
}

QTEST_APPLESS_MAIN(ChiSquaredTests)
#include "test_chi2.moc"
