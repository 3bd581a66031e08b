#include "mainwindow.h"

#include "cellblock.h"
#include "finddialog.h"
#include "gotocelldialog.h"
#include "rowcompare.h"
#include "sortdialog.h"
#include "spreadsheet.h"
#include "uiprompts.h"

void MainWindow::find()
{
    // One dialog for the window's life, so the text and options persist.
    if (!findDialog) {
        findDialog = new FindDialog(this);
        connect(findDialog, SIGNAL(findNext(const QString &, Qt::CaseSensitivity)), spreadsheet,
            SLOT(findNext(const QString &, Qt::CaseSensitivity)));
        connect(findDialog, SIGNAL(findPrevious(const QString &, Qt::CaseSensitivity)), spreadsheet,
            SLOT(findPrevious(const QString &, Qt::CaseSensitivity)));
    }
    findDialog->show();
    findDialog->raise();
    findDialog->activateWindow();
}

void MainWindow::goToCell()
{
    GoToCellDialog dialog(this);
    if (dialog.exec()) {
        // The validator admits only A1 to Z999, in either case.
        const QString str = dialog.lineEdit->text().toUpper();
        spreadsheet->setCurrentCell(str.mid(1).toInt() - 1, str.at(0).unicode() - u'A');
        // The keyboard follows: typing goes into the cell and Shift+arrows
        // select from it, wherever the focus was before (the Results, say).
        spreadsheet->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::sort()
{
    // Without a selection every cell that holds anything is sorted, as the
    // action's tip says, and one selected cell stands for the table around
    // it; only an empty grid leaves nothing to sort.
    const QTableWidgetSelectionRange range = spreadsheet->sortRange();
    if (range.rowCount() <= 0 || range.columnCount() <= 0) {
        UiPrompts::current().information(spreadsheet, tr("Velmora"),
            tr("There is nothing to sort: the grid is empty."));
        return;
    }

    SortDialog dialog(this);
    dialog.setColumnSpan(QChar(u'A' + range.leftColumn()), QChar(u'A' + range.rightColumn()));
    dialog.setRange(CellBlock{range.topRow(), range.leftColumn(), range.bottomRow(), range.rightColumn()}.text());
    // The key is the column of the cell the user clicked, where it lies in
    // the rows sorted.
    const int column = spreadsheet->currentColumn();
    if (column >= range.leftColumn() && column <= range.rightColumn())
        dialog.primaryColumnCombo->setCurrentIndex(column - range.leftColumn());
    if (dialog.exec()) {
        // The hidden groups count too: their "None" gives -1, an unused key.
        RowCompare compare;
        compare.keyColumn[0] = dialog.primaryColumnCombo->currentIndex();
        compare.keyColumn[1] = dialog.secondaryColumnCombo->currentIndex() - 1;
        compare.keyColumn[2] = dialog.tertiaryColumnCombo->currentIndex() - 1;
        compare.isAscending[0] = dialog.primaryOrderCombo->currentIndex() == 0;
        compare.isAscending[1] = dialog.secondaryOrderCombo->currentIndex() == 0;
        compare.isAscending[2] = dialog.tertiaryOrderCombo->currentIndex() == 0;
        compare.numbersByValue = dialog.numbersCheck->isChecked();
        spreadsheet->sortSelection(compare);
    }
}
