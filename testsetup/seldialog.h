#pragma once

#include "cellsnapshot.h"
#include "testinput.h"

#include <QDialog>
#include <QStringList>

#include <initializer_list>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;
class QTimer;

// The one dialog through which every test starts: shows the selected block
// as a range text, checks it for the chosen test at every selection change
// and after every change to the grid's cells, and holds what the check
// copied out of the grid for the test's driver.
class SelDialog final : public QDialog
{
    Q_OBJECT

public:
    SelDialog(QTableWidget *sheet, QWidget *parent);

    // Shows the option widgets of the current kind, reset, and the dialog,
    // beside the selected block when it opens (or would cover the block).
    void showForTest();

    // The current kind's name, as the dialog's title shows it.
    QString testTitle() const;
    // The options that the run will use, as a report states them: "Yates
    // correction", "accuracy 3 digits", "Monte Carlo, 100,000 samples".
    QStringList optionSummary() const;

    // The samples that "Monte Carlo" offers at every opening.
    static constexpr int kDefaultSamples = 100000;
    // The confidence level (percent) that genetic models offer at every opening.
    static constexpr double kDefaultConfLevel = 95.0;

    // What haplotypes offer at every opening.
    static constexpr int kDefaultStarts = 20;
    static constexpr int kDefaultPermutations = 1000;
    static constexpr double kDefaultRare = 0.01;

    // While a calculation runs, OK refuses to start a second one.
    void setCalculationRunning(bool running) { calculationRunning = running; }

    int testKind = TestNone;
    TestInput input;
    // The cells as the last check read them, for a report's echo.
    CellSnapshot checkedCells;

    QCheckBox *yatesCheck = nullptr;
    QSpinBox *accuracySpin = nullptr;
    QLabel *digitsLabel = nullptr;
    QWidget *accuracyBox = nullptr;
    // Fisher, chi-squared, Hardy-Weinberg: estimate the P-value from this
    // many random tables instead of computing it exactly.
    QCheckBox *monteCarloCheck = nullptr;
    QSpinBox *samplesSpin = nullptr;
    QWidget *monteCarloBox = nullptr;
    // Genetic models: the level of every interval, in percent.
    QDoubleSpinBox *confLevelSpin = nullptr;
    QWidget *confLevelBox = nullptr;
    // Haplotypes: the EM's starts, the permutations, the rare frequency.
    QSpinBox *startsSpin = nullptr;
    QSpinBox *permutationsSpin = nullptr;
    QDoubleSpinBox *rareSpin = nullptr;
    QWidget *haplotypeBox = nullptr;
    QWidget *accuracyRow = nullptr;
    // Meta-analysis: the model(s), the effect allele's column, the
    // subgroup column and the Hardy-Weinberg level of the restricted
    // analysis.
    QComboBox *metaModelCombo = nullptr;
    QComboBox *metaEffectCombo = nullptr;
    QCheckBox *metaSubgroupCheck = nullptr;
    QDoubleSpinBox *hweLevelSpin = nullptr;
    QLabel *promptLabel = nullptr;
    QLineEdit *rangeEdit = nullptr;
    QLabel *messageLabel = nullptr;
    QPushButton *okButton = nullptr;

public slots:
    void accept() override;

private slots:
    void slotTestRange();
    void slotSpinText(int value);
    void slotMonteCarlo();
    void slotConfLevel();
    void slotHaplotypeOptions();
    void scheduleRecheck();
    void followSelection();

private:
    // A row of options, shown for the kinds listed. Rows stand in the
    // order added, top to bottom, and Tab visits them in that order.
    void addOptionRow(QWidget *row, std::initializer_list<int> kinds);
    void showOptionRows(int kind);
    // Every kind gets the size of the largest, so that OK stays in place.
    void fixSizeForEveryKind();
    QList<QWidget *> optionStops() const;
    void orderTabs();
    void placeBesideSelection();
    // Whether the dialog stands elsewhere than where it was last placed.
    bool movedByHand() const;

    struct OptionRow
    {
        QWidget *row;
        QList<int> kinds;
    };
    QList<OptionRow> optionRows;
    QVBoxLayout *optionsLayout = nullptr;
    QPushButton *cancelButton = nullptr;
    QStringList prompts;
    QStringList titles;
    QTableWidget *spreadsheet;
    bool calculationRunning = false;
    // Where placeBesideSelection() last put the dialog (its frame).
    QPoint placedAt;
    bool placedByProgram = false;
    // One deferred re-check per event-loop pass, however many cells a
    // paste, sort or load changes.
    QTimer *recheckTimer = nullptr;
};
