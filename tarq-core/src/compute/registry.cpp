#include "compute/registry.h"

#include <string>

#include "diag/option_defaults.h"
#include "diag/rows.h"
#include "util/unicode.h"

namespace tarq {

namespace {

namespace defaults = option_defaults;

// Options, in getvar's keyword order within each row.
constexpr std::monostate kNoDefault{};
const OptionSpec kCapeParcel{"parcel_type", defaults::cape::kDefaultParcelType};
const OptionSpec kStormMotion{"storm_motion", kNoDefault};
const OptionSpec kHeightCap{"top_m", kNoDefault};
const OptionSpec kUseVirtual{"use_virtual", defaults::lapse_rate::kDefaultUseVirtual};
const OptionSpec kLakeInterp{"lake_interp", kNoDefault};

const std::vector<OptionSpec> kLakeOnly = {kLakeInterp};
const std::vector<OptionSpec> kFixedParcel = {kHeightCap, kLakeInterp};
const std::vector<OptionSpec> kChosenParcel = {kCapeParcel, kHeightCap, kLakeInterp};
const std::vector<OptionSpec> kCustomParcel = {
    kCapeParcel, kHeightCap, {"parcel_pressure", kNoDefault}, {"parcel_temperature", kNoDefault},
    {"parcel_dewpoint", kNoDefault}, kLakeInterp};
const std::vector<OptionSpec> kStormMotionOnly = {kStormMotion};
const std::vector<OptionSpec> kWindLayer = {{"top_m", defaults::layer_wind::kDefaultTopM},
                                            {"bottom_m", defaults::layer_wind::kDefaultBottomM}};
const OptionSpec kBottomP{"bottom_p", defaults::lapse_rate::kDefaultBottomHpa};
const OptionSpec kTopP{"top_p", defaults::lapse_rate::kDefaultTopHpa};
const std::vector<OptionSpec> kLapseRate = {{"top_m", defaults::lapse_rate::kDefaultTopM},
                                            {"bottom_m", defaults::lapse_rate::kDefaultBottomM},
                                            kBottomP, kTopP, kUseVirtual, kLakeInterp};
// lapse_rate with its height layer fixed: a pressure layer still replaces it.
const std::vector<OptionSpec> kFixedHeightLapseRate = {kBottomP, kTopP, kUseVirtual, kLakeInterp};
// lapse_rate with its pressure layer fixed, also the lapse rate inside ship.
const std::vector<OptionSpec> kFixedPressureLapseRate = {kUseVirtual, kLakeInterp};

const std::vector<OptionSpec> kParcelOnly = {kCapeParcel};
const std::vector<OptionSpec> kCape2dOptions = {
    {"parcel_type", defaults::cape::kCape2dParcelType}, kHeightCap, kLakeInterp};
const std::vector<OptionSpec> kSrhOptions = {kStormMotion, {"depth_m", defaults::layer_wind::kDefaultSrhDepthM}};
const std::vector<OptionSpec> kUpdraftHelicityLayer = {{"top_m", defaults::updraft_helicity::kDefaultTopM},
                                                       {"bottom_m", defaults::updraft_helicity::kDefaultBottomM}};
const std::vector<OptionSpec> kStpOptions = {
    kStormMotion, {"layer_type", defaults::severe::kDefaultLayerType}, kLakeInterp};
const std::vector<OptionSpec> kEffectiveStpOptions = {kStormMotion, kLakeInterp};
const std::vector<OptionSpec> kEhiOptions = {{"depth_m", defaults::severe::kEhiDefaultDepthM}, kLakeInterp};

// The lifted index's parcel: cape's, without the height cap it has no use for.
const std::vector<OptionSpec> kIndexParcel = {
    kCapeParcel, {"parcel_pressure", kNoDefault}, {"parcel_temperature", kNoDefault},
    {"parcel_dewpoint", kNoDefault}, kLakeInterp};

const std::vector<OptionSpec> kEcapeOptions = {{"parcel_type", defaults::ecape::kDefaultParcelType}, kStormMotion};

// Field labels of the multi-field rows, in the order their values come.
const std::vector<std::string_view> kWindComponents = {"u", "v"};
const std::vector<std::string_view> kCape2dFields = {"cape", "cin", "lcl", "lfc"};
const std::vector<std::string_view> kCloudLayers = {"low", "mid", "high"};
const std::vector<std::string_view> kInflowBounds = {"base", "top"};

// Row order is observable: it is the order of list_variables.
// Columns: name, aliases, description, units, compute, is_3d, then for the rows
// that have them the field labels and the options read.
const std::vector<VarSpec> kRegistry = {
    {"pressure", {"pres", "p"}, "Full model pressure", "Pa", compute_pressure, true},
    {"height", {"z", "height_msl"}, "Model height MSL", "m", compute_height, true},
    {"height_agl", {"z_agl"}, "Model height AGL", "m", compute_height_agl, true},
    {"geopt", {"geopotential"}, "Full geopotential", "m2/s2", compute_geopt, true},
    {"terrain", {"ter", "hgt"}, "Terrain height", "m", compute_terrain, false},
    {"t2", {"t2m", "temperature_2m"}, "2-m temperature", "K", compute_t2, false, {}, kLakeOnly},
    {"tv2m", {"virtual_temperature_2m"}, "2-m virtual temperature", "K", compute_tv2m, false, {}, kLakeOnly},
    {"temp", {"tk"}, "Temperature", "K", compute_temp, true},
    {"tc", {"temp_c"}, "Temperature in Celsius", "degC", compute_tc, true},
    {"theta", {"th", "potential_temperature"}, "Potential temperature", "K", compute_theta, true},
    {"ua", {"u_destag"}, "U-wind (destaggered)", "m/s", compute_ua, true},
    {"va", {"v_destag"}, "V-wind (destaggered)", "m/s", compute_va, true},
    {"wa", {"w_destag"}, "W-wind (destaggered)", "m/s", compute_wa, true},
    {"lat", {"xlat", "latitude"}, "Latitude", "degrees", compute_lat, false},
    {"lon", {"xlong", "longitude"}, "Longitude", "degrees", compute_lon, false},
    {"theta_e", {"eth"}, "Equivalent potential temperature", "K", compute_theta_e, true},
    {"tv", {"virtual_temperature"}, "Virtual temperature", "K", compute_tv, true},
    {"twb", {"wet_bulb"}, "Wet-bulb temperature", "K", compute_twb, true},
    {"td", {"dp", "dewpoint"}, "Dewpoint temperature", "degC", compute_td, true},
    {"rh", {"relative_humidity"}, "Relative humidity", "%", compute_rh, true},
    {"slp", {"sea_level_pressure", "mslp"}, "Sea-level pressure", "hPa", compute_slp, false},
    {"omega", {"vertical_velocity_pressure"}, "Vertical velocity in pressure coordinates", "Pa/s", compute_omega, true},
    {"pw", {"precipitable_water"}, "Precipitable water", "mm", compute_pw, false},
    {"rh2m", {"rh2", "relative_humidity_2m"}, "2-m relative humidity", "%", compute_rh2m, false, {}, kLakeOnly},
    {"dp2m", {"td2", "td2m", "dewpoint_2m"}, "2-m dewpoint temperature", "degC", compute_dp2m, false, {}, kLakeOnly},
    {"mixing_ratio", {"qvapor", "water_vapor_mixing_ratio"}, "Water vapor mixing ratio", "kg/kg", compute_mixing_ratio, true},
    {"specific_humidity", {"q"}, "Specific humidity", "kg/kg", compute_specific_humidity, true},
    {"sbcape", {"surface_based_cape"}, "Surface-based CAPE", "J/kg", compute_sbcape, false, {}, kFixedParcel},
    {"sbcin", {"surface_based_cin"}, "Surface-based CIN", "J/kg", compute_sbcin, false, {}, kFixedParcel},
    {"mlcape", {"mixed_layer_cape"}, "Mixed-layer CAPE", "J/kg", compute_mlcape, false, {}, kFixedParcel},
    {"mlcin", {"mixed_layer_cin"}, "Mixed-layer CIN", "J/kg", compute_mlcin, false, {}, kFixedParcel},
    {"mucape", {"most_unstable_cape"}, "Most-unstable CAPE", "J/kg", compute_mucape, false, {}, kFixedParcel},
    {"mucin", {"most_unstable_cin"}, "Most-unstable CIN", "J/kg", compute_mucin, false, {}, kFixedParcel},
    {"lcl", {"lcl_height"}, "Lifted condensation level height AGL", "m", compute_lcl, false, {}, kChosenParcel},
    {"lfc", {"lfc_height"}, "Level of free convection height AGL", "m", compute_lfc, false, {}, kChosenParcel},
    {"el", {"el_height", "equilibrium_level"}, "Equilibrium level height AGL", "m", compute_el, false, {}, kParcelOnly},
    {"cape2d", {}, "CAPE/CIN/LCL/LFC (backward-compat tuple)", "J/kg", compute_cape2d, false,
     kCape2dFields, kCape2dOptions},
    {"cape3d", {}, "3-D CAPE field", "J/kg", compute_cape3d, true},
    {"wspd", {"wind_speed"}, "Wind speed", "m/s", compute_wspd, true},
    {"wdir", {"wind_direction"}, "Wind direction", "degrees", compute_wdir, true},
    {"uvmet", {"earth_rotated_wind"}, "U/V wind rotated to earth coordinates", "m/s", compute_uvmet, true,
     kWindComponents},
    {"uvmet10", {"earth_rotated_wind_10m"}, "10-m U/V wind rotated to earth coordinates", "m/s", compute_uvmet10, false,
     kWindComponents},
    {"wspd10", {"wind_speed_10m"}, "10-m wind speed", "m/s", compute_wspd10, false},
    {"wdir10", {"wind_direction_10m"}, "10-m wind direction", "degrees", compute_wdir10, false},
    {"srh1", {"srh_0_1km"}, "0-1 km storm-relative helicity (Bunkers)", "m2/s2", compute_srh1, false,
     {}, kStormMotionOnly},
    {"srh3", {"srh_0_3km"}, "0-3 km storm-relative helicity (Bunkers)", "m2/s2", compute_srh3, false,
     {}, kStormMotionOnly},
    {"srh", {"storm_relative_helicity"}, "Storm-relative helicity (configurable depth)", "m2/s2", compute_srh, false,
     {}, kSrhOptions},
    {"shear_0_1km", {"bulk_shear_1km", "shr01"}, "0-1 km bulk wind shear", "m/s", compute_shear_0_1km, false},
    {"shear_0_6km", {"bulk_shear_6km", "shr06"}, "0-6 km bulk wind shear", "m/s", compute_shear_0_6km, false},
    {"bunkers_rm", {"bunkers_right"}, "Bunkers right-moving supercell motion", "m/s", compute_bunkers_rm, false,
     kWindComponents},
    {"bunkers_lm", {"bunkers_left"}, "Bunkers left-moving supercell motion", "m/s", compute_bunkers_lm, false,
     kWindComponents},
    {"mean_wind_0_6km", {"mean_wind_6km"}, "0-6 km mean wind", "m/s", compute_mean_wind_0_6km, false, kWindComponents},
    {"avo", {"absolute_vorticity"}, "Absolute vorticity", "s-1", compute_avo, true},
    {"pvo", {"potential_vorticity"}, "Potential vorticity", "PVU", compute_pvo, true},
    {"dbz", {"reflectivity"}, "Simulated reflectivity", "dBZ", compute_dbz, true},
    {"maxdbz", {"max_reflectivity", "composite_reflectivity"}, "Maximum (composite) reflectivity", "dBZ", compute_maxdbz, false},
    {"ctt", {"cloud_top_temperature"}, "Cloud-top temperature", "degC", compute_ctt, false},
    {"cloudfrac", {"cloud_fraction"}, "Cloud fraction (low/mid/high)", "%", compute_cloudfrac, false, kCloudLayers},
    {"uhel", {"updraft_helicity"}, "Updraft helicity", "m2/s2", compute_uhel, false, {}, kUpdraftHelicityLayer},
    {"stp", {"significant_tornado_parameter"}, "Significant Tornado Parameter (fixed or effective via layer_type)", "dimensionless", compute_stp, false,
     {}, kStpOptions},
    {"stp_fixed", {}, "STP fixed-layer (Tolvane et al. 2003)", "dimensionless", compute_stp_fixed, false,
     {}, kLakeOnly},
    {"stp_effective", {"stp_eff"}, "STP effective-layer", "dimensionless", compute_stp_effective, false,
     {}, kEffectiveStpOptions},
    {"scp", {"supercell_composite_parameter"}, "Supercell Composite Parameter", "dimensionless", compute_scp, false,
     {}, kLakeOnly},
    {"ehi", {"energy_helicity_index"}, "Energy-Helicity Index", "dimensionless", compute_ehi, false, {}, kEhiOptions},
    {"critical_angle", {"crit_angle"}, "Critical angle", "degrees", compute_critical_angle, false},
    {"ship", {"significant_hail_parameter"}, "Significant Hail Parameter", "dimensionless", compute_ship, false,
     {}, kFixedPressureLapseRate},
    {"bri", {"bulk_richardson_number"}, "Bulk Richardson Number", "dimensionless", compute_bri, false, {}, kLakeOnly},
    {"lapse_rate_700_500", {"lr75"}, "700-500 hPa lapse rate", "degC/km", compute_lapse_rate_700_500, false,
     {}, kFixedPressureLapseRate},
    {"lapse_rate_0_3km", {"lr03"}, "0-3 km AGL lapse rate", "degC/km", compute_lapse_rate_0_3km, false,
     {}, kFixedHeightLapseRate},
    {"freezing_level", {"fzlev"}, "Freezing level height AGL", "m", compute_freezing_level, false},
    {"wet_bulb_0", {"wb0", "wet_bulb_zero"}, "Wet-bulb zero height AGL", "m", compute_wet_bulb_0, false},
    {"theta_w", {"wet_bulb_potential_temperature"}, "Wet-bulb potential temperature", "K", compute_theta_w, true},
    {"fosberg", {"fwi", "fosberg_fire_weather_index"}, "Fosberg Fire Weather Index", "dimensionless", compute_fosberg, false},
    {"haines", {"haines_index"}, "Haines Index", "dimensionless", compute_haines, false},
    {"hdw", {"hot_dry_windy"}, "Hot-Dry-Windy Index", "dimensionless", compute_hdw, false},
    {"cape", {}, "CAPE (configurable parcel_type or custom parcel, supports top_m)", "J/kg", compute_cape, false,
     {}, kCustomParcel},
    {"cin", {}, "CIN (configurable parcel_type or custom parcel, supports top_m)", "J/kg", compute_cin, false,
     {}, kCustomParcel},
    {"effective_inflow", {"eff_inflow", "effective_inflow_layer"}, "Effective inflow layer base/top heights AGL", "m", compute_effective_inflow, false,
     kInflowBounds},
    {"effective_cape", {"eff_cape"}, "MUCAPE within effective inflow layer", "J/kg", compute_effective_cape, false},
    {"effective_srh", {"srh_eff", "eff_srh"}, "SRH over effective inflow layer (Bunkers)", "m2/s2", compute_effective_srh, false,
     {}, kStormMotionOnly},
    {"bulk_shear", {"shear"}, "Bulk wind shear (configurable bottom_m / top_m)", "m/s", compute_bulk_shear, false,
     {}, kWindLayer},
    {"mean_wind", {}, "Mean wind (configurable bottom_m / top_m)", "m/s", compute_mean_wind, false,
     kWindComponents, kWindLayer},
    {"lapse_rate", {"lr"}, "Lapse rate (configurable bottom_m / top_m, use_virtual)", "degC/km", compute_lapse_rate, false,
     {}, kLapseRate},
    // Rows after the 83 above: stability indices, downdraft CAPE, accumulated precipitation.
    {"lifted_index", {"li"}, "Lifted index at 500 hPa (configurable parcel_type or custom parcel)", "K",
     compute_lifted_index, false, {}, kIndexParcel},
    {"showalter", {"ssi"}, "Showalter index (850 hPa parcel lifted to 500 hPa)", "K", compute_showalter, false},
    {"k_index", {}, "K index", "degC", compute_k_index, false},
    {"total_totals", {"tt"}, "Total totals index", "degC", compute_total_totals, false},
    {"vertical_totals", {}, "Vertical totals index (T850 - T500)", "degC", compute_vertical_totals, false},
    {"cross_totals", {}, "Cross totals index (Td850 - T500)", "degC", compute_cross_totals, false},
    {"dcape", {"downdraft_cape"}, "Downdraft CAPE", "J/kg", compute_dcape, false},
    {"ecape", {"entraining_cape"}, "Entraining CAPE (Peters et al. 2023)", "J/kg", compute_ecape, false,
     {}, kEcapeOptions},
    {"precip_accum", {"rain_accum"}, "Accumulated total precipitation (RAINC + RAINNC)", "mm", compute_precip_accum,
     false},
    {"snow_accum", {}, "Accumulated grid-scale snow (liquid equivalent)", "mm", compute_snow_accum, false},
    {"graupel_accum", {}, "Accumulated grid-scale graupel (liquid equivalent)", "mm", compute_graupel_accum, false},
    {"hail_accum", {}, "Accumulated grid-scale hail (liquid equivalent)", "mm", compute_hail_accum, false},
};

}  // namespace

std::span<const VarSpec> variable_registry() { return kRegistry; }

const VarSpec* lookup_variable(std::string_view name) {
    const std::string key = unicode_lower(name);
    for (const VarSpec& row : kRegistry) {
        if (row.name == key) return &row;
        for (std::string_view alias : row.aliases) {
            if (alias == key) return &row;
        }
    }
    return nullptr;
}

}  // namespace tarq
