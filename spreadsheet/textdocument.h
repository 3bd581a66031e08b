#pragma once

#include "texttable.h"
#include "texttablewriter.h"

#include <QCoreApplication>
#include <QString>

class TextTableReader;

// A text table taken as a whole document, as the window opens and saves
// one and as the command-line tool converts one: the rules and the words
// both share.
class TextDocument final
{
    Q_DECLARE_TR_FUNCTIONS(TextDocument)

public:
    // .csv, .tsv and .txt names, in any letter case.
    static bool isTextTableName(const QString &fileName);
    // Commas for a .csv name, tabs for every other.
    static FieldSeparator separatorFor(const QString &fileName);

    // Reads the one table of a document. False, with the reason, when the
    // reading stopped (a line the grid cannot hold names its line in
    // `name`) or the file holds several tables. An empty input is one empty
    // table.
    static bool readOne(TextTableReader &reader, const QString &name, TextTable &table,
                        QString *error);

    // Why the reader stopped; a line the grid cannot hold is named within
    // `name`.
    static QString readFailure(const TextTableReader &reader, const QString &name);

    // Why a table cannot go into the grid: it is larger.
    static QString doesNotFit(const TextTable &table);

    // Why a cell cannot be written to a text table; empty when it can.
    static QString writeProblem(const TextTableWrite &written);
};
