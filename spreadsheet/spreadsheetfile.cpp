#include "spreadsheet.h"

bool Spreadsheet::readSheet(const QString &fileName)
{
    Q_UNUSED(fileName);
    return false;
}

bool Spreadsheet::writeSheet(const QString &fileName)
{
    Q_UNUSED(fileName);
    return false;
}
