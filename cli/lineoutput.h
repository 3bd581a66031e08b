#pragma once

#include <QByteArray>
#include <QString>

class ProgressLine;

// Result lines go to standard output; when it is the terminal that also
// shows the progress line, the line is taken away first. A write that fails
// is told by StandardOutput::failed(); the callers then stop.
class LineOutput final
{
public:
    explicit LineOutput(ProgressLine &progress);

    // One line, without its line end. False once standard output failed.
    bool write(const QString &line);
    // Whole lines in UTF-8, each with its line end.
    bool writeLines(const QByteArray &lines);

private:
    ProgressLine &progress;
    const bool sharesTerminal;
};
