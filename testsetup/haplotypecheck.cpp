#include "checks.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>

// The block of a haplotype test: one row per individual, one column per
// SNP and the case/control column last. A genotype is the copies of the
// second allele (0, 1, 2) or a pair of alleles ("A/G", "A|G", "AG"); a
// column holds one kind. Empty cells, ".", "./.", "NA", "-" and "?" are
// missing genotypes.

namespace {

QString trDialog(const char *text)
{
    return QCoreApplication::translate("SelDialog", text);
}

CheckResult refuse(const QString &text)
{
    CheckResult result;
    result.message = QStringLiteral("<font color=\"red\">%1</font>").arg(text.toHtmlEscaped());
    return result;
}

QString columnName(int column)
{
    return QString(QChar(char16_t(u'A' + column)));
}

bool isMissing(const QString &text)
{
    return text.isEmpty() || text == u"." || text == u"./." || text == u".|." || text == u"-" || text == u"?"
           || text.compare(u"NA", Qt::CaseInsensitive) == 0;
}

bool isNucleotide(QChar c)
{
    return c == u'A' || c == u'C' || c == u'G' || c == u'T';
}

// The two alleles of a pair, upper-cased; false when it is none.
bool splitPair(const QString &text, QString &first, QString &second)
{
    const qsizetype cut = std::max(text.indexOf(u'/'), text.indexOf(u'|'));
    if (cut > 0) {
        first = text.left(cut).trimmed().toUpper();
        second = text.mid(cut + 1).trimmed().toUpper();
        return !first.isEmpty() && !second.isEmpty() && !first.contains(u'/') && !second.contains(u'/')
               && !first.contains(u'|') && !second.contains(u'|');
    }
    const QString upper = text.toUpper();
    if (upper.size() == 2 && isNucleotide(upper.at(0)) && isNucleotide(upper.at(1))) {
        first = upper.left(1);
        second = upper.mid(1);
        return true;
    }
    return false;
}

enum class Kind { Unknown, Codes, Pairs };

// One SNP column: the genotypes as copies of its second allele.
struct Column
{
    Kind kind = Kind::Unknown;
    QStringList alleles;       // in order of first appearance
    QList<int> copies;         // per allele, over the block
    std::vector<int> raw;      // per row: a code, or pair index first * 8 + second; -1 missing
};

} // namespace

CheckResult checkHaplotypes(const CellSource &grid, TestInput &in)
{
    const int loci = in.nCols - 1;
    const int rows = in.nRows;
    std::vector<Column> columns(std::size_t(std::max(0, loci)));
    for (int j = 0; j < loci; ++j) {
        Column &column = columns[std::size_t(j)];
        const int gridColumn = in.leftCol + j;
        for (int r = 0; r < rows; ++r) {
            const int gridRow = in.topRow + r;
            const QString text = grid.hasItem(gridRow, gridColumn) ? grid.text(gridRow, gridColumn).trimmed() : QString();
            if (isMissing(text)) {
                column.raw.push_back(-1);
                continue;
            }
            const QString cell = columnName(gridColumn) + QString::number(gridRow + 1);
            QString first, second;
            if (text == u"0" || text == u"1" || text == u"2") {
                if (column.kind == Kind::Pairs)
                    return refuse(trDialog("Column %1 mixes 0/1/2 codes and allele pairs (%2)")
                                      .arg(columnName(gridColumn), cell));
                column.kind = Kind::Codes;
                column.raw.push_back(text.at(0).digitValue());
            } else if (splitPair(text, first, second)) {
                if (column.kind == Kind::Codes)
                    return refuse(trDialog("Column %1 mixes 0/1/2 codes and allele pairs (%2)")
                                      .arg(columnName(gridColumn), cell));
                column.kind = Kind::Pairs;
                int index[2] = {0, 0};
                const QString pair[2] = {first, second};
                for (int a = 0; a < 2; ++a) {
                    index[a] = int(column.alleles.indexOf(pair[a]));
                    if (index[a] < 0) {
                        if (column.alleles.size() == 2)
                            return refuse(trDialog("Column %1 has more than two alleles (%2): multi-allelic SNPs "
                                                   "are not tested")
                                              .arg(columnName(gridColumn), cell));
                        column.alleles.append(pair[a]);
                        column.copies.append(0);
                        index[a] = int(column.alleles.size()) - 1;
                    }
                    ++column.copies[index[a]];
                }
                column.raw.push_back(index[0] * 8 + index[1]);
            } else {
                return refuse(trDialog("Cell %1 is not a genotype (0, 1, 2 or a pair like A/G)").arg(cell));
            }
        }
    }

    // The alleles of each SNP, the second the rarer one of a pair column.
    in.alleleNames.clear();
    in.factorNames.clear();
    for (int j = 0; j < loci; ++j) {
        Column &column = columns[std::size_t(j)];
        const QString name = columnName(in.leftCol + j);
        bool polymorphic = false;
        if (column.kind == Kind::Codes) {
            int seen[3] = {0, 0, 0};
            for (const int code : column.raw) {
                if (code >= 0)
                    ++seen[code];
            }
            polymorphic = seen[1] > 0 || (seen[0] > 0 && seen[2] > 0);
            in.alleleNames << QStringLiteral("1") << QStringLiteral("2");
        } else if (column.kind == Kind::Pairs) {
            polymorphic = column.alleles.size() == 2;
            // The more frequent allele first; on a tie the first seen.
            const bool swap = polymorphic && column.copies.at(1) > column.copies.at(0);
            for (int &raw : column.raw) {
                if (raw < 0)
                    continue;
                const int copies = (raw / 8 == 1) + (raw % 8 == 1);
                raw = swap ? 2 - copies : copies;
            }
            in.alleleNames << column.alleles.value(swap ? 1 : 0) << column.alleles.value(swap ? 0 : 1);
        }
        if (column.kind == Kind::Unknown)
            return refuse(trDialog("Column %1 has no genotype").arg(name));
        if (!polymorphic)
            return refuse(trDialog("Column %1 has one allele only: a monomorphic SNP tells nothing of haplotypes").arg(name));
        const bool named = in.topRow >= 1 && grid.hasItem(in.topRow - 1, in.leftCol + j)
                           && !grid.text(in.topRow - 1, in.leftCol + j).trimmed().isEmpty();
        in.factorNames << (named ? grid.text(in.topRow - 1, in.leftCol + j).trimmed() : name);
    }

    // Case status, last column.
    const int statusColumn = in.leftCol + loci;
    const std::size_t cells = std::size_t(rows) * std::size_t(loci);
    if (in.bufA.size() < cells)
        in.bufA.resize(cells);
    if (in.bufB.size() < std::size_t(rows))
        in.bufB.resize(std::size_t(rows));
    int cases = 0;
    int controls = 0;
    for (int r = 0; r < rows; ++r) {
        const int gridRow = in.topRow + r;
        const QString text = grid.hasItem(gridRow, statusColumn) ? grid.text(gridRow, statusColumn).trimmed() : QString();
        int isCase = -1;
        if (text.compare(u"case", Qt::CaseInsensitive) == 0 || text == u"2")
            isCase = 1;
        else if (text.compare(u"control", Qt::CaseInsensitive) == 0 || text == u"1")
            isCase = 0;
        if (isCase < 0)
            return refuse(trDialog("Cell %1: the last column says case or control (or 2 and 1)")
                              .arg(columnName(statusColumn) + QString::number(gridRow + 1)));
        in.bufB[std::size_t(r)] = isCase;
        bool typed = false;
        for (int j = 0; j < loci; ++j) {
            const int code = columns[std::size_t(j)].raw[std::size_t(r)];
            in.bufA[std::size_t(r) * std::size_t(loci) + std::size_t(j)] = code;
            typed = typed || code >= 0;
        }
        if (typed)
            (isCase ? cases : controls) += 1;
    }
    if (cases == 0 || controls == 0)
        return refuse(cases == 0 ? trDialog("No case is typed") : trDialog("No control is typed"));
    // Two SNPs never typed together leave their haplotypes unknown.
    for (int j = 0; j < loci; ++j) {
        for (int k = j + 1; k < loci; ++k) {
            bool together = false;
            for (int r = 0; r < rows && !together; ++r)
                together = columns[std::size_t(j)].raw[std::size_t(r)] >= 0 && columns[std::size_t(k)].raw[std::size_t(r)] >= 0;
            if (!together)
                return refuse(trDialog("No individual is typed at both %1 and %2")
                                  .arg(in.factorNames.at(j), in.factorNames.at(k)));
        }
    }
    in.testSize = loci;
    in.total = rows;
    CheckResult result;
    result.ok = true;
    result.message = trDialog("<font color=\"green\"> All is good</font>");
    return result;
}
