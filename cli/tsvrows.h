#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The tab-separated form of a genotype run's lines (--format tsv): one
// header line, then one row per JSON line with the same fields. A field of
// a nested object is named by its path ("parent.child"), an array is one
// column of its values joined by commas ("alt": "A,T"; "ci99": "lo,hi"; an
// array of arrays joins those by semicolons: "strata": "1,2,3,4;5,6,7,8"),
// null and a field that a line lacks are NA, booleans true and false, and
// a tab or line break inside a text becomes a space.
class TsvRows final
{
public:
    // The columns of a test's lines (a TestKind).
    explicit TsvRows(int testKind);

    const QStringList &columns() const { return m_columns; }
    QByteArray header() const;
    // The row of one JSON object, with its line end; the names of fields
    // that have no column go to `unknown`.
    QByteArray row(const QString &json, QStringList *unknown = nullptr) const;

    // The fields of a JSON object (as JsonLine writes them) in order, by
    // path; false when the text is not such an object.
    static bool flatten(const QString &json, std::vector<std::pair<QString, QString>> *fields);

private:
    QStringList m_columns;
};
