#pragma once

#include <QtGlobal>

// The convolutions of the strata's weights: out[s] = sum_j a[j] v[s - j]
// for s in [0, na + nb - 1), each sum taken in increasing j, where `b`
// holds kPad zeros, the nb values v, then kPad zeros again (the sums at
// the ends read the zeros and add them as nothing); `out` holds
// na + nb - 1 values.
namespace convolution {

constexpr qint64 kPad = 32;

// With FMA (every x86 processor since 2013): each sum one chain of fused
// multiply-adds, the same bits from every register width.
void withFma(const double *a, qint64 na, const double *b, qint64 nb, double *out);
// Without: a product and a sum apiece (the last bits may differ).
void plain(const double *a, qint64 na, const double *b, qint64 nb, double *out);
bool hasFma();
// The first where the processor has it.
void into(const double *a, qint64 na, const double *b, qint64 nb, double *out);

} // namespace convolution
