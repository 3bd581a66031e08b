// The figures behind the pictures of the contingency tests: the acceptance
// band of the two-allele Hardy-Weinberg diagram against the exact test
// itself (hwtwoallele), every table of every sample up to 40 individuals,
// the edges at every allele count of samples of 120, 200 and 1000, and the
// edges of the band at up to 10^7; the expected counts and residuals
// against R's chisq.test (17 digits, compared to 1e-12 relative) and, for
// genotype tables, against the allele counts that they must keep.
#include "cellresiduals.h"
#include "hwband.h"
#include "hwtwoallele.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double kLevel = 0.05;

// The exact test's P-value of the table with `het` heterozygotes among n
// individuals carrying `second` copies of the second allele.
double exactP(qint64 n, qint64 second, qint64 het)
{
    double p = -1.0;
    const qint64 homSecond = (second - het) / 2;
    hwtwoallele::pValue(n - homSecond - het, het, homSecond, &p);
    return p;
}

} // namespace

class TestPictureData final : public QObject
{
    Q_OBJECT

private slots:
    void bandIsWhatTheTestAccepts();
    void bandEdgesAtLargeSamples_data();
    void bandEdgesAtLargeSamples();
    void bandSpreadsItsPoints();
    void bandAtEveryAlleleCount_data();
    void bandAtEveryAlleleCount();
    void tableResidualsAgainstR();
    void genotypeExpectationsKeepTheAlleles();
    void refusals();
};

// Every heterozygote count of every allele count: inside the band exactly
// when the exact test's P-value is above 5%.
void TestPictureData::bandIsWhatTheTestAccepts()
{
    for (qint64 n = 1; n <= 40; ++n) {
        for (qint64 second = 0; second <= 2 * n; ++second) {
            HwBandPoint point;
            QCOMPARE(hwband::accepted(n, second, kLevel, &point), int(hwband::Finished));
            for (qint64 het = second % 2; het <= std::min(second, 2 * n - second); het += 2) {
                const bool inside = het >= point.hetLow && het <= point.hetHigh;
                QVERIFY2(inside == (exactP(n, second, het) > kLevel),
                         qPrintable(QStringLiteral("n %1, allele count %2, %3 heterozygotes").arg(n).arg(second).arg(het)));
            }
        }
    }
}

void TestPictureData::bandEdgesAtLargeSamples_data()
{
    QTest::addColumn<qint64>("n");
    QTest::addColumn<qint64>("second");
    QTest::newRow("n 1e5, half") << qint64(100000) << qint64(100001);
    QTest::newRow("n 1e6, rare") << qint64(1000000) << qint64(2001);
    QTest::newRow("n 1e6, common") << qint64(1000000) << qint64(600000);
    QTest::newRow("n 1e7, half") << qint64(10000000) << qint64(10000000);
}

// The band's ends are accepted, the tables just outside them are not.
void TestPictureData::bandEdgesAtLargeSamples()
{
    QFETCH(qint64, n);
    QFETCH(qint64, second);
    HwBandPoint point;
    QCOMPARE(hwband::accepted(n, second, kLevel, &point), int(hwband::Finished));
    QVERIFY(point.hetLow < point.hetHigh);
    QVERIFY(exactP(n, second, point.hetLow) > kLevel);
    QVERIFY(exactP(n, second, point.hetHigh) > kLevel);
    QVERIFY(exactP(n, second, point.hetLow - 2) <= kLevel);
    QVERIFY(exactP(n, second, point.hetHigh + 2) <= kLevel);
}

void TestPictureData::bandSpreadsItsPoints()
{
    std::vector<HwBandPoint> band;
    QCOMPARE(hwband::band(1000000, kLevel, 100, 123457, &band), int(hwband::Finished));
    QVERIFY(band.size() >= 100 && band.size() <= 102);
    QCOMPARE(band.front().alleleCount, qint64(0));
    QCOMPARE(band.back().alleleCount, qint64(2000000));
    QVERIFY(std::any_of(band.begin(), band.end(), [](const HwBandPoint &p) { return p.alleleCount == 123457; }));
    // Sorted, symmetric, and each interval the one the count has alone.
    for (std::size_t i = 0; i < band.size(); ++i) {
        const HwBandPoint &mirror = band[band.size() - 1 - i];
        QCOMPARE(band[i].alleleCount + mirror.alleleCount, qint64(2000000));
        QCOMPARE(band[i].hetLow, mirror.hetLow);
        QVERIFY(i == 0 || band[i - 1].alleleCount < band[i].alleleCount);
        HwBandPoint alone;
        hwband::accepted(1000000, band[i].alleleCount, kLevel, &alone);
        QCOMPARE(band[i].hetHigh, alone.hetHigh);
    }
    QCOMPARE(hwband::band(10, kLevel, 100, 3, &band), int(hwband::Finished));
    QCOMPARE(band.size(), std::size_t(21));
}

void TestPictureData::bandAtEveryAlleleCount_data()
{
    QTest::addColumn<qint64>("n");
    QTest::newRow("120") << qint64(120);
    QTest::newRow("200") << qint64(200);
    QTest::newRow("1000") << qint64(1000);
}

// The band a picture draws (at most 240 points asked, as the pictures ask)
// holds every allele count, each with the edges the exact test gives it:
// the accepted tables form one interval, so its ends accepted and the
// tables just beyond them rejected put every table on its side.
void TestPictureData::bandAtEveryAlleleCount()
{
    QFETCH(qint64, n);
    std::vector<HwBandPoint> band;
    QCOMPARE(hwband::band(n, kLevel, 240, n / 3, &band), int(hwband::Finished));
    QCOMPARE(qint64(band.size()), 2 * n + 1);
    for (qint64 second = 0; second <= 2 * n; ++second) {
        const HwBandPoint &point = band[std::size_t(second)];
        const qint64 hMax = std::min(second, 2 * n - second);
        const QString where = QStringLiteral("allele count %1: %2 to %3").arg(second).arg(point.hetLow).arg(point.hetHigh);
        QVERIFY2(point.alleleCount == second && exactP(n, second, point.hetLow) > kLevel
                     && exactP(n, second, point.hetHigh) > kLevel,
                 qPrintable(where));
        QVERIFY2(point.hetLow - 2 < second % 2 || exactP(n, second, point.hetLow - 2) <= kLevel, qPrintable(where));
        QVERIFY2(point.hetHigh + 2 > hMax || exactP(n, second, point.hetHigh + 2) <= kLevel, qPrintable(where));
    }
}

void TestPictureData::tableResidualsAgainstR()
{
    // chisq.test(matrix(c(45,72,33,60,55,20), 2, byrow = TRUE)).
    const double expected[] = {55.263157894736842, 66.842105263157890, 27.894736842105264,
                               49.736842105263158, 60.157894736842103, 25.105263157894736};
    const double residual[] = {-1.3805850345393380, 0.63088095150267376, 0.96662272041096631,
                               1.4552644042288463, -0.66500691305422455, -1.01890981152226123};
    const CellResiduals cells = tableResiduals(2, 3, {45, 72, 33, 60, 55, 20});
    QCOMPARE(cells.rows, 2);
    QCOMPARE(cells.columns, 3);
    for (int i = 0; i < 6; ++i) {
        QVERIFY(std::fabs(cells.expected[i] - expected[i]) <= 1e-12 * expected[i]);
        QVERIFY(std::fabs(cells.residual[i] - residual[i]) <= 1e-12 * std::fabs(residual[i]));
    }
}

// Under Hardy-Weinberg proportions the expected table holds the sample's
// individuals and each allele's copies.
void TestPictureData::genotypeExpectationsKeepTheAlleles()
{
    const int K = 3;
    const std::vector<qint64> table = {10, 5, 3, 0, 8, 4, 0, 0, 6};
    const CellResiduals cells = genotypeResiduals(K, table);
    QCOMPARE(cells.rows, K);
    double individuals = 0.0;
    std::vector<double> copies(K, 0.0), observedCopies(K, 0.0);
    for (int i = 0; i < K; ++i) {
        for (int j = i; j < K; ++j) {
            const double e = cells.expected[std::size_t(i * K + j)];
            const double o = double(table[std::size_t(i * K + j)]);
            individuals += e;
            copies[i] += e;
            copies[j] += e;
            observedCopies[i] += o;
            observedCopies[j] += o;
            QVERIFY(std::fabs(cells.residual[std::size_t(i * K + j)] - (o - e) / std::sqrt(e)) < 1e-12);
        }
        for (int j = 0; j < i; ++j)
            QVERIFY(std::isnan(cells.residual[std::size_t(i * K + j)]));
    }
    QVERIFY(std::fabs(individuals - 36.0) < 1e-12);
    for (int i = 0; i < K; ++i)
        QVERIFY(std::fabs(copies[i] - observedCopies[i]) < 1e-12);
}

void TestPictureData::refusals()
{
    HwBandPoint point;
    QCOMPARE(hwband::accepted(0, 0, kLevel, &point), int(hwband::BadInput));
    QCOMPARE(hwband::accepted(10, 21, kLevel, &point), int(hwband::BadInput));
    QCOMPARE(hwband::accepted(10, 5, 1.0, &point), int(hwband::BadInput));
    QCOMPARE(tableResiduals(2, 2, {1, 2, 3}).rows, 0);
    QCOMPARE(tableResiduals(2, 2, {0, 0, 0, 0}).rows, 0);
    QCOMPARE(genotypeResiduals(2, {1, -1, 0, 2}).rows, 0);
}

QTEST_APPLESS_MAIN(TestPictureData)
#include "test_picturedata.moc"
