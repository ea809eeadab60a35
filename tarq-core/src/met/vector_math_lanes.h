#pragma once
// The per-instruction-set loops behind vector_math.h, each in its own file
// compiled for its set. Only built with SLEEF; n may be any count.

#include <cstddef>

namespace tarq::met::lanes {

void pow_sse2(const double* x, std::size_t n, double y, double* out) noexcept;
void log_sse2(const double* x, std::size_t n, double* out) noexcept;
void pow_avx2(const double* x, std::size_t n, double y, double* out) noexcept;
void log_avx2(const double* x, std::size_t n, double* out) noexcept;
void pow_avx512(const double* x, std::size_t n, double y, double* out) noexcept;
void log_avx512(const double* x, std::size_t n, double* out) noexcept;

}  // namespace tarq::met::lanes
