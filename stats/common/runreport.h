#pragma once

#include <QString>
#include <QStringList>
#include <QtNumeric>

#include <cmath>
#include <functional>

// What one run of a test hands back to its caller (the main window, or the
// command-line tool): the report entry for the Results window and the
// figures behind it.
struct RunReport
{
    QString message;          // HTML fragment: lines each begin with "<br />"
    int isError = 0;          // nonzero: shown red (failure or stop)
    int status = 0;           // the engine's status, 0 for success
    double pValue = qQNaN();  // NaN when the run gave none
};

// How much of a report a run builds: the whole entry, or for a run that
// succeeds only its figures (a batch that prints the P-value alone need not
// format the entry's text for every table). A failure always has its text.
enum class ReportText { Full, FiguresOnly };

// A figure of a report's table: `digits` significant digits, "inf" for an
// infinite ratio or limit, "-" for a figure the data do not give.
inline QString reportFigure(double value, int digits = 4)
{
    if (std::isnan(value))
        return QStringLiteral("-");
    if (std::isinf(value))
        return QStringLiteral("inf");
    return QString::number(value, 'g', digits);
}

// One row of a report's HTML table, of header or data cells.
inline QString reportRow(const QStringList &cells, bool header = false)
{
    const QString open = header ? QStringLiteral("<th>") : QStringLiteral("<td>");
    const QString close = header ? QStringLiteral("</th>") : QStringLiteral("</td>");
    QString text = QStringLiteral("<tr>");
    for (const QString &c : cells)
        text += open + c + close;
    return text + QStringLiteral("</tr>");
}

// Starts (maximum >= 1) or ends (below 1) a progress display around the
// engine; may be empty.
using ProgressDisplay = std::function<void(int maximum)>;

// A probability as reported: sums of many terms can round a little above 1
// (or, for a tail computed as 1 - x, below 0); no report shows such a value.
// NaN passes through.
inline double reportedProbability(double p)
{
    if (p > 1.0)
        return 1.0;
    if (p < 0.0)
        return 0.0;
    return p;
}

// One entry of the Results window as it is appended: the opening font tag
// (dark blue, or red for an error), the separator rule, the message and the
// closing tag.
QString resultsEntry(const QString &message, int isError);
