#pragma once
// exp-family functions over arrays in SIMD lanes: SLEEF's 1-ulp kernels
// (Shibata and Petrogalli 2020) at the widest instruction set this CPU offers,
// chosen once at run time; std::pow and std::log one by one in a build
// without SLEEF. Every lane is within 1 ulp of the correctly rounded value, so
// results move by a few ulp against the scalar functions, never more.

#include <cstddef>
#include <span>

namespace tarq::met {

enum class VectorIsa { Scalar, Sse2, Avx2, Avx512 };

// The widest set this build and CPU support.
[[nodiscard]] VectorIsa best_vector_isa() noexcept;

// The set in use, best_vector_isa() unless use_vector_isa chose a narrower one.
[[nodiscard]] VectorIsa vector_isa() noexcept;

// Selects isa, or best_vector_isa() where isa is wider; for tests and
// benchmarks that compare the paths. Not meant to race with computations.
void use_vector_isa(VectorIsa isa) noexcept;

// out[i] = pow(x[i], y); out may alias x.
void pow_many(std::span<const double> x, double y, std::span<double> out) noexcept;

// out[i] = log(x[i]); out may alias x.
void log_many(std::span<const double> x, std::span<double> out) noexcept;

}  // namespace tarq::met
