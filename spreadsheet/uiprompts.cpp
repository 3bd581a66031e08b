#include "uiprompts.h"

#include <QApplication>
#include <QFileDialog>

namespace {
UiPrompts *installed = nullptr;
}

QMessageBox::StandardButton UiPrompts::warning(QWidget *parent, const QString &title,
                                               const QString &text,
                                               QMessageBox::StandardButtons buttons)
{
    return QMessageBox::warning(parent, title, text, buttons);
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
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
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
