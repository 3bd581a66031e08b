#pragma once

#include "cellsource.h"
#include "checks.h"
#include "metainput.h"
#include "testinput.h"

// The check of a meta-analysis block: one row per study, six genotype
// columns (cases with 0, 1, 2 copies of the effect allele, then controls)
// or four exposure columns (cases exposed, cases unexposed, controls
// exposed, controls unexposed); each study's name in the column left of
// the block, and with `subgroups` its subgroup label in the column right
// of it. Counts are whole numbers of 0 or more; every study needs some
// cases and some controls, and there must be 2 studies or more.
struct MetaBlockOptions
{
    bool subgroups = false;
    // The effect allele is the one homozygous in the first genotype column
    // of each group (its counts then run 2, 1, 0 copies); otherwise in the
    // third.
    bool effectFirst = false;
};

// in: the block's place (nRows, nCols, topRow, leftCol). Fills *out's
// studies, layout and effect column on success.
CheckResult checkMeta(const CellSource &grid, const TestInput &in, const MetaBlockOptions &options, MetaInput *out);

// Whether a block of nRows x nCols could be a meta-analysis block.
bool metaShapeFits(int nRows, int nCols, int leftCol);

// "columns D and G": the columns of the effect allele's homozygotes.
QString metaEffectColumns(const TestInput &in, bool effectFirst);
