#pragma once

#include <QtGlobal>

#include <vector>

// Observed and expected counts of a table and each cell's standardised
// residual (O - E) / sqrt(E): the figures that the pictures of the
// chi-squared, Fisher and Hardy-Weinberg tests draw beside the P-value.
struct CellResiduals
{
    int rows = 0;
    int columns = 0;
    std::vector<double> observed;  // row-major, rows x columns
    std::vector<double> expected;
    std::vector<double> residual;  // NaN where nothing is expected
};

// An r x c table under independence with its margins fixed:
// E = row total x column total / grand total. Empty (rows = 0) when a count
// is negative, the size does not match, or the grand total is 0.
CellResiduals tableResiduals(int rows, int columns, const std::vector<qint64> &counts);

// A K x K genotype table, filled on and above the diagonal (row-major),
// under Hardy-Weinberg proportions with the sample's own allele
// frequencies: E_ii = n p_i^2 and E_ij = 2 n p_i p_j. The cells below the
// diagonal stay 0 with NaN residuals. Empty when a count is negative or
// the table holds nobody.
CellResiduals genotypeResiduals(int alleles, const std::vector<qint64> &upper);
