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
#include <QTextBlock>
#include <QtTest>

namespace {

const QString kRule = QStringLiteral("<br /><b>") + QString(57, u'_') + QStringLiteral("</b>");

QString report(const MainWindow &window)
{
    return windowtest::reportHtml(window);
}

// Where the newest entry's rule is drawn, in viewport coordinates.
QRect newestRule(const ResultsView *view)
{
    const QTextCursor rule = view->document()->find(QString(57, u'_'), view->document()->characterCount(),
                                                    QTextDocument::FindBackward);
    return view->cursorRect(rule);
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
    void scrollsToTheNewestEntry_data();
    void scrollsToTheNewestEntry();
    void longLinesWrap();
    void contextLineOfARun_data();
    void contextLineOfARun();
    void documentMarks();
    void picturesUnderAnEntry();
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
// pane, however tall the entry and whatever the view showed before; an
// entry shorter than the pane is seen whole, down to its last line.
void TestResults::scrollsToTheNewestEntry_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("taller than the pane") << 60;
    QTest::newRow("a few lines") << 2;
}

void TestResults::scrollsToTheNewestEntry()
{
    QFETCH(int, rows);
    MainWindow window;
    window.resize(600, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ResultsView *view = windowtest::resultsView(window);
    for (int i = 0; i < 30; ++i)
        window.appendResult(tallMessage(3), 0);
    view->verticalScrollBar()->setValue(0);
    window.appendResult(tallMessage(rows), 0);
    QCoreApplication::processEvents();

    const QRect rule = newestRule(view);
    const int lineHeight = view->fontMetrics().lineSpacing() * 2;
    QVERIFY2(rule.top() >= 0 && rule.top() < view->viewport()->height(), qPrintable(QString::number(rule.top())));
    QScrollBar *bar = view->verticalScrollBar();
    if (bar->value() < bar->maximum()) {
        // Not at the end: the rule is the top line.
        QVERIFY2(rule.top() < lineHeight, qPrintable(QString::number(rule.top())));
    } else {
        // At the end: the whole entry is in view below its rule.
        QCOMPARE(rows, 2);
    }
    const QTextCursor pValue = view->document()->find(QStringLiteral("P-VALUE"), view->document()->characterCount(),
                                                      QTextDocument::FindBackward);
    const QRect headline = view->cursorRect(pValue);
    QVERIFY(headline.top() > rule.top() && headline.bottom() < view->viewport()->height());
    QCOMPARE(view->horizontalScrollBar()->value(), 0);
}

// A Monte Carlo headline is long: it wraps at the pane's width, the seed at
// its end stays on screen, and there is nothing to scroll sideways.
void TestResults::longLinesWrap()
{
    MainWindow window;
    window.resize(700, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.appendResult(QStringLiteral("<br />Monte Carlo Exact Hardy-Weinberg test <b>P-VALUE = 0.714063</b> "
                                       "(99% interval 0.71290 to 0.71523; 1000000 samples, seed 20240601) "
                                       "for input matrix:"),
                        0);
    ResultsView *view = windowtest::resultsView(window);
    QCoreApplication::processEvents();
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    const QTextCursor seed = view->document()->find(QStringLiteral("20240601"));
    QVERIFY(!seed.isNull());
    QVERIFY(view->viewport()->rect().contains(view->cursorRect(seed)));
}

// A run from the test dialog records its test, options, block, document and
// time in a quieter line under the rule; the run's own lines follow as its
// run function wrote them, and Copy's plain text keeps the line.
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
    SelDialog *dialog = window.selectionDialog();
    dialog->yatesCheck->setChecked(yates);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QVERIFY(!windowtest::resultsView(window)->isEmpty());

    const ResultsView::Entry entry = windowtest::resultsView(window)->entries().last();
    const QString prefix = options + QStringLiteral("; B2:C3 of Untitled; ");
    QVERIFY2(entry.context.startsWith(prefix), qPrintable(entry.context));
    const QDateTime when = QDateTime::fromString(entry.context.mid(prefix.size()), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(when.isValid() && when >= before && when <= QDateTime::currentDateTime());
    QVERIFY(entry.message.startsWith(QStringLiteral("<br />")));
    QVERIFY(!entry.message.contains(entry.context));
    QVERIFY(report(window).contains(kRule + QStringLiteral("<br /><font color=\"dimgray\">") + entry.context
                                    + QStringLiteral("</font>") + entry.message + QStringLiteral("</font>")));
    QVERIFY(reporttext::plainText(report(window)).contains(u'\n' + entry.context + u'\n'));
}

// New and Open put a mark naming the document under the old results; a
// mark with no result after it gives way to the next one, and an empty
// report gets none.
void TestResults::documentMarks()
{
    MainWindow window;
    window.show();
    QVERIFY(windowtest::trigger(window, QStringLiteral("&New")));
    QVERIFY(windowtest::resultsView(window)->isEmpty());
    window.appendResult(QStringLiteral("<br />old"), 0);
    QVERIFY(windowtest::trigger(window, QStringLiteral("&New")));
    QVERIFY(windowtest::trigger(window, QStringLiteral("&New")));
    const QList<ResultsView::Entry> &entries = windowtest::resultsView(window)->entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.last().kind, ResultsView::Entry::DocumentMark);
    QVERIFY(reporttext::plainText(report(window)).endsWith(QStringLiteral("\nDocument: Untitled\n")));
    // The run before the mark is the newest run still: it keeps its colour.
    QVERIFY(report(window).contains(QStringLiteral("color=\"darkblue\"><br /><b>")));
}

// A picture shown under an entry: found under the mouse, embedded in the
// report that Copy and Save take, left out of its plain text; the entry's
// own text stays as it was.
void TestResults::picturesUnderAnEntry()
{
    MainWindow window;
    window.resize(600, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ResultsView *view = windowtest::resultsView(window);
    const int entry = view->appendResult(QStringLiteral("<br />with a picture"), 0);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QCOMPARE(view->addPicture(entry, image, QStringLiteral("plot")), 0);
    QCOMPARE(view->addPicture(entry + 1, image), -1);
    QCoreApplication::processEvents();

    const QString html = view->html();
    QVERIFY(html.startsWith(QStringLiteral("<font size=\"+1\" color=\"darkblue\">") + kRule
                            + QStringLiteral("<br />with a picture<br /><img src=\"data:image/png;base64,")));
    QCOMPARE(reporttext::plainText(html), QStringLiteral("\n") + QString(57, u'_') + QStringLiteral("\nwith a picture\n"));
    QTextDocument shown;
    shown.setHtml(html);
    const QTextCursor placeholder = shown.find(QString(QChar::ObjectReplacementCharacter));
    QVERIFY(placeholder.charFormat().isImageFormat());

    // Where the pane draws it, pictureAt() finds it.
    const QTextCursor drawn = view->document()->find(QString(QChar::ObjectReplacementCharacter));
    QVERIFY(!drawn.isNull());
    QTextCursor before(view->document());
    before.setPosition(drawn.selectionStart());
    const QPoint at = view->cursorRect(before).center() + QPoint(20, 0);
    int foundEntry = -1;
    int foundPicture = -1;
    QVERIFY(view->pictureAt(at, &foundEntry, &foundPicture));
    QCOMPARE(foundEntry, entry);
    QCOMPARE(foundPicture, 0);
    QVERIFY(!view->pictureAt(QPoint(2, 2), &foundEntry, &foundPicture));
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
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *dock = window.findChild<QDockWidget *>();
        QTRY_VERIFY2(qAbs(dock->height() - window.height() / 3) <= 10,
                     qPrintable(QStringLiteral("%1 of %2").arg(dock->height()).arg(window.height())));
        window.resizeDocks({dock}, {450}, Qt::Vertical);
        QTRY_VERIFY(dock->height() > 400);
        chosen = dock->height();
        QVERIFY(window.close());
    }
    MainWindow again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QTRY_COMPARE(again.findChild<QDockWidget *>()->height(), chosen);
}

QTEST_MAIN(TestResults)
#include "test_results.moc"
