#include "preferencesdialog.h"

#include "autosaver.h"
#include "recoverystore.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

PreferencesDialog::PreferencesDialog(int intervalSeconds, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Preferences"));

    intervalBox = new QSpinBox;
    intervalBox->setRange(0, Autosaver::kMaxInterval);
    intervalBox->setSuffix(tr(" s"));
    intervalBox->setSpecialValueText(tr("Off"));
    intervalBox->setValue(intervalSeconds);
    intervalBox->setToolTip(tr("How long after a change a recovery copy of an unsaved document "
                               "is written; 0 turns autosave off"));

    auto *where = new QLabel(tr("Recovery copies are kept in %1 until the document is saved "
                                "or closed.")
                                 .arg(QDir::toNativeSeparators(RecoveryStore::shared().folder())));
    where->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(tr("&Autosave every:"), intervalBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(where);
    layout->addWidget(buttons);
}

int PreferencesDialog::intervalSeconds() const
{
    return intervalBox->value();
}
