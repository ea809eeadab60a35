#pragma once
// The compute function of every catalogue row (contract in compute/registry.h),
// defined by the diagnostics family named above each group.

#include <cstddef>
#include <vector>

#include "compute/options.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// diag/base.cpp
Result<std::vector<double>> compute_pressure(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_height(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_height_agl(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_geopt(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_terrain(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_ua(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_va(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_wa(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_lat(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_lon(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/thermo.cpp
Result<std::vector<double>> compute_t2(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_tv2m(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_temp(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_tc(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_theta(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_theta_e(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_tv(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_twb(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_td(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_rh(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_pw(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_rh2m(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_dp2m(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mixing_ratio(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_specific_humidity(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/pressure.cpp
Result<std::vector<double>> compute_slp(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_omega(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/cape.cpp
Result<std::vector<double>> compute_sbcape(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_sbcin(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mlcape(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mlcin(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mucape(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mucin(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_lcl(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_lfc(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_el(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_cape2d(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_cape3d(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_cape(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_cin(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_effective_inflow(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_effective_cape(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/wind.cpp
Result<std::vector<double>> compute_wspd(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_wdir(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_uvmet(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_uvmet10(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_wspd10(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_wdir10(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/srh.cpp
Result<std::vector<double>> compute_srh1(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_srh3(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_srh(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_shear_0_1km(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_shear_0_6km(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_bunkers_rm(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_bunkers_lm(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mean_wind_0_6km(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_effective_srh(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_bulk_shear(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_mean_wind(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/vorticity.cpp
Result<std::vector<double>> compute_avo(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_pvo(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/radar.cpp
Result<std::vector<double>> compute_dbz(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_maxdbz(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/cloud.cpp
Result<std::vector<double>> compute_ctt(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_cloudfrac(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/helicity.cpp
Result<std::vector<double>> compute_uhel(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/severe.cpp
Result<std::vector<double>> compute_stp(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_stp_fixed(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_stp_effective(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_scp(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_ehi(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_critical_angle(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_ship(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_bri(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/extra.cpp
Result<std::vector<double>> compute_lapse_rate_700_500(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_lapse_rate_0_3km(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_freezing_level(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_wet_bulb_0(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_theta_w(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_fosberg(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_haines(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_hdw(const TarqFile& file, std::size_t t, const ComputeOptions& options);
Result<std::vector<double>> compute_lapse_rate(const TarqFile& file, std::size_t t, const ComputeOptions& options);
}  // namespace tarq
