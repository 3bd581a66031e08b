#pragma once

#include <cmath>

// exp(d) of a length relative to a reference, for sums of probabilities:
// below e^-700 a double underflows, and long double keeps the term.
inline long double expTerm(double d)
{
    return d > -700.0 ? (long double)std::exp(d) : std::exp((long double)d);
}
