// The meta-analysis of one model against metafor (meta_reference.tsv, made
// by meta_reference.R with tight control settings): every figure both
// compute, to 1e-6 relative, on dat.bcg and 300 synthetic genotype
// meta-analyses under the six models. Zelen's exact test has its own
// test (test_zelen, against an enumeration); the refused inputs and the
// degenerate models are run through velmora-cli meta (test_climeta).
#include "metaanalysis.h"
#include "modeltables.h"
#include "smallstudy.h"
#include "stratumfamily.h"
#include "zelen.h"

#include <QFile>
#include <QtTest>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <vector>

namespace {

constexpr double kRelative = 1e-6;

// Relative agreement, with an absolute floor for figures that can be 0
// (tau2, I^2, z) where the last digits of a sum decide.
bool agrees(double got, double expected, double floor)
{
    if (std::isnan(got))
        return false;
    if (std::isinf(expected))
        return got == expected;
    return std::fabs(got - expected) <= kRelative * std::max(std::fabs(expected), floor);
}

struct Reference
{
    QByteArray set, model;
    std::vector<StratumTable> tables;
    std::map<QByteArray, double> figures;
    std::vector<std::array<double, 8>> study;
};

// A set line gives the studies' counts; each model line after it the
// figures of that model's tables.
std::vector<Reference> readReferences()
{
    std::vector<Reference> refs;
    QFile file(QStringLiteral(VELMORA_STRATA_DATA "/meta_reference.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return refs;
    QList<QByteArray> keys;
    QByteArray set;
    std::vector<std::array<qint64, 6>> counts;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith("#\t")) {
            keys = line.split('\t').mid(1);
            continue;
        }
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> f = line.split('\t');
        if (f.at(0) == "set") {
            set = f.at(1);
            const int k = f.at(2).toInt();
            const int width = (f.size() - 3) / k;
            counts.assign(std::size_t(k), {});
            for (int i = 0; i < k; ++i)
                for (int j = 0; j < width; ++j)
                    counts[std::size_t(i)][std::size_t(j)] = f.at(3 + width * i + j).toLongLong();
            continue;
        }
        Reference r;
        r.set = set;
        r.model = f.at(0);
        GeneticModel model;
        const bool genotypes = geneticModelFromKey(QString::fromLatin1(r.model), &model);
        for (const auto &c : counts) {
            qint64 t[4] = {c[0], c[1], c[2], c[3]};
            if (genotypes)
                geneticModelTable(model, c.data(), c.data() + 3, t);
            r.tables.push_back({t[0], t[1], t[2], t[3]});
        }
        const auto value = [](const QByteArray &v) { return v == "NA" ? qQNaN() : v.toDouble(); };
        int at = 1;
        for (const QByteArray &key : keys)
            r.figures[key] = value(f.at(at++));
        for (std::size_t i = 0; at < f.size() && i < r.tables.size(); ++i) {
            std::array<double, 8> s;
            for (double &x : s)
                x = value(f.at(at++));
            r.study.push_back(s);
        }
        refs.push_back(r);
    }
    return refs;
}

// Our figure for each of metafor's keys, with its absolute floor.
struct Mapping
{
    const char *key;
    std::function<double(const MetaModelFigures &)> get;
    double floor;
};

const std::vector<Mapping> &mappings()
{
    static const std::vector<Mapping> m = {
        {"mh_or", [](const MetaModelFigures &f) { return f.mh.oddsRatio.estimate; }, 0.0},
        {"mh_low", [](const MetaModelFigures &f) { return f.mh.oddsRatio.low; }, 0.0},
        {"mh_high", [](const MetaModelFigures &f) { return f.mh.oddsRatio.high; }, 0.0},
        {"cmh", [](const MetaModelFigures &f) { return f.mh.cmh; }, 1e-9},
        {"cmh_cc", [](const MetaModelFigures &f) { return f.mh.cmhCorrected; }, 1e-9},
        {"tarone", [](const MetaModelFigures &f) { return f.heterogeneity.breslowDay.tarone; }, 1e-9},
        {"p_tarone", [](const MetaModelFigures &f) { return f.heterogeneity.breslowDay.pTarone; }, 1e-12},
        {"bd", [](const MetaModelFigures &f) { return f.heterogeneity.breslowDay.chi2; }, 1e-9},
        {"peto_or", [](const MetaModelFigures &f) { return f.peto.oddsRatio.estimate; }, 0.0},
        {"peto_low", [](const MetaModelFigures &f) { return f.peto.oddsRatio.low; }, 0.0},
        {"peto_high", [](const MetaModelFigures &f) { return f.peto.oddsRatio.high; }, 0.0},
        {"peto_p", [](const MetaModelFigures &f) { return f.peto.p; }, 1e-12},
        {"iv_or", [](const MetaModelFigures &f) { return f.iv.oddsRatio.estimate; }, 0.0},
        {"iv_low", [](const MetaModelFigures &f) { return f.iv.oddsRatio.low; }, 0.0},
        {"iv_high", [](const MetaModelFigures &f) { return f.iv.oddsRatio.high; }, 0.0},
        {"iv_z", [](const MetaModelFigures &f) { return f.iv.z; }, 1e-8},
        {"iv_p", [](const MetaModelFigures &f) { return f.iv.p; }, 1e-12},
        {"q", [](const MetaModelFigures &f) { return f.heterogeneity.q; }, 1e-9},
        {"q_p", [](const MetaModelFigures &f) { return f.heterogeneity.p; }, 1e-12},
        {"i2", [](const MetaModelFigures &f) { return f.heterogeneity.i2; }, 1e-6},
        {"h2", [](const MetaModelFigures &f) { return f.heterogeneity.h2; }, 1e-9},
        {"dl_tau2", [](const MetaModelFigures &f) { return f.dl.tau2; }, 1e-9},
        {"dl_or", [](const MetaModelFigures &f) { return f.dl.oddsRatio.estimate; }, 0.0},
        {"dl_low", [](const MetaModelFigures &f) { return f.dl.oddsRatio.low; }, 0.0},
        {"dl_high", [](const MetaModelFigures &f) { return f.dl.oddsRatio.high; }, 0.0},
        {"dl_z", [](const MetaModelFigures &f) { return f.dl.z; }, 1e-8},
        {"dl_p", [](const MetaModelFigures &f) { return f.dl.p; }, 1e-12},
        {"dl_pi_low", [](const MetaModelFigures &f) { return f.dl.predictionLow; }, 0.0},
        {"dl_pi_high", [](const MetaModelFigures &f) { return f.dl.predictionHigh; }, 0.0},
        {"reml_tau2", [](const MetaModelFigures &f) { return f.reml.tau2; }, 1e-4},
        {"reml_or", [](const MetaModelFigures &f) { return f.reml.oddsRatio.estimate; }, 0.0},
        {"reml_low", [](const MetaModelFigures &f) { return f.reml.oddsRatio.low; }, 0.0},
        {"reml_high", [](const MetaModelFigures &f) { return f.reml.oddsRatio.high; }, 0.0},
        {"reml_z", [](const MetaModelFigures &f) { return f.reml.z; }, 1e-8},
        {"reml_p", [](const MetaModelFigures &f) { return f.reml.p; }, 1e-12},
        {"reml_pi_low", [](const MetaModelFigures &f) { return f.reml.predictionLow; }, 0.0},
        {"reml_pi_high", [](const MetaModelFigures &f) { return f.reml.predictionHigh; }, 0.0},
        {"reml_i2", [](const MetaModelFigures &f) { return f.reml.i2; }, 1e-2},
        {"reml_h2", [](const MetaModelFigures &f) { return f.reml.h2; }, 1e-9},
        {"reml_tau2_low", [](const MetaModelFigures &f) { return f.reml.tau2Low; }, 1e-9},
        {"reml_tau2_high", [](const MetaModelFigures &f) { return f.reml.tau2High; }, 1e-9},
        {"reml_i2_low", [](const MetaModelFigures &f) { return f.reml.i2Low; }, 1e-6},
        {"reml_i2_high", [](const MetaModelFigures &f) { return f.reml.i2High; }, 1e-6},
        {"reml_h2_low", [](const MetaModelFigures &f) { return f.reml.h2Low; }, 1e-9},
        {"reml_h2_high", [](const MetaModelFigures &f) { return f.reml.h2High; }, 1e-9},
        {"hksj_low", [](const MetaModelFigures &f) { return f.reml.hksjLow; }, 0.0},
        {"hksj_high", [](const MetaModelFigures &f) { return f.reml.hksjHigh; }, 0.0},
        {"hksj_p", [](const MetaModelFigures &f) { return f.reml.pHksj; }, 1e-12},
        {"egger_t", [](const MetaModelFigures &f) { return f.egger.t; }, 1e-8},
        {"egger_p", [](const MetaModelFigures &f) { return f.egger.p; }, 1e-12},
        {"begg_tau", [](const MetaModelFigures &f) { return f.begg.tau; }, 1e-9},
        {"begg_p", [](const MetaModelFigures &f) { return f.begg.p; }, 1e-12},
        {"tf_k0", [](const MetaModelFigures &f) { return double(f.trimfill.k0); }, 1.0},
        {"tf_left", [](const MetaModelFigures &f) { return f.trimfill.leftSide ? 1.0 : 0.0; }, 1.0},
        {"tf_or", [](const MetaModelFigures &f) { return f.trimfill.oddsRatio.estimate; }, 0.0},
        {"tf_low", [](const MetaModelFigures &f) { return f.trimfill.oddsRatio.low; }, 0.0},
        {"tf_high", [](const MetaModelFigures &f) { return f.trimfill.oddsRatio.high; }, 0.0},
    };
    return m;
}

} // namespace

class TestMetaAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void againstMetafor();
};

void TestMetaAnalysis::againstMetafor()
{
    const std::vector<Reference> refs = readReferences();
    QVERIFY(refs.size() >= 1801);
    MetaAnalysisSettings settings;
    settings.zelenTest = false;
    std::map<std::string, int> compared, failed;
    QStringList failures;
    for (const Reference &r : refs) {
        MetaModelFigures f;
        const std::vector<MetaStudyContext> context(r.tables.size());
        QCOMPARE(metaanalysis::compute(r.tables, context, settings, &f), int(metaanalysis::Finished));
        const QString where = QString::fromLatin1(r.set + ' ' + r.model);
        for (const Mapping &m : mappings()) {
            const double expected = r.figures.at(m.key);
            if (std::isnan(expected))
                continue;
            // No stratum informs, or one alone: R still prints a CMH or a
            // Breslow-Day of 0 (on 0 df); Velmora claims none.
            const QByteArray key(m.key);
            if ((key == "cmh_cc" && f.mh.informative == 0)
                || ((key == "bd" || key == "tarone" || key == "p_tarone") && f.heterogeneity.breslowDay.df < 1)) {
                QVERIFY(std::isnan(m.get(f)));
                continue;
            }
            const double got = m.get(f);
            ++compared[m.key];
            if (!agrees(got, expected, m.floor)) {
                ++failed[m.key];
                if (failures.size() < 40)
                    failures << QStringLiteral("%1 %2: %3 vs %4")
                                    .arg(where, QLatin1String(m.key))
                                    .arg(got, 0, 'g', 12)
                                    .arg(expected, 0, 'g', 12);
            }
        }
        const char *studyKeys[8] = {"w_mh", "w_iv", "w_dl", "w_reml", "l1o_or", "l1o_low", "l1o_high", "l1o_i2"};
        for (std::size_t i = 0; i < r.study.size(); ++i) {
            const StudyFigures &s = f.study[i];
            double got[8] = {s.weightMh, s.weightIv, s.weightDl, s.weightReml, qQNaN(), qQNaN(), qQNaN(), qQNaN()};
            for (const LeaveOneOutFigures &l : f.leaveOneOut)
                if (l.study == int(i)) {
                    got[4] = l.oddsRatio.estimate;
                    got[5] = l.oddsRatio.low;
                    got[6] = l.oddsRatio.high;
                    got[7] = l.i2;
                }
            for (int j = 0; j < 8; ++j) {
                const double expected = r.study[i][std::size_t(j)];
                if (std::isnan(expected))
                    continue;
                ++compared[studyKeys[j]];
                if (!agrees(got[j], expected, j == 7 ? 1e-2 : 1e-9)) {
                    ++failed[studyKeys[j]];
                    if (failures.size() < 40)
                        failures << QStringLiteral("%1 study %2 %3: %4 vs %5")
                                        .arg(where)
                                        .arg(i)
                                        .arg(QLatin1String(studyKeys[j]))
                                        .arg(got[j], 0, 'g', 12)
                                        .arg(expected, 0, 'g', 12);
                }
            }
        }
    }
    for (const auto &[key, n] : compared)
        if (failed[key] > 0)
            qInfo("%s: %d of %d differ", key.c_str(), failed[key], n);
    if (!failures.isEmpty())
        QFAIL(qPrintable(failures.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestMetaAnalysis)
#include "test_metaanalysis.moc"
