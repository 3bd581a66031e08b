// The *.sp document: a big-endian QDataStream (version 9) holding the magic
// number 0x7F51C883 and then, in row-major order, one record per non-empty
// cell: row (quint16), column (quint16), formula text (QString: byte length
// as quint32, then UTF-16BE code units; 0xFFFFFFFF is a null string).
#include "spreadsheet.h"

#include "devicereads.h"
#include "safefilewriter.h"
#include "uiprompts.h"

#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint32 kMagicNumber = 0x7F51C883;
constexpr int kStreamVersion = QDataStream::Qt_4_3;
constexpr int kRecordHeaderSize = 8;
constexpr quint32 kNullStringLength = 0xFFFFFFFF;
// Text bytes read at a time: a length field never decides an allocation
// before the bytes it announces have arrived.
constexpr qint64 kTextChunkBytes = 64 * 1024;

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

enum class ReadOutcome { Complete, Damaged, TooLarge, Failed };

// The texts of a document by position (row * ColumnCount + column), the
// last record for a position winning. A position holds one text at a time,
// so what is kept never exceeds the grid's contents, however many records
// repeat a position; a small document costs a small table.
using DocumentCells = QHash<int, QString>;

// Reads one record's text of `length` bytes (even, not the null length).
ReadOutcome readText(QIODevice &device, quint32 length, QByteArray &chunk, QString &text)
{
    const qint64 units = length / 2;
    // From a file of known size the length was checked against what is left.
    if (!device.isSequential())
        text.reserve(qsizetype(units));
    for (qint64 done = 0; done < units;) {
        const qint64 take = std::min<qint64>(units - done, kTextChunkBytes / 2);
        if (chunk.size() < kTextChunkBytes)
            chunk.resize(kTextChunkBytes);
        const qint64 got = readFully(device, chunk.data(), 2 * take);
        if (got < 0)
            return ReadOutcome::Failed;
        if (got < 2 * take)
            return ReadOutcome::Damaged;
        text.resize(qsizetype(done + take));
        qFromBigEndian<char16_t>(chunk.constData(), qsizetype(take), text.data() + done);
        done += take;
    }
    return ReadOutcome::Complete;
}

// Reads every record after the magic number. Damaged: the input ends inside
// a record, or a text length is odd or runs past the end of a file. Records
// outside the grid are read and then dropped.
ReadOutcome readRecords(QIODevice &device, DocumentCells &cells)
{
    const qint64 fileSize = device.isSequential() ? -1 : device.size();
    qint64 consumed = sizeof(quint32);
    QByteArray chunk;
    QString scratch;  // the text of a record outside the grid
    for (;;) {
        uchar header[kRecordHeaderSize];
        const qint64 got = readFully(device, reinterpret_cast<char *>(header), kRecordHeaderSize);
        if (got < 0)
            return ReadOutcome::Failed;
        if (got == 0)
            return ReadOutcome::Complete;
        if (got < kRecordHeaderSize)
            return ReadOutcome::Damaged;
        consumed += kRecordHeaderSize;
        const quint16 row = qFromBigEndian<quint16>(header);
        const quint16 column = qFromBigEndian<quint16>(header + 2);
        const quint32 length = qFromBigEndian<quint32>(header + 4);

        // A position read again reuses its text's storage, so a stream that
        // repeats one cell costs no allocation per record.
        const bool inGrid = row < Spreadsheet::RowCount && column < Spreadsheet::ColumnCount;
        QString &text = inGrid ? cells[row * Spreadsheet::ColumnCount + column] : scratch;
        if (length == kNullStringLength) {
            text = QString();
        } else {
            // Compared against what is left before anything is read, so a
            // huge length can neither overflow nor reserve memory.
            if (length % 2 != 0 || (fileSize >= 0 && length > fileSize - consumed))
                return ReadOutcome::Damaged;
            if (length > GridSize::MaxDocumentBytes - consumed)
                return ReadOutcome::TooLarge;
            text.resize(0);
            const ReadOutcome outcome = readText(device, length, chunk, text);
            if (outcome != ReadOutcome::Complete)
                return outcome;
            consumed += length;
        }
        if (consumed > GridSize::MaxDocumentBytes)
            return ReadOutcome::TooLarge;
    }
}

} // namespace

QByteArray Spreadsheet::documentBytes() const
{
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << kMagicNumber;
        for (int row = 0; row < RowCount; ++row) {
            for (int column = 0; column < ColumnCount; ++column) {
                const QString str = cellFormula(row, column);
                if (!str.isEmpty())
                    out << quint16(row) << quint16(column) << str;
            }
        }
    }
    return bytes;
}

bool Spreadsheet::writeSheet(const QString &fileName)
{
    QByteArray bytes;
    {
        WaitCursor waitCursor;
        bytes = documentBytes();
    }

    QString reason;
    if (!SafeFileWriter::write(fileName, bytes, &reason)) {
        UiPrompts::current().warning(this, tr("Velmora"),
            tr("Cannot write file %1:\n%2.").arg(fileName, reason), QMessageBox::Ok);
        return false;
    }
    return true;
}

bool Spreadsheet::readSheet(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        UiPrompts::current().warning(this, tr("Velmora"),
            tr("Cannot read file %1:\n%2.").arg(file.fileName(), file.errorString()),
            QMessageBox::Ok);
        return false;
    }
    return readSheet(file, file.fileName());
}

bool Spreadsheet::readSheet(QIODevice &device, const QString &name)
{
    const auto refuse = [this](const QString &text) {
        UiPrompts::current().warning(this, tr("Velmora"), text, QMessageBox::Ok);
        return false;
    };

    // The magic number first, so that a large file of another kind is
    // rejected without being read.
    char magic[sizeof(quint32)];
    if (readFully(device, magic, sizeof magic) != qint64(sizeof magic)
        || qFromBigEndian<quint32>(magic) != kMagicNumber)
        return refuse(tr("The file %1 is not a Spreadsheet file.").arg(name));
    if (!device.isSequential() && device.size() > GridSize::MaxDocumentBytes)
        return refuse(tr("The file %1 is larger than the grid can use.").arg(name));

    // Every record is checked before the grid is touched: a damaged file
    // must not replace the user's grid by part of a document.
    DocumentCells cells;
    switch (readRecords(device, cells)) {
    case ReadOutcome::Complete:
        break;
    case ReadOutcome::Damaged:
        return refuse(tr("The file %1 is damaged.").arg(name));
    case ReadOutcome::TooLarge:
        return refuse(tr("The file %1 is larger than the grid can use.").arg(name));
    case ReadOutcome::Failed:
        return refuse(tr("Cannot read file %1:\n%2.").arg(name, device.errorString()));
    }

    QList<int> positions = cells.keys();
    std::sort(positions.begin(), positions.end());
    clearSheet();
    WaitCursor waitCursor;
    for (int position : positions)
        setCellFormula(position / ColumnCount, position % ColumnCount, cells.value(position));
    return true;
}
