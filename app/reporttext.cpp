#include "reporttext.h"

#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace reporttext {

namespace {

void appendTable(QTextTable *table, QString &out)
{
    for (int row = 0; row < table->rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            // A spanned cell is written once, where it starts.
            if (cell.row() != row || cell.column() != column)
                continue;
            QTextCursor cursor = cell.firstCursorPosition();
            cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            cells << plainSelection(cursor.selectedText()).replace(u'\n', u' ').trimmed();
        }
        out += cells.join(u'\t') + u'\n';
    }
}

void appendFrame(QTextFrame *frame, QString &out)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            if (auto *table = qobject_cast<QTextTable *>(child))
                appendTable(table, out);
            else
                appendFrame(child, out);
        } else {
            out += plainSelection(it.currentBlock().text()) + u'\n';
        }
    }
}

} // namespace

QString htmlPage(const QString &report)
{
    return QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>Velmora results</title>\n</head>\n<body>\n")
        + report + QStringLiteral("\n</body>\n</html>\n");
}

QString plainText(const QString &report)
{
    QTextDocument document;
    document.setHtml(report);
    QString out;
    appendFrame(document.rootFrame(), out);
    // The document always ends with one empty block of its own.
    while (out.endsWith(QStringLiteral("\n\n")))
        out.chop(1);
    return out == QStringLiteral("\n") ? QString() : out;
}

QString plainSelection(const QString &selected)
{
    QString text = selected;
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QChar::Nbsp, u' ');
    // A picture stands in the text as one placeholder character.
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

} // namespace reporttext
