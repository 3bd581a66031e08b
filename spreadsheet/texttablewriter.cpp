#include "texttablewriter.h"

#include "gridsize.h"

#include <algorithm>

namespace {

bool isBlank(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' '; });
}

TextTableWrite::Problem problemOf(const QString &field, FieldSeparator separator)
{
    if (separator == FieldSeparator::Tab
        && (field.contains(u'\t') || field.contains(u'\n') || field.contains(u'\r')))
        return TextTableWrite::Problem::TabOrLineBreak;
    if (field.size() > GridSize::MaxTextLength)
        return TextTableWrite::Problem::TooLong;
    if (!field.isValidUtf16())
        return TextTableWrite::Problem::LoneSurrogate;
    return TextTableWrite::Problem::None;
}

} // namespace

TextTableWrite formatTextTable(const std::vector<QStringList> &rows, FieldSeparator separator,
                               QString &out)
{
    const QChar sep = separator == FieldSeparator::Tab ? QChar(u'\t') : QChar(u',');
    TextTableWrite result;
    out.clear();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QStringList &fields = rows[r];
        qsizetype used = fields.size();
        while (used > 0 && fields.at(used - 1).isEmpty())
            --used;
        QString line;
        for (qsizetype c = 0; c < used; ++c) {
            const QString &field = fields.at(c);
            result.problem = problemOf(field, separator);
            if (!result.ok()) {
                result.row = int(r);
                result.column = int(c);
                return result;
            }
            if (c > 0)
                line += sep;
            if (separator == FieldSeparator::Tab) {
                line += field;
            } else if (field.contains(u'\n') || field.contains(u'\r') || field.contains(u',')
                       || field.contains(u'"') || (used == 1 && isBlank(field))) {
                // A lone field of spaces would read as a blank line.
                line += u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
            } else {
                line += field;
            }
        }
        if (isBlank(line))
            line += sep;
        out += line;
        out += u'\n';
    }
    // The reader takes a U+FEFF at the very start for a byte-order mark: a
    // first cell that starts with one is kept by a mark of its own.
    if (out.startsWith(QChar(0xFEFF)))
        out.prepend(QChar(0xFEFF));
    return result;
}
