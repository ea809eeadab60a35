"""Lapse rates, freezing level, wet-bulb zero and wet-bulb potential temperature
on model files, against plain NumPy re-computations of the same column
formulas, and the published Omaha lapse rates."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import (build_model_file, mixing_ratio_from_dewpoint, oax_sounding, one_column_file,
                          standard_sounding)

NX, NY, NZ = 5, 4, 20
LAKE = (2, 2)


@pytest.fixture(scope="module")
def hilly(tmp_path_factory):
    """A noisy file over a hill, with a 2-m temperature 3 K off the lowest
    level's and a small lake whose T2 is 6 K cooler and whose Q2 is drier than
    its shore (Q2 is uniform over land, so the filled value is known)."""
    lu = np.full((NY, NX), 2.0)
    lu[LAKE] = 21.0
    snd = standard_sounding(t_sfc_c=26.0, rh_sfc=0.8, lapse_k_per_km=7.0)
    plain = build_model_file(tmp_path_factory.mktemp("lapse") / "plain.nc", nx=NX, ny=NY, nz=NZ, nt=1,
                             sounding=snd, lu_index=lu, noise=0.3, seed=5)
    t2 = plain.variables["T2"][0].astype(np.float64) + 3.0
    t2[LAKE] -= 6.0
    q2 = np.full((NY, NX), 0.015)
    q2[LAKE] = 0.005
    mf = build_model_file(tmp_path_factory.mktemp("lapse") / "hilly.nc", nx=NX, ny=NY, nz=NZ, nt=1, sounding=snd,
                          lu_index=lu, noise=0.3, seed=5, overrides={"T2": t2, "Q2": q2})
    return _tarq.TarqFile(mf.path)


def virtual_c(t_c, q):
    return (1.0 + 0.61 * np.maximum(q, 0.0)) * (t_c + 273.15) - 273.15


def t_at_height(x, t, z):
    if x <= z[0]:
        return t[0]
    for k in range(1, z.size):
        if x <= z[k]:
            return t[k - 1] + (t[k] - t[k - 1]) * ((x - z[k - 1]) / (z[k] - z[k - 1]))
    return t[-1]


def t_z_at_pressure(x, p, t, z):
    for k in range(1, p.size):
        if p[k - 1] >= x > p[k]:
            f = (x - p[k]) / (p[k - 1] - p[k])
            return t[k] + (t[k - 1] - t[k]) * f, z[k] + (z[k - 1] - z[k]) * f
    return t[0], z[0]


def expected_lapse_rate(f, bottom_m=None, top_m=None, bottom_p=None, top_p=None, use_virtual=False,
                        lake_interp=None):
    """The lapse-rate rules column by column, from the file's own fields."""
    t_c = f.getvar("tc")
    z = f.getvar("height_agl")
    p = f.getvar("pressure") / 100.0
    if use_virtual:
        t_c = virtual_c(t_c, f.getvar("QVAPOR"))
    t2 = f.getvar("t2", lake_interp=lake_interp) - 273.15
    if use_virtual:
        q2 = f.getvar("Q2")
        if lake_interp:
            q2[LAKE] = q2[0, 0]
        t2 = virtual_c(t2, q2)
    pressure_mode = bottom_p is not None or top_p is not None
    screen = not pressure_mode and (bottom_m is None or bottom_m < 10.0)
    out = np.zeros(t_c.shape[1:])
    for j, i in np.ndindex(*out.shape):
        tc, zc, pc = t_c[:, j, i], z[:, j, i], p[:, j, i]
        if pressure_mode:
            tb, zb = t_z_at_pressure(700.0 if bottom_p is None else bottom_p, pc, tc, zc)
            tt, zt = t_z_at_pressure(500.0 if top_p is None else top_p, pc, tc, zc)
            d = abs(zt - zb) / 1000.0
        else:
            hb = 0.0 if bottom_m is None else bottom_m
            ht = 3000.0 if top_m is None else top_m
            tb, tt = (t2[j, i] if x < 10.0 and screen else t_at_height(x, tc, zc) for x in (hb, ht))
            d = (ht - hb) / 1000.0
        out[j, i] = -(tt - tb) / d if d > 0.01 else 0.0
    return out


LAPSE_CASES = [
    ("lapse_rate", {}),
    ("lapse_rate", {"use_virtual": True}),
    ("lapse_rate", {"lake_interp": 1e6}),
    ("lapse_rate", {"bottom_m": 9.0, "top_m": 1000.0}),
    ("lapse_rate", {"bottom_m": 10.0, "top_m": 3010.0}),
    ("lapse_rate", {"bottom_m": 500.0, "top_m": 6000.0, "use_virtual": True}),
    ("lapse_rate", {"bottom_m": 3000.0, "top_m": 0.0}),
    ("lapse_rate", {"bottom_m": 1000.0, "top_m": 1005.0}),
    ("lapse_rate", {"bottom_p": 850.0}),
    ("lapse_rate", {"bottom_p": 500.0, "top_p": 700.0}),
    ("lapse_rate", {"top_p": 300.0, "use_virtual": True}),
    ("lapse_rate_700_500", {}),
    ("lapse_rate_700_500", {"use_virtual": True}),
    ("lapse_rate_0_3km", {"use_virtual": True, "lake_interp": 1e6}),
]


@pytest.mark.parametrize("name,options", LAPSE_CASES)
def test_lapse_rate_against_numpy(hilly, name, options):
    forced = {"lapse_rate_700_500": {"bottom_p": 700.0, "top_p": 500.0},
              "lapse_rate_0_3km": {"bottom_m": 0.0, "top_m": 3000.0}}.get(name, {})
    want = expected_lapse_rate(hilly, **{**options, **forced})
    got = hilly.getvar(name, **options)
    assert got.shape == (NY, NX)
    np.testing.assert_allclose(got, want, rtol=1e-12, atol=1e-12)


def test_the_fixed_layers_and_their_options(hilly):
    f = hilly
    default = f.getvar("lapse_rate")
    np.testing.assert_array_equal(default, f.getvar("lapse_rate_0_3km"))
    np.testing.assert_array_equal(default, f.getvar("lr"))
    # The 2-m temperature is the bottom: over land it is 3 K warmer than the air above it.
    land = np.ones((NY, NX), dtype=bool)
    land[LAKE] = False
    assert (default[land] > f.getvar("lapse_rate", bottom_m=10.0, top_m=3000.0)[land] + 0.5).all()
    # The forced layer wins over the request's own.
    np.testing.assert_array_equal(f.getvar("lapse_rate_0_3km", bottom_m=1000.0, top_m=2000.0), default)
    lr75 = f.getvar("lapse_rate_700_500")
    np.testing.assert_array_equal(f.getvar("lapse_rate_700_500", bottom_p=850.0, top_p=300.0), lr75)
    np.testing.assert_array_equal(f.getvar("lapse_rate", bottom_p=700.0), lr75)
    # A pressure option switches the height variant to the pressure layer.
    np.testing.assert_array_equal(f.getvar("lapse_rate_0_3km", bottom_p=700.0), lr75)
    # Only the lake point sees the filled 2-m temperature.
    filled = f.getvar("lapse_rate", lake_interp=1e6)
    changed = filled != default
    assert changed[LAKE] and changed.sum() == 1
    assert (5.0 < lr75).all() and (lr75 < 9.0).all()


def test_700_hpa_below_the_ground(tmp_path):
    """On a 3.3 km plateau the lowest level lies above 700 hPa: the bottom of the
    layer is the lowest level itself."""
    mf = build_model_file(tmp_path / "plateau.nc", nx=3, ny=2, nz=16, nt=1, terrain=3300.0,
                          sounding=standard_sounding(t_sfc_c=30.0, lapse_k_per_km=8.0))
    f = _tarq.TarqFile(mf.path)
    p = f.getvar("pressure") / 100.0
    assert (p[0] < 700.0).all()
    t_c, z = f.getvar("tc"), f.getvar("height_agl")
    got = f.getvar("lapse_rate_700_500")
    for j, i in np.ndindex(2, 3):
        t500, z500 = t_z_at_pressure(500.0, p[:, j, i], t_c[:, j, i], z[:, j, i])
        want = -(t500 - t_c[0, j, i]) / (abs(z500 - z[0, j, i]) / 1000.0)
        assert got[j, i] == pytest.approx(want, rel=1e-12)


@pytest.fixture(scope="module")
def crossings(tmp_path_factory):
    """Four columns of chosen temperatures on the levels of a flat file: all
    below freezing, all warm, an inversion with two 0 °C crossings, and an
    ordinary profile. Level 0 of the last column sits at exactly 1000 hPa and
    is saturated."""
    root = tmp_path_factory.mktemp("crossings")
    kw = dict(nx=4, ny=1, nz=18, nt=1, terrain=0.0, sounding=standard_sounding(t_sfc_c=20.0, p_sfc_hpa=1010.0))
    base = build_model_file(root / "base.nc", **kw)
    fb = _tarq.TarqFile(base.path)
    z = fb.getvar("height_agl")[:, 0, :]
    p_pa = base.variables["P"][0].astype(np.float64) + base.variables["PB"][0].astype(np.float64)
    pb = base.variables["PB"][0].astype(np.float64)
    pert = base.variables["P"][0].astype(np.float64)
    pb[0, 0, 3], pert[0, 0, 3] = 100000.0, 0.0
    p_pa[0, 0, 3] = 100000.0
    zk = z / 1000.0
    t_c = np.stack([
        -5.0 - 6.5 * zk[:, 0],
        30.0 - 1.0 * zk[:, 1],
        np.interp(z[:, 2], [0.0, 1000.0, 2000.0, 3000.0, 30000.0], [3.0, -2.0, 3.0, -3.0, -150.0]),
        18.0 - 6.5 * zk[:, 3],
    ], axis=-1)[:, None, :]
    theta = (t_c + 273.15) * (100000.0 / p_pa) ** 0.2857142857
    q = np.minimum(base.variables["QVAPOR"][0], 0.9 * mixing_ratio_from_dewpoint(p_pa / 100.0, t_c))
    q[0, 0, 3] = mixing_ratio_from_dewpoint(1000.0, t_c[0, 0, 3])
    mf = build_model_file(root / "crossings.nc", **kw,
                          overrides={"T": theta - 300.0, "P": pert, "PB": pb, "QVAPOR": q})
    return _tarq.TarqFile(mf.path)


def first_downward_zero(values, z):
    for k in range(values.size - 1):
        if values[k] >= 0.0 and values[k + 1] < 0.0:
            return z[k] + (z[k + 1] - z[k]) * (0.0 - values[k]) / (values[k + 1] - values[k])
    return 0.0


def test_freezing_level_and_wet_bulb_zero(crossings):
    f = crossings
    t_c, z = f.getvar("tc")[:, 0, :], f.getvar("height_agl")[:, 0, :]
    tw = f.getvar("twb")[:, 0, :] - 273.15
    fz = f.getvar("freezing_level")[0]
    wb0 = f.getvar("wb0")[0]
    assert fz[0] == 0.0 and fz[1] == 0.0
    # The lowest of the inversion's crossings, near 600 m.
    assert 500.0 < fz[2] < 700.0
    assert 2500.0 < fz[3] < 3000.0
    for i in range(4):
        assert fz[i] == pytest.approx(first_downward_zero(t_c[:, i], z[:, i]), rel=1e-12, abs=1e-12)
        assert wb0[i] == pytest.approx(first_downward_zero(tw[:, i], z[:, i]), rel=1e-9, abs=1e-9)
    # The wet bulb falls through 0 °C lower than the air does.
    assert 0.0 < wb0[3] < fz[3]


def test_theta_w(crossings):
    f = crossings
    tw = f.getvar("theta_w")
    assert tw.shape == (18, 1, 4)
    assert f.getvar("pressure")[0, 0, 3] == 100000.0
    # Saturated at 1000 hPa: its own temperature.
    assert tw[0, 0, 3] == pytest.approx(f.getvar("temp")[0, 0, 3], abs=1e-3)
    # At 1000 hPa the wet-bulb potential temperature is the wet-bulb temperature.
    assert tw[0, 0, 3] == pytest.approx(f.getvar("twb")[0, 0, 3], abs=1e-9)
    # Unsaturated air lies below its potential temperature.
    assert (tw[:, 0, :3] < f.getvar("theta")[:, 0, :3]).all()


def test_fields_are_read_only_when_needed(tmp_path):
    mf = build_model_file(tmp_path / "sparse.nc", nx=3, ny=2, nz=10, nt=1, omit=("T2", "QVAPOR"))
    f = _tarq.TarqFile(mf.path)
    for name, options in (("lapse_rate", {"bottom_m": 10.0}), ("lapse_rate_700_500", {}), ("freezing_level", {})):
        assert np.isfinite(f.getvar(name, **options)).all(), name
    for name, options, missing in (("lapse_rate", {}, "T2"), ("lapse_rate_0_3km", {}, "T2"),
                                   ("lapse_rate_700_500", {"use_virtual": True}, "QVAPOR"),
                                   ("wet_bulb_0", {}, "QVAPOR"), ("theta_w", {}, "QVAPOR")):
        with pytest.raises(RuntimeError, match=missing):
            f.getvar(name, **options)


@pytest.fixture(scope="module")
def omaha(tmp_path_factory, reference_sounding_csv):
    """The Omaha sounding as a one-column file."""
    mf = one_column_file(tmp_path_factory.mktemp("oax") / "oax.nc", oax_sounding(reference_sounding_csv))
    return _tarq.TarqFile(mf.path)


def test_omaha_published_lapse_rates(omaha):
    """SHARPpy's published 6.6 (0-3 km) and 8.8 (700-500 hPa) °C/km are lapse
    rates of virtual temperature: with use_virtual ours come within 0.05 °C/km
    (the published values interpolate in log pressure, ours linearly in height
    or pressure, and the virtual correction differs slightly). Of the plain
    temperature they are about 5.8 and 8.4."""
    f = omaha
    assert f.getvar("lapse_rate_0_3km", use_virtual=True)[0, 0] == pytest.approx(6.6, abs=0.1)
    assert f.getvar("lapse_rate_700_500", use_virtual=True)[0, 0] == pytest.approx(8.8, abs=0.1)
    assert f.getvar("lapse_rate_0_3km")[0, 0] == pytest.approx(5.8, abs=0.1)
    assert f.getvar("lapse_rate_700_500")[0, 0] == pytest.approx(8.4, abs=0.1)


def test_parallel_equals_serial(hilly, workers):
    names = [("lapse_rate", {}), ("lapse_rate_700_500", {"use_virtual": True}), ("freezing_level", {}),
             ("wet_bulb_0", {}), ("theta_w", {})]
    workers(lambda: [hilly.getvar(n, **o) for n, o in names])
