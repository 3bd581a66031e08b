// The main window at start-up: title, status bar, calculation widgets and
// the Results dock.
#include "mainwindow.h"
#include "spreadsheet.h"

#include <QDockWidget>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QtTest>

class TestMainWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startUp();
    void statusBarFollowsCurrentCell();
    void resultsDock();
    void windowIcon();
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestMainWindow::startUp()
{
    MainWindow window;
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QCOMPARE(window.centralWidget(), window.sheet());

    const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
    QVERIFY(labels.size() >= 3);
    QCOMPARE(labels.at(0)->text(), QStringLiteral("A1"));

    const auto buttons = window.statusBar()->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 1);
    QVERIFY(!buttons.first()->isVisible());
    QCOMPARE(buttons.first()->toolTip(), QStringLiteral("Stop Calculating"));
    const auto bars = window.statusBar()->findChildren<QProgressBar *>();
    QCOMPARE(bars.size(), 1);
    QVERIFY(!bars.first()->isVisible());
    QCOMPARE(bars.first()->toolTip(), QStringLiteral("Calculation Progress"));
    // The spacer: the third label, empty and hidden.
    QVERIFY(labels.at(2)->text().isEmpty());
    QVERIFY(!labels.at(2)->isVisible());

    // The new document at start-up shows its mark as soon as it changes,
    // and Qt has no title without a placeholder to warn about.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("placeholder")));
    window.sheet()->setCellFormula(0, 0, QStringLiteral("1"));
    QVERIFY(window.isWindowModified());
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
}

void TestMainWindow::statusBarFollowsCurrentCell()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    sheet->setCellFormula(11, 1, QStringLiteral("=A1+1"));
    sheet->setCurrentCell(11, 1);
    const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
    QCOMPARE(labels.at(0)->text(), QStringLiteral("B12"));
    QCOMPARE(labels.at(1)->text(), QStringLiteral("=A1+1"));

    sheet->setCurrentCell(0, 0);
    QCOMPARE(labels.at(0)->text(), QStringLiteral("A1"));
    QCOMPARE(labels.at(1)->text(), QString());

    // Typing into the current cell updates the formula label.
    QTest::keyClicks(sheet->viewport(), QString());
    sheet->setCellFormula(0, 0, QStringLiteral("=2*3"));
    QCOMPARE(labels.at(1)->text(), QStringLiteral("=2*3"));
}

void TestMainWindow::resultsDock()
{
    MainWindow window;
    window.show();
    auto *dock = window.findChild<QDockWidget *>();
    QVERIFY(dock);
    QCOMPARE(dock->windowTitle(), QStringLiteral("Results"));
    QCOMPARE(window.dockWidgetArea(dock), Qt::BottomDockWidgetArea);
    QCOMPARE(dock->allowedAreas(), Qt::BottomDockWidgetArea);
    QCOMPARE(dock->features(), QDockWidget::DockWidgetClosable);
    QVERIFY(dock->isVisible());
    dock->close();
    QVERIFY(!dock->isVisible());
}

void TestMainWindow::windowIcon()
{
    MainWindow window;
    QVERIFY(!window.windowIcon().isNull());
    const QImage image(QStringLiteral(":/images/icon.png"));
    QCOMPARE(image.size(), QSize(32, 32));
    QVERIFY(image.hasAlphaChannel());
    for (const char *name : {"new", "open", "save", "cut", "copy", "paste", "find", "gotocell"}) {
        const QImage icon(QStringLiteral(":/images/") + QLatin1String(name) + QStringLiteral(".png"));
        QCOMPARE(icon.size(), QSize(32, 32));
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
