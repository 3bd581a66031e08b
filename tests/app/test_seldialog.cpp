// The test selection dialog over a real grid: titles, prompts, range text,
// options, and the verdict following the selection.
#include "mainwindow.h"
#include "placement.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
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
    void sameSizeAndTopToBottom_data();
    void sameSizeAndTopToBottom();
    void placement_data();
    void placement();
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
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->testKind, int(TestNone));
    QCOMPARE(dialog->accuracySpin->minimum(), 0);
    QCOMPARE(dialog->accuracySpin->maximum(), 9);
    // The range is legible, not greyed, and no Alt letter points at it.
    QVERIFY(dialog->rangeEdit->isEnabled() && dialog->rangeEdit->isReadOnly());
    QVERIFY(!(dialog->rangeEdit->focusPolicy() & Qt::TabFocus));
    const QList<QLabel *> labels = dialog->findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        if (label->buddy())
            QVERIFY2(label->buddy()->isEnabled(), qPrintable(label->text()));
    }
    QVERIFY(dialog->okButton->isDefault());
}

// Every test's dialog has the same size, so OK stays where it is; its rows
// stand top to bottom, flush left, the verdict has room for two lines, and
// Tab runs through the options top to bottom, then OK, then Cancel.
void TestSelDialog::sameSizeAndTopToBottom_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("options");  // option widgets that take the keyboard at first
    QTest::newRow("fisher") << "&Fisher 2xN test..." << 2;
    QTest::newRow("chi2") << "&Chi-squared test..." << 1;
    QTest::newRow("cluster") << "Ris&k cluster..." << 0;
    QTest::newRow("hwe") << "Exact &Hardy-Weinberg..." << 1;
    QTest::newRow("gene") << "&Gene interaction..." << 0;
}

void TestSelDialog::sameSizeAndTopToBottom()
{
    QFETCH(QString, action);
    QFETCH(int, options);
    MainWindow window;
    window.show();
    SelDialog *dialog = window.selectionDialog();
    trigger(window, QStringLiteral("&Chi-squared test..."));
    const QSize size = dialog->size();
    const QPoint ok = dialog->okButton->mapTo(dialog, QPoint(0, 0));
    dialog->reject();
    trigger(window, action);
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->okButton->mapTo(dialog, QPoint(0, 0)), ok);
    QVERIFY(dialog->messageLabel->height() >= 2 * dialog->messageLabel->fontMetrics().lineSpacing());
    QVERIFY(dialog->messageLabel->wordWrap());

    // Shown rows start at the prompt's left edge: no blank column.
    for (QWidget *row : dialog->monteCarloBox->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (row->isVisible() && row->y() < dialog->rangeEdit->y() && row != dialog->promptLabel)
            QCOMPARE(row->x(), dialog->promptLabel->x());

    // One round of the focus chain, visible stops only (a spin box's
    // editor is part of its box), rotated to end with Cancel.
    QList<QWidget *> stops;
    for (QWidget *w = dialog->nextInFocusChain(); w != dialog; w = w->nextInFocusChain()) {
        // OK counts greyed too: it waits for a block that passes.
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && (w->isEnabled() || w == dialog->okButton)
            && !qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
            stops << w;
    }
    auto *cancel = qobject_cast<QPushButton *>(dialog->findChildren<QPushButton *>().last());
    QVERIFY(stops.contains(cancel));
    while (stops.last() != cancel)
        stops.prepend(stops.takeLast());
    // Monte Carlo's samples are greyed until it is ticked, Yates until a
    // 2 x 2 block is selected.
    QCOMPARE(stops.size(), options + 2);
    QCOMPARE(stops.at(stops.size() - 2), dialog->okButton);
    for (int i = 1; i + 2 < stops.size(); ++i)
        QVERIFY(stops.at(i)->mapTo(dialog, QPoint(0, 0)).y() >= stops.at(i - 1)->mapTo(dialog, QPoint(0, 0)).y());
    // The keyboard starts at the first option; without options, at OK or,
    // while OK is greyed, at the dialog itself.
    if (options > 0)
        QCOMPARE(dialog->focusWidget(), stops.first());
    else
        QVERIFY(!dialog->focusWidget() || dialog->focusWidget() == dialog->okButton
                || dialog->focusWidget() == dialog);
}

// Right of the block, else below it, else left, else above; moved along
// the other axis only as far as the screen requires.
void TestSelDialog::placement_data()
{
    QTest::addColumn<QRect>("block");
    QTest::addColumn<QRect>("placed");
    const QSize size(300, 200);  // on a 1280 x 900 screen
    QTest::newRow("room on the right") << QRect(100, 100, 200, 100) << QRect(QPoint(308, 100), size);
    QTest::newRow("low block: raised to fit") << QRect(100, 800, 200, 90) << QRect(QPoint(308, 700), size);
    QTest::newRow("wide block: below") << QRect(0, 100, 1100, 100) << QRect(QPoint(0, 208), size);
    QTest::newRow("wide and low: above") << QRect(0, 600, 1100, 250) << QRect(QPoint(0, 392), size);
    QTest::newRow("right edge: left of it") << QRect(1000, 0, 280, 850) << QRect(QPoint(692, 0), size);
    QTest::newRow("whole screen: least hidden") << QRect(0, 0, 1280, 900) << QRect(QPoint(980, 0), size);
}

void TestSelDialog::placement()
{
    QFETCH(QRect, block);
    QFETCH(QRect, placed);
    QCOMPARE(placeBeside(block, QSize(300, 200), QRect(0, 0, 1280, 900)), placed);
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
    QTest::newRow("cluster") << "Ris&k cluster..." << "Risk cluster"
                             << "<b>Select 2xN Cells with Numbers</b>" << false << false;
    QTest::newRow("hwe") << "Exact &Hardy-Weinberg..." << "Exact Hardy-Weinberg"
                         << "<b>Select NxN Cells with Numbers</b>" << false << false;
    QTest::newRow("gene") << "&Gene interaction..." << "Gene interaction"
                          << "<b>Select 2MxN Cells with Numbers</b>" << false << false;
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
    QTest::newRow("hwe") << "Exact &Hardy-Weinberg..." << true;
    QTest::newRow("cluster") << "Ris&k cluster..." << false;
    QTest::newRow("gene") << "&Gene interaction..." << false;
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
