#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A region of one chromosome: CHR, or CHR:FROM-TO with 1-based, inclusive
// positions. A variant belongs to it when it is on CHR and its POS lies in
// FROM..TO (a deletion that starts before FROM is not in it, though it
// overlaps).
struct RegionSpec
{
    QByteArray chrom;
    qint64 from = 1;
    qint64 to = 0;   // 0: to the chromosome's end

    bool contains(const QByteArray &chromosome, qint64 pos) const
    {
        return chromosome == chrom && pos >= from && (to == 0 || pos <= to);
    }
    bool containsPos(qint64 pos) const { return pos >= from && (to == 0 || pos <= to); }

    // "CHR" or "CHR:FROM-TO" (commas in the numbers allowed); nullopt when
    // it is neither, with the reason.
    static std::optional<RegionSpec> parse(const QString &text, QString *error);
    QString text() const;
};
