#pragma once

#include "haplotypeem.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <QtNumeric>

#include <vector>

// The individuals of a haplotype association: per individual its genotype
// at every locus (copies of allele 2, or haplotypeem::kMissing) and its
// group.
struct HaplotypeSample
{
    int loci = 0;
    std::vector<qint8> genotypes;  // individual-major
    std::vector<qint8> isCase;     // 1 case, 0 control
    QStringList names;             // of the loci, for messages; may be empty

    int individuals() const { return int(isCase.size()); }
};

struct HaplotypeSettings
{
    int starts = haplotypeem::kDefaultStarts;
    qint64 permutations = 1000;
    quint64 seed = 0;
    double rare = 0.01;      // haplotypes below this overall frequency are pooled
    int threads = 0;         // 0: one per core
    double confLevel = 0.95; // of the odds ratios' intervals
};

// One reported haplotype, or the pooled rare ones.
struct HaplotypeEntry
{
    bool rare = false;
    quint32 code = 0;              // bit j: allele 2 at locus j (not for the pool)
    int pooled = 0;                // haplotypes in the pool
    double freq = 0.0;             // estimated in all, cases, controls
    double freqCases = 0.0;
    double freqControls = 0.0;
    // Against the first entry (the most frequent haplotype): the ratio of
    // its odds to the reference's in cases over that in controls, with an
    // interval from the observed information of both groups' fits. The
    // reference itself: 1, no interval.
    double oddsRatio = qQNaN();
    double low = qQNaN();
    double high = qQNaN();
    // The score test of its copies against all other haplotypes (haplo.score's
    // haplotype-specific statistic): z and its two-sided P.
    double score = qQNaN();
    double p = qQNaN();
};

struct HaplotypeFigures
{
    int loci = 0;
    int n = 0;               // individuals typed at one locus at least
    int cases = 0;
    int controls = 0;
    int untyped = 0;         // left out: typed at no locus
    double confLevel = 0.95;
    double rare = 0.01;

    // The three fits.
    double loglik = qQNaN();          // all
    double loglikCases = qQNaN();
    double loglikControls = qQNaN();
    int iterations = 0;               // of the pooled fit's best start
    int starts = 0;
    int startsAtBest = 0;             // of the pooled fit

    std::vector<HaplotypeEntry> entries;  // descending overall frequency, the pool last

    // Separate against pooled frequencies: LRT, df = entries - 1.
    double lrt = qQNaN();
    int df = 0;
    double p = qQNaN();
    // The permutation P of the same statistic, each permutation's groups
    // refitted from the pooled estimate: (extreme + 1) / (permutations + 1)
    // with a 99% Clopper-Pearson interval; NaN with no permutations.
    qint64 permutations = 0;
    quint64 seed = 0;
    qint64 extreme = 0;
    double pPerm = qQNaN();
    double pPermLow = qQNaN();
    double pPermHigh = qQNaN();
};

namespace haplotypeassoc {

enum Status {
    Finished = 0,
    Stopped = 1,
    NoData = 2,          // no case or no control typed; two loci never typed together
    NoConvergence = 3,   // an EM fit ran out of steps
    TooManyPairs = 4,    // the pairs would not fit kMaxPairs
    PermutationFailed = 5
};

// Everything above for the sample. Progress: the share of permutations
// done, 0 to progressMaximum, in calcProgressValue. Stops when
// pollCalcEvents() returns nonzero. The same figures on any number of
// threads; the EM estimates the same, to its tolerance, for any seed.
// A failure's status comes with its reason in *error.
int analyse(const HaplotypeSample &sample, const HaplotypeSettings &settings, HaplotypeFigures *figures,
            QString *error, int progressMaximum = 100);

} // namespace haplotypeassoc
