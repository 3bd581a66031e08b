#include "metaanalysis.h"

#include "randomeffects.h"
#include "stratadistributions.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

OddsRatioFigure ratio(double mu, double low, double high)
{
    return {std::exp(mu), std::exp(low), std::exp(high)};
}

PooledFigures pooled(const PooledEffect &e)
{
    PooledFigures p;
    p.logOr = e.mu;
    p.se = e.se;
    p.z = e.z;
    p.p = e.p;
    p.oddsRatio = ratio(e.mu, e.low, e.high);
    return p;
}

// A random-effects fit at tau2 with its prediction interval.
RandomFigures randomFit(const std::vector<double> &y, const std::vector<double> &v, double tau2, double z)
{
    RandomFigures r;
    static_cast<PooledFigures &>(r) = pooled(randomeffects::pool(y.data(), v.data(), int(y.size()), tau2, z));
    r.tau2 = tau2;
    const double spread = z * std::sqrt(r.se * r.se + tau2);
    r.predictionLow = std::exp(r.logOr - spread);
    r.predictionHigh = std::exp(r.logOr + spread);
    return r;
}

// The DerSimonian-Laird fit of a subset.
PooledFigures dlFit(const std::vector<double> &y, const std::vector<double> &v, double z, double *tau2 = nullptr)
{
    const double t = randomeffects::dersimonianLaird(y.data(), v.data(), int(y.size()));
    if (tau2)
        *tau2 = t;
    return pooled(randomeffects::pool(y.data(), v.data(), int(y.size()), t, z));
}

void weights(std::vector<StudyFigures> &study, const std::vector<int> &index, const std::vector<double> &v,
             double tau2, double StudyFigures::*field)
{
    double total = 0.0;
    for (double vi : v)
        total += 1.0 / (vi + tau2);
    for (std::size_t i = 0; i < index.size(); ++i)
        study[std::size_t(index[i])].*field = 100.0 / (v[i] + tau2) / total;
}

double percentI2(double tau2, double typical)
{
    return 100.0 * tau2 / (tau2 + typical);
}

} // namespace

int metaanalysis::compute(const std::vector<StratumTable> &tables, const std::vector<MetaStudyContext> &context,
                          const MetaAnalysisSettings &settings, MetaModelFigures *out)
{
    const int k = int(tables.size());
    if (!out || k < 2 || int(context.size()) != k || !validStrata(tables.data(), k)
        || !(settings.confLevel > 0.0 && settings.confLevel < 1.0))
        return BadInput;
    const double z = stratadist::normalUpperQuantile((1.0 - settings.confLevel) / 2.0);
    MetaModelFigures f;
    f.study.resize(static_cast<std::size_t>(k));

    // escalc(measure = "OR", drop00 = TRUE, add = 1/2, to = "only0").
    std::vector<double> y, v;
    std::vector<int> index;
    for (int i = 0; i < k; ++i) {
        const StratumTable &t = tables[std::size_t(i)];
        StudyFigures &s = f.study[std::size_t(i)];
        s.table = t;
        s.included = t.a + t.c > 0 && t.b + t.d > 0;
        if (!s.included) {
            f.leftOut.push_back(i);
            continue;
        }
        s.corrected = t.hasZeroCell();
        const double half = s.corrected ? 0.5 : 0.0;
        const double A = double(t.a) + half, B = double(t.b) + half, C = double(t.c) + half, D = double(t.d) + half;
        // As escalc computes it, from the two groups' proportions: equal
        // ratios then have equal bits, and the rank-based methods (Begg's
        // ties, trim-and-fill's order) see the ties metafor sees.
        const double p1 = A / (A + B), p2 = C / (C + D);
        s.logOr = std::log(p1 / (1.0 - p1)) - std::log(p2 / (1.0 - p2));
        s.variance = 1.0 / A + 1.0 / B + 1.0 / C + 1.0 / D;
        const double se = std::sqrt(s.variance);
        s.oddsRatio = {(A * D) / (B * C), std::exp(s.logOr - z * se), std::exp(s.logOr + z * se)};
        if (s.corrected)
            f.corrected.push_back(i);
        y.push_back(s.logOr);
        v.push_back(s.variance);
        index.push_back(i);
    }
    const int n = int(index.size());
    f.studies = n;

    // The methods on the counts themselves.
    mantelhaenszel::compute(tables.data(), k, settings.confLevel, &f.mh);
    {
        double total = 0.0;
        for (int i : index)
            total += mantelhaenszel::weight(tables[std::size_t(i)]);
        if (total > 0.0)
            for (int i : index)
                f.study[std::size_t(i)].weightMh = 100.0 * mantelhaenszel::weight(tables[std::size_t(i)]) / total;
    }
    {
        // Peto: the one-step estimate sum(O - E) / sum(V).
        double deviation = 0.0, variance = 0.0;
        for (const StratumTable &t : tables) {
            if (!t.informative())
                continue;
            const double a = double(t.a), b = double(t.b), c = double(t.c), d = double(t.d);
            const double N = a + b + c + d;
            deviation += a - (a + b) * (a + c) / N;
            variance += (a + b) * (c + d) * (a + c) * (b + d) / (N * N * (N - 1.0));
        }
        if (variance > 0.0) {
            PooledFigures &p = f.peto;
            p.logOr = deviation / variance;
            p.se = 1.0 / std::sqrt(variance);
            p.z = p.logOr / p.se;
            p.p = stratadist::normalTwoSided(p.z);
            p.oddsRatio = ratio(p.logOr, p.logOr - z * p.se, p.logOr + z * p.se);
        }
    }
    {
        exactstrata::Workspace work;
        if (exactstrata::compute(tables.data(), k, settings.confLevel, work, &f.exact) != exactstrata::Finished)
            f.notes << tr("the exact conditional estimate did not converge");
    }

    if (n == 0) {
        f.notes << tr("no study has both exposed and unexposed individuals");
        *out = f;
        return Finished;
    }

    // Inverse variance and the random effects.
    f.iv = pooled(randomeffects::pool(y.data(), v.data(), n, 0.0, z));
    weights(f.study, index, v, 0.0, &StudyFigures::weightIv);
    const double tauDl = randomeffects::dersimonianLaird(y.data(), v.data(), n);
    f.dl = randomFit(y, v, tauDl, z);
    weights(f.study, index, v, tauDl, &StudyFigures::weightDl);
    double tauReml = 0.0;
    if (randomeffects::reml(y.data(), v.data(), n, &tauReml)) {
        static_cast<RandomFigures &>(f.reml) = randomFit(y, v, tauReml, z);
        weights(f.study, index, v, tauReml, &StudyFigures::weightReml);
        if (n >= 2) {
            const double typical = randomeffects::typicalVariance(v.data(), n);
            f.reml.i2 = percentI2(tauReml, typical);
            f.reml.h2 = (tauReml + typical) / typical;
            double low = 0.0, high = 0.0;
            if (randomeffects::qProfile(y.data(), v.data(), n, settings.confLevel, &low, &high)) {
                f.reml.tau2Low = low;
                f.reml.tau2High = high;
                f.reml.i2Low = percentI2(low, typical);
                f.reml.i2High = percentI2(high, typical);
                f.reml.h2Low = (low + typical) / typical;
                f.reml.h2High = (high + typical) / typical;
            } else {
                f.notes << tr("the Q-profile interval of tau2 did not converge");
            }
            double low2 = 0.0, high2 = 0.0, p = 0.0;
            randomeffects::hartungKnapp(y.data(), v.data(), n, tauReml, settings.confLevel, &low2, &high2, &p);
            f.reml.hksjLow = std::exp(low2);
            f.reml.hksjHigh = std::exp(high2);
            f.reml.pHksj = p;
        }
    } else {
        f.notes << tr("the REML estimate of tau2 did not converge");
    }

    // Heterogeneity.
    HeterogeneityFigures &h = f.heterogeneity;
    h.df = n - 1;
    if (n >= 2) {
        h.q = randomeffects::cochranQ(y.data(), v.data(), n);
        h.p = stratadist::chi2Upper(h.q, double(h.df));
        h.i2 = h.q > 0.0 ? 100.0 * std::max(0.0, (h.q - double(h.df)) / h.q) : 0.0;
        h.h2 = h.q / double(h.df);
    } else {
        f.notes << tr("heterogeneity needs 2 studies");
    }
    mantelhaenszel::breslowDay(tables.data(), k, f.mh.oddsRatio.estimate, &h.breslowDay);
    if (settings.zelenTest) {
        const int status = zelen::compute(tables.data(), k, settings.zelen, &h.zelen);
        if (status == zelen::Stopped)
            return Stopped;
        if (status != zelen::Finished)
            f.notes << tr("Zelen's test could not be estimated");
    }

    // Small-study effects.
    if (n >= 3) {
        f.egger = smallstudy::egger(y.data(), v.data(), n);
        f.begg = smallstudy::begg(y.data(), v.data(), n);
        TrimFillFigures tf;
        if (smallstudy::trimAndFill(y.data(), v.data(), n, z, &tf)) {
            f.trimfill.k0 = tf.k0;
            f.trimfill.leftSide = tf.leftSide;
            f.trimfill.oddsRatio = ratio(tf.mu, tf.low, tf.high);
            f.trimfill.filledLogOr = tf.filledY;
            f.trimfill.filledVariance = tf.filledV;
        } else {
            f.notes << tr("trim-and-fill did not settle");
        }
    } else {
        f.notes << tr("Egger, Begg and trim-and-fill need 3 studies");
    }

    // Sensitivity: each study left out, the cumulative fits, the studies
    // with controls in equilibrium.
    if (n >= 2) {
        for (int j = 0; j < n; ++j) {
            std::vector<double> ys, vs;
            for (int i = 0; i < n; ++i)
                if (i != j) {
                    ys.push_back(y[std::size_t(i)]);
                    vs.push_back(v[std::size_t(i)]);
                }
            double tau2 = 0.0;
            LeaveOneOutFigures l;
            l.study = index[std::size_t(j)];
            l.oddsRatio = dlFit(ys, vs, z, &tau2).oddsRatio;
            // One study left: no heterogeneity to see, 0 as metafor gives it.
            l.i2 = int(ys.size()) >= 2 ? percentI2(tau2, randomeffects::typicalVariance(vs.data(), int(vs.size())))
                                       : 0.0;
            f.leaveOneOut.push_back(l);
        }
    }
    {
        std::vector<int> order = settings.cumulativeOrder;
        if (order.empty()) {
            order.resize(static_cast<std::size_t>(k));
            std::iota(order.begin(), order.end(), 0);
        }
        std::vector<double> ys, vs;
        for (int i : order) {
            if (i < 0 || i >= k || !f.study[std::size_t(i)].included)
                continue;
            ys.push_back(f.study[std::size_t(i)].logOr);
            vs.push_back(f.study[std::size_t(i)].variance);
            f.cumulative.push_back({i, dlFit(ys, vs, z).oddsRatio});
        }
    }
    {
        std::vector<double> ys, vs;
        for (int j = 0; j < n; ++j) {
            const double p = context[std::size_t(index[std::size_t(j)])].hweP;
            if (p >= settings.hweLevel) {
                ys.push_back(y[std::size_t(j)]);
                vs.push_back(v[std::size_t(j)]);
            }
        }
        f.hweStudies = int(ys.size());
        if (!ys.empty())
            f.hweRestricted = dlFit(ys, vs, z);
    }

    // Subgroups: each pooled by DerSimonian-Laird, and Q between their
    // estimates (each with its own tau2).
    if (settings.subgroups) {
        for (int j = 0; j < n; ++j) {
            const QString &label = context[std::size_t(index[std::size_t(j)])].subgroup;
            auto it = std::find_if(f.subgroups.begin(), f.subgroups.end(),
                                   [&](const SubgroupFigures &g) { return g.label == label; });
            if (it == f.subgroups.end()) {
                f.subgroups.push_back(SubgroupFigures());
                it = f.subgroups.end() - 1;
                it->label = label;
            }
            it->members.push_back(index[std::size_t(j)]);
        }
        double sw = 0.0, swy = 0.0;
        for (SubgroupFigures &g : f.subgroups) {
            std::vector<double> ys, vs;
            for (int i : g.members) {
                ys.push_back(f.study[std::size_t(i)].logOr);
                vs.push_back(f.study[std::size_t(i)].variance);
            }
            g.studies = int(g.members.size());
            g.dl = dlFit(ys, vs, z, &g.tau2);
            sw += 1.0 / (g.dl.se * g.dl.se);
            swy += g.dl.logOr / (g.dl.se * g.dl.se);
        }
        if (f.subgroups.size() >= 2) {
            const double mean = swy / sw;
            double q = 0.0;
            for (const SubgroupFigures &g : f.subgroups)
                q += (g.dl.logOr - mean) * (g.dl.logOr - mean) / (g.dl.se * g.dl.se);
            f.qBetween = q;
            f.dfBetween = int(f.subgroups.size()) - 1;
            f.pBetween = stratadist::chi2Upper(q, double(f.dfBetween));
        }
    }
    *out = f;
    return Finished;
}
