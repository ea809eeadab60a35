// Cloud diagnostics: cloud-top temperature and low/mid/high cloud cover of
// every column, from cloud water plus cloud ice. Files without either field
// (warm-rain or no microphysics) count it as zero.
#include <optional>

#include "diag/rows.h"
#include "file/accessors.h"
#include "met/cloud.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// Cloud water and cloud ice of one time, each zero where the file lacks it
// (read_optional).
struct Condensate {
    std::optional<GridField> qcloud;
    std::optional<GridField> qice;
    std::size_t nz = 0;
    std::size_t ncol = 0;

    // Condensate column col into out, bottom first.
    void column(std::size_t col, std::vector<double>& out) const {
        out.resize(nz);
        for (std::size_t k = 0; k < nz; ++k) {
            const std::size_t i = k * ncol + col;
            out[k] = met::condensate(qcloud ? (*qcloud)[i] : 0.0, qice ? (*qice)[i] : 0.0);
        }
    }
};

Result<Condensate> load_condensate(const TarqFile& file, std::size_t t) {
    auto qcloud = read_optional(file, "QCLOUD", t);
    if (!qcloud) return std::unexpected(std::move(qcloud.error()));
    auto qice = read_optional(file, "QICE", t);
    if (!qice) return std::unexpected(std::move(qice.error()));
    return Condensate{std::move(*qcloud), std::move(*qice), file.nz, file.nx * file.ny};
}

struct CloudScratch {
    std::vector<double> condensate;
    std::vector<double> level_values;
};

}  // namespace

Result<std::vector<double>> compute_ctt(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto t_c, temperature_c(file, t));
    TARQ_TRY(const Condensate cond, load_condensate(file, t));
    std::vector<double> out(cond.ncol);
    for_each_column<CloudScratch>(cond.ncol, [&](std::size_t col, CloudScratch& s) {
        cond.column(col, s.condensate);
        gather_column(t_c, cond.nz, cond.ncol, col, s.level_values);
        out[col] = met::cloud_top_temperature_c(s.condensate, s.level_values);
    });
    return out;
}

Result<std::vector<double>> compute_cloudfrac(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto p_hpa, pressure_hpa(file, t));
    TARQ_TRY(const Condensate cond, load_condensate(file, t));
    const std::size_t ncol = cond.ncol;
    // Low, mid and high fields one after another.
    std::vector<double> out(3 * ncol);
    for_each_column<CloudScratch>(ncol, [&](std::size_t col, CloudScratch& s) {
        cond.column(col, s.condensate);
        gather_column(p_hpa, cond.nz, ncol, col, s.level_values);
        out[col] = met::layer_cloud_cover_pct(s.condensate, s.level_values, met::kLowCloudLayer);
        out[ncol + col] = met::layer_cloud_cover_pct(s.condensate, s.level_values, met::kMidCloudLayer);
        out[2 * ncol + col] = met::layer_cloud_cover_pct(s.condensate, s.level_values, met::kHighCloudLayer);
    });
    return out;
}

}  // namespace tarq
