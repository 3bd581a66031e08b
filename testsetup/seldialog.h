#pragma once

#include "testinput.h"

#include <QDialog>

class QTableWidget;

class SelDialog final : public QDialog
{
    Q_OBJECT

public:
    SelDialog(QTableWidget *sheet, QWidget *parent);

    int testKind = TestNone;
    TestInput input;

private:
    QTableWidget *spreadsheet;
};
