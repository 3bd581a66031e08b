// The genetic models engine against R (modelsreference.h, made by
// models_reference.R: the conditional odds ratios solved to 1e-14, glm at
// epsilon 1e-14, exact sums over the whole support), to 1e-6 relative; the
// same figures from the reversed block; the degenerate models and the
// refused counts; and the run function's report.
#include "chi2.h"
#include "conditionalodds.h"
#include "fishersmall.h"
#include "geneticmodels.h"
#include "modelsreference.h"
#include "modelsrun.h"
#include "normalquantile.h"
#include "testinput.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr double kRelative = 1e-6;

bool agrees(double got, double expected)
{
    if (std::isnan(expected) || std::isnan(got))
        return std::isnan(expected) && std::isnan(got);
    if (std::isinf(expected) || expected == 0.0)
        return got == expected;
    return std::fabs(got - expected) <= kRelative * std::fabs(expected);
}

ModelFigures compute(const int counts[6], double conf, bool reversed = false, int *status = nullptr)
{
    qint64 cases[3], controls[3];
    for (int g = 0; g < 3; ++g) {
        const int j = reversed ? 2 - g : g;
        cases[g] = counts[j];
        controls[g] = counts[3 + j];
    }
    ModelFigures figures;
    const int s = geneticmodels::compute(cases, controls, conf, &figures);
    if (status)
        *status = s;
    return figures;
}

// The figures in the order of the reference's values.
QList<double> oddsRatios(const ModelFigures &f)
{
    QList<double> v;
    for (const TwoByTwoModel *m : {&f.allelic, &f.dominant, &f.recessive, &f.overdominant})
        v << m->conditional.estimate << m->conditional.low << m->conditional.high;
    const LogAdditiveFigures &la = f.logAdditive;
    return v << la.perAllele.estimate << la.perAllele.low << la.perAllele.high << la.pLrt;
}

QList<double> everyFigure(const ModelFigures &f)
{
    QList<double> v;
    for (const TwoByTwoModel *m : {&f.allelic, &f.dominant, &f.recessive, &f.overdominant})
        v << m->pChi2 << m->pExact << m->pMidp << m->sample.estimate << m->sample.low << m->sample.high
          << m->conditional.estimate << m->conditional.low << m->conditional.high;
    const LogAdditiveFigures &la = f.logAdditive;
    v << la.perAllele.estimate << la.perAllele.low << la.perAllele.high << la.pLrt;
    v << f.genotypic.pChi2 << f.genotypic.pExact << f.genotypic.pMidp << f.trend.pChi2;
    const CodominantFigures &co = f.codominant;
    v << co.het.estimate << co.het.low << co.het.high << co.hom.estimate << co.hom.low << co.hom.high;
    return v << f.hweP << f.hweMidp;
}

QString describe(const ModelsReference &r)
{
    QStringList counts;
    for (int v : r.counts)
        counts << QString::number(v);
    return counts.join(u' ') + QStringLiteral(" at ") + QString::number(r.conf);
}

template <size_t N>
void compareAll(const ModelsReference (&references)[N], QList<double> (*pick)(const ModelFigures &))
{
    for (const ModelsReference &r : references) {
        int status = -1;
        const QList<double> got = pick(compute(r.counts, r.conf, false, &status));
        QCOMPARE(status, int(geneticmodels::Finished));
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(agrees(got[i], r.values[i]), qPrintable(describe(r) + QStringLiteral(": figure %1 is %2, R %3")
                                                                .arg(i)
                                                                .arg(got[i], 0, 'g', 12)
                                                                .arg(r.values[i], 0, 'g', 12)));
        // The reversed block: the same figures, unless the alleles tie and
        // the effect allele changes with the order.
        const qint64 first = 2 * (r.counts[0] + r.counts[3]) + r.counts[1] + r.counts[4];
        const qint64 second = 2 * (r.counts[2] + r.counts[5]) + r.counts[1] + r.counts[4];
        if (first == second)
            continue;
        const ModelFigures reversed = compute(r.counts, r.conf, true);
        QCOMPARE(pick(reversed).size(), got.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(agrees(pick(reversed)[i], got[i]) || std::fabs(pick(reversed)[i] - got[i]) <= 1e-12,
                     qPrintable(describe(r) + QStringLiteral(": reversed figure %1").arg(i)));
    }
}

} // namespace

class ModelsTests final : public QObject
{
    Q_OBJECT

private slots:
    void oddsRatiosAgreeWithR();
    void everyFigureAgreesWithR();
    void fisherTestWithin1e4_data();
    void fisherTestWithin1e4();
    void hugeCountsSumWhereTheMassLies_data();
    void hugeCountsSumWhereTheMassLies();
    void rootsSolveTheirEquations_data();
    void rootsSolveTheirEquations();
    void rootsToTwelveDigits_data();
    void rootsToTwelveDigits();
    void degenerateModels_data();
    void degenerateModels();
    void emptyGenotypeColumn_data();
    void emptyGenotypeColumn();
    void refusedCounts_data();
    void refusedCounts();
    void chiSquaredTails_data();
    void chiSquaredTails();
    void report();
};

void ModelsTests::oddsRatiosAgreeWithR()
{
    compareAll(kOddsRatioReferences, oddsRatios);
}

void ModelsTests::everyFigureAgreesWithR()
{
    compareAll(kPValueReferences, everyFigure);
}

// fisher.test's own figures (R 4.2.2), which stop at uniroot's default
// tolerance: within 1e-4 of ours.
void ModelsTests::fisherTestWithin1e4_data()
{
    QTest::addColumn<QList<int>>("table");
    QTest::addColumn<QList<double>>("expected");  // OR, low, high
    QTest::newRow("51 43 / 22 92") << QList<int>{51, 43, 22, 92} << QList<double>{4.918058, 2.565937, 9.677930};
    QTest::newRow("10 10 / 10 10") << QList<int>{10, 10, 10, 10} << QList<double>{1.0, 0.243858, 4.100748};
    QTest::newRow("641 1359 / 651 1349") << QList<int>{641, 1359, 651, 1349}
                                        << QList<double>{0.9773993, 0.8541246, 1.1184434};
}

void ModelsTests::fisherTestWithin1e4()
{
    QFETCH(QList<int>, table);
    QFETCH(QList<double>, expected);
    OddsRatioFigure f;
    QCOMPARE(conditionalodds::compute(table[0], table[1], table[2], table[3], 0.95, &f),
             int(conditionalodds::Finished));
    const double got[3] = {f.estimate, f.low, f.high};
    for (int i = 0; i < 3; ++i)
        QVERIFY2(std::fabs(got[i] - expected[i]) <= 1e-4 * expected[i], qPrintable(QString::number(got[i], 'g', 10)));
    if (table[0] == 51) {
        // And its P-value, 2.1565e-07.
        const int x[2] = {51, 43};
        const int c[2] = {73, 135};
        double p = 0.0;
        QCOMPARE(fishersmall::pValue(x, c, 2, &p), int(fishersmall::Finished));
        QVERIFY(std::fabs(p - 2.1565e-7) <= 1e-4 * 2.1565e-7);
    }
}

// Tables of millions of individuals: a sweep of the support per step would
// take minutes. At this size the conditional and the sample odds ratios
// agree to about 1 / n. Just below 2^25 individuals the walk's products,
// moved by sums, reach 2^48; above it they are multiplied out.
void ModelsTests::hugeCountsSumWhereTheMassLies_data()
{
    QTest::addColumn<QList<qint64>>("cells");
    QTest::newRow("2^30") << QList<qint64>{300000000, 236870912, 250000000, 286870912};
    QTest::newRow("2^25 - 1") << QList<qint64>{9000000, 7777215, 8000000, 8777216};
    // Beyond 2^31 individuals the ratios' integer products would leave 64 bits.
    QTest::newRow("8.2e9") << QList<qint64>{4000000000, 100000000, 100000000, 4000000000};
}

void ModelsTests::hugeCountsSumWhereTheMassLies()
{
    QFETCH(QList<qint64>, cells);
    const qint64 a = cells[0], b = cells[1], c = cells[2], d = cells[3];
    OddsRatioFigure f;
    QCOMPARE(conditionalodds::compute(a, b, c, d, 0.95, &f), int(conditionalodds::Finished));
    const double sample = (double(a) * double(d)) / (double(b) * double(c));
    QVERIFY2(std::fabs(f.estimate / sample - 1.0) < 1e-7, qPrintable(QString::number(f.estimate, 'g', 15)));
    QVERIFY(f.low < f.estimate && f.estimate < f.high);
    QVERIFY(std::fabs(std::log(f.high / f.estimate) - std::log(f.estimate / f.low)) < 1e-5);
}

// The estimate and limits put back into their equations, summed over the
// whole support in long doubles: at the widest level the limits' walks
// leave the tabulated ratios and divide beyond them, and the walks' runs
// of four must stop where single steps would. Halley's last step, at most
// 1e-4 in log psi, leaves an error of its cube times the curvature, which
// grows with the table; the tails' slope scales that into the probability.
void ModelsTests::rootsSolveTheirEquations_data()
{
    QTest::addColumn<QList<qint64>>("cells");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("95%") << QList<qint64>{641, 1359, 651, 1349} << 0.95 << 1e-9;
    QTest::newRow("widest") << QList<qint64>{641, 1359, 651, 1349} << conditionalodds::kMaxConfLevel << 1e-9;
    QTest::newRow("widest, 2e5") << QList<qint64>{60000, 40000, 50000, 50000} << conditionalodds::kMaxConfLevel << 1e-7;
    QTest::newRow("zero cell") << QList<qint64>{0, 40, 12, 30} << 0.95 << 1e-9;
    // The upper limits' normal-approximation starts fail here (a Newton
    // iteration that does not settle; a fitted cell beyond the margins), and
    // Woolf's start must take over.
    QTest::newRow("approximation unsettled") << QList<qint64>{1432384, 1, 1, 224} << 0.95 << 1e-9;
    QTest::newRow("approximation outside") << QList<qint64>{4513460, 1, 1, 2315} << 0.95 << 1e-9;
    // Skewed and large: the limits end on the higher-order step.
    QTest::newRow("skewed, 4e3") << QList<qint64>{1500, 500, 1700, 300} << 0.95 << 1e-10;
}

void ModelsTests::rootsSolveTheirEquations()
{
    QFETCH(QList<qint64>, cells);
    QFETCH(double, level);
    QFETCH(double, tolerance);
    const qint64 a = cells[0], m = cells[0] + cells[2], n = cells[1] + cells[3], k = cells[0] + cells[1];
    OddsRatioFigure f;
    QCOMPARE(conditionalodds::compute(cells[0], cells[1], cells[2], cells[3], level, &f), int(conditionalodds::Finished));
    // P(X >= a), P(X <= a) and E[X] at odds ratio psi.
    const auto moments = [&](double psi, long double *upper, long double *lower, long double *mean) {
        const auto logWeight = [&](qint64 v) {
            return std::lgamma((long double)(m + 1)) - std::lgamma((long double)(v + 1)) - std::lgamma((long double)(m - v + 1))
                   + std::lgamma((long double)(n + 1)) - std::lgamma((long double)(k - v + 1))
                   - std::lgamma((long double)(n - k + v + 1)) + v * std::log((long double)psi);
        };
        const qint64 lo = std::max<qint64>(0, k - n), hi = std::min(k, m);
        long double top = logWeight(lo);
        for (qint64 v = lo; v <= hi; ++v)
            top = std::max(top, logWeight(v));
        long double total = 0, up = 0, down = 0, first = 0;
        for (qint64 v = lo; v <= hi; ++v) {
            const long double w = std::exp(logWeight(v) - top);
            total += w;
            first += w * v;
            (v >= a ? up : down) += w;
            if (v == a)
                down += w;
        }
        *upper = up / total;
        *lower = down / total;
        *mean = first / total;
    };
    const long double alpha = (1.0L - level) / 2;
    long double upper, lower, mean;
    if (f.low > 0.0) {
        moments(f.low, &upper, &lower, &mean);
        QVERIFY2(std::fabs(double(upper / alpha - 1)) < tolerance, qPrintable(QString::number(double(upper / alpha - 1))));
    }
    moments(f.high, &upper, &lower, &mean);
    QVERIFY2(std::fabs(double(lower / alpha - 1)) < tolerance, qPrintable(QString::number(double(lower / alpha - 1))));
    if (f.estimate > 0.0) {
        moments(f.estimate, &upper, &lower, &mean);
        QVERIFY(std::fabs(double(mean - a)) < tolerance);
    }
}

// The roots of tables of 2,000 cases and 2,000 controls, where a limit
// often ends on the first evaluation: solved by Newton's method to 1e-25 on
// the weights' exact binomial products in 40-digit decimals (Python's
// decimal module). The estimate and limits hold 1e-12 of them.
void ModelsTests::rootsToTwelveDigits_data()
{
    QTest::addColumn<QList<qint64>>("cells");
    QTest::addColumn<QList<double>>("expected");  // OR, low, high
    QTest::newRow("500 1500 / 748 1252") << QList<qint64>{500, 1500, 748, 1252}
                                        << QList<double>{0.5580143137790512, 0.48586772002640405, 0.64054806304906831};
    QTest::newRow("57 943 / 17 983") << QList<qint64>{57, 943, 17, 983}
                                    << QList<double>{3.4931823179653194, 1.9858521136290106, 6.4544152016982164};
    QTest::newRow("1500 500 / 1700 300") << QList<qint64>{1500, 500, 1700, 300}
                                        << QList<double>{0.52949580420206854, 0.4498932039078597, 0.62248287390189272};
    QTest::newRow("584 1416 / 631 1369") << QList<qint64>{584, 1416, 631, 1369}
                                        << QList<double>{0.8948201497416991, 0.78007165096889419, 1.0263479623996186};
}

void ModelsTests::rootsToTwelveDigits()
{
    QFETCH(QList<qint64>, cells);
    QFETCH(QList<double>, expected);
    OddsRatioFigure f;
    QCOMPARE(conditionalodds::compute(cells[0], cells[1], cells[2], cells[3], 0.95, &f), int(conditionalodds::Finished));
    const double got[3] = {f.estimate, f.low, f.high};
    for (int i = 0; i < 3; ++i)
        QVERIFY2(std::fabs(got[i] / expected[i] - 1.0) <= 1e-12, qPrintable(QString::number(got[i] / expected[i] - 1.0)));
}

// Every model without figures says why; every other figure is a number.
void ModelsTests::degenerateModels_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QStringList>("reasons");  // "model: reason", in the report's order
    const QString noHom = QStringLiteral("no effect homozygotes in cases or controls");
    const QString noHet = QStringLiteral("no heterozygotes in cases or controls");
    const QString noOther = QStringLiteral("no non-effect homozygotes in cases or controls");
    const QString sameCopies = QStringLiteral("every individual carries the same number of effect alleles");
    // An empty genotype leaves the genotypic test its 2 x 2 (see
    // emptyGenotypeColumn), not a reason.
    QTest::newRow("no effect homozygotes")
        << QList<int>{51, 43, 0, 22, 92, 0} << QStringList{u"recessive: " + noHom, u"codominant 2: " + noHom};
    QTest::newRow("no heterozygotes") << QList<int>{30, 0, 4, 20, 0, 9}
                                      << QStringList{u"overdominant: " + noHet, u"codominant 1: " + noHet};
    // The minor allele's homozygotes are the ones that can be missing.
    QTest::newRow("no effect homozygotes, reversed")
        << QList<int>{0, 12, 5, 0, 20, 3} << QStringList{u"recessive: " + noHom, u"codominant 2: " + noHom};
    QTest::newRow("heterozygotes only")
        << QList<int>{0, 4, 0, 0, 6, 0}
        << QStringList{u"genotypic: " + noHom, u"trend: " + sameCopies, u"dominant: " + noOther,
                       u"recessive: " + noHom, QStringLiteral("overdominant: no homozygotes in cases or controls"),
                       u"codominant 1: " + noOther, u"codominant 2: " + noHom, u"log-additive: " + sameCopies};
    QTest::newRow("cases carry more") << QList<int>{0, 10, 5, 7, 3, 0}
                                      << QStringList{QStringLiteral(
                                             "log-additive: no case carries fewer effect alleles than a control: "
                                             "the per-allele odds ratio is infinite and has no Wald interval")};
    QTest::newRow("cases carry fewer") << QList<int>{0, 0, 9, 4, 2, 0}
                                       << QStringList{QStringLiteral(
                                              "log-additive: no case carries more effect alleles than a control: "
                                              "the per-allele odds ratio is 0 and has no Wald interval")};
}

void ModelsTests::degenerateModels()
{
    QFETCH(QList<int>, counts);
    QFETCH(QStringList, reasons);
    int status = -1;
    const ModelFigures f = compute(counts.constData(), 0.95, false, &status);
    QCOMPARE(status, int(geneticmodels::Finished));
    QStringList got;
    const auto note = [&got](const char *model, const QString &reason) {
        if (!reason.isEmpty())
            got << QString::fromLatin1(model) + QStringLiteral(": ") + reason;
    };
    note("genotypic", f.genotypic.reason);
    note("trend", f.trend.reason);
    note("dominant", f.dominant.reason);
    note("recessive", f.recessive.reason);
    note("overdominant", f.overdominant.reason);
    note("codominant 1", f.codominant.hetReason);
    note("codominant 2", f.codominant.homReason);
    note("log-additive", f.logAdditive.reason);
    QCOMPARE(got, reasons);

    // NaN exactly where a reason stands (the separated log-additive model
    // keeps its estimate and P, without an interval).
    const auto check = [](double value, bool none) { return std::isnan(value) == none; };
    const GenotypicTest &g = f.genotypic;
    const bool noGenotypic = !g.reason.isEmpty();
    QVERIFY(check(g.chi2, noGenotypic) && check(g.pChi2, noGenotypic) && check(g.pExact, noGenotypic)
            && check(g.pMidp, noGenotypic));
    QVERIFY(check(f.trend.pChi2, !f.trend.reason.isEmpty()));
    for (const TwoByTwoModel *m : {&f.allelic, &f.dominant, &f.recessive, &f.overdominant}) {
        const bool none = !m->reason.isEmpty();
        for (double v : {m->chi2, m->pChi2, m->pExact, m->pMidp, m->sample.estimate, m->sample.low, m->sample.high,
                         m->conditional.estimate, m->conditional.low, m->conditional.high})
            QVERIFY(check(v, none));
    }
    const CodominantFigures &co = f.codominant;
    for (double v : {co.het.estimate, co.het.low, co.het.high})
        QVERIFY(check(v, !co.hetReason.isEmpty()));
    for (double v : {co.hom.estimate, co.hom.low, co.hom.high})
        QVERIFY(check(v, !co.homReason.isEmpty()));
    const LogAdditiveFigures &la = f.logAdditive;
    const bool sameCopies = la.reason.startsWith(QStringLiteral("every"));
    QVERIFY(check(la.perAllele.estimate, sameCopies) && check(la.pLrt, sameCopies));
    QVERIFY(check(la.perAllele.low, !la.reason.isEmpty()) && check(la.perAllele.high, !la.reason.isEmpty()));
    for (double v : {f.hweP, f.hweMidp, f.freqCases, f.freqControls})
        QVERIFY(!std::isnan(v));
}

// The genotypic test of a table with an empty genotype column is that of
// the 2 x 2 of the other two, with 1 df. P: R 4.2.2's fisher.test on the
// 2 x 3 as it stands (FEXACT, good to about 1e-11 here); mid-p: the 2 x 2's
// whole support by dhyper, ties within 1e-7; P chi2: chisq.test(correct =
// FALSE) on the 2 x 2. All to 1e-9 relative.
void ModelsTests::emptyGenotypeColumn_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QList<double>>("expected");  // P exact, mid-p, P chi2
    QTest::newRow("rare, 2000") << QList<int>{0, 56, 944, 0, 54, 946}
                                << QList<double>{0.921920389942566, 0.8453161213338, 0.844482355873655};
    QTest::newRow("rare, 2000, P 0.77") << QList<int>{0, 57, 943, 0, 53, 947}
                                        << QList<double>{0.768711852743946, 0.696369289959559, 0.694816918643704};
    QTest::newRow("last column empty") << QList<int>{3, 40, 0, 1, 52, 0}
                                       << QList<double>{0.322191718142316, 0.223744867487869, 0.214578564923075};
    QTest::newRow("small") << QList<int>{0, 0, 10, 0, 5, 7}
                           << QList<double>{0.039644565960355, 0.024606971975393, 0.0202274537085771};
    QTest::newRow("no heterozygotes") << QList<int>{5, 0, 20, 9, 0, 11}
                                      << QList<double>{0.107057993898606, 0.0803196844036322, 0.0718515432025511};
    QTest::newRow("P 0.01") << QList<int>{0, 12, 30, 0, 3, 41}
                            << QList<double>{0.0102265834623394, 0.00686509210454131, 0.00787565831649351};
}

void ModelsTests::emptyGenotypeColumn()
{
    QFETCH(QList<int>, counts);
    QFETCH(QList<double>, expected);
    for (const bool reversed : {false, true}) {
        int status = -1;
        const GenotypicTest g = compute(counts.constData(), 0.95, reversed, &status).genotypic;
        QCOMPARE(status, int(geneticmodels::Finished));
        QVERIFY(g.reason.isEmpty() && !g.reduced.isEmpty());
        QCOMPARE(g.df, 1);
        const double got[3] = {g.pExact, g.pMidp, g.pChi2};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::fabs(got[i] - expected[i]) <= 1e-9 * expected[i],
                     qPrintable(QStringLiteral("figure %1: %2").arg(i).arg(got[i], 0, 'g', 15)));
    }
    TestInput in;
    for (int i = 0; i < 6; ++i)
        in.bufA[std::size_t(i)] = counts[i];
    in.nRows = 2;
    in.nCols = 3;
    const QString report = runModelsTest(in).message;
    QVERIFY(report.contains(QStringLiteral("<td>Genotypic, 1 df</td>")));
    QVERIFY(report.contains(QStringLiteral("<br />Genotypic, 1 df: no ")));
}

void ModelsTests::refusedCounts_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<double>("conf");
    QTest::newRow("negative") << QList<int>{5, -1, 2, 3, 4, 5} << 0.95;
    QTest::newRow("no cases") << QList<int>{0, 0, 0, 3, 4, 5} << 0.95;
    QTest::newRow("no controls") << QList<int>{1, 2, 3, 0, 0, 0} << 0.95;
    QTest::newRow("one allele") << QList<int>{7, 0, 0, 9, 0, 0} << 0.95;
    QTest::newRow("level 1") << QList<int>{5, 1, 2, 3, 4, 5} << 1.0;
    QTest::newRow("level 0") << QList<int>{5, 1, 2, 3, 4, 5} << 0.0;
    QTest::newRow("level NaN") << QList<int>{5, 1, 2, 3, 4, 5} << qQNaN();
    QTest::newRow("alleles beyond an int") << QList<int>{1, 0, 0, 0, 0, 1073741824} << 0.95;
}

void ModelsTests::refusedCounts()
{
    QFETCH(QList<int>, counts);
    QFETCH(double, conf);
    int status = -1;
    compute(counts.constData(), conf, false, &status);
    QCOMPARE(status, int(geneticmodels::BadInput));
    TestInput in;
    for (int i = 0; i < 6; ++i)
        in.bufA[std::size_t(i)] = counts[i];
    in.nRows = 2;
    in.nCols = 3;
    in.confLevel = conf;
    const ModelsRun run = runModelsTest(in);
    QCOMPARE(run.status, 2);
    QVERIFY(run.isError);
    QCOMPARE(run.message, QStringLiteral("<br />Wrong input table error=2"));
}

void ModelsTests::chiSquaredTails_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("oneDf");
    QTest::addColumn<double>("twoDf");
    // erfc(sqrt(x / 2)) and exp(-x / 2) to 20 digits (mpmath at 40 digits).
    QTest::newRow("0") << 0.0 << 1.0 << 1.0;
    // The incomplete gamma series was 4.7e-13 off here.
    QTest::newRow("2.96") << 2.9611035879820764 << 0.085289709679174591147 << 0.22751211392403109907;
    QTest::newRow("50") << 50.0 << 1.5374597944280348502e-12 << 1.3887943864964020595e-11;
    QTest::newRow("700") << 700.0 << 2.9902269751246203369e-154 << 9.9295903962649792963e-153;
}

// The closed forms to a few ulps times the tail's sensitivity to x (the
// rounding of sqrt(x / 2) moves erfc by about x half-ulps); what is not a
// finite x >= 0 with 1 or 2 df is NaN, for the general routine to report.
void ModelsTests::chiSquaredTails()
{
    QFETCH(double, x);
    QFETCH(double, oneDf);
    QFETCH(double, twoDf);
    const double ulp = std::numeric_limits<double>::epsilon();
    QVERIFY(std::fabs(chiSquaredUpperTail(x, 1) - oneDf) <= (4.0 + x) * ulp * oneDf);
    QVERIFY(std::fabs(chiSquaredUpperTail(x, 2) - twoDf) <= (4.0 + x) * ulp * twoDf);
    for (const double bad : {-x - 1.0, qQNaN(), qInf()})
        QVERIFY(std::isnan(chiSquaredUpperTail(bad, 1)) && std::isnan(chiSquaredUpperTail(x, 3)));
}

// The report names the effect allele by the block's column (or row) and is
// otherwise the same for the reversed block; "-" and "inf" stand where the
// figures are missing or infinite, with the reasons below.
void ModelsTests::report()
{
    TestInput in;
    const int counts[6] = {0, 10, 5, 7, 3, 0};
    for (int i = 0; i < 6; ++i)
        in.bufA[std::size_t(i)] = counts[i];
    in.nRows = 2;
    in.nCols = 3;
    in.leftCol = 1;
    in.topRow = 1;
    const ModelsRun run = runModelsTest(in);
    QCOMPARE(run.status, 0);
    QVERIFY(run.message.startsWith(QStringLiteral(
        "<br />Genetic models, 95% confidence level<br />Effect allele: the one homozygous in column 3 of the "
        "block (D)<table")));
    QVERIFY(run.message.contains(QStringLiteral("<td>Log-additive</td><td>9.521e-06</td><td></td><td></td>"
                                                "<td>inf</td>")));
    QVERIFY(run.message.contains(QStringLiteral("<td>Dominant</td><td>0.0001341</td><td>0.0002496</td><td>0.0001248</td>"
                                                "<td>66.43 (3.026, 1458)*</td><td>inf (4.013, inf)</td>")));
    QVERIFY(run.message.contains(QStringLiteral("<br />* a zero count: 0.5 added to every cell")));
    QVERIFY(!run.message.contains(
        QRegularExpression(QStringLiteral("\\bnan\\b"), QRegularExpression::CaseInsensitiveOption)));

    TestInput reversed = in;
    TestInput rows = in;
    for (int g = 0; g < 3; ++g) {
        reversed.bufA[std::size_t(g)] = counts[2 - g];
        reversed.bufA[std::size_t(3 + g)] = counts[5 - g];
    }
    rows.nRows = 3;
    rows.nCols = 2;
    rows.confLevel = 0.9;
    const QString head = QStringLiteral("homozygous in column 3 of the block (D)");
    QCOMPARE(runModelsTest(reversed).message,
             QString(run.message).replace(head, QStringLiteral("homozygous in column 1 of the block (B)")));
    QVERIFY(runModelsTest(rows).message.startsWith(QStringLiteral(
        "<br />Genetic models, 90% confidence level<br />Effect allele: the one homozygous in row 3 of the block "
        "(row 4)<table")));

    GenotypeCounts fromFile;
    for (int g = 0; g < 3; ++g) {
        fromFile.cases[g] = counts[g];
        fromFile.controls[g] = counts[3 + g];
    }
    const ModelsRun named = runModelsTest(fromFile, 0.95, {QStringLiteral("A/A"), QStringLiteral("A/G"),
                                                          QStringLiteral("G/<G>")});
    QVERIFY(named.message.contains(QStringLiteral("homozygous in G/&lt;G&gt;<table")));
    QVERIFY(runModelsTest(fromFile, 0.95, {}, ReportText::FiguresOnly).message.isEmpty());
    QCOMPARE(runModelsTest(fromFile, 0.95).figures.logAdditive.pLrt, run.figures.logAdditive.pLrt);
}

QTEST_GUILESS_MAIN(ModelsTests)
#include "test_models.moc"
