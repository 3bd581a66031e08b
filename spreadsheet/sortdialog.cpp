#include "sortdialog.h"

SortDialog::SortDialog(QWidget *parent)
    : QDialog(parent)
{
    setupUi(this);
    secondaryGroupBox->hide();
    tertiaryGroupBox->hide();
    // The dialog shrinks and grows as "More" hides and shows the extra keys.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setColumnSpan(QChar(u'A'), QChar(u'Z'));
}

void SortDialog::setColumnSpan(QChar first, QChar last)
{
    primaryColumnCombo->clear();
    secondaryColumnCombo->clear();
    tertiaryColumnCombo->clear();

    const QString none = tr("None");
    secondaryColumnCombo->addItem(none);
    tertiaryColumnCombo->addItem(none);
    primaryColumnCombo->setMinimumSize(secondaryColumnCombo->sizeHint());

    // An int counter: a char16_t one would wrap at U+FFFF and never end.
    for (int code = first.unicode(); code <= last.unicode(); ++code) {
        const QString column(QChar(static_cast<char16_t>(code)));
        primaryColumnCombo->addItem(column);
        secondaryColumnCombo->addItem(column);
        tertiaryColumnCombo->addItem(column);
    }
}

void SortDialog::setRange(const QString &range)
{
    rangeLabel->setText(tr("Sort the rows of %1 by:").arg(range));
}
