#pragma once

#include "uiprompts.h"

// The prompts of a tool without a window: messages go to standard error
// (and are kept for the JSON output); questions get their default answer.
class StderrPrompts final : public UiPrompts
{
public:
    QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons) override;
    QMessageBox::StandardButton information(QWidget *parent, const QString &title,
                                            const QString &text) override;
    void about(QWidget *parent, const QString &title, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    void beep() override;

    // The text of the last message, or empty; clear before an operation to
    // learn whether it reported anything.
    QString lastMessage() const { return last; }
    void clear() { last.clear(); }

private:
    void print(const QString &text);

    QString last;
};
