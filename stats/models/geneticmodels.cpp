#include "geneticmodels.h"

#include "centralratios.h"
#include "chi2.h"
#include "conditionalodds.h"
#include "fishersmall.h"
#include "hwtwoallele.h"
#include "logadditive.h"
#include "normalquantile.h"
#include "runreport.h"

#include <QCoreApplication>

#include <climits>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// A failure inside one model ends the run with its text.
struct Failure
{
    int status = geneticmodels::Finished;
    QString text;
};

// Pearson's statistic of a 2 x 2 table, N (ad - bc)^2 / (r1 r2 c1 c2); the
// products of 32-bit counts are exact in long double.
double chi2TwoByTwo(qint64 a, qint64 b, qint64 c, qint64 d)
{
    const long double cross = static_cast<long double>(a) * d - static_cast<long double>(b) * c;
    const long double n = static_cast<long double>(a + b + c + d);
    const long double margins = static_cast<long double>(a + b) * (c + d) * static_cast<long double>(a + c) * (b + d);
    return double(n * cross * cross / margins);
}

// The upper chi-squared tail, or a failure naming the model.
double chi2Tail(double x2, int df, const char *model, Failure &failure)
{
    QString error;
    const double p = chi2PValue(x2, df, &error);
    if (!error.isEmpty() && failure.status == geneticmodels::Finished) {
        failure.status = geneticmodels::NoConvergence;
        failure.text = tr("%1: %2").arg(tr(model), error);
    }
    return reportedProbability(p);
}

// The cross-product ratio with Woolf's interval; 0.5 is added to every
// cell when one is empty.
void woolf(qint64 a, qint64 b, qint64 c, qint64 d, double z, OddsRatioFigure *figure, bool *corrected)
{
    *corrected = a == 0 || b == 0 || c == 0 || d == 0;
    const double half = *corrected ? 0.5 : 0.0;
    const double A = double(a) + half, B = double(b) + half, C = double(c) + half, D = double(d) + half;
    const double logOr = std::log(A) + std::log(D) - std::log(B) - std::log(C);
    const double se = std::sqrt(1.0 / A + 1.0 / B + 1.0 / C + 1.0 / D);
    // The ratio itself from the products, exact where they are: a ratio
    // such as 0.96875 must not print as 0.9687.
    figure->estimate = (A * D) / (B * C);
    figure->low = std::exp(logOr - z * se);
    figure->high = std::exp(logOr + z * se);
}

// The reason a comparison has no figures: a group of individuals that no
// case and no control falls into. The names stay untranslated until a
// reason needs them: most tables need none.
QString noneOf(const char *group)
{
    return tr("no %1 in cases or controls").arg(tr(group));
}

const char *groupName(int genotype)
{
    switch (genotype) {
    case 0:
        return QT_TRANSLATE_NOOP("MainWindow", "non-effect homozygotes");
    case 1:
        return QT_TRANSLATE_NOOP("MainWindow", "heterozygotes");
    default:
        return QT_TRANSLATE_NOOP("MainWindow", "effect homozygotes");
    }
}

// One 2 x 2 model: exposed against unexposed.
void twoByTwo(TwoByTwoModel &model, const char *name, const qint64 cases[2], const qint64 controls[2],
              const char *exposedGroup, const char *unexposedGroup, double confLevel, double z, Failure &failure)
{
    for (int j = 0; j < 2; ++j) {
        model.cases[j] = cases[j];
        model.controls[j] = controls[j];
    }
    const qint64 a = cases[0], b = cases[1], c = controls[0], d = controls[1];
    if (a + c == 0 || b + d == 0) {
        model.reason = noneOf(a + c == 0 ? exposedGroup : unexposedGroup);
        return;
    }
    model.chi2 = chi2TwoByTwo(a, b, c, d);
    model.pChi2 = chi2Tail(model.chi2, 1, name, failure);
    // One table of the family's ratios for the exact P, its mid-p and the
    // conditional estimate with its limits.
    const centralratios ratios(a, b, c, d);
    double p = 0.0, midp = 0.0;
    const int status = fishersmall::pValue(ratios, &p, &midp);
    if (status != fishersmall::Finished) {
        failure.status = geneticmodels::Stopped;
        return;
    }
    model.pExact = reportedProbability(p);
    model.pMidp = reportedProbability(midp);
    woolf(a, b, c, d, z, &model.sample, &model.sampleCorrected);
    if (conditionalodds::compute(ratios, confLevel, &model.conditional) != conditionalodds::Finished
        && failure.status == geneticmodels::Finished) {
        failure.status = geneticmodels::NoConvergence;
        failure.text = tr("%1: the conditional odds ratio did not converge").arg(tr(name));
    }
}

} // namespace

bool geneticmodels::valid(const qint64 cases[3], const qint64 controls[3], double confLevel)
{
    if (!cases || !controls || !(confLevel > 0.0 && confLevel <= conditionalodds::kMaxConfLevel))
        return false;
    qint64 caseTotal = 0, controlTotal = 0;
    for (int g = 0; g < 3; ++g) {
        if (cases[g] < 0 || controls[g] < 0 || cases[g] > INT_MAX || controls[g] > INT_MAX)
            return false;
        caseTotal += cases[g];
        controlTotal += controls[g];
    }
    const qint64 first = 2 * (cases[0] + controls[0]) + cases[1] + controls[1];
    const qint64 second = 2 * (cases[2] + controls[2]) + cases[1] + controls[1];
    return caseTotal > 0 && controlTotal > 0 && first > 0 && second > 0 && first + second <= INT_MAX;
}

int geneticmodels::effectGenotype(const qint64 cases[3], const qint64 controls[3])
{
    const qint64 first = 2 * (cases[0] + controls[0]) + cases[1] + controls[1];
    const qint64 second = 2 * (cases[2] + controls[2]) + cases[1] + controls[1];
    return first < second ? 0 : 2;
}

int geneticmodels::compute(const qint64 blockCases[3], const qint64 blockControls[3], double confLevel,
                           ModelFigures *out, QString *error)
{
    if (!out || !valid(blockCases, blockControls, confLevel))
        return BadInput;
    ModelFigures f;
    f.confLevel = confLevel;
    f.effectGenotype = effectGenotype(blockCases, blockControls);
    qint64 caseTotal = 0, controlTotal = 0;
    for (int g = 0; g < 3; ++g) {
        const int j = f.effectGenotype == 2 ? g : 2 - g;
        f.cases[g] = blockCases[j];
        f.controls[g] = blockControls[j];
        caseTotal += f.cases[g];
        controlTotal += f.controls[g];
    }
    const qint64 *cs = f.cases;
    const qint64 *us = f.controls;
    for (int g = 0; g < 3; ++g) {
        f.casePercent[g] = 100.0 * double(cs[g]) / double(caseTotal);
        f.controlPercent[g] = 100.0 * double(us[g]) / double(controlTotal);
    }
    f.freqCases = double(2 * cs[2] + cs[1]) / double(2 * caseTotal);
    f.freqControls = double(2 * us[2] + us[1]) / double(2 * controlTotal);
    const double z = normalUpperQuantile((1.0 - confLevel) / 2.0);
    if (!std::isfinite(z)) {
        if (error)
            *error = tr("the normal quantile of the level did not converge");
        return NoConvergence;
    }
    Failure failure;

    if (hwtwoallele::pValue(us[0], us[1], us[2], &f.hweP, &f.hweMidp) != hwtwoallele::Finished)
        return Stopped;
    f.hweP = reportedProbability(f.hweP);
    f.hweMidp = reportedProbability(f.hweMidp);

    // Genotypic: the whole 2 x 3 table. An empty genotype column adds
    // nothing to either the statistic or the family of tables, so the test
    // is that of the 2 x 2 of the other two columns, with 1 df.
    const qint64 total = caseTotal + controlTotal;
    int present[3] = {0, 0, 0};
    int columns = 0;
    int emptyGenotype = -1;
    for (int g = 0; g < 3; ++g) {
        if (cs[g] + us[g] == 0)
            emptyGenotype = g;
        else
            present[columns++] = g;
    }
    if (columns < 2) {
        f.genotypic.reason = noneOf(groupName(emptyGenotype));
    } else {
        if (columns == 2) {
            f.genotypic.df = 1;
            f.genotypic.reduced = noneOf(groupName(emptyGenotype));
        }
        double x2 = 0.0;
        int x[3] = {0, 0, 0};
        int totals[3] = {0, 0, 0};
        for (int k = 0; k < columns; ++k) {
            const int g = present[k];
            const double column = double(cs[g] + us[g]);
            const double expectedCases = double(caseTotal) * column / double(total);
            const double expectedControls = double(controlTotal) * column / double(total);
            x2 += (double(cs[g]) - expectedCases) * (double(cs[g]) - expectedCases) / expectedCases;
            x2 += (double(us[g]) - expectedControls) * (double(us[g]) - expectedControls) / expectedControls;
            x[k] = int(cs[g]);
            totals[k] = int(cs[g] + us[g]);
        }
        f.genotypic.chi2 = x2;
        f.genotypic.pChi2 = chi2Tail(x2, f.genotypic.df, QT_TRANSLATE_NOOP("MainWindow", "Genotypic"), failure);
        if (fishersmall::pValue(x, totals, columns, &f.genotypic.pExact, &f.genotypic.pMidp) != fishersmall::Finished)
            return Stopped;
        f.genotypic.pExact = reportedProbability(f.genotypic.pExact);
        f.genotypic.pMidp = reportedProbability(f.genotypic.pMidp);
    }

    // Trend: N r^2 of case status against copies, from exact integer sums.
    {
        long double sumG = 0, sumGG = 0, sumYG = 0;
        for (int g = 0; g < 3; ++g) {
            const long double n = static_cast<long double>(cs[g] + us[g]);
            sumG += g * n;
            sumGG += g * g * n;
            sumYG += g * static_cast<long double>(cs[g]);
        }
        const long double N = total, R = caseTotal;
        const long double spreadG = N * sumGG - sumG * sumG;
        if (spreadG == 0) {
            f.trend.reason = tr("every individual carries the same number of effect alleles");
        } else {
            const long double cross = N * sumYG - R * sumG;
            f.trend.chi2 = double(N * cross * cross / (R * (N - R) * spreadG));
            f.trend.pChi2 = chi2Tail(f.trend.chi2, 1, QT_TRANSLATE_NOOP("MainWindow", "Trend"), failure);
        }
    }

    // The 2 x 2 models, exposed first.
    {
        const qint64 cases[2] = {2 * cs[2] + cs[1], 2 * cs[0] + cs[1]};
        const qint64 controls[2] = {2 * us[2] + us[1], 2 * us[0] + us[1]};
        twoByTwo(f.allelic, QT_TRANSLATE_NOOP("MainWindow", "Allelic"), cases, controls,
                 QT_TRANSLATE_NOOP("MainWindow", "effect alleles"), QT_TRANSLATE_NOOP("MainWindow", "non-effect alleles"),
                 confLevel, z, failure);
    }
    {
        const qint64 cases[2] = {cs[1] + cs[2], cs[0]};
        const qint64 controls[2] = {us[1] + us[2], us[0]};
        twoByTwo(f.dominant, QT_TRANSLATE_NOOP("MainWindow", "Dominant"), cases, controls,
                 QT_TRANSLATE_NOOP("MainWindow", "carriers"), groupName(0), confLevel, z, failure);
    }
    {
        const qint64 cases[2] = {cs[2], cs[0] + cs[1]};
        const qint64 controls[2] = {us[2], us[0] + us[1]};
        twoByTwo(f.recessive, QT_TRANSLATE_NOOP("MainWindow", "Recessive"), cases, controls, groupName(2),
                 QT_TRANSLATE_NOOP("MainWindow", "non-carriers or heterozygotes"), confLevel, z, failure);
    }
    {
        const qint64 cases[2] = {cs[1], cs[0] + cs[2]};
        const qint64 controls[2] = {us[1], us[0] + us[2]};
        twoByTwo(f.overdominant, QT_TRANSLATE_NOOP("MainWindow", "Overdominant"), cases, controls, groupName(1),
                 QT_TRANSLATE_NOOP("MainWindow", "homozygotes"), confLevel, z, failure);
    }
    if (failure.status == Stopped)
        return Stopped;

    // Codominant: each genotype against the non-effect homozygote.
    for (const int g : {1, 2}) {
        QString &reason = g == 1 ? f.codominant.hetReason : f.codominant.homReason;
        if (cs[g] + us[g] == 0 || cs[0] + us[0] == 0) {
            reason = noneOf(groupName(cs[g] + us[g] == 0 ? g : 0));
            continue;
        }
        woolf(cs[g], cs[0], us[g], us[0], z, g == 1 ? &f.codominant.het : &f.codominant.hom,
              g == 1 ? &f.codominant.hetCorrected : &f.codominant.homCorrected);
    }

    if (logadditive::compute(cs, us, confLevel, &f.logAdditive) != logadditive::Finished
        && failure.status == Finished) {
        failure.status = NoConvergence;
        failure.text = tr("Log-additive: the logistic regression did not converge");
    }

    if (failure.status != Finished) {
        if (error)
            *error = failure.text;
        return failure.status;
    }
    *out = f;
    return Finished;
}
