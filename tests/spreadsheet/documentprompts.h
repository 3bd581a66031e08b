#pragma once

// Answers the message boxes and file dialogs of the document commands
// without a user, and records what was asked.
#include "uiprompts.h"

#include <QQueue>
#include <QStringList>

class DocumentPrompts final : public UiPrompts
{
public:
    struct Prompt
    {
        QString kind; // "warning", "information", "about", "open", "save"
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    DocumentPrompts() { UiPrompts::install(this); }
    ~DocumentPrompts() override { UiPrompts::install(nullptr); }
    DocumentPrompts(const DocumentPrompts &) = delete;
    DocumentPrompts &operator=(const DocumentPrompts &) = delete;

    // Answers given in order; an unplanned question gets Cancel or an empty
    // file name, and is counted.
    QQueue<QMessageBox::StandardButton> buttonAnswers;
    QQueue<QString> fileAnswers;
    QList<Prompt> asked;
    int unplanned = 0;

    QMessageBox::StandardButton warning(QWidget *, const QString &title, const QString &text,
        QMessageBox::StandardButtons buttons) override
    {
        asked.append({ QStringLiteral("warning"), title, text, buttons });
        if (buttons == QMessageBox::Ok)
            return QMessageBox::Ok;
        return nextButton();
    }
    QMessageBox::StandardButton information(
        QWidget *, const QString &title, const QString &text) override
    {
        asked.append({ QStringLiteral("information"), title, text, QMessageBox::Ok });
        return QMessageBox::Ok;
    }
    void about(QWidget *, const QString &title, const QString &text) override
    {
        asked.append({ QStringLiteral("about"), title, text, QMessageBox::Ok });
    }
    QString openFileName(
        QWidget *, const QString &caption, const QString &dir, const QString &filter) override
    {
        asked.append({ QStringLiteral("open"), caption, dir + u'|' + filter, {} });
        return nextFile();
    }
    QString saveFileName(
        QWidget *, const QString &caption, const QString &dir, const QString &filter) override
    {
        asked.append({ QStringLiteral("save"), caption, dir + u'|' + filter, {} });
        return nextFile();
    }
    void beep() override { }

    QStringList kinds() const
    {
        QStringList list;
        for (const Prompt &p : asked)
            list.append(p.kind);
        return list;
    }
    QString lastText() const { return asked.isEmpty() ? QString() : asked.last().text; }

private:
    QMessageBox::StandardButton nextButton()
    {
        if (buttonAnswers.isEmpty()) {
            ++unplanned;
            return QMessageBox::Cancel;
        }
        return buttonAnswers.dequeue();
    }
    QString nextFile()
    {
        if (fileAnswers.isEmpty()) {
            ++unplanned;
            return QString();
        }
        return fileAnswers.dequeue();
    }
};
