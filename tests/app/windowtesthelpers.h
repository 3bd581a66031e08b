#pragma once

// Small helpers shared by the main window's tests.

#include "../spreadsheet/celltyping.h"
#include "mainwindow.h"
#include "resultsview.h"
#include "spreadsheet.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <initializer_list>

namespace windowtest {

// The window's action with this text (mnemonic ampersands included).
inline QAction *action(const MainWindow &window, const QString &text)
{
    const QList<QAction *> actions = window.findChildren<QAction *>();
    for (QAction *a : actions)
        if (a->text() == text)
            return a;
    return nullptr;
}

inline bool trigger(const MainWindow &window, const QString &text)
{
    QAction *a = action(window, text);
    if (a)
        a->trigger();
    return a != nullptr;
}

// Rows of cell texts from (top, left); nullptr leaves a position empty.
inline void fill(Spreadsheet *sheet, int top, int left,
                 std::initializer_list<std::initializer_list<const char *>> rows)
{
    int r = 0;
    for (const auto &row : rows) {
        int c = 0;
        for (const char *text : row) {
            if (text)
                sheet->setCellFormula(top + r, left + c, QString::fromUtf8(text));
            ++c;
        }
        ++r;
    }
}

using celltyping::typeInto;

inline ResultsView *resultsView(const MainWindow &window)
{
    return window.findChild<ResultsView *>();
}

// The Results window's report as Copy and Save take it.
inline QString reportHtml(const MainWindow &window)
{
    return resultsView(window)->html();
}

// The newest run's own message, as its run function built it; empty when
// there is none.
inline QString lastMessage(const MainWindow &window)
{
    const QList<ResultsView::Entry> &entries = resultsView(window)->entries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->kind == ResultsView::Entry::Result)
            return it->message;
    return QString();
}

// Rows of a block's formula texts, fields joined by commas.
inline QStringList rangeFormulas(const Spreadsheet *sheet, int top, int left, int rowCount,
                                 int columnCount)
{
    QStringList rows;
    for (int i = 0; i < rowCount; ++i) {
        QStringList fields;
        for (int j = 0; j < columnCount; ++j)
            fields << sheet->cellFormula(top + i, left + j);
        rows << fields.join(u',');
    }
    return rows;
}

// The whole content of a file; empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList strings(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QString::fromUtf8(text);
    return list;
}

// Answers the next modal dialog from inside its event loop. The answer must
// close the dialog; checks are recorded and verified after exec() returns.
class ModalAnswer final : public QObject
{
public:
    explicit ModalAnswer(std::function<void(QWidget *)> answer)
        : answer(std::move(answer))
    {
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, &ModalAnswer::poll);
        timer.start();
    }

    bool answered = false;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer.stop();
        answered = true;
        answer(modal);
    }

    std::function<void(QWidget *)> answer;
    QTimer timer;
};

} // namespace windowtest
