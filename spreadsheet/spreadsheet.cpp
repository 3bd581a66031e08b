#include "spreadsheet.h"

#include "cell.h"
#include "celldelegate.h"

#include <QUndoStack>

namespace {

// Steps kept in the history. A step of the whole grid holds two texts for
// each of its 25,974 cells; a hundred of them stay within a few hundred
// megabytes.
constexpr int kUndoLimit = 100;

} // namespace

Spreadsheet::Spreadsheet(QWidget *parent) : QTableWidget(parent)
{
    autoRecalc = true;
    history = new QUndoStack(this);
    history->setUndoLimit(kUndoLimit);
    setItemDelegate(new CellDelegate(this));
    setItemPrototype(new Cell);
    setSelectionMode(ContiguousSelection);
    connect(this, SIGNAL(itemChanged(QTableWidgetItem*)), this, SLOT(somethingChanged()));
    clearSheet();
}

QString Spreadsheet::currentCellName() const
{
    return QChar(u'A' + currentColumn()) + QString::number(currentRow() + 1);
}

QString Spreadsheet::currentCellFormula() const
{
    return cellFormula(currentRow(), currentColumn());
}

QTableWidgetSelectionRange Spreadsheet::selectionRange()
{
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    if (ranges.isEmpty())
        return QTableWidgetSelectionRange();
    return ranges.first();
}

QTableWidgetSelectionRange Spreadsheet::usedRange() const
{
    int top = -1;
    int left = ColumnCount;
    int bottom = -1;
    int right = -1;
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            if (cellFormula(row, column).isEmpty())
                continue;
            if (top < 0)
                top = row;
            bottom = row;
            left = qMin(left, column);
            right = qMax(right, column);
        }
    }
    if (top < 0)
        return QTableWidgetSelectionRange();
    return QTableWidgetSelectionRange(top, left, bottom, right);
}

QTableWidgetSelectionRange Spreadsheet::dataRegion(int row, int column) const
{
    int top = row;
    int bottom = row;
    int left = column;
    int right = column;
    // Whether a row (or column) holds a non-empty cell between two bounds,
    // which are clamped to the grid.
    const auto rowHolds = [this](int r, int from, int to) {
        if (r < 0 || r >= RowCount)
            return false;
        for (int c = qMax(0, from); c <= qMin(ColumnCount - 1, to); ++c)
            if (!cellFormula(r, c).isEmpty())
                return true;
        return false;
    };
    const auto columnHolds = [this](int c, int from, int to) {
        if (c < 0 || c >= ColumnCount)
            return false;
        for (int r = qMax(0, from); r <= qMin(RowCount - 1, to); ++r)
            if (!cellFormula(r, c).isEmpty())
                return true;
        return false;
    };
    for (bool grew = true; grew;) {
        grew = false;
        if (rowHolds(top - 1, left - 1, right + 1)) {
            --top;
            grew = true;
        }
        if (rowHolds(bottom + 1, left - 1, right + 1)) {
            ++bottom;
            grew = true;
        }
        if (columnHolds(left - 1, top - 1, bottom + 1)) {
            --left;
            grew = true;
        }
        if (columnHolds(right + 1, top - 1, bottom + 1)) {
            ++right;
            grew = true;
        }
    }
    return QTableWidgetSelectionRange(top, left, bottom, right);
}

bool Spreadsheet::holdsNames(const QTableWidgetSelectionRange &region) const
{
    const auto isNumber = [this](int row, int column) {
        bool ok = false;
        cellText(row, column).toDouble(&ok);
        return ok;
    };
    bool named = false;
    for (int column = region.leftColumn(); column <= region.rightColumn(); ++column) {
        if (isNumber(region.topRow(), column))
            return false;
        named = named || !cellText(region.topRow(), column).isEmpty();
    }
    for (int row = region.topRow() + 1; named && row <= region.bottomRow(); ++row)
        for (int column = region.leftColumn(); column <= region.rightColumn(); ++column)
            if (isNumber(row, column))
                return true;
    return false;
}

QTableWidgetSelectionRange Spreadsheet::sortRange()
{
    const QTableWidgetSelectionRange range = selectionRange();
    // One cell is no range to sort: the user means the table it is in,
    // without its first row when that holds names over numbers.
    if (range.rowCount() == 1 && range.columnCount() == 1) {
        const QTableWidgetSelectionRange region = dataRegion(range.topRow(), range.leftColumn());
        if (region.rowCount() > 1 && holdsNames(region))
            return QTableWidgetSelectionRange(region.topRow() + 1, region.leftColumn(), region.bottomRow(),
                                              region.rightColumn());
        return region;
    }
    if (range.rowCount() > 0 && range.columnCount() > 0)
        return range;
    return usedRange();
}

void Spreadsheet::clearSheet()
{
    setRowCount(0);
    setColumnCount(0);
    setRowCount(RowCount);
    setColumnCount(ColumnCount);
    for (int i = 0; i < ColumnCount; ++i) {
        auto *item = new QTableWidgetItem;
        item->setText(QString(QChar(u'A' + i)));
        setHorizontalHeaderItem(i, item);
    }
    setCurrentCell(0, 0);
    history->clear();
    emit contentChanged();
}

Cell *Spreadsheet::cell(int row, int column) const
{
    return static_cast<Cell *>(item(row, column));
}

QString Spreadsheet::cellText(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? c->text() : QString();
}

QString Spreadsheet::cellFormula(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? c->formulaText() : QString();
}

void Spreadsheet::setCellFormula(int row, int column, const QString &formula)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    Cell *c = cell(row, column);
    if (!c) {
        c = new Cell;
        setItem(row, column, c);
    }
    c->setFormulaText(formula);
}

void Spreadsheet::selectCurrentRow()
{
    selectRow(currentRow());
}

void Spreadsheet::selectCurrentColumn()
{
    selectColumn(currentColumn());
}

void Spreadsheet::recalculate()
{
    ++generation;
    viewport()->update();
    emit contentChanged();
}

void Spreadsheet::setAutoRecalculate(bool recalc)
{
    autoRecalc = recalc;
    if (autoRecalc)
        recalculate();
}

void Spreadsheet::somethingChanged()
{
    if (batchDepth > 0)
        return;
    if (autoRecalc)
        recalculate();
    else
        emit contentChanged();
    emit modified();
}
