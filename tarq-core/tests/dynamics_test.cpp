#include "met/dynamics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarq::met {
namespace {

constexpr double kOmega = 1e-4;

// Solid-body rotation u = -omega y, v = omega x on an ny x nx level.
struct SolidBody {
    std::size_t ny, nx;
    double dx, dy;
    std::vector<double> u, v;
    SolidBody(std::size_t ny_, std::size_t nx_, double dx_, double dy_) : ny(ny_), nx(nx_), dx(dx_), dy(dy_) {
        for (std::size_t j = 0; j < ny; ++j) {
            for (std::size_t i = 0; i < nx; ++i) {
                u.push_back(-kOmega * static_cast<double>(j) * dy);
                v.push_back(kOmega * static_cast<double>(i) * dx);
            }
        }
    }
};

TEST(Vorticity, SolidBodyRotationIsTwiceOmegaEverywhere) {
    const SolidBody g(4, 5, 3000.0, 2000.0);
    std::vector<double> zeta(g.u.size()), scratch(g.u.size()), mapped(g.u.size());
    relative_vorticity_level(g.u, g.v, g.ny, g.nx, g.dx, g.dy, scratch, zeta);
    const std::vector<double> ones(g.u.size(), 1.0), twos(g.u.size(), 2.0);
    for (double z : zeta) EXPECT_NEAR(z, 2.0 * kOmega, 1e-18);
    map_vorticity_level(g.u, g.v, ones, g.ny, g.nx, g.dx, g.dy, mapped);
    for (double z : mapped) EXPECT_NEAR(z, 2.0 * kOmega, 1e-18);
    map_vorticity_level(g.u, g.v, twos, g.ny, g.nx, g.dx, g.dy, mapped);
    for (double z : mapped) EXPECT_NEAR(z, kOmega, 1e-18) << "the map factor divides every difference";
}

TEST(Vorticity, SinglePointAxesDropTheirDerivative) {
    const SolidBody row(1, 4, 1000.0, 1000.0);
    const SolidBody column(4, 1, 1000.0, 1000.0);
    std::vector<double> out(4), scratch(4);
    relative_vorticity_level(row.u, row.v, 1, 4, 1000.0, 1000.0, scratch, out);
    for (double z : out) EXPECT_NEAR(z, kOmega, 1e-18) << "ny = 1: only dv/dx";
    relative_vorticity_level(column.u, column.v, 4, 1, 1000.0, 1000.0, scratch, out);
    for (double z : out) EXPECT_NEAR(z, kOmega, 1e-18) << "nx = 1: only du/dy";
    const std::vector<double> ones(4, 1.0);
    map_vorticity_level(row.u, row.v, ones, 1, 4, 1000.0, 1000.0, out);
    for (double z : out) EXPECT_NEAR(z, kOmega, 1e-18);
    EXPECT_NEAR(coriolis_parameter(45.0), 1.0313e-4, 1e-8);
    EXPECT_EQ(coriolis_parameter(0.0), 0.0);
}

TEST(Vorticity, AbsoluteAddsTheCoriolisParameterOfEachPoint) {
    const SolidBody g(3, 4, 1000.0, 1000.0);
    const std::vector<double> lat{0.0, 45.0, -45.0, 90.0, 10.0, 20.0, 30.0, 40.0, 50.0, 60.0, 70.0, 80.0};
    std::vector<double> dudy(12), zeta(12), eta(12);
    absolute_vorticity_level(g.u, g.v, lat, g.ny, g.nx, g.dx, g.dy, dudy, zeta, eta);
    for (std::size_t n = 0; n < 12; ++n) EXPECT_NEAR(eta[n], 2.0 * kOmega + coriolis_parameter(lat[n]), 1e-18);
}

// A statically stable northern column: theta rising 10, 20 K over 100 hPa
// steps, eta 1e-4 s-1 on every level, so PV = g eta dtheta/(-dp) in PVU.
TEST(PotentialVorticity, OneSidedAtTheEndsCentredBetween) {
    const std::vector<double> theta_k{300.0, 310.0, 330.0};
    const std::vector<double> p_pa{90000.0, 80000.0, 70000.0};
    const double expected[] = {0.980665, 1.4709975, 1.96133};
    for (std::size_t k = 0; k < 3; ++k) {
        std::vector<double> level{1e-4};
        potential_vorticity_pvu_level(theta_k, p_pa, 3, k, level);
        EXPECT_NEAR(level[0], expected[k], 1e-12) << k;
    }
}

struct UhCase {
    double w, bottom, top, expected;
    const char* what;
};

TEST(UpdraftHelicityColumn, ClippedTrapezoidGatedByMeanUpdraft) {
    std::vector<double> z;
    for (double zk = 25.0; zk < 12000.0; zk += 350.0) z.push_back(zk);
    const double zeta = 0.01;
    const UhCase cases[] = {
        {5.0, 2000.0, 5000.0, 5.0 * zeta * 3000.0, "uniform w and zeta: w zeta depth"},
        {-1.0, 2000.0, 5000.0, 0.0, "mean downdraft: 0 however large zeta is"},
        {0.0, 2000.0, 5000.0, 0.0, "no updraft"},
        {5.0, 15000.0, 20000.0, 0.0, "layer above the model top"},
        {5.0, 5000.0, 2000.0, 0.0, "bottom above top"},
    };
    for (const auto& c : cases) {
        const std::vector<double> w(z.size(), c.w), p(z.size(), c.w * zeta);
        EXPECT_NEAR(updraft_helicity_column(w, p, z, c.bottom, c.top), c.expected, 1e-9) << c.what;
    }
}

}  // namespace
}  // namespace tarq::met
