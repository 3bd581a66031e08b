// The report of the best level: the cluster of every factor, then the counts,
// frequencies ratio and odds ratio of every cluster.
#include "riskclust.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("riskclust", text);
}

QString general(double value)
{
    return QString::number(value, 'g', 6);
}

// Corrected (negative) ratios in parentheses. The sign bit, not "< 0":
// a zero numerator over a corrected denominator gives -0, which is also a
// corrected value.
QString ratio(double value)
{
    if (std::signbit(value))
        return u'(' + general(-value) + u')';
    return general(value);
}

QString cell(const QString &text)
{
    return QStringLiteral("<TD>") + text + QStringLiteral("</TD>");
}

} // namespace

void riskclust::buildSummary()
{
    // From zero for the best level, not from the list of the last level.
    m_summary.assign(std::size_t(m_best), RiskClusterRow{});
    for (int j = 0; j < m_k; ++j) {
        RiskClusterRow &row = m_summary[std::size_t(m_bestAssignment[std::size_t(j)] - 1)];
        row.first += m_factors[std::size_t(j)].e;
        row.second += m_factors[std::size_t(j)].f;
    }
    const double totalsRatio = double(m_totalE) / double(m_totalF);
    for (std::size_t c = 0; c < m_summary.size(); ++c) {
        RiskClusterRow &row = m_summary[c];
        // A zero count in a denominator becomes 0.5, with the sign chosen so
        // that exactly the corrected ratios come out negative.
        const double first = row.first > 0 ? double(row.first) : -0.5;
        row.frequenciesRatio = totalsRatio * double(row.second) / first;
        if (c + 1 < m_summary.size()) {
            const RiskClusterRow &next = m_summary[c + 1];
            const double nextSecond = next.second > 0 ? double(next.second) : (first > 0 ? -0.5 : 0.5);
            // A product of doubles: two large counts overflow an int product.
            row.oddsRatio = double(next.first) * double(row.second) / (first * nextSecond);
        }
    }
}

QString riskclust::buildReport() const
{
    static const QString rowStart = QStringLiteral("<TR>");
    static const QString rowEnd = QStringLiteral("</TR>");
    static const QString tableStart = QStringLiteral("<TABLE border=1 cellpadding=5>");
    static const QString tableEnd = QStringLiteral("</TABLE>");

    QString text = QStringLiteral("<br><br><b>Equal risk clusters</b><br>") + tableStart;
    text += rowStart + cell(tr("P-value")) + cell(general(m_pValues[std::size_t(m_best)])) + rowEnd;
    text += rowStart + cell(tr("Number of clusters")) + QStringLiteral("<TD align=center>")
            + QString::number(m_best) + QStringLiteral("</TD>") + rowEnd;
    for (int j = 0; j < m_k; ++j) {
        // Names are whatever the user typed: escaped, they cannot alter the
        // table.
        const QString &name = m_factorNames.at(m_factors[std::size_t(j)].index);
        text += rowStart + cell(name.toHtmlEscaped())
                + cell(QString::number(m_bestAssignment[std::size_t(j)])) + rowEnd;
    }
    text += tableEnd;

    text += QStringLiteral("<br><br><b>Odds and Frequencies Ratio</b><br>") + tableStart;
    text += rowStart + cell(tr("Cluster")) + cell(m_sampleNames.at(0).toHtmlEscaped())
            + cell(m_sampleNames.at(1).toHtmlEscaped()) + cell(tr("Frequencies ratio"))
            + cell(tr("Odds ratio")) + rowEnd;
    for (std::size_t c = 0; c < m_summary.size(); ++c) {
        const RiskClusterRow &row = m_summary[c];
        const bool last = c + 1 == m_summary.size();
        text += rowStart + cell(QString::number(c + 1)) + cell(QString::number(row.first))
                + cell(QString::number(row.second)) + cell(ratio(row.frequenciesRatio))
                + cell(last ? QString() : ratio(row.oddsRatio)) + rowEnd;
    }
    text += tableEnd;

    if (m_failedLevels > 0) {
        text += tr("<br />No P-value for %1 of the %2 cluster numbers (%3); they were left out")
                    .arg(m_failedLevels)
                    .arg(m_k - 1)
                    .arg(m_pValueError.toHtmlEscaped());
    }
    return text;
}
