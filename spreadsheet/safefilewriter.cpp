#include "safefilewriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// As many links as the kernel itself follows before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool SafeFileWriter::target(const QString &fileName, QString *path, QString *reason)
{
    QString current = fileName;
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(QFile::encodeName(current).constData(), &info) != 0) {
            // Nothing there yet (or nothing we may look at): writing will
            // create the file, or fail and say why.
            *path = current;
            return true;
        }
        if (S_ISREG(info.st_mode)) {
            *path = current;
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            *reason = tr("Not a regular file");
            return false;
        }
        if (links == kMaxLinks) {
            *reason = systemText(ELOOP);
            return false;
        }
        // Relative to the link's folder; a dangling link names the file to
        // create.
        current = QFileInfo(current).symLinkTarget();
    }
}

bool SafeFileWriter::write(const QString &fileName, const QByteArray &bytes, QString *reason)
{
    QString path;
    if (!target(fileName, &path, reason))
        return false;
    QSaveFile file(path);
    // Unbuffered, so that every failing write reports its own reason rather
    // than a buffer flush with none.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *reason = file.errorString();
        return false;
    }
    // A short write (a disk filling up) is retried, so the next attempt
    // reports why it failed.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            *reason = file.errorString();
            file.cancelWriting();
            return false;
        }
        done += qsizetype(written);
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}
