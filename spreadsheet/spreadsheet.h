#pragma once

#include "gridsize.h"

#include <QTableWidget>

class Cell;
class QIODevice;
class RowCompare;

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
    // What a sort reorders: the selection, or the used block when nothing
    // is selected.
    QTableWidgetSelectionRange sortRange();
    void clearSheet();
    bool readSheet(const QString &fileName);
    // Reads a document from an open device (standard input, say); `name`
    // is what the messages call it.
    bool readSheet(QIODevice &device, const QString &name);
    bool writeSheet(const QString &fileName);
    void sortSelection(const RowCompare &compare);

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

signals:
    void modified();
    // What some cell shows may have changed: an edit, a paste, a deletion,
    // a sort, a recalculation, a new or loaded document. Emitted once per
    // changed cell during block operations; listeners coalesce.
    void contentChanged();

private slots:
    void somethingChanged();

private:
    Cell *cell(int row, int column) const;

    bool autoRecalc = true;
    quint64 generation = 1;
};
