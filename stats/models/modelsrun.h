#pragma once

#include "modelfigures.h"
#include "runreport.h"

#include <QStringList>

struct TestInput;

// The six counts of a case/control genotype table, each row in the
// genotype order of its source (one homozygote, the heterozygote, the
// other homozygote).
struct GenotypeCounts
{
    qint64 cases[3] = {0, 0, 0};
    qint64 controls[3] = {0, 0, 0};
};

// One run of the genetic models: the Results entry and the figures behind
// it (figures are set when status is 0). Status 1: stopped by the user;
// 2: counts that no check accepts; 3: an iterative fit that did not
// converge (the message names it).
struct ModelsRun : RunReport
{
    ModelFigures figures;
};

// The block the models check left in `in`: the cases' three genotype
// counts and then the controls' in bufA, the level in confLevel. The
// report names the effect allele by the column of its homozygote in the
// block (by the row in a block of 3 rows by 2 columns).
ModelsRun runModelsTest(const TestInput &in, ReportText text = ReportText::Full);

// The same for counts from elsewhere (a variant of a genotype file).
// genotypeNames, when three are given, name the genotypes in the report
// ("A/A", "A/G", "G/G"); otherwise "genotype 1" to "genotype 3".
ModelsRun runModelsTest(const GenotypeCounts &counts, double confLevel,
                        const QStringList &genotypeNames = QStringList(),
                        ReportText text = ReportText::Full);

// The Results entry's tables of figures, after the line that names the
// level and the effect allele.
QString modelsReport(const ModelFigures &figures);
