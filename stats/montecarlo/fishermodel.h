#pragma once

#include "lnfactorial.h"
#include "mcmodel.h"

#include <QtGlobal>

#include <vector>

// The Fisher 2xN test by simulation: random first rows with the observed
// margins (sequential hypergeometric draws over the columns); a table is
// extreme when it is at most as probable as the observed one.
class fishermodel final : public mcmodel
{
public:
    // N columns: first-row counts x1 and column totals c.
    fishermodel(int N, const int *x1, const int *c);

    // False when the input is no table (a count outside its column total,
    // no column) or the log-factorials could not be had.
    bool isValid() const { return m_valid; }

    std::unique_ptr<mcsampler> sampler() const override;

    // The log-probability of a first row, up to a constant: minus the sum
    // of ln x_j! + ln (c_j - x_j)!.
    double score(const qint64 *x) const;
    double limit() const { return m_limit; }

private:
    class rowsampler;

    std::vector<qint64> m_columns;
    qint64 m_total = 0;
    qint64 m_firstRow = 0;
    lnfactorial m_lnFact;
    double m_limit = 0.0;
    bool m_valid = false;
};
