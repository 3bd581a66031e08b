#pragma once

#include "cellsource.h"
#include "testinput.h"

#include <QString>

// The verdict of a check, for the dialog to show.
struct CheckResult {
    bool ok = false;             // OK button enabled
    QString message;             // the message label's text (every path sets it)
    bool yatesEnabled = false;   // whether the "Yates correction" box is enabled afterwards
    bool yatesUnchecked = false; // true when the box must also be unchecked (wrong range, or not 2x2)
};

// Applies the shape rule of `kind` to in.nCols, in.nRows, in.leftCol (already set by the caller
// from the selection, together with in.topRow and, for chi-squared, in.yates), then the check of
// that kind, which fills `in` (work arrays, total, testSize, chi2Sum, names).
// A kind without a check (TestNone or out of range) is a wrong range.
CheckResult checkTestRange(int kind, const CellSource &grid, TestInput &in);

// Whether the block's shape suits the test `kind`.
bool shapeFits(int kind, const TestInput &in);

// The checks proper; each assumes its shape rule has passed. Counts are
// read as base-10 ints; a block whose row, column or grand totals would not
// fit an int is refused with tooLargeMessage().
CheckResult checkFisher(const CellSource &grid, TestInput &in);
CheckResult checkChi2(const CellSource &grid, TestInput &in);
CheckResult checkCluster(const CellSource &grid, TestInput &in);
CheckResult checkHardyW(const CellSource &grid, TestInput &in);
CheckResult checkGeneInter(const CellSource &grid, TestInput &in);
// Genetic models: 2 x 3 (cases, controls in rows) or 3 x 2 (in columns);
// fills bufA with the cases' three genotype counts, then the controls'.
CheckResult checkModels(const CellSource &grid, TestInput &in);
// Two-locus LD: 3 x 3 counts, rows the copies of an allele (0, 1, 2) at
// one locus, columns at the other; fills bufA row-major.
CheckResult checkLd(const CellSource &grid, TestInput &in);
// Haplotypes: one row per individual, 2 to 20 SNP columns and the
// case/control column last; fills bufA with the copies of each SNP's
// second allele (-1 missing, individual-major), bufB with case status,
// factorNames with the SNPs' names (the row above, or the column letter)
// and alleleNames with their alleles. In haplotypecheck.cpp.
CheckResult checkHaplotypes(const CellSource &grid, TestInput &in);

// The refusal of a block whose sums leave the 32-bit range.
QString tooLargeMessage();
