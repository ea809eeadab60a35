#include "met/vector_math.h"

#include <atomic>
#include <cmath>

#include "met/vector_math_lanes.h"

namespace tarq::met {

namespace {

VectorIsa detect() noexcept {
#if defined(TARQ_HAVE_SLEEF)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return VectorIsa::Avx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return VectorIsa::Avx2;
    return VectorIsa::Sse2;
#else
    return VectorIsa::Scalar;
#endif
}

const VectorIsa kBest = detect();
std::atomic<VectorIsa> g_in_use{kBest};

}  // namespace

VectorIsa best_vector_isa() noexcept { return kBest; }

VectorIsa vector_isa() noexcept { return g_in_use.load(std::memory_order_relaxed); }

void use_vector_isa(VectorIsa isa) noexcept {
    g_in_use.store(static_cast<int>(isa) < static_cast<int>(kBest) ? isa : kBest, std::memory_order_relaxed);
}

void pow_many(std::span<const double> x, double y, std::span<double> out) noexcept {
    switch (vector_isa()) {
#if defined(TARQ_HAVE_SLEEF)
        case VectorIsa::Avx512: return lanes::pow_avx512(x.data(), x.size(), y, out.data());
        case VectorIsa::Avx2: return lanes::pow_avx2(x.data(), x.size(), y, out.data());
        case VectorIsa::Sse2: return lanes::pow_sse2(x.data(), x.size(), y, out.data());
#endif
        default:
            for (std::size_t i = 0; i < x.size(); ++i) out[i] = std::pow(x[i], y);
    }
}

void log_many(std::span<const double> x, std::span<double> out) noexcept {
    switch (vector_isa()) {
#if defined(TARQ_HAVE_SLEEF)
        case VectorIsa::Avx512: return lanes::log_avx512(x.data(), x.size(), out.data());
        case VectorIsa::Avx2: return lanes::log_avx2(x.data(), x.size(), out.data());
        case VectorIsa::Sse2: return lanes::log_sse2(x.data(), x.size(), out.data());
#endif
        default:
            for (std::size_t i = 0; i < x.size(); ++i) out[i] = std::log(x[i]);
    }
}

}  // namespace tarq::met
