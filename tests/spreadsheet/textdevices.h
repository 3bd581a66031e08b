#pragma once

// Inputs for the readers of text tables and documents: bytes served a few
// at a time, as a pipe may deliver them, or a pattern repeated without end,
// as /dev/zero.
#include "texttablereader.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <cstring>

class TrickleDevice final : public QIODevice
{
public:
    // Serves at most `piece` bytes per read; `endless` repeats `bytes`
    // for ever after `prefix`.
    TrickleDevice(const QByteArray &bytes, qint64 piece, bool endless = false,
                  const QByteArray &prefix = QByteArray())
        : prefix(prefix), bytes(bytes), piece(piece), endless(endless)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }
    qint64 served() const { return total; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        qint64 n = std::min(maxSize, piece);
        const qint64 length = prefix.size() + bytes.size();
        if (!endless)
            n = std::min(n, length - total);
        // Copied a piece of the prefix or of one repetition at a time.
        for (qint64 done = 0; done < n;) {
            const qint64 at = total + done;
            const QByteArray &from = at < prefix.size() ? prefix : bytes;
            const qint64 offset = at < prefix.size() ? at : (at - prefix.size()) % bytes.size();
            const qint64 count = std::min(n - done, qint64(from.size()) - offset);
            std::memcpy(data + done, from.constData() + offset, std::size_t(count));
            done += count;
        }
        total += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray prefix;
    const QByteArray bytes;
    const qint64 piece;
    const bool endless;
    qint64 total = 0;
};

// Every table of `device` as "line:a|b/c|d", tables joined by "//", and
// "//!" with the message when the reading stopped on an error.
inline QString describeTables(QIODevice &device, FieldSeparator separator)
{
    TextTableReader reader(device, separator, QStringLiteral("input"));
    QStringList out;
    TextTable table;
    while (reader.next(table)) {
        QStringList rows;
        for (int row = 0; row < table.rowCount(); ++row)
            rows.append(table.rowFields(row).join(u'|'));
        out.append(QString::number(table.firstLine()) + u':' + rows.join(u'/'));
    }
    if (reader.failed())
        out.append(u'!' + reader.errorString());
    return out.join(QStringLiteral("//"));
}

inline QString describeTables(const QByteArray &bytes, FieldSeparator separator, qint64 piece)
{
    TrickleDevice device(bytes, piece);
    return describeTables(device, separator);
}
