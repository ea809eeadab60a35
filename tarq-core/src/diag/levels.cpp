// Interpolation of 3-D fields to fixed levels: every grid column runs the
// column kernel of met/interp, on its own coordinate.
#include "diag/levels.h"

#include <cmath>
#include <string>

#include "met/interp.h"
#include "util/thread_pool.h"

namespace tarq {

namespace {

std::unexpected<TarqError> size_error(std::string what) { return fail(ErrorKind::DimMismatch, std::move(what)); }

// Copies level k of column col (stride ncol) into dst, optionally as its logarithm.
void gather_column(std::span<const double> src, std::size_t ncol, std::size_t col, bool log, std::span<double> dst) {
    for (std::size_t k = 0; k < dst.size(); ++k) {
        const double v = src[k * ncol + col];
        dst[k] = log ? std::log(v) : v;
    }
}

}  // namespace

Result<std::vector<double>> interp_to_levels(const LevelsRequest& request) {
    const std::size_t nz = request.nz;
    const std::size_t ncol = request.ncol;
    const std::size_t volume = nz * ncol;
    if (nz != 0 && volume / nz != ncol) return size_error("grid of " + std::to_string(nz) + " levels is too large");
    if (volume == 0) {
        if (!request.field.empty() || !request.vertical.empty()) return size_error("values given for an empty grid");
        return std::vector<double>{};
    }
    if (request.field.size() % volume != 0) {
        return size_error("field holds " + std::to_string(request.field.size()) + " values, not a multiple of " +
                          std::to_string(volume) + " (" + std::to_string(nz) + " levels of " +
                          std::to_string(ncol) + " columns)");
    }
    const std::size_t nfield = request.field.size() / volume;
    const bool shared_vertical = request.vertical.size() == volume;
    if (!shared_vertical && request.vertical.size() != request.field.size()) {
        return size_error("vertical coordinate holds " + std::to_string(request.vertical.size()) +
                          " values where the field needs " + std::to_string(volume) + " or " +
                          std::to_string(request.field.size()));
    }
    const std::size_t nlev = request.levels.size();
    std::vector<double> targets(request.levels.begin(), request.levels.end());
    if (request.log_coordinate) {
        for (double& x : targets) x = std::log(x);
    }

    std::vector<double> out(nfield * nlev * ncol, 0.0);
    parallel_for(0, ncol, [&](std::size_t lo, std::size_t hi) {
        std::vector<double> coord(nz);
        std::vector<double> values(nz);
        std::vector<double> column_out(nlev);
        for (std::size_t col = lo; col < hi; ++col) {
            for (std::size_t f = 0; f < nfield; ++f) {
                if (f == 0 || !shared_vertical) {
                    const auto vertical = request.vertical.subspan(shared_vertical ? 0 : f * volume, volume);
                    gather_column(vertical, ncol, col, request.log_coordinate, coord);
                }
                gather_column(request.field.subspan(f * volume, volume), ncol, col, false, values);
                met::interp_column(coord, values, targets, request.extrapolate, column_out);
                for (std::size_t l = 0; l < nlev; ++l) out[(f * nlev + l) * ncol + col] = column_out[l];
            }
        }
    });
    return out;
}

}  // namespace tarq
