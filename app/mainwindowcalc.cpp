#include "mainwindow.h"

#include "calcpoll.h"
#include "seldialog.h"
#include "spreadsheet.h"

void MainWindow::createSelDialog()
{
    selDialog = new SelDialog(spreadsheet, this);
    connect(selDialog, SIGNAL(accepted()), this, SLOT(slotCalc()));
}

void MainWindow::slotMenuGeneInter() {}
void MainWindow::slotMenuHardyW() {}
void MainWindow::slotMenuCluster() {}
void MainWindow::slotMenuChi2() {}
void MainWindow::slotMenuFisher() {}
void MainWindow::slotProgress() {}
void MainWindow::slotStopCalc()
{
    calcStopFlag = 1;
}
void MainWindow::slotCalc() {}
void MainWindow::showCalcProgress(int maximum)
{
    Q_UNUSED(maximum);
}
bool MainWindow::toggleAutoRecalcByShortcut(bool force)
{
    Q_UNUSED(force);
    return false;
}
