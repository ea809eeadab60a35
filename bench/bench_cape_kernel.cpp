// Parcel-kernel benchmark on a synthetic 100 x 100 x 40 grid, without file
// reading: columns per second of the surface-based, mixed-layer and
// most-unstable kernels and of 3-D CAPE, with 1 and 2 workers.
//
//   g++ -O3 -std=c++23 -Itarq-core/src bench/bench_cape_kernel.cpp
//       build/core/libtarq_core.a -lz -pthread -o build/bench_cape_kernel
//   build/bench_cape_kernel [nx ny nz]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "met/parcel.h"
#include "met/thermo.h"
#include "util/constants.h"
#include "util/thread_pool.h"

using namespace tarq;

namespace {

struct Grid {
    std::size_t nx, ny, nz;
    std::vector<double> p_hpa, t_c, qv, z_agl;
    std::vector<met::Parcel> surface;
    [[nodiscard]] met::ColumnFields fields() const { return {p_hpa, t_c, qv, z_agl, nz, nx * ny}; }
};

// Conditionally unstable columns: 6.5 K/km to 12 km, isothermal above, moist
// boundary layer, surface temperature and moisture varying from column to column.
Grid make_grid(std::size_t nx, std::size_t ny, std::size_t nz) {
    Grid g{nx, ny, nz, {}, {}, {}, {}, {}};
    const std::size_t ncol = nx * ny;
    for (auto* v : {&g.p_hpa, &g.t_c, &g.qv, &g.z_agl}) v->resize(nz * ncol);
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 1.5);
    for (std::size_t col = 0; col < ncol; ++col) {
        const double t_sfc = 28.0 + noise(rng);
        const double rh_sfc = std::min(0.95, 0.75 + 0.05 * noise(rng));
        const double p_sfc = 1000.0 + 3.0 * noise(rng);
        double p = p_sfc;
        for (std::size_t k = 0; k < nz; ++k) {
            const double z = 30.0 + 16000.0 * std::pow(static_cast<double>(k) / (nz - 1), 1.4);
            const double t = t_sfc - 6.5 * std::min(z, 12000.0) / 1000.0;
            const double rh = std::max(0.1, rh_sfc - 0.6 * z / 12000.0);
            p = p_sfc * std::exp(-z / (29.3 * (t + 273.15)));
            const double e = rh * met::vapor_pressure_exp(t);
            const std::size_t at = k * ncol + col;
            g.p_hpa[at] = p;
            g.t_c[at] = t;
            g.qv[at] = 0.622 * e / (p - e);
            g.z_agl[at] = z;
        }
        const double e = rh_sfc * met::vapor_pressure_exp(t_sfc + 0.3);
        g.surface.push_back({p_sfc + 3.5, t_sfc + 0.3, met::dewpoint_from_q(0.622 * e / (p_sfc - e), p_sfc)});
    }
    return g;
}

double checksum_2d(const Grid& g, met::ParcelKind kind, std::vector<double>& cape) {
    const std::size_t ncol = g.nx * g.ny;
    const met::ColumnFields fields = g.fields();
    parallel_for(0, ncol, [&](std::size_t lo, std::size_t hi) {
        met::ColumnBuffer column;
        met::ParcelScratch scratch;
        for (std::size_t col = lo; col < hi; ++col) {
            met::build_column(col, fields, column);
            cape[col] = met::lift_parcel(column.view(), g.surface[col], kind, met::kMixedLayerDepthHpa,
                                         met::kMostUnstableDepthHpa, std::nullopt, scratch)
                            .cape;
        }
    });
    double sum = 0.0;
    for (double c : cape) sum += c;
    return sum;
}

double checksum_3d(const Grid& g, std::vector<double>& cape3d) {
    const std::size_t ncol = g.nx * g.ny;
    const met::ColumnFields fields = g.fields();
    parallel_for(0, g.nz - 1, [&](std::size_t lo, std::size_t hi) {
        met::ColumnBuffer column;
        met::ParcelScratch scratch;
        for (std::size_t k = lo; k < hi; ++k) {
            for (std::size_t col = 0; col < ncol; ++col) {
                met::build_column(col, fields, column);
                cape3d[k * ncol + col] =
                    met::lift_parcel(column.view().from_level(k), {column.p_hpa[k], column.t_c[k], column.td_c[k]},
                                     met::ParcelKind::Surface, 100.0, 300.0, std::nullopt, scratch)
                        .cape;
            }
        }
    });
    double sum = 0.0;
    for (double c : cape3d) sum += c;
    return sum;
}

template <class Fn>
double seconds(Fn fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t nx = argc > 3 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const std::size_t ny = argc > 3 ? std::strtoul(argv[2], nullptr, 10) : 100;
    const std::size_t nz = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 40;
    const Grid g = make_grid(nx, ny, nz);
    const std::size_t ncol = nx * ny;
    std::vector<double> cape(ncol);
    std::vector<double> cape3d(nz * ncol);
    std::printf("grid %zu x %zu x %zu (%zu columns)\n", nx, ny, nz, ncol);
    std::printf("%-8s %12s %12s %8s %14s\n", "kernel", "1 worker/s", "2 workers/s", "speedup", "checksum");
    struct Case {
        const char* name;
        met::ParcelKind kind;
        bool three_d;
    } cases[] = {{"sb", met::ParcelKind::Surface, false},
                 {"ml", met::ParcelKind::MixedLayer, false},
                 {"mu", met::ParcelKind::MostUnstable, false},
                 {"3d", met::ParcelKind::Surface, true}};
    for (const Case& c : cases) {
        double time[2];
        double sums[2];
        for (std::size_t w : {1u, 2u}) {
            ScopedWorkerCount workers(w);
            time[w - 1] = seconds([&] { sums[w - 1] = c.three_d ? checksum_3d(g, cape3d) : checksum_2d(g, c.kind, cape); });
        }
        if (sums[0] != sums[1]) std::printf("MISMATCH between worker counts\n");
        std::printf("%-8s %12.0f %12.0f %8.2f %14.6e\n", c.name, ncol / time[0], ncol / time[1], time[0] / time[1],
                    sums[0]);
    }
    return 0;
}
