#pragma once

#include <QtGlobal>
#include <QtNumeric>

#include <functional>
#include <vector>

// Haplotype frequencies of 2 to 20 two-allele loci from unphased genotypes,
// by maximum likelihood through EM (Excoffier and Slatkin 1995), with the
// loci inserted a batch at a time and the haplotype pairs that fall below a
// posterior of kMinPosterior trimmed after each batch (progressive
// insertion, Clayton; Schaid et al. 2002). Each run is the best of several
// starts: the first from equal posteriors, the others from random ones.
// A missing genotype is summed over its completions, both alleles free.
namespace haplotypeem {

constexpr int kMaxLoci = 20;
constexpr qint8 kMissing = -1;
constexpr int kDefaultStarts = 20;
// Loci added at a time: six two-allele loci give at most 64 orderings of a
// double heterozygote's new alleles, few enough to enumerate.
constexpr int kBatchLoci = 6;
// A batch's pairs below this posterior are dropped before the next batch.
constexpr double kMinPosterior = 1e-9;
// Converged when no frequency changes by more than this in one step.
constexpr double kTolerance = 1e-10;
// A batch before the last needs only to tell which pairs to trim.
constexpr double kStageTolerance = 1e-7;
// Steps of one batch; a run that needs more has not converged (an error).
constexpr int kMaxIterations = 50000;
// Starts whose log-likelihoods lie within this of the best reached it.
constexpr double kSameMaximum = 1e-6;
// Pairs held at once: about 16 bytes each.
constexpr qint64 kMaxPairs = 20000000;

enum Status { Finished = 0, Stopped = 1, NoData = 2, NoConvergence = 3, TooManyPairs = 4 };

// The distinct multi-locus genotypes of a sample: for each, the copies of
// allele 2 at every locus (0, 1, 2) or kMissing.
struct Patterns
{
    int loci = 0;
    std::vector<qint8> codes;  // pattern-major, loci per pattern
    std::vector<int> of;       // per individual: its pattern; -1 when typed at no locus

    int count() const { return loci > 0 ? int(codes.size() / std::size_t(loci)) : 0; }
    const qint8 *pattern(int p) const { return codes.data() + std::size_t(p) * std::size_t(loci); }

    // From individual-major genotypes (individuals x loci).
    static Patterns from(const std::vector<qint8> &genotypes, int loci);
    // Individuals per pattern; with `select`, of those i where select[i] == value.
    std::vector<double> weights(const std::vector<qint8> *select = nullptr, qint8 value = 0) const;
};

// The unordered haplotype pairs that each pattern's genotypes allow, over
// the loci inserted so far. A haplotype is a code: bit j set when it
// carries allele 2 at locus j.
struct PairSet
{
    std::vector<quint32> haplotypes;  // ascending codes
    std::vector<int> begin;           // per pattern its first pair; one more entry at the end
    std::vector<int> first;           // haplotype indexes, first <= second
    std::vector<int> second;

    int patterns() const { return begin.empty() ? 0 : int(begin.size()) - 1; }
    qsizetype pairs() const { return qsizetype(first.size()); }
};

// One EM climb to a stationary point.
struct Climb
{
    int status = Finished;
    double loglik = qQNaN();
    int iterations = 0;
};

// The best of a run's starts.
struct Fit
{
    int status = NoData;
    double loglik = qQNaN();
    int iterations = 0;     // of the best start, over all its batches
    int starts = 0;         // starts run
    int startsAtBest = 0;   // of them, those within kSameMaximum of the best
    bool fromGiven = false; // the best came from the given start (see fit())
    PairSet pairs;          // the best start's pairs, trimmed
    std::vector<double> freq;  // per pairs.haplotypes
};

struct Settings
{
    int starts = kDefaultStarts;
    quint64 seed = 0;
    int threads = 1;
};

// Polled between EM steps; true stops the climb (Stopped).
using StopCheck = std::function<bool()>;

// The estimate for the individuals of each pattern counted in `weights`
// (patterns of weight 0 take no part). With `given`, a further start runs
// from its frequencies over its pairs (a pooled fit's, for a group of the
// same patterns), so that the result is at least as likely as those
// frequencies. The starts run on settings.threads threads; the result is
// the same on any number of them. Polls pollCalcEvents() while it works.
Fit fit(const Patterns &patterns, const std::vector<double> &weights, const Settings &settings,
        const Fit *given = nullptr);

// EM steps from `freq` (per pairs.haplotypes) until one moves no
// frequency by more than `tolerance`; steps beyond kMaxIterations are
// NoConvergence.
Climb climb(const PairSet &pairs, const std::vector<double> &weights, std::vector<double> &freq,
            const StopCheck &stopped, double tolerance = kTolerance);

// From an estimate over pairs that trimming thinned: the pairs of every
// pattern of weight > 0 whose haplotypes both have a frequency, climbed to
// convergence; then, while a haplotype outside would raise the likelihood
// (its derivative above 2n, the Kuhn-Tucker condition), it enters with
// half a copy and the climb resumes. A maximum over every haplotype, not
// only over those that survived the trimming (haplotypecompletion.cpp).
Climb complete(const Patterns &patterns, const std::vector<double> &weights, PairSet &pairs,
               std::vector<double> &freq, const StopCheck &stopped);

// ln L of `freq`: the sum over patterns of weight times the log of the
// probability of the pattern's pairs.
double logLikelihood(const PairSet &pairs, const std::vector<double> &weights, const std::vector<double> &freq);

// The posterior probability of every pair at `freq`, within its pattern.
std::vector<double> posteriors(const PairSet &pairs, const std::vector<double> &freq);

} // namespace haplotypeem
