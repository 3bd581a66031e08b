#pragma once

#include "ui_gotocelldialog.h"

#include <QDialog>

// Asks for a cell name, A1 to Z999 in either case; OK is enabled only for a
// complete, well-formed name, so the caller converts it without checks.
class GoToCellDialog final : public QDialog, public Ui::GoToCellDialog
{
    Q_OBJECT

public:
    explicit GoToCellDialog(QWidget *parent = nullptr);

private slots:
    void on_lineEdit_textChanged();
};
