#pragma once

#include "countedvector.h"

// One partial genotype table's score and weight. Partial tables whose
// scores agree to within 1e-12 relative are kept as one entry: score is the
// smallest of them and weight the sum of exp(their score - score), 1 for a
// single table.
struct hwscore
{
    double score;
    double weight;
};

// A group of partial tables that leave the same allele counts to place (the
// counts themselves live in the stage's hwnodeindex, at the node's ordinal).
struct hwnode
{
    explicit hwnode(MemoryBudget *budget) : scores(budget) {}

    int remaining = 0;         // sum of the counts left, 2 x individuals
    double logWeight = 0.0;    // ln of the weight of all completions
    double maxScore = 0.0;     // no completion adds more
    double minScore = 0.0;     // every completion adds at least this
    CountedVector<hwscore> scores;
    size_t mergedSize = 0;     // size after the last merge of equal scores
    double choices = 0.0;      // of its expansion, an estimate (for progress)
};
