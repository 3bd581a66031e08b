// The five tests end to end from the grid: select the block, choose the
// test, press OK, read the Results window.
#include "calcpoll.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QSignalSpy>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

using windowtest::action;
using windowtest::fill;

namespace {

// Selects the block, opens the test through its menu item and presses OK;
// returns the message of the dialog's check.
QString runTest(MainWindow &window, const QString &menuText, int top, int left, int bottom, int right)
{
    Spreadsheet *sheet = window.sheet();
    if (!windowtest::trigger(window, menuText))
        return QStringLiteral("no such action");
    sheet->clearSelection();
    sheet->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    SelDialog *dialog = window.selectionDialog();
    const QString verdict = dialog->messageLabel->text();
    if (dialog->okButton->isEnabled())
        QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    return verdict;
}

QString report(const MainWindow &window)
{
    return qobject_cast<QLabel *>(window.findChild<QScrollArea *>()->widget())->text();
}

// The newest entry's message, without its font tag and separator.
QString lastMessage(const MainWindow &window)
{
    const QString text = report(window);
    const QString rule = QStringLiteral("<br /><b>") + QString(57, u'_') + QStringLiteral("</b>");
    const qsizetype start = text.lastIndexOf(rule);
    if (start < 0)
        return QString();
    QString message = text.mid(start + rule.size());
    message.chop(QStringLiteral("</font>").size());
    return message;
}

bool lastIsError(const MainWindow &window)
{
    const QString text = report(window);
    return text.lastIndexOf(QStringLiteral("color=\"red\">")) > text.lastIndexOf(QStringLiteral("color=\"darkblue\">"));
}

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");

} // namespace

class TestDrivers final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void clusterSamplesInRows();
    void clusterSamplesInColumns();
    void clusterKeepsAutoRecalc_data();
    void clusterKeepsAutoRecalc();
    void clusterStopped();
};

void TestDrivers::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    calcApplication = QCoreApplication::instance();
}

void TestDrivers::init()
{
    calcStopFlag = 0;
}

namespace {

void checkClusterReport(const MainWindow &window)
{
    const QString message = lastMessage(window);
    QVERIFY(!lastIsError(window));
    QVERIFY2(message.contains(QStringLiteral("0.000143397")), qPrintable(message));
    const qsizetype f2 = message.indexOf(QStringLiteral(">F2<"));
    const qsizetype f1 = message.indexOf(QStringLiteral(">F1<"));
    const qsizetype f4 = message.indexOf(QStringLiteral(">F4<"));
    const qsizetype f3 = message.indexOf(QStringLiteral(">F3<"));
    QVERIFY(f2 >= 0 && f2 < f1 && f1 < f4 && f4 < f3);
    for (const char *figure : {"(8.225)", "1.54886", "0.3525", "(5.31034)", "4.39394"})
        QVERIFY2(message.contains(QString::fromUtf8(figure)), figure);
}

} // namespace

void TestDrivers::clusterSamplesInRows()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0,
         {{nullptr, "F1", "F2", "F3", "F4"}, {"cases", "10", "0", "25", "12"}, {"controls", "30", "7", "15", "28"}});
    QCOMPARE(runTest(window, QStringLiteral("Risk cluster..."), 1, 1, 2, 4), kGood);
    checkClusterReport(window);
    QCOMPARE(window.selectionDialog()->testKind, int(TestNone));
}

void TestDrivers::clusterSamplesInColumns()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0,
         {{nullptr, "cases", "controls"}, {"F1", "10", "30"}, {"F2", "0", "7"}, {"F3", "25", "15"},
          {"F4", "12", "28"}});
    QCOMPARE(runTest(window, QStringLiteral("Risk cluster..."), 1, 1, 4, 2), kGood);
    checkClusterReport(window);
    QVERIFY(lastMessage(window).contains(QStringLiteral("cases")));
}

void TestDrivers::clusterKeepsAutoRecalc_data()
{
    QTest::addColumn<bool>("autoRecalc");
    QTest::addColumn<int>("presses");
    QTest::newRow("on") << true << 2;
    QTest::newRow("off") << false << 0;
}

void TestDrivers::clusterKeepsAutoRecalc()
{
    QFETCH(bool, autoRecalc);
    QFETCH(int, presses);
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    action(window, QStringLiteral("&Auto-Recalculate"))->setChecked(autoRecalc);
    fill(window.sheet(), 0, 0,
         {{nullptr, "F1", "F2", "F3", "F4"}, {"cases", "10", "0", "25", "12"}, {"controls", "30", "7", "15", "28"}});
    QSignalSpy toggles(action(window, QStringLiteral("&Auto-Recalculate")), SIGNAL(toggled(bool)));
    runTest(window, QStringLiteral("Risk cluster..."), 1, 1, 2, 4);
    QCOMPARE(toggles.count(), presses);
    QCOMPARE(window.sheet()->isAutoRecalculate(), autoRecalc);
    QCOMPARE(action(window, QStringLiteral("&Auto-Recalculate"))->isChecked(), autoRecalc);
    QVERIFY(lastMessage(window).contains(QStringLiteral("0.000143397")));
}

void TestDrivers::clusterStopped()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0,
         {{nullptr, "F1", "F2", "F3", "F4"}, {"cases", "10", "0", "25", "12"}, {"controls", "30", "7", "15", "28"}});
    QPushButton *stop = window.statusBar()->findChild<QPushButton *>();
    // Queued now, handled by the engine's first poll.
    QTimer::singleShot(0, stop, [stop] { stop->click(); });
    runTest(window, QStringLiteral("Risk cluster..."), 1, 1, 2, 4);
    QVERIFY(lastIsError(window));
    QCOMPARE(lastMessage(window), QString());
    QVERIFY(!stop->isVisible());
    QVERIFY(!window.statusBar()->findChild<QProgressBar *>()->isVisible());
    QVERIFY(window.sheet()->isAutoRecalculate());
}

QTEST_MAIN(TestDrivers)
#include "test_drivers.moc"
