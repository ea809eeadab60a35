"""Simulated reflectivity on model files, against the reflectivity of
exponential size distributions written out here in NumPy, with and without
the snow and graupel fields."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

NX, NY, NZ = 5, 4, 16
# Particle densities (kg m-3) and intercepts (m-4) of rain, snow and graupel.
RHO_RAIN, RHO_SNOW, RHO_GRAUPEL = 1000.0, 100.0, 400.0
N0_RAIN, N0_SNOW, N0_GRAUPEL = 8e6, 2e7, 4e6
DRY_ICE = 0.224  # dielectric factor of ice relative to water (Smith 1984)


def species_z(rho_air, q, rho_x, n0, alpha=1.0):
    """Z (mm6 m-3) = 720 N0 / lambda^7 of N(D) = N0 exp(-lambda D), with the
    slope lambda = (pi rho_x N0 / (rho_air q))^(1/4) (Marshall-Palmer type),
    scaled to an equivalent water sphere by (rho_x / rho_water)^2 alpha."""
    with np.errstate(divide="ignore"):
        lam = (np.pi * rho_x * n0 / (rho_air * q)) ** 0.25
        return 1e18 * 720.0 * n0 * lam ** -7.0 * (rho_x / 1000.0) ** 2 * alpha


def reference_dbz(f: _tarq.TarqFile, qr, qs, qg, snow_present: bool) -> np.ndarray:
    t, p, qv = f.getvar("temp"), f.getvar("pressure"), np.maximum(f.getvar("QVAPOR"), 0.0)
    rho = p / (287.04 * t * (qv + 0.622) / (0.622 * (1.0 + qv)))
    rain, snow, graupel = (np.maximum(q, 0.0) for q in (qr, qs, qg))
    cold = t < 273.15
    if not snow_present:
        rain, snow = np.where(cold, 0.0, rain), np.where(cold, rain, 0.0)
    ice = np.where(t > 273.15, 1.0, DRY_ICE)
    z = (species_z(rho, rain, RHO_RAIN, N0_RAIN) + species_z(rho, snow, RHO_SNOW, N0_SNOW, ice)
         + species_z(rho, graupel, RHO_GRAUPEL, N0_GRAUPEL, ice))
    return 10.0 * np.log10(np.maximum(z, 0.001))


def hydrometeors(seed: int):
    rng = np.random.default_rng(seed)
    # Some negative noise, and zeros, among the precipitation.
    return {name: np.where(rng.random((NZ, NY, NX)) < 0.2, 0.0, rng.uniform(-2e-4, 3e-3, (NZ, NY, NX)))
            for name in ("QRAIN", "QSNOW", "QGRAUP")}


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    """The same precipitation written with all three fields, with rain alone,
    and with none; the freezing level lies inside the column."""
    tmp = tmp_path_factory.mktemp("radar")
    snd = standard_sounding(t_sfc_c=18.0, rh_sfc=0.9, rh_top=0.4)
    fields = hydrometeors(5)
    out = {}
    for label, omit in (("all", ()), ("rain", ("QSNOW", "QGRAUP")), ("none", ("QRAIN", "QSNOW", "QGRAUP"))):
        mf = build_model_file(tmp / f"{label}.nc", nx=NX, ny=NY, nz=NZ, nt=1, sounding=snd, hydrometeors=fields,
                              omit=omit, noise=0.3, seed=2)
        out[label] = (_tarq.TarqFile(mf.path), mf)
    return out


def stored(mf, name):
    return mf.variables[name][0].astype(np.float64) if name in mf.variables else np.zeros((NZ, NY, NX))


@pytest.mark.parametrize("label, snow_present", [("all", True), ("rain", False)])
def test_dbz_against_the_size_distribution(files, label, snow_present):
    f, mf = files[label]
    t = f.getvar("temp")
    assert (t < 273.15).any() and (t > 273.15).any(), "the fixture should straddle freezing"
    expected = reference_dbz(f, stored(mf, "QRAIN"), stored(mf, "QSNOW"), stored(mf, "QGRAUP"), snow_present)
    dbz = f.getvar("dbz")
    assert dbz.shape == (NZ, NY, NX)
    np.testing.assert_allclose(dbz, expected, rtol=1e-13, atol=1e-12)
    assert (dbz > 30.0).any() and (dbz == -30.0).any()
    np.testing.assert_array_equal(f.getvar("maxdbz"), dbz.max(axis=0))


def test_no_precipitation_fields_is_minus_30_everywhere(files):
    f = files["none"][0]
    np.testing.assert_array_equal(f.getvar("dbz"), -30.0)
    np.testing.assert_array_equal(f.getvar("maxdbz"), np.full((NY, NX), -30.0))


@pytest.mark.parametrize("missing", ["QVAPOR", "PB"])
def test_missing_input_is_reported(tmp_path, missing):
    mf = build_model_file(tmp_path / "m.nc", nx=3, ny=2, nz=6, nt=1, omit=(missing,))
    f = _tarq.TarqFile(mf.path)
    for name in ("dbz", "maxdbz"):
        with pytest.raises(RuntimeError, match=missing):
            f.getvar(name)


@pytest.mark.parametrize("species", ["QRAIN", "QSNOW", "QGRAUP"])
def test_short_precipitation_field_is_a_shape_error(tmp_path, species):
    # A field that is there but too small is not taken for an absent one.
    mf = build_model_file(tmp_path / "m.nc", nx=3, ny=2, nz=6, nt=1, overrides={species: np.full((1, 5, 2, 3), 1e-3)})
    with pytest.raises(RuntimeError, match=f"{species} holds 30 values .*needs 36"):
        _tarq.TarqFile(mf.path).getvar("dbz")


def test_aliases(files):
    f = files["all"][0]
    np.testing.assert_array_equal(f.getvar("reflectivity"), f.getvar("dbz"))
    for alias in ("max_reflectivity", "composite_reflectivity"):
        np.testing.assert_array_equal(f.getvar(alias), f.getvar("maxdbz"))


def test_parallel_equals_serial(files, workers):
    f = files["all"][0]
    workers(lambda: [f.getvar(name) for name in ("dbz", "maxdbz")])
