#pragma once

#include "uiprompts.h"

#include <QStringList>

// Stands in for the user while it lives: records every message box instead
// of showing it, and counts the beeps.
class EditPrompts final : public UiPrompts
{
public:
    EditPrompts() { UiPrompts::install(this); }
    ~EditPrompts() override { UiPrompts::install(nullptr); }
    EditPrompts(const EditPrompts &) = delete;
    EditPrompts &operator=(const EditPrompts &) = delete;

    QMessageBox::StandardButton warning(
        QWidget *, const QString &title, const QString &text, QMessageBox::StandardButtons) override
    {
        titles << title;
        messages << text;
        return QMessageBox::Ok;
    }
    QMessageBox::StandardButton information(
        QWidget *, const QString &title, const QString &text) override
    {
        titles << title;
        messages << text;
        return QMessageBox::Ok;
    }
    void beep() override { ++beeps; }

    QStringList titles;
    QStringList messages;
    int beeps = 0;
};
