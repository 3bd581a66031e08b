#include "convolution.h"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

bool convolution::hasFma()
{
    static const bool fma = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return fma;
}

// 32 sums at a time in eight registers (two units, each with a latency of
// four, keep eight chains busy), then four, then one.
__attribute__((target("avx2,fma"))) void convolution::withFma(const double *a, qint64 na, const double *b,
                                                              qint64 nb, double *out)
{
    const qint64 n = na + nb - 1;
    qint64 s0 = 0;
    for (; s0 + 32 <= n; s0 += 32) {
        __m256d acc[8];
        for (__m256d &v : acc)
            v = _mm256_setzero_pd();
        const qint64 jHigh = std::min<qint64>(na - 1, s0 + 31);
        for (qint64 j = std::max<qint64>(0, s0 - (nb - 1)); j <= jHigh; ++j) {
            const __m256d scale = _mm256_set1_pd(a[j]);
            const double *from = b + kPad + s0 - j;
            for (int q = 0; q < 8; ++q)
                acc[q] = _mm256_fmadd_pd(scale, _mm256_loadu_pd(from + 4 * q), acc[q]);
        }
        for (int q = 0; q < 8; ++q)
            _mm256_storeu_pd(out + s0 + 4 * q, acc[q]);
    }
    for (; s0 + 4 <= n; s0 += 4) {
        __m256d acc = _mm256_setzero_pd();
        const qint64 jHigh = std::min<qint64>(na - 1, s0 + 3);
        for (qint64 j = std::max<qint64>(0, s0 - (nb - 1)); j <= jHigh; ++j)
            acc = _mm256_fmadd_pd(_mm256_set1_pd(a[j]), _mm256_loadu_pd(b + kPad + s0 - j), acc);
        _mm256_storeu_pd(out + s0, acc);
    }
    for (; s0 < n; ++s0) {
        double sum = 0.0;
        for (qint64 j = std::max<qint64>(0, s0 - (nb - 1)); j <= std::min<qint64>(na - 1, s0); ++j)
            sum = __builtin_fma(a[j], b[kPad + s0 - j], sum);
        out[s0] = sum;
    }
}

// 16 sums at a time: as many as SSE2's registers hold.
void convolution::plain(const double *a, qint64 na, const double *b, qint64 nb, double *out)
{
    const qint64 n = na + nb - 1;
    qint64 s0 = 0;
    for (; s0 + 16 <= n; s0 += 16) {
        __m128d acc[8];
        for (__m128d &v : acc)
            v = _mm_setzero_pd();
        const qint64 jHigh = std::min<qint64>(na - 1, s0 + 15);
        for (qint64 j = std::max<qint64>(0, s0 - (nb - 1)); j <= jHigh; ++j) {
            const __m128d scale = _mm_set1_pd(a[j]);
            const double *from = b + kPad + s0 - j;
            for (int q = 0; q < 8; ++q)
                acc[q] = _mm_add_pd(acc[q], _mm_mul_pd(scale, _mm_loadu_pd(from + 2 * q)));
        }
        for (int q = 0; q < 8; ++q)
            _mm_storeu_pd(out + s0 + 2 * q, acc[q]);
    }
    for (; s0 < n; ++s0) {
        double sum = 0.0;
        for (qint64 j = std::max<qint64>(0, s0 - (nb - 1)); j <= std::min<qint64>(na - 1, s0); ++j)
            sum += a[j] * b[kPad + s0 - j];
        out[s0] = sum;
    }
}

void convolution::into(const double *a, qint64 na, const double *b, qint64 nb, double *out)
{
    if (hasFma())
        withFma(a, na, b, nb, out);
    else
        plain(a, na, b, nb, out);
}
