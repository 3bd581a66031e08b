#pragma once

#include <QTableWidgetItem>
#include <QVariant>

// One position of the grid: keeps the text the user typed (the formula,
// whether or not it is one) apart from the value computed from it, which is
// what the grid shows. Every failure of a formula gives the invalid value,
// shown as "####".
class Cell final : public QTableWidgetItem
{
public:
    Cell();

    QTableWidgetItem *clone() const override;
    void setData(int role, const QVariant &value) override;
    QVariant data(int role) const override;

    QString formulaText() const;
    void setFormulaText(const QString &text);
    void markDirty();

    // The value, recomputed first if the cell is dirty: invalid, a double
    // or a string.
    QVariant computedValue() const;

    // Whether the cached value must be recomputed before use: marked so,
    // or the grid has recalculated since the value was computed.
    bool isDirty() const;

private:
    friend class CellEvaluation;

    mutable QVariant valueCache;
    mutable bool dirty = true;
    // The grid's recalculation generation at the last evaluation.
    mutable quint64 generation = 0;
    // Set while the cell waits on the evaluation stack for the cells it
    // references.
    mutable bool evaluating = false;
};
