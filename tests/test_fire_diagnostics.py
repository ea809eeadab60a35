"""Fire-weather indices on model files, against NumPy re-implementations from
the raw surface fields and model columns."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, mixing_ratio_from_dewpoint, standard_sounding

NX, NY, NZ = 6, 5, 20


def vapor_pressure(t_c):
    return 6.112 * np.exp(17.67 * t_c / (t_c + 243.5))


def surface(f: _tarq.TarqFile):
    return tuple(f.getvar(n) for n in ("T2", "Q2", "PSFC", "U10", "V10"))


def reference_fosberg(t2, q2, psfc, u10, v10):
    t = t2 - 273.15
    q = np.maximum(q2, 0.0)
    rh = np.clip(100.0 * (psfc / 100.0 * q / (q + 0.622)) / vapor_pressure(t), 0.0, 100.0)
    t_f = t * 9.0 / 5.0 + 32.0
    m = np.where(rh <= 10.0, 0.03229 + 0.281073 * rh - 0.000578 * rh * t_f,
                 np.where(rh <= 50.0, 2.22749 + 0.160107 * rh - 0.01478 * t_f,
                          21.0606 + 0.005565 * rh**2 - 0.00035 * rh * t_f - 0.483199 * rh))
    mph = np.sqrt(u10**2 + v10**2) / 0.44704
    x = np.maximum(m / 30.0, 0.0)
    eta = 1.0 - 2.0 * x + 1.5 * x**2 - 0.5 * x**3
    return np.clip(eta * np.sqrt(1.0 + mph**2) * 10.0 / 3.0, 0.0, 100.0)


def reference_hdw(t2, q2, psfc, u10, v10):
    q = np.maximum(q2, 0.0)
    deficit = vapor_pressure(t2 - 273.15) - psfc / 100.0 * q / (q + 0.622)
    return np.sqrt(u10**2 + v10**2) * np.maximum(deficit, 0.0)


def reference_haines(p, t, q):
    t950, t850, td850 = (np.zeros(p.shape[1:]) for _ in range(3))
    for k in range(p.shape[0] - 1):
        lo, hi = p[k], p[k + 1]
        at950 = (lo >= 950.0) & (hi < 950.0)
        t950 = np.where(at950, t[k + 1] + (t[k] - t[k + 1]) * (950.0 - hi) / (lo - hi), t950)
        at850 = (lo >= 850.0) & (hi < 850.0)
        frac = (850.0 - hi) / (lo - hi)
        q850 = np.maximum(q[k + 1] + (q[k] - q[k + 1]) * frac, 1e-10)
        e = np.maximum(850.0 * q850 / (q850 + 0.622) / 6.112, 1e-10)
        td = 243.5 * np.log(e) / (17.67 - np.log(e))
        t850 = np.where(at850, t[k + 1] + (t[k] - t[k + 1]) * frac, t850)
        td850 = np.where(at850, td, td850)
    s, d = t950 - t850, t850 - td850
    return np.where(s <= 3, 1.0, np.where(s <= 7, 2.0, 3.0)) + np.where(d <= 5, 1.0, np.where(d <= 9, 2.0, 3.0))


@pytest.fixture(scope="module")
def fire(tmp_path_factory):
    """Hot, dry and windy to cool, saturated and calm, over terrain reaching
    above 950 hPa, with a small lake."""
    rng = np.random.default_rng(4)
    terrain = np.linspace(0.0, 2200.0, NX * NY).reshape(NY, NX)
    t2 = rng.uniform(265.0, 315.0, (NY, NX))
    q_sat = mixing_ratio_from_dewpoint(950.0, t2 - 273.15)
    q2 = q_sat * rng.uniform(0.0, 1.2, (NY, NX))
    q2[0, :3] = (-1e-4, 0.0, 2.0 * q_sat[0, 2])
    u10, v10 = rng.uniform(-25.0, 25.0, (2, NY, NX))
    u10[1, :2], v10[1, :2] = 0.0, 0.0
    lu = np.full((NY, NX), 2.0)
    lu[2, 3] = 16.0
    snd = standard_sounding(t_sfc_c=32.0, rh_sfc=0.35, lapse_k_per_km=8.0, rh_top=0.1)
    mf = build_model_file(tmp_path_factory.mktemp("fire") / "fire.nc", nx=NX, ny=NY, nz=NZ, nt=1, sounding=snd,
                          terrain=terrain, lu_index=lu, noise=0.8, seed=6,
                          overrides={"T2": t2, "Q2": q2, "U10": u10, "V10": v10})
    return _tarq.TarqFile(mf.path)


@pytest.mark.parametrize("name, reference", [("fosberg", reference_fosberg), ("hdw", reference_hdw)])
def test_surface_indices(fire, name, reference):
    expected = reference(*surface(fire))
    result = fire.getvar(name)
    assert result.shape == (NY, NX)
    np.testing.assert_allclose(result, expected, rtol=1e-13, atol=1e-13)
    # The raw 2-m fields, whatever lake_interp says.
    np.testing.assert_array_equal(fire.getvar(name, lake_interp=1e6), result)


def test_surface_index_extremes(fire):
    fwi, hdw = fire.getvar("fosberg"), fire.getvar("hdw")
    assert (fwi >= 0.0).all() and (fwi <= 100.0).all() and (fwi == 100.0).any()
    assert hdw[0, 2] == 0.0, "supersaturated air has no deficit"
    assert hdw[1, 0] == 0.0 and hdw[1, 1] == 0.0, "calm air"


def test_haines(fire):
    p, t, q = fire.getvar("pressure") / 100.0, fire.getvar("tc"), fire.getvar("QVAPOR")
    haines = fire.getvar("haines")
    np.testing.assert_array_equal(haines, reference_haines(p, t, q))
    assert (p[0] < 950.0).any() and (p[0] >= 950.0).any(), "the terrain should reach above 950 hPa"
    assert set(np.unique(haines)) <= {2.0, 3.0, 4.0, 5.0, 6.0}
    np.testing.assert_array_equal(fire.getvar("haines", lake_interp=1e6), haines)


def test_haines_single_level_is_two(tmp_path):
    mf = build_model_file(tmp_path / "one.nc", nx=3, ny=2, nz=1, nt=1)
    np.testing.assert_array_equal(_tarq.TarqFile(mf.path).getvar("haines"), 2.0)


@pytest.mark.parametrize("name, missing", [("fosberg", "PSFC"), ("hdw", "V10"), ("haines", "QVAPOR")])
def test_missing_input_is_reported(tmp_path, name, missing):
    mf = build_model_file(tmp_path / "m.nc", nx=3, ny=2, nz=6, nt=1, omit=(missing,))
    with pytest.raises(RuntimeError, match=missing):
        _tarq.TarqFile(mf.path).getvar(name)


def test_aliases(fire):
    for name, aliases in (("fosberg", ("fwi", "fosberg_fire_weather_index")), ("haines", ("haines_index",)),
                          ("hdw", ("hot_dry_windy",))):
        for alias in aliases:
            np.testing.assert_array_equal(fire.getvar(alias), fire.getvar(name))


def test_parallel_equals_serial(fire, workers):
    workers(lambda: [fire.getvar(name) for name in ("fosberg", "haines", "hdw")])
