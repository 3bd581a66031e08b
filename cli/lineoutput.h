#pragma once

#include "runpictures.h"

#include <QByteArray>
#include <QString>

#include <vector>

class PictureSink;
class ProgressLine;

// Result lines go to standard output; when it is the terminal that also
// shows the progress line, the line is taken away first. A write that fails
// is told by StandardOutput::failed(); the callers then stop.
class LineOutput final
{
public:
    // plots: where the lines' pictures go (--plot), or null.
    explicit LineOutput(ProgressLine &progress, PictureSink *plots = nullptr);

    // One line, without its line end, and its picture. False once standard
    // output failed.
    bool write(const QString &line, const PicturePtr &picture = nullptr);
    // Whole lines in UTF-8, each with its line end; pictures: one per line
    // (or none at all when there is no --plot).
    bool writeLines(const QByteArray &lines, const std::vector<PicturePtr> &pictures = {});

private:
    ProgressLine &progress;
    PictureSink *plots;
    const bool sharesTerminal;
};
