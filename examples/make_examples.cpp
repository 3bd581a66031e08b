// Writes the example documents of examplecatalog.h as *.sp files through the
// grid's own writer, so that they are exactly what the application saves.
//
//   velmora_make_examples OUTPUT_DIR
#include "examplecatalog.h"
#include "spreadsheet.h"
#include "uiprompts.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

namespace {

// No message box may wait for a click in a headless run.
class PrintedWarnings final : public UiPrompts
{
public:
    QMessageBox::StandardButton warning(QWidget *, const QString &, const QString &text,
                                        QMessageBox::StandardButtons) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return QMessageBox::Ok;
    }
};

void fillSheet(Spreadsheet &sheet, const examples::Example &example)
{
    sheet.clearSheet();
    int row = 0;
    for (const auto &cells : example.cells) {
        for (int column = 0; column < int(cells.size()); ++column)
            if (cells[column])
                sheet.setCellFormula(row, column, QString::fromUtf8(cells[column]));
        ++row;
    }
    // One empty row, then which test to run on which block.
    for (const auto &[label, value] : examples::noteFor(example)) {
        ++row;
        sheet.setCellFormula(row, 0, label);
        sheet.setCellFormula(row, 1, value);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir outDir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(outDir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    PrintedWarnings prompts;
    UiPrompts::install(&prompts);

    Spreadsheet sheet;
    int failures = 0;
    for (const examples::Example &example : examples::all()) {
        fillSheet(sheet, example);
        const QString path = outDir.filePath(QString::fromUtf8(example.file));
        if (sheet.writeSheet(path))
            std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
        else
            ++failures;
    }
    UiPrompts::install(nullptr);
    return failures == 0 ? 0 : 1;
}
