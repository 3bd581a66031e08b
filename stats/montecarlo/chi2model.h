#pragma once

#include "lnfactorial.h"
#include "mcmodel.h"

#include <QtGlobal>

#include <vector>

// The chi-squared test by simulation: random tables with the observed row
// and column sums; a table is extreme when its statistic is at least the
// observed one, less a relative 64 units in the last place (as R does), so
// that a table with the same statistic summed in another rounding counts.
class chi2model final : public mcmodel
{
public:
    // rows x columns counts, row-major; yates: subtract min(0.5, |O - E|)
    // from every |O - E| before squaring, as the check does for a 2 x 2
    // table.
    chi2model(int rows, int columns, const int *cells, bool yates);

    // False when a row or column sums to 0, a count is negative, or the
    // log-factorials could not be had.
    bool isValid() const { return m_valid; }

    std::unique_ptr<mcsampler> sampler() const override;

    // Sum over the cells of (|O - E| - min(y, |O - E|))^2 / E, row by row.
    double statistic(const qint64 *cells) const;
    double rowStatistic(int row, const qint64 *cells) const;
    double observed() const { return m_observed; }
    double limit() const { return m_limit; }

private:
    class tablesampling;

    int m_rows = 0;
    int m_columns = 0;
    qint64 m_total = 0;
    std::vector<qint64> m_rowSums;
    std::vector<qint64> m_columnSums;
    std::vector<double> m_expected;
    std::vector<double> m_inverse;   // 1 / expected
    // Per row r, per column: the expected counts of rows r + 1 and later,
    // summed, and their inverses.
    std::vector<double> m_restExpected;
    std::vector<double> m_restInverse;
    double m_correction = 0.0;
    lnfactorial m_lnFact;
    double m_observed = 0.0;
    double m_limit = 0.0;
    double m_decisive = 0.0;
    bool m_valid = false;
};
