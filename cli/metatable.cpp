#include "metatable.h"

#include <QStringList>

#include <climits>

namespace {

const char *const kGenotypeColumns[] = {"study", "case0", "case1", "case2", "control0", "control1", "control2"};
const char *const kExposureColumns[] = {"study", "cases_exposed", "cases_unexposed", "controls_exposed",
                                        "controls_unexposed"};

template <std::size_t N>
bool headerIs(const QStringList &header, const char *const (&names)[N])
{
    if (header.size() < qsizetype(N))
        return false;
    for (std::size_t i = 0; i < N; ++i)
        if (header.at(qsizetype(i)) != QLatin1StringView(names[i]))
            return false;
    return true;
}

} // namespace

bool metaFromHeaderTable(const std::function<QString(int, int)> &field, int rows, int columns, int firstLine,
                         MetaInput *out, QString *error)
{
    QStringList header;
    for (int c = 0; c < columns; ++c)
        header << field(0, c).trimmed().toLower();
    while (!header.isEmpty() && header.last().isEmpty())
        header.removeLast();
    const bool genotypes = headerIs(header, kGenotypeColumns);
    const bool exposure = !genotypes && headerIs(header, kExposureColumns);
    if (!genotypes && !exposure) {
        *error = QStringLiteral("line %1: the header must be \"study case0 case1 case2 control0 control1 control2 "
                                "[subgroup] [year]\" or \"study cases_exposed cases_unexposed controls_exposed "
                                "controls_unexposed [subgroup] [year]\"")
                     .arg(firstLine);
        return false;
    }
    const int counts = genotypes ? 6 : 4;
    int subgroupColumn = -1, yearColumn = -1;
    for (int c = counts + 1; c < header.size(); ++c) {
        if (header.at(c) == u"subgroup" && subgroupColumn < 0) {
            subgroupColumn = c;
        } else if (header.at(c) == u"year" && yearColumn < 0) {
            yearColumn = c;
        } else {
            *error = QStringLiteral("line %1: unknown column \"%2\" (after the counts: subgroup, year)")
                         .arg(firstLine)
                         .arg(field(0, c).trimmed());
            return false;
        }
    }
    MetaInput input = *out;
    input.exposure = exposure;
    input.studies.clear();
    input.subgroups = subgroupColumn >= 0;
    input.byYear = yearColumn >= 0;
    input.effectColumn = genotypes ? QStringLiteral("case2 and control2 (2 copies)") : QString();
    for (int r = 1; r < rows; ++r) {
        const int line = firstLine + r;
        bool empty = true;
        for (int c = 0; c < header.size() && empty; ++c)
            empty = field(r, c).trimmed().isEmpty();
        if (empty)
            continue;
        MetaStudy study;
        study.row = line;
        study.name = field(r, 0).trimmed();
        if (study.name.isEmpty())
            study.name = QStringLiteral("line %1").arg(line);
        qint64 cases = 0, controls = 0;
        for (int c = 0; c < counts; ++c) {
            const QString text = field(r, c + 1).trimmed();
            bool ok = false;
            const qint64 v = text.toLongLong(&ok, 10);
            if (!ok || v < 0) {
                *error = QStringLiteral("line %1, study %2: %3 is \"%4\", not a count (a whole number of 0 or more)")
                             .arg(line)
                             .arg(study.name, QString::fromLatin1(genotypes ? kGenotypeColumns[c + 1]
                                                                              : kExposureColumns[c + 1]),
                                  text);
                return false;
            }
            if (v > INT_MAX / 4) {
                *error = QStringLiteral("line %1, study %2: counts too large").arg(line).arg(study.name);
                return false;
            }
            study.counts[c] = v;
            (c < counts / 2 ? cases : controls) += v;
        }
        if (cases == 0 || controls == 0) {
            *error = QStringLiteral("line %1, study %2 has no %3")
                         .arg(line)
                         .arg(study.name, cases == 0 ? QStringLiteral("cases") : QStringLiteral("controls"));
            return false;
        }
        if (subgroupColumn >= 0) {
            study.subgroup = field(r, subgroupColumn).trimmed();
            if (study.subgroup.isEmpty()) {
                *error = QStringLiteral("line %1, study %2 has no subgroup").arg(line).arg(study.name);
                return false;
            }
        }
        if (yearColumn >= 0) {
            bool ok = false;
            study.year = field(r, yearColumn).trimmed().toInt(&ok, 10);
            if (!ok) {
                *error = QStringLiteral("line %1, study %2 has no year (a whole number)").arg(line).arg(study.name);
                return false;
            }
            study.hasYear = true;
        }
        input.studies.push_back(study);
    }
    if (input.studies.size() < 2) {
        *error = QStringLiteral("a meta-analysis needs at least 2 studies; the table has %1")
                     .arg(input.studies.size());
        return false;
    }
    *out = input;
    return true;
}
