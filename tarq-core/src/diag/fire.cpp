// Fire-weather indices: Fosberg and Hot-Dry-Windy from the raw 2-m and 10-m
// fields point by point (lakes are never filled here), and the low-elevation
// Haines index from the 950-850 hPa layer of every column.
#include "diag/rows.h"
#include "file/accessors.h"
#include "met/fire.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// The stored [ny][nx] surface fields of one time.
struct SurfaceWeather {
    GridField t2_k;
    GridField q2;
    GridField psfc_pa;
    GridField u10_ms;
    GridField v10_ms;
};

Result<SurfaceWeather> load_surface_weather(const TarqFile& file, std::size_t t) {
    TARQ_TRY(GridField t2_k, read_var(file, "T2", t));
    TARQ_TRY(GridField q2, read_var(file, "Q2", t));
    TARQ_TRY(GridField psfc_pa, read_var(file, "PSFC", t));
    TARQ_TRY(GridField u10_ms, read_var(file, "U10", t));
    TARQ_TRY(GridField v10_ms, read_var(file, "V10", t));
    return SurfaceWeather{std::move(t2_k), std::move(q2), std::move(psfc_pa), std::move(u10_ms), std::move(v10_ms)};
}

// index(T2, Q2, PSFC, U10, V10) at every grid point.
template <class Index>
Result<std::vector<double>> surface_index(const TarqFile& file, std::size_t t, const Index& index) {
    TARQ_TRY(const SurfaceWeather in, load_surface_weather(file, t));
    return per_point(file.nx * file.ny, [&](std::size_t i) {
        return index(in.t2_k[i], in.q2[i], in.psfc_pa[i], in.u10_ms[i], in.v10_ms[i]);
    });
}

struct HainesScratch {
    std::vector<double> p_hpa;
    std::vector<double> t_c;
    std::vector<double> qvapor;
};

}  // namespace

Result<std::vector<double>> compute_fosberg(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return surface_index(file, t, met::fosberg_index);
}

Result<std::vector<double>> compute_hdw(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    return surface_index(file, t, met::hot_dry_windy_index);
}

Result<std::vector<double>> compute_haines(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const auto t_c, temperature_c(file, t));
    TARQ_TRY(const auto qvapor, read_var(file, "QVAPOR", t));
    const std::size_t nz = file.nz;
    const std::size_t ncol = file.nx * file.ny;
    std::vector<double> out(ncol);
    for_each_column<HainesScratch>(ncol, [&](std::size_t col, HainesScratch& s) {
        gather_column(p_hpa, nz, ncol, col, s.p_hpa);
        gather_column(t_c, nz, ncol, col, s.t_c);
        gather_column(qvapor, nz, ncol, col, s.qvapor);
        out[col] = met::haines_index(s.p_hpa, s.t_c, s.qvapor);
    });
    return out;
}

}  // namespace tarq
