"""Thermodynamic diagnostics on model files, against per-point formulas
re-implemented here with Python's math module (same constants and order)."""

from __future__ import annotations

import math

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

ROCP = 0.28571426
KELVIN = 273.15
NAN = float("nan")


# --- scalar references -------------------------------------------------------

def vapor_pressure_exp(t: float) -> float:
    return 6.112 * math.exp(17.67 * t / (t + 243.5))


def wobus(t: float) -> float:
    x = t - 20.0
    if x <= 0.0:
        pol = 1.0 + x * (-0.0088416605 + x * (0.00014714143 + x * (-9.671989e-7 + x * (-3.2607217e-8 + x * (-3.8598073e-10)))))
        return 15.13 / ((pol * pol) * (pol * pol))
    pol = 1.0 + x * (0.0036182989 + x * (-1.3603273e-5 + x * (4.9618922e-7 + x * (-6.1059365e-9 + x * (
        3.9401551e-11 + x * (-1.2588129e-13 + x * 1.668828e-16))))))
    return 29.93 / ((pol * pol) * (pol * pol)) + 0.96 * x - 14.8


def lcl_temperature(t: float, td: float) -> float:
    s = t - td
    return t - s * (1.2185 + 0.001278 * t + s * (-0.00219 + 1.173e-5 * s - 5.2e-6 * t))


def dry_lift(p: float, t: float, td: float) -> tuple[float, float]:
    theta = math.pow(1000.0 / p, ROCP) * (t + KELVIN)
    t_lcl = lcl_temperature(t, td)
    return 1000.0 * math.pow((t_lcl + KELVIN) / theta, 3.5000003150000283), t_lcl


def moist_adiabat_theta(p_lcl: float, t_lcl: float) -> float:
    theta_c = (t_lcl + KELVIN) * math.pow(1000.0 / p_lcl, ROCP) - KELVIN
    return theta_c - wobus(theta_c) + wobus(t_lcl)


def moist_lift(p: float, label: float) -> float:
    # The label is returned only at 1000 hPa itself; above it the same secant
    # iteration runs.
    if abs(p - 1000.0) <= 0.001:
        return label
    r = math.pow(p / 1000.0, ROCP)
    t1 = (label + KELVIN) * r - KELVIN
    e1 = wobus(t1) - wobus(label)
    rate = 1.0
    if abs(e1) < 0.001:
        return t1 - e1
    for n in range(1, 8):
        t2 = t1 - rate * e1
        e2 = (t2 + KELVIN) / r - KELVIN
        e2 = e2 + wobus(t2) - wobus(e2) - label
        rate = (t2 - t1) / (e2 - e1)
        if n == 7 or abs(e2) < 0.001:
            return t2 - rate * e2
        t1, e1 = t2, e2
    raise AssertionError("unreachable")


def wet_bulb(p: float, t: float, td: float) -> float:
    p_lcl, t_lcl = dry_lift(p, t, td)
    return moist_lift(p, moist_adiabat_theta(p_lcl, t_lcl))


def dewpoint_from_q(q: float, p: float) -> float:
    q = q if q > 1e-10 else 1e-10
    e = p * q / (q + 0.622) / 6.112
    e = e if e > 1e-10 else 1e-10
    ln = math.log(e)
    return 243.5 * ln / (17.67 - ln)


def relative_humidity_from_q(p: float, t: float, q: float) -> float:
    q = 0.0 if q < 0.0 else q
    rh = p * q / (q + 0.622) / vapor_pressure_exp(t) * 100.0
    if rh < 0.0:
        return 0.0
    if rh > 100.0:
        return 100.0
    return rh


def theta_e_bolton(p: float, t: float, q: float) -> float:
    t_k = t + KELVIN
    if q <= 0.0:
        return t_k * math.pow(1000.0 / p, ROCP)
    es = vapor_pressure_exp(t)
    rh = relative_humidity_from_q(p, t, q)
    ln = math.log(es * rh / 100.0 / 6.112)
    td = 243.5 * ln / (17.67 - ln)
    td_k = td + KELVIN
    t_l = 1.0 / (1.0 / (td_k - 56.0) + math.log(t_k / td_k) / 800.0) + 56.0
    e = vapor_pressure_exp(td)
    r = 0.62197 * e / (p - e)
    return (t_k * math.pow(1000.0 / (p - e), ROCP) * math.pow(t_k / t_l, 0.28 * r)
            * math.exp((3036.0 / t_l - 1.78) * r * (1.0 + 0.448 * r)))


def virtual_temperature_k(t_k: float, q: float) -> float:
    return t_k * (1.0 + 0.61 * (q if q > 0.0 else 0.0))


def elementwise(fn, *arrays: np.ndarray) -> np.ndarray:
    flat = [np.asarray(a, dtype=np.float64).ravel() for a in arrays]
    return np.array([fn(*map(float, values)) for values in zip(*flat)]).reshape(np.shape(arrays[0]))


def assert_same(actual: np.ndarray, expected: np.ndarray, rtol: float = 1e-12) -> None:
    assert actual.shape == expected.shape
    np.testing.assert_array_equal(np.isnan(actual), np.isnan(expected))
    np.testing.assert_allclose(actual, expected, rtol=rtol, atol=0.0)


# --- fixtures ------------------------------------------------------------------

NX, NY, NZ = 5, 4, 9
# Points of odd moisture: negative, zero, missing, supersaturated.
ODD_POINTS = {(0, 1, 1): -1e-3, (1, 2, 3): 0.0, (2, 0, 4): NAN, (0, 3, 0): 0.5}


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    path = tmp_path_factory.mktemp("thermo")
    plain = build_model_file(path / "plain.nc", nx=NX, ny=NY, nz=NZ, nt=2, noise=0.3, seed=3)
    qv = plain.variables["QVAPOR"].astype(np.float64)
    for (k, j, i), value in ODD_POINTS.items():
        qv[:, k, j, i] = value
    mf = build_model_file(path / "odd.nc", nx=NX, ny=NY, nz=NZ, nt=2, noise=0.3, seed=3,
                          overrides={"QVAPOR": qv})
    return _tarq.TarqFile(mf.path), mf


def inputs(f, t: int = 1) -> dict[str, np.ndarray]:
    p_pa = f.getvar("pressure", timeidx=t)
    t_k = f.getvar("temp", timeidx=t)
    return {"p": p_pa / 100.0, "t_c": f.getvar("tc", timeidx=t), "t_k": t_k,
            "q": f.getvar("QVAPOR", timeidx=t)}


# --- tests -----------------------------------------------------------------------

def test_forwarded_fields(model):
    f, mf = model
    t_k = f.getvar("temp", timeidx=1)
    np.testing.assert_array_equal(f.getvar("tc", timeidx=1), t_k - 273.15)
    np.testing.assert_array_equal(f.getvar("theta", timeidx=1), mf.variables["T"][1].astype(np.float64) + 300.0)
    # mixing_ratio is QVAPOR unchanged, odd values included.
    q = f.getvar("mixing_ratio", timeidx=1)
    np.testing.assert_array_equal(q, mf.variables["QVAPOR"][1].astype(np.float64))
    assert q[0, 1, 1] < 0 and np.isnan(q[2, 0, 4])


PER_POINT = {
    "tv": lambda v: elementwise(virtual_temperature_k, v["t_k"], v["q"]),
    "td": lambda v: elementwise(dewpoint_from_q, v["q"], v["p"]),
    "rh": lambda v: elementwise(relative_humidity_from_q, v["p"], v["t_c"], v["q"]),
    "twb": lambda v: elementwise(lambda p, t, q: wet_bulb(p, t, dewpoint_from_q(q, p)) + KELVIN,
                                 v["p"], v["t_c"], v["q"]),
    "theta_e": lambda v: elementwise(theta_e_bolton, v["p"], v["t_c"], v["q"]),
    "specific_humidity": lambda v: v["q"] / (v["q"] + 1.0),
}


@pytest.mark.parametrize("name", sorted(PER_POINT))
def test_per_point_formula(model, name):
    f, _ = model
    v = inputs(f)
    got = f.getvar(name, timeidx=1)
    assert got.shape == (NZ, NY, NX)
    assert_same(got, PER_POINT[name](v))


def test_odd_moisture(model):
    f, _ = model
    td = f.getvar("td", timeidx=1)
    rh = f.getvar("rh", timeidx=1)
    theta_e = f.getvar("theta_e", timeidx=1)
    tv = f.getvar("tv", timeidx=1)
    t_k = f.getvar("temp", timeidx=1)
    p_hpa = f.getvar("pressure", timeidx=1) / 100.0
    # Floors keep dewpoints finite for zero, negative and missing moisture.
    assert np.isfinite(td).all()
    assert td[2, 0, 4] == dewpoint_from_q(1e-10, p_hpa[2, 0, 4])
    assert rh[0, 1, 1] == 0.0 and rh[1, 2, 3] == 0.0 and rh[0, 3, 0] == 100.0
    assert np.isnan(rh[2, 0, 4])
    # Dry air: the potential temperature (the mended ln 0 of the Bolton form).
    theta = t_k * (1000.0 / p_hpa) ** ROCP
    for k, j, i in [(0, 1, 1), (1, 2, 3)]:
        assert theta_e[k, j, i] == pytest.approx(theta[k, j, i], rel=1e-12)
    assert np.isnan(theta_e[2, 0, 4])
    # Negative or missing moisture counts as dry in the virtual temperature.
    for k, j, i in [(0, 1, 1), (2, 0, 4)]:
        assert tv[k, j, i] == t_k[k, j, i]
    sh = f.getvar("specific_humidity", timeidx=1)
    q = float(np.float32(-1e-3))
    assert sh[0, 1, 1] == q / (q + 1.0) and np.isnan(sh[2, 0, 4])


def test_wet_bulb_of_saturated_air_is_its_temperature(tmp_path):
    # Saturated air, at sea-level pressure as well: the wet-bulb temperature is
    # the temperature itself (the moist adiabat is followed above 1000 hPa too).
    snd = standard_sounding(p_sfc_hpa=1013.0, rh_sfc=1.0, rh_top=1.0)
    mf = build_model_file(tmp_path / "sat.nc", nx=3, ny=2, nz=20, nt=1, sounding=snd, terrain=0.0)
    f = _tarq.TarqFile(mf.path)
    t_k = f.getvar("temp")
    assert f.getvar("pressure")[0].min() > 100500.0
    # Float32 storage leaves dewpoint and temperature a few 1e-5 K apart.
    td_c = f.getvar("td")
    assert np.abs(td_c - (t_k - KELVIN)).max() < 1e-3
    np.testing.assert_allclose(f.getvar("twb"), t_k, atol=2e-3, rtol=0.0)


def pw_reference(p_pa: np.ndarray, q: np.ndarray) -> np.ndarray:
    if p_pa[-1, 0, 0] > p_pa[0, 0, 0]:
        p_pa, q = p_pa[::-1], q[::-1]
    qq = np.where(q > 0.0, q, 0.0)
    out = np.zeros(p_pa.shape[1:])
    for k in range(p_pa.shape[0] - 1):
        out += 0.5 * (qq[k] + qq[k + 1]) * np.abs(p_pa[k] - p_pa[k + 1])
    return out / 9.80665


def test_precipitable_water(model, tmp_path):
    f, mf = model
    p_pa = f.getvar("pressure", timeidx=0)
    q = f.getvar("QVAPOR", timeidx=0)
    pw = f.getvar("pw", timeidx=0)
    assert pw.shape == (NY, NX)
    assert_same(pw, pw_reference(p_pa, q))
    assert 20.0 < np.median(pw) < 60.0

    # The same columns stored top-down integrate to the same values.
    flipped = {name: mf.variables[name][:, ::-1] for name in ("P", "PB", "QVAPOR")}
    mf2 = build_model_file(tmp_path / "flipped.nc", nx=NX, ny=NY, nz=NZ, nt=2, noise=0.3, seed=3,
                           overrides=flipped)
    np.testing.assert_array_equal(_tarq.TarqFile(mf2.path).getvar("pw", timeidx=0), pw)


def test_precipitable_water_single_level_is_zero(tmp_path):
    mf = build_model_file(tmp_path / "one.nc", nx=3, ny=2, nz=1, nt=1)
    np.testing.assert_array_equal(_tarq.TarqFile(mf.path).getvar("pw"), np.zeros((2, 3)))


# A one-point lake in the middle of a 5 x 5 grid, with uniform land around it.
LAKE = (2, 2)


@pytest.fixture(scope="module")
def lake_file(tmp_path_factory):
    lu = np.full((5, 5), 2.0)
    lu[LAKE] = 21.0
    t2 = np.full((5, 5), 300.0)
    q2 = np.full((5, 5), 0.012)
    t2[LAKE], q2[LAKE] = 290.0, 0.020
    mf = build_model_file(tmp_path_factory.mktemp("lake") / "lake.nc", nx=5, ny=5, nz=6, nt=1, lu_index=lu,
                          terrain=0.0, overrides={"T2": t2, "Q2": q2})
    return _tarq.TarqFile(mf.path), mf


def test_two_metre_fields(lake_file):
    f, mf = lake_file
    t2 = mf.variables["T2"][0].astype(np.float64)
    q2 = mf.variables["Q2"][0].astype(np.float64)
    ps = mf.variables["PSFC"][0].astype(np.float64)
    np.testing.assert_array_equal(f.getvar("t2"), t2)
    np.testing.assert_array_equal(f.getvar("t2", lake_interp=0.0), t2)
    assert_same(f.getvar("tv2m"), elementwise(virtual_temperature_k, t2, q2))
    assert_same(f.getvar("rh2m"), elementwise(lambda p, t, q: relative_humidity_from_q(p / 100.0, t - KELVIN, q),
                                              ps, t2, q2))
    assert_same(f.getvar("dp2m"), elementwise(lambda q, p: dewpoint_from_q(q, p / 100.0), q2, ps))


def test_two_metre_fields_fill_lakes_on_request(lake_file):
    f, mf = lake_file
    ps = mf.variables["PSFC"][0].astype(np.float64)
    # Uniform land around the lake: the filled values are the land values.
    t2 = np.full((5, 5), 300.0)
    q2 = np.full((5, 5), np.float64(np.float32(0.012)))
    area = 1e6  # km2: any lake is small enough
    np.testing.assert_allclose(f.getvar("t2", lake_interp=area), t2, rtol=1e-15)
    assert_same(f.getvar("tv2m", lake_interp=area), elementwise(virtual_temperature_k, t2, q2), rtol=1e-14)
    assert_same(f.getvar("rh2m", lake_interp=area),
                elementwise(lambda p, t, q: relative_humidity_from_q(p / 100.0, t - KELVIN, q), ps, t2, q2),
                rtol=1e-13)
    assert_same(f.getvar("dp2m", lake_interp=area), elementwise(lambda q, p: dewpoint_from_q(q, p / 100.0), q2, ps),
                rtol=1e-13)
    assert f.getvar("dp2m")[LAKE] > f.getvar("dp2m", lake_interp=area)[LAKE] + 5.0


def test_parallel_equals_serial(model, workers):
    f, _ = model
    names = ["tv", "td", "rh", "twb", "theta_e", "specific_humidity", "pw", "rh2m", "dp2m", "tv2m"]
    workers(lambda: [f.getvar(n, timeidx=1) for n in names])
