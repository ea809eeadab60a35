// moist_lift for many pressures on one adiabat, several at a time. Each lane does
// the IEEE operations of the scalar moist_lift, in the same order and without
// fused multiply-adds; only the branches become selects, both Wobus
// polynomials are evaluated, and the power (p/1000)^(Rd/cp) comes from
// pow_many, within 1 ulp of std::pow (bit for bit in a build without SLEEF).
#include <cmath>

#include "met/thermo.h"
#include "met/vector_math.h"
#include "util/constants.h"

namespace tarq::met {

namespace {

// Eight lanes (one AVX-512 register, two AVX ones) with GCC, which only warns
// that the helpers' 64-byte vectors pass differently with and without AVX
// (they are always inlined, so nothing passes them); clang refuses that in
// the default clone, so it gets two lanes (one SSE register). Each lane's
// result is independent of the others.
#if defined(__clang__)
constexpr std::size_t kLanes = 2;
#else
constexpr std::size_t kLanes = 8;
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));
using Mask = long long __attribute__((vector_size(kLanes * sizeof(long long))));

constexpr double kTolerance = 0.001;  // as in moist_lift
constexpr int kMaxPasses = 7;


[[gnu::always_inline]] inline Lanes select(const Mask& m, const Lanes& a, const Lanes& b) noexcept { return m ? a : b; }

[[gnu::always_inline]] inline Lanes magnitude(const Lanes& x) noexcept { return x < 0.0 ? -x : x; }

[[gnu::always_inline]] inline bool any(const Mask& m) noexcept {
    for (std::size_t i = 0; i < kLanes; ++i)
        if (m[i]) return true;
    return false;
}

// wobus() lane by lane; a NaN lane takes the second branch, as there.
[[gnu::always_inline]] inline Lanes wobus_lanes(const Lanes& t_c) noexcept {
    const Lanes x = t_c - 20.0;
    const Lanes low =
        1.0 + x * (-0.0088416605 +
                   x * (0.00014714143 + x * (-9.671989e-7 + x * (-3.2607217e-8 + x * (-3.8598073e-10)))));
    const Lanes low2 = low * low;
    const Lanes high =
        1.0 +
        x * (0.0036182989 +
             x * (-1.3603273e-5 +
                  x * (4.9618922e-7 +
                       x * (-6.1059365e-9 + x * (3.9401551e-11 + x * (-1.2588129e-13 + x * 1.668828e-16))))));
    const Lanes high2 = high * high;
    return select(x <= 0.0, 15.13 / (low2 * low2), 29.93 / (high2 * high2) + 0.96 * x - 14.8);
}

// One block of up to kLanes pressures, with r_out holding their powers
// (p/1000)^(Rd/cp) on entry and the parcel temperatures on return.
[[gnu::target_clones("avx512f", "avx2", "default")]] void lift_block(const double* p_hpa, std::size_t count,
                                                                     double label_c, double wobus_label_c,
                                                                     double* r_out) noexcept {
    Lanes p{};
    Lanes r{};
    for (std::size_t i = 0; i < kLanes; ++i) {
        // Spare lanes lift 500 hPa and are dropped.
        p[i] = i < count ? p_hpa[i] : 500.0;
        r[i] = i < count ? r_out[i] : 0.8201;
    }
    Mask done = magnitude(p - kReferencePressureHpa) <= kTolerance;
    Lanes result = select(done, Lanes{} + label_c, Lanes{});

    Lanes t1 = (label_c + kKelvinOffset) * r - kKelvinOffset;
    Lanes e1 = wobus_lanes(t1) - wobus_label_c;
    Lanes rate = Lanes{} + 1.0;
    const Mask first_close = ~done & (magnitude(e1) < kTolerance);
    result = select(first_close, t1 - e1, result);
    done |= first_close;
    for (int pass = 1; any(~done); ++pass) {
        const Lanes t2 = t1 - rate * e1;
        Lanes e2 = (t2 + kKelvinOffset) / r - kKelvinOffset;
        e2 = e2 + wobus_lanes(t2) - wobus_lanes(e2) - label_c;
        rate = (t2 - t1) / (e2 - e1);
        const Mask finishing = ~done & ((pass == kMaxPasses ? Mask{} - 1 : Mask{}) | (magnitude(e2) < kTolerance));
        result = select(finishing, t2 - rate * e2, result);
        done |= finishing;
        t1 = t2;
        e1 = e2;
    }
    for (std::size_t i = 0; i < count; ++i) r_out[i] = result[i];
}

}  // namespace

void moist_lift_many(std::span<const double> p_hpa, double label_c, double wobus_label_c,
                     std::span<double> out) noexcept {
    for (std::size_t i = 0; i < p_hpa.size(); ++i) out[i] = p_hpa[i] / kReferencePressureHpa;
    pow_many(out.first(p_hpa.size()), ROCP, out);
    for (std::size_t i = 0; i < p_hpa.size(); i += kLanes) {
        const std::size_t count = p_hpa.size() - i < kLanes ? p_hpa.size() - i : kLanes;
        lift_block(p_hpa.data() + i, count, label_c, wobus_label_c, out.data() + i);
    }
}

}  // namespace tarq::met
