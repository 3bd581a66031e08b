#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// One study of a meta-analysis as the check or a text table read it.
struct MetaStudy
{
    QString name;
    // Genotypes: cases with 0, 1, 2 copies of the effect allele, then
    // controls with 0, 1, 2. Exposure: cases exposed, cases unexposed,
    // controls exposed, controls unexposed (the last two unused).
    qint64 counts[6] = {0, 0, 0, 0, 0, 0};
    QString subgroup;   // empty without a subgroup column
    bool hasYear = false;
    int year = 0;
    int row = 0;        // the grid row (0-based) or the line of a text table (1-based)
};

// The checked studies of a meta-analysis and the run's settings.
struct MetaInput
{
    bool exposure = false;       // four columns: one 2 x 2 table per study
    std::vector<MetaStudy> studies;
    bool subgroups = false;      // the subgroup column is used
    bool byYear = false;         // cumulative by year (every study has one)
    // How the source names the counted allele (the column of its
    // homozygotes), for the report: "column F (cases, 2 copies)".
    QString effectColumn;
    double confLevel = 0.95;
    double hweLevel = 0.05;      // studies with controls' HWE P at or above it
    int model = -1;              // one GeneticModel, or -1 for all
    qint64 zelenSamples = 10000;
    quint64 seed = 20260504;     // of Zelen's Monte Carlo estimate
    int threads = 0;
    QString source;              // the block and document, or the file
};
