#pragma once

#include <QString>
#include <QtNumeric>

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
