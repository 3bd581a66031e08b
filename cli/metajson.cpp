#include "metajson.h"

#include "jsonline.h"
#include "metarun.h"

#include <cmath>

namespace {

// JSON has no infinity: "inf" stands for an infinite limit.
QString num(double v)
{
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("\"inf\"") : QStringLiteral("\"-inf\"");
    return JsonLine::number(v);
}

QString interval(double low, double high)
{
    return u'[' + num(low) + u',' + num(high) + u']';
}

QString interval(const OddsRatioFigure &r)
{
    return interval(r.low, r.high);
}

// An object from key/value pairs already in JSON.
QString object(const QList<QPair<const char *, QString>> &fields)
{
    QString out = QStringLiteral("{");
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += u',';
        out += u'"' + QLatin1StringView(fields[i].first) + QStringLiteral("\":") + fields[i].second;
    }
    return out + u'}';
}

QString pooled(const PooledFigures &p, bool withZ)
{
    QList<QPair<const char *, QString>> f{{"or", num(p.oddsRatio.estimate)}, {"or_ci", interval(p.oddsRatio)}};
    if (withZ)
        f.append({"z", num(p.z)});
    f.append({"p", num(p.p)});
    return object(f);
}

QString random(const RandomFigures &r)
{
    return object({{"tau2", num(r.tau2)},
                   {"or", num(r.oddsRatio.estimate)},
                   {"or_ci", interval(r.oddsRatio)},
                   {"z", num(r.z)},
                   {"p", num(r.p)},
                   {"pi", interval(r.predictionLow, r.predictionHigh)}});
}

QString names(const MetaRun &run, const std::vector<int> &indices)
{
    QStringList list;
    for (int i : indices)
        list << run.names.value(i);
    return JsonLine::stringArray(list);
}

} // namespace

QByteArray metaErrorLine(const QString &file, int table, const char *status, const QString &message)
{
    JsonLine line;
    line.add("file", file);
    if (table > 0)
        line.add("table", table);
    line.add("test", "meta").add("status", status).add("message", message);
    QByteArray out;
    line.writeLine(out);
    return out;
}

QByteArray metaFailureLine(const QString &file, int table, int status, const QString &message, bool stopped)
{
    JsonLine line;
    line.add("file", file);
    if (table > 0)
        line.add("table", table);
    line.add("test", "meta").add("status", status).add("message", message);
    if (stopped)
        line.add("stopped", true);
    QByteArray out;
    line.writeLine(out);
    return out;
}

QByteArray metaJsonLine(const MetaRun &run, int index, const QString &file, int table, bool withLists)
{
    const MetaModelFigures &m = run.models[std::size_t(index)];
    JsonLine line;
    line.add("file", file);
    if (table > 0)
        line.add("table", table);
    line.add("test", "meta").add("status", 0).add("message", QString()).add("model", m.key);
    line.add("studies", m.studies).addRaw("left_out", names(run, m.leftOut));
    if (withLists) {
        QStringList studies;
        for (std::size_t i = 0; i < m.study.size(); ++i) {
            const StudyFigures &s = m.study[i];
            const StratumTable &t = s.table;
            studies << object({{"name", JsonLine::quoted(run.names.value(int(i)))},
                               {"table", QStringLiteral("[%1,%2,%3,%4]").arg(t.a).arg(t.b).arg(t.c).arg(t.d)},
                               {"or", num(s.oddsRatio.estimate)},
                               {"or_ci", interval(s.oddsRatio)},
                               {"corrected", s.corrected ? QStringLiteral("true") : QStringLiteral("false")},
                               {"hwe_p", num(run.hweP[i])},
                               {"minor_differs", !run.exposure && run.minorDiffers[i] ? QStringLiteral("true")
                                                                                       : QStringLiteral("false")},
                               {"weight_mh", num(s.weightMh)},
                               {"weight_iv", num(s.weightIv)},
                               {"weight_dl", num(s.weightDl)},
                               {"weight_reml", num(s.weightReml)}});
        }
        line.addRaw("study", u'[' + studies.join(u',') + u']');
    }
    line.addRaw("mh", object({{"or", num(m.mh.oddsRatio.estimate)},
                              {"or_ci", interval(m.mh.oddsRatio)},
                              {"cmh", num(m.mh.cmh)},
                              {"p_cmh", num(m.mh.pCmh)},
                              {"cmh_cc", num(m.mh.cmhCorrected)},
                              {"p_cmh_cc", num(m.mh.pCmhCorrected)}}));
    line.addRaw("iv", pooled(m.iv, true));
    line.addRaw("peto", pooled(m.peto, false));
    line.addRaw("exact", object({{"or", num(m.exact.oddsRatio.estimate)},
                                 {"or_ci", interval(m.exact.oddsRatio)},
                                 {"p", num(m.exact.p)}}));
    line.addRaw("dl", random(m.dl));
    {
        QString reml = random(m.reml);
        reml.chop(1);
        reml += u',' + object({{"tau2_ci", interval(m.reml.tau2Low, m.reml.tau2High)},
                               {"i2", num(m.reml.i2)},
                               {"i2_ci", interval(m.reml.i2Low, m.reml.i2High)},
                               {"h2", num(m.reml.h2)},
                               {"h2_ci", interval(m.reml.h2Low, m.reml.h2High)},
                               {"hksj", object({{"or_ci", interval(m.reml.hksjLow, m.reml.hksjHigh)},
                                                {"p", num(m.reml.pHksj)}})}})
                               .mid(1);
        line.addRaw("reml", reml);
    }
    const HeterogeneityFigures &h = m.heterogeneity;
    // Samples and seed belong to an estimate: none for an exact P, or
    // where no test ran.
    const bool sampled = !h.zelen.exact && !std::isnan(h.zelen.p);
    line.addRaw("heterogeneity",
                object({{"q", num(h.q)},
                        {"df", QString::number(h.df)},
                        {"p", num(h.p)},
                        {"i2", num(h.i2)},
                        {"h2", num(h.h2)},
                        {"breslow_day", num(h.breslowDay.chi2)},
                        {"p_breslow_day", num(h.breslowDay.p)},
                        {"tarone", num(h.breslowDay.tarone)},
                        {"p_tarone", num(h.breslowDay.pTarone)},
                        {"p_zelen", num(h.zelen.p)},
                        {"p_zelen_ci", sampled ? interval(h.zelen.low, h.zelen.high) : QStringLiteral("null")},
                        {"zelen_samples", sampled ? QString::number(h.zelen.samples) : QStringLiteral("null")},
                        {"zelen_seed", sampled ? QString::number(h.zelen.seed) : QStringLiteral("null")}}));
    line.addRaw("egger", object({{"t", num(m.egger.t)},
                                 {"df", m.egger.df > 0 ? QString::number(m.egger.df) : QStringLiteral("null")},
                                 {"p", num(m.egger.p)}}));
    line.addRaw("begg", object({{"tau", num(m.begg.tau)}, {"p", num(m.begg.p)}}));
    const bool trimmed = !std::isnan(m.trimfill.oddsRatio.estimate);
    line.addRaw("trimfill",
                object({{"k0", trimmed ? QString::number(m.trimfill.k0) : QStringLiteral("null")},
                        {"side", trimmed ? JsonLine::quoted(m.trimfill.leftSide ? QStringLiteral("left")
                                                                                : QStringLiteral("right"))
                                         : QStringLiteral("null")},
                        {"or", num(m.trimfill.oddsRatio.estimate)},
                        {"or_ci", interval(m.trimfill.oddsRatio)}}));
    if (withLists) {
        QStringList rows;
        for (const LeaveOneOutFigures &l : m.leaveOneOut)
            rows << object({{"name", JsonLine::quoted(run.names.value(l.study))},
                            {"or", num(l.oddsRatio.estimate)},
                            {"or_ci", interval(l.oddsRatio)},
                            {"i2", num(l.i2)}});
        line.addRaw("leave_one_out", u'[' + rows.join(u',') + u']');
        rows.clear();
        for (const CumulativeFigures &c : m.cumulative)
            rows << object({{"name", JsonLine::quoted(run.names.value(c.study))},
                            {"or", num(c.oddsRatio.estimate)},
                            {"or_ci", interval(c.oddsRatio)}});
        line.addRaw("cumulative", u'[' + rows.join(u',') + u']');
    }
    if (!run.exposure)
        line.addRaw("hwe_restricted", object({{"studies", QString::number(m.hweStudies)},
                                              {"dl", pooled(m.hweRestricted, false)}}));
    if (!m.subgroups.empty()) {
        if (withLists) {
            QStringList rows;
            for (const SubgroupFigures &g : m.subgroups)
                rows << object({{"label", JsonLine::quoted(g.label)},
                                {"studies", QString::number(g.studies)},
                                {"dl", object({{"or", num(g.dl.oddsRatio.estimate)}, {"or_ci", interval(g.dl.oddsRatio)}})}});
            line.addRaw("subgroups", u'[' + rows.join(u',') + u']');
        }
        line.addRaw("q_between", num(m.qBetween));
        line.addRaw("p_between", num(m.pBetween));
    }
    if (!m.notes.isEmpty())
        line.addRaw("notes", JsonLine::stringArray(m.notes));
    QByteArray out;
    line.writeLine(out);
    return out;
}

QStringList metaTsvColumns()
{
    QStringList c{QStringLiteral("file"), QStringLiteral("table"), QStringLiteral("test"), QStringLiteral("status"),
                  QStringLiteral("message"), QStringLiteral("model"), QStringLiteral("studies"),
                  QStringLiteral("left_out")};
    const auto add = [&c](const char *prefix, std::initializer_list<const char *> fields) {
        for (const char *f : fields)
            c << QLatin1StringView(prefix) + u'.' + QLatin1StringView(f);
    };
    add("mh", {"or", "or_ci", "cmh", "p_cmh", "cmh_cc", "p_cmh_cc"});
    add("iv", {"or", "or_ci", "z", "p"});
    add("peto", {"or", "or_ci", "p"});
    add("exact", {"or", "or_ci", "p"});
    add("dl", {"tau2", "or", "or_ci", "z", "p", "pi"});
    add("reml", {"tau2", "or", "or_ci", "z", "p", "pi", "tau2_ci", "i2", "i2_ci", "h2", "h2_ci", "hksj.or_ci",
                 "hksj.p"});
    add("heterogeneity", {"q", "df", "p", "i2", "h2", "breslow_day", "p_breslow_day", "tarone", "p_tarone",
                          "p_zelen", "p_zelen_ci", "zelen_samples", "zelen_seed"});
    add("egger", {"t", "df", "p"});
    add("begg", {"tau", "p"});
    add("trimfill", {"k0", "side", "or", "or_ci"});
    add("hwe_restricted", {"studies", "dl.or", "dl.or_ci", "dl.p"});
    c << QStringLiteral("q_between") << QStringLiteral("p_between") << QStringLiteral("notes");
    return c;
}
