#include "seldialog.h"

#include "checks.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

SelDialog::SelDialog(QTableWidget *sheet, QWidget *parent) : QDialog(parent), spreadsheet(sheet)
{
    input.testSize = 0;
    if (parent)
        connect(parent, SIGNAL(signalTestRange()), this, SLOT(slotTestRange()));
    connect(spreadsheet, SIGNAL(itemSelectionChanged()), this, SLOT(slotTestRange()));
    recheckTimer = new QTimer(this);
    recheckTimer->setSingleShot(true);
    recheckTimer->setInterval(0);
    connect(recheckTimer, SIGNAL(timeout()), this, SLOT(slotTestRange()));
    if (qobject_cast<Spreadsheet *>(spreadsheet))
        connect(spreadsheet, SIGNAL(contentChanged()), this, SLOT(scheduleRecheck()));

    rangeEdit = new QLineEdit(this);
    rangeEdit->setEnabled(false);
    auto *rangeLabel = new QLabel(tr("Cells &Range"), this);
    rangeLabel->setBuddy(rangeEdit);
    messageLabel = new QLabel(this);
    messageLabel->setStyleSheet(QStringLiteral("QLabel { background-color: white }"));
    auto *selectionLabel = new QLabel(tr("Test Selection"), this);
    okButton = new QPushButton(tr("&OK"), this);
    connect(okButton, SIGNAL(clicked()), this, SLOT(accept()));
    auto *cancelButton = new QPushButton(tr("&Cancel"), this);
    connect(cancelButton, SIGNAL(clicked()), this, SLOT(reject()));

    prompts << tr("<b>Select 2xN Cells with Numbers</b>") << tr("<b>Select MxN Cells with Numbers</b>")
            << tr("<b>Select 2xN Cells with Numbers</b>") << tr("<b>Select NxN Cells with Numbers</b>")
            << tr("<b>Select Nx2M Cells with Numbers</b>") << tr("<b>Select 2x3 Cells with Numbers</b>");
    titles << tr("Fisher 2xN test") << tr("Chi-squared test") << tr("Risk cluster")
           << tr("Exact Hardy-Weinberg") << tr("Gene interaction") << tr("Genetic models");

    accuracySpin = new QSpinBox(this);
    accuracySpin->setRange(0, 9);
    // Set before the layout measures the box, so "Max" fits when it shows.
    accuracySpin->setSpecialValueText(tr("Max"));
    connect(accuracySpin, SIGNAL(valueChanged(int)), this, SLOT(slotSpinText(int)));
    digitsLabel = new QLabel(this);
    accuracyBox = new QWidget(this);
    auto *accuracyLayout = new QHBoxLayout(accuracyBox);
    accuracyLayout->addWidget(new QLabel(QStringLiteral("Accuracy="), accuracyBox));
    accuracyLayout->addWidget(accuracySpin);
    yatesCheck = new QCheckBox(tr("Yates correction"), this);
    connect(yatesCheck, SIGNAL(stateChanged(int)), this, SLOT(slotTestRange()));
    yatesCheck->hide();
    promptLabel = new QLabel(this);
    monteCarloBox = new QWidget(this);
    auto *monteCarloLayout = new QHBoxLayout(monteCarloBox);
    monteCarloLayout->setContentsMargins(0, 0, 0, 0);
    monteCarloCheck = new QCheckBox(tr("Monte Carlo"), monteCarloBox);
    samplesSpin = new QSpinBox(monteCarloBox);
    samplesSpin->setRange(1000, 1000000000);
    samplesSpin->setSingleStep(10000);
    samplesSpin->setGroupSeparatorShown(true);
    samplesSpin->setSuffix(tr(" samples"));
    samplesSpin->setValue(kDefaultSamples);
    monteCarloLayout->addWidget(monteCarloCheck);
    monteCarloLayout->addWidget(samplesSpin);
    connect(monteCarloCheck, SIGNAL(toggled(bool)), this, SLOT(slotMonteCarlo()));
    connect(samplesSpin, SIGNAL(valueChanged(int)), this, SLOT(slotMonteCarlo()));

    confLevelBox = new QWidget(this);
    auto *confLevelLayout = new QHBoxLayout(confLevelBox);
    confLevelLayout->setContentsMargins(0, 0, 0, 0);
    confLevelSpin = new QDoubleSpinBox(confLevelBox);
    confLevelSpin->setRange(1.0, 99.99);
    confLevelSpin->setDecimals(2);
    confLevelSpin->setSuffix(QStringLiteral(" %"));
    confLevelSpin->setValue(kDefaultConfLevel);
    auto *confLevelLabel = new QLabel(tr("Confidence &level"), confLevelBox);
    confLevelLabel->setBuddy(confLevelSpin);
    confLevelLayout->addWidget(confLevelLabel);
    confLevelLayout->addWidget(confLevelSpin);
    confLevelBox->hide();
    connect(confLevelSpin, SIGNAL(valueChanged(double)), this, SLOT(slotConfLevel()));

    auto *layout = new QGridLayout(this);
    layout->addWidget(promptLabel, 0, 0, 1, 2);
    layout->addWidget(digitsLabel, 1, 0);
    layout->addWidget(accuracyBox, 1, 1);
    layout->addWidget(confLevelBox, 1, 1);
    layout->addWidget(yatesCheck, 2, 0);
    layout->addWidget(monteCarloBox, 2, 1);
    layout->addWidget(rangeLabel, 3, 0);
    layout->addWidget(rangeEdit, 3, 1);
    layout->addWidget(selectionLabel, 4, 0);
    layout->addWidget(messageLabel, 4, 1);
    layout->addWidget(okButton, 5, 0);
    layout->addWidget(cancelButton, 5, 1);

    // Measured with the Monte Carlo row shown, so that the row fits.
    setFixedHeight(sizeHint().height());
    monteCarloBox->hide();
    slotMonteCarlo();
    setModal(false);
    testKind = TestNone;
}

void SelDialog::showForTest()
{
    digitsLabel->hide();
    accuracyBox->hide();
    yatesCheck->hide();
    if (testKind == TestFisher) {
        input.accuracy = 0;
        accuracyBox->show();
        digitsLabel->show();
        accuracySpin->setValue(1);
        accuracySpin->setValue(0);
    } else if (testKind == TestChi2) {
        yatesCheck->show();
        yatesCheck->setChecked(false);
    }
    confLevelBox->setVisible(testKind == TestModels);
    confLevelSpin->setValue(kDefaultConfLevel);
    slotConfLevel();
    // Unticked at every opening, like the accuracy.
    monteCarloBox->setVisible(testKind == TestFisher || testKind == TestChi2 || testKind == TestHardyW);
    samplesSpin->setValue(kDefaultSamples);
    monteCarloCheck->setChecked(false);
    slotMonteCarlo();
    setVisible(true);
}

void SelDialog::accept()
{
    if (calculationRunning) {
        messageLabel->setText(
            tr("<font color=\"red\">A test is running: stop it or wait for its result</font>"));
        return;
    }
    // A change to the grid may still wait for its re-check: check once
    // more, so that the run reads what the grid holds now, or nothing.
    recheckTimer->stop();
    slotTestRange();
    if (testKind >= 0 && !okButton->isEnabled())
        return;
    QDialog::accept();
}

void SelDialog::scheduleRecheck()
{
    if (testKind >= 0 && !recheckTimer->isActive())
        recheckTimer->start();
}

void SelDialog::slotTestRange()
{
    if (testKind < 0 || testKind > TestModels)
        return;
    // The running test reads its own copy of the input, but keep the dialog
    // quiet anyway: nothing it shows would be used.
    promptLabel->setText(prompts.at(testKind));
    setWindowTitle(titles.at(testKind));

    const QTableWidgetSelectionRange range = [this] {
        const QList<QTableWidgetSelectionRange> ranges = spreadsheet->selectedRanges();
        return ranges.isEmpty() ? QTableWidgetSelectionRange() : ranges.first();
    }();
    input.nCols = range.rightColumn() - range.leftColumn() + 1;
    input.nRows = range.bottomRow() - range.topRow() + 1;
    input.leftCol = range.leftColumn();
    input.topRow = range.topRow();
    input.yates = yatesCheck->isChecked();
    rangeEdit->setText(tr("%1%2:%3%4")
                           .arg(QChar(u'A' + range.leftColumn()))
                           .arg(range.topRow() + 1)
                           .arg(QChar(u'A' + range.rightColumn()))
                           .arg(range.bottomRow() + 1));

    const SpreadsheetCellSource live(spreadsheet);
    checkedCells = CellSnapshot(&live);
    const CheckResult result = checkTestRange(testKind, checkedCells, input);
    checkedCells.detach();
    messageLabel->setText(result.message);
    if (result.yatesUnchecked) {
        const QSignalBlocker blocker(yatesCheck);
        yatesCheck->setChecked(false);
        input.yates = false;
    }
    if (testKind == TestChi2 || result.yatesUnchecked)
        yatesCheck->setEnabled(result.yatesEnabled);
    okButton->setEnabled(result.ok);
}

void SelDialog::slotSpinText(int value)
{
    input.accuracy = value;
    QString bold;
    QString tail;
    if (value == 0) {
        accuracySpin->setSpecialValueText(tr("Max"));
        bold = QStringLiteral("1234567890");
    } else {
        for (int digit = 1; digit <= value; ++digit)
            bold += QString::number(digit);
        for (int digit = value + 1; digit <= 9; ++digit)
            tail += QString::number(digit);
        tail += u'0';
    }
    digitsLabel->setText(QStringLiteral("P=0.<B><FONT size=+1>") + bold + QStringLiteral("</FONT></B>")
                         + tail);
}

void SelDialog::slotConfLevel()
{
    input.confLevel = confLevelSpin->value() / 100.0;
}

void SelDialog::slotMonteCarlo()
{
    const bool ticked = monteCarloCheck->isChecked();
    input.monteCarloSamples = ticked ? samplesSpin->value() : 0;
    samplesSpin->setEnabled(ticked);
    // The digits of the exact network do not apply to an estimate.
    accuracyBox->setEnabled(!ticked);
    digitsLabel->setEnabled(!ticked);
}
