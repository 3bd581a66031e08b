#include "mainwindow.h"

#include "seldialog.h"

#include <QCheckBox>

// The five drivers: each copies the dialog's checked input (so a dialog
// re-check during the run cannot change what the engine reads), runs the
// shared run-and-report function and appends its report.

void MainWindow::runFisher()
{
    selDialog->testKind = TestNone;
}

void MainWindow::runChi2()
{
    selDialog->testKind = TestNone;
    selDialog->yatesCheck->hide();
}

void MainWindow::runCluster()
{
    selDialog->testKind = TestNone;
}

void MainWindow::runHardyW()
{
    selDialog->testKind = TestNone;
}

void MainWindow::runGeneInter()
{
    selDialog->testKind = TestNone;
}
