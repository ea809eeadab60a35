#pragma once
// The compute function of every catalogue row, defined by the diagnostics
// family named above each group.

#include <cstddef>
#include <vector>

#include "diag/compute_options.h"
#include "util/error.h"

namespace tarq {

struct TarqFile;

// Contract of every compute function: t is already checked (t < nt). It returns
// one field of the row's grid (ny*nx or nz*ny*nx values), or several such
// fields one after another for a multi-output variable.
using DiagnosticFn = Result<std::vector<double>>(const TarqFile& file, std::size_t t, const ComputeOptions& options);

// diag/base.cpp
DiagnosticFn compute_pressure;
DiagnosticFn compute_height;
DiagnosticFn compute_height_agl;
DiagnosticFn compute_geopt;
DiagnosticFn compute_terrain;
DiagnosticFn compute_ua;
DiagnosticFn compute_va;
DiagnosticFn compute_wa;
DiagnosticFn compute_lat;
DiagnosticFn compute_lon;

// diag/thermo.cpp
DiagnosticFn compute_t2;
DiagnosticFn compute_tv2m;
DiagnosticFn compute_temp;
DiagnosticFn compute_tc;
DiagnosticFn compute_theta;
DiagnosticFn compute_theta_e;
DiagnosticFn compute_tv;
DiagnosticFn compute_twb;
DiagnosticFn compute_td;
DiagnosticFn compute_rh;
DiagnosticFn compute_pw;
DiagnosticFn compute_rh2m;
DiagnosticFn compute_dp2m;
DiagnosticFn compute_mixing_ratio;
DiagnosticFn compute_specific_humidity;

// diag/pressure.cpp
DiagnosticFn compute_slp;
DiagnosticFn compute_omega;

// diag/cape.cpp
DiagnosticFn compute_sbcape;
DiagnosticFn compute_sbcin;
DiagnosticFn compute_mlcape;
DiagnosticFn compute_mlcin;
DiagnosticFn compute_mucape;
DiagnosticFn compute_mucin;
DiagnosticFn compute_lcl;
DiagnosticFn compute_lfc;
DiagnosticFn compute_el;
DiagnosticFn compute_cape2d;
DiagnosticFn compute_cape3d;
DiagnosticFn compute_cape;
DiagnosticFn compute_cin;
DiagnosticFn compute_effective_inflow;
DiagnosticFn compute_effective_cape;

// diag/wind.cpp
DiagnosticFn compute_wspd;
DiagnosticFn compute_wdir;
DiagnosticFn compute_uvmet;
DiagnosticFn compute_uvmet10;
DiagnosticFn compute_wspd10;
DiagnosticFn compute_wdir10;

// diag/srh.cpp
DiagnosticFn compute_srh1;
DiagnosticFn compute_srh3;
DiagnosticFn compute_srh;
DiagnosticFn compute_shear_0_1km;
DiagnosticFn compute_shear_0_6km;
DiagnosticFn compute_bunkers_rm;
DiagnosticFn compute_bunkers_lm;
DiagnosticFn compute_mean_wind_0_6km;
DiagnosticFn compute_effective_srh;
DiagnosticFn compute_bulk_shear;
DiagnosticFn compute_mean_wind;

// diag/vorticity.cpp
DiagnosticFn compute_avo;
DiagnosticFn compute_pvo;

// diag/radar.cpp
DiagnosticFn compute_dbz;
DiagnosticFn compute_maxdbz;

// diag/cloud.cpp
DiagnosticFn compute_ctt;
DiagnosticFn compute_cloudfrac;

// diag/helicity.cpp
DiagnosticFn compute_uhel;

// diag/severe.cpp
DiagnosticFn compute_stp;
DiagnosticFn compute_stp_fixed;
DiagnosticFn compute_stp_effective;
DiagnosticFn compute_scp;
DiagnosticFn compute_ehi;
DiagnosticFn compute_critical_angle;
DiagnosticFn compute_ship;
DiagnosticFn compute_bri;

// diag/lapse_rates.cpp
DiagnosticFn compute_lapse_rate_700_500;
DiagnosticFn compute_lapse_rate_0_3km;
DiagnosticFn compute_freezing_level;
DiagnosticFn compute_wet_bulb_0;
DiagnosticFn compute_theta_w;
DiagnosticFn compute_lapse_rate;

// diag/fire.cpp
DiagnosticFn compute_fosberg;
DiagnosticFn compute_haines;
DiagnosticFn compute_hdw;

// diag/stability.cpp
DiagnosticFn compute_lifted_index;
DiagnosticFn compute_showalter;
DiagnosticFn compute_k_index;
DiagnosticFn compute_total_totals;
DiagnosticFn compute_vertical_totals;
DiagnosticFn compute_cross_totals;
DiagnosticFn compute_dcape;

// diag/ecape.cpp
DiagnosticFn compute_ecape;

// diag/precip.cpp
DiagnosticFn compute_precip_accum;
DiagnosticFn compute_snow_accum;
DiagnosticFn compute_graupel_accum;
DiagnosticFn compute_hail_accum;

}  // namespace tarq
