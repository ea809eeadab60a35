#pragma once
// Parcel ascent over one model column: parcel choice, LCL, LFC, equilibrium
// level, CAPE and CIN, and the effective-inflow-layer scan. Kernels are pure and
// noexcept; their buffers are owned by the caller and reused across columns,
// so they allocate only while a buffer grows.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tarq::met {

// Depths every caller passes: mixed layer 100 hPa, most-unstable search 300 hPa.
inline constexpr double kMixedLayerDepthHpa = 100.0;
inline constexpr double kMostUnstableDepthHpa = 300.0;

// Thresholds of a level of the effective inflow layer (Thompson et al. 2007).
inline constexpr double MIN_EFFECTIVE_CAPE = 100.0;
inline constexpr double MIN_EFFECTIVE_CIN = -250.0;

// A sounding, bottom first: pressure (hPa), temperature (°C), dewpoint (°C)
// and height above ground (m). Heights may be empty where none are needed.
struct Sounding {
    std::span<const double> p_hpa;
    std::span<const double> t_c;
    std::span<const double> td_c;
    std::span<const double> z_m;

    [[nodiscard]] std::size_t size() const noexcept { return p_hpa.size(); }
    // Levels first .. size()-1.
    [[nodiscard]] Sounding from_level(std::size_t first) const noexcept;
};

struct Parcel {
    double p_hpa;
    double t_c;
    double td_c;
};

enum class ParcelKind { Surface, MixedLayer, MostUnstable };

// "ml" and "mu" select those parcels; any other text keeps the start parcel.
[[nodiscard]] ParcelKind parcel_kind(std::string_view text) noexcept;

struct ParcelResult {
    double cape;        // J/kg, >= 0
    double cin;         // J/kg, <= 0
    double lcl_height;  // m, on the column's height scale
    double lfc_height;  // m, NaN without an LFC
};

struct EquilibriumLevel {
    bool found;
    double p_hpa;
    double t_c;
};

struct EffectiveLayer {
    bool found;
    std::size_t base;        // lowest qualifying level
    std::size_t top;         // highest qualifying level of the run
    std::size_t best_level;  // level of the largest CAPE in the layer (lowest on ties)
    double best_cape;        // J/kg, 0 when nothing qualified
};

// One extracted column, reused from column to column.
struct ColumnBuffer {
    std::vector<double> p_hpa;
    std::vector<double> t_c;
    std::vector<double> td_c;
    std::vector<double> z_m;

    [[nodiscard]] Sounding view() const noexcept { return {p_hpa, t_c, td_c, z_m}; }
};

// 3-D fields [nz][ny][nx] columns are read from; each holds at least nz*ncol values.
struct ColumnFields {
    std::span<const double> p_hpa;
    std::span<const double> t_c;
    std::span<const double> qvapor_kgkg;
    std::span<const double> z_agl_m;
    std::size_t nz;
    std::size_t ncol;  // ny*nx
};

// The sub-layers of lift_parcel's ascent above the LCL: their bounds, their
// midpoints, the parcel temperature there, ln of the midpoints and ln of
// p1/p2, each computed for all sub-layers at once.
struct SubLayers {
    std::vector<double> p1_hpa;
    std::vector<double> p2_hpa;
    std::vector<double> pm_hpa;
    std::vector<double> tp_c;
    std::vector<double> ln_pm;
    std::vector<double> ln_ratio;

    void clear() noexcept {
        p1_hpa.clear();
        p2_hpa.clear();
        pm_hpa.clear();
    }
    void add(double p1, double p2, double pm) {
        p1_hpa.push_back(p1);
        p2_hpa.push_back(p2);
        pm_hpa.push_back(pm);
    }
};

// The working arrays of lift_parcel: the extended profile (start parcel plus
// the column), ln p of its entries, the parcel temperature at its entries
// and the sub-layers of the ascent.
struct ParcelScratch {
    std::vector<double> p_hpa;
    std::vector<double> t_c;
    std::vector<double> td_c;
    std::vector<double> z_m;
    std::vector<double> ln_p;
    std::vector<double> level_tp_c;
    SubLayers sublayers;
};

// Column col (= j*nx + i) of the grid fields: pressure, temperature, dewpoint
// from the mixing ratio (dewpoint_from_q), height above ground; bottom first.
void build_column(std::size_t col, const ColumnFields& fields, ColumnBuffer& out);

// CAPE, CIN, LCL and LFC heights of a parcel lifted through a column: dry to its
// LCL, then along the Wobus moist adiabat with virtual-temperature buoyancy
// (Doswell and Rasmussen 1994), in sub-layers of at most 10 hPa; NSHARP lineage.
// A start pressure above 2000 is taken as Pa and a start temperature above 150
// as K, converting the column with the parcel.
[[nodiscard]] ParcelResult lift_parcel(const Sounding& column, Parcel start, ParcelKind kind,
                                       double mixed_layer_depth_hpa, double most_unstable_depth_hpa,
                                       std::optional<double> top_m, ParcelScratch& scratch) noexcept;

// The lcl_height of lift_parcel with the same arguments, bit for bit, without
// the ascent above the LCL.
[[nodiscard]] double lcl_height(const Sounding& column, Parcel start, ParcelKind kind, double mixed_layer_depth_hpa,
                                double most_unstable_depth_hpa, ParcelScratch& scratch) noexcept;

// Parcel of the lowest depth_hpa of a profile: mean potential temperature and
// mean mixing ratio of the layer midpoints, at the profile's first pressure.
[[nodiscard]] Parcel mixed_layer_parcel(const Sounding& profile, double depth_hpa) noexcept;

// Entry of the lowest depth_hpa of a profile with the highest parcel_theta_e
// (the lowest one on ties).
[[nodiscard]] Parcel most_unstable_parcel(const Sounding& profile, double depth_hpa) noexcept;

// Highest level where the parcel of the profile's first entry turns from
// positive to non-positive buoyancy, evaluated at the profile entries only.
[[nodiscard]] EquilibriumLevel equilibrium_level(const Sounding& profile) noexcept;

// Lowest contiguous run of levels whose own parcel has CAPE >= MIN_EFFECTIVE_CAPE
// and CIN >= MIN_EFFECTIVE_CIN (Thompson et al. 2007); the top level is never tested.
[[nodiscard]] EffectiveLayer effective_layer_scan(const Sounding& column, ParcelScratch& scratch) noexcept;

}  // namespace tarq::met
