// Parcel kernel, before and after, in one process: µs per column of sbcape,
// mlcape, mucape and lcl on one worker for the kernel of this tree and for the
// kernel of a baseline revision, their ratio, and how far the results moved
// (largest relative difference of CAPE and CIN; LCL heights must be identical).
// Built and run by bench/bench_parcel_kernel.sh.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "met/thermo.h"
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

// Best of `repeat` runs, in seconds.
double best_seconds(LiftFn fn, const Grid& g, BenchCase which, Outputs& out, int repeat) {
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
        if (a[i] == b[i]) continue;
        const double scale = std::max(std::fabs(a[i]), std::fabs(b[i]));
        worst = std::max(worst, std::fabs(a[i] - b[i]) / scale);
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t ncol = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4000;
    const std::size_t nz = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50;
    const int repeat = argc > 3 ? std::atoi(argv[3]) : 5;
    const Grid g = make_grid(ncol, nz);
    std::printf("%zu columns of %zu levels, one worker, best of %d (interleaved)\n", ncol, nz, repeat);
    std::printf("%-8s %14s %14s %8s %14s %14s %6s\n", "kernel", "baseline us", "current us", "speedup",
                "max rel dCAPE", "max rel dCIN", "LCL");
    const struct {
        const char* name;
        BenchCase which;
    } cases[] = {{"sbcape", kSurfaceCape}, {"mlcape", kMixedLayerCape}, {"mucape", kMostUnstableCape}, {"lcl", kLclOnly}};
    for (const auto& c : cases) {
        Outputs base(ncol), now(ncol);
        double t_base = 1e300, t_now = 1e300;
        // Alternate the two so that load from other processes falls on both alike.
        for (int round = 0; round < 3; ++round) {
            t_base = std::min(t_base, best_seconds(lift_columns_baseline, g, c.which, base, repeat));
            t_now = std::min(t_now, best_seconds(lift_columns_current, g, c.which, now, repeat));
        }
        const bool lcl_same = base.lcl == now.lcl;
        std::printf("%-8s %14.2f %14.2f %8.2f %14.3g %14.3g %6s\n", c.name, 1e6 * t_base / ncol, 1e6 * t_now / ncol,
                    t_base / t_now, max_relative_difference(base.cape, now.cape),
                    max_relative_difference(base.cin, now.cin), lcl_same ? "same" : "DIFF");
    }
    return 0;
}
