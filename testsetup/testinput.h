#pragma once

#include "metainput.h"

#include <QStringList>

#include <vector>

// The kind of test chosen from the Analyse menu.
enum TestKind {
    TestNone = -1,
    TestFisher = 0,
    TestChi2 = 1,
    TestCluster = 2,
    TestHardyW = 3,
    TestGeneInter = 4,
    TestModels = 5,
    TestMeta = 6,
    TestLd = 7,
    TestHaplotypes = 8
};

// The checked block and everything a driver reads: what the check of the
// chosen test copied out of the grid. The work arrays hold at least 999
// entries and grow with the selection (a gene-interaction block of M x N
// above 999 still fits).
struct TestInput
{
    static constexpr int kMinBufferSize = 999;

    int nCols = 0;
    int nRows = 0;
    int leftCol = 0;
    int topRow = 0;
    std::vector<int> bufA = std::vector<int>(kMinBufferSize);
    std::vector<int> bufB = std::vector<int>(kMinBufferSize);
    std::vector<int> bufC = std::vector<int>(kMinBufferSize);
    std::vector<int> bufD = std::vector<int>(kMinBufferSize);
    QStringList factorNames;
    QStringList sampleNames;

    int total = 0;       // grand total (Fisher, chi-squared)
    int testSize = 0;    // categories, degrees of freedom, table order or columns
    double chi2Sum = 0;  // the chi-squared statistic
    int accuracy = 0;    // Fisher: guaranteed digits, 0 for exact
    bool yates = false;  // chi-squared: Yates correction asked for
    // Fisher, Hardy-Weinberg, chi-squared: samples of a Monte Carlo
    // estimate instead of the exact P-value; 0 for the exact test.
    qint64 monteCarloSamples = 0;
    double confLevel = 0.95;  // genetic models: the level of every interval
    // Meta-analysis: the dialog's choices going in, the checked studies
    // (with the run's settings) coming out.
    bool metaSubgroups = false;
    bool metaEffectFirst = false;
    MetaInput meta;
    // Haplotypes: the two allele names of each SNP (factorNames holds the
    // SNPs'), the EM's starts, the permutations and the rare frequency.
    QStringList alleleNames;
    int haplotypeStarts = 20;
    qint64 permutations = 1000;
    double rareFrequency = 0.01;
};
