// Calculation control: the progress display, Stop, the event poll, the
// dispatch, and refusing a second test while one runs.
#include "calcpoll.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "uiprompts.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

namespace {

class CountingPrompts final : public UiPrompts
{
public:
    QMessageBox::StandardButton warning(QWidget *, const QString &, const QString &,
                                        QMessageBox::StandardButtons) override
    {
        ++warnings;
        return answer;
    }
    int warnings = 0;
    QMessageBox::StandardButton answer = QMessageBox::No;
};

QPushButton *stopButton(const MainWindow &window)
{
    return window.statusBar()->findChild<QPushButton *>();
}

QProgressBar *progressBar(const MainWindow &window)
{
    return window.statusBar()->findChild<QProgressBar *>();
}

QString report(const MainWindow &window)
{
    return qobject_cast<QLabel *>(window.findChild<QScrollArea *>()->widget())->text();
}

// A stand-in engine: polls until stopped or until maxPolls, counting the
// polls that returned "stop".
struct PollingEngine
{
    int maxPolls = 2'000'000'000;
    int stopPolls = 0;
    int polls = 0;
    std::function<void()> onStart;

    RunReport operator()(const ProgressDisplay &progress)
    {
        progress(10);
        if (onStart)
            onStart();
        RunReport result;
        while (polls < maxPolls) {
            ++polls;
            if (pollCalcEvents()) {
                ++stopPolls;
                result.status = 1;
                result.isError = 1;
                result.message = QStringLiteral("<br />Program is stopped by user");
                break;
            }
            calcProgressValue = std::min(10, polls / 1000);
        }
        progress(-1);
        if (!result.status)
            result.message = QStringLiteral("<br />done");
        return result;
    }
};

} // namespace

class TestCalcControl final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void stopEndsRunAtNextPoll();
    void secondPressChangesNothing();
    void progressDisplay();
    void slotCalcIgnoresOtherKinds_data();
    void slotCalcIgnoresOtherKinds();
    void noSecondTestWhileRunning();
    void closeDuringRunStopsFirst();
    void pollBeforeApplication();
    void toggleAutoRecalc();

private:
    CountingPrompts prompts;
};

void TestCalcControl::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    UiPrompts::install(&prompts);
}

void TestCalcControl::init()
{
    calcApplication = QCoreApplication::instance();
    calcStopFlag = 0;
    prompts.warnings = 0;
}

void TestCalcControl::stopEndsRunAtNextPoll()
{
    MainWindow window;
    window.show();
    PollingEngine engine;
    engine.onStart = [&] {
        QVERIFY(stopButton(window)->isVisible());
        QVERIFY(progressBar(window)->isVisible());
        QTimer::singleShot(30, stopButton(window), [&] { QTest::mouseClick(stopButton(window), Qt::LeftButton); });
    };
    window.runAndReport(std::ref(engine));
    QCOMPARE(engine.stopPolls, 1);
    QVERIFY(!stopButton(window)->isVisible());
    QVERIFY(!progressBar(window)->isVisible());
    QVERIFY(report(window).endsWith(
        QStringLiteral("<font size=\"+1\" color=\"red\"><br /><b>") + QString(57, u'_')
        + QStringLiteral("</b><br />Program is stopped by user</font>")));

    // The next run starts with the flag cleared and is not stopped.
    PollingEngine next;
    next.maxPolls = 5000;
    window.runAndReport(std::ref(next));
    QCOMPARE(next.stopPolls, 0);
    QCOMPARE(next.polls, 5000);
    QVERIFY(report(window).endsWith(QStringLiteral("<br />done</font>")));
}

void TestCalcControl::secondPressChangesNothing()
{
    MainWindow window;
    window.show();
    PollingEngine engine;
    engine.onStart = [&] {
        QTimer::singleShot(20, stopButton(window), [&] {
            QTest::mouseClick(stopButton(window), Qt::LeftButton);
            QTest::mouseClick(stopButton(window), Qt::LeftButton);
        });
    };
    window.runAndReport(std::ref(engine));
    QCOMPARE(engine.stopPolls, 1);
    QCOMPARE(calcStopFlag, 1);
    QCOMPARE(report(window).count(QStringLiteral("stopped by user")), 1);
}

void TestCalcControl::progressDisplay()
{
    MainWindow window;
    window.show();
    calcStopFlag = 1;
    window.showCalcProgress(1);
    QCOMPARE(calcStopFlag, 0);
    QCOMPARE(calcProgressValue, 0);
    QVERIFY(progressBar(window)->isVisible());
    QCOMPARE(progressBar(window)->minimum(), 0);
    QCOMPARE(progressBar(window)->maximum(), 1);
    window.showCalcProgress(0);
    QVERIFY(!progressBar(window)->isVisible());
    QVERIFY(!stopButton(window)->isVisible());

    // The bar follows the engine's value on the timer's tick.
    window.showCalcProgress(7);
    calcProgressValue = 3;
    QTRY_COMPARE_WITH_TIMEOUT(progressBar(window)->value(), 3, 3000);
    window.showCalcProgress(-1);
    QVERIFY(!progressBar(window)->isVisible());
}

void TestCalcControl::slotCalcIgnoresOtherKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("none") << -1;
    QTest::newRow("seven") << 7;
}

void TestCalcControl::slotCalcIgnoresOtherKinds()
{
    QFETCH(int, kind);
    MainWindow window;
    window.selectionDialog()->testKind = kind;
    QVERIFY(QMetaObject::invokeMethod(&window, "slotCalc"));
    QVERIFY(report(window).isEmpty());
    QVERIFY(!progressBar(window)->isVisible());
}

void TestCalcControl::noSecondTestWhileRunning()
{
    MainWindow window;
    window.show();
    SelDialog *dialog = window.selectionDialog();
    dialog->testKind = TestHardyW;
    dialog->input.testSize = 4;
    QSignalSpy accepted(dialog, SIGNAL(accepted()));
    PollingEngine engine;
    engine.maxPolls = 20000;
    engine.onStart = [&] {
        // Another Analyse command: refused, nothing of the running test changes.
        QVERIFY(windowtest::trigger(window, QStringLiteral("&Chi-squared test...")));
        QCOMPARE(dialog->testKind, int(TestHardyW));
        QVERIFY(!dialog->isVisible());
        QVERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(QStringLiteral("running")));
        // OK of the dialog: refused.
        dialog->show();
        dialog->okButton->setEnabled(true);
        QTest::mouseClick(dialog->okButton, Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dialog->messageLabel->text().contains(QStringLiteral("running")));
        QVERIFY(progressBar(window)->isVisible());
        QCOMPARE(progressBar(window)->maximum(), 10);
    };
    window.runAndReport(std::ref(engine));
    QCOMPARE(engine.polls, 20000);
    QVERIFY(!window.isCalculating());
    // Afterwards the command works again.
    dialog->hide();
    QVERIFY(windowtest::trigger(window, QStringLiteral("&Chi-squared test...")));
    QCOMPARE(dialog->testKind, int(TestChi2));
    QVERIFY(dialog->isVisible());
}

void TestCalcControl::closeDuringRunStopsFirst()
{
    MainWindow window;
    window.show();
    window.sheet()->setCellFormula(0, 0, QStringLiteral("1")); // modified
    PollingEngine engine;
    engine.onStart = [&] { QTimer::singleShot(20, &window, [&] { window.close(); }); };
    prompts.answer = QMessageBox::Cancel;
    window.runAndReport(std::ref(engine));
    QCOMPARE(engine.stopPolls, 1);
    QCOMPARE(prompts.warnings, 0); // not asked inside the run
    // The deferred close asks the save question; Cancel keeps the window.
    QTRY_COMPARE(prompts.warnings, 1);
    QVERIFY(window.isVisible());

    prompts.answer = QMessageBox::No;
    window.close();
    QVERIFY(!window.isVisible());
}

void TestCalcControl::pollBeforeApplication()
{
    calcApplication = nullptr;
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    calcStopFlag = 1;
    resetCalcPollClock();
    QCOMPARE(pollCalcEvents(), 1);
    QVERIFY(!fired);
    calcApplication = QCoreApplication::instance();
    calcStopFlag = 0;
    resetCalcPollClock();
    QCOMPARE(pollCalcEvents(), 0);
    QVERIFY(fired);
}

void TestCalcControl::toggleAutoRecalc()
{
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    Spreadsheet *sheet = window.sheet();
    QVERIFY(sheet->isAutoRecalculate());
    QVERIFY(window.toggleAutoRecalcByShortcut(false));
    QVERIFY(!sheet->isAutoRecalculate());
    // Off: the cluster run neither switches nor reports a switch.
    QVERIFY(!window.toggleAutoRecalcByShortcut(false));
    QVERIFY(!sheet->isAutoRecalculate());
    QVERIFY(window.toggleAutoRecalcByShortcut(true));
    QVERIFY(sheet->isAutoRecalculate());
}

QTEST_MAIN(TestCalcControl)
#include "test_calccontrol.moc"
