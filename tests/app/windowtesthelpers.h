#pragma once

// Small helpers shared by the main window's tests.

#include "mainwindow.h"
#include "spreadsheet.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QtTest>
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

// Types `text` into a cell through the grid's own editor (F2, the text,
// Enter), as a user would, leaving the selection as it is. The editor
// commits from the event loop; only posted events are handled here, so a
// re-check that the change schedules is still pending on return.
inline void typeInto(Spreadsheet *sheet, int row, int column, const QString &text)
{
    sheet->selectionModel()->setCurrentIndex(sheet->model()->index(row, column),
                                             QItemSelectionModel::NoUpdate);
    QTest::keyClick(sheet, Qt::Key_F2);
    QLineEdit *editor = nullptr;
    const QList<QLineEdit *> editors = sheet->viewport()->findChildren<QLineEdit *>();
    for (QLineEdit *candidate : editors)
        if (candidate->isVisible())
            editor = candidate;
    QVERIFY(editor);
    editor->selectAll();
    if (text.isEmpty())
        QTest::keyClick(editor, Qt::Key_Delete);
    else
        QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(sheet->cellFormula(row, column), text);
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
