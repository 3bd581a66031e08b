#pragma once

#include "cellsource.h"

#include <QMap>
#include <QPair>
#include <QStringList>

// A grid of displayed texts for the checks, filled from a compact text:
// segments joined by ';', each "B2:1,2,3|4,5,6" places rows ('|') of
// cells (',') from B2 on; "~" leaves a position without an item, and an
// empty field is an item with empty text.
class FakeGrid final : public CellSource
{
public:
    explicit FakeGrid(const QString &layout = QString())
    {
        const QStringList segments = layout.split(u';', Qt::SkipEmptyParts);
        for (const QString &segment : segments) {
            const qsizetype colon = segment.indexOf(u':');
            const int column = segment.at(0).unicode() - u'A';
            const int row = segment.mid(1, colon - 1).toInt() - 1;
            const QStringList rows = segment.mid(colon + 1).split(u'|');
            for (int r = 0; r < rows.size(); ++r) {
                const QStringList fields = rows.at(r).split(u',');
                for (int c = 0; c < fields.size(); ++c) {
                    if (fields.at(c) != u"~")
                        set(row + r, column + c, fields.at(c));
                }
            }
        }
    }

    void set(int row, int column, const QString &text) { cells.insert({row, column}, text); }

    bool hasItem(int row, int column) const override { return cells.contains({row, column}); }
    QString text(int row, int column) const override { return cells.value({row, column}); }

private:
    QMap<QPair<int, int>, QString> cells;
};
