#pragma once

#include "picturesink.h"

#include <QFont>
#include <QSize>
#include <QString>

// Where --plot OUT.ext writes the pictures: one table gives OUT.ext; a
// batch (a second line of output) makes the folder OUT and writes the N-th
// line's picture as OUT/table-N.ext, so the files follow the output's
// order. The first picture is held until a second line shows which it is.
class PlotOutput final : public PictureSink
{
public:
    PlotOutput(const QString &target, const QSize &size, const QFont &font);

    // The picture of the next line of output (null for a line without one).
    void add(const PicturePtr &picture) override;
    // Writes what is still held. False when any picture could not be
    // written; the reason has gone to standard error.
    bool finish();

    bool failed() const { return writeFailed; }

private:
    void write(const PicturePtr &picture, const QString &fileName);
    bool makeFolder();

    QString target;
    QString folder;     // OUT: the target without its extension
    QString extension;  // with its dot
    QSize size;
    QFont font;
    int lines = 0;
    PicturePtr first;
    bool folderMade = false;
    bool writeFailed = false;
};
