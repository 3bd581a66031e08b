#pragma once

#include "cellblock.h"
#include "texttable.h"
#include "texttablereader.h"

#include <QFile>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class Spreadsheet;
class StderrPrompts;

// One FILE argument, opened.
struct InputFile
{
    QString name;                  // as given; "-" for standard input
    bool document = false;         // a *.sp document, now in the grid
    QString error;                 // why it could not be read, or empty
    // A text file: its tables, read one at a time.
    std::unique_ptr<QFile> file;
    std::unique_ptr<TextTableReader> tables;
};

// Fills the one grid of the tool: loads documents and places text tables,
// each with its first field in A1, replacing what the previous one left.
// Automatic recalculation stays off; every load ends with one
// recalculation, which gives the values a step-by-step entry would.
class GridFeeder final
{
public:
    GridFeeder(Spreadsheet &sheet, StderrPrompts &prompts);

    // Opens a file: a *.sp name, or any file whose first bytes are the
    // document's magic number, is loaded as a document; everything else is
    // a text file, tab-separated, or comma-separated when the name ends in
    // .csv, whose tables the returned reader hands out.
    InputFile open(const QString &name);

    // Places a table. False, with the reason, when it does not fit the
    // 26 x 999 grid; the grid is then empty.
    bool place(const TextTable &table, QString *error);

    // The bounding box of the cells whose formula is not empty.
    CellBlock usedBlock() const;

private:
    void clearPlaced();
    void loadDocument(InputFile &input, QIODevice *device);

    Spreadsheet &sheet;
    StderrPrompts &prompts;
    std::vector<int> placed;       // positions the last table filled
    bool wholeGridDirty = false;   // a document was loaded since
    // Per position, the number of the placement that last filled it.
    std::vector<quint64> stamps;
    quint64 stamp = 0;
};
