#include "texttable.h"

#include "gridsize.h"

int TextTable::fieldCount(int row) const
{
    if (row < 0 || row >= rowCount())
        return 0;
    return int(rowEnds[std::size_t(row)] - rowBegin(row));
}

QStringView TextTable::field(int row, int column) const
{
    if (column < 0 || column >= fieldCount(row))
        return QStringView();
    const qsizetype index = rowBegin(row) + column;
    const qsizetype begin = fieldBegin(index);
    return QStringView(text).mid(begin, fieldEnds[std::size_t(index)] - begin);
}

QStringList TextTable::rowFields(int row) const
{
    QStringList fields;
    const int count = fieldCount(row);
    fields.reserve(count);
    for (int column = 0; column < count; ++column)
        fields.append(field(row, column).toString());
    return fields;
}

bool TextTable::fitsGrid() const
{
    return used.isEmpty() || (used.bottom < GridSize::Rows && used.right < GridSize::Columns);
}

void TextTable::clear()
{
    // Resizing keeps the capacity, so a reader that refills one table does
    // not allocate again for tables of the same size.
    line = 1;
    text.resize(0);
    fieldEnds.clear();
    rowEnds.clear();
    width = 0;
    used = CellBlock();
}
