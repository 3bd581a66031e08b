#include "clopperpearson.h"

#include "incompletebeta.h"

#include <cmath>

probabilityinterval clopperPearson(qint64 count, qint64 trials, double confidence)
{
    probabilityinterval interval;
    if (trials < 1 || count < 0 || count > trials || !(confidence > 0.0) || !(confidence < 1.0))
        return interval;
    const double tail = (1.0 - confidence) / 2.0;
    const double k = double(count);
    const double n = double(trials);
    bool lowOk = true;
    bool highOk = true;
    // The ends have closed forms; they also keep the quantiles off a = 0.
    if (count == 0)
        interval.low = 0.0;
    else if (count == trials)
        interval.low = std::pow(tail, 1.0 / n);
    else
        interval.low = betaQuantile(tail, k, n - k + 1.0, &lowOk);
    if (count == trials)
        interval.high = 1.0;
    else if (count == 0)
        interval.high = -std::expm1(std::log(tail) / n);
    else if (k + 1.0 <= n - k)
        interval.high = betaQuantile(1.0 - tail, k + 1.0, n - k, &highOk);
    else
        // Near 1, as 1 - the lower quantile of the mirrored counts, which
        // keeps the digits of the distance from 1.
        interval.high = 1.0 - betaQuantile(tail, n - k, k + 1.0, &highOk);
    interval.ok = lowOk && highOk;
    return interval;
}
