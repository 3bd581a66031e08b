#include "gridfeeder.h"

#include "clioptions.h"
#include "devicereads.h"
#include "spreadsheet.h"
#include "stderrprompts.h"

#include <QtEndian>

#include <cstdio>

namespace {

constexpr quint32 kDocumentMagic = 0x7F51C883;

} // namespace

GridFeeder::GridFeeder(Spreadsheet &sheet, StderrPrompts &prompts) : sheet(sheet), prompts(prompts)
{
    sheet.setAutoRecalculate(false);
}

void GridFeeder::loadDocument(InputFile &input, QIODevice *device)
{
    input.document = true;
    placed.clear();
    wholeGridDirty = true;
    prompts.clear();
    const bool loaded = device ? sheet.readSheet(*device, input.name) : sheet.readSheet(input.name);
    if (!loaded) {
        input.error = prompts.lastMessage();
        if (input.error.isEmpty())
            input.error = QStringLiteral("Cannot read %1").arg(input.name);
        sheet.clearSheet();
    }
    sheet.recalculate();
}

InputFile GridFeeder::open(const QString &name)
{
    InputFile input;
    input.name = name;
    const bool fromStdin = name == u"-";
    if (!fromStdin && isDocumentName(name)) {
        loadDocument(input, nullptr);
        return input;
    }

    auto file = std::make_unique<QFile>();
    const bool opened = fromStdin ? file->open(stdin, QIODevice::ReadOnly)
                                  : (file->setFileName(name), file->open(QIODevice::ReadOnly));
    // The first bytes tell a document; peeking leaves them to the reader.
    const QByteArray magic = opened ? peekFully(*file, sizeof(quint32)) : QByteArray();
    if (!opened || file->error() != QFileDevice::NoError) {
        // Told the way the grid tells a document's read errors.
        prompts.warning(nullptr, QStringLiteral("Velmora"),
                        QStringLiteral("Cannot read file %1:\n%2.").arg(name, file->errorString()),
                        QMessageBox::Ok);
        input.error = prompts.lastMessage();
        return input;
    }
    if (magic.size() == sizeof(quint32) && qFromBigEndian<quint32>(magic.constData()) == kDocumentMagic) {
        loadDocument(input, file.get());
        return input;
    }
    const FieldSeparator separator =
        !fromStdin && isCsvName(name) ? FieldSeparator::Comma : FieldSeparator::Tab;
    input.tables = std::make_unique<TextTableReader>(*file, separator, name);
    input.file = std::move(file);
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
    if (!table.fitsGrid()) {
        const CellBlock &used = table.usedBlock();
        clearPlaced();
        if (error) {
            *error = QStringLiteral("The table (line %1) does not fit the grid: it reaches %2 rows "
                                    "and %3 columns, the grid has %4 and %5")
                         .arg(table.firstLine())
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
    for (int r = 0; r < table.rowCount(); ++r) {
        const int fields = table.fieldCount(r);
        for (int c = 0; c < fields; ++c) {
            const QStringView field = table.field(r, c);
            if (field.isEmpty())
                continue;
            const int position = r * Spreadsheet::ColumnCount + c;
            sheet.setCellFormula(r, c, field.toString());
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
