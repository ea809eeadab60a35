// Cloud diagnostics: cloud-top temperature and low/mid/high cloud cover of
// every column, from cloud water plus cloud ice. Files without either field
// (warm-rain or no microphysics) count it as zero.
#include <string_view>

#include "diag/rows.h"
#include "diag/field_checks.h"
#include "file/accessors.h"
#include "met/cloud.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

// Cloud water and cloud ice of one time, each empty when the file cannot give it.
struct Condensate {
    std::vector<double> qcloud;
    std::vector<double> qice;
    std::size_t nz = 0;
    std::size_t ncol = 0;

    // Condensate column col into out, bottom first.
    void column(std::size_t col, std::vector<double>& out) const {
        out.resize(nz);
        for (std::size_t k = 0; k < nz; ++k) {
            const std::size_t i = k * ncol + col;
            out[k] = met::condensate(qcloud.empty() ? 0.0 : qcloud[i], qice.empty() ? 0.0 : qice[i]);
        }
    }
};

// Any failure to read the field (absent or otherwise) leaves it empty, except
// a stored field of the wrong size: zeros in its place would be a wrong
// answer, not a missing one.
Result<std::vector<double>> optional_field(const TarqFile& file, std::string_view name, std::size_t t,
                                           std::size_t need) {
    auto field = read_var(file, name, t);
    if (!field && field.error().kind == ErrorKind::DimMismatch) return std::unexpected(field.error());
    if (!field) return std::vector<double>{};
    if (field->size() != need) return wrong_length(name, field->size(), need);
    return std::move(*field);
}

Result<Condensate> load_condensate(const TarqFile& file, std::size_t t) {
    Condensate c;
    c.nz = file.nz;
    c.ncol = file.nx * file.ny;
    const std::size_t need = c.nz * c.ncol;
    TARQ_TRY(c.qcloud, optional_field(file, "QCLOUD", t, need));
    TARQ_TRY(c.qice, optional_field(file, "QICE", t, need));
    return c;
}

struct CloudScratch {
    std::vector<double> condensate;
    std::vector<double> level_values;
};

}  // namespace

Result<std::vector<double>> compute_ctt(const TarqFile& file, std::size_t t, const ComputeOptions&) {
    TARQ_TRY(const auto t_c, temperature_c(file, t));
    TARQ_TRY(const Condensate cond, load_condensate(file, t));
    const std::size_t need = cond.nz * cond.ncol;
    if (t_c.size() != need) return wrong_length("temperature", t_c.size(), need);
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
    const std::size_t need = cond.nz * ncol;
    if (p_hpa.size() != need) return wrong_length("pressure", p_hpa.size(), need);
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
