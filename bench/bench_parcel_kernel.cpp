// Parcel kernel, before and after, in one process: µs per 50-level column of
// sbcape, mlcape, mucape, cape2d (its most-unstable lift), the effective-layer
// scan of effective_srh and lcl on one worker, for the kernel of a baseline
// revision, this tree's kernel with scalar std::pow/std::log, and this tree's
// kernel with SLEEF's vector math; their ratios, and how far the results of
// the vector kernel moved from the baseline's (largest relative difference of
// CAPE and CIN, largest difference of the LCL and LFC heights in m).
// Built and run by bench/bench_parcel_kernel.sh; with a 4th argument it
// writes the columns and its timings there for bench_parcel_sharplib.py.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "met/thermo.h"
#include "met/vector_math.h"
#include "parcel_columns.h"

namespace {

// Conditionally unstable columns with a moist boundary layer, varying from
// column to column (the grid of bench_cape_kernel.cpp, stored column by column).
struct Grid {
    std::size_t nz, ncol;
    std::vector<double> p, t, td, z, sp, st, std_;
    [[nodiscard]] BenchColumns view() const {
        return {nz, ncol, p.data(), t.data(), td.data(), z.data(), sp.data(), st.data(), std_.data()};
    }
};

Grid make_grid(std::size_t ncol, std::size_t nz) {
    Grid g{nz, ncol, {}, {}, {}, {}, {}, {}, {}};
    for (auto* v : {&g.p, &g.t, &g.td, &g.z}) v->resize(nz * ncol);
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 1.5);
    for (std::size_t col = 0; col < ncol; ++col) {
        const double t_sfc = 28.0 + noise(rng);
        const double rh_sfc = std::min(0.95, 0.75 + 0.05 * noise(rng));
        const double p_sfc = 1000.0 + 3.0 * noise(rng);
        for (std::size_t k = 0; k < nz; ++k) {
            const double z = 30.0 + 16000.0 * std::pow(static_cast<double>(k) / (nz - 1), 1.4);
            const double t = t_sfc - 6.5 * std::min(z, 12000.0) / 1000.0;
            const double rh = std::max(0.1, rh_sfc - 0.6 * z / 12000.0);
            const double p = p_sfc * std::exp(-z / (29.3 * (t + 273.15)));
            const double e = rh * tarq::met::vapor_pressure_exp(t);
            const std::size_t at = col * nz + k;
            g.p[at] = p;
            g.t[at] = t;
            g.td[at] = tarq::met::dewpoint_from_q(0.622 * e / (p - e), p);
            g.z[at] = z;
        }
        const double e = rh_sfc * tarq::met::vapor_pressure_exp(t_sfc + 0.3);
        g.sp.push_back(p_sfc + 3.5);
        g.st.push_back(t_sfc + 0.3);
        g.std_.push_back(tarq::met::dewpoint_from_q(0.622 * e / (p_sfc - e), p_sfc));
    }
    return g;
}

struct Outputs {
    std::vector<double> cape, cin, lcl, lfc;
    explicit Outputs(std::size_t n) : cape(n), cin(n), lcl(n), lfc(n) {}
};

using LiftFn = void (*)(const BenchColumns&, BenchCase, double*, double*, double*, double*);

// Best of `repeat` runs, in seconds, with isa in use by this tree's kernel.
double best_seconds(LiftFn fn, tarq::met::VectorIsa isa, const Grid& g, BenchCase which, Outputs& out, int repeat) {
    tarq::met::use_vector_isa(isa);
    double best = 1e300;
    for (int r = 0; r < repeat; ++r) {
        const auto start = std::chrono::steady_clock::now();
        fn(g.view(), which, out.cape.data(), out.cin.data(), out.lcl.data(), out.lfc.data());
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double max_relative_difference(const std::vector<double>& a, const std::vector<double>& b) {
    double worst = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))) continue;
        const double scale = std::max(std::fabs(a[i]), std::fabs(b[i]));
        worst = std::max(worst, std::isnan(a[i] - b[i]) ? INFINITY : std::fabs(a[i] - b[i]) / scale);
    }
    return worst;
}

double max_difference(const std::vector<double>& a, const std::vector<double>& b) {
    double worst = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))) continue;
        worst = std::max(worst, std::isnan(a[i] - b[i]) ? INFINITY : std::fabs(a[i] - b[i]));
    }
    return worst;
}

const char* isa_name(tarq::met::VectorIsa isa) {
    switch (isa) {
        case tarq::met::VectorIsa::Avx512: return "avx512";
        case tarq::met::VectorIsa::Avx2: return "avx2";
        case tarq::met::VectorIsa::Sse2: return "sse2";
        default: return "scalar";
    }
}

void write_columns(const std::string& path, const Grid& g) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    for (const auto* v : {&g.p, &g.t, &g.td, &g.z, &g.sp, &g.st, &g.std_})
        std::fwrite(v->data(), sizeof(double), v->size(), f);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    using tarq::met::VectorIsa;
    const std::size_t ncol = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4000;
    const std::size_t nz = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50;
    const int repeat = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::string dump = argc > 4 ? argv[4] : "";
    const Grid g = make_grid(ncol, nz);
    const VectorIsa best = tarq::met::best_vector_isa();
    std::printf("%zu columns of %zu levels, one worker, best of %d (interleaved), vector math: %s\n", ncol, nz,
                repeat, isa_name(best));
    std::printf("%-10s %9s %9s %9s %8s %8s %12s %12s %9s %9s\n", "kernel", "base us", "scalar us", "vector us",
                "base/vec", "scal/vec", "rel dCAPE", "rel dCIN", "dLCL m", "dLFC m");
    const struct {
        const char* name;
        BenchCase which;
    } cases[] = {{"sbcape", kSurfaceCape},    {"mlcape", kMixedLayerCape}, {"mucape", kMostUnstableCape},
                 {"cape2d", kCape2d},         {"eff_layer", kEffectiveLayer}, {"lcl", kLclOnly}};
    std::string timings = "{";
    for (const auto& c : cases) {
        Outputs base(ncol), scalar(ncol), now(ncol);
        double t_base = 1e300, t_scalar = 1e300, t_now = 1e300;
        // Alternate the three so that load from other processes falls on all alike.
        for (int round = 0; round < 3; ++round) {
            t_base = std::min(t_base, best_seconds(lift_columns_baseline, best, g, c.which, base, repeat));
            t_scalar = std::min(t_scalar,
                                best_seconds(lift_columns_current, VectorIsa::Scalar, g, c.which, scalar, repeat));
            t_now = std::min(t_now, best_seconds(lift_columns_current, best, g, c.which, now, repeat));
        }
        std::printf("%-10s %9.2f %9.2f %9.2f %8.2f %8.2f %12.3g %12.3g %9.3g %9.3g\n", c.name, 1e6 * t_base / ncol,
                    1e6 * t_scalar / ncol, 1e6 * t_now / ncol, t_base / t_now, t_scalar / t_now,
                    max_relative_difference(base.cape, now.cape), max_relative_difference(base.cin, now.cin),
                    max_difference(base.lcl, now.lcl), max_difference(base.lfc, now.lfc));
        if (c.which == kSurfaceCape) {
            char entry[160];
            std::snprintf(entry, sizeof entry, "\"base_us\": %.4f, \"vector_us\": %.4f", 1e6 * t_base / ncol,
                          1e6 * t_now / ncol);
            timings += entry;
            if (!dump.empty()) {
                std::FILE* f = std::fopen((dump + ".cape").c_str(), "wb");
                if (f != nullptr) {
                    std::fwrite(now.cape.data(), sizeof(double), ncol, f);
                    std::fclose(f);
                }
            }
        }
    }
    if (!dump.empty()) {
        write_columns(dump + ".columns", g);
        std::FILE* f = std::fopen((dump + ".json").c_str(), "w");
        if (f != nullptr) {
            std::fprintf(f, "%s, \"ncol\": %zu, \"nz\": %zu}\n", timings.c_str(), ncol, nz);
            std::fclose(f);
        }
    }
    return 0;
}
