// SLEEF loops for avx512, 8 lanes; this file is compiled with -mavx512f.
#include "met/vector_math_lanes.h"

#ifdef TARQ_HAVE_SLEEF
#include <immintrin.h>
#include <sleef.h>

namespace tarq::met::lanes {

namespace {

constexpr std::size_t kWidth = 8;

// The last n % kWidth entries go through a padded block, so that every entry
// takes the same vector path whatever its position. Plain loops only: an
// inline function from a header compiled here could be the copy the linker
// keeps for every caller, with instructions other CPUs lack.
template <class Op>
void each_block(const double* x, std::size_t n, double* out, Op op) noexcept {
    std::size_t i = 0;
    for (; i + kWidth <= n; i += kWidth) _mm512_storeu_pd(out + i, op(_mm512_loadu_pd(x + i)));
    if (i == n) return;
    double block[kWidth];
    for (std::size_t k = 0; k < kWidth; ++k) block[k] = i + k < n ? x[i + k] : 1.0;
    _mm512_storeu_pd(block, op(_mm512_loadu_pd(block)));
    for (std::size_t k = 0; i + k < n; ++k) out[i + k] = block[k];
}

}  // namespace

void pow_avx512(const double* x, std::size_t n, double y, double* out) noexcept {
    const __m512d exponent = _mm512_set1_pd(y);
    each_block(x, n, out, [exponent](__m512d v) { return Sleef_powd8_u10avx512f(v, exponent); });
}

void log_avx512(const double* x, std::size_t n, double* out) noexcept {
    each_block(x, n, out, [](__m512d v) { return Sleef_logd8_u10avx512f(v); });
}

}  // namespace tarq::met::lanes
#endif
