#pragma once

#include "metafigures.h"

// One model of a meta-analysis: every figure of MetaModelFigures from the
// studies' 2 x 2 tables. The effect sizes are escalc's (measure "OR",
// drop00): a study with no exposed or no unexposed individuals is left out
// of the ratio estimates, and a study with a zero cell gets 0.5 in every
// cell for the inverse-variance and random-effects methods only;
// Mantel-Haenszel, Peto and the exact methods take the counts as they are.
struct MetaStudyContext
{
    double hweP = qQNaN();  // the controls' exact Hardy-Weinberg P; NaN: none
    QString subgroup;
};

struct MetaAnalysisSettings
{
    double confLevel = 0.95;
    double hweLevel = 0.05;
    bool subgroups = false;
    std::vector<int> cumulativeOrder;  // study indices; empty: row order
    ZelenSettings zelen;
    bool zelenTest = true;  // false: skip Zelen's test (its P stays NaN)
};

class metaanalysis final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 1,        // Stop pressed during Zelen's estimate
        BadInput = 2,       // invalid tables, fewer than 2 studies, or a level outside (0, 1)
        NoConvergence = 3   // an iterative figure failed; the notes name it
    };

    static int compute(const std::vector<StratumTable> &tables, const std::vector<MetaStudyContext> &context,
                       const MetaAnalysisSettings &settings, MetaModelFigures *out);
};
