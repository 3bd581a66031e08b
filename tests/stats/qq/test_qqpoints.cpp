// The Q-Q plot's figures against R: the 1-df chi-squared quantile
// (qchisq(p, 1, lower.tail = FALSE), 1e-12 relative where R itself is exact
// to its last digits, 1e-9 in the far tail), the genomic-control lambda
// (median(qchisq(p, 1, lower.tail = FALSE)) / qchisq(0.5, 1), to the six
// decimals printed), the band's beta quantiles (qbeta, 1e-9 relative); and
// the thinning of a million points.
#include "genomiccontrol.h"
#include "qqpoints.h"

#include <QtTest>

#include <cmath>
#include <random>

namespace {

bool close(double value, double expected, double relative)
{
    return std::fabs(value - expected) <= relative * std::fabs(expected);
}

} // namespace

class TestQqPoints final : public QObject
{
    Q_OBJECT

private slots:
    void quantileAgainstR_data();
    void quantileAgainstR();
    void lambdaAgainstR();
    void bandAgainstR();
    void thinning();
    void refusals();
};

void TestQqPoints::quantileAgainstR_data()
{
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("median") << 0.5 << 0.45493642311957283 << 1e-12;
    QTest::newRow("5%") << 0.05 << 3.8414588206941258 << 1e-12;
    QTest::newRow("near 1") << 0.999 << 1.5707971492624932e-06 << 1e-9;
    QTest::newRow("1e-8") << 1e-8 << 32.841253361236788 << 1e-12;
    QTest::newRow("1e-100") << 1e-100 << 453.94308223879898 << 1e-9;
    QTest::newRow("1e-300") << 1e-300 << 1373.8726312223939 << 1e-9;
    QTest::newRow("smallest double") << 4.9406564584124654e-324 << 1481.1266547553564 << 1e-9;
}

void TestQqPoints::quantileAgainstR()
{
    QFETCH(double, p);
    QFETCH(double, x);
    QFETCH(double, tolerance);
    const double got = chiSquared1Quantile(p);
    QVERIFY2(close(got, x, tolerance), qPrintable(QString::number(got, 'g', 17)));
    QCOMPARE(kChiSquared1Median, 0.45493642311957283);
}

void TestQqPoints::lambdaAgainstR()
{
    // An even count takes the mean of the middle two quantiles.
    std::vector<double> even = {0.01, 0.03, 0.04, 0.2, 0.5, 0.7, 0.9, 1.0};
    QCOMPARE(QString::number(genomicControlLambda(even), 'f', 6), QStringLiteral("2.305059"));
    std::vector<double> odd = {0.001, 0.2, 0.3, 0.6, 0.8};
    QCOMPARE(QString::number(genomicControlLambda(odd), 'f', 6), QStringLiteral("2.361196"));
}

void TestQqPoints::bandAgainstR()
{
    std::vector<double> p(1000000, 0.5);
    QqPoints points;
    QCOMPARE(qqpoints::compute(p, 1e-4, 50, &points), int(qqpoints::Finished));
    // Rank 1 of 10^6: qbeta(c(0.025, 0.975), 1, 1e6).
    QVERIFY(close(points.bandHigh.front(), -std::log10(2.5317807663794191e-08), 1e-9));
    QVERIFY(close(points.bandLow.front(), -std::log10(3.6888726502064855e-06), 1e-9));
    QVERIFY(close(points.bandExpected.front(), -std::log10(0.5 / 1e6), 1e-12));
    // The last rank's expectation is -log10((n - 1/2) / n).
    QVERIFY(close(points.bandExpected.back(), -std::log10(999999.5 / 1e6), 1e-9));
    for (std::size_t i = 0; i < points.bandLow.size(); ++i)
        QVERIFY(points.bandLow[i] < points.bandExpected[i] && points.bandExpected[i] < points.bandHigh[i]);
}

// A million uniform P-values keep a few thousand points, the largest and
// the smallest among them, each within the resolution of a dropped one.
void TestQqPoints::thinning()
{
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<double> p(1000000);
    for (double &value : p)
        value = 1.0 - uniform(random);
    const double smallest = *std::min_element(p.begin(), p.end());
    QqPoints points;
    QCOMPARE(qqpoints::compute(p, 1e-3, 20, &points), int(qqpoints::Finished));
    QCOMPARE(points.count, qint64(1000000));
    QVERIFY(points.expected.size() < 2000);
    QCOMPARE(points.observed.front(), -std::log10(smallest));
    QCOMPARE(points.expected.back(), -std::log10(999999.5 / 1e6));
    QVERIFY(std::is_sorted(points.expected.rbegin(), points.expected.rend()));
    QVERIFY(std::fabs(points.lambda - 1.0) < 0.01);
}

void TestQqPoints::refusals()
{
    QqPoints points;
    std::vector<double> none;
    QCOMPARE(qqpoints::compute(none, 1e-3, 20, &points), int(qqpoints::BadInput));
    std::vector<double> zero = {0.5, 0.0};
    QCOMPARE(qqpoints::compute(zero, 1e-3, 20, &points), int(qqpoints::BadInput));
    std::vector<double> above = {0.5, 1.5};
    QCOMPARE(qqpoints::compute(above, 1e-3, 20, &points), int(qqpoints::BadInput));
    QVERIFY(std::isnan(chiSquared1Quantile(0.0)));
    QCOMPARE(chiSquared1Quantile(1.0), 0.0);
}

QTEST_APPLESS_MAIN(TestQqPoints)
#include "test_qqpoints.moc"
