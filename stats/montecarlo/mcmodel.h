#pragma once

#include "mcbins.h"
#include "mcgenerator.h"

#include <cfloat>
#include <memory>

// One thread's drawing of tables for a Monte Carlo test.
class mcsampler
{
public:
    virtual ~mcsampler() = default;

    // Draws one table of the null distribution; true when it is at least
    // as extreme as the observed table.
    virtual bool drawExtreme(mcgenerator &engine) = 0;

    // True once a draw failed (see tablesampler::failed); the run is then
    // an error, not a result.
    virtual bool failed() const = 0;

    // From now on each table's statistic is also counted into `bins`; what
    // a sampler that decides a table early leaves undrawn, it draws from
    // `spare`, so that the tables counted are those drawn without bins.
    void countInto(mcbins *bins, mcgenerator *spare)
    {
        m_bins = bins;
        m_spare = spare;
    }

protected:
    mcbins *m_bins = nullptr;
    mcgenerator *m_spare = nullptr;
};

// A Monte Carlo test: the observed table with what every thread's sampler
// reads (shared, read-only while a run lasts).
class mcmodel
{
public:
    virtual ~mcmodel() = default;

    // A sampler with its own work arrays, for one thread. May throw
    // std::bad_alloc.
    virtual std::unique_ptr<mcsampler> sampler() const = 0;
};

// The largest log-probability that still counts as "at most as probable as
// the observed table": the exact engines' tolerance of 1e-10, widened by the
// rounding that the summation order alone can cause in a sum of terms whose
// magnitudes add up to `magnitude` (which matters only with millions of
// counts, where 1e-10 is below one unit in the last place).
inline double tieLimit(double observed, double magnitude)
{
    return observed + 1e-10 + 16.0 * DBL_EPSILON * magnitude;
}
