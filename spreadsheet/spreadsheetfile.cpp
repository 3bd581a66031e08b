// The *.sp document: a big-endian QDataStream (version 9) holding the magic
// number 0x7F51C883 and then, in row-major order, one record per non-empty
// cell: row (quint16), column (quint16), formula text (QString: byte length
// as quint32, then UTF-16BE code units; 0xFFFFFFFF is a null string).
#include "spreadsheet.h"

#include "uiprompts.h"

#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace {

constexpr quint32 kMagicNumber = 0x7F51C883;
constexpr int kStreamVersion = QDataStream::Qt_4_3;
constexpr int kRecordHeaderSize = 8;
constexpr quint32 kNullStringLength = 0xFFFFFFFF;

// Shows the wait cursor for its lifetime, so that no return path leaves it
// on.
class WaitCursor final
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// One record inside the grid: where its text starts in the file.
struct Record
{
    qint32 position; // row * ColumnCount + column
    qint32 units; // UTF-16 code units, or kNullText for the stream's null string
    qsizetype offset;
};

constexpr qint32 kNullText = -1;

// Walks every record after the magic number without building any string.
// False when the file is damaged: it ends inside a record header, or a text
// length is odd or runs past the end. Records outside the grid are checked
// and then dropped. Every record takes at least 8 bytes of the file, so the
// index, reserved once, stays within twice the file's size.
bool indexRecords(const QByteArray &bytes, std::vector<Record> &records)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype pos = sizeof(quint32);
    if (size < pos) // shortened since its magic number was checked
        return false;
    records.reserve(size_t(size - pos) / kRecordHeaderSize);
    while (pos < size) {
        if (size - pos < kRecordHeaderSize)
            return false;
        const quint16 row = qFromBigEndian<quint16>(data + pos);
        const quint16 column = qFromBigEndian<quint16>(data + pos + 2);
        const quint32 length = qFromBigEndian<quint32>(data + pos + 4);
        pos += kRecordHeaderSize;

        Record record { row * Spreadsheet::ColumnCount + column, kNullText, pos };
        if (length != kNullStringLength) {
            // Compared against what is left before any arithmetic, so a huge
            // length can neither overflow nor reserve memory.
            if (length % 2 != 0 || length > quint64(size - pos))
                return false;
            record.units = qint32(length / 2);
            pos += qsizetype(length);
        }
        if (row < Spreadsheet::RowCount && column < Spreadsheet::ColumnCount)
            records.push_back(record);
    }
    return true;
}

QString decodeText(const QByteArray &bytes, const Record &record)
{
    if (record.units == kNullText)
        return QString();
    QString text(record.units, Qt::Uninitialized);
    qFromBigEndian<char16_t>(bytes.constData() + record.offset, record.units, text.data());
    return text;
}

} // namespace

bool Spreadsheet::writeSheet(const QString &fileName)
{
    // Written beside the old file and renamed over it only when complete, so
    // a failed save never leaves the previous document truncated.
    QSaveFile file(fileName);
    const auto reportFailure = [&](const QString &reason) {
        UiPrompts::current().warning(this, tr("Velmora"),
            tr("Cannot write file %1:\n%2.").arg(file.fileName(), reason), QMessageBox::Ok);
        return false;
    };
    // Unbuffered, so that every failing write reports its own reason rather
    // than a buffer flush with none.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return reportFailure(file.errorString());

    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << kMagicNumber;

        WaitCursor waitCursor;
        for (int row = 0; row < RowCount; ++row) {
            for (int column = 0; column < ColumnCount; ++column) {
                const QString str = cellFormula(row, column);
                if (!str.isEmpty())
                    out << quint16(row) << quint16(column) << str;
            }
        }
    }

    // A short write (a disk filling up) is retried, so the next attempt
    // reports why it failed.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return reportFailure(reason);
        }
        done += qsizetype(written);
    }
    if (!file.commit())
        return reportFailure(file.errorString());
    return true;
}

bool Spreadsheet::readSheet(const QString &fileName)
{
    QFile file(fileName);
    const auto refuse = [this](const QString &text) {
        UiPrompts::current().warning(this, tr("Velmora"), text, QMessageBox::Ok);
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return refuse(tr("Cannot read file %1:\n%2.").arg(file.fileName(), file.errorString()));

    // The magic number first, so that a large file of another kind is
    // rejected without being read into memory.
    const QByteArray magic = file.peek(sizeof(quint32));
    if (magic.size() < qsizetype(sizeof(quint32))
        || qFromBigEndian<quint32>(magic.constData()) != kMagicNumber)
        return refuse(tr("The file is not a Spreadsheet file."));

    // Every record is checked before the grid is touched: a damaged file
    // must not replace the user's grid by part of a document.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return refuse(tr("Cannot read file %1:\n%2.").arg(file.fileName(), file.errorString()));
    std::vector<Record> records;
    if (!indexRecords(bytes, records))
        return refuse(tr("The file %1 is damaged.").arg(file.fileName()));

    // Of several records for one position the last in the file wins; only
    // that one is set, so a file of many repeats costs no grid update each.
    // Offsets grow through the file, so they order repeats without a stable
    // sort's extra buffer.
    std::sort(records.begin(), records.end(), [](const Record &a, const Record &b) {
        return a.position != b.position ? a.position < b.position : a.offset < b.offset;
    });

    clearSheet();
    WaitCursor waitCursor;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record &record = records[i];
        if (i + 1 < records.size() && records[i + 1].position == record.position)
            continue;
        setCellFormula(record.position / ColumnCount, record.position % ColumnCount,
            decodeText(bytes, record));
    }
    return true;
}
