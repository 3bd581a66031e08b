#include "seldialog.h"

#include "checks.h"
#include "metacheck.h"
#include "placement.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QScreen>
#include <QVBoxLayout>
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
    connect(spreadsheet, SIGNAL(itemSelectionChanged()), this, SLOT(followSelection()));
    recheckTimer = new QTimer(this);
    recheckTimer->setSingleShot(true);
    recheckTimer->setInterval(0);
    connect(recheckTimer, SIGNAL(timeout()), this, SLOT(slotTestRange()));
    if (qobject_cast<Spreadsheet *>(spreadsheet))
        connect(spreadsheet, SIGNAL(contentChanged()), this, SLOT(scheduleRecheck()));

    // Read-only rather than disabled: the range stays legible, and a click
    // can select it for copying; Tab passes it by.
    rangeEdit = new QLineEdit(this);
    rangeEdit->setReadOnly(true);
    rangeEdit->setFocusPolicy(Qt::ClickFocus);
    auto *rangeLabel = new QLabel(tr("Cells Range"), this);
    messageLabel = new QLabel(this);
    messageLabel->setStyleSheet(QStringLiteral("QLabel { background-color: white }"));
    messageLabel->setWordWrap(true);
    // Two lines: the longest verdicts wrap instead of widening the dialog.
    messageLabel->setMinimumHeight(2 * messageLabel->fontMetrics().lineSpacing() + 4);
    auto *selectionLabel = new QLabel(tr("Test Selection"), this);
    okButton = new QPushButton(tr("&OK"), this);
    // OK is the default whenever it is enabled, and no button takes that
    // role by having the focus: an auto-default Cancel that got the focus
    // when a red verdict disabled OK kept the default ring for good, and
    // Enter cancelled.
    okButton->setAutoDefault(false);
    okButton->setDefault(true);
    connect(okButton, SIGNAL(clicked()), this, SLOT(accept()));
    cancelButton = new QPushButton(tr("&Cancel"), this);
    cancelButton->setAutoDefault(false);
    connect(cancelButton, SIGNAL(clicked()), this, SLOT(reject()));

    prompts << tr("<b>Select 2xN Cells with Numbers</b>") << tr("<b>Select MxN Cells with Numbers</b>")
            << tr("<b>Select 2xN Cells with Numbers</b>") << tr("<b>Select NxN Cells with Numbers</b>")
            << tr("<b>Select 2MxN Cells with Numbers</b>") << tr("<b>Select 2x3 Cells with Numbers</b>")
            << tr("<b>Select Kx6 or Kx4 Cells, Study Names at the Left</b>") << tr("<b>Select 3x3 Cells with Numbers</b>")
            << tr("<b>Select Genotypes, Status Last</b>");
    titles << tr("Fisher 2xN test") << tr("Chi-squared test") << tr("Risk cluster")
           << tr("Exact Hardy-Weinberg") << tr("Gene interaction") << tr("Genetic models") << tr("Meta-analysis")
           << tr("Two-locus LD") << tr("Haplotypes");
    promptLabel = new QLabel(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(promptLabel);
    optionsLayout = new QVBoxLayout;
    layout->addLayout(optionsLayout);
    // Whatever rows a test shows, the range, the verdict and the buttons
    // stay where they are.
    layout->addStretch(1);
    auto *form = new QFormLayout;
    form->addRow(rangeLabel, rangeEdit);
    form->addRow(selectionLabel, messageLabel);
    layout->addLayout(form);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    accuracyRow = new QWidget(this);
    auto *accuracyLayout = new QHBoxLayout(accuracyRow);
    accuracyLayout->setContentsMargins(0, 0, 0, 0);
    accuracyBox = new QWidget(accuracyRow);
    auto *boxLayout = new QHBoxLayout(accuracyBox);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    accuracySpin = new QSpinBox(accuracyBox);
    accuracySpin->setRange(0, 9);
    // Set before the layout measures the box, so "Max" fits when it shows.
    accuracySpin->setSpecialValueText(tr("Max"));
    connect(accuracySpin, SIGNAL(valueChanged(int)), this, SLOT(slotSpinText(int)));
    boxLayout->addWidget(new QLabel(QStringLiteral("Accuracy="), accuracyBox));
    boxLayout->addWidget(accuracySpin);
    digitsLabel = new QLabel(accuracyRow);
    accuracyLayout->addWidget(accuracyBox);
    accuracyLayout->addWidget(digitsLabel);
    accuracyLayout->addStretch(1);
    addOptionRow(accuracyRow, {TestFisher});

    yatesCheck = new QCheckBox(tr("Yates correction"), this);
    connect(yatesCheck, SIGNAL(stateChanged(int)), this, SLOT(slotTestRange()));
    addOptionRow(yatesCheck, {TestChi2});

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
    monteCarloLayout->addStretch(1);
    connect(monteCarloCheck, SIGNAL(toggled(bool)), this, SLOT(slotMonteCarlo()));
    connect(samplesSpin, SIGNAL(valueChanged(int)), this, SLOT(slotMonteCarlo()));
    addOptionRow(monteCarloBox, {TestFisher, TestChi2, TestHardyW});

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
    confLevelLayout->addStretch(1);
    connect(confLevelSpin, SIGNAL(valueChanged(double)), this, SLOT(slotConfLevel()));
    addOptionRow(confLevelBox, {TestModels, TestMeta});

    auto *metaModelRow = new QWidget(this);
    auto *metaModelLayout = new QHBoxLayout(metaModelRow);
    metaModelLayout->setContentsMargins(0, 0, 0, 0);
    metaModelCombo = new QComboBox(metaModelRow);
    metaModelCombo->addItems({tr("All models"), tr("Allelic"), tr("Dominant"), tr("Recessive"), tr("Overdominant"),
                              tr("Heterozygote (1 vs 0)"), tr("Homozygote (2 vs 0)")});
    auto *metaModelLabel = new QLabel(tr("&Model"), metaModelRow);
    metaModelLabel->setBuddy(metaModelCombo);
    hweLevelSpin = new QDoubleSpinBox(metaModelRow);
    hweLevelSpin->setRange(0.0, 1.0);
    hweLevelSpin->setDecimals(3);
    hweLevelSpin->setSingleStep(0.01);
    hweLevelSpin->setValue(0.05);
    auto *hweLabel = new QLabel(tr("&HWE level"), metaModelRow);
    hweLabel->setBuddy(hweLevelSpin);
    metaModelLayout->addWidget(metaModelLabel);
    metaModelLayout->addWidget(metaModelCombo);
    metaModelLayout->addWidget(hweLabel);
    metaModelLayout->addWidget(hweLevelSpin);
    metaModelLayout->addStretch(1);
    addOptionRow(metaModelRow, {TestMeta});
    // The column the effect allele is counted by is shown by letter, and
    // is the same for every study.
    metaEffectCombo = new QComboBox(this);
    metaEffectCombo->addItems({QString(), QString()});
    connect(metaEffectCombo, SIGNAL(currentIndexChanged(int)), this, SLOT(scheduleRecheck()));
    addOptionRow(metaEffectCombo, {TestMeta});
    metaSubgroupCheck = new QCheckBox(tr("&Subgroups in the column right of the block"), this);
    connect(metaSubgroupCheck, SIGNAL(toggled(bool)), this, SLOT(scheduleRecheck()));
    addOptionRow(metaSubgroupCheck, {TestMeta});

    // Two rows, so that the dialog keeps the width of the other tests.
    haplotypeBox = new QWidget(this);
    auto *haplotypeLayout = new QGridLayout(haplotypeBox);
    haplotypeLayout->setContentsMargins(0, 0, 0, 0);
    startsSpin = new QSpinBox(haplotypeBox);
    startsSpin->setRange(1, 1000);
    startsSpin->setValue(kDefaultStarts);
    rareSpin = new QDoubleSpinBox(haplotypeBox);
    rareSpin->setRange(0.0, 0.499);
    rareSpin->setDecimals(3);
    rareSpin->setSingleStep(0.005);
    rareSpin->setValue(kDefaultRare);
    permutationsSpin = new QSpinBox(haplotypeBox);
    permutationsSpin->setRange(0, 10000000);
    permutationsSpin->setSingleStep(1000);
    permutationsSpin->setGroupSeparatorShown(true);
    permutationsSpin->setValue(kDefaultPermutations);
    const auto addField = [haplotypeBox = haplotypeBox, haplotypeLayout](const QString &text, QWidget *field, int row,
                                                                         int column) {
        auto *label = new QLabel(text, haplotypeBox);
        label->setBuddy(field);
        haplotypeLayout->addWidget(label, row, column);
        haplotypeLayout->addWidget(field, row, column + 1);
    };
    addField(tr("&Starts"), startsSpin, 0, 0);
    addField(tr("&Rare below"), rareSpin, 0, 2);
    addField(tr("&Permutations"), permutationsSpin, 1, 0);
    haplotypeLayout->setColumnStretch(4, 1);
    connect(startsSpin, SIGNAL(valueChanged(int)), this, SLOT(slotHaplotypeOptions()));
    connect(permutationsSpin, SIGNAL(valueChanged(int)), this, SLOT(slotHaplotypeOptions()));
    connect(rareSpin, SIGNAL(valueChanged(double)), this, SLOT(slotHaplotypeOptions()));
    addOptionRow(haplotypeBox, {TestHaplotypes});

    // The widest accuracy text, so that the measure holds for every value.
    slotSpinText(0);
    fixSizeForEveryKind();
    orderTabs();
    showOptionRows(TestNone);
    slotMonteCarlo();
    setModal(false);
    testKind = TestNone;
}

void SelDialog::addOptionRow(QWidget *row, std::initializer_list<int> kinds)
{
    // At its own width: a click right of a box's text does not tick it.
    optionsLayout->addWidget(row, 0, Qt::AlignLeft);
    optionRows.append(OptionRow{row, QList<int>(kinds)});
}

void SelDialog::showOptionRows(int kind)
{
    for (const OptionRow &option : std::as_const(optionRows))
        option.row->setVisible(option.kinds.contains(kind));
}

void SelDialog::fixSizeForEveryKind()
{
    QSize largest(360, 0);
    for (int kind = 0; kind < titles.size(); ++kind) {
        showOptionRows(kind);
        promptLabel->setText(prompts.value(kind));
        layout()->activate();
        largest = largest.expandedTo(sizeHint());
    }
    setFixedSize(largest);
}

// Tab runs through the options top to bottom, then OK and Cancel. A
// widget inside a focusable one (a spin box's editor) is its part, not a
// stop of its own.
QList<QWidget *> SelDialog::optionStops() const
{
    QList<QWidget *> stops;
    for (const OptionRow &option : optionRows) {
        QList<QWidget *> candidates{option.row};
        candidates += option.row->findChildren<QWidget *>();
        for (QWidget *widget : std::as_const(candidates)) {
            if (!(widget->focusPolicy() & Qt::TabFocus))
                continue;
            bool part = false;
            for (QWidget *up = widget->parentWidget(); up && up != option.row->parentWidget(); up = up->parentWidget())
                part = part || stops.contains(up);
            if (!part)
                stops << widget;
        }
    }
    return stops;
}

void SelDialog::orderTabs()
{
    const QList<QWidget *> chain = optionStops() + QList<QWidget *>{okButton, cancelButton};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void SelDialog::showForTest()
{
    showOptionRows(testKind);
    if (testKind == TestFisher) {
        input.accuracy = 0;
        accuracySpin->setValue(1);
        accuracySpin->setValue(0);
    } else if (testKind == TestChi2) {
        yatesCheck->setChecked(false);
    }
    confLevelSpin->setValue(kDefaultConfLevel);
    slotConfLevel();
    if (testKind == TestMeta) {
        metaModelCombo->setCurrentIndex(0);
        metaEffectCombo->setCurrentIndex(0);
        metaSubgroupCheck->setChecked(false);
        hweLevelSpin->setValue(0.05);
    }
    startsSpin->setValue(kDefaultStarts);
    permutationsSpin->setValue(kDefaultPermutations);
    rareSpin->setValue(kDefaultRare);
    slotHaplotypeOptions();
    // Unticked at every opening, like the accuracy.
    samplesSpin->setValue(kDefaultSamples);
    monteCarloCheck->setChecked(false);
    slotMonteCarlo();
    placeBesideSelection();
    setVisible(true);
    // In front and with the keyboard, also when it was open behind the
    // window already.
    raise();
    activateWindow();
    // The first option that takes input, or OK, takes the keyboard.
    const QList<QWidget *> stops = optionStops();
    for (QWidget *stop : stops) {
        if (stop->isVisibleTo(this) && stop->isEnabled()) {
            stop->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    // Without options: OK when it may be pressed, else the dialog itself,
    // where Enter still means OK once the block passes.
    if (okButton->isEnabled()) {
        okButton->setFocus(Qt::TabFocusReason);
    } else {
        if (QWidget *old = focusWidget())
            old->clearFocus();
        setFocus(Qt::TabFocusReason);
    }
}

QString SelDialog::testTitle() const
{
    // An estimate is not the exact test that the menu item names.
    if (testKind == TestHardyW && input.monteCarloSamples > 0)
        return tr("Hardy-Weinberg test");
    return titles.value(testKind);
}

QStringList SelDialog::optionSummary() const
{
    QStringList options;
    const bool monteCarlo = input.monteCarloSamples > 0;
    if (testKind == TestFisher && !monteCarlo) {
        if (input.accuracy == 0)
            options << tr("accuracy Max");
        else if (input.accuracy == 1)
            options << tr("accuracy 1 digit");
        else
            options << tr("accuracy %1 digits").arg(input.accuracy);
    }
    if (testKind == TestChi2 && yatesCheck->isEnabled())
        options << (input.yates ? tr("Yates correction") : tr("no Yates correction"));
    if (testKind == TestModels)
        options << tr("confidence level %1%").arg(QLocale().toString(input.confLevel * 100.0, 'g', 6));
    if (testKind == TestMeta) {
        options << metaModelCombo->currentText();
        if (!input.meta.exposure)
            options << tr("effect allele by %1").arg(input.meta.effectColumn);
        if (input.metaSubgroups)
            options << tr("subgroups");
        options << tr("MH, IV, Peto, exact, DL and REML; %1% intervals; HWE level %2")
                       .arg(QLocale().toString(input.confLevel * 100.0, 'g', 6))
                       .arg(QLocale().toString(hweLevelSpin->value(), 'g', 6));
    }
    if (testKind == TestHaplotypes)
        options << tr("%1 starts").arg(input.haplotypeStarts)
                << tr("%1 permutations").arg(QLocale().toString(input.permutations))
                << tr("rare below %1").arg(QLocale().toString(input.rareFrequency, 'g', 6));
    if (monteCarlo)
        // Grouped in English whatever the system's locale, as the report's
        // words and the picture's subtitle are.
        options << tr("Monte Carlo, %1 samples").arg(QLocale(QLocale::English).toString(input.monteCarloSamples));
    return options;
}

// A block that grows under the open dialog (Shift+arrows, a drag) pushes it
// aside, as opening did, unless the user has put the dialog somewhere of
// their own.
void SelDialog::followSelection()
{
    if (isVisible() && testKind >= 0 && !movedByHand())
        placeBesideSelection();
}

bool SelDialog::movedByHand() const
{
    return placedByProgram && pos() != placedAt;
}

// Over the block, the dialog would hide what it checks: beside it, on the
// screen the grid is on. Once open it stays where the user leaves it,
// unless a new test would open it over the block.
void SelDialog::placeBesideSelection()
{
    const QList<QTableWidgetSelectionRange> ranges = spreadsheet->selectedRanges();
    if (ranges.isEmpty() || !spreadsheet->screen())
        return;
    const QTableWidgetSelectionRange &range = ranges.first();
    QAbstractItemModel *model = spreadsheet->model();
    const QRect first = spreadsheet->visualRect(model->index(range.topRow(), range.leftColumn()));
    const QRect last = spreadsheet->visualRect(model->index(range.bottomRow(), range.rightColumn()));
    QWidget *viewport = spreadsheet->viewport();
    const QRect shown = first.united(last).intersected(viewport->rect());
    if (shown.isEmpty())
        return;
    const QRect block(viewport->mapToGlobal(shown.topLeft()), shown.size());
    const QRect frame = frameGeometry();
    if (isVisible() && !frame.intersects(block))
        return;
    // Before the first showing the window manager's frame is not known:
    // room for a usual title bar.
    const QSize frameSize = isVisible() ? frame.size() : size() + QSize(8, 32);
    const QRect placed = placeBeside(block, frameSize, spreadsheet->screen()->availableGeometry());
    move(placed.topLeft());
    placedAt = placed.topLeft();
    placedByProgram = true;
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
    if (testKind < 0 || testKind >= titles.size())
        return;
    // The running test reads its own copy of the input, but keep the dialog
    // quiet anyway: nothing it shows would be used.
    promptLabel->setText(prompts.at(testKind));
    setWindowTitle(titles.at(testKind));

    const QTableWidgetSelectionRange range = [this] {
        const QList<QTableWidgetSelectionRange> ranges = spreadsheet->selectedRanges();
        return ranges.isEmpty() ? QTableWidgetSelectionRange() : ranges.first();
    }();
    // Nothing selected is a block of no cells, shown as no range, never
    // as the text of the indexes -1.
    const bool selected = range.rowCount() > 0 && range.columnCount() > 0;
    input.nCols = selected ? range.columnCount() : 0;
    input.nRows = selected ? range.rowCount() : 0;
    input.leftCol = selected ? range.leftColumn() : 0;
    input.topRow = selected ? range.topRow() : 0;
    input.yates = yatesCheck->isChecked();
    rangeEdit->setText(selected ? tr("%1%2:%3%4")
                                      .arg(QChar(u'A' + range.leftColumn()))
                                      .arg(range.topRow() + 1)
                                      .arg(QChar(u'A' + range.rightColumn()))
                                      .arg(range.bottomRow() + 1)
                                : QString());

    if (testKind == TestMeta) {
        // The effect column by letter, for the block as it now stands.
        const QSignalBlocker blocker(metaEffectCombo);
        metaEffectCombo->setItemText(0, tr("Effect allele: the one counted by %1").arg(metaEffectColumns(input, false)));
        metaEffectCombo->setItemText(1, tr("Effect allele: the one counted by %1").arg(metaEffectColumns(input, true)));
        input.metaEffectFirst = metaEffectCombo->currentIndex() == 1;
        input.metaSubgroups = metaSubgroupCheck->isChecked();
        input.meta.confLevel = input.confLevel;
        input.meta.hweLevel = hweLevelSpin->value();
        input.meta.model = metaModelCombo->currentIndex() - 1;
    }
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

void SelDialog::slotHaplotypeOptions()
{
    input.haplotypeStarts = startsSpin->value();
    input.permutations = permutationsSpin->value();
    input.rareFrequency = rareSpin->value();
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
