// SLEEF loops for sse2, 2 lanes; this file is compiled with the x86-64 baseline.
#include "met/vector_math_lanes.h"

#ifdef TARQ_HAVE_SLEEF
#include <immintrin.h>
#include <sleef.h>

namespace tarq::met::lanes {

namespace {

constexpr std::size_t kWidth = 2;

// The last n % kWidth entries go through a padded block, so that every entry
// takes the same vector path whatever its position. Plain loops only: an
// inline function from a header compiled here could be the copy the linker
// keeps for every caller, with instructions other CPUs lack.
template <class Op>
void each_block(const double* x, std::size_t n, double* out, Op op) noexcept {
    std::size_t i = 0;
    for (; i + kWidth <= n; i += kWidth) _mm_storeu_pd(out + i, op(_mm_loadu_pd(x + i)));
    if (i == n) return;
    double block[kWidth];
    for (std::size_t k = 0; k < kWidth; ++k) block[k] = i + k < n ? x[i + k] : 1.0;
    _mm_storeu_pd(block, op(_mm_loadu_pd(block)));
    for (std::size_t k = 0; i + k < n; ++k) out[i + k] = block[k];
}

}  // namespace

void pow_sse2(const double* x, std::size_t n, double y, double* out) noexcept {
    const __m128d exponent = _mm_set1_pd(y);
    each_block(x, n, out, [exponent](__m128d v) { return Sleef_powd2_u10sse2(v, exponent); });
}

void log_sse2(const double* x, std::size_t n, double* out) noexcept {
    each_block(x, n, out, [](__m128d v) { return Sleef_logd2_u10sse2(v); });
}

}  // namespace tarq::met::lanes
#endif
