// The Q-Q plot's figures against R: the 1-df chi-squared quantile
// (qchisq(p, 1, lower.tail = FALSE) on a grid of 266 P-values from
// quantilereference.h, 1e-13 relative down to P = 1e-12 and 1e-11 below,
// where R's own iteration stops about 7e-12 from qnorm(p / 2)^2), defined
// and falling over a million P-values across (0, 1), the genomic-control lambda
// (median(qchisq(p, 1, lower.tail = FALSE)) / qchisq(0.5, 1), to the six
// decimals printed), the band's beta quantiles (qbeta, 1e-9 relative); and
// the thinning of a million points.
#include "genomiccontrol.h"
#include "normalquantile.h"
#include "qqpoints.h"
#include "quantilereference.h"

#include <QtTest>

#include <cmath>
#include <limits>
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
    void quantileAgainstR();
    void quantileEverywhere();
    void lambdaAgainstR();
    void bandAgainstR();
    void thinning();
    void refusals();
    void zerosKeptBeyondTheAxis();
};

// The grid in quantile_reference.R's order.
void TestQqPoints::quantileAgainstR()
{
    std::vector<double> grid;
    for (int k = 10; k <= 990; ++k)
        if (k % 10 == 0 || (k >= 861 && k <= 959))
            grid.push_back(k / 1000.0);
    for (int j = 5; j <= 320; j += 5)
        grid.push_back(QByteArray("1e-" + QByteArray::number(j)).toDouble());
    for (int j = 3; j <= 15; ++j)
        grid.push_back(1.0 - QByteArray("1e-" + QByteArray::number(j)).toDouble());
    QCOMPARE(grid.size(), std::size(kQchisqUpper));
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const double got = chiSquared1UpperQuantile(grid[i]);
        QVERIFY2(close(got, kQchisqUpper[i], grid[i] >= 1e-12 ? 1e-13 : 1e-11),
                 qPrintable(QStringLiteral("P %1: %2, R %3").arg(grid[i], 0, 'g', 17).arg(got, 0, 'g', 17).arg(kQchisqUpper[i], 0, 'g', 17)));
    }
    // qnorm(4.9406564584124654e-324 / 2)^2, the smallest double.
    QVERIFY(close(chiSquared1UpperQuantile(4.9406564584124654e-324), 1481.1266547553564, 1e-13));
    QCOMPARE(kChiSquared1Median, 0.45493642311957283);
    QVERIFY(close(chiSquared1UpperQuantile(0.5), kChiSquared1Median, 1e-15));
}

// 200,000 P-values evenly in (0, 1) and as many evenly in log10 P down
// to the smallest double: a quantile for every one, falling as P rises, and
// the normal quantile its square root with the sign of 1/2 - p.
void TestQqPoints::quantileEverywhere()
{
    for (const bool logScale : {false, true}) {
        double previous = std::numeric_limits<double>::infinity();
        for (int i = 1; i < 200000; ++i) {
            const double p = logScale ? std::pow(10.0, -323.3 * (1.0 - i / 2e5)) : i / 2e5;
            const double x = chiSquared1UpperQuantile(p);
            QVERIFY2(std::isfinite(x) && x >= 0.0 && x <= previous, qPrintable(QString::number(p, 'g', 17)));
            previous = x;
            if (!logScale) {
                const double z = normalUpperQuantile(p / 2.0);
                QVERIFY2(close(z * z, x, 1e-14), qPrintable(QString::number(p, 'g', 17)));
                QVERIFY(close(-normalUpperQuantile(1.0 - p / 2.0), z, 1e-9));
            }
        }
    }
}

void TestQqPoints::lambdaAgainstR()
{
    // An even count takes the mean of the middle two quantiles.
    std::vector<double> even = {0.01, 0.03, 0.04, 0.2, 0.5, 0.7, 0.9, 1.0};
    QCOMPARE(QString::number(genomicControlLambda(even), 'f', 6), QStringLiteral("2.305059"));
    std::vector<double> odd = {0.001, 0.2, 0.3, 0.6, 0.8};
    QCOMPARE(QString::number(genomicControlLambda(odd), 'f', 6), QStringLiteral("2.361196"));
    // P = 0 is an infinite statistic, counted as any other.
    std::vector<double> zero = {0.0, 0.37299848361348720, 0.64960847088966445};
    QCOMPARE(QString::number(genomicControlLambda(zero), 'f', 6), QStringLiteral("1.744531"));
    std::vector<double> mostlyZero = {0.0, 0.0, 0.5};
    QVERIFY(std::isinf(genomicControlLambda(mostlyZero)));
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
    std::vector<double> above = {0.5, 1.5};
    QCOMPARE(qqpoints::compute(above, 1e-3, 20, &points), int(qqpoints::BadInput));
    std::vector<double> negative = {0.5, -0.1};
    QCOMPARE(qqpoints::compute(negative, 1e-3, 20, &points), int(qqpoints::BadInput));
    QVERIFY(std::isinf(chiSquared1UpperQuantile(0.0)) && std::isnan(chiSquared1UpperQuantile(-0.1)));
    QCOMPARE(chiSquared1UpperQuantile(1.0), 0.0);
}

// P = 0 stays among the points, with an infinite -log10 P, and leaves the
// others thinned as without it.
void TestQqPoints::zerosKeptBeyondTheAxis()
{
    std::vector<double> p(100000);
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = (double(i) + 0.5) / double(p.size());
    std::vector<double> withZeros = p;
    withZeros.insert(withZeros.end(), 3, 0.0);
    QqPoints plain, zeros;
    QCOMPARE(qqpoints::compute(p, 1e-3, 20, &plain), int(qqpoints::Finished));
    QCOMPARE(qqpoints::compute(withZeros, 1e-3, 20, &zeros), int(qqpoints::Finished));
    QCOMPARE(zeros.zeros, qint64(3));
    QVERIFY(std::isinf(zeros.observed.at(0)) && std::isinf(zeros.observed.at(2)) && std::isfinite(zeros.observed.at(3)));
    QVERIFY(zeros.expected.size() >= plain.expected.size() * 9 / 10 && zeros.expected.size() <= plain.expected.size() + 3);
}

QTEST_APPLESS_MAIN(TestQqPoints)
#include "test_qqpoints.moc"
