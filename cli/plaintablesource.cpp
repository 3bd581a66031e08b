#include "plaintablesource.h"

namespace {

// Numbers below 10^15 show all their digits in the grid's 15-digit form.
constexpr qsizetype kMaxPlainDigits = 15;

} // namespace

bool PlainTableSource::isPlainCount(QStringView field)
{
    const qsizetype size = field.size();
    if (size == 0 || size > kMaxPlainDigits)
        return false;
    if (field.front() == u'0')
        return size == 1;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool PlainTableSource::isPlain(const TextTable &table)
{
    if (!table.fitsGrid())
        return false;
    for (int row = 0; row < table.rowCount(); ++row) {
        const int fields = table.fieldCount(row);
        for (int column = 0; column < fields; ++column) {
            const QStringView field = table.field(row, column);
            if (!field.isEmpty() && !isPlainCount(field))
                return false;
        }
    }
    return true;
}
