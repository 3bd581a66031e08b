#pragma once

#include "modelfigures.h"

// Logistic regression of case status on effect-allele copies (0, 1, 2) in
// grouped form: cases[g] of the individuals with g copies are cases,
// controls[g] are not. Newton's method (which for this model is IRLS) from
// the null fit, each step halved until the log-likelihood does not fall;
// Wald interval at level L, likelihood-ratio P with 1 df.
//
// Separation (no case carries fewer copies than any control, or no case
// more) has no finite estimate: the odds ratio is then infinite or 0, the
// interval NaN with the reason, and the P that of the likelihood's limit.
class logadditive final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2,       // a negative count, no case or no control, L outside (0, 1)
        NoConvergence = 3   // not converged in kMaxIterations steps
    };

    static constexpr int kMaxIterations = 100;
    static constexpr int kMaxHalvings = 60;

    // Writes *out on Finished only (the reason names a model without figures).
    static int compute(const qint64 cases[3], const qint64 controls[3], double confLevel,
                       LogAdditiveFigures *out);
};
