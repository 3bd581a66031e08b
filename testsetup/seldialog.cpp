#include "seldialog.h"

SelDialog::SelDialog(QTableWidget *sheet, QWidget *parent) : QDialog(parent), spreadsheet(sheet) {}
