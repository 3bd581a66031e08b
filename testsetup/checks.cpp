#include "checks.h"

#include "metacheck.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>

namespace {

// Every count read is logged at debug level, off unless QT_LOGGING_RULES
// turns it on ("velmora.checks.debug=true"): a line per cell at every
// re-check is no output for a user's terminal. The category lets a batch
// skip their formatting.
Q_LOGGING_CATEGORY(lcChecks, "velmora.checks", QtInfoMsg)

// The dialog shows these texts, so they are translated in its context.
QString trDialog(const char *text)
{
    return QCoreApplication::translate("SelDialog", text);
}

QString wrongRange() { return trDialog("<font color=\"red\"> wrong Range</font>"); }
QString emptyCell() { return trDialog("<font color=\"red\">Empty cell</font>"); }
QString badNumber() { return trDialog("<font color=\"red\">Bad number</font>"); }
QString wrongNumber() { return trDialog("<font color=\"red\">Wrong number</font>"); }
QString allIsGood() { return trDialog("<font color=\"green\"> All is good</font>"); }
QString rowSumZero(int gridRow)
{
    return trDialog("<font color=\"red\">Sum=0 for row # %1</font>").arg(gridRow);
}
QString columnSumZero(int gridColumn)
{
    return trDialog("<font color=\"red\">Sum=0 for column # %1</font>").arg(gridColumn);
}

CheckResult fail(const QString &message)
{
    CheckResult result;
    result.message = message;
    return result;
}

CheckResult succeed()
{
    CheckResult result;
    result.ok = true;
    result.message = allIsGood();
    return result;
}

// Grows a work array to hold `needed` entries; it never shrinks, so its
// contents beyond the block stay as they were.
void ensureSize(std::vector<int> &buffer, std::size_t needed)
{
    if (buffer.size() < needed)
        buffer.resize(needed);
}

enum class Read { Ok, Empty, Bad };

// One count: an item must exist and show a non-negative base-10 int.
Read readCount(const CellSource &grid, int row, int column, int &value)
{
    int v = 0;
    if (!grid.plainCount(row, column, v)) {
        if (!grid.hasItem(row, column))
            return Read::Empty;
        const QString text = grid.text(row, column);
        // The number parser stops at a NUL: "7<NUL>abc" would count as 7.
        if (text.contains(QChar(u'\0')))
            return Read::Bad;
        bool ok = false;
        v = text.toInt(&ok, 10);
        if (!ok || v < 0)
            return Read::Bad;
    }
    qCDebug(lcChecks) << " value=" << v;
    value = v;
    return Read::Ok;
}

QString readFailure(Read read, const QString &badText)
{
    return read == Read::Empty ? emptyCell() : badText;
}

// The running sum of every count read once. The engines size their tables
// by the totals, so a block is refused as soon as its grand total leaves
// the int range; every row and column sum is bounded by it, which keeps the
// int work arrays exact.
class Tally final
{
public:
    explicit Tally(qint64 limit = INT_MAX) : limit(limit) {}
    bool add(int v)
    {
        sum += v;
        return sum <= limit;
    }
    int value() const { return int(sum); }

private:
    qint64 limit;
    qint64 sum = 0;
};

} // namespace

QString tooLargeMessage()
{
    return trDialog("<font color=\"red\">Counts are too large</font>");
}

bool shapeFits(int kind, const TestInput &in)
{
    const int c = in.nCols;
    const int r = in.nRows;
    switch (kind) {
    case TestFisher:
        return (c == 2 && r >= 2 && r <= 100) || (r == 2 && c >= 2 && c <= 100);
    case TestChi2:
        return c >= 2 && r >= 2;
    case TestCluster:
        // Samples in rows need their names in the column left of the block.
        if (in.leftCol >= 1)
            return (c > 2 && r == 2) || (c == 2 && r > 2);
        return c == 2 && r > 2;
    case TestHardyW:
        return c >= 2 && r == c;
    case TestGeneInter:
        return c >= 2 && r >= 4 && r % 2 == 0;
    case TestModels:
        return (c == 3 && r == 2) || (c == 2 && r == 3);
    case TestMeta:
        return metaShapeFits(r, c, in.leftCol);
    case TestLd:
        return c == 3 && r == 3;
    case TestHaplotypes:
        return c >= 3 && c <= 21 && r >= 2;
    default:
        return false;
    }
}

CheckResult checkTestRange(int kind, const CellSource &grid, TestInput &in)
{
    if (!shapeFits(kind, in)) {
        // The dialog unchecks the box, so the record follows it.
        in.yates = false;
        CheckResult result = fail(wrongRange());
        result.yatesUnchecked = true;
        return result;
    }
    switch (kind) {
    case TestFisher:
        return checkFisher(grid, in);
    case TestChi2:
        return checkChi2(grid, in);
    case TestCluster:
        return checkCluster(grid, in);
    case TestHardyW:
        return checkHardyW(grid, in);
    case TestModels:
        return checkModels(grid, in);
    case TestMeta:
        return checkMeta(grid, in, MetaBlockOptions{in.metaSubgroups, in.metaEffectFirst}, &in.meta);
    case TestLd:
        return checkLd(grid, in);
    case TestHaplotypes:
        return checkHaplotypes(grid, in);
    default:
        return checkGeneInter(grid, in);
    }
}

CheckResult checkFisher(const CellSource &grid, TestInput &in)
{
    const bool categoriesInRows = in.nCols <= in.nRows;
    const int categories = categoriesInRows ? in.nRows : in.nCols;
    in.testSize = qMax(in.nCols, in.nRows);
    ensureSize(in.bufC, std::size_t(categories));
    ensureSize(in.bufD, std::size_t(categories));
    in.total = 0;

    Tally total;
    for (int c = 0; c < in.nCols; ++c) {
        for (int r = 0; r < in.nRows; ++r) {
            int v = 0;
            const Read read = readCount(grid, in.topRow + r, in.leftCol + c, v);
            if (read != Read::Ok)
                return fail(readFailure(read, badNumber()));
            if (!total.add(v))
                return fail(tooLargeMessage());
            const int group = categoriesInRows ? c : r;
            const int category = categoriesInRows ? r : c;
            if (group == 0) {
                in.bufC[category] = v;
                in.bufD[category] = v;
                continue;
            }
            in.bufD[category] += v;
            if (in.bufD[category] == 0) {
                // A category nobody falls into has no place in the table.
                return fail(categoriesInRows ? rowSumZero(in.topRow + r + 1)
                                             : columnSumZero(in.leftCol + c + 1));
            }
        }
    }
    in.total = total.value();
    return succeed();
}

CheckResult checkChi2(const CellSource &grid, TestInput &in)
{
    CheckResult result;
    // Yates correction exists only for 2 x 2 tables.
    if (in.nCols == 2 && in.nRows == 2) {
        result.yatesEnabled = true;
    } else {
        result.yatesUnchecked = true;
        in.yates = false;
    }
    auto failWith = [&result](const QString &message) {
        result.ok = false;
        result.message = message;
        return result;
    };

    ensureSize(in.bufC, std::size_t(in.nRows));
    ensureSize(in.bufD, std::size_t(in.nCols));
    in.total = 0;
    Tally total;
    for (int r = 0; r < in.nRows; ++r) {
        in.bufC[r] = 0;
        for (int c = 0; c < in.nCols; ++c) {
            if (r == 0)
                in.bufD[c] = 0;
            int v = 0;
            const Read read = readCount(grid, in.topRow + r, in.leftCol + c, v);
            if (read != Read::Ok)
                return failWith(readFailure(read, wrongNumber()));
            if (!total.add(v))
                return failWith(tooLargeMessage());
            in.bufC[r] += v;
            in.bufD[c] += v;
        }
        if (in.bufC[r] == 0)
            return failWith(rowSumZero(in.topRow + r + 1));
    }
    in.total = total.value();

    // Yates: each |O - E| less 0.5, but never below 0 (as R's chisq.test
    // and scipy do): a deviation under 0.5 squared from below 0 would
    // inflate the statistic that the correction is meant to shrink.
    const double y = in.yates ? 0.5 : 0.0;
    in.chi2Sum = 0;
    for (int r = 0; r < in.nRows; ++r) {
        for (int c = 0; c < in.nCols; ++c) {
            if (in.bufD[c] == 0)
                return failWith(columnSumZero(in.leftCol + c + 1));
            int o = 0;
            readCount(grid, in.topRow + r, in.leftCol + c, o);
            const double e = double(in.bufC[r]) * double(in.bufD[c]) / double(in.total);
            const double deviation = std::fabs(double(o) - e);
            const double d = deviation - std::min(y, deviation);
            in.chi2Sum += d * d / e;
        }
    }
    in.testSize = (in.nCols - 1) * (in.nRows - 1);
    result.ok = true;
    result.message = allIsGood();
    return result;
}

CheckResult checkHardyW(const CellSource &grid, TestInput &in)
{
    const int k = in.nCols;
    in.testSize = k;
    ensureSize(in.bufA, std::size_t(k) * std::size_t(k));
    ensureSize(in.bufC, std::size_t(k));
    ensureSize(in.bufD, std::size_t(k));

    // The engine counts alleles, two per individual, so twice the number
    // of individuals must still be an int.
    Tally individuals(INT_MAX / 2);
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k; ++j) {
            const int row = in.topRow + i;
            const int column = in.leftCol + j;
            int v = 0;
            if (j < i) {
                if (grid.hasItem(row, column))
                    return fail(trDialog("<font color=\"red\">Left botton nonempty cell</font>"));
                qCDebug(lcChecks) << " value=" << v;
            } else {
                const Read read = readCount(grid, row, column, v);
                if (read != Read::Ok)
                    return fail(readFailure(read, badNumber()));
                if (!individuals.add(v))
                    return fail(tooLargeMessage());
            }
            in.bufA[std::size_t(i) * std::size_t(k) + std::size_t(j)] = v;
            in.bufD[i] = j == 0 ? v : in.bufD[i] + v;
            in.bufC[j] = i == 0 ? v : in.bufC[j] + v;
        }
    }
    for (int i = 0; i < k; ++i) {
        if (in.bufD[i] == 0 && in.bufC[i] == 0)
            return fail(trDialog("<font color=\"red\">Null Genotype number=%1</font>").arg(i + 1));
    }
    return succeed();
}

namespace {

// One half column or one whole row of a gene-interaction block; the cells
// are stored by their place in the whole block, the upper half into bufA,
// the lower into bufB. `grand` is given on the first reading of each cell.
bool checkBlock(const CellSource &grid, TestInput &in, int c0, int c1, int r0, int r1,
                Tally *grand, QString &message)
{
    const qint64 n = in.nCols;
    const qint64 half = qint64(in.nRows / 2) * n;
    qint64 sum = 0;
    for (int c = c0; c < c1; ++c) {
        for (int r = r0; r < r1; ++r) {
            int v = 0;
            const Read read = readCount(grid, in.topRow + r, in.leftCol + c, v);
            if (read != Read::Ok) {
                message = readFailure(read, badNumber());
                return false;
            }
            if (grand && !grand->add(v)) {
                message = tooLargeMessage();
                return false;
            }
            const qint64 p = r * n + c;
            if (p < half)
                in.bufA[std::size_t(p)] = v;
            else
                in.bufB[std::size_t(p - half)] = v;
            sum += v;
        }
    }
    if (sum == 0) {
        message = trDialog("<font color=\"red\">Column or row Sum=0</font>");
        return false;
    }
    return true;
}

} // namespace

CheckResult checkGeneInter(const CellSource &grid, TestInput &in)
{
    const int n = in.nCols;
    const int m = in.nRows / 2;
    in.testSize = n;
    const std::size_t cells = std::size_t(m) * std::size_t(n);
    ensureSize(in.bufA, cells);
    ensureSize(in.bufB, cells);

    QString message;
    Tally grand;
    for (int c = 0; c < n; ++c) {
        if (!checkBlock(grid, in, c, c + 1, 0, m, &grand, message)
            || !checkBlock(grid, in, c, c + 1, m, 2 * m, &grand, message))
            return fail(message);
    }
    // Every cell has been read once, so no sum below can pass the grand total.
    for (int r = 0; r < 2 * m; ++r) {
        if (!checkBlock(grid, in, 0, n, r, r + 1, nullptr, message))
            return fail(message);
    }
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < n; ++j) {
            const std::size_t p = std::size_t(i) * std::size_t(n) + std::size_t(j);
            if (qint64(in.bufA[p]) + in.bufB[p] < 1) {
                return fail(trDialog("<font color=\"red\">Gaplotype=0 for i=%1, j=%2</font>")
                                .arg(i)
                                .arg(j));
            }
        }
    }
    return succeed();
}

namespace {

QString samplesHaveNoNames() { return trDialog("<font color=\"red\">Samples has not names</font>"); }
QString sampleNameEmpty() { return trDialog("<font color=\"red\">Samples name is empty</font>"); }
QString factorsHaveNoNames() { return trDialog("<font color=\"red\">Factors has not names</font>"); }
QString factorNameEmpty() { return trDialog("<font color=\"red\">Factor name is empty</font>"); }

// Two samples in rows, the factors in columns: sample names in the column
// left of the block, factor names in the row above it.
CheckResult checkClusterRows(const CellSource &grid, TestInput &in)
{
    const int n = in.nCols;
    Tally grand;
    for (int s = 0; s < 2; ++s) {
        const int row = in.topRow + s;
        if (in.leftCol < 1)
            return fail(samplesHaveNoNames());
        if (!grid.hasItem(row, in.leftCol - 1))
            return fail(sampleNameEmpty());
        in.sampleNames.append(grid.text(row, in.leftCol - 1));
        in.bufC[s] = 0;
        for (int k = 0; k < n; ++k) {
            if (s == 0)
                in.bufD[k] = 0;
            int v = 0;
            const Read read = readCount(grid, row, in.leftCol + k, v);
            if (read != Read::Ok)
                return fail(readFailure(read, wrongNumber()));
            if (!grand.add(v))
                return fail(tooLargeMessage());
            (s == 0 ? in.bufA : in.bufB)[k] = v;
            in.bufC[s] += v;
            in.bufD[k] += v;
        }
        if (in.bufC[s] == 0)
            return fail(rowSumZero(row + 1));
    }
    for (int k = 0; k < n; ++k) {
        if (in.bufD[k] == 0)
            return fail(columnSumZero(in.leftCol + k + 1));
        if (in.topRow < 1)
            return fail(factorsHaveNoNames());
        if (!grid.hasItem(in.topRow - 1, in.leftCol + k))
            return fail(factorNameEmpty());
        in.factorNames.append(grid.text(in.topRow - 1, in.leftCol + k));
    }
    return succeed();
}

// Two samples in columns, the factors in rows: sample names in the row
// above the block, factor names in the column left of it.
CheckResult checkClusterColumns(const CellSource &grid, TestInput &in)
{
    const int n = in.nRows;
    Tally grand;
    for (int k = 0; k < n; ++k) {
        const int row = in.topRow + k;
        in.bufC[k] = 0;
        for (int s = 0; s < 2; ++s) {
            const int column = in.leftCol + s;
            if (k == 0) {
                in.bufD[s] = 0;
                if (in.topRow < 1)
                    return fail(samplesHaveNoNames());
                if (!grid.hasItem(in.topRow - 1, column))
                    return fail(sampleNameEmpty());
                in.sampleNames.append(grid.text(in.topRow - 1, column));
            }
            int v = 0;
            const Read read = readCount(grid, row, column, v);
            if (read != Read::Ok)
                return fail(readFailure(read, wrongNumber()));
            if (!grand.add(v))
                return fail(tooLargeMessage());
            (s == 0 ? in.bufA : in.bufB)[k] = v;
            in.bufC[k] += v;
            in.bufD[s] += v;
        }
        if (in.bufC[k] == 0)
            return fail(rowSumZero(row + 1));
        if (in.leftCol < 1)
            return fail(factorsHaveNoNames());
        if (!grid.hasItem(row, in.leftCol - 1))
            return fail(factorNameEmpty());
        in.factorNames.append(grid.text(row, in.leftCol - 1));
    }
    for (int s = 0; s < 2; ++s) {
        if (in.bufD[s] == 0)
            return fail(columnSumZero(in.leftCol + s + 1));
    }
    return succeed();
}

} // namespace

CheckResult checkCluster(const CellSource &grid, TestInput &in)
{
    in.factorNames.clear();
    in.sampleNames.clear();
    const std::size_t longer = std::size_t(qMax(in.nCols, in.nRows));
    ensureSize(in.bufA, longer);
    ensureSize(in.bufB, longer);
    ensureSize(in.bufC, longer);
    ensureSize(in.bufD, longer);

    const CheckResult result = in.nRows == 2 && in.nCols > 2 ? checkClusterRows(grid, in)
                                                             : checkClusterColumns(grid, in);
    if (result.ok)
        in.testSize = in.nCols;
    return result;
}

CheckResult checkModels(const CellSource &grid, TestInput &in)
{
    // Genotypes across, groups down; or the transpose.
    const bool groupsInColumns = in.nRows == 3;
    ensureSize(in.bufA, 6);
    // Each individual carries two alleles, and the allele counts must
    // still be ints.
    Tally individuals(INT_MAX / 2);
    qint64 groupSums[2] = {0, 0};
    for (int r = 0; r < in.nRows; ++r) {
        for (int c = 0; c < in.nCols; ++c) {
            int v = 0;
            const Read read = readCount(grid, in.topRow + r, in.leftCol + c, v);
            if (read != Read::Ok)
                return fail(readFailure(read, badNumber()));
            if (!individuals.add(v))
                return fail(tooLargeMessage());
            const int group = groupsInColumns ? c : r;
            const int genotype = groupsInColumns ? r : c;
            in.bufA[std::size_t(group * 3 + genotype)] = v;
            groupSums[group] += v;
        }
    }
    for (int group = 0; group < 2; ++group) {
        if (groupSums[group] == 0)
            return fail(groupsInColumns ? columnSumZero(in.leftCol + group + 1) : rowSumZero(in.topRow + group + 1));
    }
    const int *n = in.bufA.data();
    const qint64 first = 2 * (qint64(n[0]) + n[3]) + n[1] + n[4];
    const qint64 second = 2 * (qint64(n[2]) + n[5]) + n[1] + n[4];
    if (first == 0 || second == 0)
        return fail(trDialog("<font color=\"red\">Fewer than two alleles</font>"));
    in.testSize = 3;
    in.total = individuals.value();
    return succeed();
}

CheckResult checkLd(const CellSource &grid, TestInput &in)
{
    ensureSize(in.bufA, 9);
    // Each individual carries two alleles at each locus; the allele counts
    // must still be ints.
    Tally individuals(INT_MAX / 2);
    qint64 rows[3] = {0, 0, 0}, columns[3] = {0, 0, 0};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            int v = 0;
            const Read read = readCount(grid, in.topRow + r, in.leftCol + c, v);
            if (read != Read::Ok)
                return fail(readFailure(read, badNumber()));
            if (!individuals.add(v))
                return fail(tooLargeMessage());
            in.bufA[std::size_t(r * 3 + c)] = v;
            rows[r] += v;
            columns[c] += v;
        }
    }
    if (individuals.value() == 0)
        return fail(trDialog("<font color=\"red\">No individuals</font>"));
    // A locus with one allele has no LD with anything.
    const auto monomorphic = [](const qint64 *sums) { return sums[1] == 0 && (sums[0] == 0 || sums[2] == 0); };
    if (monomorphic(rows))
        return fail(trDialog("<font color=\"red\">One allele at the locus of the rows</font>"));
    if (monomorphic(columns))
        return fail(trDialog("<font color=\"red\">One allele at the locus of the columns</font>"));
    in.testSize = 3;
    in.total = individuals.value();
    return succeed();
}
