#include "textdocument.h"

#include "cellblock.h"
#include "gridsize.h"
#include "texttablereader.h"

namespace {

bool hasSuffix(const QString &fileName, QLatin1String suffix)
{
    return fileName.endsWith(suffix, Qt::CaseInsensitive);
}

} // namespace

bool TextDocument::isTextTableName(const QString &fileName)
{
    return hasSuffix(fileName, QLatin1String(".csv")) || hasSuffix(fileName, QLatin1String(".tsv"))
        || hasSuffix(fileName, QLatin1String(".txt"));
}

FieldSeparator TextDocument::separatorFor(const QString &fileName)
{
    return hasSuffix(fileName, QLatin1String(".csv")) ? FieldSeparator::Comma : FieldSeparator::Tab;
}

bool TextDocument::readOne(TextTableReader &reader, const QString &name, TextTable &table,
                           QString *error)
{
    reader.next(table);
    // A document is one grid; tables that empty lines separate would be
    // merged or lost. The rest is read only to count them.
    for (TextTable more; reader.next(more);) {
    }
    if (reader.failed()) {
        if (error)
            *error = readFailure(reader, name);
        return false;
    }
    if (reader.tablesRead() > 1) {
        if (error) {
            *error = tr("%1 holds %2 tables separated by empty lines; a document holds one")
                         .arg(name)
                         .arg(reader.tablesRead());
        }
        return false;
    }
    return true;
}

QString TextDocument::readFailure(const TextTableReader &reader, const QString &name)
{
    if (reader.errorLine() > 0)
        return name + QStringLiteral(": ") + reader.errorString();
    return reader.errorString();
}

QString TextDocument::doesNotFit(const TextTable &table)
{
    const CellBlock &used = table.usedBlock();
    return tr("The table (line %1) does not fit the grid: it reaches %2 rows and %3 columns, the "
              "grid has %4 and %5")
        .arg(table.firstLine())
        .arg(used.bottom + 1)
        .arg(used.right + 1)
        .arg(GridSize::Rows)
        .arg(GridSize::Columns);
}

QString TextDocument::writeProblem(const TextTableWrite &written)
{
    const QString cell = CellBlock::cellName(written.row, written.column);
    switch (written.problem) {
    case TextTableWrite::Problem::TabOrLineBreak:
        return tr("cell %1 holds a tab or a line break, which a tab-separated file (.tsv, .txt) "
                  "cannot hold; use .csv instead")
            .arg(cell);
    case TextTableWrite::Problem::TooLong:
        return tr("cell %1 holds more than %2 characters, more than a text table's field may; "
                  "keep it as a .sp document")
            .arg(cell)
            .arg(GridSize::MaxTextLength);
    case TextTableWrite::Problem::LoneSurrogate:
        return tr("cell %1 holds half of a UTF-16 surrogate pair, which UTF-8 cannot encode; keep "
                  "it as a .sp document")
            .arg(cell);
    case TextTableWrite::Problem::None:
        break;
    }
    return QString();
}
