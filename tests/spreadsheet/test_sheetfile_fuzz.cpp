// Random and mutated *.sp files fed to readSheet: it must never crash,
// hang or allocate in proportion to a length field, must load exactly what
// a QDataStream reading of a complete file gives, and must leave the grid
// untouched whenever it refuses a file.
#include "allocationtracking.h"
#include "documentprompts.h"
#include "spreadsheet.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <random>

namespace {

constexpr quint32 kMagic = 0x7F51C883;

// What a file should load as, decided by reading it with QDataStream and
// checking the stream's status: nullopt for a file that must be refused.
struct Expectation
{
    bool isSpreadsheet = false;
    bool complete = false;
    QMap<int, QString> cells; // position -> formula, the later record wins
};

Expectation expect(const QByteArray &bytes)
{
    Expectation e;
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_4_3);
    quint32 magic = 0;
    in >> magic;
    if (in.status() != QDataStream::Ok || magic != kMagic)
        return e;
    e.isSpreadsheet = true;
    while (!in.atEnd()) {
        quint16 row = 0;
        quint16 column = 0;
        QString text;
        in >> row >> column >> text;
        if (in.status() != QDataStream::Ok)
            return e;
        if (row < Spreadsheet::RowCount && column < Spreadsheet::ColumnCount)
            e.cells.insert(row * Spreadsheet::ColumnCount + column, text);
    }
    e.complete = true;
    return e;
}

class Generator final
{
public:
    explicit Generator(quint32 seed)
        : rng(seed)
    {
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    QByteArray randomBytes(int maxLength)
    {
        QByteArray b(below(maxLength + 1), '\0');
        for (char &c : b)
            c = char(below(256));
        return b;
    }

    QString randomText()
    {
        static const char16_t pool[] = { u'=', u'A', u'1', u'+', u'\'', u' ', u'z', u'9', u'\u00e9',
            u'\u4e00', 0xD83E, 0xDDEC, 0xD800, 0 };
        QString text;
        const int n = below(4) == 0 ? below(200) : below(12);
        for (int i = 0; i < n; ++i)
            text.append(QChar(pool[below(int(std::size(pool)))]));
        return text;
    }

    // A complete file of random records, some outside the grid and some
    // repeating a position.
    QByteArray validDocument()
    {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_4_3);
        out << kMagic;
        const int records = below(4) == 0 ? below(300) : below(12);
        for (int i = 0; i < records; ++i) {
            quint16 row = quint16(below(Spreadsheet::RowCount));
            quint16 column = quint16(below(Spreadsheet::ColumnCount));
            switch (below(12)) {
            case 0:
                row = quint16(999 + below(200));
                break;
            case 1:
                column = quint16(26 + below(10));
                break;
            case 2:
                row = column = 0xFFFF;
                break;
            case 3:
                row = 3;
                column = 4;
                break; // a popular position
            default:
                break;
            }
            out << row << column;
            if (below(20) == 0)
                out << QString(); // written as the null-string length
            else
                out << randomText();
        }
        return bytes;
    }

    // Record starts of a complete document, to aim mutations at fields.
    static QList<int> recordStarts(const QByteArray &bytes)
    {
        QList<int> starts;
        int pos = 4;
        while (pos + 8 <= bytes.size()) {
            starts.append(pos);
            const quint32 length = qFromBigEndian<quint32>(bytes.constData() + pos + 4);
            pos += 8 + (length == 0xFFFFFFFF ? 0 : int(length));
        }
        return starts;
    }

    QByteArray mutate(QByteArray bytes)
    {
        const QList<int> starts = recordStarts(bytes);
        const int kind = below(9);
        if (starts.isEmpty() && kind >= 3 && kind <= 5)
            return bytes + randomBytes(20);
        switch (kind) {
        case 0: // truncated anywhere after the magic number
            bytes.truncate(4 + below(int(bytes.size()) - 3));
            break;
        case 1: // random bytes flipped
            for (int i = below(4) + 1; i > 0 && bytes.size() > 4; --i)
                bytes[4 + below(int(bytes.size()) - 4)] = char(below(256));
            break;
        case 2: // random bytes appended
            bytes += randomBytes(12);
            break;
        case 3: { // a huge length field
            static const quint32 huge[]
                = { 0x7FFFFFFE, 0x80000000, 0xFFFFFFFE, 0x40000000, 0x10000000, 0xFFFFFFFC };
            const int at = starts[below(int(starts.size()))];
            qToBigEndian(huge[below(int(std::size(huge)))], bytes.data() + at + 4);
            break;
        }
        case 4: { // an odd length field
            const int at = starts[below(int(starts.size()))];
            const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at + 4);
            qToBigEndian(quint32((length == 0xFFFFFFFF ? 0 : length) | 1), bytes.data() + at + 4);
            break;
        }
        case 5: { // a length slightly off either way
            const int at = starts[below(int(starts.size()))];
            const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at + 4);
            qToBigEndian(quint32(length + 2 * (below(5) - 2)), bytes.data() + at + 4);
            break;
        }
        case 6: // bytes removed from the middle
            if (bytes.size() > 5)
                bytes.remove(4 + below(int(bytes.size()) - 4), 1 + below(6));
            break;
        case 7: // the magic number damaged
            bytes[below(4)] = char(below(256));
            break;
        default: // left complete
            break;
        }
        return bytes;
    }

private:
    std::mt19937 rng;
};

} // namespace

class TestSheetFileFuzz final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomAndMutatedFiles();

private:
    QTemporaryDir dir;
};

void TestSheetFileFuzz::initTestCase()
{
    QVERIFY(dir.isValid());
#ifdef VELMORA_TRACK_ALLOCATIONS
    allocations::install();
#endif
}

void TestSheetFileFuzz::randomAndMutatedFiles()
{
    constexpr int kCases = 12000;
    Generator gen(20240611);
    DocumentPrompts prompts;
    Spreadsheet sheet;
    const QString file = dir.filePath(QStringLiteral("fuzz.sp"));

    // Anything that would show the grid was touched.
    int touches = 0;
    const auto touched = [&touches] { ++touches; };
    connect(&sheet, &Spreadsheet::modified, this, touched);
    connect(sheet.model(), &QAbstractItemModel::rowsRemoved, this, touched);
    connect(sheet.model(), &QAbstractItemModel::columnsRemoved, this, touched);
    connect(sheet.model(), &QAbstractItemModel::modelReset, this, touched);

    QMap<int, QString> current = { { 0, QStringLiteral("start") } };
    sheet.setCellFormula(0, 0, QStringLiteral("start"));

    int loaded = 0;
    int damaged = 0;
    int foreign = 0;
    for (int i = 0; i < kCases; ++i) {
        QByteArray bytes;
        const int source = gen.below(10);
        if (source == 0)
            bytes = gen.randomBytes(64);
        else if (source == 1)
            bytes = QByteArray::fromHex("7F51C883") + gen.randomBytes(120);
        else
            bytes = gen.mutate(gen.validDocument());
        {
            // A fresh file each time: rewriting one in place makes some file
            // systems flush it to disk at every close.
            QFile::remove(file);
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(bytes), bytes.size());
        }
        const Expectation e = expect(bytes);
        const int row = gen.below(Spreadsheet::RowCount);
        const int column = gen.below(Spreadsheet::ColumnCount);
        sheet.setCurrentCell(row, column);
        prompts.asked.clear();
        touches = 0;

#ifdef VELMORA_TRACK_ALLOCATIONS
        allocations::start();
#endif
        const bool ok = sheet.readSheet(file);
#ifdef VELMORA_TRACK_ALLOCATIONS
        allocations::stop();
        // Whatever the length fields say: the file itself, the position
        // table and the grid's own bookkeeping.
        const size_t fileSize = size_t(bytes.size());
        if (allocations::largest > 2 * fileSize + (1u << 20))
            QFAIL(qPrintable(QStringLiteral("case %1: allocation of %2 bytes for a file of %3")
                                 .arg(i)
                                 .arg(allocations::largest.load())
                                 .arg(fileSize)));
        if (!ok && allocations::total > 4 * fileSize + (2u << 20))
            QFAIL(qPrintable(QStringLiteral("case %1: %2 bytes allocated to refuse a file of %3")
                                 .arg(i)
                                 .arg(allocations::total.load())
                                 .arg(fileSize)));
#endif

        const QString context = QStringLiteral("case %1, %2 bytes: %3")
                                    .arg(i)
                                    .arg(bytes.size())
                                    .arg(QString::fromLatin1(bytes.left(48).toHex()));
        if (ok != e.complete)
            QFAIL(qPrintable(
                QStringLiteral("readSheet gave %1, expected %2; ").arg(ok).arg(e.complete)
                + context));
        if (ok) {
            ++loaded;
            if (!prompts.asked.isEmpty())
                QFAIL(qPrintable(QStringLiteral("message shown on success; ") + context));
            for (auto it = e.cells.cbegin(); it != e.cells.cend(); ++it) {
                const int r = it.key() / Spreadsheet::ColumnCount;
                const int c = it.key() % Spreadsheet::ColumnCount;
                if (!sheet.item(r, c) || sheet.cellFormula(r, c) != it.value())
                    QFAIL(qPrintable(QStringLiteral("wrong cell %1,%2; ").arg(r).arg(c) + context));
            }
            if (sheet.currentRow() != 0 || sheet.currentColumn() != 0)
                QFAIL(qPrintable(QStringLiteral("current cell not A1; ") + context));
            current = e.cells;
        } else {
            e.isSpreadsheet ? ++damaged : ++foreign;
            if (prompts.asked.size() != 1)
                QFAIL(qPrintable(QStringLiteral("expected one message; ") + context));
            const QString expectedText = e.isSpreadsheet
                ? QStringLiteral("The file %1 is damaged.").arg(file)
                : QStringLiteral("The file %1 is not a Spreadsheet file.").arg(file);
            if (prompts.lastText() != expectedText)
                QFAIL(qPrintable(prompts.lastText() + QStringLiteral("; ") + context));
            if (touches != 0 || sheet.currentRow() != row || sheet.currentColumn() != column)
                QFAIL(qPrintable(QStringLiteral("grid touched by a refused file; ") + context));
        }
        // The whole grid, now and then: nothing more and nothing less than
        // expected.
        if (i % 64 == 0) {
            QMap<int, QString> actual;
            for (int r = 0; r < Spreadsheet::RowCount; ++r)
                for (int c = 0; c < Spreadsheet::ColumnCount; ++c)
                    if (sheet.item(r, c))
                        actual.insert(r * Spreadsheet::ColumnCount + c, sheet.cellFormula(r, c));
            if (actual != current)
                QFAIL(qPrintable(QStringLiteral("grid differs from the expectation; ") + context));
        }
    }
    qInfo(
        "%d files loaded, %d refused as damaged, %d refused as foreign", loaded, damaged, foreign);
    // Each outcome must have been exercised in earnest.
    QVERIFY(loaded > kCases / 10);
    QVERIFY(damaged > kCases / 10);
    QVERIFY(foreign > kCases / 20);
}

QTEST_MAIN(TestSheetFileFuzz)
#include "test_sheetfile_fuzz.moc"
