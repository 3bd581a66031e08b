#pragma once

#include "exactstrata.h"
#include "mantelhaenszel.h"
#include "modelfigures.h"
#include "smallstudy.h"
#include "stratumtable.h"
#include "zelen.h"

#include <QString>
#include <QStringList>

#include <vector>

// The figures of one model of a meta-analysis, as plain data for the
// report, the command line and the pictures. Odds ratios and their limits
// are on the ratio scale; a figure the data do not give is NaN, and the
// notes say why.

// A pooled estimate with its interval, z and two-sided P.
struct PooledFigures
{
    OddsRatioFigure oddsRatio;
    double logOr = qQNaN();
    double se = qQNaN();
    double z = qQNaN();
    double p = qQNaN();
};

struct RandomFigures : PooledFigures
{
    double tau2 = qQNaN();
    double predictionLow = qQNaN();   // the prediction interval, OR scale
    double predictionHigh = qQNaN();
};

struct RemlFigures : RandomFigures
{
    double tau2Low = qQNaN(), tau2High = qQNaN();  // Q-profile
    double i2 = qQNaN(), i2Low = qQNaN(), i2High = qQNaN();  // percent
    double h2 = qQNaN(), h2Low = qQNaN(), h2High = qQNaN();
    double hksjLow = qQNaN(), hksjHigh = qQNaN();  // OR scale
    double pHksj = qQNaN();
};

struct HeterogeneityFigures
{
    double q = qQNaN();
    int df = 0;
    double p = qQNaN();
    double i2 = qQNaN();  // from Q, percent
    double h2 = qQNaN();
    BreslowDayFigures breslowDay;
    ZelenFigures zelen;
};

struct StudyFigures
{
    StratumTable table;
    bool included = false;    // some exposed and some unexposed individuals
    bool corrected = false;   // a zero cell: 0.5 added to every cell
    double logOr = qQNaN();   // escalc's yi and vi
    double variance = qQNaN();
    OddsRatioFigure oddsRatio;  // Woolf's interval
    double weightMh = qQNaN();  // percent of the model's total
    double weightIv = qQNaN();
    double weightDl = qQNaN();
    double weightReml = qQNaN();
};

struct LeaveOneOutFigures
{
    int study = 0;  // the index left out
    OddsRatioFigure oddsRatio;
    double i2 = qQNaN();
};

struct CumulativeFigures
{
    int study = 0;  // the index added last
    OddsRatioFigure oddsRatio;
};

struct SubgroupFigures
{
    QString label;
    int studies = 0;
    PooledFigures dl;
    double tau2 = qQNaN();
    std::vector<int> members;  // study indices, in row order
};

struct TrimFillResult
{
    int k0 = 0;
    bool leftSide = true;
    OddsRatioFigure oddsRatio;
    std::vector<double> filledLogOr, filledVariance;
};

struct MetaModelFigures
{
    QString key;  // "allelic", ..., "exposure"
    std::vector<StudyFigures> study;
    int studies = 0;            // in the ratio estimates
    std::vector<int> leftOut;   // no exposed or no unexposed individuals
    std::vector<int> corrected; // 0.5 added for the inverse-variance methods
    MantelHaenszelFigures mh;
    PooledFigures iv;
    PooledFigures peto;
    ExactStrataFigures exact;
    RandomFigures dl;
    RemlFigures reml;
    HeterogeneityFigures heterogeneity;
    EggerFigures egger;
    BeggFigures begg;
    TrimFillResult trimfill;
    std::vector<LeaveOneOutFigures> leaveOneOut;
    std::vector<CumulativeFigures> cumulative;
    int hweStudies = 0;         // with controls in equilibrium, included
    PooledFigures hweRestricted;  // DerSimonian-Laird on them
    std::vector<SubgroupFigures> subgroups;
    double qBetween = qQNaN();
    int dfBetween = 0;
    double pBetween = qQNaN();
    QStringList notes;          // why a figure is missing
};
