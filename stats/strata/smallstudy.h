#pragma once

#include <QtNumeric>

#include <vector>

// The small-study tests of K effects y with sampling variances v, as
// metafor defines them:
//   Egger: regtest(model = "lm"), the weighted regression of y on its
//   standard error (weights 1 / v), t of the slope with k - 2 df;
//   Begg and Mazumdar: ranktest, Kendall's tau between the standardized
//   effects (y - mu_FE) / sqrt(v - 1 / sum(1 / v)) and v, its P exact for
//   fewer than 50 effects without ties, else normal with the variance for
//   ties;
//   trim-and-fill: Duval and Tweedie's L0 on the DerSimonian-Laird fit,
//   the side from the sign of the slope of the meta-regression on the
//   standard error.
struct EggerFigures
{
    double t = qQNaN();
    int df = 0;
    double p = qQNaN();
};

struct BeggFigures
{
    double tau = qQNaN();
    double p = qQNaN();
};

struct TrimFillFigures
{
    int k0 = 0;
    bool leftSide = true;            // where the missing studies were filled
    double mu = qQNaN();             // the DerSimonian-Laird fit with them
    double low = qQNaN(), high = qQNaN();
    double p = qQNaN();
    std::vector<double> filledY;     // the filled effects and their variances
    std::vector<double> filledV;
};

class smallstudy final
{
public:
    // k >= 3 each; otherwise NaN figures.
    static EggerFigures egger(const double *y, const double *v, int k);
    static BeggFigures begg(const double *y, const double *v, int k);
    // z: the normal quantile of the level. False when a fit fails.
    static bool trimAndFill(const double *y, const double *v, int k, double z, TrimFillFigures *out);
    // P(T <= q) for T, the number of discordant pairs among n ranks without
    // ties (Kendall's exact null distribution); n < 50.
    static double kendallLowerTail(int q, int n);
};
