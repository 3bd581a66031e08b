#pragma once

// The limits shared by the strata engine's numerics.
namespace strataconfig {

// The highest confidence level: its tails, (1 - L) / 2, lie far above the
// precision of the exact sums.
constexpr double kMaxConfLevel = 0.999999;
// Every iterative solve stops with an error after this many steps.
constexpr int kMaxIterations = 200;

} // namespace strataconfig
