#include "recoverydialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

QStringList RecoveryDialog::rowTexts(const RecoveryCopy &copy)
{
    const bool known = copy.savedAt.isValid();
    const QString name = known ? copy.displayName() : tr("Unknown document");
    const QString time = known
        ? copy.savedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        : QString();
    const QString kept = copy.copyFile.isEmpty() ? copy.stem + QStringLiteral(".*")
                                                 : QFileInfo(copy.copyFile).fileName();
    const QString state = copy.isDamaged() ? tr("Cannot be read. %1 Kept as %2.").arg(copy.damage, kept)
                                           : tr("Can be restored");
    return { name, time, state };
}

RecoveryDialog::RecoveryDialog(const QList<RecoveryCopy> &copies, const QString &folder,
                               QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Recover Documents"));
    QString text = tr("Velmora ended without saving these documents. Restore opens each one as its "
                      "last recovery copy holds it, marked modified; Save then writes it to its "
                      "own file.");
    if (std::any_of(copies.begin(), copies.end(), [](const RecoveryCopy &c) { return c.isDamaged(); }))
        text += u'\n'
            + tr("A copy that cannot be read stays in %1 until you discard it.")
                  .arg(QDir::toNativeSeparators(folder));
    auto *intro = new QLabel(text);
    intro->setWordWrap(true);

    auto *list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
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
    resize(680, 260);
}
