// The five tests end to end from the grid: select the block, choose the
// test, press OK, read the Results window.
#include "calcpoll.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QSignalSpy>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QElapsedTimer>
#include <QRegularExpression>
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
    return windowtest::reportHtml(window);
}

QString lastMessage(const MainWindow &window)
{
    return windowtest::lastMessage(window);
}

bool lastIsError(const MainWindow &window)
{
    const QString text = report(window);
    return text.lastIndexOf(QStringLiteral("color=\"red\">")) > text.lastIndexOf(QStringLiteral("color=\"darkblue\">"));
}

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");
const QString kHint = QStringLiteral(
    "<br />Tick \"Monte Carlo\" in the test dialog for an estimate of the P-value with a 99% interval");

// Ticks "Monte Carlo" in the open dialog and types the samples.
void tickMonteCarlo(SelDialog *dialog, const QString &samples)
{
    QTest::mouseClick(dialog->monteCarloCheck, Qt::LeftButton);
    dialog->samplesSpin->selectAll();
    QTest::keyClicks(dialog->samplesSpin, samples);
}

// The 99% interval that a Monte Carlo entry shows, as its text gives it.
bool shownInterval(const QString &message, double &low, double &high)
{
    static const QRegularExpression interval(QStringLiteral("\\(99% interval ([^ ]+) to ([^;]+);"));
    const QRegularExpressionMatch match = interval.match(message);
    bool lowOk = false;
    bool highOk = false;
    low = match.captured(1).toDouble(&lowOk);
    high = match.captured(2).toDouble(&highOk);
    return match.hasMatch() && lowOk && highOk;
}

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
    void chi2Report();
    void chi2Yates();
    void hardyWeinbergReport();
    void hardyWeinbergStopped();
    void geneInteractionReport();
    void fisherReports_data();
    void fisherReports();
    void fisherStopped();
    void monteCarloReports_data();
    void monteCarloReports();
    void monteCarloBeyondExactReach();
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
    QCOMPARE(runTest(window, QStringLiteral("Ris&k cluster..."), 1, 1, 2, 4), kGood);
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
    QCOMPARE(runTest(window, QStringLiteral("Ris&k cluster..."), 1, 1, 4, 2), kGood);
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
    runTest(window, QStringLiteral("Ris&k cluster..."), 1, 1, 2, 4);
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
    runTest(window, QStringLiteral("Ris&k cluster..."), 1, 1, 2, 4);
    QVERIFY(lastIsError(window));
    QCOMPARE(lastMessage(window), QString());
    QVERIFY(!stop->isVisible());
    QVERIFY(!window.statusBar()->findChild<QProgressBar *>()->isVisible());
    QVERIFY(window.sheet()->isAutoRecalculate());
}

void TestDrivers::chi2Report()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0, {{"10", "=4*5"}, {"30", "40"}});
    QCOMPARE(runTest(window, QStringLiteral("&Chi-squared test..."), 0, 0, 1, 1), kGood);
    QCOMPARE(lastMessage(window),
             QStringLiteral("<br />Chi-squared test <b>P-VALUE = 0.372998</b>  for input vectors:"
                            "<br />{ 10, 20 }<br />{ 30, 40 }<br />chi2=0.793651 , df=1"));
    QVERIFY(!lastIsError(window));
    QCOMPARE(window.selectionDialog()->testKind, int(TestNone));
    QVERIFY(!window.selectionDialog()->yatesCheck->isVisible());
    QVERIFY(!window.statusBar()->findChild<QProgressBar *>()->isVisible());
}

void TestDrivers::chi2Yates()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0, {{"10", "20"}, {"30", "40"}});
    windowtest::trigger(window, QStringLiteral("&Chi-squared test..."));
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);
    SelDialog *dialog = window.selectionDialog();
    QTest::mouseClick(dialog->yatesCheck, Qt::LeftButton);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QVERIFY(lastMessage(window).contains(QStringLiteral("<b>P-VALUE = 0.504036</b>")));
    QVERIFY(lastMessage(window).endsWith(QStringLiteral("chi2=0.446429 , df=1")));
}

void TestDrivers::hardyWeinbergReport()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 2, 2, {{"10", "5"}, {nullptr, "3"}});
    QCOMPARE(runTest(window, QStringLiteral("Exact &Hardy-Weinberg..."), 2, 2, 3, 3), kGood);
    QCOMPARE(lastMessage(window),
             QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 0.254198</b>  for input vectors:"
                            "<br /> { 10, 5 }<br /> { 0, 3 }"));
    QVERIFY(!lastIsError(window));
    QVERIFY(!window.statusBar()->findChild<QProgressBar *>()->isVisible());

    fill(window.sheet(), 10, 0, {{"5", "3", "2"}, {nullptr, "4", "1"}, {nullptr, nullptr, "2"}});
    QCOMPARE(runTest(window, QStringLiteral("Exact &Hardy-Weinberg..."), 10, 0, 12, 2), kGood);
    QVERIFY(lastMessage(window).contains(QStringLiteral("<b>P-VALUE = 0.0494577</b>")));
}

void TestDrivers::hardyWeinbergStopped()
{
    MainWindow window;
    window.show();
    // Four alleles, 229 individuals: long enough to be stopped.
    fill(window.sheet(), 0, 0,
         {{"2", "12", "30", "22"}, {nullptr, "24", "34", "21"}, {nullptr, nullptr, "54", "20"},
          {nullptr, nullptr, nullptr, "10"}});
    QPushButton *stop = window.statusBar()->findChild<QPushButton *>();
    QTimer::singleShot(0, stop, [stop] { stop->click(); });
    QCOMPARE(runTest(window, QStringLiteral("Exact &Hardy-Weinberg..."), 0, 0, 3, 3), kGood);
    QVERIFY(lastIsError(window));
    QCOMPARE(lastMessage(window), QStringLiteral("<br />Program is stopped by user") + kHint);
    QVERIFY(!stop->isVisible());
    QVERIFY(!window.statusBar()->findChild<QProgressBar *>()->isVisible());
    QVERIFY(!window.isCalculating());
}

void TestDrivers::geneInteractionReport()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0, {{"10", "5"}, {"3", "12"}, {"6", "8"}, {"9", "4"}});
    QCOMPARE(runTest(window, QStringLiteral("&Gene interaction..."), 0, 0, 3, 1), kGood);
    QCOMPARE(lastMessage(window),
             QStringLiteral("<br /> Interact 2x2 test <b>P-VALUE = 0.011015</b>  for input matrix:"
                            "<br /> { 10, 5, 3, 12 } { 6, 8, 9, 4 }"));

    fill(window.sheet(), 10, 0, {{"2", "3", "4"}, {"1", "5", "2"}, {"3", "1", "2"}, {"4", "2", "6"}});
    QCOMPARE(runTest(window, QStringLiteral("&Gene interaction..."), 10, 0, 13, 2), kGood);
    QVERIFY(lastMessage(window).contains(QStringLiteral("<b>P-VALUE = 0.476518</b>")));
}

void TestDrivers::fisherReports_data()
{
    QTest::addColumn<int>("accuracy");
    QTest::addColumn<QString>("head");
    QTest::newRow("exact") << 0
                           << "<br />Exact Fisher 2x3 test <b>P-VALUE = 0.00599401</b>  for input "
                              "vectors:<br />x1 = { 5, 0, 1 }<br />x2 = { 0, 5, 4 }";
    QTest::newRow("approximate") << 1
                                 << "<br />Approximate Fisher 2x3 test <b>P-VALUE = 0.00611953</b>  for input "
                                    "vectors:<br/>Accuracy = 1 digits after point<br />x1 = { 5, 0, 1 }";
    // The tables that tie with this one weigh 0.006: no approximation can
    // keep 8 digits, and the exact variant runs.
    QTest::newRow("exact for 8 digits")
        << 8
        << "<br />Exact Fisher 2x3 test <b>P-VALUE = 0.00599401</b>  for input vectors:<br/>Accuracy = 8 digits after "
           "point<br/>Exact variant used: here it is faster than an approximation to 8 digits<br />x1 = { 5, 0, 1 }";
}

void TestDrivers::fisherReports()
{
    QFETCH(int, accuracy);
    QFETCH(QString, head);
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0, {{"5", "0", "1"}, {"0", "5", "4"}});
    windowtest::trigger(window, QStringLiteral("&Fisher 2xN test..."));
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 2), true);
    SelDialog *dialog = window.selectionDialog();
    dialog->accuracySpin->setValue(accuracy);
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    const QString message = lastMessage(window);
    QVERIFY2(message.startsWith(head), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("{ 5, 0, 1 }")));
    QVERIFY(message.contains(QStringLiteral("{ 0, 5, 4 }")));
    QVERIFY(!lastIsError(window));
    QCOMPARE(window.selectionDialog()->testKind, int(TestNone));
}

void TestDrivers::fisherStopped()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0, {{"5", "0", "1", "7", "3"}, {"0", "5", "4", "2", "9"}});
    QPushButton *stop = window.statusBar()->findChild<QPushButton *>();
    QTimer::singleShot(0, stop, [stop] { stop->click(); });
    QCOMPARE(runTest(window, QStringLiteral("&Fisher 2xN test..."), 0, 0, 1, 4), kGood);
    QVERIFY(lastIsError(window));
    QCOMPARE(lastMessage(window), QStringLiteral("<br />Program is stopped by user") + kHint);
    QVERIFY(!stop->isVisible());
}

void TestDrivers::monteCarloReports_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<bool>("triangle");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("echo");
    QTest::addColumn<double>("exact");
    // The exact P-values: Fisher and Hardy-Weinberg from the exact tests,
    // chi-squared from the 31 tables with these margins (for a 2 x 2 table
    // the statistic orders them as Fisher's probabilities do).
    QTest::newRow("fisher") << "&Fisher 2xN test..." << false << "<br />Monte Carlo Fisher 2x2 test <b>P-VALUE = "
                            << "<br />x1 = { 10, 30 }<br />x2 = { 20, 40 }" << 0.5044758;
    QTest::newRow("chi2") << "&Chi-squared test..." << false << "<br />Monte Carlo chi-squared test <b>P-VALUE = "
                          << "<br />{ 10, 20 }<br />{ 30, 40 }<br />chi2=0.793651 , df=1" << 0.5044758;
    QTest::newRow("hwe") << "Exact &Hardy-Weinberg..." << true
                         << "<br /> Monte Carlo Hardy-Weinberg 2x2 test <b>P-VALUE = "
                         << "<br /> { 10, 20 }<br /> { 0, 40 }" << 0.0169672;
}

// Ticking "Monte Carlo" in the dialog runs the estimate: its entry names
// the method, the samples, the seed and the interval, which holds the
// exact P.
void TestDrivers::monteCarloReports()
{
    QFETCH(QString, menu);
    QFETCH(bool, triangle);
    QFETCH(QString, head);
    QFETCH(QString, echo);
    QFETCH(double, exact);
    MainWindow window;
    // A fixed seed: with a fresh one the interval misses the exact P in one
    // run of a hundred.
    window.setSeedSource([] { return quint64(20261210); });
    window.show();
    fill(window.sheet(), 0, 0, {{"10", "20"}, {triangle ? nullptr : "30", "40"}});
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(windowtest::trigger(window, menu));
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);
    QCOMPARE(dialog->messageLabel->text(), kGood);
    tickMonteCarlo(dialog, QStringLiteral("20000"));
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    const QString message = lastMessage(window);
    QVERIFY2(message.startsWith(head), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("; 20000 samples, seed 20261210)")), qPrintable(message));
    QVERIFY2(message.endsWith(QStringLiteral("  for input vectors:") + echo), qPrintable(message));
    QVERIFY(!lastIsError(window));
    QCOMPARE(dialog->testKind, int(TestNone));
    QVERIFY(!dialog->yatesCheck->isVisible());
    double low = 0;
    double high = 0;
    QVERIFY(shownInterval(message, low, high));
    QVERIFY(low < high);
    // The entry shows 4 digits of each end.
    QVERIFY2(low * (1 - 5e-4) <= exact && exact <= high * (1 + 5e-4), qPrintable(message));
}

// A 2 x 100 table with thousands of counts, beyond the exact network's
// reach, run as Monte Carlo from the dialog: the progress bar moves, Stop
// ends the run with the stop message alone.
void TestDrivers::monteCarloBeyondExactReach()
{
    MainWindow window;
    window.show();
    for (int i = 0; i < 100; ++i) {
        window.sheet()->setCellFormula(i, 0, QString::number(20 + (i * 37) % 41));
        window.sheet()->setCellFormula(i, 1, QString::number(20 + (i * 53) % 43));
    }
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(windowtest::trigger(window, QStringLiteral("&Fisher 2xN test...")));
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 99, 1), true);
    QCOMPARE(dialog->messageLabel->text(), kGood);
    tickMonteCarlo(dialog, QStringLiteral("10000000"));
    QCOMPARE(dialog->input.monteCarloSamples, qint64(10000000));

    QProgressBar *bar = window.statusBar()->findChild<QProgressBar *>();
    QPushButton *stop = window.statusBar()->findChild<QPushButton *>();
    // Watched from inside the run: press Stop once the bar has moved.
    QElapsedTimer clock;
    int seen = -1;
    bool stopVisible = false;
    QTimer watch;
    watch.setInterval(50);
    connect(&watch, &QTimer::timeout, stop, [&] {
        if (!window.isCalculating())
            return;
        stopVisible = stop->isVisible();
        if (bar->value() >= 1 || clock.elapsed() > 120000) {
            seen = bar->value();
            watch.stop();
            QTest::mouseClick(stop, Qt::LeftButton);
        }
    });
    clock.start();
    watch.start();
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QVERIFY2(seen >= 1, qPrintable(QStringLiteral("the bar showed %1").arg(seen)));
    QVERIFY(stopVisible);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(lastIsError(window));
    QCOMPARE(lastMessage(window), QStringLiteral("<br />Program is stopped by user"));
    QVERIFY(!stop->isVisible());
    QVERIFY(!bar->isVisible());
    QVERIFY(!window.isCalculating());
}

QTEST_MAIN(TestDrivers)
#include "test_drivers.moc"
