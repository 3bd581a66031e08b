// Genetic models in the window: the dialog's check messages and its
// confidence level, the report in the Results window (readable at the
// window's first size), and Copy and Save As keeping its tables.
#include "documentprompts.h"
#include "geneticmodels.h"
#include "mainwindow.h"
#include "reporttext.h"
#include "resultsview.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QClipboard>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using windowtest::fill;

namespace {

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");

QString red(const char *text)
{
    return QStringLiteral("<font color=\"red\">") + QString::fromLatin1(text) + QStringLiteral("</font>");
}

QString report(const MainWindow &window)
{
    return windowtest::reportHtml(window);
}

void select(MainWindow &window, int top, int left, int bottom, int right)
{
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

} // namespace

class TestModelsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkMessages_data();
    void checkMessages();
    void runAtChosenLevel();
    void reportKeepsItsTables();
};

void TestModelsWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

// The dialog's verdict as the selection changes, OK only for a block that
// passes.
void TestModelsWindow::checkMessages_data()
{
    QTest::addColumn<QList<int>>("block");  // top, left, bottom, right
    QTest::addColumn<QString>("message");
    QTest::newRow("2 x 3") << QList<int>{1, 1, 2, 3} << kGood;
    QTest::newRow("3 x 2") << QList<int>{5, 1, 7, 2} << kGood;
    QTest::newRow("2 x 2") << QList<int>{1, 1, 2, 2} << red(" wrong Range");
    QTest::newRow("empty cell") << QList<int>{1, 2, 2, 4} << red("Empty cell");
    QTest::newRow("controls all zero") << QList<int>{10, 1, 11, 3} << red("Sum=0 for row # 12");
    QTest::newRow("one allele") << QList<int>{13, 1, 14, 3} << red("Fewer than two alleles");
    QTest::newRow("text") << QList<int>{16, 1, 17, 3} << red("Bad number");
}

void TestModelsWindow::checkMessages()
{
    QFETCH(QList<int>, block);
    QFETCH(QString, message);
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 1, 1, {{"0", "10", "5"}, {"7", "3", "0"}});
    fill(sheet, 5, 1, {{"5", "0"}, {"10", "3"}, {"0", "7"}});
    fill(sheet, 10, 1, {{"1", "2", "3"}, {"0", "0", "0"}});
    fill(sheet, 13, 1, {{"0", "0", "8"}, {"0", "0", "9"}});
    fill(sheet, 16, 1, {{"1", "2", "x"}, {"4", "5", "6"}});
    QVERIFY(windowtest::trigger(window, QStringLiteral("Genetic &models...")));
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(dialog->confLevelBox->isVisible());
    select(window, block[0], block[1], block[2], block[3]);
    QCOMPARE(dialog->messageLabel->text(), message);
    QCOMPARE(dialog->okButton->isEnabled(), message == kGood);
}

// 99% typed into the dialog reaches every interval; the next opening offers
// 95% again; the report fits the Results window at the window's first size.
void TestModelsWindow::runAtChosenLevel()
{
    MainWindow window;
    window.show();
    fill(window.sheet(), 1, 1, {{"106", "429", "465"}, {"104", "443", "453"}});
    QVERIFY(windowtest::trigger(window, QStringLiteral("Genetic &models...")));
    SelDialog *dialog = window.selectionDialog();
    QCOMPARE(dialog->confLevelSpin->value(), 95.0);
    select(window, 1, 1, 2, 3);
    dialog->confLevelSpin->selectAll();
    QTest::keyClicks(dialog->confLevelSpin, QStringLiteral("99"));
    QCOMPARE(dialog->input.confLevel, 0.99);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    const QString text = report(window);
    QVERIFY(text.contains(QStringLiteral("Genetic models, 99% confidence level<br />Effect allele: the one "
                                         "homozygous in column 1 of the block (B)")));
    // PLINK's allelic OR for this SNP, at 99% from the engine.
    const qint64 cases[3] = {106, 429, 465}, controls[3] = {104, 443, 453};
    ModelFigures figures;
    QCOMPARE(geneticmodels::compute(cases, controls, 0.99, &figures), int(geneticmodels::Finished));
    const QString allelic = QStringLiteral("<td>Allelic</td><td>0.7353</td><td>0.7609</td><td>0.7354</td><td>0.9774 (")
                            + QString::number(figures.allelic.sample.low, 'g', 4) + QStringLiteral(", ");
    QVERIFY2(text.contains(allelic), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("OR (99% CI)")));

    // Readable without scrolling sideways.
    ResultsView *view = windowtest::resultsView(window);
    QTRY_COMPARE(view->horizontalScrollBar()->maximum(), 0);

    QVERIFY(windowtest::trigger(window, QStringLiteral("Genetic &models...")));
    QCOMPARE(dialog->confLevelSpin->value(), 95.0);
    QCOMPARE(dialog->input.confLevel, 0.95);
}

// Copy gives word processors the HTML and everything else one line per
// table row, cells split by tabs; Save As as text writes the same.
void TestModelsWindow::reportKeepsItsTables()
{
    DocumentPrompts prompts;
    QTemporaryDir folder;
    MainWindow window;
    window.show();
    fill(window.sheet(), 0, 0, {{"51", "22"}, {"43", "92"}, {"0", "0"}});
    QVERIFY(windowtest::trigger(window, QStringLiteral("Genetic &models...")));
    select(window, 0, 0, 2, 1);
    QCOMPARE(window.selectionDialog()->messageLabel->text(), kGood);
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);

    windowtest::trigger(window, QStringLiteral("&Copy Results"));
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data->html().contains(QStringLiteral("<table")));
    const QString plain = data->text();
    QVERIFY2(plain.contains(QStringLiteral("homozygous in row 3 of the block (row 3)\n")), qPrintable(plain));
    QVERIFY(plain.contains(QStringLiteral("\t0 copies\t1 copy\t2 copies\tEffect allele freq.\n")));
    QVERIFY(plain.contains(QStringLiteral("Cases\t51 (54.3%)\t43 (45.7%)\t0 (0.0%)\t0.2287\n")));
    QVERIFY(plain.contains(QStringLiteral("Recessive\t-\t-\t-\t-\t-\n")));
    QVERIFY(plain.contains(QStringLiteral("Recessive: no effect homozygotes in cases or controls\n")));

    prompts.fileAnswers.enqueue(folder.filePath(QStringLiteral("models.txt")));
    windowtest::trigger(window, QStringLiteral("&Save Results As..."));
    QFile saved(folder.filePath(QStringLiteral("models.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), reporttext::plainText(report(window)));
    QCOMPARE(reporttext::plainText(report(window)), plain);
}

QTEST_MAIN(TestModelsWindow)
#include "test_modelswindow.moc"
