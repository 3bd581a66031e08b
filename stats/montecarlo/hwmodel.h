#pragma once

#include "lnfactorial.h"
#include "mcmodel.h"

#include <QtGlobal>

#include <vector>

// The Hardy-Weinberg test by simulation. A random genotype table with the
// observed allele counts is a random pairing of the 2n alleles, drawn as
// the genotype table itself (tablesampler::genotypes). A table is extreme
// when it is at most as probable as the observed one.
class hwmodel final : public mcmodel
{
public:
    // K alleles; table is K x K row-major, only its upper triangle and
    // diagonal are read (cell (i, j), j >= i: individuals of genotype i/j).
    hwmodel(int K, const int *table);

    // False for no table (K < 2, a negative count, no individual) or when
    // the log-factorials could not be had.
    bool isValid() const { return m_valid; }

    std::unique_ptr<mcsampler> sampler() const override;

    // The log-probability of a genotype table up to a constant,
    // H ln 2 - sum over i <= j of ln n_ij!, from a K x K table whose cells
    // on and right of the diagonal hold the n_ij (the others are not read).
    double score(const qint64 *cells) const;
    double limit() const { return m_limit; }

private:
    class genotypesampler;

    int m_K = 0;
    std::vector<qint64> m_alleles;  // copies of each allele
    qint64 m_individuals = 0;
    lnfactorial m_lnFact;
    double m_limit = 0.0;
    bool m_valid = false;
};
