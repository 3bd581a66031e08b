#pragma once

#include "cellsnapshot.h"
#include "testinput.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
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

    // Shows the option widgets of the current kind, reset, and the dialog.
    void showForTest();

    // The samples that "Monte Carlo" offers at every opening.
    static constexpr int kDefaultSamples = 100000;
    // The confidence level (percent) that genetic models offer at every opening.
    static constexpr double kDefaultConfLevel = 95.0;

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
    void scheduleRecheck();

private:
    QStringList prompts;
    QStringList titles;
    QTableWidget *spreadsheet;
    bool calculationRunning = false;
    // One deferred re-check per event-loop pass, however many cells a
    // paste, sort or load changes.
    QTimer *recheckTimer = nullptr;
};
