// The two-locus estimate: the cubic's roots, their log-likelihoods, D, D',
// r2, LOD and the likelihood bounds of D' against exact brute force
// (twolocus_reference.py: a scan of the whole range in rational arithmetic,
// logarithms to 40 digits, the likelihood over the grid as exact
// fractions), and r2, D' and every listed root against PLINK 1.9 on 200
// pairs of simulated samples (plink_reference.py), to its printed digits.
#include "twolocus.h"

#include <QFile>
#include <QtTest>

#include <cmath>

namespace {

struct ExactRoot
{
    double f11;
    double loglik;
};

struct ExactCase
{
    const char *name;
    qint64 counts[9];
    std::vector<ExactRoot> roots;   // the maximum first
    double d, dprime, r2, lod;
    double low, high;
};

// twolocus_reference.py's output.
const std::vector<ExactCase> kExact = {
    {"no double heterozygotes",
     {10, 5, 2, 4, 0, 3, 1, 2, 8},
     {{0.4142857142857142857142, -79.64964402292157404319}},
     0.10469387755102041, 0.47809878844361603, 0.18127470692651518, 2.8398009069590724635159, 0.26, 0.65},
    {"no double heterozygotes, D < 0",
     {1, 4, 9, 3, 0, 6, 7, 2, 1},
     {{0.1363636363636363636363, -74.07306625031039642467}},
     -0.10146923783287419, -0.42664092664092662, 0.17112095242766748, 2.5096183478336792045246, -0.60, -0.22},
    {"all double heterozygotes",
     {0, 0, 0, 0, 20, 0, 0, 0, 0},
     {{0, -13.86294361119890618834}, {0.5, -13.86294361119890618834}, {0.25, -27.72588722239781237668}},
     -0.25, -1, 1, 6.0205999132796239042747, -1.00, -0.85},
    {"D' = -1, no 22 haplotype",
     {9, 6, 1, 6, 4, 0, 1, 0, 0},
     {{0.5555555555555555555555, -42.64110258073502305597}},
     -0.049382716049382713, -1, 0.081632653061224483, 0.3058402959506088107697, -0.97, -0.07},
    {"D' = 1, no 12 haplotype",
     {9, 0, 0, 6, 4, 0, 1, 6, 1},
     {{0.5185185185185185185185, -44.24737492853635756749}},
     0.11522633744855967, 1, 0.30769230769230771, 3.4251583033266204352372, 0.57, 1.00},
    {"D' = -1, no 11 haplotype",
     {0, 0, 5, 0, 10, 5, 5, 5, 5},
     {{0, -62.67328661776636572150}},
     -0.12755102040816327, -1, 0.30864197530864196, 3.3780365178568589581240, -1.00, -0.59},
    {"three roots",
     {2, 1, 6, 0, 34, 1, 1, 7, 8},
     {{0.2967244426663843270502, -107.1414832918903831723}, {0.0891681740588109924563, -109.8494486821693734229}, {0.1391073832748046804934, -109.9884596781474565409}},
     0.12005777599971766, 0.53757213134201942, 0.24354609255981496, 1.1320824018292544381545, 0.17, 0.69},
    {"three roots, a tie",
     {3, 1, 0, 1, 20, 2, 3, 1, 0},
     {{0.1497129373051395628310, -52.25403434923467370333}, {0.4309322239851830178140, -52.25403434923467370333}, {0.2903225806451612903225, -53.94864216933625345083}},
     -0.14060964334002174, -0.67059983746779595, 0.3247863247863248, 0.7359588252602145543769, -0.84, -0.12},
    {"boundary root and a maximum",
     {0, 0, 0, 0, 10, 5, 0, 5, 20},
     {{0.1186197351035224856749, -51.45885654911090584219}, {0, -59.85653085823801788241}},
     0.083463485103522486, 0.54786287657696808, 0.30015373153119018, 2.1537264692199978736855, 0.27, 0.72},
    {"weak LD",
     {3, 5, 2, 5, 9, 6, 3, 8, 4},
     {{0.2348627198547085925315, -94.94051379017777328933}},
     0.017578769237424643, 0.077384799360401962, 0.0050084859984415395, 0.0585727403933854437120, 0.01, 0.33},
    {"large table",
     {812, 650, 131, 601, 902, 210, 118, 230, 99},
     {{0.4682829963315022291632, -7229.262202757749976093}},
     0.047077088688844707, 0.21003010629014621, 0.042716216535560875, 33.156112480731116383477, 0.18, 0.24},
};

twolocus::Counts countsOf(const qint64 *nine)
{
    twolocus::Counts c;
    for (int i = 0; i < 9; ++i)
        c.n[i / 3][i % 3] = nine[i];
    return c;
}

// Whether `value` shows as `printed` where that has `digits` significant
// digits (%g) or, with decimals > 0, that many decimals (%f); a hair of
// slack for values on a rounding boundary.
bool printedAs(double value, const QByteArray &printed, int digits, int decimals = 0)
{
    const double shown = printed.toDouble();
    double half = 0;
    if (decimals > 0)
        half = 0.5 * std::pow(10.0, -decimals);
    else if (shown != 0)
        half = 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(shown))) - (digits - 1));
    else
        half = 1e-12;
    return std::fabs(value - shown) <= half * (1 + 1e-9) + 1e-15;
}

} // namespace

class TestTwoLocus final : public QObject
{
    Q_OBJECT

private slots:
    void exactReferences_data();
    void exactReferences();
    void plinkPairs_data();
    void plinkPairs();
    void refusals_data();
    void refusals();
    void phased_data();
    void phased();
};

void TestTwoLocus::exactReferences_data()
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < kExact.size(); ++i)
        QTest::newRow(kExact[i].name) << int(i);
}

void TestTwoLocus::exactReferences()
{
    QFETCH(int, index);
    const ExactCase &e = kExact[std::size_t(index)];
    twolocus::Figures f;
    QCOMPARE(twolocus::estimate(countsOf(e.counts), &f), twolocus::Status::Ok);
    QCOMPARE(f.roots.size(), e.roots.size());
    for (std::size_t r = 0; r < e.roots.size(); ++r) {
        QVERIFY2(std::fabs(f.roots[r].haplotypes[0] - e.roots[r].f11) <= 1e-14,
                 qPrintable(QStringLiteral("root %1: %2").arg(r).arg(f.roots[r].haplotypes[0], 0, 'g', 17)));
        QVERIFY2(std::fabs(f.roots[r].loglik - e.roots[r].loglik) <= 1e-12 * std::fabs(e.roots[r].loglik),
                 qPrintable(QStringLiteral("loglik %1: %2").arg(r).arg(f.roots[r].loglik, 0, 'g', 17)));
        double sum = 0;
        for (const double h : f.roots[r].haplotypes)
            sum += h;
        QVERIFY(std::fabs(sum - 1) <= 1e-15);
    }
    QCOMPARE(f.haplotypes[0], f.roots.front().haplotypes[0]);
    QVERIFY(std::fabs(f.d - e.d) <= 1e-15);
    QVERIFY(std::fabs(f.dprime - e.dprime) <= 1e-14);
    QVERIFY(std::fabs(f.r2 - e.r2) <= 1e-14);
    QVERIFY2(std::fabs(f.lod - e.lod) <= 1e-11 * std::max(1.0, e.lod), qPrintable(QString::number(f.lod, 'g', 17)));
    QCOMPARE(f.dprimeLow, e.low);
    QCOMPARE(f.dprimeHigh, e.high);
    QVERIFY(f.r2 <= 1.0 && std::fabs(f.dprime) <= 1.0);
}

void TestTwoLocus::plinkPairs_data()
{
    QTest::addColumn<QByteArray>("line");
    QFile file(QStringLiteral(VELMORA_LD_DATA "/plink_pairs.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    int number = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++number;
        if (!line.isEmpty() && !line.startsWith('#'))
            QTest::addRow("line %d", number) << line;
    }
}

void TestTwoLocus::plinkPairs()
{
    QFETCH(QByteArray, line);
    const QList<QByteArray> parts = line.split('|');
    QCOMPARE(parts.size(), 3);
    const QList<QByteArray> counts = parts[0].simplified().split(' ');
    const QList<QByteArray> figures = parts[1].simplified().split(' ');
    QCOMPARE(counts.size(), 9);
    qint64 nine[9];
    for (int i = 0; i < 9; ++i)
        nine[i] = counts[i].toLongLong();
    twolocus::Figures f;
    QCOMPARE(twolocus::estimate(countsOf(nine), &f), twolocus::Status::Ok);
    QVERIFY2(printedAs(f.r2, figures[0], 6), qPrintable(QString::number(f.r2, 'g', 17)));
    QVERIFY2(printedAs(f.dprime, figures[1], 6), qPrintable(QString::number(f.dprime, 'g', 17)));
    // PLINK lists the solutions by ascending f11; each of ours is one of
    // them, and there are as many.
    const QList<QByteArray> solutions = parts[2].split(';');
    QCOMPARE(f.roots.size(), std::size_t(solutions.size()));
    for (const QByteArray &solution : solutions) {
        const QList<QByteArray> freqs = solution.simplified().split(' ');
        QCOMPARE(freqs.size(), 4);
        bool found = false;
        for (const twolocus::Root &root : f.roots) {
            bool same = true;
            for (int h = 0; h < 4; ++h)
                same = same && printedAs(root.haplotypes[h], freqs[h], 0, 6);
            found = found || same;
        }
        QVERIFY2(found, solution.constData());
    }
}

void TestTwoLocus::refusals_data()
{
    QTest::addColumn<QString>("counts");
    QTest::addColumn<int>("status");
    QTest::newRow("nobody typed at both") << QStringLiteral("0 0 0 0 0 0 0 0 0") << int(twolocus::Status::NoIndividuals);
    QTest::newRow("A monomorphic") << QStringLiteral("4 5 6 0 0 0 0 0 0") << int(twolocus::Status::MonomorphicA);
    QTest::newRow("A all ALT") << QStringLiteral("0 0 0 0 0 0 3 2 1") << int(twolocus::Status::MonomorphicA);
    QTest::newRow("B monomorphic") << QStringLiteral("0 0 3 0 0 4 0 0 5") << int(twolocus::Status::MonomorphicB);
    QTest::newRow("negative") << QStringLiteral("4 5 6 1 -1 0 0 0 0") << int(twolocus::Status::TooLarge);
    QTest::newRow("too many") << QStringLiteral("4 5 6 1 2147483648 0 0 0 0") << int(twolocus::Status::TooLarge);
    // The largest table taken: 2^31 individuals, all estimates in range.
    QTest::newRow("largest") << QStringLiteral("400000000 300000000 47483648 200000000 500000000 100000000 "
                                               "100000000 300000000 200000000")
                             << int(twolocus::Status::Ok);
}

void TestTwoLocus::refusals()
{
    QFETCH(QString, counts);
    QFETCH(int, status);
    const QStringList parts = counts.split(u' ');
    qint64 nine[9];
    for (int i = 0; i < 9; ++i)
        nine[i] = parts.at(i).toLongLong();
    twolocus::Figures f;
    QCOMPARE(int(twolocus::estimate(countsOf(nine), &f)), status);
    if (status == int(twolocus::Status::Ok)) {
        QVERIFY(f.r2 >= 0 && f.r2 <= 1 && std::fabs(f.dprime) <= 1 && f.dprimeLow <= f.dprimeHigh);
        QVERIFY(!f.roots.empty() && std::isfinite(f.roots.front().loglik));
    }
}

void TestTwoLocus::phased_data()
{
    QTest::addColumn<QString>("haplotypes");   // 11 12 21 22
    QTest::addColumn<double>("r2");
    QTest::newRow("complete LD") << QStringLiteral("30 0 0 10") << 1.0;
    QTest::newRow("equilibrium") << QStringLiteral("12 4 6 2") << 0.0;
    // (40*25 - 15*20)^2 / (55 * 45 * 60 * 40)
    QTest::newRow("partial") << QStringLiteral("40 15 20 25") << 490000.0 / 5940000.0;
    QTest::newRow("one allele at A") << QStringLiteral("10 5 0 0") << qQNaN();
}

void TestTwoLocus::phased()
{
    QFETCH(QString, haplotypes);
    QFETCH(double, r2);
    const QStringList parts = haplotypes.split(u' ');
    const qint64 h[4] = {parts[0].toLongLong(), parts[1].toLongLong(), parts[2].toLongLong(), parts[3].toLongLong()};
    const double got = twolocus::phasedR2(h);
    if (std::isnan(r2))
        QVERIFY(std::isnan(got));
    else
        QVERIFY2(std::fabs(got - r2) <= 1e-15, qPrintable(QString::number(got, 'g', 17)));
}

QTEST_GUILESS_MAIN(TestTwoLocus)
#include "test_twolocus.moc"
