"""tarq.vinterp: analytic columns through the column kernel and the scheme
below level 0, then whole files against interp_levels."""

import numpy as np
import pytest

import tarq
from tarq import vertical as vt
from tarq.testing import build_model_file

RD_G = vt.RD_J_PER_KG_K / vt.GRAVITY_M_PER_S2


def column(coord, field):
    return np.asarray(coord, float)[:, None], np.asarray(field, float)[:, None]


@pytest.mark.parametrize("log", [False, True])
def test_linear_profile_is_exact_inside_and_at_levels(log):
    p = np.array([1000.0, 950.0, 870.0, 700.0, 500.0])
    axis = np.log(p) if log else p
    field = 3.0 + 2.0 * axis
    targets = np.array([1000.0, 950.0, 870.0, 700.0, 500.0, 990.0, 800.0, 501.0])[:, None]
    got = vt.interp_columns(field[:, None], p[:, None], targets, log=log)[:, 0]
    ta = np.log(targets[:, 0]) if log else targets[:, 0]
    np.testing.assert_allclose(got, 3.0 + 2.0 * ta, rtol=1e-14)
    np.testing.assert_array_equal(got[:5], field)          # exact hits, bit for bit


def test_first_crossing_of_a_non_monotonic_coordinate():
    # A superadiabatic layer at the ground under an inversion: theta 300, 299, 298, 301, 305.
    theta, field = column([300.0, 299.0, 298.0, 301.0, 305.0], [0.0, 1.0, 2.0, 3.0, 4.0])
    targets = np.array([299.5, 300.5, 299.0, 310.0, 297.0])[:, None]
    got = vt.interp_columns(field, theta, targets)[:, 0]
    np.testing.assert_allclose(got[:3], [0.5, 2.0 + 2.5 / 3.0, 1.0])
    assert np.isnan(got[3:]).all()


def surface_columns(zs, t0=290.0, p0=990.0, psfc=1000.0, z0=None, coord=None):
    """One column's level-0 and surface state; the coordinate is pressure by default."""
    z0 = zs + 80.0 if z0 is None else z0
    coord = np.array([[p0], [800.0], [500.0]]) if coord is None else coord
    one = lambda v: np.array([float(v)])  # noqa: E731
    return vt.Columns(coord, one(p0), one(z0), one(t0), one(psfc), one(zs))


@pytest.mark.parametrize("zs, t_star, gamma_t", [
    (0.0, 290.0, 0.0065),
    (1999.0, 290.0, 0.0065),
    # 2000-2500 m: T1 = 290 + 14.625, T0' = T1 + (298 - T1) * 0.5
    (2250.0, 290.0, (304.625 + (298.0 - 304.625) * 0.5 - 290.0) / 2250.0),
    (3000.0, 280.0, 18.0 / 3000.0),                      # T1 = 299.5 capped at 298
    (3000.0, 270.0, 0.0065),                             # T1 = 289.5 below the cap
    (3000.0, 300.0, 0.0),                                # a surface hotter than 298 K: isothermal
])
def test_lapse_rate_for_temperature(zs, t_star, gamma_t):
    got = vt.temperature_lapse_rate(np.array([t_star]), np.array([zs]))[0]
    assert got == pytest.approx(gamma_t, rel=1e-12)


def test_surface_temperature():
    # T* = T0 + Γ (Rd/g) T0 (psfc/p0 - 1)
    got = vt.surface_temperature_k(np.array([290.0]), np.array([990.0]), np.array([1000.0]))[0]
    assert got == pytest.approx(290.0 + 0.0065 * RD_G * 290.0 * (1000.0 / 990.0 - 1.0), rel=1e-15)


@pytest.mark.parametrize("gamma", [0.0065, 0.003])
def test_below_ground_follows_a_constant_lapse_rate_atmosphere(gamma):
    """The series in ln p approximate the exact constant-lapse-rate profile
    T = T* (p/psfc)^(Γ Rd/g); pressure and height below ground invert each other."""
    t_star, psfc, zs = np.array([295.0]), np.array([1000.0]), np.array([300.0])
    p = np.array([1010.0, 1040.0, 1080.0])
    exact = t_star * (p / psfc) ** (gamma * RD_G)
    np.testing.assert_allclose(vt.temperature_below_p(t_star, gamma, p, psfc), exact, rtol=1e-7)
    z = vt.height_below_p(t_star, zs, p, psfc)
    exact_z = zs + t_star / 0.0065 * (1.0 - (p / psfc) ** (0.0065 * RD_G))
    np.testing.assert_allclose(z, exact_z, atol=0.01)
    back = vt.pressure_below_z(t_star, np.array([0.0065]), z, zs, psfc)
    np.testing.assert_allclose(back, p, rtol=2e-6)


def test_isothermal_below_ground_when_the_lapse_rate_is_zero():
    t_star, psfc, zs = np.array([300.0]), np.array([700.0]), np.array([3000.0])
    z = np.array([2900.0, 2500.0])
    p = vt.pressure_below_z(t_star, np.array([0.0]), z, zs, psfc)
    np.testing.assert_allclose(p, psfc * np.exp((zs - z) / (RD_G * t_star)), rtol=1e-15)
    np.testing.assert_array_equal(vt.temperature_below_z(t_star, 0.0, z, zs), [300.0, 300.0])


def test_between_surface_and_level_0_is_linear_in_ln_p_to_the_surface_values():
    cols = surface_columns(zs=100.0)
    t_star = vt.surface_temperature_k(cols.t0_k, cols.p0_hpa, cols.psfc_hpa)[0]
    targets = np.array([1000.0, 995.0, 990.0])[:, None]
    w = np.log(995.0 / 990.0) / np.log(1000.0 / 990.0)
    temp = np.array([[290.0], [270.0], [250.0]])
    for extrapolate in (False, True):
        got = vt.interp_field("temp", temp, cols, "pressure", targets, extrapolate)[:, 0]
        np.testing.assert_allclose(got, [t_star, 290.0 + w * (t_star - 290.0), 290.0], rtol=1e-14)
    z = np.array([[180.0], [2000.0], [5500.0]])
    np.testing.assert_allclose(vt.interp_field("height", z, cols, "pressure", targets, False)[:, 0],
                               [100.0, 180.0 - w * 80.0, 180.0], rtol=1e-14)
    other = np.array([[7.0], [8.0], [9.0]])
    np.testing.assert_array_equal(vt.interp_field("rh", other, cols, "pressure", targets, False)[:, 0], 7.0)
    # theta of the blended temperature and pressure
    theta = vt.interp_field("theta", temp, cols, "pressure", targets[1:2], False)[0, 0]
    assert theta == pytest.approx((290.0 + w * (t_star - 290.0)) * (1000.0 / 995.0) ** 0.2857142857, rel=1e-14)


def test_below_ground_only_with_extrapolate_and_never_for_other_rows():
    cols = surface_columns(zs=100.0)
    t_star = vt.surface_temperature_k(cols.t0_k, cols.p0_hpa, cols.psfc_hpa)
    targets = np.array([[1050.0], [300.0]])
    temp = np.array([[290.0], [270.0], [250.0]])
    assert np.isnan(vt.interp_field("temp", temp, cols, "pressure", targets, False)).all()
    got = vt.interp_field("tc", temp - 273.15, cols, "pressure", targets, True)[:, 0]
    expect = vt.temperature_below_p(t_star, 0.0065, np.array([1050.0]), cols.psfc_hpa)[0] - 273.15
    np.testing.assert_allclose(got, [expect, 250.0 - 273.15], rtol=1e-14)   # and the top value above
    rh = vt.interp_field("rh", np.array([[7.0], [8.0], [9.0]]), cols, "pressure", targets, True)[:, 0]
    np.testing.assert_array_equal(rh, [7.0, 9.0])


@pytest.mark.parametrize("zs", [2200.0, 2800.0])
def test_height_coordinates_over_high_terrain(zs):
    """In height: the lowest 25 m blend in z; below ground T = T* + Γt (zs - z) and
    p from the power law, with the lapse rate of high terrain."""
    coord = np.array([[zs + 30.0], [zs + 600.0], [zs + 3000.0]])
    cols = surface_columns(zs=zs, t0=300.0, p0=760.0, psfc=763.0, z0=zs + 30.0, coord=coord)
    t_star = vt.surface_temperature_k(cols.t0_k, cols.p0_hpa, cols.psfc_hpa)
    gamma_t = vt.temperature_lapse_rate(t_star, cols.zs_m)
    assert gamma_t[0] < 0.0065                                   # the hot high surface
    temp = np.array([[300.0], [296.0], [280.0]])
    targets = np.array([[zs], [zs + 25.0], [zs - 400.0]])
    got = vt.interp_field("temp", temp, cols, "height", targets, True)[:, 0]
    np.testing.assert_allclose(got, [t_star[0], 300.0 + (5.0 / 30.0) * (t_star[0] - 300.0),
                                     t_star[0] + gamma_t[0] * 400.0], rtol=1e-14)
    pres = vt.interp_field("pressure", np.array([[76000.0], [70000.0], [50000.0]]), cols, "height", targets, True)
    p_deep = vt.pressure_below_z(t_star, gamma_t, np.array([zs - 400.0]), cols.zs_m, cols.psfc_hpa)[0]
    np.testing.assert_allclose(pres[:, 0], [76300.0, 76000.0 + 5.0 / 30.0 * 300.0, p_deep * 100.0], rtol=1e-14)


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    mf = build_model_file(tmp_path_factory.mktemp("vinterp") / "m.nc", nx=7, ny=6, nz=12, nt=2)
    return tarq.TarqFile(mf.path)


def test_matches_interp_levels_inside_the_column(model):
    levels = [1000.0, 950.0, 850.0, 700.0, 500.0, 300.0, 100.0]
    for vertical, coord, log in [("pressure", model.getvar("pressure", units="hPa"), True),
                                 ("height", model.getvar("height"), False)]:
        lv = levels if vertical == "pressure" else [200.0, 500.0, 1500.0, 5000.0, 12000.0]
        for name in ("tc", "rh", "uvmet"):
            old = tarq.interp_levels(model.getvar(name), coord, lv, log_p=log)
            new = tarq.vinterp(model, name, vertical, lv)
            inside = np.isfinite(old)
            np.testing.assert_allclose(new[inside], old[inside], rtol=1e-13, atol=1e-12)


def test_surfaces_and_exact_model_levels(model):
    z_agl = model.getvar("height_agl")
    for k in (0, 5, 11):
        np.testing.assert_array_equal(tarq.vinterp(model, "temp", "height_agl", z_agl[k]), model.getvar("temp")[k])
    surfaces = z_agl[[2, 4]]
    got = tarq.vinterp(model, "uvmet", "height_agl", surfaces)
    assert got.shape == (2, 2, 6, 7)
    np.testing.assert_array_equal(got, model.getvar("uvmet")[:, [2, 4]])


def test_never_nan_from_the_ground_to_level_0(model):
    psfc = model.getvar("PSFC") / 100.0
    p0 = model.getvar("pressure", units="hPa")[0]
    for name in ("temp", "theta", "height", "wspd", "pressure"):
        for surface in (psfc, 0.5 * (psfc + p0)):
            assert np.isfinite(tarq.vinterp(model, name, "pressure", surface)).all(), name
    lowest = tarq.vinterp(model, "tc", "height_agl", [0.0, 5.0, 25.0])
    assert np.isfinite(lowest).all()
    # the surface value is where the blend and the extrapolation meet
    at = tarq.vinterp(model, "temp", "pressure", psfc)
    below = tarq.vinterp(model, "temp", "pressure", psfc * (1 + 1e-9), extrapolate=True)
    np.testing.assert_allclose(below, at, rtol=1e-9)


def test_units_and_theta_levels(model):
    kelvin = tarq.vinterp(model, "temp", "pressure", [1020.0, 700.0], extrapolate=True)
    fahrenheit = tarq.vinterp(model, "temp", "pressure", [1020.0, 700.0], extrapolate=True, units="degF")
    np.testing.assert_allclose(fahrenheit, (kelvin - 273.15) * 1.8 + 32.0, rtol=1e-12)
    p = tarq.vinterp(model, "pressure", "theta", [310.0, 1000.0], extrapolate=True)
    assert np.isfinite(p[0]).all() and np.isnan(p[1]).all()


def test_missing_surface_fields(tmp_path):
    f = tarq.TarqFile(build_model_file(tmp_path / "m.nc", nx=4, ny=3, nz=8, nt=1, omit=["PSFC"]).path)
    psfc_like = f.getvar("pressure", units="hPa")[0] + 2.0
    assert np.isnan(tarq.vinterp(f, "temp", "pressure", psfc_like)).all()
    with pytest.raises(tarq.VariableNotFoundError, match="PSFC"):
        tarq.vinterp(f, "temp", "pressure", [1000.0], extrapolate=True)


def test_bad_arguments(model):
    with pytest.raises(ValueError, match="vertical must be one of"):
        tarq.vinterp(model, "temp", "sigma", [1.0])
    with pytest.raises(ValueError, match="levels must be"):
        tarq.vinterp(model, "temp", "pressure", np.zeros((3, 4)))
    with pytest.raises(ValueError, match="not on model levels"):
        tarq.vinterp(model, "t2", "pressure", [500.0])
