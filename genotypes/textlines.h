#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The small text files beside a genotype file (.fam, .bim, --pheno,
// --samples, strata), read as a stream of lines, each without its line end
// ("\n" or "\r\n"): never a whole file at once, and the same way from a
// file, a pipe (--pheno <(cut ...)) or a FIFO. A FIFO without a writer reads
// as empty rather than blocking the open. A line longer than maxLine stops
// the reading with a message naming the file and the line, so an endless
// line (a link to /dev/zero given where a pipe is allowed) costs no more
// than that. Read errors carry the system's words.
class TextLines final
{
public:
    enum class Kinds {
        RegularOnly,    // a file of known size (.fam, .bim): anything else is refused
        RegularOrPipe,  // also a pipe or a FIFO (--pheno, --samples)
    };
    static constexpr qsizetype DefaultMaxLine = qsizetype(16) << 20;

    TextLines() = default;
    ~TextLines();
    TextLines(const TextLines &) = delete;
    TextLines &operator=(const TextLines &) = delete;

    // False, with a message naming the file, when it is missing, not of an
    // accepted kind, or cannot be opened.
    bool open(const QString &path, Kinds kinds, QString *error, qsizetype maxLine = DefaultMaxLine);

    // The next line, valid until the next call; false at the end of the
    // input or on an error (failed() tells, errorString() says why).
    bool next(QByteArrayView *line);
    bool next(QByteArray *line);

    // The 1-based number of the line last returned.
    qint64 lineNumber() const { return number; }
    bool failed() const { return !error.isEmpty(); }
    const QString &errorString() const { return error; }

    // Opens `path` for reading if it is of an accepted kind, never blocking
    // on a FIFO; the descriptor (close-on-exec, blocking reads), or -1 with
    // a message naming the file.
    static int openInput(const QString &path, Kinds kinds, QString *error);

private:
    bool fill();

    int fd = -1;
    QString path;
    QByteArray buffer;
    qsizetype at = 0;
    qsizetype maxLine = DefaultMaxLine;
    bool ended = false;
    qint64 number = 0;
    QString error;
};
