#pragma once

#include <QtGlobal>

#include <vector>

// Linkage disequilibrium of two biallelic loci from unphased genotypes.
//
// The counts: individuals by ALT copies at locus A (rows 0, 1, 2) and at
// locus B (columns 0, 1, 2). Haplotypes are named by allele, 1 for REF and
// 2 for ALT, locus A first: f11, f12, f21, f22. Every genotype but the
// double heterozygote shows its two haplotypes; the double heterozygotes
// are split between 11/22 and 12/21 by maximum likelihood, where the
// likelihood's stationary points along the haplotype frequencies that keep
// the allele frequencies are the roots of a cubic.
namespace twolocus {

struct Counts
{
    qint64 n[3][3] = {};
    qint64 total() const;
};

// The log-likelihood of the counts (natural log; genotypes drawn as two
// haplotypes at random: a genotype of haplotypes h and k has probability
// f_h f_k, twice that for h != k; no multinomial coefficient).
struct Root
{
    double haplotypes[4] = {};   // f11, f12, f21, f22
    double loglik = 0;
};

struct Figures
{
    qint64 n = 0;                // individuals typed at both loci
    double freqA = 0;            // ALT frequencies
    double freqB = 0;
    double haplotypes[4] = {};   // of the maximum-likelihood root
    std::vector<Root> roots;     // every root in the valid range, the maximum first
    double d = 0;                // f11 f22 - f12 f21
    double dprime = 0;           // D over its largest value for these allele frequencies, signed
    double r2 = 0;
    double lod = 0;              // log10 of the likelihood ratio of D against D = 0
    double dprimeLow = 0;        // the 95% likelihood bounds of D', signed as D'
    double dprimeHigh = 0;
};

enum class Status {
    Ok,
    NoIndividuals,   // nobody typed at both loci
    MonomorphicA,    // one allele at A among them
    MonomorphicB,
    TooLarge         // beyond the exact range of the cubic's coefficients
};

// The most individuals a table may hold: the cubic's coefficients stay
// exact integers in 128 bits and its values in a long double's 64-bit
// mantissa far beyond it.
constexpr qint64 kMaxIndividuals = qint64(1) << 31;

// The grid of the D' bounds: 0 to 1 by 1/kGridSteps, on the side of D's
// sign; a bound is where the likelihood's running sum over the grid first
// reaches 5% (95%) of its total.
constexpr int kGridSteps = 100;

Status estimate(const Counts &counts, Figures *out);

// The message for a status other than Ok, naming the loci as given.
const char *statusText(Status status);

// r2 of haplotypes read from phased calls: counts of 11, 12, 21, 22. NaN
// when either locus has one allele among them.
double phasedR2(const qint64 haplotypeCounts[4]);

} // namespace twolocus
