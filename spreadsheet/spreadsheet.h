#pragma once

#include "cellchange.h"
#include "gridsize.h"
#include "texttable.h"

#include <QTableWidget>

class Cell;
class QIODevice;
class QUndoStack;
class RowCompare;
struct CellBlock;

// The data-entry grid: 999 rows by 26 columns (A1 to Z999) of Cell items
// created on demand.
class Spreadsheet final : public QTableWidget
{
    Q_OBJECT

public:
    static constexpr int RowCount = GridSize::Rows;
    static constexpr int ColumnCount = GridSize::Columns;

    explicit Spreadsheet(QWidget *parent = nullptr);

    bool isAutoRecalculate() const { return autoRecalc; }
    QString currentCellName() const;
    QString currentCellFormula() const;
    QTableWidgetSelectionRange selectionRange();
    // The smallest block holding every cell whose text is not empty; all
    // bounds -1 when there is none.
    QTableWidgetSelectionRange usedRange() const;
    // The block of non-empty rows and columns around a cell, as far as an
    // empty row and an empty column on each side (or the grid's edge): grown
    // from the cell while a neighbouring row or column, diagonals included,
    // holds a non-empty cell. Just the cell when nothing touches it.
    QTableWidgetSelectionRange dataRegion(int row, int column) const;
    // What a sort reorders: the selection; the data region around a single
    // selected cell (without its first row when that holds names: no
    // number in it, and one below it); or the used block when nothing is
    // selected.
    QTableWidgetSelectionRange sortRange();
    // Empties the grid and its history.
    void clearSheet();
    bool readSheet(const QString &fileName);
    // Reads a document from an open device (standard input, say); `name`
    // is what the messages call it.
    bool readSheet(QIODevice &device, const QString &name);
    bool writeSheet(const QString &fileName);
    // The grid as a *.sp document, as writeSheet writes it; no cursor, no
    // message (autosave writes it quietly).
    QByteArray documentBytes() const;
    // A text table as the whole grid, its first field in A1: tab-separated,
    // or comma-separated as `separator` says. A file of several tables (empty
    // lines between them) or one larger than the grid is refused, the grid
    // unchanged.
    bool readTextTable(const QString &fileName, FieldSeparator separator);
    // The grid from A1 to its last non-empty row and column as a text table.
    // A cell that such a file cannot carry is named and refused.
    bool writeTextTable(const QString &fileName, FieldSeparator separator);
    // Sorts the rows of sortRange(). A sort that moves nothing changes
    // nothing: no step, no modified mark.
    void sortSelection(const RowCompare &compare);

    // The history of the edits: typing, paste, cut, delete and sort, one
    // step each. Loading a document or starting a new one empties it.
    QUndoStack *undoStack() const { return history; }
    // What the user typed into a cell's editor: one step of the history;
    // none when the cell already holds that text.
    void typeIntoCell(int row, int column, const QString &text);

    enum class ChangeSide { Before, After };
    // Writes one side of the changes in one batch, then recalculates and
    // announces the change once; the history's steps undo and redo so.
    void applyChanges(const CellChanges &changes, ChangeSide side);
    // Scrolls the block's top-left cell into view, so that an undone or
    // redone step shows where it changed the grid.
    void showChangedBlock(const CellBlock &block);

    QString cellText(int row, int column) const;
    QString cellFormula(int row, int column) const;
    // Every write of a cell's text goes through here.
    void setCellFormula(int row, int column, const QString &formula);

    // Bumped by every recalculation: a cell computed in an older generation
    // is dirty. Marking all 25,974 positions after each change would cost
    // milliseconds per keystroke; this costs nothing and reads the same.
    quint64 recalcGeneration() const { return generation; }

public slots:
    void cut();
    void copy();
    void paste();
    void del();
    void selectCurrentRow();
    void selectCurrentColumn();
    void recalculate();
    void setAutoRecalculate(bool recalc);
    void findNext(const QString &str, Qt::CaseSensitivity cs);
    void findPrevious(const QString &str, Qt::CaseSensitivity cs);
    // An edit still open in a cell is undone first: it is dropped, as
    // Escape drops it. Redo keeps it.
    void undo();
    void redo();

signals:
    void modified();
    // What some cell shows may have changed: an edit, a paste, a deletion,
    // a sort, an undo or redo, a recalculation, a new or loaded document.
    // An edit or a step of the history announces itself once, however many
    // cells it changes; a *.sp document loads cell by cell. Listeners
    // coalesce.
    void contentChanged();

protected:
    // Enter on a cell that is not being edited moves as it does after
    // typing (the item view would only report the cell activated).
    void keyPressEvent(QKeyEvent *event) override;

protected slots:
    // Enter after typing moves to the next row, as spreadsheets do.
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private slots:
    void somethingChanged();

private:
    Cell *cell(int row, int column) const;
    // Adds the change of (row, column) to `text` (to no item when `present`
    // is false), unless it would change nothing.
    void recordChange(CellChanges &changes, int row, int column, bool present,
                      const QString &text) const;
    void pushChanges(const QString &name, CellChanges changes);
    void deleteSelection(const QString &name);
    // The cell editor that is open, or null.
    QWidget *openEditor() const;
    // Whether the block's first row names its columns: text, no number,
    // over rows that hold numbers.
    bool holdsNames(const QTableWidgetSelectionRange &region) const;
    // After Enter: down a row (up with Shift); inside a block of several
    // selected cells, to the next cell of the block, which stays selected.
    void moveAfterEnter(bool up);

    bool autoRecalc = true;
    quint64 generation = 1;
    QUndoStack *history = nullptr;
    // Above zero while a batch writes cells: their single changes are not
    // announced one by one.
    int batchDepth = 0;
};
