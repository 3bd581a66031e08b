#include "plaintablesource.h"

namespace {

// Numbers below 10^15 show all their digits in the grid's 15-digit form.
constexpr qsizetype kMaxPlainDigits = 15;

} // namespace

bool PlainTableSource::plainCount(int row, int column, int &value) const
{
    // Nine digits always fit an int; longer counts take the checks' own way.
    const QStringView field = table.field(row, column);
    if (field.isEmpty() || field.size() > 9)
        return false;
    int v = 0;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    value = v;
    return true;
}

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
