// The Results window: entry colours, separators, context lines, document
// marks, reopening, scrolling to the newest entry's first line, wrapping,
// and the height of the pane.
#include "mainwindow.h"
#include "reporttext.h"
#include "seldialog.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kRule = QStringLiteral("<br /><b>") + QString(57, u'_') + QStringLiteral("</b>");

QString report(const MainWindow &window)
{
    return windowtest::reportHtml(window);
}

// A run's lines: the headline with the P-value, then `rows` echo rows.
QString tallMessage(int rows)
{
    QString message = QStringLiteral("<br />Exact Hardy-Weinberg test <b>P-VALUE = 0.25</b> for input matrix:");
    for (int i = 0; i < rows; ++i)
        message += QStringLiteral("<br />{ 0, 0, 0, 0, 0, 0, 0, 0, %1 }").arg(i);
    return message;
}

} // namespace

class TestResults final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstEntry();
    void threeRunsAndAStop();
    void closedDockReopens();
    void scrollsToTheNewestEntry();
    void contextLineOfARun_data();
    void contextLineOfARun();
    void documentMarks();
    void picturesUnderAnEntry();
    void screenFollowsTheReport_data();
    void screenFollowsTheReport();
    void thirdOfTheHeightThenRemembered();

private:
    QTemporaryDir settingsDir;
};

void TestResults::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
}

void TestResults::firstEntry()
{
    MainWindow window;
    window.appendResult(QStringLiteral("<br />first"), 0);
    QCOMPARE(report(window), QStringLiteral("<font size=\"+1\" color=\"darkblue\">") + kRule
                                 + QStringLiteral("<br />first</font>"));
}

void TestResults::threeRunsAndAStop()
{
    MainWindow window;
    window.show();
    window.appendResult(QStringLiteral("<br />one"), 0);
    window.appendResult(QStringLiteral("<br />two"), 1);
    window.appendResult(QStringLiteral("<br />three"), 0);
    window.appendResult(QStringLiteral("<br />Program is stopped by user"), 1);
    const QString green = QStringLiteral("<font size=\"+1\" color=\"darkgreen\">");
    const QString expected = green + kRule + QStringLiteral("<br />one</font>") + green + kRule
        + QStringLiteral("<br />two</font>") + green + kRule + QStringLiteral("<br />three</font>")
        + QStringLiteral("<font size=\"+1\" color=\"red\">") + kRule
        + QStringLiteral("<br />Program is stopped by user</font>");
    QCOMPARE(report(window), expected);
    QCOMPARE(report(window).count(QString(57, u'_')), 4);
    QVERIFY(!report(window).contains(QString(58, u'_')));
}

void TestResults::closedDockReopens()
{
    MainWindow window;
    window.show();
    auto *dock = window.findChild<QDockWidget *>();
    dock->close();
    QAction *show = dock->toggleViewAction();
    QVERIFY(!show->isChecked());
    window.appendResult(QStringLiteral("<br />again"), 0);
    QVERIFY(dock->isVisible());
    QVERIFY(show->isChecked());
}

// The newest entry's first line, with its P-value, stands at the top of the
// pane, whatever it showed before; long lines wrap, nothing scrolls sideways.
void TestResults::scrollsToTheNewestEntry()
{
    MainWindow window;
    window.resize(600, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ResultsView *view = windowtest::resultsView(window);
    for (int i = 0; i < 30; ++i)
        window.appendResult(tallMessage(3), 0);
    view->verticalScrollBar()->setValue(0);
    window.appendResult(tallMessage(60) + QStringLiteral("<br />") + QString(40, u'x').replace(u'x', QStringLiteral("seed ")), 0);
    QCoreApplication::processEvents();
    const QTextDocument *document = view->document();
    const QRect rule = view->cursorRect(document->find(QString(57, u'_'), document->characterCount(), QTextDocument::FindBackward));
    QVERIFY2(rule.top() >= 0 && rule.top() < 2 * view->fontMetrics().lineSpacing(), qPrintable(QString::number(rule.top())));
    const QRect headline = view->cursorRect(document->find(QStringLiteral("P-VALUE"), document->characterCount(), QTextDocument::FindBackward));
    QVERIFY(headline.top() > rule.top() && headline.bottom() < view->viewport()->height());
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
}

// A run from the test dialog records its test, options, block, document and
// time in a quieter line under the rule; the run's own lines follow as its
// run function wrote them, and the plain text of Copy keeps the line.
void TestResults::contextLineOfARun_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("yates");
    QTest::addColumn<QString>("options");
    QTest::newRow("chi-squared") << "&Chi-squared test..." << false << "Chi-squared test, no Yates correction";
    QTest::newRow("Yates") << "&Chi-squared test..." << true << "Chi-squared test, Yates correction";
    QTest::newRow("Fisher") << "&Fisher 2xN test..." << false << "Fisher 2xN test, accuracy Max";
}

void TestResults::contextLineOfARun()
{
    QFETCH(QString, action);
    QFETCH(bool, yates);
    QFETCH(QString, options);
    MainWindow window;
    window.show();
    windowtest::fill(window.sheet(), 1, 1, {{"10", "20"}, {"30", "40"}});
    QVERIFY(windowtest::trigger(window, action));
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(1, 1, 2, 2), true);
    window.selectionDialog()->yatesCheck->setChecked(yates);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);
    QVERIFY(!windowtest::resultsView(window)->isEmpty());

    const ResultsView::Entry entry = windowtest::resultsView(window)->entries().last();
    const QString prefix = options + QStringLiteral("; B2:C3 of Untitled; ");
    QVERIFY2(entry.context.startsWith(prefix), qPrintable(entry.context));
    const QDateTime when = QDateTime::fromString(entry.context.mid(prefix.size()), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(when >= before && when <= QDateTime::currentDateTime());
    QVERIFY(entry.message.startsWith(QStringLiteral("<br />")) && !entry.message.contains(entry.context));
    // The run's picture follows its numbers, embedded.
    QCOMPARE(entry.pictures.size(), 1);
    QVERIFY(report(window).contains(kRule + QStringLiteral("<br /><font color=\"dimgray\">") + entry.context
                                    + QStringLiteral("</font>") + entry.message
                                    + QStringLiteral("<br /><img src=\"data:image/png;base64,")));
    QVERIFY(reporttext::plainText(report(window)).contains(u'\n' + entry.context + u'\n'));
}

// New and Open put a mark naming the document under the old results; a
// mark with no result after it gives way to the next, an empty report gets
// none, and the run above keeps the colour of the newest.
void TestResults::documentMarks()
{
    MainWindow window;
    QVERIFY(windowtest::trigger(window, QStringLiteral("&New")));
    QVERIFY(windowtest::resultsView(window)->isEmpty());
    window.appendResult(QStringLiteral("<br />old"), 0);
    QVERIFY(windowtest::trigger(window, QStringLiteral("&New")));
    QVERIFY(windowtest::trigger(window, QStringLiteral("&New")));
    QCOMPARE(windowtest::resultsView(window)->entries().size(), 2);
    QVERIFY(reporttext::plainText(report(window)).endsWith(QStringLiteral("\nold\n\nDocument: Untitled\n")));
    QVERIFY(report(window).startsWith(QStringLiteral("<font size=\"+1\" color=\"darkblue\">")));
}

// A picture under an entry: found under the mouse, embedded in the report
// that Copy and Save take, left out of its plain text.
void TestResults::picturesUnderAnEntry()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ResultsView *view = windowtest::resultsView(window);
    const int entry = view->appendResult(QStringLiteral("<br />with a picture"), 0);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QCOMPARE(view->addPicture(entry, image), 0);
    QCOMPARE(view->addPicture(entry + 1, image), -1);
    QVERIFY(view->html().contains(QStringLiteral("<br />with a picture<br /><img src=\"data:image/png;base64,")));
    QCOMPARE(reporttext::plainText(view->html()), QStringLiteral("\n") + QString(57, u'_') + QStringLiteral("\nwith a picture\n"));

    QTextCursor at(view->document());
    at.setPosition(view->document()->find(QString(QChar::ObjectReplacementCharacter)).selectionStart());
    int foundEntry = -1;
    int foundPicture = -1;
    QVERIFY(view->pictureAt(view->cursorRect(at).center() + QPoint(20, 0), &foundEntry, &foundPicture));
    QCOMPARE(foundEntry, entry);
    QCOMPARE(foundPicture, 0);
    QVERIFY(!view->pictureAt(QPoint(2, 2), &foundEntry, &foundPicture));
}

// The pane is written entry by entry, never rebuilt for a new one: after
// every step of a day (runs, failures, marks, pictures under the newest and
// an older entry, Clear and Undo Clear, pictures hidden and shown) it shows
// the report's text line for line, every rule in its entry's colour.
void TestResults::screenFollowsTheReport_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("runs and a stop") << windowtest::strings({"ok", "ok", "fail", "ok", "fail"});
    QTest::newRow("marks") << windowtest::strings({"ok", "mark", "mark", "ok", "mark", "fail", "mark"});
    QTest::newRow("pictures") << windowtest::strings({"ok", "picture", "ok", "old picture", "picture", "hide", "ok", "show"});
    QTest::newRow("clear and back") << windowtest::strings({"ok", "fail", "picture", "mark", "clear", "undo clear", "ok"});
    QTest::newRow("table entries") << windowtest::strings({"table", "ok", "table", "picture", "mark", "table", "hide", "show"});
}

void TestResults::screenFollowsTheReport()
{
    QFETCH(QStringList, steps);
    ResultsView view;
    view.resize(500, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QList<ResultsView::Entry> cleared;
    int runs = 0;
    for (const QString &step : std::as_const(steps)) {
        const QString run = QStringLiteral("run %1").arg(++runs);
        if (step == u"ok" || step == u"fail")
            view.appendResult(QStringLiteral("<br />%1 <b>P-VALUE = 0.5</b><br />{ 1, 2 }").arg(run), step == u"fail",
                              QStringLiteral("context of ") + run);
        else if (step == u"table")
            view.appendResult(QStringLiteral("<br />%1<table border=\"1\"><tr><td>a</td><td>b</td></tr>"
                                             "<tr><td><font color=\"red\">c</font></td><td>d</td></tr></table>after")
                                  .arg(run), 0);
        else if (step == u"mark")
            view.markDocument(run + QStringLiteral(".sp"));
        else if (step == u"picture" || step == u"old picture")
            QVERIFY(view.addPicture(step == u"picture" ? int(view.entries().size()) - 1 : 0, image) >= 0
                    || view.entries().last().kind == ResultsView::Entry::DocumentMark);
        else if (step == u"clear")
            cleared = view.takeEntries();
        else if (step == u"undo clear")
            view.restoreEntries(cleared);
        else
            view.setPicturesShown(step == u"show");

        // The text: the report's, without the line break it starts with.
        QTextDocument exported;
        exported.setHtml(view.html());
        QString report = exported.toPlainText().remove(QChar::ObjectReplacementCharacter);
        while (report.startsWith(u'\n'))
            report.remove(0, 1);
        QCOMPARE(view.toPlainText().remove(QChar::ObjectReplacementCharacter), report);

        // The colours: the newest run's rule blue or red, the others green,
        // a mark's grey.
        int newest = int(view.entries().size()) - 1;
        while (newest >= 0 && view.entries().at(newest).kind != ResultsView::Entry::Result)
            --newest;
        QTextCursor rule(view.document());
        for (int i = 0; i < view.entries().size(); ++i) {
            const ResultsView::Entry &entry = view.entries().at(i);
            const QString first = entry.kind == ResultsView::Entry::Result ? QString(57, u'_')
                                                                           : QStringLiteral("Document: ");
            rule = view.document()->find(first, rule);
            QVERIFY2(!rule.isNull(), qPrintable(step));
            const QColor colour = rule.charFormat().foreground().color();
            const char *expected = entry.kind == ResultsView::Entry::DocumentMark ? "dimgray"
                                   : i != newest                                 ? "darkgreen"
                                   : entry.isError                               ? "red"
                                                                                 : "darkblue";
            QVERIFY2(colour == QColor(QString::fromLatin1(expected)), qPrintable(step + u' ' + QString::number(i)));
        }
    }
}

// At the first start the pane takes a third of the window's height; the
// height the user gives it is kept for the next start.
void TestResults::thirdOfTheHeightThenRemembered()
{
    QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora")).clear();
    int chosen = 0;
    {
        MainWindow window;
        window.resize(900, 900);
        window.show();
        auto *dock = window.findChild<QDockWidget *>();
        QTRY_VERIFY2(qAbs(dock->height() - window.height() / 3) <= 10, qPrintable(QString::number(dock->height())));
        window.resizeDocks({dock}, {450}, Qt::Vertical);
        QTRY_VERIFY(dock->height() > 400);
        chosen = dock->height();
        QVERIFY(window.close());
    }
    MainWindow again;
    again.show();
    QTRY_COMPARE(again.findChild<QDockWidget *>()->height(), chosen);
}

QTEST_MAIN(TestResults)
#include "test_results.moc"
