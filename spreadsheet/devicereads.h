#pragma once

#include <QByteArray>

class QIODevice;

// Reads that do not stop at whatever part of the input has arrived: a pipe
// or a terminal may hand over a few bytes at a time.

// Reads `size` bytes into `data`, fewer only at the end of the input; -1
// when the device fails.
qint64 readFully(QIODevice &device, char *data, qint64 size);

// The first `size` bytes of what is left to read (fewer at the end of the
// input), left in place for the next read.
QByteArray peekFully(QIODevice &device, qint64 size);
