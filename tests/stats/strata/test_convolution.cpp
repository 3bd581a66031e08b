// The strata's convolutions: the FMA path gives the bits of one chain of
// std::fma per sum, the SSE2 path (which runs nowhere else on a processor
// with FMA) agrees with that chain to its terms' count of ulps; on
// stratum-like weights (a peak of 1, tails down to e^-72) and lengths on
// each side of the paths' blocks of 32, 16 and 4.
#include "convolution.h"

#include <QtTest>

#include <cmath>
#include <vector>

class TestConvolution final : public QObject
{
    Q_OBJECT

private slots:
    void bothPaths_data();
    void bothPaths();
};

void TestConvolution::bothPaths_data()
{
    QTest::addColumn<qint64>("na");
    QTest::addColumn<qint64>("nb");
    QTest::addRow("one term each") << qint64(1) << qint64(1);
    QTest::addRow("a block of 4 and 3 left") << qint64(3) << qint64(5);
    QTest::addRow("blocks of 16 and one left") << qint64(9) << qint64(25);
    QTest::addRow("exactly 32") << qint64(16) << qint64(17);
    QTest::addRow("the longer first") << qint64(190) << qint64(37);
    QTest::addRow("two halves") << qint64(191) << qint64(190);
}

void TestConvolution::bothPaths()
{
    QFETCH(qint64, na);
    QFETCH(qint64, nb);
    const auto weights = [](qint64 n) {
        std::vector<double> w;
        const double peak = 0.4 * double(n), sd = 0.09 * double(n) + 0.5;
        for (qint64 i = 0; i < n; ++i)
            w.push_back(std::exp(std::max(-72.0, -(double(i) - peak) * (double(i) - peak) / (2.0 * sd * sd))));
        return w;
    };
    const std::vector<double> a = weights(na), v = weights(nb);
    std::vector<double> b(std::size_t(convolution::kPad), 0.0);
    b.insert(b.end(), v.begin(), v.end());
    b.insert(b.end(), std::size_t(convolution::kPad), 0.0);
    const qint64 n = na + nb - 1;
    std::vector<double> plain(static_cast<std::size_t>(n)), fused(plain);
    convolution::plain(a.data(), na, b.data(), nb, plain.data());
    if (convolution::hasFma())
        convolution::withFma(a.data(), na, b.data(), nb, fused.data());
    const double bound = double(std::min(na, nb) + 1) * std::numeric_limits<double>::epsilon();
    for (qint64 s = 0; s < n; ++s) {
        double chain = 0.0;
        for (qint64 j = std::max<qint64>(0, s - (nb - 1)); j <= std::min<qint64>(na - 1, s); ++j)
            chain = std::fma(a[std::size_t(j)], v[std::size_t(s - j)], chain);
        QVERIFY2(std::fabs(plain[std::size_t(s)] - chain) <= bound * chain, qPrintable(QString::number(s)));
        QVERIFY2(!convolution::hasFma() || fused[std::size_t(s)] == chain, qPrintable(QString::number(s)));
    }
}

QTEST_APPLESS_MAIN(TestConvolution)
#include "test_convolution.moc"
