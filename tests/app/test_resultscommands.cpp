// The commands that keep the Results window's report: Copy, Save As (HTML
// and plain text) and Clear with its undo, from the Results menu and the
// window's context menu; and the plain-text form of a report.
#include "documentprompts.h"
#include "mainwindow.h"
#include "reporttext.h"
#include "windowtesthelpers.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTextCursor>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kRule = QStringLiteral("<br /><b>") + QString(57, u'_') + QStringLiteral("</b>");
const QString kCopy = QStringLiteral("&Copy Results");
const QString kSave = QStringLiteral("&Save Results As...");
const QString kClear = QStringLiteral("C&lear Results");
const QString kUndo = QStringLiteral("&Undo Clear Results");

QString report(const MainWindow &window)
{
    return windowtest::reportHtml(window);
}

// A menu's items as shown: text, "-" for a rule, "(off)" when greyed.
QStringList shownItems(const QMenu *menu)
{
    QStringList items;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator())
            items << QStringLiteral("-");
        else
            items << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
    }
    return items;
}

// Right-clicks at a point of a widget and reads the menu that pops up;
// empty when none does.
QStringList contextMenuAt(QWidget *widget, const QPoint &pos)
{
    QStringList items;
    QTimer reader;
    reader.setInterval(10);
    QObject::connect(&reader, &QTimer::timeout, [&items] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            items = shownItems(menu);
            menu->close();
        }
    });
    reader.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
    return items;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestResultsCommands final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plainText_data();
    void plainText();
    void contextMenu();
    void greyedUntilThereIsSomething();
    void copyEverything();
    void copySelection();
    void saveAs_data();
    void saveAs();
    void saveAsKeepsExistingFileWhenAsked();
    void saveFailureIsReported();
    void clearAndUndo();
    void nextEntryEndsUndo();

private:
    QTemporaryDir settingsDir;
};

void TestResultsCommands::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
}

void TestResultsCommands::plainText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    const QString rule(57, u'_');
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one entry")
        << QStringLiteral("<font size=\"+1\" color=\"darkblue\">") + kRule
               + QStringLiteral("<br />Chi-squared test <b>P-VALUE = 0.5</b> for input "
                                "matrix:<br />{ 1, 2 }</font>")
        << QStringLiteral("\n") + rule
               + QStringLiteral("\nChi-squared test P-VALUE = 0.5 for input matrix:\n{ 1, 2 }\n");
    QTest::newRow("entities and fixed spaces")
        << QStringLiteral("<br />a&nbsp;&lt;&nbsp;b &amp; c") << QStringLiteral("\na < b & c\n");
    // The line break before the table shows as an empty line above it.
    QTest::newRow("table, a row per line")
        << QStringLiteral("<br><b>Clusters</b><br><TABLE border=1 cellpadding=5>"
                          "<TR><TD>Factor</TD><TD>F1</TD><TD>F2</TD></TR>"
                          "<TR><TD>Cluster</TD><TD>1</TD><TD>(2.5)</TD></TR></TABLE>after")
        << QStringLiteral("\nClusters\n\nFactor\tF1\tF2\nCluster\t1\t(2.5)\nafter\n");
    QTest::newRow("spanned cell written once")
        << QStringLiteral("<table><tr><td colspan=2>wide</td></tr><tr><td>a</td><td>b</td></tr></table>")
        << QStringLiteral("\nwide\na\tb\n");
}

void TestResultsCommands::plainText()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(reporttext::plainText(html), text);
}

void TestResultsCommands::contextMenu()
{
    MainWindow window;
    window.resize(900, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *dock = window.findChild<QDockWidget *>();
    window.resizeDocks({ dock }, { 300 }, Qt::Vertical);
    window.appendResult(QStringLiteral("<br />first"), 0);
    QCoreApplication::processEvents();

    const QStringList expected { kCopy, kSave, QStringLiteral("-"), kClear,
                                 kUndo + QStringLiteral(" (off)") };
    // On the report itself, in place of the text's own menu, with the
    // command for a picture under the mouse (greyed: none is)...
    ResultsView *view = windowtest::resultsView(window);
    const QStringList onPane = expected + QStringList{ QStringLiteral("-"), QStringLiteral("Save &Picture As... (off)") };
    QCOMPARE(contextMenuAt(view->viewport(), QPoint(5, 5)), onPane);
    // ...and on the white space below it.
    const QPoint below(5, view->viewport()->height() - 5);
    QVERIFY(view->document()->size().height() < below.y());
    QCOMPARE(contextMenuAt(view->viewport(), below), onPane);

    // The Results menu holds the same actions.
    QMenu *menu = nullptr;
    const QList<QAction *> titles = window.menuBar()->actions();
    for (QAction *title : titles)
        if (title->text() == QStringLiteral("&Results"))
            menu = title->menu();
    QVERIFY(menu);
    QCOMPARE(shownItems(menu), onPane);
    for (const QString &text : { kCopy, kSave, kClear, kUndo }) {
        QAction *action = windowtest::action(window, text);
        QVERIFY(menu->actions().contains(action));
        QVERIFY(view->actions().contains(action));
        QVERIFY(!action->statusTip().isEmpty());
    }
}

void TestResultsCommands::greyedUntilThereIsSomething()
{
    DocumentPrompts prompts;
    MainWindow window;
    for (const QString &text : { kCopy, kSave, kClear, kUndo })
        QVERIFY2(!windowtest::action(window, text)->isEnabled(), qPrintable(text));
    window.appendResult(QStringLiteral("<br />x"), 0);
    for (const QString &text : { kCopy, kSave, kClear })
        QVERIFY2(windowtest::action(window, text)->isEnabled(), qPrintable(text));
    QVERIFY(!windowtest::action(window, kUndo)->isEnabled());
}

void TestResultsCommands::copyEverything()
{
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br /><b>P-VALUE = 0.25</b> for input vectors:<br />{ 1, 2 }"), 0);
    window.appendResult(QStringLiteral("<br />Program is stopped by user"), 1);
    QGuiApplication::clipboard()->clear();
    windowtest::action(window, kCopy)->trigger();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    // Rich text for word processors, plain text for everything else.
    QCOMPARE(data->html(), report(window));
    const QString rule(57, u'_');
    QCOMPARE(data->text(),
             QStringLiteral("\n") + rule + QStringLiteral("\nP-VALUE = 0.25 for input vectors:\n{ 1, 2 }\n")
                 + rule + QStringLiteral("\nProgram is stopped by user\n"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Results copied"));
}

void TestResultsCommands::copySelection()
{
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br /><b>P-VALUE = 0.25</b> for input vectors:<br />{ 1, 2 }"), 0);
    ResultsView *view = windowtest::resultsView(window);
    // A selection across a line break, as the mouse makes it.
    const int at = int(view->document()->toPlainText().indexOf(QStringLiteral("vectors")));
    QVERIFY(at > 0);
    QTextCursor cursor(view->document());
    cursor.setPosition(at);
    cursor.setPosition(at + 12, QTextCursor::KeepAnchor);
    view->setTextCursor(cursor);
    windowtest::action(window, kCopy)->trigger();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), QStringLiteral("vectors:\n{ 1"));
    QVERIFY(!data->hasHtml());
}

void TestResultsCommands::saveAs_data()
{
    QTest::addColumn<QString>("answer"); // the save dialog's answer
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("html");
    QTest::newRow("HTML") << QStringLiteral("report.html") << QStringLiteral("report.html") << true;
    QTest::newRow("HTM, any case") << QStringLiteral("report.HTM") << QStringLiteral("report.HTM") << true;
    QTest::newRow("plain text") << QStringLiteral("report.txt") << QStringLiteral("report.txt") << false;
    QTest::newRow("plain text, any case") << QStringLiteral("report.TXT") << QStringLiteral("report.TXT")
                                          << false;
    QTest::newRow("no suffix: HTML") << QStringLiteral("report") << QStringLiteral("report.html") << true;
}

void TestResultsCommands::saveAs()
{
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(bool, html);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br />Gene interaction <b>P-VALUE = 0.0373661</b> &lt;ok&gt;"), 0);
    window.appendResult(QStringLiteral("<br />second"), 0);
    prompts.fileAnswers.enqueue(folder.filePath(answer));
    windowtest::action(window, kSave)->trigger();

    QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("save") });
    QCOMPARE(prompts.asked.first().title, QStringLiteral("Save Results"));
    QVERIFY(prompts.asked.first().text.endsWith(
        QStringLiteral("|HTML files (*.html *.htm);;Text files (*.txt)")));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList { written });
    const QString saved = QString::fromUtf8(readAll(folder.filePath(written)));
    if (html) {
        QVERIFY(saved.startsWith(QStringLiteral("<!DOCTYPE html>\n<html>")));
        QVERIFY(saved.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        QVERIFY(saved.contains(report(window)));
        QVERIFY(saved.endsWith(QStringLiteral("</html>\n")));
        // What a browser shows is what the window shows.
        QTextDocument shown;
        shown.setHtml(saved);
        QCOMPARE(shown.toPlainText().trimmed(), reporttext::plainText(report(window)).trimmed());
    } else {
        QCOMPARE(saved, reporttext::plainText(report(window)));
        QVERIFY(saved.contains(QStringLiteral("Gene interaction P-VALUE = 0.0373661 <ok>\n")));
    }
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Results saved"));
    // Saving leaves the report as it was.
    QVERIFY(report(window).endsWith(QStringLiteral("<br />second</font>")));
    QCOMPARE(prompts.unplanned, 0);
}

void TestResultsCommands::saveAsKeepsExistingFileWhenAsked()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString existing = folder.filePath(QStringLiteral("report.html"));
    {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("older");
    }
    DocumentPrompts prompts;
    MainWindow window;
    window.appendResult(QStringLiteral("<br />newer"), 0);

    prompts.fileAnswers.enqueue(folder.filePath(QStringLiteral("report")));
    prompts.buttonAnswers.enqueue(QMessageBox::No);
    windowtest::action(window, kSave)->trigger();
    QCOMPARE(prompts.lastText(),
             QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(existing));
    QCOMPARE(readAll(existing), QByteArray("older"));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("report"))));

    prompts.fileAnswers.enqueue(folder.filePath(QStringLiteral("report")));
    prompts.buttonAnswers.enqueue(QMessageBox::Yes);
    windowtest::action(window, kSave)->trigger();
    QVERIFY(readAll(existing).contains("newer"));
    QCOMPARE(prompts.unplanned, 0);
}

void TestResultsCommands::saveFailureIsReported()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br />kept"), 0);
    const QString path = folder.filePath(QStringLiteral("missing/report.txt"));
    prompts.fileAnswers.enqueue(path);
    windowtest::action(window, kSave)->trigger();
    QCOMPARE(prompts.kinds(), (QStringList { QStringLiteral("save"), QStringLiteral("warning") }));
    QCOMPARE(prompts.asked.last().title, QStringLiteral("Velmora"));
    QVERIFY2(prompts.lastText().startsWith(QStringLiteral("Cannot write file %1:\n").arg(path)),
             qPrintable(prompts.lastText()));
    QCOMPARE(prompts.asked.last().buttons, QMessageBox::Ok);
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Saving canceled"));
    QVERIFY(!QFile::exists(path));

    // A FIFO in the report's place is refused and stays.
    const QString fifo = folder.filePath(QStringLiteral("pipe.txt"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    prompts.fileAnswers.enqueue(fifo);
    windowtest::action(window, kSave)->trigger();
    QCOMPARE(prompts.lastText(), QStringLiteral("Cannot write file %1:\nNot a regular file.").arg(fifo));
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

void TestResultsCommands::clearAndUndo()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br />one"), 0);
    window.appendResult(QStringLiteral("<br />two"), 1);
    const QString before = report(window);

    windowtest::action(window, kClear)->trigger();
    // Nothing is asked.
    QVERIFY(prompts.asked.isEmpty());
    QCOMPARE(report(window), QString());
    QVERIFY(!windowtest::action(window, kClear)->isEnabled());
    QVERIFY(!windowtest::action(window, kCopy)->isEnabled());
    QVERIFY(windowtest::action(window, kUndo)->isEnabled());

    windowtest::action(window, kUndo)->trigger();
    // Back as it was, colours included.
    QCOMPARE(report(window), before);
    QVERIFY(!windowtest::action(window, kUndo)->isEnabled());
    QVERIFY(windowtest::action(window, kClear)->isEnabled());

    // The next entry after an undone Clear continues the report.
    window.appendResult(QStringLiteral("<br />three"), 0);
    QCOMPARE(report(window).count(QStringLiteral("color=\"darkgreen\">")), 2);
    QCOMPARE(report(window).count(QStringLiteral("color=\"darkblue\">")), 1);
}

void TestResultsCommands::nextEntryEndsUndo()
{
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br />old"), 0);
    windowtest::action(window, kClear)->trigger();
    window.appendResult(QStringLiteral("<br />new"), 1);
    QVERIFY(!windowtest::action(window, kUndo)->isEnabled());
    // The undo is gone even when triggered some other way.
    windowtest::action(window, kUndo)->trigger();
    // The first entry after a Clear is the first of a new report.
    QCOMPARE(report(window), QStringLiteral("<font size=\"+1\" color=\"red\">") + kRule
                                 + QStringLiteral("<br />new</font>"));
}

QTEST_MAIN(TestResultsCommands)
#include "test_resultscommands.moc"
