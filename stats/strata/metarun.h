#pragma once

#include "metafigures.h"
#include "metainput.h"
#include "runreport.h"

#include <vector>

// One run of the meta-analysis: every model's figures (the one model asked
// for, or all six in their order; the exposure layout's one), the studies'
// Hardy-Weinberg P and allele marks, and the Results entry. Status 1:
// stopped by the user; 2: input that no check accepts (the message says
// why).
struct MetaRun : RunReport
{
    bool exposure = false;
    QStringList names;               // the studies, in row order
    std::vector<double> hweP;        // the controls' exact P (NaN: exposure layout)
    // The effect allele's frequency in each study and over all studies
    // (cases and controls); a study whose minor allele is not the pooled
    // one is marked.
    std::vector<double> effectFrequency;
    double pooledFrequency = qQNaN();
    std::vector<bool> minorDiffers;
    std::vector<MetaModelFigures> models;
};

// Why a checked input cannot run, or an empty text when it can: fewer than
// 2 studies, a count below 0, a study without cases or without controls.
QString metaInputProblem(const MetaInput &in);

MetaRun runMetaAnalysis(const MetaInput &in, ReportText text = ReportText::Full);

// The Results entry's lines after the heading: the effect allele, the
// studies, the table of the models and the per-study table.
QString metaReport(const MetaInput &in, const MetaRun &run);

// The methods, for the entry's grey context line.
QString metaMethodsText(const MetaInput &in);
