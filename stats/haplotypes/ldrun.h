#pragma once

#include "runreport.h"
#include "twolocus.h"

#include <QString>
#include <QStringList>

#include <vector>

struct TestInput;

// One run of the two-locus estimate: the Results entry and the figures
// behind it (set when status is 0). Status 2: a table the estimate refuses
// (the message says why).
struct LdRun : RunReport
{
    twolocus::Figures figures;
};

// The block the LD check left in `in`: the nine counts in bufA, row-major,
// rows the ALT copies (0, 1, 2) of the locus down the block, columns those
// of the locus across it.
LdRun runLdTest(const TestInput &in, ReportText text = ReportText::Full);

// The same for counts from elsewhere, the loci named as given.
LdRun runLdTest(const twolocus::Counts &counts, const QString &nameA, const QString &nameB,
                ReportText text = ReportText::Full);

// The figures of a region for its LD triangle: the SNPs in order, and per
// pair i < j (row-major over i, then j) D', LOD and r2; NaN for a pair
// without an estimate (too far apart, or refused).
struct LdMatrix
{
    QString title;           // names the source
    QStringList names;
    QStringList chroms;
    std::vector<qint64> positions;
    std::vector<double> dprime;
    std::vector<double> lod;
    std::vector<double> r2;

    static std::size_t pairIndex(std::size_t i, std::size_t j, std::size_t count)
    {
        // Pairs before row i: i(2count - i - 1)/2.
        return i * (2 * count - i - 1) / 2 + (j - i - 1);
    }
    // Sizes the pair vectors for names.size() SNPs, every pair NaN.
    void reset();
    void set(std::size_t i, std::size_t j, const twolocus::Figures &figures);
};
