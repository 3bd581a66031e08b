#include "mainwindow.h"

void MainWindow::find() {}

void MainWindow::goToCell() {}

void MainWindow::sort() {}
