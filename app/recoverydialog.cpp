#include "recoverydialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

QStringList RecoveryDialog::rowTexts(const RecoveryCopy &copy)
{
    const bool known = copy.savedAt.isValid();
    const QString name = known ? copy.displayName() : tr("Unknown document");
    const QString time = known
        ? copy.savedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        : QString();
    const QString state = copy.isDamaged()
        ? tr("Cannot be read: %1 It is kept as %2.")
              .arg(copy.damage, QDir::toNativeSeparators(copy.copyFile.isEmpty()
                                                             ? copy.stem + QStringLiteral(".*")
                                                             : copy.copyFile))
        : tr("Can be restored");
    return { name, time, state };
}

RecoveryDialog::RecoveryDialog(const QList<RecoveryCopy> &copies, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Recover Documents"));
    auto *intro = new QLabel(
        tr("Velmora ended without saving these documents. Restore opens each one as its last "
           "recovery copy holds it, marked modified; Save then writes it to its own file."));
    intro->setWordWrap(true);

    auto *list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setHeaderLabels({ tr("Document"), tr("Copy saved"), tr("State") });
    bool anyRestorable = false;
    for (const RecoveryCopy &copy : copies) {
        auto *item = new QTreeWidgetItem(list, rowTexts(copy));
        item->setToolTip(0, QDir::toNativeSeparators(copy.originalPath));
        if (copy.isDamaged())
            item->setForeground(2, Qt::red);
        anyRestorable = anyRestorable || !copy.isDamaged();
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto *buttons = new QDialogButtonBox;
    QPushButton *restore = buttons->addButton(tr("Restore"), QDialogButtonBox::AcceptRole);
    QPushButton *discard = buttons->addButton(tr("Discard"), QDialogButtonBox::DestructiveRole);
    QPushButton *later = buttons->addButton(tr("Later"), QDialogButtonBox::RejectRole);
    restore->setEnabled(anyRestorable);
    // Return answers the default button wherever the focus would be.
    QPushButton *preferred = anyRestorable ? restore : later;
    preferred->setDefault(true);
    preferred->setFocus();
    connect(restore, &QPushButton::clicked, this, [this] {
        chosen = AppDialogs::Recovery::Restore;
        accept();
    });
    connect(discard, &QPushButton::clicked, this, [this] {
        chosen = AppDialogs::Recovery::Discard;
        accept();
    });
    connect(later, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(list);
    layout->addWidget(buttons);
    resize(640, 280);
}
