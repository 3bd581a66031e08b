// Menus, toolbars, the context menu and the shortcuts of the main window.
#include "mainwindow.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QDockWidget>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QSet>
#include <QtTest>

using windowtest::strings;

namespace {


// The menu's items as the user reads them: texts, "-" for a rule,
// invisible items left out.
QStringList visibleItems(const QMenu *menu)
{
    QStringList items;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions) {
        if (!action->isVisible())
            continue;
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return items;
}

QMenu *menuTitled(const MainWindow &window, const QString &title)
{
    const QList<QAction *> actions = window.menuBar()->actions();
    for (QAction *action : actions)
        if (action->text() == title)
            return action->menu();
    return nullptr;
}

void activate(MainWindow &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestActions final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void menuBar();
    void menus_data();
    void menus();
    void altLetters();
    void fileMenuWithRecentFile();
    void actionDetails_data();
    void actionDetails();
    void shortcutsAreUnique();
    void toolBars();
    void contextMenu();
    void ctrlBTogglesResults();
    void f9VersusCtrlF9();
    void analyseShortcuts_data();
    void analyseShortcuts();

private:
    QTemporaryDir dir;
};

void TestActions::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir.isValid());
}

void TestActions::init()
{
    QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora")).clear();
}

void TestActions::menuBar()
{
    MainWindow window;
    QStringList titles;
    const QList<QAction *> actions = window.menuBar()->actions();
    for (const QAction *action : actions)
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(titles, (strings({"&File", "&Edit", "&View", "&Analyse", "&Results", "-", "&Help"})));
}

void TestActions::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("file, no recent file")
        << "&File" << strings({"&New", "&Open...", "&Save", "Save &As...", "-", "E&xit"});
    QTest::newRow("edit") << "&Edit"
                          << strings({"&Undo", "&Redo", "-", "Cu&t", "&Copy", "&Paste", "&Delete",
                                         "&Select", "-", "&Find...", "&Go to Cell...", "-",
                                         "Pr&eferences..."});
    QTest::newRow("view") << "&View"
                          << strings({"Show &Results", "&Show Grid", "&Auto-Recalculate",
                                      "&Pictures in Results"});
    QTest::newRow("analyse") << "&Analyse"
                             << strings({"&Gene interaction...", "&Fisher 2xN test...",
                                            "&Chi-squared test...", "Ris&k cluster...",
                                            "Exact &Hardy-Weinberg...", "Genetic &models...", "Meta-&analysis...",
                                            "Two-locus &LD...", "Haplot&ypes...", "-",
                                            "&Recalculate", "&Sort..."});
    QTest::newRow("results") << "&Results"
                             << strings({"&Copy Results", "&Save Results As...", "-",
                                            "C&lear Results", "&Undo Clear Results", "-",
                                            "Save &Picture As..."});
    QTest::newRow("help") << "&Help"
                          << strings({"&User Guide", "&Methods and Citations", "-", "About &Qt", "&About..."});
}

// Every item of every menu has its own Alt letter within its menu.
void TestActions::altLetters()
{
    MainWindow window;
    const QList<QAction *> titles = window.menuBar()->actions();
    for (const QAction *title : titles) {
        if (!title->menu())
            continue;
        QSet<QChar> letters;
        const QList<QAction *> items = title->menu()->actions();
        for (const QAction *item : items) {
            if (item->isSeparator() || item->text().isEmpty())
                continue;
            const qsizetype at = item->text().indexOf(u'&');
            QVERIFY2(at >= 0 && at + 1 < item->text().size(), qPrintable(item->text()));
            const QChar letter = item->text().at(at + 1).toLower();
            QVERIFY2(!letters.contains(letter), qPrintable(title->text() + QStringLiteral(": ") + item->text()));
            letters.insert(letter);
        }
    }
}

void TestActions::menus()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, items);
    MainWindow window;
    const QMenu *found = menuTitled(window, menu);
    QVERIFY(found);
    QCOMPARE(visibleItems(found), items);
}

void TestActions::fileMenuWithRecentFile()
{
    const QString path = dir.filePath(QStringLiteral("counts.sp"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"))
        .setValue(QStringLiteral("recentFiles"), QStringList{path, dir.filePath(QStringLiteral("gone.sp"))});

    MainWindow window;
    QCOMPARE(visibleItems(menuTitled(window, QStringLiteral("&File"))),
             (strings({"&New", "&Open...", "&Save", "Save &As...", "-", "&1 counts.sp", "-",
                          "E&xit"})));
    const QMenu *edit = menuTitled(window, QStringLiteral("&Edit"));
    const QMenu *select = edit->actions().at(7)->menu();
    QVERIFY(select);
    QCOMPARE(visibleItems(select), (strings({"&Row", "&Column", "&All"})));
}

void TestActions::actionDetails_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<QString>("statusTip");
    QTest::addColumn<bool>("hasIcon");
    QTest::addColumn<bool>("checkable");

    QTest::newRow("gene") << "&Gene interaction..." << QKeySequence() << "Test Gene interaction" << false << false;
    QTest::newRow("hwe") << "Exact &Hardy-Weinberg..." << QKeySequence(QStringLiteral("Ctrl+F6"))
                         << "Test Hardy-Weinberg equilibrium" << false << false;
    QTest::newRow("models") << "Genetic &models..." << QKeySequence(QStringLiteral("Ctrl+F5"))
                            << "Genetic models and odds ratios of a case/control genotype table" << false << false;
    QTest::newRow("cluster") << "Ris&k cluster..." << QKeySequence(QStringLiteral("Ctrl+F7"))
                             << "Risk clusterization" << false << false;
    QTest::newRow("chi2") << "&Chi-squared test..." << QKeySequence(QStringLiteral("Ctrl+F8"))
                          << "Calculate chi-squared test" << false << false;
    QTest::newRow("fisher") << "&Fisher 2xN test..." << QKeySequence(QStringLiteral("Ctrl+F9"))
                            << "Calculate Fisher Test" << false << false;
    QTest::newRow("results") << "Show &Results" << QKeySequence(QStringLiteral("Ctrl+B"))
                             << "Show result window" << false << true;
    QTest::newRow("new") << "&New" << QKeySequence(QKeySequence::New) << "Create a new spreadsheet file"
                         << true << false;
    QTest::newRow("open") << "&Open..." << QKeySequence(QKeySequence::Open)
                          << "Open an existing spreadsheet file" << true << false;
    QTest::newRow("save") << "&Save" << QKeySequence(QKeySequence::Save) << "Save the spreadsheet to disk"
                          << true << false;
    QTest::newRow("save as") << "Save &As..." << QKeySequence()
                             << "Save the spreadsheet under a new name" << false << false;
    QTest::newRow("exit") << "E&xit" << QKeySequence(QStringLiteral("Ctrl+Q")) << "Exit the application"
                          << false << false;
    QTest::newRow("undo") << "&Undo" << QKeySequence(QKeySequence::Undo)
                          << "Undo the last change to the cells" << false << false;
    QTest::newRow("redo") << "&Redo" << QKeySequence(QStringLiteral("Ctrl+Shift+Z"))
                          << "Redo the change last undone" << false << false;
    QTest::newRow("cut") << "Cu&t" << QKeySequence(QKeySequence::Cut)
                         << "Cut the current selection's contents to the clipboard" << true << false;
    QTest::newRow("copy") << "&Copy" << QKeySequence(QKeySequence::Copy)
                          << "Copy the current selection's contents to the clipboard" << true << false;
    QTest::newRow("paste") << "&Paste" << QKeySequence(QKeySequence::Paste)
                           << "Paste the clipboard's contents into the current selection" << true << false;
    QTest::newRow("delete") << "&Delete" << QKeySequence(QKeySequence::Delete)
                            << "Delete the current selection's contents" << false << false;
    QTest::newRow("row") << "&Row" << QKeySequence() << "Select all the cells in the current row" << false
                         << false;
    QTest::newRow("column") << "&Column" << QKeySequence()
                            << "Select all the cells in the current column" << false << false;
    QTest::newRow("all") << "&All" << QKeySequence(QKeySequence::SelectAll)
                         << "Select all the cells in the spreadsheet" << false << false;
    QTest::newRow("find") << "&Find..." << QKeySequence(QKeySequence::Find) << "Find a matching cell" << true
                          << false;
    QTest::newRow("go to") << "&Go to Cell..." << QKeySequence(QStringLiteral("Ctrl+G"))
                           << "Go to the specified cell" << true << false;
    QTest::newRow("recalc") << "&Recalculate" << QKeySequence(QStringLiteral("F9"))
                            << "Recalculate all the spreadsheet's formulas" << false << false;
    QTest::newRow("sort") << "&Sort..." << QKeySequence() << "Sort the selected cells or all the cells"
                          << false << false;
    QTest::newRow("grid") << "&Show Grid" << QKeySequence() << "Show or hide the spreadsheet's grid" << false
                          << true;
    QTest::newRow("auto") << "&Auto-Recalculate" << QKeySequence(QStringLiteral("Ctrl+R"))
                          << "Switch auto-recalculation on or off" << false << true;
    QTest::newRow("about") << "&About..." << QKeySequence() << "Show the application's About box" << false
                           << false;
    QTest::newRow("guide") << "&User Guide" << QKeySequence(QKeySequence::HelpContents)
                           << "Show how to use Velmora, with pictures" << false << false;
    QTest::newRow("methods") << "&Methods and Citations" << QKeySequence()
                             << "Show the method of each test and the references to cite" << false << false;
    QTest::newRow("about Qt") << "About &Qt" << QKeySequence() << "Show the Qt library's About box" << false
                              << false;
    QTest::newRow("copy results") << "&Copy Results" << QKeySequence(QStringLiteral("Ctrl+Shift+C"))
                                  << "Copy the selected part of the results, or all of them, to the clipboard"
                                  << false << false;
    QTest::newRow("save results") << "&Save Results As..." << QKeySequence(QStringLiteral("Ctrl+Shift+S"))
                                  << "Save the results as an HTML page or as plain text" << false << false;
    QTest::newRow("clear results") << "C&lear Results" << QKeySequence(QStringLiteral("Ctrl+Shift+Del"))
                                   << "Remove every entry from the Results window" << false << false;
    QTest::newRow("save picture") << "Save &Picture As..." << QKeySequence(QStringLiteral("Ctrl+Shift+P"))
                                  << "Save the picture under the mouse, or the one in view, as PNG, SVG or PDF"
                                  << false << false;
    QTest::newRow("stop") << "Stop the Test" << QKeySequence(QStringLiteral("Esc")) << "" << false << false;
}

// A key given to two commands of the window runs neither: every shortcut
// is one command's.
void TestActions::shortcutsAreUnique()
{
    MainWindow window;
    QHash<QKeySequence, QString> owners;
    const QList<QAction *> actions = window.findChildren<QAction *>();
    for (const QAction *action : actions) {
        for (const QKeySequence &keys : action->shortcuts()) {
            QVERIFY2(!owners.contains(keys), qPrintable(keys.toString() + u' ' + owners.value(keys) + u' ' + action->text()));
            owners.insert(keys, action->text());
        }
    }
    QVERIFY(owners.size() >= 25);
}

void TestActions::actionDetails()
{
    QFETCH(QString, text);
    QFETCH(QKeySequence, shortcut);
    QFETCH(QString, statusTip);
    QFETCH(bool, hasIcon);
    QFETCH(bool, checkable);
    MainWindow window;
    const QAction *action = windowtest::action(window, text);
    QVERIFY(action);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->statusTip(), statusTip);
    QCOMPARE(!action->icon().isNull(), hasIcon);
    QCOMPARE(action->isCheckable(), checkable);
}

void TestActions::toolBars()
{
    MainWindow window;
    const QList<QToolBar *> bars = window.findChildren<QToolBar *>();
    QCOMPARE(bars.size(), 2);
    QStringList file;
    QStringList edit;
    for (const QAction *action : bars.at(0)->actions())
        file << (action->isSeparator() ? QStringLiteral("-") : action->text());
    for (const QAction *action : bars.at(1)->actions())
        edit << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(bars.at(0)->windowTitle(), QStringLiteral("&File"));
    QCOMPARE(file, (strings({"&New", "&Open...", "&Save"})));
    QCOMPARE(bars.at(1)->windowTitle(), QStringLiteral("&Edit"));
    QCOMPARE(edit, (strings({"Cu&t", "&Copy", "&Paste", "-", "&Find...", "&Go to Cell..."})));
}

void TestActions::contextMenu()
{
    MainWindow window;
    QCOMPARE(window.sheet()->contextMenuPolicy(), Qt::ActionsContextMenu);
    QStringList texts;
    for (const QAction *action : window.sheet()->actions()) {
        texts << action->text();
        QVERIFY(!action->icon().isNull());
    }
    QCOMPARE(texts, (strings({"Cu&t", "&Copy", "&Paste"})));
}

void TestActions::ctrlBTogglesResults()
{
    MainWindow window;
    activate(window);
    auto *dock = window.findChild<QDockWidget *>();
    QAction *show = windowtest::action(window, QStringLiteral("Show &Results"));
    QVERIFY(dock->isVisible());
    QVERIFY(show->isChecked());
    QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
    QVERIFY(!dock->isVisible());
    QVERIFY(!show->isChecked());
    QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
    QVERIFY(dock->isVisible());
    QVERIFY(show->isChecked());
}

void TestActions::f9VersusCtrlF9()
{
    MainWindow window;
    activate(window);
    Spreadsheet *sheet = window.sheet();
    QAction *autoRecalc = windowtest::action(window, QStringLiteral("&Auto-Recalculate"));
    autoRecalc->setChecked(false);
    sheet->setCellFormula(0, 0, QStringLiteral("1"));
    sheet->setCellFormula(0, 1, QStringLiteral("=A1*10"));
    QCOMPARE(sheet->cellText(0, 1), QStringLiteral("10"));
    sheet->setCellFormula(0, 0, QStringLiteral("2"));
    QCOMPARE(sheet->cellText(0, 1), QStringLiteral("10"));

    // Ctrl+F9 opens the Fisher dialog and leaves the grid alone.
    QTest::keyClick(&window, Qt::Key_F9, Qt::ControlModifier);
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Fisher 2xN test"));
    QCOMPARE(dialog->testKind, int(TestFisher));
    QCOMPARE(sheet->cellText(0, 1), QStringLiteral("10"));
    dialog->reject();

    // F9 recalculates and opens nothing.
    dialog->testKind = TestNone;
    activate(window);
    QTest::keyClick(&window, Qt::Key_F9);
    QCOMPARE(sheet->cellText(0, 1), QStringLiteral("20"));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->testKind, int(TestNone));
}

void TestActions::analyseShortcuts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("Ctrl+F5") << int(Qt::Key_F5) << int(TestModels) << "Genetic models";
    QTest::newRow("Ctrl+F6") << int(Qt::Key_F6) << int(TestHardyW) << "Exact Hardy-Weinberg";
    QTest::newRow("Ctrl+F7") << int(Qt::Key_F7) << int(TestCluster) << "Risk cluster";
    QTest::newRow("Ctrl+F8") << int(Qt::Key_F8) << int(TestChi2) << "Chi-squared test";
}

void TestActions::analyseShortcuts()
{
    QFETCH(int, key);
    QFETCH(int, kind);
    QFETCH(QString, title);
    MainWindow window;
    activate(window);
    QTest::keyClick(&window, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(window.selectionDialog()->testKind, kind);
    QCOMPARE(window.selectionDialog()->windowTitle(), title);
    QVERIFY(window.selectionDialog()->isVisible());
}

QTEST_MAIN(TestActions)
#include "test_actions.moc"
