#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// Every modal question, message box, file dialog and beep goes through this
// seam, so that tests can answer them without a user.
class UiPrompts
{
public:
    virtual ~UiPrompts() = default;

    virtual QMessageBox::StandardButton warning(QWidget *parent, const QString &title,
                                                const QString &text,
                                                QMessageBox::StandardButtons buttons);
    // As warning(), with the button that Enter presses named: for a
    // question whose accepting answer would end something costly.
    virtual QMessageBox::StandardButton warningWithDefault(QWidget *parent, const QString &title,
                                                           const QString &text,
                                                           QMessageBox::StandardButtons buttons,
                                                           QMessageBox::StandardButton defaultButton);
    virtual QMessageBox::StandardButton information(QWidget *parent, const QString &title,
                                                    const QString &text);
    virtual void about(QWidget *parent, const QString &title, const QString &text);
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter);
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter);
    virtual void beep();

    // The prompts in use; by default the real dialogs.
    static UiPrompts &current();
    // Installs other prompts (not owned; null restores the real dialogs).
    static void install(UiPrompts *prompts);
};
