// The test selection dialog over a real grid: titles, prompts, range text,
// options, and the verdict following the selection.
#include "mainwindow.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

using windowtest::fill;

namespace {

void trigger(MainWindow &window, const QString &text)
{
    QVERIFY2(windowtest::trigger(window, text), qPrintable(text));
}

void select(Spreadsheet *sheet, int top, int left, int bottom, int right)
{
    sheet->clearSelection();
    sheet->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");
const QString kWrongRange = QStringLiteral("<font color=\"red\"> wrong Range</font>");

} // namespace

class TestSelDialog final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void layout();
    void titlesAndPrompts_data();
    void titlesAndPrompts();
    void rangeTextFollowsSelection();
    void fisherAccuracy();
    void fisherShapeLimit();
    void yatesBox();
    void idleDialogIgnoresSelection();
    void okRunsTheChosenKind();
    void monteCarloOption_data();
    void monteCarloOption();
};

void TestSelDialog::layout()
{
    MainWindow window;
    SelDialog *dialog = window.selectionDialog();
    auto *grid = qobject_cast<QGridLayout *>(dialog->layout());
    QVERIFY(grid);
    QCOMPARE(grid->itemAtPosition(0, 0)->widget(), dialog->promptLabel);
    QCOMPARE(grid->itemAtPosition(1, 0)->widget(), dialog->digitsLabel);
    QCOMPARE(grid->itemAtPosition(1, 1)->widget(), dialog->accuracyBox);
    QCOMPARE(grid->itemAtPosition(2, 0)->widget(), dialog->yatesCheck);
    QCOMPARE(grid->itemAtPosition(2, 1)->widget(), dialog->monteCarloBox);
    QCOMPARE(qobject_cast<QLabel *>(grid->itemAtPosition(3, 0)->widget())->text(),
             QStringLiteral("Cells &Range"));
    QCOMPARE(grid->itemAtPosition(3, 1)->widget(), dialog->rangeEdit);
    QCOMPARE(qobject_cast<QLabel *>(grid->itemAtPosition(4, 0)->widget())->text(),
             QStringLiteral("Test Selection"));
    QCOMPARE(grid->itemAtPosition(4, 1)->widget(), dialog->messageLabel);
    QCOMPARE(grid->itemAtPosition(5, 0)->widget(), dialog->okButton);
    QCOMPARE(qobject_cast<QPushButton *>(grid->itemAtPosition(5, 1)->widget())->text(),
             QStringLiteral("&Cancel"));
    QVERIFY(!dialog->rangeEdit->isEnabled());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->testKind, int(TestNone));
    QCOMPARE(dialog->accuracySpin->minimum(), 0);
    QCOMPARE(dialog->accuracySpin->maximum(), 9);
}

void TestSelDialog::titlesAndPrompts_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<bool>("accuracy");
    QTest::addColumn<bool>("yates");
    QTest::newRow("fisher") << "&Fisher 2xN test..." << "Fisher 2xN test"
                            << "<b>Select 2xN Cells with Numbers</b>" << true << false;
    QTest::newRow("chi2") << "&Chi-squared test..." << "Chi-squared test"
                          << "<b>Select MxN Cells with Numbers</b>" << false << true;
    QTest::newRow("cluster") << "Risk cluster..." << "Risk cluster"
                             << "<b>Select 2xN Cells with Numbers</b>" << false << false;
    QTest::newRow("hwe") << "Exact Hardy-Weinberg..." << "Exact Hardy-Weinberg"
                         << "<b>Select NxN Cells with Numbers</b>" << false << false;
    QTest::newRow("gene") << "Gene interaction..." << "Gene interaction"
                          << "<b>Select Nx2M Cells with Numbers</b>" << false << false;
    QTest::newRow("models") << "Genetic &models..." << "Genetic models"
                            << "<b>Select 2x3 Cells with Numbers</b>" << false << false;
}

void TestSelDialog::titlesAndPrompts()
{
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(QString, prompt);
    QFETCH(bool, accuracy);
    QFETCH(bool, yates);
    MainWindow window;
    window.show();
    trigger(window, action);
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->promptLabel->text(), prompt);
    QCOMPARE(dialog->accuracyBox->isVisible(), accuracy);
    QCOMPARE(dialog->digitsLabel->isVisible(), accuracy);
    QCOMPARE(dialog->yatesCheck->isVisible(), yates);
    // A single cell is no block for any test.
    QCOMPARE(dialog->messageLabel->text(), kWrongRange);
    QVERIFY(!dialog->okButton->isEnabled());
}

void TestSelDialog::rangeTextFollowsSelection()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 1, 1, {{"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"},
                       {"1", "1", "1"}, {"2", "2", "2"}, {"3", "3", "3"}});
    trigger(window, QStringLiteral("&Chi-squared test..."));
    SelDialog *dialog = window.selectionDialog();
    select(sheet, 1, 1, 6, 3);
    QCOMPARE(dialog->rangeEdit->text(), QStringLiteral("B2:D7"));
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QVERIFY(dialog->okButton->isEnabled());
    QCOMPARE(dialog->input.testSize, 10);

    // Growing the block over an empty cell: the verdict changes at once.
    select(sheet, 1, 1, 7, 3);
    QCOMPARE(dialog->rangeEdit->text(), QStringLiteral("B2:D8"));
    QCOMPARE(dialog->messageLabel->text(), QStringLiteral("<font color=\"red\">Empty cell</font>"));
    QVERIFY(!dialog->okButton->isEnabled());

    // A formula error is no number.
    sheet->setCellFormula(2, 2, QStringLiteral("=1/0"));
    select(sheet, 1, 1, 6, 3);
    QCOMPARE(dialog->messageLabel->text(), QStringLiteral("<font color=\"red\">Wrong number</font>"));
}

void TestSelDialog::fisherAccuracy()
{
    MainWindow window;
    window.show();
    SelDialog *dialog = window.selectionDialog();
    trigger(window, QStringLiteral("&Fisher 2xN test..."));
    QCOMPARE(dialog->accuracySpin->value(), 0);
    QCOMPARE(dialog->accuracySpin->text(), QStringLiteral("Max"));
    QCOMPARE(dialog->digitsLabel->text(), QStringLiteral("P=0.<B><FONT size=+1>1234567890</FONT></B>"));
    dialog->accuracySpin->setValue(3);
    QCOMPARE(dialog->input.accuracy, 3);
    QCOMPARE(dialog->digitsLabel->text(), QStringLiteral("P=0.<B><FONT size=+1>123</FONT></B>4567890"));
    dialog->accuracySpin->setValue(9);
    QCOMPARE(dialog->digitsLabel->text(), QStringLiteral("P=0.<B><FONT size=+1>123456789</FONT></B>0"));
    dialog->accuracySpin->setValue(5);
    dialog->reject();

    // A second opening starts at "Max" again.
    trigger(window, QStringLiteral("&Fisher 2xN test..."));
    QCOMPARE(dialog->accuracySpin->value(), 0);
    QCOMPARE(dialog->input.accuracy, 0);
    QCOMPARE(dialog->digitsLabel->text(), QStringLiteral("P=0.<B><FONT size=+1>1234567890</FONT></B>"));
}

void TestSelDialog::fisherShapeLimit()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    for (int column = 0; column < 26; ++column)
        for (int row = 0; row < 101; ++row)
            sheet->setCellFormula(row, column, QStringLiteral("1"));
    trigger(window, QStringLiteral("&Fisher 2xN test..."));
    SelDialog *dialog = window.selectionDialog();
    select(sheet, 0, 0, 100, 1);
    QCOMPARE(dialog->messageLabel->text(), kWrongRange);
    QVERIFY(!dialog->okButton->isEnabled());
    select(sheet, 0, 0, 99, 1);
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QCOMPARE(dialog->input.testSize, 100);
    QCOMPARE(dialog->input.total, 200);
}

void TestSelDialog::yatesBox()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 0, 0, {{"10", "20", "5"}, {"30", "40", "6"}, {"1", "2", "3"}});
    trigger(window, QStringLiteral("&Chi-squared test..."));
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(!dialog->yatesCheck->isChecked());

    select(sheet, 0, 0, 1, 1);
    QVERIFY(dialog->yatesCheck->isEnabled());
    const double plain = dialog->input.chi2Sum;
    QVERIFY(qAbs(plain - 0.793651) < 1e-6);
    QTest::mouseClick(dialog->yatesCheck, Qt::LeftButton);
    QVERIFY(dialog->yatesCheck->isChecked());
    QVERIFY(qAbs(dialog->input.chi2Sum - 0.446429) < 1e-6);

    // A 3 x 2 block unchecks and disables the box.
    select(sheet, 0, 0, 2, 1);
    QVERIFY(!dialog->yatesCheck->isChecked());
    QVERIFY(!dialog->yatesCheck->isEnabled());
    QCOMPARE(dialog->messageLabel->text(), kGood);

    // Each opening starts unchecked.
    select(sheet, 0, 0, 1, 1);
    QVERIFY(dialog->yatesCheck->isEnabled());
    QTest::mouseClick(dialog->yatesCheck, Qt::LeftButton);
    dialog->reject();
    trigger(window, QStringLiteral("&Chi-squared test..."));
    QVERIFY(!dialog->yatesCheck->isChecked());
}

void TestSelDialog::idleDialogIgnoresSelection()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    trigger(window, QStringLiteral("&Chi-squared test..."));
    SelDialog *dialog = window.selectionDialog();
    select(sheet, 1, 1, 6, 3);
    const QString before = dialog->rangeEdit->text();
    dialog->reject();
    dialog->testKind = TestNone;
    select(sheet, 3, 3, 4, 4);
    QCOMPARE(dialog->rangeEdit->text(), before);
}

void TestSelDialog::okRunsTheChosenKind()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 0, 0, {{"10", "20"}, {"30", "40"}});
    trigger(window, QStringLiteral("&Chi-squared test..."));
    SelDialog *dialog = window.selectionDialog();
    select(sheet, 0, 0, 1, 1);
    QVERIFY(dialog->okButton->isEnabled());
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->testKind, int(TestNone));
    QVERIFY(!dialog->yatesCheck->isVisible());
}

void TestSelDialog::monteCarloOption_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("offered");
    QTest::newRow("fisher") << "&Fisher 2xN test..." << true;
    QTest::newRow("chi2") << "&Chi-squared test..." << true;
    QTest::newRow("hwe") << "Exact Hardy-Weinberg..." << true;
    QTest::newRow("cluster") << "Risk cluster..." << false;
    QTest::newRow("gene") << "Gene interaction..." << false;
    QTest::newRow("models") << "Genetic &models..." << false;
}

// "Monte Carlo" with its samples, for the three tests that have it; it
// starts unticked at 100,000 samples at every opening, like the accuracy.
void TestSelDialog::monteCarloOption()
{
    QFETCH(QString, action);
    QFETCH(bool, offered);
    MainWindow window;
    window.show();
    SelDialog *dialog = window.selectionDialog();
    trigger(window, action);
    QCOMPARE(dialog->monteCarloBox->isVisible(), offered);
    QCOMPARE(dialog->monteCarloCheck->text(), QStringLiteral("Monte Carlo"));
    QVERIFY(!dialog->monteCarloCheck->isChecked());
    QCOMPARE(dialog->samplesSpin->value(), 100000);
    QVERIFY(!dialog->samplesSpin->isEnabled());
    QCOMPARE(dialog->input.monteCarloSamples, qint64(0));
    if (!offered)
        return;

    QTest::mouseClick(dialog->monteCarloCheck, Qt::LeftButton);
    QVERIFY(dialog->monteCarloCheck->isChecked());
    QVERIFY(dialog->samplesSpin->isEnabled());
    QCOMPARE(dialog->input.monteCarloSamples, qint64(100000));
    // The digits of the exact network do not apply to an estimate.
    QCOMPARE(dialog->accuracyBox->isEnabled(), false);
    dialog->samplesSpin->selectAll();
    QTest::keyClicks(dialog->samplesSpin, QStringLiteral("2500000"));
    QCOMPARE(dialog->samplesSpin->value(), 2500000);
    QCOMPARE(dialog->input.monteCarloSamples, qint64(2500000));
    QTest::mouseClick(dialog->monteCarloCheck, Qt::LeftButton);
    QCOMPARE(dialog->input.monteCarloSamples, qint64(0));
    QVERIFY(dialog->accuracyBox->isEnabled());
    QTest::mouseClick(dialog->monteCarloCheck, Qt::LeftButton);
    dialog->reject();

    // The next opening starts afresh.
    trigger(window, action);
    QVERIFY(!dialog->monteCarloCheck->isChecked());
    QCOMPARE(dialog->samplesSpin->value(), 100000);
    QCOMPARE(dialog->input.monteCarloSamples, qint64(0));
    QVERIFY(dialog->accuracyBox->isEnabled());
}

QTEST_MAIN(TestSelDialog)
#include "test_seldialog.moc"
