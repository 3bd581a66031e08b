// The Results window: entry colours, separators, reopening and scrolling.
#include "mainwindow.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString kRule = QStringLiteral("<br /><b>") + QString(57, u'_') + QStringLiteral("</b>");

QLabel *reportLabel(const MainWindow &window)
{
    return qobject_cast<QLabel *>(window.findChild<QScrollArea *>()->widget());
}

} // namespace

class TestResults final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void firstEntry();
    void threeRunsAndAStop();
    void closedDockReopens();
    void scrolledToBottomLeft();
};

void TestResults::firstEntry()
{
    MainWindow window;
    window.appendResult(QStringLiteral("<br />first"), 0);
    QCOMPARE(reportLabel(window)->text(),
             QStringLiteral("<font size=\"+1\" color=\"darkblue\">") + kRule
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
    QCOMPARE(reportLabel(window)->text(), expected);
    QCOMPARE(reportLabel(window)->text().count(QString(57, u'_')), 4);
    QVERIFY(!reportLabel(window)->text().contains(QString(58, u'_')));
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

void TestResults::scrolledToBottomLeft()
{
    MainWindow window;
    window.resize(500, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *scroll = window.findChild<QScrollArea *>();
    for (int i = 0; i < 40; ++i)
        window.appendResult(QStringLiteral("<br />a rather long line of the report, number ")
                                + QString::number(i) + QString(60, u'x'),
                            0);
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    scroll->verticalScrollBar()->setValue(0);
    window.appendResult(QStringLiteral("<br />last"), 0);
    QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
    QCOMPARE(scroll->verticalScrollBar()->value(), scroll->verticalScrollBar()->maximum());
    QCOMPARE(scroll->horizontalScrollBar()->value(), 0);
}

QTEST_MAIN(TestResults)
#include "test_results.moc"
