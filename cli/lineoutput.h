#pragma once

#include <QByteArray>
#include <QString>

class ProgressLine;

// Result lines go to standard output; when it is the terminal that also
// shows the progress line, the line is taken away first.
class LineOutput final
{
public:
    explicit LineOutput(ProgressLine &progress);

    // One line, without its line end.
    void write(const QString &line);
    // Whole lines in UTF-8, each with its line end.
    void writeLines(const QByteArray &lines);

private:
    ProgressLine &progress;
    const bool sharesTerminal;
};
