#pragma once

#include <QString>
#include <QtGlobal>

// The 2 x 2 tables of the genetic models, from genotype counts by copies of
// the effect allele (index 0, 1, 2): cases exposed, cases unexposed,
// controls exposed, controls unexposed. One definition for every caller
// that pools or stratifies them.
enum class GeneticModel {
    Allelic,       // effect alleles against the others, in allele counts
    Dominant,      // 1 or 2 copies against 0
    Recessive,     // 2 copies against 0 or 1
    Overdominant,  // 1 copy against 0 or 2
    Heterozygote,  // 1 copy against 0 (2 copies left out)
    Homozygote     // 2 copies against 0 (1 copy left out)
};

constexpr int kGeneticModelCount = 6;

// The table of `model`; out[4] = a, b, c, d.
void geneticModelTable(GeneticModel model, const qint64 cases[3], const qint64 controls[3], qint64 out[4]);

// "allelic", "dominant", ...: the names of the command line and its JSON.
QString geneticModelKey(GeneticModel model);
// The model of a key, false for an unknown key.
bool geneticModelFromKey(const QString &key, GeneticModel *model);
