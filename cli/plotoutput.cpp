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
    if (folderMade || writeFailed)
        return folderMade;
    writeFailed = true;
    // "/.png" or "dir/.png": the name before the extension names no folder
    // of its own, and the pictures would land in the folder above.
    const QString name = QFileInfo(folder).fileName();
    if (name.isEmpty() || name == u"." || name == u"..") {
        cliprocess::printError(QStringLiteral("--plot %1: a batch's pictures go into a folder named as the file "
                                              "without its extension, and %1 names none")
                                   .arg(target));
        return false;
    }
    // The folder itself, never a link to another: lstat, not stat.
    const QByteArray path = QFile::encodeName(folder);
    struct stat info;
    if (::mkdir(path.constData(), 0777) != 0
        && !(errno == EEXIST && ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode))) {
        const bool link = errno == EEXIST && ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
        const int error = errno == EEXIST ? ENOTDIR : errno;
        cliprocess::printError(link ? QStringLiteral("cannot make the folder %1: a symbolic link is in its place").arg(folder)
                                    : QStringLiteral("cannot make the folder %1: %2")
                                          .arg(folder, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    writeFailed = false;
    folderMade = true;
    return true;
}

void PlotOutput::write(const PicturePtr &picture, const QString &fileName)
{
    if (!picture || writeFailed)
        return;
    // A batch's picture stays in its folder: a link there is not followed.
    struct stat info;
    if (folderMade && ::lstat(QFile::encodeName(fileName).constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        cliprocess::printError(QStringLiteral("cannot write %1: a symbolic link is in its place").arg(fileName));
        writeFailed = true;
        return;
    }
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
