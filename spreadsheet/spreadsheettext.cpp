// Text tables as whole documents of the grid: the reader and writer of the
// command-line tool, with the grid's message boxes.
#include "spreadsheet.h"

#include "safefilewriter.h"
#include "textdocument.h"
#include "texttablereader.h"
#include "texttablewriter.h"
#include "uiprompts.h"

#include <QFile>

bool Spreadsheet::readTextTable(const QString &fileName, FieldSeparator separator)
{
    const auto refuse = [this](const QString &text) {
        UiPrompts::current().warning(this, tr("Velmora"), text, QMessageBox::Ok);
        return false;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(tr("Cannot read file %1:\n%2.").arg(file.fileName(), file.errorString()));

    // Read whole and checked before the grid is touched.
    TextTableReader reader(file, separator, file.fileName());
    TextTable table;
    QString error;
    if (!TextDocument::readOne(reader, file.fileName(), table, &error))
        return refuse(error);
    if (!table.fitsGrid())
        return refuse(TextDocument::doesNotFit(table));

    CellChanges cells;
    for (int row = 0; row < table.rowCount(); ++row) {
        const int fields = table.fieldCount(row);
        for (int column = 0; column < fields; ++column) {
            // An empty field leaves no cell, as in the command-line tool.
            const QStringView field = table.field(row, column);
            if (!field.isEmpty())
                cells.push_back({ row, column, false, true, QString(), field.toString() });
        }
    }
    clearSheet();
    applyChanges(cells, ChangeSide::After);
    return true;
}

bool Spreadsheet::writeTextTable(const QString &fileName, FieldSeparator separator)
{
    // From A1, where the first field belongs, to the last non-empty row and
    // column.
    const QTableWidgetSelectionRange used = usedRange();
    std::vector<QStringList> rows;
    if (used.rowCount() > 0) {
        rows.resize(std::size_t(used.bottomRow()) + 1);
        for (int row = 0; row <= used.bottomRow(); ++row) {
            for (int column = 0; column <= used.rightColumn(); ++column)
                rows[std::size_t(row)].append(cellFormula(row, column));
        }
    }
    QString text;
    const TextTableWrite written = formatTextTable(rows, separator, text);
    QString reason = TextDocument::writeProblem(written);
    if (reason.isEmpty() && SafeFileWriter::write(fileName, text.toUtf8(), &reason))
        return true;
    UiPrompts::current().warning(this, tr("Velmora"),
        tr("Cannot write file %1:\n%2.").arg(fileName, reason), QMessageBox::Ok);
    return false;
}
