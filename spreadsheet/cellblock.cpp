#include "cellblock.h"

#include "gridsize.h"

#include <QRegularExpression>

#include <algorithm>

QString CellBlock::cellName(int row, int column)
{
    return QChar(u'A' + column) + QString::number(row + 1);
}

QString CellBlock::text() const
{
    if (isEmpty())
        return QString();
    return cellName(top, left) + u':' + cellName(bottom, right);
}

std::optional<CellBlock> CellBlock::parse(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([A-Za-z])([1-9][0-9]{0,2}):([A-Za-z])([1-9][0-9]{0,2})")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int column1 = match.captured(1).toUpper().at(0).unicode() - u'A';
    const int row1 = match.captured(2).toInt() - 1;
    const int column2 = match.captured(3).toUpper().at(0).unicode() - u'A';
    const int row2 = match.captured(4).toInt() - 1;
    if (row1 >= GridSize::Rows || row2 >= GridSize::Rows)
        return std::nullopt;
    CellBlock block;
    block.top = std::min(row1, row2);
    block.bottom = std::max(row1, row2);
    block.left = std::min(column1, column2);
    block.right = std::max(column1, column2);
    return block;
}

void CellBlock::include(int row, int column)
{
    if (isEmpty()) {
        top = bottom = row;
        left = right = column;
        return;
    }
    top = std::min(top, row);
    bottom = std::max(bottom, row);
    left = std::min(left, column);
    right = std::max(right, column);
}

CellBlock CellBlock::withoutNames() const
{
    if (rows() < 2 || columns() < 2)
        return CellBlock();
    CellBlock block = *this;
    ++block.top;
    ++block.left;
    return block;
}
