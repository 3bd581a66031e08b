#pragma once

#include <QtGlobal>

// The Clopper-Pearson interval for a probability from `count` successes in
// `trials` trials at the given confidence (0.99 for a 99% interval): the
// beta quantiles (1 - confidence) / 2 of (count, trials - count + 1) and
// (1 + confidence) / 2 of (count + 1, trials - count), with 0 and 1 at the
// ends. ok is false for impossible counts, a confidence outside (0, 1), or
// when a quantile did not converge.
struct probabilityinterval
{
    double low = 0.0;
    double high = 1.0;
    bool ok = false;
};

probabilityinterval clopperPearson(qint64 count, qint64 trials, double confidence);
