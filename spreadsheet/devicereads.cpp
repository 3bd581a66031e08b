#include "devicereads.h"

#include <QIODevice>

#include <algorithm>

qint64 readFully(QIODevice &device, char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 got = device.read(data + done, size - done);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

QByteArray peekFully(QIODevice &device, qint64 size)
{
    // A transaction keeps what a sequential device delivered, to give it
    // back.
    device.startTransaction();
    QByteArray bytes(size, '\0');
    const qint64 got = readFully(device, bytes.data(), size);
    device.rollbackTransaction();
    bytes.resize(std::max<qint64>(got, 0));
    return bytes;
}
