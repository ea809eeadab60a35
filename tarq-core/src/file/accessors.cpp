#include "file/accessors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <string>

#include "file/destagger.h"
#include "file/field_cache.h"
#include "file/lakes.h"
#include "file/model_grids.h"
#include "file/sizes.h"
#include "file/window.h"
#include "io/checked.h"
#include "util/constants.h"
#include "util/grid_loops.h"
#include "util/huge_pages.h"
#include "util/run_concurrently.h"

namespace tarq {

namespace {

using Values = std::vector<double>;
using Span = std::span<const double>;

// f(a[n], b[n]) over the shorter of the two inputs.
template <class F>
Values combine(Span a, Span b, F f) {
    Values out = zeroed_field(std::min(a.size(), b.size()));
    for_each_point(out.size(), [&](std::size_t n) { out[n] = f(a[n], b[n]); });
    return out;
}

// f(a[n]) into a new vector.
template <class F>
Values map(Span a, F f) {
    Values out = zeroed_field(a.size());
    for_each_point(out.size(), [&](std::size_t n) { out[n] = f(a[n]); });
    return out;
}

// A base field of the cache on the grid it was computed for.
Result<GridField> on_grid(const TarqFile& file, std::string_view name, std::size_t t, Grid grid,
                          Result<Field> cached) {
    if (!cached) return std::unexpected(std::move(cached.error()));
    return GridField::checked(file, name, t, std::move(*cached), grid);
}

// "lake_mask_{t}_{area}", the area in the shortest plain decimal digits that
// read back as the same double.
std::string lake_mask_key(std::size_t t, double area_km2) {
    char digits[400];
    const auto end = std::to_chars(digits, digits + sizeof digits, area_km2, std::chars_format::fixed).ptr;
    return "lake_mask_" + std::to_string(t) + "_" + std::string(digits, end);
}

Result<GridField> filled_two_metre_field(const TarqFile& file, ModelVariable variable, std::size_t t,
                                         double lake_interp) {
    if (!(lake_interp > 0.0)) return read_var(file, variable, t);
    // A filled point takes its value from the shores of its lake, and whether
    // water counts as a small lake depends on the whole water body: a window
    // fills on the whole domain and keeps its own part.
    if (is_window(file)) {
        const std::unique_ptr<TarqFile> whole = whole_domain(file);
        TARQ_TRY(const GridField filled, filled_two_metre_field(*whole, variable, t, lake_interp));
        return GridField::checked(file, variable.name, t, Field(crop_planes(filled, *whole, file)), Grid::Plane);
    }
    TARQ_TRY(GridField raw, read_var(file, variable, t));
    TARQ_TRY(const auto mask, lake_mask(file, t, lake_interp));
    return GridField::checked(file, variable.name, t, Field(fill_lake_points(raw, mask, file.ny, file.nx)),
                              Grid::Plane);
}

}  // namespace

Result<GridField> pressure(const TarqFile& file, std::size_t t) {
    return on_grid(file, "pressure", t, Grid::Volume,
                   cached_field(file.cache, cache_key("pressure_", t), t, [&]() -> Result<Values> {
                       auto [p_read, pb_read] = run_concurrently([&] { return read_var_once(file, "P", t); },
                                                                 [&] { return read_var_once(file, "PB", t); });
                       if (auto error = first_error(p_read, pb_read)) return std::unexpected(*error);
                       return combine(*p_read, *pb_read, [](double a, double b) { return a + b; });
                   }));
}

Result<GridField> pressure_hpa(const TarqFile& file, std::size_t t) {
    return on_grid(file, "pressure", t, Grid::Volume,
                   cached_field(file.cache, cache_key("pressure_hpa_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField p, pressure(file, t));
                       return map(p, [](double pa) { return pa / 100.0; });
                   }));
}

Result<GridField> theta(const TarqFile& file, std::size_t t) {
    return on_grid(file, "theta", t, Grid::Volume,
                   cached_field(file.cache, cache_key("theta_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField perturbation, read_var_once(file, "T", t));
                       return map(perturbation, [](double th) { return th + kThetaOffsetK; });
                   }));
}

Result<GridField> temperature(const TarqFile& file, std::size_t t) {
    return on_grid(file, "temperature", t, Grid::Volume,
                   cached_field(file.cache, cache_key("temp_", t), t, [&]() -> Result<Values> {
                       auto [th_read, p_read] = run_concurrently([&] { return theta(file, t); },
                                                                 [&] { return pressure(file, t); });
                       if (auto error = first_error(th_read, p_read)) return std::unexpected(*error);
                       return combine(*th_read, *p_read, [](double theta_k, double p_pa) {
                           return theta_k * std::pow(p_pa / kReferencePressurePa, kPoissonExponentBase);
                       });
                   }));
}

Result<GridField> temperature_c(const TarqFile& file, std::size_t t) {
    return on_grid(file, "temperature", t, Grid::Volume,
                   cached_field(file.cache, cache_key("temp_c_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField tk, temperature(file, t));
                       return map(tk, [](double k) { return k - kKelvinOffset; });
                   }));
}

Result<GridField> geopotential(const TarqFile& file, std::size_t t) {
    return on_grid(file, "geopotential", t, Grid::Volume,
                   cached_field(file.cache, cache_key("geopt_", t), t, [&]() -> Result<Values> {
                       auto [ph_read, phb_read] = run_concurrently([&] { return read_var_once(file, "PH", t); },
                                                                   [&] { return read_var_once(file, "PHB", t); });
                       if (auto error = first_error(ph_read, phb_read)) return std::unexpected(*error);
                       const Values full = combine(*ph_read, *phb_read, [](double a, double b) { return a + b; });
                       return destagger_z(full, file.nz_stag, file.ny, file.nx);
                   }));
}

Result<GridField> height_msl(const TarqFile& file, std::size_t t) {
    return on_grid(file, "height", t, Grid::Volume,
                   cached_field(file.cache, cache_key("height_msl_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField phi, geopotential(file, t));
                       return map(phi, [](double g) { return g / kGravity; });
                   }));
}

Result<GridField> terrain(const TarqFile& file, std::size_t t) {
    return on_grid(file, "HGT", t, Grid::Plane,
                   cached_field(file.cache, cache_key("terrain_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField hgt, read_var_once(file, "HGT", t));
                       return hgt.to_vector();
                   }));
}

Result<GridField> height_agl(const TarqFile& file, std::size_t t) {
    return on_grid(file, "height_agl", t, Grid::Volume,
                   cached_field(file.cache, cache_key("height_agl_", t), t, [&]() -> Result<Values> {
                       auto [z_read, ter_read] = run_concurrently([&] { return height_msl(file, t); },
                                                                  [&] { return terrain(file, t); });
                       if (auto error = first_error(z_read, ter_read)) return std::unexpected(*error);
                       const GridField& z = *z_read;
                       const GridField& ter = *ter_read;
                       const std::size_t columns = file.ny * file.nx;
                       Values agl = zeroed_field(z.size());
                       for_each_point(z.size(), [&](std::size_t n) { agl[n] = z[n] - ter[n % columns]; });
                       return agl;
                   }));
}

Result<GridField> u_mass(const TarqFile& file, std::size_t t) {
    return on_grid(file, "u_mass", t, Grid::Volume,
                   cached_field(file.cache, cache_key("u_destag_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField u, read_var_once(file, "U", t));
                       return destagger_x(u, file.nz, file.ny, file.nx_stag);
                   }));
}

Result<GridField> v_mass(const TarqFile& file, std::size_t t) {
    return on_grid(file, "v_mass", t, Grid::Volume,
                   cached_field(file.cache, cache_key("v_destag_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField v, read_var_once(file, "V", t));
                       return destagger_y(v, file.nz, file.ny_stag, file.nx);
                   }));
}

Result<GridField> w_mass(const TarqFile& file, std::size_t t) {
    return on_grid(file, "w_mass", t, Grid::Volume,
                   cached_field(file.cache, cache_key("w_destag_", t), t, [&]() -> Result<Values> {
                       TARQ_TRY(const GridField w, read_var_once(file, "W", t));
                       return destagger_z(w, file.nz_stag, file.ny, file.nx);
                   }));
}

Result<std::vector<std::uint8_t>> lake_mask(const TarqFile& file, std::size_t t, double area_km2) {
    const std::string key = lake_mask_key(t, area_km2);
    TARQ_TRY(const Field stored, cached_field(file.cache, key, t, [&]() -> Result<Values> {
        TARQ_TRY(const GridField lu, read_var_once(file, "LU_INDEX", t));
        const auto limit = lake_cell_limit(area_km2, file.dx, file.dy);
        const auto mask = small_water_bodies(lu, file.ny, file.nx, limit);
        return Values(mask.begin(), mask.end());
    }));
    std::vector<std::uint8_t> mask(stored.size());
    std::ranges::transform(stored, mask.begin(), [](double v) -> std::uint8_t { return v > 0.5; });
    return mask;
}

Result<GridField> t2_lake(const TarqFile& file, std::size_t t, double lake_interp) {
    return filled_two_metre_field(file, "T2", t, lake_interp);
}

Result<GridField> q2_lake(const TarqFile& file, std::size_t t, double lake_interp) {
    return filled_two_metre_field(file, "Q2", t, lake_interp);
}

}  // namespace tarq
