#include "spreadsheet.h"

void Spreadsheet::cut() {}
void Spreadsheet::copy() {}
void Spreadsheet::paste() {}
void Spreadsheet::del() {}
void Spreadsheet::findNext(const QString &str, Qt::CaseSensitivity cs)
{
    Q_UNUSED(str);
    Q_UNUSED(cs);
}
void Spreadsheet::findPrevious(const QString &str, Qt::CaseSensitivity cs)
{
    Q_UNUSED(str);
    Q_UNUSED(cs);
}
void Spreadsheet::sortSelection(const RowCompare &compare)
{
    Q_UNUSED(compare);
}
