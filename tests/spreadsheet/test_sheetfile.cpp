// The *.sp file: exact bytes written, round trips, and every way a read or
// a write can fail without harming the grid or the file on disk.
#include "documentprompts.h"
#include "spreadsheet.h"
#include "textdevices.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray be16(quint16 v)
{
    QByteArray b(2, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

const QByteArray kMagic = QByteArray::fromHex("7F51C883");

// One record as the format lays it out, built by hand rather than by
// QDataStream so that the reader is checked against the layout itself.
QByteArray record(quint16 row, quint16 column, const QString &text)
{
    QByteArray r = be16(row) + be16(column) + be32(quint32(text.size() * 2));
    for (QChar ch : text)
        r += be16(ch.unicode());
    return r;
}

QByteArray rawRecord(quint16 row, quint16 column, quint32 length, const QByteArray &payload)
{
    return be16(row) + be16(column) + be32(length) + payload;
}

// The kind of a directory entry itself, a symbolic link not followed.
mode_t entryType(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & S_IFMT;
}

// Every formula of the grid, position by position.
QMap<int, QString> contents(const Spreadsheet &sheet)
{
    QMap<int, QString> map;
    for (int row = 0; row < Spreadsheet::RowCount; ++row)
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            if (sheet.item(row, column))
                map.insert(row * Spreadsheet::ColumnCount + column, sheet.cellFormula(row, column));
    return map;
}

} // namespace

class TestSheetFile final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void emptyGridIsTheMagicNumber();
    void singleFormulaBytes();
    void emptyTextsAreNotSaved();
    void recordsInRowMajorOrder();
    void roundTrip_data();
    void roundTrip();
    void fullGridRoundTrip();
    void magicOnlyGivesEmptyGrid();
    void notASpreadsheetFile_data();
    void notASpreadsheetFile();
    void missingFile();
    void damagedFile_data();
    void damagedFile();
    void outOfRangeAndRepeatedPositions();
    void nullTextRecord();
    void loadMarksModifiedUnderWaitCursor();
    void cannotOpenForWriting();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void saveReplacesLongerFile();
    void saveRefusesWhatIsNotAFile_data();
    void saveRefusesWhatIsNotAFile();
    void saveWritesThroughLinks();
    void readFromDevice();
    void documentLargerThanTheGrid();

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

void TestSheetFile::init()
{
    QVERIFY(dir.isValid());
}

void TestSheetFile::emptyGridIsTheMagicNumber()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    QVERIFY(sheet.writeSheet(path(QStringLiteral("empty.sp"))));
    QCOMPARE(readBytes(path(QStringLiteral("empty.sp"))), kMagic);
    QVERIFY(prompts.asked.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestSheetFile::singleFormulaBytes()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(2, 1, QStringLiteral("=A1+1"));
    QVERIFY(sheet.writeSheet(path(QStringLiteral("b3.sp"))));
    const QByteArray expected = QByteArray::fromHex("7F51C883"
                                                    "0002"
                                                    "0001"
                                                    "0000000A"
                                                    "003D00410031002B0031");
    QCOMPARE(expected.size(), 22);
    QCOMPARE(readBytes(path(QStringLiteral("b3.sp"))), expected);
}

void TestSheetFile::emptyTextsAreNotSaved()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("x"));
    sheet.setCellFormula(0, 0, QString());
    sheet.setCellFormula(5, 5, QString());
    QVERIFY(sheet.item(5, 5));
    QVERIFY(sheet.writeSheet(path(QStringLiteral("blank.sp"))));
    QCOMPARE(readBytes(path(QStringLiteral("blank.sp"))), kMagic);
}

void TestSheetFile::recordsInRowMajorOrder()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(1, 0, QStringLiteral("c"));
    sheet.setCellFormula(0, 25, QStringLiteral("b"));
    sheet.setCellFormula(998, 25, QStringLiteral("d"));
    sheet.setCellFormula(0, 1, QStringLiteral("a"));
    QVERIFY(sheet.writeSheet(path(QStringLiteral("order.sp"))));
    QCOMPARE(readBytes(path(QStringLiteral("order.sp"))),
        kMagic + record(0, 1, QStringLiteral("a")) + record(0, 25, QStringLiteral("b"))
            + record(1, 0, QStringLiteral("c")) + record(998, 25, QStringLiteral("d")));
}

void TestSheetFile::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("formula") << QStringLiteral("=A1+1");
    QTest::newRow("lower-case reference") << QStringLiteral("=sum(a1:b2)");
    QTest::newRow("invalid formula") << QStringLiteral("=1/0");
    QTest::newRow("quoted text") << QStringLiteral("'123");
    QTest::newRow("number") << QStringLiteral("-1.5e-3");
    QTest::newRow("blanks") << QStringLiteral("  two  blanks  ");
    QTest::newRow("tab and line feed") << QStringLiteral("a\tb\nc\r\n");
    QTest::newRow("latin accents") << QStringLiteral("Äpfel façade ñ");
    QTest::newRow("CJK") << QStringLiteral("遺伝子型");
    QTest::newRow("surrogate pair") << QStringLiteral("allele \U0001F9EC");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("x");
    QTest::newRow("NUL inside") << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    QTest::newRow("long text") << QString(20000, u'\u00e9');
}

void TestSheetFile::roundTrip()
{
    QFETCH(QString, text);
    DocumentPrompts prompts;
    Spreadsheet source;
    source.setCellFormula(0, 0, text);
    source.setCellFormula(17, 3, text);
    source.setCellFormula(998, 25, text);
    const QString file = path(QStringLiteral("trip.sp"));
    QVERIFY(source.writeSheet(file));

    Spreadsheet target;
    target.setCellFormula(4, 4, QStringLiteral("replaced by the load"));
    target.setCurrentCell(9, 9);
    QVERIFY(target.readSheet(file));
    QCOMPARE(contents(target), contents(source));
    QCOMPARE(target.cellFormula(17, 3), text);
    QCOMPARE(target.currentRow(), 0);
    QCOMPARE(target.currentColumn(), 0);
    QVERIFY(prompts.asked.isEmpty());
}

void TestSheetFile::fullGridRoundTrip()
{
    DocumentPrompts prompts;
    Spreadsheet source;
    for (int row = 0; row < Spreadsheet::RowCount; ++row)
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            source.setCellFormula(row, column,
                column == 0 ? QString::number(row)
                            : QStringLiteral("=%1%2+1").arg(QChar(u'A' + column - 1)).arg(row + 1));
    const QString file = path(QStringLiteral("full.sp"));
    QVERIFY(source.writeSheet(file));
    Spreadsheet target;
    QVERIFY(target.readSheet(file));
    QCOMPARE(contents(target), contents(source));
    // Values are recomputed from the loaded formulas.
    QCOMPARE(target.cellText(998, 25), QString::number(998 + 25));
}

void TestSheetFile::magicOnlyGivesEmptyGrid()
{
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("magic.sp"));
    QVERIFY(writeBytes(file, kMagic));
    Spreadsheet sheet;
    sheet.setCellFormula(3, 3, QStringLiteral("old"));
    QVERIFY(sheet.readSheet(file));
    QVERIFY(contents(sheet).isEmpty());
    QCOMPARE(sheet.rowCount(), Spreadsheet::RowCount);
    QCOMPARE(sheet.columnCount(), Spreadsheet::ColumnCount);
    QCOMPARE(sheet.horizontalHeaderItem(25)->text(), QStringLiteral("Z"));
    QVERIFY(prompts.asked.isEmpty());
}

void TestSheetFile::notASpreadsheetFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text file") << QByteArray("A1,B1\n1,2\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("three bytes of the magic") << kMagic.left(3);
    QTest::newRow("little-endian magic") << QByteArray::fromHex("83C8517F");
}

void TestSheetFile::notASpreadsheetFile()
{
    QFETCH(QByteArray, bytes);
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("other.sp"));
    QVERIFY(writeBytes(file, bytes));
    Spreadsheet sheet;
    sheet.setCellFormula(3, 3, QStringLiteral("kept"));
    sheet.setCurrentCell(5, 6);
    QSignalSpy spy(&sheet, SIGNAL(modified()));
    QVERIFY(!sheet.readSheet(file));
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QCOMPARE(prompts.asked.first().title, QStringLiteral("Velmora"));
    QCOMPARE(prompts.asked.first().text, QStringLiteral("The file %1 is not a Spreadsheet file.").arg(file));
    QCOMPARE(prompts.asked.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(contents(sheet), (QMap<int, QString> { { 3 * 26 + 3, QStringLiteral("kept") } }));
    QCOMPARE(sheet.currentRow(), 5);
    QCOMPARE(spy.count(), 0);
}

void TestSheetFile::missingFile()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("kept"));
    const QString file = path(QStringLiteral("absent.sp"));
    QVERIFY(!sheet.readSheet(file));
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.lastText(),
        QStringLiteral("Cannot read file %1:\nNo such file or directory.").arg(file));
    QCOMPARE(sheet.cellFormula(0, 0), QStringLiteral("kept"));
}

void TestSheetFile::damagedFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = record(0, 0, QStringLiteral("=B1"));
    QTest::newRow("ends inside a header") << kMagic + good + be16(1) + be16(1) + QByteArray(1, 0);
    QTest::newRow("header without text") << kMagic + be16(1) + be16(1);
    QTest::newRow("one stray byte") << kMagic + good + QByteArray(1, 0);
    QTest::newRow("odd length") << kMagic + rawRecord(0, 0, 3, QByteArray(3, 'a'));
    QTest::newRow("length past the end") << kMagic + good + rawRecord(1, 1, 10, QByteArray(8, 0));
    QTest::newRow("huge length") << kMagic + rawRecord(0, 0, 0xFFFFFFFE, QByteArray(16, 0));
    QTest::newRow("damage after the grid")
        << kMagic + good + rawRecord(999, 0, 4, QByteArray(2, 0));
}

void TestSheetFile::damagedFile()
{
    QFETCH(QByteArray, bytes);
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("damaged.sp"));
    QVERIFY(writeBytes(file, bytes));
    Spreadsheet sheet;
    sheet.setCellFormula(7, 7, QStringLiteral("kept"));
    sheet.setCurrentCell(2, 2);
    QSignalSpy spy(&sheet, SIGNAL(modified()));
    QVERIFY(!sheet.readSheet(file));
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QCOMPARE(prompts.asked.first().title, QStringLiteral("Velmora"));
    QCOMPARE(prompts.lastText(), QStringLiteral("The file %1 is damaged.").arg(file));
    QCOMPARE(contents(sheet), (QMap<int, QString> { { 7 * 26 + 7, QStringLiteral("kept") } }));
    QCOMPARE(sheet.currentRow(), 2);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!QApplication::overrideCursor());
}

void TestSheetFile::outOfRangeAndRepeatedPositions()
{
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("odd.sp"));
    QVERIFY(writeBytes(file,
        kMagic + record(999, 0, QStringLiteral("row 999"))
            + record(0, 26, QStringLiteral("column 26"))
            + record(0xFFFF, 0xFFFF, QStringLiteral("far")) + record(4, 2, QStringLiteral("first"))
            + record(998, 25, QStringLiteral("corner")) + record(4, 2, QStringLiteral("=1+1"))
            + record(0, 0, QString())));
    Spreadsheet sheet;
    QVERIFY(sheet.readSheet(file));
    QVERIFY(prompts.asked.isEmpty());
    QCOMPARE(sheet.cellFormula(4, 2), QStringLiteral("=1+1"));
    QCOMPARE(sheet.cellText(4, 2), QStringLiteral("2"));
    QCOMPARE(sheet.cellFormula(998, 25), QStringLiteral("corner"));
    // An empty text still makes an (empty) item, as setting it would.
    QVERIFY(sheet.item(0, 0));
    QCOMPARE(contents(sheet).size(), 3);
    QCOMPARE(sheet.rowCount(), Spreadsheet::RowCount);
    QCOMPARE(sheet.columnCount(), Spreadsheet::ColumnCount);
}

void TestSheetFile::nullTextRecord()
{
    // 0xFFFFFFFF is the stream's null string: a complete record with no
    // text bytes.
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("null.sp"));
    QVERIFY(writeBytes(file,
        kMagic + rawRecord(1, 1, 0xFFFFFFFF, QByteArray())
            + record(2, 2, QStringLiteral("after"))));
    Spreadsheet sheet;
    QVERIFY(sheet.readSheet(file));
    QCOMPARE(sheet.cellFormula(1, 1), QString());
    QCOMPARE(sheet.cellFormula(2, 2), QStringLiteral("after"));
}

void TestSheetFile::loadMarksModifiedUnderWaitCursor()
{
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("cursor.sp"));
    QVERIFY(writeBytes(
        file, kMagic + record(0, 0, QStringLiteral("1")) + record(0, 1, QStringLiteral("=A1*2"))));
    Spreadsheet sheet;
    QList<int> shapes;
    connect(&sheet, &Spreadsheet::modified, this, [&shapes] {
        const QCursor *cursor = QApplication::overrideCursor();
        shapes.append(cursor ? int(cursor->shape()) : -1);
    });
    QVERIFY(sheet.readSheet(file));
    QVERIFY(!shapes.isEmpty());
    QCOMPARE(shapes.count(int(Qt::WaitCursor)), shapes.size());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("2"));
}

void TestSheetFile::cannotOpenForWriting()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    const QString missingDir = path(QStringLiteral("no/such/dir/x.sp"));
    QVERIFY(!sheet.writeSheet(missingDir));
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QVERIFY(
        prompts.lastText().startsWith(QStringLiteral("Cannot write file %1:\n").arg(missingDir)));
    QVERIFY(prompts.lastText().endsWith(u'.'));
    QVERIFY(prompts.lastText().size()
        > QStringLiteral("Cannot write file %1:\n.").arg(missingDir).size());
    QVERIFY(!QFile::exists(missingDir));

    QVERIFY(!sheet.writeSheet(dir.path()));
    QCOMPARE(prompts.asked.size(), 2);
    QVERIFY(prompts.lastText().startsWith(QStringLiteral("Cannot write file ")));
    QVERIFY(!QApplication::overrideCursor());
}

void TestSheetFile::failedWriteKeepsOldFile_data()
{
    // Below and above the file's write buffer: the failure then shows at the
    // final flush or during the writing itself.
    QTest::addColumn<int>("rows");
    QTest::newRow("small document") << 200;
    QTest::newRow("large document") << 999;
}

void TestSheetFile::failedWriteKeepsOldFile()
{
    QFETCH(int, rows);
    // A file-size limit makes the write fail after the file was opened, as a
    // full disk would.
    DocumentPrompts prompts;
    QTemporaryDir own;
    QVERIFY(own.isValid());
    const QString file = own.filePath(QStringLiteral("precious.sp"));
    const QByteArray old = kMagic + record(0, 0, QStringLiteral("old content"));
    QVERIFY(writeBytes(file, old));

    Spreadsheet sheet;
    for (int row = 0; row < rows; ++row)
        sheet.setCellFormula(row, 0, QStringLiteral("=A1+%1 with some text").arg(row));

    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 256;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = sheet.writeSheet(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QCOMPARE(
        prompts.lastText(), QStringLiteral("Cannot write file %1:\nFile too large.").arg(file));
    QCOMPARE(readBytes(file), old);
    // No temporary file is left beside it.
    QCOMPARE(
        QDir(own.path()).entryList(QDir::Files), QStringList { QStringLiteral("precious.sp") });
}

void TestSheetFile::saveReplacesLongerFile()
{
    DocumentPrompts prompts;
    const QString file = path(QStringLiteral("shrink.sp"));
    QVERIFY(writeBytes(file, QByteArray(10000, 'x')));
    Spreadsheet sheet;
    QVERIFY(sheet.writeSheet(file));
    QCOMPARE(readBytes(file), kMagic);
}

void TestSheetFile::saveRefusesWhatIsNotAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    const QString notAFile = QStringLiteral("Not a regular file");
    QTest::newRow("fifo") << QStringLiteral("fifo") << notAFile;
    QTest::newRow("link to a fifo") << QStringLiteral("link to fifo") << notAFile;
    QTest::newRow("folder") << QStringLiteral("folder") << notAFile;
    QTest::newRow("link loop") << QStringLiteral("loop") << QStringLiteral("Too many levels of symbolic links");
}

// Renaming a new file over a FIFO or a device would remove it: such a
// target is refused and stays what it was.
void TestSheetFile::saveRefusesWhatIsNotAFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    DocumentPrompts prompts;
    QTemporaryDir own;
    QVERIFY(own.isValid());
    const QString fifo = own.filePath(QStringLiteral("pipe.sp"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString target = fifo;
    if (kind == u"link to fifo") {
        target = own.filePath(QStringLiteral("link.sp"));
        QVERIFY(QFile::link(QStringLiteral("pipe.sp"), target));
    } else if (kind == u"folder") {
        target = own.filePath(QStringLiteral("folder.sp"));
        QVERIFY(QDir(own.path()).mkdir(QStringLiteral("folder.sp")));
    } else if (kind == u"loop") {
        target = own.filePath(QStringLiteral("a.sp"));
        QVERIFY(QFile::link(QStringLiteral("b.sp"), target));
        QVERIFY(QFile::link(QStringLiteral("a.sp"), own.filePath(QStringLiteral("b.sp"))));
    }
    const QStringList before = QDir(own.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);

    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    QVERIFY(!sheet.writeSheet(target));
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QCOMPARE(prompts.lastText(), QStringLiteral("Cannot write file %1:\n%2.").arg(target, reason));
    QCOMPARE(entryType(fifo), mode_t(S_IFIFO));
    if (target != fifo && kind != u"folder")
        QCOMPARE(entryType(target), mode_t(S_IFLNK));
    // Nothing left beside it.
    QCOMPARE(QDir(own.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
}

// A symbolic link keeps pointing where it did; the file it names takes the
// document, even one the link names before it exists.
void TestSheetFile::saveWritesThroughLinks()
{
    DocumentPrompts prompts;
    QTemporaryDir own;
    QVERIFY(own.isValid());
    QVERIFY(QDir(own.path()).mkdir(QStringLiteral("real")));
    const QString file = own.filePath(QStringLiteral("real/doc.sp"));
    QVERIFY(writeBytes(file, QByteArrayLiteral("old")));
    const QString link = own.filePath(QStringLiteral("link.sp"));
    const QString chain = own.filePath(QStringLiteral("chain.sp"));
    QVERIFY(QFile::link(QStringLiteral("real/doc.sp"), link));
    QVERIFY(QFile::link(QStringLiteral("link.sp"), chain));
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("x"));
    QVERIFY(sheet.writeSheet(chain));
    const QByteArray written = kMagic + record(0, 0, QStringLiteral("x"));
    QCOMPARE(readBytes(file), written);
    QCOMPARE(entryType(link), mode_t(S_IFLNK));
    QCOMPARE(entryType(chain), mode_t(S_IFLNK));
    QCOMPARE(entryType(file), mode_t(S_IFREG));
    QCOMPARE(QFile(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
             QFileDevice::Permissions());

    const QString dangling = own.filePath(QStringLiteral("new.sp"));
    QVERIFY(QFile::link(QStringLiteral("real/new.sp"), dangling));
    QVERIFY(sheet.writeSheet(dangling));
    QCOMPARE(entryType(dangling), mode_t(S_IFLNK));
    QCOMPARE(readBytes(own.filePath(QStringLiteral("real/new.sp"))), written);
    QVERIFY(prompts.asked.isEmpty());
}

// Standard input and other streams: the same document as from a file,
// whatever pieces it arrives in, and named as the caller names it.
void TestSheetFile::readFromDevice()
{
    DocumentPrompts prompts;
    const QByteArray document = kMagic + record(0, 0, QStringLiteral("1")) + record(2, 3, QStringLiteral("=A1*2"))
        + record(0, 0, QString(300, u'z'));
    for (qint64 piece : { qint64(1), qint64(7), qint64(1) << 20 }) {
        TrickleDevice device(document, piece);
        Spreadsheet sheet;
        QVERIFY(sheet.readSheet(device, QStringLiteral("-")));
        QCOMPARE(contents(sheet),
            (QMap<int, QString> { { 0, QString(300, u'z') }, { 2 * 26 + 3, QStringLiteral("=A1*2") } }));
    }

    Spreadsheet sheet;
    sheet.setCellFormula(5, 5, QStringLiteral("keep"));
    TrickleDevice damaged(document.left(document.size() - 1), 5);
    QVERIFY(!sheet.readSheet(damaged, QStringLiteral("-")));
    QCOMPARE(prompts.lastText(), QStringLiteral("The file - is damaged."));
    // A length beyond the rest of a stream is only found out by reading,
    // which allocates no more than has arrived; one beyond the largest
    // document is refused at once.
    TrickleDevice longLength(kMagic + rawRecord(0, 0, 0x10000000, "ab"), 3);
    QVERIFY(!sheet.readSheet(longLength, QStringLiteral("-")));
    QCOMPARE(prompts.lastText(), QStringLiteral("The file - is damaged."));
    TrickleDevice hugeLength(kMagic + rawRecord(0, 0, 0x7FFFFFFE, "ab"), 3);
    QVERIFY(!sheet.readSheet(hugeLength, QStringLiteral("-")));
    QCOMPARE(prompts.lastText(), QStringLiteral("The file - is larger than the grid can use."));
    QCOMPARE(contents(sheet), (QMap<int, QString> { { 5 * 26 + 5, QStringLiteral("keep") } }));
}

// A document larger than every cell holding the longest text: a file is
// refused by its size before it is read, a stream once that much has come.
void TestSheetFile::documentLargerThanTheGrid()
{
    DocumentPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("keep"));
    const QString file = path(QStringLiteral("huge.sp"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(kMagic), 4);
        // Sparse: no disk space is taken.
        QVERIFY(out.resize(GridSize::MaxDocumentBytes + 1));
    }
    QVERIFY(!sheet.readSheet(file));
    QCOMPARE(prompts.lastText(), QStringLiteral("The file %1 is larger than the grid can use.").arg(file));
    QFile::remove(file);

    // Endless records of the longest text for A1: only the last is kept.
    const QString longest(GridSize::MaxTextLength, u'x');
    TrickleDevice endless(record(0, 0, longest), 1 << 20, true, kMagic);
    QVERIFY(!sheet.readSheet(endless, QStringLiteral("-")));
    QCOMPARE(prompts.lastText(), QStringLiteral("The file - is larger than the grid can use."));
    QVERIFY(endless.served() <= GridSize::MaxDocumentBytes + (1 << 20));
    QVERIFY(endless.served() >= GridSize::MaxDocumentBytes - 2 * record(0, 0, longest).size());
    QCOMPARE(contents(sheet), (QMap<int, QString> { { 0, QStringLiteral("keep") } }));
}

QTEST_MAIN(TestSheetFile)
#include "test_sheetfile.moc"
