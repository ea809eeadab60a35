"""Severe-weather composites on model files: each one against its formula
applied in NumPy to the ingredient variables of the same request, the options
each honours or ignores, the 500 hPa edge, and the critical angle against a
NumPy re-computation of its column rule."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

NX, NY, NZ = 6, 5, 24
STORM = (8.0, -3.0)


def veering(z):
    """Earth-relative wind veering and strengthening with height above ground."""
    return 2.0 + 3.5 * np.minimum(z, 8000.0) / 1000.0, 8.0 * np.sin(np.minimum(z, 3000.0) / 3000.0 * np.pi / 2.0)


@pytest.fixture(scope="module")
def storm(tmp_path_factory):
    """Warm, moist and sheared, over a hill, on a grid rotated by 15°, with noise."""
    snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
    mf = build_model_file(tmp_path_factory.mktemp("severe") / "storm.nc", nx=NX, ny=NY, nz=NZ, nt=2, sounding=snd,
                          noise=0.4, seed=7, rotation_deg=15.0, winds=veering)
    return _tarq.TarqFile(mf.path)


def clip0(x):
    return np.where(x > 0.0, x, 0.0)


def clip0n(x):
    return np.where(np.isnan(x) | (x > 0.0), x, 0.0)


def lcl_term(lcl):
    return np.where(lcl >= 2000.0, 0.0, np.where(lcl <= 1000.0, 1.0, (2000.0 - lcl) / 1000.0))


def shear_term(s):
    return np.where(s < 12.5, 0.0, np.where(s >= 30.0, 1.5, s / 20.0))


def stp_fixed(cape, lcl, srh, s):
    return clip0(srh / 150.0) * (clip0(cape / 1500.0) * lcl_term(lcl)) * shear_term(s)


def stp_effective(cape, lcl, cin, srh, s):
    c = clip0n((cin + 200.0) / 150.0)
    return stp_fixed(cape, lcl, srh, s) * np.where(c > 1.0, 1.0, c)


def values_500(f, t):
    """T (°C) and mixing ratio (g/kg) at 500 hPa, linear in pressure in the
    first pair of levels that crosses it; 0 and 0 where none does."""
    p = f.getvar("pressure", timeidx=t) / 100.0
    tc = f.getvar("tc", timeidx=t)
    q = f.getvar("QVAPOR", timeidx=t)
    t500 = np.zeros(p.shape[1:])
    mr = np.zeros(p.shape[1:])
    for j, i in np.ndindex(*t500.shape):
        for k in range(p.shape[0] - 1):
            if p[k, j, i] >= 500.0 and p[k + 1, j, i] < 500.0:
                w = (500.0 - p[k + 1, j, i]) / (p[k, j, i] - p[k + 1, j, i])
                t500[j, i] = tc[k + 1, j, i] + w * (tc[k, j, i] - tc[k + 1, j, i])
                mr[j, i] = max(q[k + 1, j, i] + w * (q[k, j, i] - q[k + 1, j, i]), 0.0) * 1000.0
                break
    return t500, mr


def ship(f, t, **options):
    mucape = f.getvar("mucape", timeidx=t)
    t500, mr = values_500(f, t)
    lr = f.getvar("lapse_rate_700_500", timeidx=t, **options)
    s = f.getvar("shear_0_6km", timeidx=t)
    value = clip0((clip0(-t500) * ((mucape * mr) * lr)) * s / 42000000.0)
    return np.where(mucape <= 0.0, 0.0, value)


def expected(f, name, t, options):
    g = lambda n, **o: f.getvar(n, timeidx=t, **o)  # noqa: E731
    s06 = g("shear_0_6km")
    if name == "bri":
        d = 0.5 * s06 * s06
        return np.where(d > 0.1, g("sbcape") / d, 0.0)
    if name == "ehi":
        return g("sbcape") * g("srh", depth_m=options.get("depth_m", 1000.0)) / 160000.0
    if name == "scp":
        return clip0(s06 / 40.0) * (clip0(g("srh3") / 50.0) * clip0(g("mucape") / 1000.0))
    if name == "stp_fixed":
        return stp_fixed(g("sbcape"), g("lcl"), g("srh1"), s06)
    if name == "stp_effective":
        srh = g("effective_srh", storm_motion=options.get("storm_motion"))
        return stp_effective(g("mlcape"), g("lcl", parcel_type="ml"), g("mlcin"), srh, s06)
    if name == "ship":
        return ship(f, t, use_virtual=options.get("use_virtual"))
    raise AssertionError(name)


COMPOSITE_CASES = [
    ("bri", {}),
    ("ehi", {}),
    ("ehi", {"depth_m": 3000.0}),
    ("scp", {}),
    ("stp_fixed", {}),
    ("stp_effective", {}),
    ("stp_effective", {"storm_motion": STORM}),
    ("ship", {}),
    ("ship", {"use_virtual": True}),
]


@pytest.mark.parametrize("name,options", COMPOSITE_CASES)
def test_composite_from_its_ingredients(storm, name, options):
    got = storm.getvar(name, timeidx=1, **options)
    assert got.shape == (NY, NX)
    np.testing.assert_allclose(got, expected(storm, name, 1, options), rtol=1e-12, atol=1e-12)


def test_the_fixture_is_severe(storm):
    """The identities above are only worth something where the terms are live."""
    for name in ("scp", "stp_fixed", "stp_effective", "ship", "ehi", "bri"):
        assert (storm.getvar(name, timeidx=1) > 0.0).all(), name
    assert (storm.getvar("effective_srh", timeidx=1) > 0.0).all()


def test_stp_chooses_its_form_by_layer_type(storm):
    f = storm
    fixed = f.getvar("stp_fixed")
    effective = f.getvar("stp_effective")
    assert not np.array_equal(fixed, effective)
    for layer_type in (None, "fixed", "Effective", "EFFECTIVE", "effective ", ""):
        np.testing.assert_array_equal(f.getvar("stp", layer_type=layer_type), fixed, err_msg=repr(layer_type))
    np.testing.assert_array_equal(f.getvar("significant_tornado_parameter", layer_type="effective"), effective)
    motion = f.getvar("stp", layer_type="effective", storm_motion=STORM)
    np.testing.assert_array_equal(motion, f.getvar("stp_eff", storm_motion=STORM))


IGNORED = dict(parcel_type="mu", top_m=2500.0, bottom_m=800.0, storm_motion=STORM, depth_m=500.0,
               layer_type="effective", bottom_p=850.0, top_p=300.0, use_virtual=True,
               parcel_pressure=900.0, parcel_temperature=25.0, parcel_dewpoint=20.0)


@pytest.mark.parametrize("name,ignored", [
    ("bri", IGNORED),
    ("ehi", {k: v for k, v in IGNORED.items() if k != "depth_m"}),
    ("scp", IGNORED),
    ("stp_fixed", IGNORED),
    ("stp_effective", {k: v for k, v in IGNORED.items() if k != "storm_motion"}),
    ("ship", {k: v for k, v in IGNORED.items() if k not in ("use_virtual", "bottom_p", "top_p")}),
    ("critical_angle", {**IGNORED, "lake_interp": 1e6}),
])
def test_options_a_composite_does_not_use(storm, name, ignored):
    np.testing.assert_array_equal(storm.getvar(name, **ignored), storm.getvar(name), err_msg=name)


def test_options_a_composite_does_use(storm):
    f = storm
    assert not np.array_equal(f.getvar("stp_effective", storm_motion=STORM), f.getvar("stp_effective"))
    assert not np.array_equal(f.getvar("ehi", depth_m=3000.0), f.getvar("ehi"))
    with pytest.raises(RuntimeError, match="depth_m"):
        f.getvar("ehi", depth_m=float("nan"))
    # use_virtual reaches ship through the lapse rate only; the pressure layer stays 700-500 hPa.
    assert not np.array_equal(f.getvar("ship", use_virtual=True), f.getvar("ship"))
    np.testing.assert_array_equal(f.getvar("ship", bottom_p=850.0, top_p=300.0), f.getvar("ship"))


def test_lake_interp_reaches_the_surface_parcel(tmp_path):
    lu = np.full((5, 5), 2.0)
    lu[2, 2] = 21.0
    t2 = np.full((5, 5), 304.0)
    t2[2, 2] = 292.0
    mf = build_model_file(tmp_path / "lake.nc", nx=5, ny=5, nz=16, nt=1, lu_index=lu, terrain=0.0,
                          sounding=standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5),
                          winds=veering, overrides={"T2": t2})
    f = _tarq.TarqFile(mf.path)
    for name in ("bri", "ehi", "stp_fixed"):
        raw, filled = f.getvar(name), f.getvar(name, lake_interp=1e6)
        changed = raw != filled
        assert changed[2, 2] and changed.sum() == 1, name


def test_ship_is_0_where_the_column_stays_below_500_hpa(tmp_path):
    snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=8.0)
    mf = build_model_file(tmp_path / "low_top.nc", nx=3, ny=2, nz=12, nt=1, sounding=snd, p_top_pa=55000.0)
    f = _tarq.TarqFile(mf.path)
    assert (f.getvar("pressure")[-1] > 50000.0).all()
    assert (f.getvar("mucape") > 0.0).all() and (f.getvar("shear_0_6km") > 0.0).all()
    np.testing.assert_array_equal(f.getvar("ship"), 0.0)


def bunkers_right(u, v, z):
    """Right-mover of a model-level column: level-sampled 0-6 km mean plus
    7.5 m/s to the right of the 0-6 km shear."""
    top = 6000.0
    su, sv, count = u[0] + np.interp(top, z, u), v[0] + np.interp(top, z, v), 2
    for k in range(1, z.size):
        if 0.0 < z[k] < top:
            su, sv, count = su + u[k], sv + v[k], count + 1
        if z[k] >= top:
            break
    mean_u, mean_v = su / count, sv / count
    shear_u = np.interp(top, z, u) - np.interp(0.0, z, u)
    shear_v = np.interp(top, z, v) - np.interp(0.0, z, v)
    mag = np.hypot(shear_u, shear_v)
    if mag < 1e-10:
        return mean_u, mean_v
    return mean_u + 7.5 / mag * shear_v, mean_v - 7.5 / mag * shear_u


def critical_angle(u, v, z):
    cu, cv = bunkers_right(u, v, z)
    u500, v500 = np.interp(500.0, z, u), np.interp(500.0, z, v)
    a = np.array([u[0] - cu, v[0] - cv])
    b = np.array([u500 - u[0], v500 - v[0]])
    na, nb = np.hypot(*a), np.hypot(*b)
    if na < 1e-10 or nb < 1e-10:
        return 0.0
    return np.degrees(np.arccos(np.clip(a @ b / (na * nb), -1.0, 1.0)))


def test_critical_angle(storm):
    f = storm
    got = f.getvar("crit_angle", timeidx=1)
    u, v, z = (f.getvar(n, timeidx=1) for n in ("ua", "va", "height_agl"))
    want = np.array([[critical_angle(u[:, j, i], v[:, j, i], z[:, j, i]) for i in range(NX)] for j in range(NY)])
    np.testing.assert_allclose(got, want, rtol=1e-9, atol=1e-9)
    assert ((got > 0.0) & (got < 180.0)).all()


def test_missing_fields_are_reported(tmp_path):
    mf = build_model_file(tmp_path / "noq2.nc", nx=3, ny=2, nz=10, nt=1, omit=("Q2",))
    f = _tarq.TarqFile(mf.path)
    for name in ("stp", "stp_effective", "scp", "ehi", "ship", "bri"):
        with pytest.raises(RuntimeError, match="Q2"):
            f.getvar(name)
    assert f.getvar("critical_angle").shape == (2, 3)


def test_parallel_equals_serial(storm, workers):
    names = [("stp_fixed", {}), ("stp_effective", {"storm_motion": STORM}), ("scp", {}), ("ehi", {}),
             ("ship", {"use_virtual": True}), ("bri", {}), ("critical_angle", {})]
    workers(lambda: [storm.getvar(n, timeidx=1, **o) for n, o in names])
