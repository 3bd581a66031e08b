#pragma once

#include "modelfigures.h"

// The genetic models of a case/control genotype table: descriptives,
// Hardy-Weinberg in controls, the genotypic, allelic, trend, dominant,
// recessive and overdominant tests, and the odds ratios of every model
// (see ModelFigures). Built on the exact sums of the product: the
// two-allele Hardy-Weinberg walk, the Fisher 2 x 2 and 2 x 3 direct sums
// (both with their mid-p), the chi-squared tail.
class geneticmodels final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 1,        // Stop pressed during an exact sum
        BadInput = 2,       // see valid()
        NoConvergence = 3   // an iterative fit failed; *error names it
    };

    // Whether the counts can be analysed: none negative, some cases and
    // some controls, both alleles present, every allele count within an
    // int, and 0 < L <= conditionalodds::kMaxConfLevel.
    static bool valid(const qint64 cases[3], const qint64 controls[3], double confLevel);

    // The block's genotype (0 or 2) homozygous for the effect allele: the
    // allele with fewer copies over all samples, the last genotype's on a
    // tie.
    static int effectGenotype(const qint64 cases[3], const qint64 controls[3]);

    // cases[j] and controls[j]: the counts of the block's genotype j, the
    // homozygotes at 0 and 2. Writes *out on Finished only.
    static int compute(const qint64 cases[3], const qint64 controls[3], double confLevel, ModelFigures *out,
                       QString *error = nullptr);
};
