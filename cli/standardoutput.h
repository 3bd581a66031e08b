#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

// Standard output of the tool, where every result goes. A result that was
// not written must never pass for a whole one, so every write and the final
// flush are checked; after the first failure nothing more is written, the
// commands stop reading, and the tool ends with the system's words for it
// and exit status 1. A pipe closed by its reader is such a failure when
// SIGPIPE is ignored; otherwise the signal ends the process, as for any
// other program. Used from the main thread only.
class StandardOutput final
{
public:
    // Puts /dev/null, opened the wrong way round, on any of descriptors
    // 0, 1 and 2 that is closed: reads and writes there still fail as on a
    // closed descriptor, and no file that the tool opens can take its place
    // (a result written into an input or a document being converted).
    static void guardDescriptors();

    // False once a write to standard output has failed, this one or an
    // earlier one.
    static bool write(const char *data, std::size_t size);
    static bool write(const QByteArray &bytes) { return write(bytes.constData(), std::size_t(bytes.size())); }
    static bool flush();

    static bool failed() { return error != 0; }
    // "cannot write standard output: " and the system's words.
    static QString failureMessage();

private:
    static bool check(std::size_t written, std::size_t wanted);

    static int error;  // errno of the first failure, 0 while none
};
