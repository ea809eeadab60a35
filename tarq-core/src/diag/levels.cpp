// Interpolation of 3-D fields to fixed levels: every grid column runs the
// column kernel of met/interp, on its own coordinate.
#include "diag/levels.h"

#include <cmath>
#include <string>

#include "met/interp.h"
#include "util/grid_loops.h"

namespace tarq {

namespace {

std::unexpected<TarqError> size_error(std::string what) { return fail(ErrorKind::DimMismatch, std::move(what)); }

// Buffers of one chunk of columns.
struct LevelsScratch {
    std::vector<double> coord;
    std::vector<double> values;
    std::vector<double> out;
};

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
    for_each_column<LevelsScratch>(ncol, [&](std::size_t col, LevelsScratch& s) {
        s.out.resize(nlev);
        for (std::size_t f = 0; f < nfield; ++f) {
            if (f == 0 || !shared_vertical) {
                gather_column(request.vertical.subspan(shared_vertical ? 0 : f * volume, volume), nz, ncol, col,
                              s.coord);
                if (request.log_coordinate) {
                    for (double& x : s.coord) x = std::log(x);
                }
            }
            gather_column(request.field.subspan(f * volume, volume), nz, ncol, col, s.values);
            met::interp_column(s.coord, s.values, targets, request.extrapolate, s.out);
            for (std::size_t l = 0; l < nlev; ++l) out[(f * nlev + l) * ncol + col] = s.out[l];
        }
    });
    return out;
}

}  // namespace tarq
