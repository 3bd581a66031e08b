#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// The factorials a Monte Carlo run meets, read-only after init() so that
// every thread of a run shares one.
// - ln k!: counts up to kTableSize come from a table built once per run;
//   larger ones (only in tables with millions of counts) from the Stirling
//   series, which is exact to double rounding there and keeps the memory of
//   a run small.
// - k! itself as mantissa * 2^exponent, for the probability of a draw's
//   starting value: a product of nine such factors is exact to a few units
//   in the last place, where exp() of a sum of their logarithms loses a
//   unit in the last place of the sum (1e-11 relative at a few thousand
//   counts), and it costs no exp().
class lnfactorial final
{
public:
    // The table's size: 32 MB at most.
    static constexpr qint64 kTableSize = qint64(1) << 22;
    // ...and at least: from here on the series is exact to rounding, so a
    // lookup past n still gives the right value.
    static constexpr qint64 kMinTableSize = 1024;
    // The scaled factorials go this far (48 MB with the reciprocals);
    // ratio() takes the logarithms beyond.
    static constexpr qint64 kScaledSize = qint64(1) << 21;

    // Prepares ln k! and k! for 0 <= k <= n; false when the tables cannot
    // be had.
    bool init(qint64 n);

    double operator()(qint64 k) const
    {
        return k < static_cast<qint64>(m_table.size()) ? m_table[static_cast<size_t>(k)] : stirling(k);
    }

    // a! b! c! d! / (e! f! g! h! i!) * 2^twos, for k <= n.
    double ratio(qint64 a, qint64 b, qint64 c, qint64 d, qint64 e, qint64 f, qint64 g, qint64 h, qint64 i,
                 int twos = 0) const
    {
        const qint64 largest = std::max(std::max(std::max(a, b), std::max(c, d)),
                                        std::max(std::max(std::max(e, f), std::max(g, h)), i));
        if (largest >= qint64(m_mantissa.size()))
            return ratioFromLogs(a, b, c, d, e, f, g, h, i, twos);
        return scaledRatio(a, b, c, d, e, f, g, h, i, twos);
    }

    // The same for arguments known to be within the scaled factorials
    // (all of them at most n, with reciprocals() not null).
    double scaledRatio(qint64 a, qint64 b, qint64 c, qint64 d, qint64 e, qint64 f, qint64 g, qint64 h, qint64 i,
                       int twos = 0) const
    {
        const auto m = [this](qint64 k) { return m_mantissa[size_t(k)]; };
        const auto v = [this](qint64 k) { return m_inverse[size_t(k)]; };
        const auto x = [this](qint64 k) { return m_exponent[size_t(k)]; };
        // Mantissas in [0.5, 1) and their inverses in (1, 2]: the products
        // stay far from overflow, and need no division.
        const double up = (m(a) * m(b)) * (m(c) * m(d));
        const double down = ((v(e) * v(f)) * (v(g) * v(h))) * v(i);
        const int exponent = x(a) + x(b) + x(c) + x(d) - x(e) - x(f) - x(g) - x(h) - x(i) + twos;
        return scaled(up * down, exponent);
    }

    // a! b! c! d! as the returned factor times 2^exponent, and 1 / (a! b!
    // c! d!) likewise, for k <= n with reciprocals() not null: a ratio of
    // two such products is a product of factors and a sum of exponents,
    // with no division (see times2To()).
    double scaledProduct(qint64 a, qint64 b, qint64 c, qint64 d, int &exponent) const
    {
        const auto m = [this](qint64 k) { return m_mantissa[size_t(k)]; };
        const auto x = [this](qint64 k) { return m_exponent[size_t(k)]; };
        exponent = x(a) + x(b) + x(c) + x(d);
        return (m(a) * m(b)) * (m(c) * m(d));
    }
    double scaledInverseProduct(qint64 a, qint64 b, qint64 c, qint64 d, int &exponent) const
    {
        const auto v = [this](qint64 k) { return m_inverse[size_t(k)]; };
        const auto x = [this](qint64 k) { return m_exponent[size_t(k)]; };
        exponent = -(x(a) + x(b) + x(c) + x(d));
        return (v(a) * v(b)) * (v(c) * v(d));
    }
    static double times2To(double x, int exponent) { return scaled(x, exponent); }

    // 1 / k for 1 <= k <= n + 15, so that a walk's ratios of neighbours cost
    // multiplications only; null when n is beyond the scaled factorials
    // (the walk divides then).
    const double *reciprocals() const { return m_reciprocal.empty() ? nullptr : m_reciprocal.data(); }

    // The series alone, for k >= kTableSize (tests compare it with lgamma).
    static double stirling(qint64 k);

private:
    double ratioFromLogs(qint64 a, qint64 b, qint64 c, qint64 d, qint64 e, qint64 f, qint64 g, qint64 h,
                         qint64 i, int twos) const;
    // x * 2^exponent: for a normal power of two built from its bits, what
    // ldexp gives, without the call.
    static double scaled(double x, int exponent)
    {
        if (exponent <= -1022 || exponent >= 1023)
            return std::ldexp(x, exponent);
        const quint64 bits = quint64(exponent + 1023) << 52;
        double power = 0.0;
        std::memcpy(&power, &bits, sizeof power);
        return x * power;
    }

    std::vector<double> m_table;
    std::vector<double> m_mantissa;   // in [0.5, 1)
    std::vector<double> m_inverse;    // 1 / mantissa
    std::vector<int> m_exponent;
    std::vector<double> m_reciprocal;
};
