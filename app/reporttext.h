#pragma once

#include <QString>

// The Results window's report in the forms it leaves the window in: a whole
// HTML page for a browser, and plain text whose tables keep one line per row.
namespace reporttext {

// The report's rich text wrapped in a complete, UTF-8 HTML page.
QString htmlPage(const QString &report);

// The report as plain text: one line per line of the report, a table's
// cells separated by tabs, a row per line.
QString plainText(const QString &report);

// Text selected in the window, with its line and paragraph marks turned
// into line feeds, its fixed spaces into plain ones, and its pictures left
// out.
QString plainSelection(const QString &selected);

} // namespace reporttext
