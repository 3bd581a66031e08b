#include "gridfeeder.h"

#include "clioptions.h"
#include "spreadsheet.h"
#include "stderrprompts.h"

#include <QFile>
#include <QTemporaryFile>
#include <QtEndian>

namespace {

constexpr quint32 kDocumentMagic = 0x7F51C883;

bool startsWithMagic(const QByteArray &bytes)
{
    return bytes.size() >= 4 && qFromBigEndian<quint32>(bytes.constData()) == kDocumentMagic;
}

} // namespace

GridFeeder::GridFeeder(Spreadsheet &sheet, StderrPrompts &prompts) : sheet(sheet), prompts(prompts)
{
    sheet.setAutoRecalculate(false);
}

InputFile GridFeeder::read(const QString &name)
{
    InputFile input;
    input.name = name;
    const bool fromStdin = name == u"-";

    auto loadDocument = [&](const QString &path) {
        input.document = true;
        placed.clear();
        wholeGridDirty = true;
        prompts.clear();
        if (!sheet.readSheet(path)) {
            input.error = prompts.lastMessage();
            if (input.error.isEmpty())
                input.error = QStringLiteral("Cannot read %1").arg(name);
            sheet.clearSheet();
        }
        sheet.recalculate();
    };

    if (!fromStdin && isDocumentName(name)) {
        loadDocument(name);
        return input;
    }

    QFile file;
    const bool opened = fromStdin ? file.open(stdin, QIODevice::ReadOnly)
                                  : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    // Told the way the grid tells a document's read errors.
    auto readFailure = [&]() {
        prompts.warning(nullptr, QStringLiteral("Velmora"),
                        QStringLiteral("Cannot read file %1:\n%2.").arg(name, file.errorString()),
                        QMessageBox::Ok);
        input.error = prompts.lastMessage();
        return input;
    };
    if (!opened)
        return readFailure();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return readFailure();
    if (startsWithMagic(bytes)) {
        if (!fromStdin) {
            loadDocument(name);
            return input;
        }
        // The grid reads documents from files only.
        QTemporaryFile copy;
        if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
            input.error = QStringLiteral("Cannot keep standard input: %1").arg(copy.errorString());
            return input;
        }
        loadDocument(copy.fileName());
        return input;
    }

    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    input.tables = parseTextTables(text, !fromStdin && isCsvName(name) ? FieldSeparator::Comma
                                                                        : FieldSeparator::Tab);
    return input;
}

void GridFeeder::clearPlaced()
{
    if (wholeGridDirty) {
        sheet.clearSheet();
        wholeGridDirty = false;
        placed.clear();
        return;
    }
    for (int position : placed)
        delete sheet.takeItem(position / Spreadsheet::ColumnCount,
                              position % Spreadsheet::ColumnCount);
    placed.clear();
}

bool GridFeeder::place(const TextTable &table, QString *error)
{
    const CellBlock used = table.usedBlock();
    if (!used.isEmpty()
        && (used.bottom >= Spreadsheet::RowCount || used.right >= Spreadsheet::ColumnCount)) {
        clearPlaced();
        if (error) {
            *error = QStringLiteral("The table (line %1) does not fit the grid: it reaches %2 rows "
                                    "and %3 columns, the grid has %4 and %5")
                         .arg(table.firstLine)
                         .arg(used.bottom + 1)
                         .arg(used.right + 1)
                         .arg(Spreadsheet::RowCount)
                         .arg(Spreadsheet::ColumnCount);
        }
        return false;
    }

    // Positions of the previous table that this one fills again keep their
    // items and only take the new text.
    std::vector<int> previous;
    previous.swap(placed);
    if (wholeGridDirty) {
        sheet.clearSheet();
        wholeGridDirty = false;
        previous.clear();
    }
    if (stamps.empty())
        stamps.assign(std::size_t(Spreadsheet::RowCount) * Spreadsheet::ColumnCount, 0);
    ++stamp;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const QStringList &fields = table.rows[r];
        for (qsizetype c = 0; c < fields.size(); ++c) {
            if (fields.at(c).isEmpty())
                continue;
            const int position = int(r) * Spreadsheet::ColumnCount + int(c);
            sheet.setCellFormula(int(r), int(c), fields.at(c));
            placed.push_back(position);
            stamps[std::size_t(position)] = stamp;
        }
    }
    for (int position : previous) {
        if (stamps[std::size_t(position)] != stamp)
            delete sheet.takeItem(position / Spreadsheet::ColumnCount,
                                  position % Spreadsheet::ColumnCount);
    }
    sheet.recalculate();
    return true;
}

CellBlock GridFeeder::usedBlock() const
{
    const QTableWidgetSelectionRange used = sheet.usedRange();
    CellBlock block;
    if (used.rowCount() > 0) {
        block.include(used.topRow(), used.leftColumn());
        block.include(used.bottomRow(), used.rightColumn());
    }
    return block;
}
