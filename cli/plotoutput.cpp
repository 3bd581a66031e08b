#include "plotoutput.h"

#include "cliprocess.h"
#include "pictureexport.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

PlotOutput::PlotOutput(const QString &target, const QSize &size, const QFont &font)
    : target(target), size(size), font(font)
{
    const qsizetype dot = target.lastIndexOf(u'.');
    folder = target.left(dot);
    extension = target.mid(dot);
}

bool PlotOutput::makeFolder()
{
    if (folderMade)
        return true;
    const QByteArray path = QFile::encodeName(folder);
    struct stat info;
    if (::mkdir(path.constData(), 0777) != 0
        && !(errno == EEXIST && ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode))) {
        const int error = errno == EEXIST ? ENOTDIR : errno;
        cliprocess::printError(QStringLiteral("cannot make the folder %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(error))));
        writeFailed = true;
        return false;
    }
    folderMade = true;
    return true;
}

void PlotOutput::write(const PicturePtr &picture, const QString &fileName)
{
    if (!picture || writeFailed)
        return;
    QString reason;
    if (!pictures::writePicture(*picture, fileName, size, font, &reason)) {
        // One message: the rest would fail alike.
        cliprocess::printError(QStringLiteral("cannot write %1: %2").arg(fileName, reason));
        writeFailed = true;
    }
}

void PlotOutput::add(const PicturePtr &picture)
{
    ++lines;
    if (lines == 1) {
        first = picture;
        return;
    }
    if (!makeFolder())
        return;
    if (lines == 2) {
        write(first, QDir(folder).filePath(QStringLiteral("table-1") + extension));
        first.reset();
    }
    write(picture, QDir(folder).filePath(QStringLiteral("table-%1").arg(lines) + extension));
}

bool PlotOutput::finish()
{
    if (lines == 1 && first) {
        write(first, target);
        first.reset();
    }
    return !writeFailed;
}
