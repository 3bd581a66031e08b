// Text tables in the main window: File > Open reads .csv, .tsv and .txt
// tables, Save As writes them, and a table opened from text is written back
// as text only when the user picks that in Save As.
#include "documentprompts.h"
#include "mainwindow.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

namespace {

const QString kDocumentFilter = QStringLiteral("Spreadsheet files (*.sp)");
const QString kSaveFilters = QStringLiteral(
    "Spreadsheet files (*.sp);;Comma-separated values (*.csv);;Tab-separated values (*.tsv);;"
    "Text files, tab-separated (*.txt)");

void trigger(MainWindow &window, const QString &text)
{
    QVERIFY2(windowtest::trigger(window, text), qPrintable(text));
}

} // namespace

class TestTextTableWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void openTable_data();
    void openTable();
    void openRefusalKeepsTheDocument();
    void saveOfATableAsksForAType();
    void saveAsText_data();
    void saveAsText();
    void tabSeparatedRefusal();
    void realDialogProposesTheDocument_data();
    void realDialogProposesTheDocument();

private:
    QTemporaryDir settingsDir;
    QTemporaryDir dir;
    QString write(const QString &name, const QByteArray &bytes);
};

void TestTextTableWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(settingsDir.isValid());
    QVERIFY(dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
}

void TestTextTableWindow::init()
{
    QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora")).clear();
}

QString TestTextTableWindow::write(const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestTextTableWindow::openTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("csv") << QStringLiteral("counts.csv") << QByteArray("Genotype,AA,Aa\ncases,45,\"72\"\n");
    QTest::newRow("tsv") << QStringLiteral("counts.tsv") << QByteArray("Genotype\tAA\tAa\ncases\t45\t72\n");
    QTest::newRow("txt, Windows line ends") << QStringLiteral("counts.TXT")
                                            << QByteArray("Genotype\tAA\tAa\r\ncases\t45\t72\r\n");
}

// Through File > Open, with the table type offered beside documents: the
// grid holds the table, the title names the file, nothing is modified,
// the history is empty and the file is among the recent ones.
void TestTextTableWindow::openTable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    DocumentPrompts prompts;
    MainWindow window;
    const QString path = write(name, bytes);
    window.sheet()->setCellFormula(10, 10, QStringLiteral("old"));
    window.sheet()->undoStack()->push(new QUndoCommand(QStringLiteral("old step")));
    prompts.buttonAnswers.enqueue(QMessageBox::No);
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("&Open..."));
    QCOMPARE(prompts.kinds(), windowtest::strings({ "warning", "open" }));
    // Everything Open reads is the type the dialog starts with.
    QVERIFY(prompts.asked.at(1).text.endsWith(
        QStringLiteral("|Spreadsheet files and text tables (*.sp *.csv *.tsv *.txt);;"
                       "Spreadsheet files (*.sp);;Text tables (*.csv *.tsv *.txt)")));

    Spreadsheet *sheet = window.sheet();
    QCOMPARE(sheet->cellFormula(0, 0), QStringLiteral("Genotype"));
    QCOMPARE(sheet->cellFormula(1, 2), QStringLiteral("72"));
    QCOMPARE(sheet->cellText(1, 1), QStringLiteral("45"));
    QCOMPARE(sheet->item(10, 10), nullptr);
    QCOMPARE(window.windowTitle(), name + QStringLiteral("[*] - Velmora"));
    QVERIFY(!window.isWindowModified());
    QCOMPARE(sheet->undoStack()->count(), 0);
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("File loaded"));

    // And from the command line, as `velmora counts.csv`.
    MainWindow second;
    second.openArguments({ path });
    QCOMPARE(second.sheet()->cellFormula(1, 2), QStringLiteral("72"));
    QCOMPARE(second.windowTitle(), name + QStringLiteral("[*] - Velmora"));
}

// A file of two tables is no document: refused with the reason, and the
// grid, the title and the history stay.
void TestTextTableWindow::openRefusalKeepsTheDocument()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    windowtest::typeInto(window.sheet(), 0, 0, QStringLiteral("mine"));
    const QString path = write(QStringLiteral("batch.csv"), "1,2\n\n3,4\n");
    prompts.buttonAnswers.enqueue(QMessageBox::No);
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("&Open..."));
    QCOMPARE(prompts.lastText(),
             path + QStringLiteral(" holds 2 tables separated by empty lines; a document holds one"));
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("mine"));
    QCOMPARE(window.sheet()->undoStack()->count(), 1);
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Loading canceled"));
}

// Save on a table opened from text never writes the text file unasked:
// Save As opens on a document of the same name beside it. Once saved
// there, Save writes the document without asking.
void TestTextTableWindow::saveOfATableAsksForAType()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    const QByteArray table("1,2\n3,4\n");
    const QString csv = write(QStringLiteral("study.csv"), table);
    window.openArguments({ csv });
    windowtest::typeInto(window.sheet(), 0, 0, QStringLiteral("10"));

    // Cancelled: nothing written anywhere, still modified.
    trigger(window, QStringLiteral("&Save"));
    QCOMPARE(prompts.kinds(), windowtest::strings({ "save" }));
    QCOMPARE(prompts.asked.first().text, dir.filePath(QStringLiteral("study.sp")) + u'|' + kSaveFilters);
    QCOMPARE(prompts.unplanned, 1);
    QVERIFY(window.isWindowModified());
    QCOMPARE(windowtest::fileBytes(csv), table);

    const QString document = dir.filePath(QStringLiteral("study.sp"));
    prompts.fileAnswers.enqueue(document);
    trigger(window, QStringLiteral("&Save"));
    QCOMPARE(windowtest::fileBytes(csv), table);
    QVERIFY(windowtest::fileBytes(document).startsWith(QByteArray::fromHex("7F51C883")));
    QCOMPARE(window.windowTitle(), QStringLiteral("study.sp[*] - Velmora"));
    QVERIFY(!window.isWindowModified());

    prompts.asked.clear();
    windowtest::typeInto(window.sheet(), 0, 1, QStringLiteral("20"));
    trigger(window, QStringLiteral("&Save"));
    QVERIFY(prompts.asked.isEmpty());
    Spreadsheet check;
    QVERIFY(check.readSheet(document));
    QCOMPARE(check.cellFormula(0, 1), QStringLiteral("20"));

    // The save question on closing takes the same way.
    const QString second = write(QStringLiteral("other.tsv"), "5\t6\n");
    MainWindow closing;
    closing.show();
    closing.openArguments({ second });
    windowtest::typeInto(closing.sheet(), 0, 0, QStringLiteral("7"));
    prompts.asked.clear();
    prompts.buttonAnswers.enqueue(QMessageBox::Yes);
    QVERIFY(!closing.close());
    QCOMPARE(prompts.kinds(), windowtest::strings({ "warning", "save" }));
    QCOMPARE(windowtest::fileBytes(second), QByteArray("5\t6\n"));
}

void TestTextTableWindow::saveAsText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("csv") << QStringLiteral("out.csv") << QByteArray("a,\"b,c\"\n,=A1\n");
    QTest::newRow("tsv") << QStringLiteral("out.tsv") << QByteArray("a\tb,c\n\t=A1\n");
    QTest::newRow("txt") << QStringLiteral("out.txt") << QByteArray("a\tb,c\n\t=A1\n");
}

// Save As to a table type writes the table; Save then keeps writing it,
// since the user chose that type.
void TestTextTableWindow::saveAsText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    windowtest::fill(window.sheet(), 0, 0, { { "a", "b,c" }, { nullptr, "=A1" } });
    const QString path = dir.filePath(name);
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("Save &As..."));
    QCOMPARE(prompts.asked.first().text.section(u'|', 1), kSaveFilters);
    QCOMPARE(windowtest::fileBytes(path), expected);
    QCOMPARE(window.windowTitle(), name + QStringLiteral("[*] - Velmora"));
    QVERIFY(!window.isWindowModified());
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("File saved"));

    windowtest::typeInto(window.sheet(), 2, 0, QStringLiteral("x"));
    prompts.asked.clear();
    trigger(window, QStringLiteral("&Save"));
    QVERIFY(prompts.asked.isEmpty());
    QCOMPARE(windowtest::fileBytes(path), expected + QByteArray("x\n"));
}

// A formula with a tab or a line break cannot go into a tab-separated
// file: refused with a message that names .csv, nothing written, the
// document still untitled and modified.
void TestTextTableWindow::tabSeparatedRefusal()
{
    DocumentPrompts prompts;
    MainWindow window;
    windowtest::fill(window.sheet(), 0, 0, { { "1", "two\nlines" } });
    const QString path = dir.filePath(QStringLiteral("refused.tsv"));
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("Save &As..."));
    QCOMPARE(prompts.kinds(), windowtest::strings({ "save", "warning" }));
    QCOMPARE(prompts.lastText(),
             QStringLiteral("Cannot write file %1:\ncell B1 holds a tab or a line break, which a "
                            "tab-separated file (.tsv, .txt) cannot hold; use .csv instead.")
                 .arg(path));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QVERIFY(window.isWindowModified());
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Saving canceled"));

    const QString csv = dir.filePath(QStringLiteral("accepted.csv"));
    prompts.fileAnswers.enqueue(csv);
    trigger(window, QStringLiteral("Save &As..."));
    QCOMPARE(windowtest::fileBytes(csv), QByteArray("1,\"two\nlines\"\n"));
    QCOMPARE(prompts.unplanned, 0);
}

void TestTextTableWindow::realDialogProposesTheDocument_data()
{
    QTest::addColumn<int>("chosen"); // the type picked; -1 keeps the proposal
    QTest::addColumn<QString>("returned");
    QTest::newRow("proposal accepted") << -1 << QStringLiteral("study.sp");
    QTest::newRow("CSV picked, name typed") << 1 << QStringLiteral("study.csv");
}

// The real Save As dialog behind the prompts opens in the table's folder
// with the document's name filled in, and the suffix follows the type.
void TestTextTableWindow::realDialogProposesTheDocument()
{
    QFETCH(int, chosen);
    QFETCH(QString, returned);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QString proposed;
    QString shownFolder;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !proposed.isNull())
            return;
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!types || !name) {
            dialog->reject();
            return;
        }
        proposed = name->text();
        shownFolder = dialog->directory().absolutePath();
        if (chosen >= 0) {
            for (int i = 0; i < chosen; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            name->clear();
            QTest::keyClicks(name, QStringLiteral("study"));
        }
        QTest::keyClick(name, Qt::Key_Return);
    });
    driver.start();
    QWidget parent;
    const QString answer = UiPrompts::current().saveFileName(
        &parent, QStringLiteral("Save"), folder.filePath(QStringLiteral("study.sp")), kSaveFilters);
    driver.stop();
    QCOMPARE(proposed, QStringLiteral("study.sp"));
    QCOMPARE(shownFolder, QDir(folder.path()).absolutePath());
    QCOMPARE(answer, folder.filePath(returned));
}

QTEST_MAIN(TestTextTableWindow)
#include "test_texttablewindow.moc"
