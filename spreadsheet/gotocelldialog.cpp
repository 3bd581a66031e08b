#include "gotocelldialog.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

GoToCellDialog::GoToCellDialog(QWidget *parent)
    : QDialog(parent)
{
    setupUi(this);
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);

    // One letter, then 1 to 999 without leading zeros: exactly the grid's
    // cells. The validator matches the whole text.
    const QRegularExpression regExp(QStringLiteral("[A-Za-z][1-9][0-9]{0,2}"));
    lineEdit->setValidator(new QRegularExpressionValidator(regExp, this));

    connect(buttonBox, SIGNAL(accepted()), this, SLOT(accept()));
    connect(buttonBox, SIGNAL(rejected()), this, SLOT(reject()));
}

void GoToCellDialog::on_lineEdit_textChanged()
{
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(lineEdit->hasAcceptableInput());
}
