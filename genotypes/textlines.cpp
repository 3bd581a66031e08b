#include "textlines.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kChunk = qsizetype(1) << 16;

QString systemWords(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

TextLines::~TextLines()
{
    if (fd >= 0)
        ::close(fd);
}

int TextLines::openInput(const QString &path, Kinds kinds, QString *error)
{
    // Not blocking: a FIFO's open would wait for a writer that may never come.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        *error = code == ENOENT ? QStringLiteral("%1: no such file").arg(path)
                                : QStringLiteral("%1: cannot be read (%2)").arg(path, systemWords(code));
        return -1;
    }
    struct stat info {};
    const bool statOk = ::fstat(fd, &info) == 0;
    const bool accepted = statOk
        && (S_ISREG(info.st_mode) || (kinds == Kinds::RegularOrPipe && S_ISFIFO(info.st_mode)));
    if (!accepted) {
        const int code = errno;
        ::close(fd);
        *error = !statOk ? QStringLiteral("%1: cannot be read (%2)").arg(path, systemWords(code))
                 : kinds == Kinds::RegularOnly ? QStringLiteral("%1: not a regular file").arg(path)
                                               : QStringLiteral("%1: neither a regular file nor a pipe").arg(path);
        return -1;
    }
    // Reads wait for data as usual; a FIFO without a writer reads as empty.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool TextLines::open(const QString &file, Kinds kinds, QString *openError, qsizetype longest)
{
    path = file;
    maxLine = longest;
    fd = openInput(file, kinds, openError);
    return fd >= 0;
}

bool TextLines::fill()
{
    buffer.remove(0, at);
    at = 0;
    const qsizetype kept = buffer.size();
    buffer.resize(kept + kChunk);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data() + kept, std::size_t(kChunk));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int code = errno;
            buffer.resize(kept);
            error = QStringLiteral("%1: cannot be read past line %2 (%3)").arg(path).arg(number).arg(systemWords(code));
            return false;
        }
        buffer.resize(kept + qsizetype(got));
        ended = got == 0;
        return true;
    }
}

bool TextLines::next(QByteArrayView *line)
{
    if (fd < 0 || failed())
        return false;
    qsizetype searched = at;
    for (;;) {
        const char *data = buffer.constData();
        const void *newline = std::memchr(data + searched, '\n', std::size_t(buffer.size() - searched));
        const qsizetype end = newline ? static_cast<const char *>(newline) - data : buffer.size();
        if (end - at > maxLine) {
            error = QStringLiteral("%1, line %2: longer than %3 bytes, more than a line of this file may be")
                        .arg(path)
                        .arg(number + 1)
                        .arg(maxLine);
            return false;
        }
        if (newline || (ended && at < buffer.size())) {
            *line = QByteArrayView(data + at, end - at);
            at = newline ? end + 1 : end;
            ++number;
            if (line->endsWith('\r'))
                line->chop(1);
            return true;
        }
        if (ended)
            return false;
        searched = buffer.size() - at;
        if (!fill())
            return false;
    }
}

bool TextLines::next(QByteArray *line)
{
    QByteArrayView view;
    if (!next(&view))
        return false;
    // The storage is kept from line to line: no allocation for most.
    line->resize(view.size());
    if (!view.isEmpty())
        std::memcpy(line->data(), view.data(), std::size_t(view.size()));
    return true;
}
