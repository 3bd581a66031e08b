// Calculation control: the progress display, Stop, the event poll, the
// dispatch, and refusing a second test while one runs.
#include "calcpoll.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "uiprompts.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

namespace {

// Answers the questions from `answers` in turn, then with `answer`, and
// records what was asked.
class CountingPrompts final : public UiPrompts
{
public:
    QMessageBox::StandardButton warning(QWidget *, const QString &, const QString &text,
                                        QMessageBox::StandardButtons) override
    {
        ++warnings;
        texts << text;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    // The button that Enter would press, for the questions that name one.
    QMessageBox::StandardButton warningWithDefault(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton) override
    {
        defaults << defaultButton;
        return warning(parent, title, text, buttons);
    }
    int warnings = 0;
    QList<QMessageBox::StandardButton> defaults;
    QStringList texts;
    QList<QMessageBox::StandardButton> answers;
    QMessageBox::StandardButton answer = QMessageBox::No;
};

const QString kStopQuestion = QStringLiteral("A test is running. Stop it and close?");
const QString kSaveQuestion =
    QStringLiteral("The document Untitled has been modified.\nDo you want to save your changes?");

// Runs `step` from the event loop of a running calculation (inside its
// polls), each time the interval has passed, until it returns false.
class DuringRun final : public QObject
{
public:
    DuringRun(const MainWindow &window, int intervalMs, std::function<bool()> step)
        : window(window), step(std::move(step))
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (this->window.isCalculating() && !this->step())
                timer.stop();
        });
        timer.start(intervalMs);
    }

private:
    const MainWindow &window;
    std::function<bool()> step;
    QTimer timer;
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
    return windowtest::reportHtml(window);
}

// The message of the newest report entry.
QString lastEntry(const MainWindow &window)
{
    const QString text = report(window);
    return text.mid(text.lastIndexOf(QString(57, u'_')));
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
    void workShownBesideTheBar();
    void slotCalcIgnoresOtherKinds_data();
    void slotCalcIgnoresOtherKinds();
    void noSecondTestWhileRunning();
    void closeDuringRunAsksFirst();
    void closeDeclinedKeepsTheResult();
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

// A 2 x 12 Fisher table of the kind whose lists outgrow every estimate (at
// three times these counts the bar creeps for minutes): beside the bar the
// status bar shows the stage, the nodes or merges of the stage, the memory
// against the budget and the time, while the run works; gone afterwards.
void TestCalcControl::workShownBesideTheBar()
{
    MainWindow window;
    window.show();
    windowtest::fill(window.sheet(), 0, 0,
                     {{"40", "45", "50", "38", "42", "47", "44", "41", "39", "46", "43", "48"},
                      {"44", "41", "38", "45", "40", "43", "47", "42", "46", "39", "44", "41"}});
    QLabel *activity = nullptr;
    QStringList seen;
    DuringRun watcher(window, 20, [&] {
        const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
        for (QLabel *label : labels)
            if (label->isVisible() && label->text().contains(QStringLiteral("memory")))
                activity = label;
        if (activity && !seen.contains(activity->text()))
            seen << activity->text();
        return true;
    });
    QVERIFY(windowtest::trigger(window, QStringLiteral("&Fisher 2xN test...")));
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 11), true);
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);
    QVERIFY2(lastEntry(window).contains(QStringLiteral("P-VALUE")), qPrintable(lastEntry(window)));
    QVERIFY(activity);
    static const QRegularExpression shown(QStringLiteral(
        "^stage ([0-9]+) of ([0-9]+), (node [0-9]+ of [0-9]+|merged [0-9]+ of [0-9]+ lists), memory [0-9.]+ [kMG]?i?B "
        "of [0-9.]+ [kMG]?i?B, [0-9]+:[0-5][0-9]$"));
    for (const QString &text : std::as_const(seen)) {
        const QRegularExpressionMatch match = shown.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        // The last columns summed at once end the count early.
        QVERIFY(match.captured(1).toInt() <= match.captured(2).toInt() && match.captured(2).toInt() <= 12);
    }
    QVERIFY(!activity->isVisible());
}

void TestCalcControl::slotCalcIgnoresOtherKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("none") << -1;
    QTest::newRow("no such kind") << 99;
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

// Closing during a run asks first: No keeps the run going to its result;
// Yes stops it, and only then comes the save question, whose Cancel keeps
// the window. A real long Hardy-Weinberg run, closed from inside its polls.
void TestCalcControl::closeDuringRunAsksFirst()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    // Four alleles, 229 individuals: runs far longer than this test waits.
    windowtest::fill(sheet, 0, 0,
                     {{"2", "12", "30", "22"}, {nullptr, "24", "34", "21"}, {nullptr, nullptr, "54", "20"},
                      {nullptr, nullptr, nullptr, "10"}});
    prompts.texts.clear();
    prompts.defaults.clear();
    prompts.answers = {QMessageBox::No, QMessageBox::Yes, QMessageBox::Cancel};
    QElapsedTimer sinceNo;
    bool runningAfterNo = false;
    int step = 0;
    DuringRun closer(window, 20, [&] {
        if (step == 0) {
            window.close();
            runningAfterNo = calcStopFlag == 0 && window.isVisible();
            sinceNo.start();
            step = 1;
            return true;
        }
        // Still running well after the No: then close again and say Yes.
        if (sinceNo.elapsed() < 300)
            return true;
        window.close();
        step = 2;
        return false;
    });
    QVERIFY(windowtest::trigger(window, QStringLiteral("Exact &Hardy-Weinberg...")));
    sheet->setRangeSelected(QTableWidgetSelectionRange(0, 0, 3, 3), true);
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);

    QCOMPARE(step, 2);
    QVERIFY(runningAfterNo);
    // The stop is reported, followed by the hint to try a simulation.
    QVERIFY(lastEntry(window).contains(QStringLiteral("Program is stopped by user<br />Tick \"Monte Carlo\"")));
    // The save question comes after the stop, from the event loop.
    QTRY_COMPARE(prompts.texts.size(), 3);
    QCOMPARE(prompts.texts, (QStringList{kStopQuestion, kStopQuestion, kSaveQuestion}));
    // Enter answers No to the stop question: a long run is not ended by a
    // key pressed in passing.
    QCOMPARE(prompts.defaults, (QList<QMessageBox::StandardButton>{QMessageBox::No, QMessageBox::No}));
    QVERIFY(window.isVisible());
    QVERIFY(!window.isCalculating());

    prompts.answer = QMessageBox::No;
    window.close();
    QVERIFY(!window.isVisible());
}

// Answered No, the run is not lost: it reports its P-value, and nothing
// closes the window afterwards.
void TestCalcControl::closeDeclinedKeepsTheResult()
{
    MainWindow window;
    window.show();
    windowtest::fill(window.sheet(), 0, 0, {{"5", "0", "1", "7", "3"}, {"0", "5", "4", "2", "9"}});
    prompts.texts.clear();
    prompts.answers = {QMessageBox::No};
    bool asked = false;
    DuringRun closer(window, 0, [&] {
        window.close();
        asked = true;
        return false;
    });
    QVERIFY(windowtest::trigger(window, QStringLiteral("&Fisher 2xN test...")));
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 4), true);
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);
    QVERIFY(asked);
    QVERIFY2(lastEntry(window).contains(QStringLiteral("<b>P-VALUE = ")), qPrintable(lastEntry(window)));
    QVERIFY(!report(window).contains(QStringLiteral("stopped by user")));
    QTest::qWait(50);
    QVERIFY(window.isVisible());
    QCOMPARE(prompts.texts, QStringList{kStopQuestion});
    // Outside a run, closing asks only the save question.
    prompts.answer = QMessageBox::No;
    window.close();
    QVERIFY(!window.isVisible());
    QCOMPARE(prompts.texts, (QStringList{kStopQuestion, kSaveQuestion}));
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
