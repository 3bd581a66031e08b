#include "uiprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>

namespace {
UiPrompts *installed = nullptr;

// The suffix of a name filter's first pattern: "sp" for
// "Spreadsheet files (*.sp)"; empty when it has none.
QString firstSuffix(const QString &nameFilter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(nameFilter).captured(1);
}
} // namespace

QMessageBox::StandardButton UiPrompts::warning(QWidget *parent, const QString &title,
                                               const QString &text,
                                               QMessageBox::StandardButtons buttons)
{
    return QMessageBox::warning(parent, title, text, buttons);
}

QMessageBox::StandardButton UiPrompts::warningWithDefault(QWidget *parent, const QString &title,
                                                          const QString &text,
                                                          QMessageBox::StandardButtons buttons,
                                                          QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::warning(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton UiPrompts::information(QWidget *parent, const QString &title,
                                                   const QString &text)
{
    return QMessageBox::information(parent, title, text);
}

void UiPrompts::about(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::about(parent, title, text);
}

QString UiPrompts::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString UiPrompts::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                const QString &filter)
{
    // A dialog of its own rather than the static call: a name typed without
    // a suffix gets the chosen filter's, and the question before replacing
    // a file is asked about the name with that suffix.
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(firstSuffix(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString &chosen) { dialog.setDefaultSuffix(firstSuffix(chosen)); });
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

void UiPrompts::beep()
{
    QApplication::beep();
}

UiPrompts &UiPrompts::current()
{
    static UiPrompts real;
    return installed ? *installed : real;
}

void UiPrompts::install(UiPrompts *prompts)
{
    installed = prompts;
}
