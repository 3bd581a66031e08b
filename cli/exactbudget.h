#pragma once

#include <QtGlobal>

// The per-variant budget of a genotype run's exact tests, made of counted
// work rather than measured time, so that the choice between the exact
// test and its Monte Carlo estimate is the same on every run, thread count,
// chunk and machine load: --exact-limit SECONDS becomes a number of the
// engines' work units (countCalcWork, CalcWorkAllowance) through a fixed
// rate per second of each engine, measured once on the development machine
// (2 cores, release build) by bench_exactbudget: the tables that ran 0.1 s
// or more did 25 to 50 million units a second (Hardy-Weinberg network) and
// 37 to 62 million (Fisher network).
namespace exactbudget {

// Units of a second of exact work, by engine.
constexpr double kHardyWeinbergUnitsPerSecond = 44e6;
constexpr double kFisherUnitsPerSecond = 40e6;

// The memory one variant's exact test may hold, per second of its limit;
// at the default 2 s, 512 MiB. A fixed share, never what the machine has
// free at the moment, for the same reason.
constexpr qint64 kMemoryPerSecond = qint64(256) << 20;
constexpr qint64 kMinMemory = qint64(16) << 20;

// The units of `seconds` of exact work for a test (a TestKind).
quint64 unitsFor(int testKind, double seconds);

// The memory share of one variant: maxMemoryBytes when that is given
// (> 0), else kMemoryPerSecond a second of its limit.
qint64 memoryShare(double seconds, qint64 maxMemoryBytes);

} // namespace exactbudget
