// The 2 x 2 x K engine: the exact conditional estimate, interval and P
// against exact_reference.tsv (R: mantelhaen.test(exact = TRUE)'s P, its
// estimate and limits solved by uniroot(tol = 1e-14) over the whole
// support), to 1e-6 relative; Mantel-Haenszel, CMH and Breslow-Day with
// Tarone against mantelhaen.test and metafor's rma.mh; the refusals and
// the degenerate strata.
#include "conditionalodds.h"
#include "exactstrata.h"
#include "mantelhaenszel.h"
#include "stratatests.h"

#include <QFile>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kRelative = 1e-6;
constexpr double kInf = std::numeric_limits<double>::infinity();

bool agrees(double got, double expected, double relative = kRelative)
{
    if (std::isnan(expected) || std::isnan(got))
        return std::isnan(expected) && std::isnan(got);
    if (std::isinf(expected) || expected == 0.0)
        return got == expected;
    // P-values beyond the double range's normal numbers agree as such.
    if (expected < 1e-290)
        return got < 1e-290;
    return std::fabs(got - expected) <= relative * std::fabs(expected);
}

struct ExactCase
{
    std::vector<StratumTable> tables;
    double conf = 0.95;
    double expected[4] = {0, 0, 0, 0};  // estimate, low, high, P
};

// A reference file's lines: K, level, the K tables, then `values` figures
// (NA: none).
std::vector<ExactCase> readReferences(const char *name, int values, std::vector<std::vector<double>> *all = nullptr)
{
    std::vector<ExactCase> cases;
    QFile file(QString::fromLatin1(VELMORA_STRATA_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return cases;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        ExactCase c;
        const int k = fields.at(0).toInt();
        c.conf = fields.at(1).toDouble();
        for (int i = 0; i < k; ++i)
            c.tables.push_back({fields.at(2 + 4 * i).toLongLong(), fields.at(3 + 4 * i).toLongLong(),
                                fields.at(4 + 4 * i).toLongLong(), fields.at(5 + 4 * i).toLongLong()});
        std::vector<double> figures;
        for (int j = 0; j < values; ++j) {
            const QByteArray v = fields.at(2 + 4 * k + j);
            figures.push_back(v == "Inf" ? kInf : v == "NA" ? qQNaN() : v.toDouble());
            if (j < 4)
                c.expected[j] = figures.back();
        }
        if (all)
            all->push_back(figures);
        cases.push_back(c);
    }
    return cases;
}

} // namespace

class TestExactStrata : public QObject
{
    Q_OBJECT

private slots:
    void exactAgainstR();
    void mantelHaenszelAgainstR();
    void oneStratumIsTheTwoByTwo();
    void refusedAndDegenerate_data();
    void refusedAndDegenerate();
};

void TestExactStrata::exactAgainstR()
{
    const std::vector<ExactCase> cases = readReferences("exact_reference.tsv", 4);
    QVERIFY(cases.size() >= 200);
    exactstrata::Workspace work;  // one for all, as a batch keeps it
    double worst = 0.0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ExactCase &c = cases[i];
        ExactStrataFigures f;
        const int status = exactstrata::compute(c.tables.data(), int(c.tables.size()), c.conf, work, &f);
        QVERIFY2(status == exactstrata::Finished, qPrintable(QStringLiteral("case %1").arg(i)));
        const double got[4] = {f.oddsRatio.estimate, f.oddsRatio.low, f.oddsRatio.high, f.p};
        if (f.informative == 0) {
            // No stratum informs: R's sums see one table; here nothing is claimed.
            for (double v : got)
                QVERIFY(std::isnan(v));
            continue;
        }
        for (int j = 0; j < 4; ++j) {
            if (std::isfinite(c.expected[j]) && c.expected[j] > 1e-290)
                worst = std::max(worst, std::fabs(got[j] - c.expected[j]) / c.expected[j]);
            QVERIFY2(agrees(got[j], c.expected[j]),
                     qPrintable(QStringLiteral("case %1 figure %2: %3 vs %4")
                                    .arg(i)
                                    .arg(j)
                                    .arg(got[j], 0, 'g', 17)
                                    .arg(c.expected[j], 0, 'g', 17)));
        }
    }
    qInfo("worst relative difference: %g", worst);
}

void TestExactStrata::mantelHaenszelAgainstR()
{
    std::vector<std::vector<double>> expected;
    const std::vector<ExactCase> cases = readReferences("mh_reference.tsv", 11, &expected);
    QVERIFY(cases.size() >= 150);
    exactstrata::Workspace work;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ExactCase &c = cases[i];
        StrataFigures f;
        QCOMPARE(stratatests::compute(c.tables.data(), int(c.tables.size()), c.conf, work, &f, 0),
                 int(stratatests::Finished));
        const double got[11] = {f.mh.oddsRatio.estimate, f.mh.oddsRatio.low, f.mh.oddsRatio.high, f.mh.cmh,
                                f.mh.pCmh, f.mh.cmhCorrected, f.mh.pCmhCorrected, f.breslowDay.chi2,
                                f.breslowDay.p, f.breslowDay.tarone, f.breslowDay.pTarone};
        for (int j = 0; j < 11; ++j)
            QVERIFY2(agrees(got[j], expected[i][std::size_t(j)]),
                     qPrintable(QStringLiteral("case %1 figure %2: %3 vs %4")
                                    .arg(i)
                                    .arg(j)
                                    .arg(got[j], 0, 'g', 17)
                                    .arg(expected[i][std::size_t(j)], 0, 'g', 17)));
    }
}

// With one stratum the exact analysis is the 2 x 2 table's (the models'
// own engine, built independently).
void TestExactStrata::oneStratumIsTheTwoByTwo()
{
    const StratumTable tables[] = {{3, 7, 1, 19}, {0, 5, 4, 3}, {12, 0, 3, 9}, {40, 60, 55, 45},
                                   {1, 1, 1, 1},  {250, 750, 180, 820}, {2, 998, 0, 1000}};
    exactstrata::Workspace work;
    for (const StratumTable &t : tables) {
        ExactStrataFigures f;
        QCOMPARE(exactstrata::compute(&t, 1, 0.95, work, &f), int(exactstrata::Finished));
        OddsRatioFigure r;
        QCOMPARE(conditionalodds::compute(t.a, t.b, t.c, t.d, 0.95, &r), int(conditionalodds::Finished));
        QVERIFY(agrees(f.oddsRatio.estimate, r.estimate, 1e-9));
        QVERIFY(agrees(f.oddsRatio.low, r.low, 1e-9));
        QVERIFY(agrees(f.oddsRatio.high, r.high, 1e-9));
    }
}

void TestExactStrata::refusedAndDegenerate_data()
{
    QTest::addColumn<QList<qint64>>("counts");
    QTest::addColumn<double>("conf");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("informative");
    QTest::newRow("no strata") << QList<qint64>{} << 0.95 << int(exactstrata::BadInput) << 0;
    QTest::newRow("negative") << QList<qint64>{1, 2, -1, 4} << 0.95 << int(exactstrata::BadInput) << 0;
    QTest::newRow("level 1") << QList<qint64>{1, 2, 3, 4} << 1.0 << int(exactstrata::BadInput) << 0;
    QTest::newRow("level 0") << QList<qint64>{1, 2, 3, 4} << 0.0 << int(exactstrata::BadInput) << 0;
    QTest::newRow("beyond 2^31") << QList<qint64>{qint64(1) << 31, 2, 3, 4} << 0.95 << int(exactstrata::BadInput)
                                 << 0;
    QTest::newRow("no stratum informs") << QList<qint64>{0, 5, 0, 7, 3, 0, 4, 0} << 0.95
                                        << int(exactstrata::Finished) << 0;
    QTest::newRow("empty strata beside one") << QList<qint64>{0, 0, 0, 0, 2, 3, 4, 5, 0, 9, 0, 1} << 0.95
                                             << int(exactstrata::Finished) << 1;
}

// Refusals name no figure; strata with an empty margin are conditioned
// away, and with none left every figure is NaN (null), never a number.
void TestExactStrata::refusedAndDegenerate()
{
    QFETCH(QList<qint64>, counts);
    QFETCH(double, conf);
    QFETCH(int, status);
    QFETCH(int, informative);
    std::vector<StratumTable> tables;
    for (int i = 0; i + 3 < counts.size(); i += 4)
        tables.push_back({counts[i], counts[i + 1], counts[i + 2], counts[i + 3]});
    exactstrata::Workspace work;
    StrataFigures f;
    f.exact.p = -1.0;
    QCOMPARE(stratatests::compute(tables.data(), int(tables.size()), conf, work, &f), status);
    if (status != exactstrata::Finished) {
        QCOMPARE(f.exact.p, -1.0);
        return;
    }
    QCOMPARE(f.informative, informative);
    QCOMPARE(f.exact.informative, informative);
    const bool none = informative == 0;
    for (double v : {f.exact.oddsRatio.estimate, f.exact.oddsRatio.low, f.exact.oddsRatio.high, f.exact.p,
                     f.mh.oddsRatio.estimate, f.mh.cmh})
        QCOMPARE(std::isnan(v), none);
    // Breslow-Day needs two strata.
    QVERIFY(std::isnan(f.breslowDay.chi2));
}

QTEST_GUILESS_MAIN(TestExactStrata)
#include "test_exactstrata.moc"
