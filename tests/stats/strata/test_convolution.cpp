// The strata's convolutions, both paths, against sums in long double over
// the same products: log-concave weights like the strata's (a peak of 1,
// tails down to e^-72) and lengths on each side of the paths' blocks of
// 32, 16 and 4. Each sum has at most min(na, nb) positive terms, so either
// path is within about that many half-units in the last place of it.
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

namespace {

// A stratum-like window: e^(-(i - peak)^2 / (2 sd^2)) from e^-72 up to 1.
std::vector<double> weights(qint64 n, double sd)
{
    std::vector<double> w(static_cast<std::size_t>(n));
    const double peak = 0.4 * double(n);
    for (qint64 i = 0; i < n; ++i)
        w[std::size_t(i)] = std::exp(std::max(-72.0, -(double(i) - peak) * (double(i) - peak) / (2.0 * sd * sd)));
    return w;
}

} // namespace

void TestConvolution::bothPaths_data()
{
    QTest::addColumn<qint64>("na");
    QTest::addColumn<qint64>("nb");
    QTest::addRow("a point and a stratum") << qint64(1) << qint64(131);
    QTest::addRow("one term each") << qint64(1) << qint64(1);
    QTest::addRow("below every block") << qint64(2) << qint64(2);
    QTest::addRow("one block of 4 and 3 left") << qint64(3) << qint64(5);
    QTest::addRow("blocks of 16 and one left") << qint64(9) << qint64(25);
    QTest::addRow("exactly 32") << qint64(16) << qint64(17);
    QTest::addRow("two strata") << qint64(130) << qint64(141);
    QTest::addRow("the longer first") << qint64(190) << qint64(37);
    QTest::addRow("two halves") << qint64(191) << qint64(190);
}

void TestConvolution::bothPaths()
{
    QFETCH(qint64, na);
    QFETCH(qint64, nb);
    const std::vector<double> a = weights(na, 0.09 * double(na) + 0.5);
    std::vector<double> b(std::size_t(convolution::kPad), 0.0);
    const std::vector<double> bw = weights(nb, 0.085 * double(nb) + 0.5);
    b.insert(b.end(), bw.begin(), bw.end());
    b.insert(b.end(), std::size_t(convolution::kPad), 0.0);
    const qint64 n = na + nb - 1;
    std::vector<long double> exact(std::size_t(n), 0.0L);
    for (qint64 i = 0; i < na; ++i)
        for (qint64 j = 0; j < nb; ++j)
            exact[std::size_t(i + j)] += (long double)a[std::size_t(i)] * (long double)bw[std::size_t(j)];
    const double bound = double(std::min(na, nb) + 1) * std::numeric_limits<double>::epsilon();
    const auto check = [&](const std::vector<double> &got, const char *path) {
        for (qint64 s = 0; s < n; ++s) {
            const long double want = exact[std::size_t(s)];
            QVERIFY2(std::fabs(double((got[std::size_t(s)] - want) / want)) <= bound,
                     qPrintable(QStringLiteral("%1 path, s = %2").arg(QLatin1String(path)).arg(s)));
        }
    };
    std::vector<double> plain(std::size_t(n), -1.0);
    convolution::plain(a.data(), na, b.data(), nb, plain.data());
    check(plain, "plain");
    if (!convolution::hasFma())
        QSKIP("no FMA on this processor: the plain path alone is checked");
    std::vector<double> fused(std::size_t(n), -1.0);
    convolution::withFma(a.data(), na, b.data(), nb, fused.data());
    check(fused, "FMA");
    // The scalar ends of the FMA path are fused too: the same bits as a
    // single chain of std::fma.
    for (qint64 s = 0; s < n; ++s) {
        double chain = 0.0;
        for (qint64 j = std::max<qint64>(0, s - (nb - 1)); j <= std::min<qint64>(na - 1, s); ++j)
            chain = std::fma(a[std::size_t(j)], bw[std::size_t(s - j)], chain);
        QCOMPARE(fused[std::size_t(s)], chain);
    }
}

QTEST_APPLESS_MAIN(TestConvolution)
#include "test_convolution.moc"
