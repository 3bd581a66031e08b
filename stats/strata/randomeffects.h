#pragma once

#include <QtNumeric>

// Inverse-variance pooling of K effects y (log odds ratios) with sampling
// variances v, as metafor's rma() defines it: the fixed-effect estimate,
// Cochran's Q, the DerSimonian-Laird and REML estimates of tau^2, the
// Q-profile interval of tau^2 (and of I^2 and H^2 through it), the
// Hartung-Knapp-Sidik-Jonkman interval and the prediction interval.
// Iterative figures are solved to 1e-13 or better, far tighter than
// metafor's defaults; every search has a cap and reports failure.
struct PooledEffect
{
    double mu = qQNaN();   // on the log scale
    double se = qQNaN();
    double z = qQNaN();
    double p = qQNaN();    // two-sided, normal
    double low = qQNaN();  // the interval at the level, log scale
    double high = qQNaN();
};

class randomeffects final
{
public:
    // With weights 1 / (v + tau2); k >= 1, every v > 0. z: the normal
    // quantile of the level.
    static PooledEffect pool(const double *y, const double *v, int k, double tau2, double z);
    // Q about the fixed-effect estimate.
    static double cochranQ(const double *y, const double *v, int k);
    // (Q - (k - 1)) / (sum w - sum w^2 / sum w), at least 0; 0 for k = 1.
    static double dersimonianLaird(const double *y, const double *v, int k);
    // The restricted likelihood's maximum over tau2 >= 0; false when the
    // search fails.
    static bool reml(const double *y, const double *v, int k, double *tau2);
    // The Q-profile interval: the tau2 where the generalized Q equals the
    // chi-squared quantiles of k - 1 df at (1 +- level) / 2; a bound below 0
    // is 0. False when a search fails; k >= 2.
    static bool qProfile(const double *y, const double *v, int k, double level, double *low, double *high);
    // The "typical" within-study variance of Higgins and Thompson:
    // (k - 1) sum w / ((sum w)^2 - sum w^2), w = 1 / v.
    static double typicalVariance(const double *v, int k);
    // Knapp and Hartung's interval and P at tau2 (t with k - 1 df); k >= 2.
    static void hartungKnapp(const double *y, const double *v, int k, double tau2, double level, double *low,
                             double *high, double *p);
};
