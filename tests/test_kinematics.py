"""Kinematic diagnostics on model files: winds and their rotation, layer winds
and storm motion, storm-relative and updraft helicity, vorticity; identities
between the rows, analytic wind fields, the Omaha sounding end to end."""

from __future__ import annotations

import math

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, oax_sounding, standard_sounding

NX, NY, NZ = 7, 6, 30
TWO_OMEGA = 0.000145842318

NEW_ROWS = ["wspd", "wdir", "uvmet", "wspd10", "wdir10", "uvmet10", "bulk_shear", "shear_0_1km", "shear_0_6km",
            "mean_wind", "mean_wind_0_6km", "bunkers_rm", "bunkers_lm", "srh", "srh1", "srh3", "effective_srh",
            "uhel", "avo", "pvo"]


def constant_wind(u: float, v: float):
    return lambda z: (np.full_like(z, u), np.full_like(z, v))


@pytest.fixture(scope="module")
def sheared(tmp_path_factory):
    """Veering, strengthening winds over a hill on a grid turned by 30 degrees, with noise."""
    snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
    mf = build_model_file(tmp_path_factory.mktemp("kin") / "sheared.nc", nx=NX, ny=NY, nz=NZ, nt=2,
                          sounding=snd, rotation_deg=30.0, noise=0.3, seed=5)
    return _tarq.TarqFile(mf.path)


@pytest.mark.parametrize("rotation_deg, earth", [(0.0, (0.0, -5.0)), (90.0, (0.0, 1.0)), (30.0, (3.0, -4.0))])
def test_rotation_recovers_the_earth_relative_wind(tmp_path, rotation_deg, earth):
    mf = build_model_file(tmp_path / "r.nc", nx=4, ny=3, nz=6, nt=1, rotation_deg=rotation_deg,
                          winds=constant_wind(*earth))
    f = _tarq.TarqFile(mf.path)
    uvmet, uvmet10 = f.getvar("uvmet"), f.getvar("uvmet10")
    assert uvmet.shape == (2, 6, 3, 4) and uvmet10.shape == (2, 3, 4)
    for field in (uvmet, uvmet10):
        np.testing.assert_allclose(field[0], earth[0], atol=2e-6)
        np.testing.assert_allclose(field[1], earth[1], atol=2e-6)
    np.testing.assert_allclose(f.getvar("wspd"), math.hypot(*earth), rtol=1e-6)
    expected_dir = (270.0 - math.degrees(math.atan2(earth[1], earth[0]))) % 360.0
    np.testing.assert_allclose(f.getvar("wdir10"), expected_dir, atol=1e-4)
    if rotation_deg == 0.0:
        # No rotation: uvmet is u_mass then v_mass, and a wind from the north is 0, not 360.
        np.testing.assert_array_equal(uvmet[0], f.getvar("ua"))
        np.testing.assert_array_equal(uvmet[1], f.getvar("va"))
        np.testing.assert_array_equal(f.getvar("wdir"), 0.0)


def test_speed_is_the_magnitude_of_the_earth_relative_wind(sheared):
    f = sheared
    # Up to the float32 rotation fields, whose cos^2 + sin^2 is 1 within 1e-7.
    uvmet = f.getvar("uvmet", timeidx=1)
    np.testing.assert_allclose(f.getvar("wspd", timeidx=1), np.hypot(uvmet[0], uvmet[1]), rtol=1e-7)
    uvmet10 = f.getvar("uvmet10", timeidx=1)
    np.testing.assert_allclose(f.getvar("wspd10", timeidx=1), np.hypot(uvmet10[0], uvmet10[1]), rtol=1e-7)
    wdir = f.getvar("wdir", timeidx=1)
    assert ((wdir >= 0.0) & (wdir < 360.0)).all()


def test_calm_wind_blows_from_270(tmp_path):
    mf = build_model_file(tmp_path / "calm.nc", nx=2, ny=2, nz=4, nt=1, winds=constant_wind(0.0, 0.0))
    f = _tarq.TarqFile(mf.path)
    np.testing.assert_array_equal(f.getvar("wdir10"), 270.0)
    np.testing.assert_array_equal(f.getvar("wspd"), 0.0)


@pytest.mark.parametrize("missing", ["COSALPHA", "SINALPHA"])
def test_missing_rotation_fails_only_the_rotated_rows(tmp_path, missing):
    mf = build_model_file(tmp_path / "norot.nc", nx=3, ny=2, nz=6, nt=1, omit=(missing,))
    f = _tarq.TarqFile(mf.path)
    for name in ("wdir", "uvmet", "wdir10", "uvmet10", "srh", "effective_srh", "bunkers_rm", "mean_wind"):
        with pytest.raises(RuntimeError, match=missing):
            f.getvar(name)
    for name in ("wspd", "wspd10", "shear_0_6km", "uhel", "avo"):
        f.getvar(name)


@pytest.mark.parametrize("name, option", [("bulk_shear", "bottom_m"), ("bulk_shear", "top_m"),
                                          ("mean_wind", "bottom_m"), ("mean_wind", "top_m"),
                                          ("srh", "depth_m"), ("uhel", "bottom_m"), ("uhel", "top_m")])
def test_nan_layer_heights_are_refused(sheared, name, option):
    with pytest.raises(RuntimeError, match=f"invalid parameter: {option} is NaN"):
        sheared.getvar(name, **{option: float("nan")})


def test_layer_rows_and_their_options(sheared):
    f = sheared
    np.testing.assert_array_equal(f.getvar("bulk_shear"), f.getvar("shear_0_6km"))
    np.testing.assert_array_equal(f.getvar("bulk_shear", top_m=1000.0), f.getvar("shear_0_1km"))
    np.testing.assert_array_equal(f.getvar("bulk_shear", bottom_m=6000.0, top_m=0.0), f.getvar("shear_0_6km"))
    np.testing.assert_array_equal(f.getvar("shear_0_1km", top_m=3000.0), f.getvar("shear_0_1km"))
    np.testing.assert_array_equal(f.getvar("srh"), f.getvar("srh3"))
    np.testing.assert_array_equal(f.getvar("srh", depth_m=1000.0), f.getvar("srh1"))
    np.testing.assert_array_equal(f.getvar("srh1", depth_m=3000.0), f.getvar("srh1"))
    # No segment lies between the 10-m point and a depth of 5 m.
    np.testing.assert_array_equal(f.getvar("srh", depth_m=5.0), 0.0)
    # Bunkers: right and left lie 7.5 m/s either side of the 0-6 km mean, and it is what srh3 integrates
    # against when the shear is strong.
    rm, lm, mean = f.getvar("bunkers_rm"), f.getvar("bunkers_lm"), f.getvar("mean_wind_0_6km")
    np.testing.assert_allclose(np.hypot(*(rm - mean)), 7.5, rtol=1e-12)
    np.testing.assert_allclose(0.5 * (rm + lm), mean, atol=1e-12)
    # The storm motion option: one pair for every column.
    motion = (float(rm[0, 2, 3]), float(rm[1, 2, 3]))
    given = f.getvar("srh3", storm_motion=motion)
    assert given.shape == (NY, NX) and not np.array_equal(given, f.getvar("srh3"))
    assert f.getvar("srh3")[2, 3] == pytest.approx(given[2, 3], rel=1e-9)


def test_zero_shear_puts_both_movers_on_the_mean_wind(tmp_path):
    mf = build_model_file(tmp_path / "still.nc", nx=3, ny=2, nz=20, nt=1, winds=constant_wind(4.0, -2.0))
    f = _tarq.TarqFile(mf.path)
    expected = np.stack([np.full((2, 3), 4.0), np.full((2, 3), -2.0)])
    for name in ("bunkers_rm", "bunkers_lm", "mean_wind_0_6km", "mean_wind"):
        np.testing.assert_array_equal(f.getvar(name), expected)
    np.testing.assert_array_equal(f.getvar("shear_0_6km"), 0.0)
    np.testing.assert_array_equal(f.getvar("srh3"), 0.0)


def test_effective_srh_is_zero_where_no_parcel_qualifies(tmp_path):
    snd = standard_sounding(t_sfc_c=10.0, rh_sfc=0.3, lapse_k_per_km=4.0, rh_top=0.1)
    mf = build_model_file(tmp_path / "stable.nc", nx=3, ny=2, nz=16, nt=1, sounding=snd)
    f = _tarq.TarqFile(mf.path)
    np.testing.assert_array_equal(f.getvar("effective_srh"), 0.0)
    assert (f.getvar("srh3") > 0.0).all(), "the veering winds themselves carry helicity"


def test_effective_srh_on_an_unstable_veering_profile(sheared):
    f = sheared
    eff = f.getvar("effective_srh")
    assert (eff > 0.0).all()
    # Without storm_motion the layer is integrated against the Bunkers right-mover of the column.
    rm = f.getvar("bunkers_rm")
    for j, i in ((0, 0), (2, 3), (5, 6)):
        given = f.getvar("effective_srh", storm_motion=(float(rm[0, j, i]), float(rm[1, j, i])))
        assert given[j, i] == eff[j, i]
    assert not np.array_equal(f.getvar("effective_srh", storm_motion=(0.0, 0.0)), eff)


def solid_body_overrides(nx: int, ny: int, nz: int, dx: float, dy: float, omega: float, w: np.ndarray):
    """Staggered U, V of u = -omega y, v = omega x and W on full levels."""
    j_u = np.arange(ny)[None, :, None] * np.ones((nz, 1, nx + 1))
    i_v = np.arange(nx)[None, None, :] * np.ones((nz, ny + 1, 1))
    return {"U": -omega * j_u * dy, "V": omega * i_v * dx, "W": np.broadcast_to(w, (nz + 1, ny, nx))}


@pytest.fixture(scope="module")
def rotating(tmp_path_factory):
    """Solid-body rotation (zeta = 2 omega) with w = 2 m/s, except a sinking first column."""
    nx, ny, nz, dx, dy, omega = 5, 4, 30, 3000.0, 2000.0, 5e-4
    w = np.full((ny, nx), 2.0)
    w[:, 0] = -1.0
    over = solid_body_overrides(nx, ny, nz, dx, dy, omega, w)
    d = tmp_path_factory.mktemp("rot")
    with_m = build_model_file(d / "m.nc", nx=nx, ny=ny, nz=nz, nt=1, dx=dx, dy=dy, overrides=over)
    without_m = build_model_file(d / "nom.nc", nx=nx, ny=ny, nz=nz, nt=1, dx=dx, dy=dy, overrides=over,
                                 omit=("MAPFAC_M",))
    return _tarq.TarqFile(with_m.path), _tarq.TarqFile(without_m.path), omega, with_m


def test_updraft_helicity_of_solid_body_rotation(rotating):
    f, without_m, omega, _ = rotating
    uhel = f.getvar("uhel")
    np.testing.assert_allclose(uhel[:, 1:], 2.0 * (2.0 * omega) * 3000.0, rtol=1e-5)
    np.testing.assert_array_equal(uhel[:, 0], 0.0)  # mean downdraft, however strong the rotation
    np.testing.assert_array_equal(without_m.getvar("uhel"), uhel)
    np.testing.assert_array_equal(f.getvar("uhel", bottom_m=5000.0, top_m=2000.0), 0.0)
    np.testing.assert_array_equal(f.getvar("uhel", bottom_m=40000.0, top_m=50000.0), 0.0)


def test_absolute_vorticity(rotating):
    f, _, omega, mf = rotating
    lat = mf.variables["XLAT"][0].astype(np.float64)
    coriolis = np.sin(lat * 0.017453292519943295) * TWO_OMEGA
    avo = f.getvar("avo")
    np.testing.assert_allclose(avo, np.broadcast_to(coriolis + 2.0 * omega, avo.shape), rtol=1e-6)


def test_uniform_wind_has_only_planetary_vorticity(tmp_path):
    mf = build_model_file(tmp_path / "u.nc", nx=4, ny=3, nz=5, nt=1, winds=constant_wind(7.0, 1.0),
                          center_lat_lon=(45.0, 10.0), dy=1.0)
    f = _tarq.TarqFile(mf.path)
    np.testing.assert_allclose(f.getvar("avo"), TWO_OMEGA * math.sin(math.radians(45.0)), rtol=1e-6)


def test_potential_vorticity(sheared, tmp_path):
    pv = sheared.getvar("pvo")
    assert pv.shape == (NZ, NY, NX)
    assert np.median(pv) > 0.0, "theta rises with height: positive PV in the northern hemisphere"
    flat = build_model_file(tmp_path / "isentropic.nc", nx=3, ny=3, nz=6, nt=1, overrides={"T": np.zeros((6, 3, 3))})
    np.testing.assert_array_equal(_tarq.TarqFile(flat.path).getvar("pvo"), 0.0)
    one = build_model_file(tmp_path / "one.nc", nx=3, ny=2, nz=1, nt=1)
    with pytest.raises(RuntimeError, match="potential vorticity needs at least two levels"):
        _tarq.TarqFile(one.path).getvar("pvo")


def test_parallel_equals_serial(sheared, workers):
    f = sheared
    cases = [(n, {}) for n in NEW_ROWS] + [("srh", {"storm_motion": (5.0, -3.0), "depth_m": 2500.0}),
                                           ("mean_wind", {"bottom_m": 500.0, "top_m": 3000.0})]
    workers(lambda: [f.getvar(n, timeidx=1, **o) for n, o in cases])


def hand_bunkers(ze, ue, ve):
    """Right-mover and level-sampled 0-6 km mean of an extended column (heights ascending above 10 m)."""
    u6, v6 = np.interp(6000.0, ze, ue), np.interp(6000.0, ze, ve)
    inside = (ze[1:] > 0.0) & (ze[1:] < 6000.0)
    count = 2 + inside.sum()
    mean = np.array([ue[0] + u6 + ue[1:][inside].sum(), ve[0] + v6 + ve[1:][inside].sum()]) / count
    su, sv = u6 - ue[0], v6 - ve[0]
    return mean + 7.5 / math.hypot(su, sv) * np.array([sv, -su]), mean


def hand_layer_walk(ze, ue, ve, depth, storm):
    """Segment by segment up to depth; a segment that does not rise is skipped."""
    cx, cy = storm
    total = 0.0
    for j in range(ze.size - 1):
        if not ze[j] < depth:
            break
        t = min(depth, ze[j + 1])
        if ze[j] >= t:
            continue
        f = (t - ze[j]) / (ze[j + 1] - ze[j])
        u_up, v_up = ue[j] + (ue[j + 1] - ue[j]) * f, ve[j] + (ve[j + 1] - ve[j]) * f
        total += (u_up - cx) * (ve[j] - cy) - (ue[j] - cx) * (v_up - cy)
    return total


def hand_integral(ze, ue, ve, depth, storm):
    """Points from the first one's height up to depth, closed at depth."""
    cx, cy = storm
    keep = (ze >= ze[0]) & (ze <= depth)
    zs = np.r_[ze[keep], depth]
    us, vs = np.r_[ue[keep], np.interp(depth, ze[1:], ue[1:])], np.r_[ve[keep], np.interp(depth, ze[1:], ve[1:])]
    return np.sum((us[1:] - cx) * (vs[:-1] - cy) - (us[:-1] - cx) * (vs[1:] - cy))


def test_omaha_sounding_against_a_hand_computation(tmp_path, reference_sounding_csv):
    snd = oax_sounding(reference_sounding_csv)
    mf = build_model_file(tmp_path / "oax.nc", nx=1, ny=1, nz=60, nt=1, sounding=snd, terrain=snd.z_m[0])
    f = _tarq.TarqFile(mf.path)
    u, v, z = (f.getvar(n)[:, 0, 0] for n in ("ua", "va", "height_agl"))
    u10, v10 = (float(f.getvar(n)[0, 0]) for n in ("U10", "V10"))
    assert np.all(np.diff(z) > 0)

    shear = math.hypot(np.interp(6000.0, z, u) - u[0], np.interp(6000.0, z, v) - v[0])
    assert f.getvar("shear_0_6km")[0, 0] == pytest.approx(shear, rel=1e-12)
    # Level 0 lies at 9 m, below the 10-m point: the default-motion walk skips the
    # descending first segment, the integral with a given motion starts at 10 m.
    ze, ue, ve = np.r_[10.0, z], np.r_[u10, u], np.r_[v10, v]
    assert z[0] < 10.0 < z[1]
    right, mean = hand_bunkers(ze, ue, ve)
    np.testing.assert_allclose(f.getvar("bunkers_rm")[:, 0, 0], right, rtol=1e-12)
    np.testing.assert_allclose(f.getvar("mean_wind_0_6km")[:, 0, 0], mean, rtol=1e-12)
    motion = (float(right[0]), float(right[1]))
    for depth, name in ((1000.0, "srh1"), (3000.0, "srh3")):
        assert f.getvar(name)[0, 0] == pytest.approx(hand_layer_walk(ze, ue, ve, depth, right), rel=1e-10)
        given = f.getvar(name, storm_motion=motion)[0, 0]
        assert given == pytest.approx(hand_integral(ze, ue, ve, depth, right), rel=1e-10)

    # A strongly sheared, veering day (Omaha, 16 June 2014): deep-layer shear of supercells,
    # right-mover off the hodograph, large low-level helicity that grows with depth.
    assert 20.0 < f.getvar("shear_0_6km")[0, 0] < 40.0
    assert 5.0 < np.hypot(*f.getvar("bunkers_rm")[:, 0, 0]) < 20.0
    srh1, srh3 = f.getvar("srh1")[0, 0], f.getvar("srh3")[0, 0]
    assert 150.0 < srh1 < srh3 < 800.0
