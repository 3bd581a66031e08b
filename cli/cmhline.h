#pragma once

#include "stratatables.h"
#include "variantrun.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

// What a stratified test gives for one ALT allele's 2 x 2 x K tables, from
// the strata engine. NaN where a figure does not exist (JSON null);
// infinite odds ratios and limits are the string "inf".
struct CmhFigures
{
    int status = 0;         // the engine's; 0 when every figure was computed
    QString message;        // why not, when status != 0
    int informative = 0;    // strata that add to the Mantel-Haenszel sums
    double chi2 = 0, p = 0, chi2cc = 0, pcc = 0;
    double orMh = 0, orMhLow = 0, orMhHigh = 0;
    double breslowDay = 0, pBreslowDay = 0, tarone = 0, pTarone = 0;
    int df = 0;             // of Breslow-Day and Tarone
    double orExact = 0, orExactLow = 0, orExactHigh = 0, pExact = 0;
};

// The figures of one split's strata at the confidence level (every
// interval's). Runs on any thread.
CmhFigures cmhFigures(const std::vector<std::array<int, 4>> &strata, double confLevel);

// What the variants of a cmh run are tested with.
struct CmhSettings
{
    StrataModel model = StrataModel::Allelic;
    double confLevel = 0.95;
};

// Appends the lines of one variant of a TableLayout::Strata table (one
// JSON object per ALT allele, each with its line end) to `out`. False when
// a split's test failed (its line has the engine's status and message);
// rejected splits are results. Runs on any thread.
bool appendCmhLines(const VariantTable &table, qint64 number, const CmhSettings &settings,
                    const VariantLineNames &names, QByteArray &out);
