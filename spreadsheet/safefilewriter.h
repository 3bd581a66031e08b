#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Every file the application writes goes through here. The content is
// written beside the old file and renamed over it only when complete, so a
// failed write never leaves a file truncated. A symbolic link is followed
// and the file it names is replaced, the link kept. A target that exists and
// is not a regular file (a FIFO, a device, a folder) is refused: renaming
// over it would remove it rather than write to it. Failures carry the
// system's own words ("No space left on device").
class SafeFileWriter final
{
    Q_DECLARE_TR_FUNCTIONS(SafeFileWriter)

public:
    // False, with the reason in `reason`, when `bytes` could not be written
    // as the whole content of `fileName`.
    static bool write(const QString &fileName, const QByteArray &bytes, QString *reason);

    // The file a write of `fileName` replaces: the name itself, or the file
    // a chain of symbolic links ends in. False, with the reason, when that is
    // not a regular file or the chain does not end.
    static bool target(const QString &fileName, QString *path, QString *reason);
};
