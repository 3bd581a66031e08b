#include "stratatests.h"

#include "strataconfig.h"

int stratatests::compute(const StratumTable *tables, int k, double confLevel, exactstrata::Workspace &work,
                         StrataFigures *out, int exactParts)
{
    if (!out || !validStrata(tables, k) || !(confLevel > 0.0 && confLevel <= strataconfig::kMaxConfLevel))
        return BadInput;
    StrataFigures f;
    if (mantelhaenszel::compute(tables, k, confLevel, &f.mh) != mantelhaenszel::Finished)
        return BadInput;
    f.informative = f.mh.informative;
    mantelhaenszel::breslowDay(tables, k, f.mh.oddsRatio.estimate, &f.breslowDay);
    if (exactParts != 0) {
        const int status = exactstrata::compute(tables, k, confLevel, work, &f.exact, exactParts);
        if (status != exactstrata::Finished)
            return status == exactstrata::BadInput ? int(BadInput) : int(NoConvergence);
    }
    *out = f;
    return Finished;
}
