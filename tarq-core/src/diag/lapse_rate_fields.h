#pragma once
// Lapse-rate fields of one time, [ny][nx], that the lapse-rate rows and the
// severe-weather composites share.

#include <cstddef>
#include <vector>

#include "diag/option_defaults.h"
#include "file/tarq_file.h"
#include "util/error.h"

namespace tarq {

// The layer of a lapse rate: between two pressures (hPa) or two heights (m
// above ground).
struct LapseLayer {
    bool pressure = false;
    double bottom = 0.0;
    double top = 0.0;
    bool screen = false;       // a height layer from below the screen level: the 2-m air joins the column
    bool use_virtual = false;  // virtual temperatures, from QVAPOR (and Q2 with the 2-m air)
    double lake_interp = 0.0;  // lake filling of the 2-m air
};

// The 700-500 hPa layer.
[[nodiscard]] constexpr LapseLayer lapse_rate_700_500_layer(bool use_virtual) noexcept {
    return LapseLayer{true, option_defaults::lapse_rate::kDefaultBottomHpa, option_defaults::lapse_rate::kDefaultTopHpa, false,
                      use_virtual, 0.0};
}

// Lapse rate (K/km) of every column over the layer. Reads temperature_c and
// height_agl, then QVAPOR with use_virtual, pressure_hpa for a pressure layer,
// and T2 (and Q2 with use_virtual) for a screen layer.
[[nodiscard]] Result<std::vector<double>> lapse_rate_field(const TarqFile& file, std::size_t t,
                                                           const LapseLayer& layer);

}  // namespace tarq
