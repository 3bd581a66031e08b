// The document commands of the main window driven through its actions:
// New, Open, Save, Save As, the save question, the recent-file list, the
// stored settings, the title and the About box. Every question is answered
// by DocumentPrompts; settings live in a temporary folder.
#include "aboutdialog.h"
#include "documentprompts.h"
#include "helpwindow.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"
#include "spreadsheet.h"

#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QTextDocument>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kSaveQuestion
    = QStringLiteral("The document Untitled has been modified.\nDo you want to save your changes?");

QSettings settings()
{
    return QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
}

QMenu *fileMenu(const MainWindow &window)
{
    return window.menuBar()->actions().first()->menu();
}

// The five recent-file actions: the File menu's items between its two
// separators.
QList<QAction *> recentActions(const MainWindow &window)
{
    QList<QAction *> list;
    bool inside = false;
    const QList<QAction *> items = fileMenu(window)->actions();
    for (QAction *action : items) {
        if (action->isSeparator()) {
            if (inside)
                break;
            inside = true;
        } else if (inside) {
            list.append(action);
        }
    }
    return list;
}

// What the File menu shows: the texts of its visible items, "-" for a rule.
QStringList visibleFileMenu(const MainWindow &window)
{
    QStringList items;
    const QList<QAction *> actions = fileMenu(window)->actions();
    for (QAction *action : actions)
        if (action->isVisible())
            items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

QStringList shownRecentFiles(const MainWindow &window)
{
    QStringList list;
    const QList<QAction *> actions = recentActions(window);
    for (QAction *action : actions)
        if (action->isVisible())
            list.append(action->data().toString());
    return list;
}

QString statusMessage(const MainWindow &window)
{
    return window.statusBar()->currentMessage();
}

} // namespace

class TestDocuments final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartWithoutSettings();
    void titleRules();
    void saveAsksForNameOnlyWhenUntitled();
    void saveQuestionOnNew_data();
    void saveQuestionOnNew();
    void saveQuestionOnClose_data();
    void saveQuestionOnClose();
    void openFailureChangesNothing_data();
    void openFailureChangesNothing();
    void saveFailureChangesNothing();
    void saveKeepsFifosAndLinks();
    void recentFilesReopenAndMove();
    void moreThanFiveRecentFiles();
    void letterCaseGivesTwoEntries();
    void missingRecentFileDroppedAtNextRefresh();
    void settingsSurviveRestart();
    void aboutBox();
    void statusMessageLastsTwoSeconds();

private:
    QTemporaryDir settingsDir;
    QTemporaryDir docs;
    QString doc(const QString &name) const { return docs.filePath(name); }
    // A document on disk whose A1 holds the given text.
    QString makeDocument(const QString &name, const QString &a1);
};

void TestDocuments::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(settingsDir.isValid());
    QVERIFY(docs.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QVERIFY(settings().fileName().startsWith(settingsDir.path()));
}

void TestDocuments::init()
{
    settings().clear();
}

void TestDocuments::cleanup()
{
    settings().clear();
}

QString TestDocuments::makeDocument(const QString &name, const QString &a1)
{
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, a1);
    const QString path = doc(name);
    return sheet.writeSheet(path) ? path : QString();
}

void TestDocuments::firstStartWithoutSettings()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    QVERIFY(window.sheet()->showGrid());
    QVERIFY(window.sheet()->isAutoRecalculate());
    QVERIFY(windowtest::action(window, QStringLiteral("&Show Grid"))->isChecked());
    QVERIFY(windowtest::action(window, QStringLiteral("&Auto-Recalculate"))->isChecked());
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QCOMPARE(visibleFileMenu(window),
        (QStringList { QStringLiteral("&New"), QStringLiteral("&Open..."), QStringLiteral("&Save"),
            QStringLiteral("Save &As..."), QStringLiteral("-"), QStringLiteral("E&xit") }));
    QVERIFY(prompts.asked.isEmpty());
}

void TestDocuments::titleRules()
{
    DocumentPrompts prompts;
    const QString a = makeDocument(QStringLiteral("title.sp"), QStringLiteral("1"));
    MainWindow window;
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));

    windowtest::action(window, QStringLiteral("&New"))->trigger();
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QVERIFY(!window.isWindowModified());
    window.sheet()->setCellFormula(0, 0, QStringLiteral("x"));
    QVERIFY(window.isWindowModified());

    prompts.buttonAnswers.enqueue(QMessageBox::No);
    prompts.fileAnswers.enqueue(a);
    windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    QCOMPARE(window.windowTitle(), QStringLiteral("title.sp[*] - Velmora"));
    QVERIFY(!window.isWindowModified());
    QCOMPARE(statusMessage(window), QStringLiteral("File loaded"));
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("1"));

    prompts.fileAnswers.enqueue(doc(QStringLiteral("renamed.sp")));
    windowtest::action(window, QStringLiteral("Save &As..."))->trigger();
    QCOMPARE(window.windowTitle(), QStringLiteral("renamed.sp[*] - Velmora"));
    QCOMPARE(statusMessage(window), QStringLiteral("File saved"));

    // Yes to the save question of a titled document saves without asking
    // for a name.
    window.sheet()->setCellFormula(1, 1, QStringLiteral("y"));
    QVERIFY(window.isWindowModified());
    prompts.asked.clear();
    prompts.buttonAnswers.enqueue(QMessageBox::Yes);
    windowtest::action(window, QStringLiteral("&New"))->trigger();
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QVERIFY(!window.isWindowModified());
    QCOMPARE(window.sheet()->cellFormula(0, 0), QString());
    Spreadsheet check;
    QVERIFY(check.readSheet(doc(QStringLiteral("renamed.sp"))));
    QCOMPARE(check.cellFormula(1, 1), QStringLiteral("y"));
    // New leaves the recent list as it was.
    QCOMPARE(shownRecentFiles(window), (QStringList { doc(QStringLiteral("renamed.sp")), a }));
    QCOMPARE(prompts.unplanned, 0);
}

void TestDocuments::saveAsksForNameOnlyWhenUntitled()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.sheet()->setCellFormula(2, 1, QStringLiteral("=A1+1"));
    const QString path = doc(QStringLiteral("named.sp"));
    prompts.fileAnswers.enqueue(path);
    windowtest::action(window, QStringLiteral("&Save"))->trigger();
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("save") });
    QCOMPARE(prompts.asked.first().title, QStringLiteral("Save Spreadsheet"));
    // Nothing used yet: the dialog starts in the user's documents folder
    // (or home), never in the folder the program was started from.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString start = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    QCOMPARE(prompts.asked.first().text,
        start
            + QStringLiteral("|Spreadsheet files (*.sp);;Comma-separated values (*.csv);;"
                             "Tab-separated values (*.tsv);;Text files, tab-separated (*.txt)"));
    QCOMPARE(statusMessage(window), QStringLiteral("File saved"));
    QVERIFY(!window.isWindowModified());

    window.sheet()->setCellFormula(2, 1, QStringLiteral("=A1+2"));
    windowtest::action(window, QStringLiteral("&Save"))->trigger();
    QCOMPARE(prompts.asked.size(), 1); // no second question
    Spreadsheet check;
    QVERIFY(check.readSheet(path));
    QCOMPARE(check.cellFormula(2, 1), QStringLiteral("=A1+2"));

    // A cancelled save dialog writes nothing and reports nothing.
    window.sheet()->setCellFormula(0, 0, QStringLiteral("z"));
    windowtest::action(window, QStringLiteral("Save &As..."))->trigger();
    QVERIFY(window.isWindowModified());
    QCOMPARE(window.windowTitle(), QStringLiteral("named.sp[*] - Velmora"));
}

void TestDocuments::saveQuestionOnNew_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAs"); // the save dialog's answer, if asked
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<bool>("saved");
    QTest::newRow("yes") << int(QMessageBox::Yes) << QStringLiteral("yes.sp") << true << true;
    QTest::newRow("yes, then cancel the save dialog")
        << int(QMessageBox::Yes) << QString() << false << false;
    QTest::newRow("no") << int(QMessageBox::No) << QString() << true << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << QString() << false << false;
    QTest::newRow("box closed") << int(QMessageBox::Escape) << QString() << false << false;
}

void TestDocuments::saveQuestionOnNew()
{
    QFETCH(int, answer);
    QFETCH(QString, saveAs);
    QFETCH(bool, cleared);
    QFETCH(bool, saved);
    DocumentPrompts prompts;
    MainWindow window;
    windowtest::action(window, QStringLiteral("&New"))->trigger();
    window.sheet()->setCellFormula(4, 4, QStringLiteral("unsaved"));
    window.sheet()->setCurrentCell(4, 4);

    // Closing the box answers as Cancel does (the box's escape button).
    prompts.buttonAnswers.enqueue(
        answer == QMessageBox::Escape ? QMessageBox::Cancel : QMessageBox::StandardButton(answer));
    if (answer == QMessageBox::Yes)
        prompts.fileAnswers.enqueue(saveAs.isEmpty() ? QString() : doc(saveAs));
    windowtest::action(window, QStringLiteral("&New"))->trigger();

    QCOMPARE(prompts.asked.first().kind, QStringLiteral("warning"));
    QCOMPARE(prompts.asked.first().title, QStringLiteral("Velmora"));
    QCOMPARE(prompts.asked.first().text, kSaveQuestion);
    QCOMPARE(
        prompts.asked.first().buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(window.sheet()->cellFormula(4, 4).isEmpty(), cleared);
    QCOMPARE(window.isWindowModified(), !cleared);
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    if (!cleared)
        QCOMPARE(window.sheet()->currentRow(), 4);
    QCOMPARE(!saveAs.isEmpty() && QFile::exists(doc(saveAs)), saved);
    if (saved) {
        Spreadsheet check;
        QVERIFY(check.readSheet(doc(saveAs)));
        QCOMPARE(check.cellFormula(4, 4), QStringLiteral("unsaved"));
        QFile::remove(doc(saveAs));
    }
    QCOMPARE(prompts.unplanned, 0);
}

void TestDocuments::saveQuestionOnClose_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("giveName");
    QTest::addColumn<bool>("closes");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("yes, then cancel the save dialog") << int(QMessageBox::Yes) << false << false;
    QTest::newRow("no") << int(QMessageBox::No) << false << true;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
}

void TestDocuments::saveQuestionOnClose()
{
    QFETCH(int, answer);
    QFETCH(bool, giveName);
    QFETCH(bool, closes);
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    window.sheet()->setCellFormula(0, 0, QStringLiteral("pending"));
    prompts.buttonAnswers.enqueue(QMessageBox::StandardButton(answer));
    const QString path = doc(QStringLiteral("onclose.sp"));
    if (answer == QMessageBox::Yes)
        prompts.fileAnswers.enqueue(giveName ? path : QString());

    QCOMPARE(window.close(), closes);
    QCOMPARE(window.isVisible(), !closes);
    QCOMPARE(prompts.asked.first().text, kSaveQuestion);
    // Settings are written only by a close that goes through.
    QCOMPARE(settings().contains(QStringLiteral("autoRecalc")), closes);
    QCOMPARE(QFile::exists(path), answer == QMessageBox::Yes && giveName);
    QFile::remove(path);
    if (!closes)
        QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("pending"));
    QCOMPARE(prompts.unplanned, 0);
}

void TestDocuments::openFailureChangesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("text file") << QByteArray("just some text\n")
                               << QStringLiteral("The file %1 is not a Spreadsheet file.");
    QTest::newRow("damaged file") << QByteArray::fromHex("7F51C883000000000000000A0041")
                                  << QStringLiteral("The file %1 is damaged.");
}

void TestDocuments::openFailureChangesNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    DocumentPrompts prompts;
    const QString good = makeDocument(QStringLiteral("good.sp"), QStringLiteral("good"));
    const QString bad = doc(QStringLiteral("bad.sp"));
    {
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    MainWindow window;
    prompts.fileAnswers.enqueue(good);
    windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    window.sheet()->setCellFormula(1, 0, QStringLiteral("edit"));
    QVERIFY(window.isWindowModified());

    prompts.asked.clear();
    prompts.buttonAnswers.enqueue(QMessageBox::No);
    prompts.fileAnswers.enqueue(bad);
    windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    QCOMPARE(prompts.kinds(),
        (QStringList {
            QStringLiteral("warning"), QStringLiteral("open"), QStringLiteral("warning") }));
    QCOMPARE(prompts.asked.at(1).title, QStringLiteral("Open Spreadsheet"));
    // The folder of the document opened before.
    QVERIFY(prompts.asked.at(1).text.startsWith(docs.path() + QStringLiteral("|Spreadsheet files and text tables")));
    QCOMPARE(prompts.lastText(), message.contains(u'%') ? message.arg(bad) : message);
    QCOMPARE(statusMessage(window), QStringLiteral("Loading canceled"));
    QCOMPARE(window.windowTitle(), QStringLiteral("good.sp[*] - Velmora"));
    QVERIFY(window.isWindowModified());
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("good"));
    QCOMPARE(window.sheet()->cellFormula(1, 0), QStringLiteral("edit"));
    QCOMPARE(shownRecentFiles(window), QStringList { good });
    QCOMPARE(prompts.unplanned, 0);
}

void TestDocuments::saveFailureChangesNothing()
{
    DocumentPrompts prompts;
    MainWindow window;
    windowtest::action(window, QStringLiteral("&New"))->trigger();
    window.sheet()->setCellFormula(0, 0, QStringLiteral("keep"));
    const QString unwritable = doc(QStringLiteral("missing-folder/x.sp"));
    prompts.fileAnswers.enqueue(unwritable);
    windowtest::action(window, QStringLiteral("&Save"))->trigger();
    QCOMPARE(prompts.kinds(), (QStringList { QStringLiteral("save"), QStringLiteral("warning") }));
    QVERIFY(
        prompts.lastText().startsWith(QStringLiteral("Cannot write file %1:\n").arg(unwritable)));
    QCOMPARE(statusMessage(window), QStringLiteral("Saving canceled"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QVERIFY(window.isWindowModified());
    QVERIFY(shownRecentFiles(window).isEmpty());
}

// Saving over a FIFO is refused and the FIFO stays; saving through a
// symbolic link writes the file it names and keeps the link.
void TestDocuments::saveKeepsFifosAndLinks()
{
    DocumentPrompts prompts;
    MainWindow window;
    windowtest::action(window, QStringLiteral("&New"))->trigger();
    window.sheet()->setCellFormula(0, 0, QStringLiteral("kept"));
    const QString fifo = doc(QStringLiteral("fifo.sp"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    prompts.fileAnswers.enqueue(fifo);
    windowtest::action(window, QStringLiteral("Save &As..."))->trigger();
    QCOMPARE(prompts.lastText(), QStringLiteral("Cannot write file %1:\nNot a regular file.").arg(fifo));
    QCOMPARE(statusMessage(window), QStringLiteral("Saving canceled"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    struct stat info {};
    QCOMPARE(::lstat(QFile::encodeName(fifo).constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));

    const QString target = makeDocument(QStringLiteral("target.sp"), QStringLiteral("old"));
    const QString link = doc(QStringLiteral("link.sp"));
    QVERIFY(QFile::link(target, link));
    prompts.fileAnswers.enqueue(link);
    windowtest::action(window, QStringLiteral("Save &As..."))->trigger();
    QCOMPARE(statusMessage(window), QStringLiteral("File saved"));
    QCOMPARE(window.windowTitle(), QStringLiteral("link.sp[*] - Velmora"));
    QVERIFY(QFileInfo(link).isSymLink());
    Spreadsheet check;
    QVERIFY(check.readSheet(target));
    QCOMPARE(check.cellFormula(0, 0), QStringLiteral("kept"));
    QCOMPARE(prompts.unplanned, 0);
}

void TestDocuments::recentFilesReopenAndMove()
{
    DocumentPrompts prompts;
    const QString a = makeDocument(QStringLiteral("a.sp"), QStringLiteral("A"));
    const QString b = makeDocument(QStringLiteral("b.sp"), QStringLiteral("B"));
    const QString c = makeDocument(QStringLiteral("c.sp"), QStringLiteral("C"));
    MainWindow window;
    for (const QString &path : { a, b, c }) {
        prompts.fileAnswers.enqueue(path);
        windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    }
    QCOMPARE(shownRecentFiles(window), (QStringList { c, b, a }));
    QCOMPARE(visibleFileMenu(window),
        (QStringList { QStringLiteral("&New"), QStringLiteral("&Open..."), QStringLiteral("&Save"),
            QStringLiteral("Save &As..."), QStringLiteral("-"), QStringLiteral("&1 c.sp"),
            QStringLiteral("&2 b.sp"), QStringLiteral("&3 a.sp"), QStringLiteral("-"),
            QStringLiteral("E&xit") }));

    // The top entry reopened: the list stays as it is.
    window.sheet()->setCellFormula(0, 0, QStringLiteral("changed"));
    prompts.buttonAnswers.enqueue(QMessageBox::No);
    recentActions(window).at(0)->trigger();
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("C"));
    QCOMPARE(shownRecentFiles(window), (QStringList { c, b, a }));

    // The third entry moves to the top and shifts the first two down.
    recentActions(window).at(2)->trigger();
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("A"));
    QCOMPARE(shownRecentFiles(window), (QStringList { a, c, b }));
    QCOMPARE(recentActions(window).at(0)->text(), QStringLiteral("&1 a.sp"));
    QCOMPARE(window.windowTitle(), QStringLiteral("a.sp[*] - Velmora"));

    // Cancel at the save question leaves everything as it was.
    window.sheet()->setCellFormula(0, 0, QStringLiteral("mine"));
    prompts.buttonAnswers.enqueue(QMessageBox::Cancel);
    recentActions(window).at(1)->trigger();
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("mine"));
    QCOMPARE(shownRecentFiles(window), (QStringList { a, c, b }));
    QCOMPARE(prompts.unplanned, 0);
}

void TestDocuments::moreThanFiveRecentFiles()
{
    DocumentPrompts prompts;
    QStringList paths;
    for (int i = 1; i <= 7; ++i)
        paths.prepend(makeDocument(QStringLiteral("f%1.sp").arg(i), QString::number(i)));
    {
        MainWindow window;
        for (auto it = paths.crbegin(); it != paths.crend(); ++it) {
            prompts.fileAnswers.enqueue(*it);
            windowtest::action(window, QStringLiteral("&Open..."))->trigger();
        }
        QCOMPARE(shownRecentFiles(window), paths.mid(0, 5));
        const QList<QAction *> recent = recentActions(window);
        QCOMPARE(recent.size(), 5);
        for (int j = 0; j < 5; ++j)
            QCOMPARE(recent.at(j)->text(), QStringLiteral("&%1 f%2.sp").arg(j + 1).arg(7 - j));
        QVERIFY(window.close());
    }
    // The whole list is stored, and read back whole.
    QCOMPARE(settings().value(QStringLiteral("recentFiles")).toStringList(), paths);
    MainWindow again;
    QCOMPARE(shownRecentFiles(again), paths.mid(0, 5));
    QVERIFY(again.close());
    QCOMPARE(settings().value(QStringLiteral("recentFiles")).toStringList(), paths);
}

void TestDocuments::letterCaseGivesTwoEntries()
{
    DocumentPrompts prompts;
    const QString lower = makeDocument(QStringLiteral("case.sp"), QStringLiteral("lower"));
    const QString upper = makeDocument(QStringLiteral("CASE.sp"), QStringLiteral("upper"));
    MainWindow window;
    prompts.fileAnswers.enqueue(lower);
    windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    prompts.fileAnswers.enqueue(upper);
    windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    QCOMPARE(shownRecentFiles(window), (QStringList { upper, lower }));
    QCOMPARE(recentActions(window).at(0)->text(), QStringLiteral("&1 CASE.sp"));
    QCOMPARE(recentActions(window).at(1)->text(), QStringLiteral("&2 case.sp"));
}

void TestDocuments::missingRecentFileDroppedAtNextRefresh()
{
    DocumentPrompts prompts;
    const QString gone = makeDocument(QStringLiteral("gone.sp"), QStringLiteral("G"));
    const QString stays = makeDocument(QStringLiteral("stays.sp"), QStringLiteral("S"));
    MainWindow window;
    for (const QString &path : { gone, stays }) {
        prompts.fileAnswers.enqueue(path);
        windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    }
    QVERIFY(QFile::remove(gone));
    QCOMPARE(shownRecentFiles(window), (QStringList { stays, gone }));

    // Chosen from the menu, it fails like any unreadable file...
    prompts.asked.clear();
    recentActions(window).at(1)->trigger();
    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
    QVERIFY(prompts.lastText().startsWith(QStringLiteral("Cannot read file %1:\n").arg(gone)));
    QCOMPARE(statusMessage(window), QStringLiteral("Loading canceled"));
    QCOMPARE(window.windowTitle(), QStringLiteral("stays.sp[*] - Velmora"));
    QCOMPARE(shownRecentFiles(window), (QStringList { stays, gone }));

    // ...and drops out at the next successful save.
    windowtest::action(window, QStringLiteral("&Save"))->trigger();
    QCOMPARE(shownRecentFiles(window), QStringList { stays });
    QVERIFY(window.close());

    // A file missing at start-up is dropped at once.
    const QString other = makeDocument(QStringLiteral("other.sp"), QStringLiteral("O"));
    settings().setValue(QStringLiteral("recentFiles"), QStringList { other, gone, stays });
    QVERIFY(QFile::remove(other));
    MainWindow restarted;
    QCOMPARE(shownRecentFiles(restarted), QStringList { stays });
}

void TestDocuments::settingsSurviveRestart()
{
    DocumentPrompts prompts;
    const QString a = makeDocument(QStringLiteral("kept.sp"), QStringLiteral("k"));
    QByteArray geometry;
    {
        MainWindow window;
        window.show();
        window.resize(700, 500);
        windowtest::action(window, QStringLiteral("&Show Grid"))->trigger();
        windowtest::action(window, QStringLiteral("&Auto-Recalculate"))->trigger();
        QVERIFY(!window.sheet()->showGrid());
        QVERIFY(!window.sheet()->isAutoRecalculate());
        prompts.fileAnswers.enqueue(a);
        windowtest::action(window, QStringLiteral("&Open..."))->trigger();
        geometry = window.saveGeometry();
        QVERIFY(window.close());
    }
    QCOMPARE(settings().value(QStringLiteral("showGrid")).toBool(), false);
    QCOMPARE(settings().value(QStringLiteral("autoRecalc")).toBool(), false);
    QCOMPARE(settings().value(QStringLiteral("recentFiles")).toStringList(), QStringList { a });
    QCOMPARE(settings().value(QStringLiteral("geometry")).toByteArray(), geometry);

    MainWindow window;
    QVERIFY(!window.sheet()->showGrid());
    QVERIFY(!window.sheet()->isAutoRecalculate());
    QVERIFY(!windowtest::action(window, QStringLiteral("&Auto-Recalculate"))->isChecked());
    QCOMPARE(window.size(), QSize(700, 500));
    QCOMPARE(shownRecentFiles(window), QStringList { a });
    // Start-up opens a new, untitled document.
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));

    // An unusable stored geometry is ignored.
    window.close();
    settings().setValue(QStringLiteral("geometry"), QByteArray("junk"));
    MainWindow third;
    QVERIFY(!third.sheet()->showGrid());
}

// The About box states the version that CMake's project() declares, the
// licence, and links to the help that ships; none of it a placeholder.
// Its links open the help window on their pages, the box staying open.
void TestDocuments::aboutBox()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    windowtest::action(window, QStringLiteral("&About..."))->trigger();
    auto *about = window.findChild<AboutDialog *>();
    QVERIFY(about && about->isVisible());
    QVERIFY(!about->isModal());
    QVERIFY(prompts.asked.isEmpty());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Velmora"));
    const QString body = about->textLabel->text();
    QCOMPARE(AboutDialog::version(), QStringLiteral(VELMORA_VERSION));
    QVERIFY(body.contains(QStringLiteral("<h3>Velmora ") + QStringLiteral(VELMORA_VERSION) + QStringLiteral("</h3>")));
    QVERIFY(body.contains(QStringLiteral("version 3 of the License, or (at your option) any later version")));
    QVERIFY(!body.contains(QStringLiteral(".example")));
    QVERIFY(!body.contains(QStringLiteral("1.9")));

    const QStringList pages{QStringLiteral("guide"), QStringLiteral("methods"), QStringLiteral("licence")};
    for (int page = 0; page < pages.size(); ++page) {
        QVERIFY(body.contains(QStringLiteral("href=\"%1\"").arg(pages.at(page))));
        emit about->textLabel->linkActivated(pages.at(page));
        auto *help = window.findChild<HelpWindow *>();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->findChild<QTabWidget *>()->currentIndex(), page);
        QVERIFY(about->isVisible());
    }
}

void TestDocuments::statusMessageLastsTwoSeconds()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    prompts.fileAnswers.enqueue(doc(QStringLiteral("timed.sp")));
    windowtest::action(window, QStringLiteral("Save &As..."))->trigger();
    QCOMPARE(statusMessage(window), QStringLiteral("File saved"));
    QTest::qWait(1000);
    QCOMPARE(statusMessage(window), QStringLiteral("File saved"));
    QTRY_VERIFY_WITH_TIMEOUT(statusMessage(window).isEmpty(), 5000);
}

QTEST_MAIN(TestDocuments)
#include "test_documents.moc"
