#pragma once

#include "stratumfamily.h"

#include <vector>

// The distribution of S, the sum of the strata's first cells, at one log
// odds ratio theta, held only where its mass lies. Every stratum's weights
// are kept from its mode out to kCut of the mode's; the narrower half of
// the strata are convolved into the body g and the wider half into h
// (each trimmed at kCut of its peak after each step), and the two are kept
// apart for the moments; their convolution, formed once, serves every tail
// and point. The window also serves nearby odds ratios by tilting
// (each weight times e^(delta s)). Its weights are log-concave, so a
// weight left out d steps from its peak, where the first left out on that
// side lies r steps away, is below e^(kLogCut d / r); a tilt raises it at
// most e^(|delta| d). While |delta| r <= kTiltBudget on every side the
// tilted weights left out stay below e^(kLogCut + kTiltBudget): the
// window then holds the tilted distribution to far below 1e-12. (For a
// stratum like a normal one, the weights reach 12 standard deviations and
// a tilt may move the mean by 2.5 of them.)
//
// Values are relative: conv(s) = sum_u g(u) h(s - u), and the central
// weight of s, sum over the strata's cells adding to s of the product of
// C(m, v) C(n, k - v), is conv(s) e^(logScale - theta s).
class stratawindow final
{
public:
    static constexpr double kLogCut = -72.0;
    static constexpr double kTiltBudget = 30.0;

    // families[0 .. count): the varying strata, widest last (the wider
    // half makes h); `offset` adds the fixed first cells of the others.
    void build(const stratumfamily *families, int count, qint64 offset, double theta);
    bool built() const { return isBuilt; }
    void clear() { isBuilt = false; }

    double theta() const { return at; }
    qint64 low() const { return gFirst + hFirst; }
    qint64 high() const { return gFirst + qint64(g.size()) - 1 + hFirst + qint64(h.size()) - 1; }
    double mean() const { return windowMean; }
    double sd() const { return windowSd; }
    // Whether the window holds the distribution at theta() + delta.
    bool reaches(double delta) const;
    // The mean and variance of S at theta() + delta, which it reaches.
    void moments(double delta, double *mean, double *variance) const;

    // conv(s), 0 outside the window.
    double point(qint64 s) const;
    // ln of the central weight of s (-inf outside the window).
    double logCentral(qint64 s) const;
    // ln of the sum of the central weights of s >= b (upper) or s <= b,
    // summed with the tilt e^(-theta (s - b)), which must fall away from b
    // (theta >= 0 for the upper tail, <= 0 for the lower) or be small.
    double logCentralTail(qint64 b, bool upper) const;

    struct Tail
    {
        bool valid = false;    // within reach, and the tail inside the window
        double logTail = 0.0;  // ln P(S >= x) or ln P(S <= x)
        double slope = 0.0;    // its derivative in theta
    };
    // At theta() + delta.
    Tail tail(qint64 x, double delta, bool upper) const;

private:
    // Over the tail from x (s >= x, or s <= x): the sum of conv(s)
    // e^(delta (s - x)), and of |s - x| times it.
    void anchored(qint64 x, double delta, bool upper, double *sum0, double *sum1) const;

    bool isBuilt = false;
    double at = 0.0;
    std::vector<double> g, h;
    qint64 gFirst = 0, hFirst = 0;
    qint64 gPeak = 0, hPeak = 0;  // indices of the peaks: the tilts' centres
    double logScale = 0.0;
    double windowMean = 0.0, windowSd = 0.0;
    // The most steps from a peak to the first weight left out on a side
    // (0 when nothing was), and the most to the farthest kept.
    double reach = 0.0, span = 0.0;
    std::vector<double> scratch, down;
    std::vector<double> w;  // conv(s) from s = wFirst
    qint64 wFirst = 0;
};
