#pragma once

// Typing into the grid as a user does, shared by the grid's and the main
// window's tests.
#include "spreadsheet.h"

#include <QLineEdit>
#include <QtTest>

namespace celltyping {

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

} // namespace celltyping
