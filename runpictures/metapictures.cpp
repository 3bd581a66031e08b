#include "metapictures.h"

#include "metainput.h"
#include "metarun.h"

#include <cmath>

namespace {

QString number(double value, int digits = 4)
{
    if (std::isnan(value))
        return QStringLiteral("\u2013");
    if (std::isinf(value))
        return QStringLiteral("inf");
    return QString::number(value, 'g', digits);
}

QString modelTitle(const QString &key)
{
    return key == u"exposure" ? QStringLiteral("Meta-analysis") : QStringLiteral("Meta-analysis, %1 model").arg(key);
}

pictures::MetaForestRow studyRow(const QString &name, const StudyFigures &s)
{
    pictures::MetaForestRow row;
    row.label = name + (s.corrected ? QStringLiteral(" *") : QString());
    if (!s.included) {
        row.note = QStringLiteral("left out: no exposed or no unexposed individuals");
        return row;
    }
    row.estimate = s.oddsRatio.estimate;
    row.low = s.oddsRatio.low;
    row.high = s.oddsRatio.high;
    row.weight = s.weightDl;
    return row;
}

pictures::MetaForestRow diamond(const QString &label, const OddsRatioFigure &r, double piLow = qQNaN(),
                                double piHigh = qQNaN())
{
    pictures::MetaForestRow row;
    row.kind = pictures::MetaForestRow::Kind::Diamond;
    row.label = label;
    row.estimate = r.estimate;
    row.low = r.low;
    row.high = r.high;
    row.predictionLow = piLow;
    row.predictionHigh = piHigh;
    if (std::isnan(r.estimate))
        row.note = QStringLiteral("no estimate");
    return row;
}

QString measure(const MetaInput &input)
{
    return QStringLiteral("Odds ratio with its %1% interval (log scale)")
        .arg(QString::number(input.confLevel * 100.0, 'g', 10));
}

QString subtitle(const MetaInput &input, const MetaModelFigures &m)
{
    QString text = QStringLiteral("%1 studies").arg(m.studies);
    if (!input.exposure)
        text += QStringLiteral("; effect allele counted by %1").arg(input.effectColumn);
    if (!m.corrected.empty())
        text += QStringLiteral("; * a zero cell: 0.5 added");
    return text;
}

PicturePtr forest(const MetaInput &input, const MetaRun &run, const MetaModelFigures &m, const QString &place)
{
    pictures::MetaForestModel model;
    model.title = modelTitle(m.key) + QStringLiteral(": forest plot of ") + place;
    model.subtitle = subtitle(input, m) + QStringLiteral("; squares: DerSimonian-Laird weights");
    model.measure = measure(input);
    if (!m.subgroups.empty()) {
        for (const SubgroupFigures &g : m.subgroups) {
            pictures::MetaForestRow heading;
            heading.kind = pictures::MetaForestRow::Kind::Heading;
            heading.label = g.label.isEmpty() ? QStringLiteral("(no subgroup)") : g.label;
            model.rows.push_back(heading);
            for (int i : g.members)
                model.rows.push_back(studyRow(QStringLiteral("  ") + run.names.value(i), m.study[std::size_t(i)]));
            model.rows.push_back(diamond(QStringLiteral("  Subtotal (DL)"), g.dl.oddsRatio));
        }
        for (int i : m.leftOut)
            model.rows.push_back(studyRow(run.names.value(i), m.study[std::size_t(i)]));
    } else {
        for (std::size_t i = 0; i < m.study.size(); ++i)
            model.rows.push_back(studyRow(run.names.value(int(i)), m.study[i]));
    }
    model.rows.push_back(diamond(QStringLiteral("Fixed (Mantel-Haenszel)"), m.mh.oddsRatio));
    model.rows.push_back(diamond(QStringLiteral("Random (DerSimonian-Laird)"), m.dl.oddsRatio, m.dl.predictionLow,
                                 m.dl.predictionHigh));
    const HeterogeneityFigures &h = m.heterogeneity;
    model.footer << QStringLiteral("Heterogeneity: I\u00b2 = %1%, \u03c4\u00b2 = %2 (DL), Q = %3 on %4 df, P = %5")
                        .arg(number(h.i2, 3), number(m.dl.tau2), number(h.q))
                        .arg(h.df)
                        .arg(number(h.p));
    model.footer << QStringLiteral("Bar under the random diamond: the %1% prediction interval %2 to %3")
                        .arg(QString::number(input.confLevel * 100.0, 'g', 10), number(m.dl.predictionLow),
                             number(m.dl.predictionHigh));
    if (!m.subgroups.empty() && !std::isnan(m.qBetween))
        model.footer << QStringLiteral("Subgroup differences: Q between = %1 on %2 df, P = %3")
                            .arg(number(m.qBetween))
                            .arg(m.dfBetween)
                            .arg(number(m.pBetween));
    return std::make_shared<const pictures::Picture>(std::move(model));
}

PicturePtr funnel(const MetaInput &input, const MetaModelFigures &m, const QString &place)
{
    pictures::FunnelModel model;
    model.title = modelTitle(m.key) + QStringLiteral(": funnel plot of ") + place;
    model.subtitle = subtitle(input, m) + QStringLiteral("; limits about the fixed-effect estimate");
    for (const StudyFigures &s : m.study)
        if (s.included)
            model.points.push_back({s.logOr, std::sqrt(s.variance), false});
    for (std::size_t i = 0; i < m.trimfill.filledLogOr.size(); ++i)
        model.points.push_back({m.trimfill.filledLogOr[i], std::sqrt(m.trimfill.filledVariance[i]), true});
    model.centre = m.iv.logOr;
    model.adjusted = std::log(m.trimfill.oddsRatio.estimate);
    model.footer = QStringLiteral("Egger P = %1; Begg P = %2; trim-and-fill: %3 studies added on the %4, OR %5")
                       .arg(number(m.egger.p), number(m.begg.p))
                       .arg(m.trimfill.k0)
                       .arg(m.trimfill.leftSide ? QStringLiteral("left") : QStringLiteral("right"),
                            number(m.trimfill.oddsRatio.estimate));
    return std::make_shared<const pictures::Picture>(std::move(model));
}

PicturePtr leaveOneOut(const MetaInput &input, const MetaRun &run, const MetaModelFigures &m, const QString &place)
{
    pictures::MetaForestModel model;
    model.title = modelTitle(m.key) + QStringLiteral(": leave-one-out of ") + place;
    model.subtitle = subtitle(input, m) + QStringLiteral("; DerSimonian-Laird without each study");
    model.measure = measure(input);
    for (const LeaveOneOutFigures &l : m.leaveOneOut) {
        pictures::MetaForestRow row;
        row.label = QStringLiteral("without ") + run.names.value(l.study);
        row.estimate = l.oddsRatio.estimate;
        row.low = l.oddsRatio.low;
        row.high = l.oddsRatio.high;
        model.rows.push_back(row);
    }
    model.rows.push_back(diamond(QStringLiteral("All studies (DL)"), m.dl.oddsRatio));
    model.footer << QStringLiteral("I\u00b2 without each study: %1").arg([&] {
        QStringList parts;
        for (const LeaveOneOutFigures &l : m.leaveOneOut)
            parts << number(l.i2, 3) + u'%';
        return parts.join(QStringLiteral(", "));
    }());
    return std::make_shared<const pictures::Picture>(std::move(model));
}

} // namespace

PicturePtr metaPicture(MetaPictureKind kind, const MetaInput &input, const MetaRun &run, int model,
                       const QString &place)
{
    if (run.status != 0 || model < 0 || model >= int(run.models.size()))
        return nullptr;
    const MetaModelFigures &m = run.models[std::size_t(model)];
    if (m.studies == 0)
        return nullptr;
    switch (kind) {
    case MetaPictureKind::Forest:
        return forest(input, run, m, place);
    case MetaPictureKind::Funnel:
        return funnel(input, m, place);
    case MetaPictureKind::LeaveOneOut:
        return m.leaveOneOut.empty() ? nullptr : leaveOneOut(input, run, m, place);
    }
    return nullptr;
}

bool metaPictureKindFromKey(const QString &key, MetaPictureKind *kind)
{
    for (MetaPictureKind k : {MetaPictureKind::Forest, MetaPictureKind::Funnel, MetaPictureKind::LeaveOneOut})
        if (key == metaPictureKey(k)) {
            *kind = k;
            return true;
        }
    return false;
}

QString metaPictureKey(MetaPictureKind kind)
{
    switch (kind) {
    case MetaPictureKind::Forest:
        return QStringLiteral("forest");
    case MetaPictureKind::Funnel:
        return QStringLiteral("funnel");
    case MetaPictureKind::LeaveOneOut:
        return QStringLiteral("leave-one-out");
    }
    return QString();
}
