"""Sea-level pressure and omega on model files: a standard atmosphere reduced
back to its own sea-level pressure, omega against the ideal gas law, moisture
and level-count edge cases."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

SEA_LEVEL_HPA = 1013.25
TERRAIN_M = np.array([[0.0, 150.0, 400.0, 800.0, 1200.0], [1600.0, 2000.0, 2500.0, 3000.0, 50.0]])


@pytest.fixture(scope="module")
def standard(tmp_path_factory):
    """A standard atmosphere (15 °C and 1013.25 hPa at sea level, 6.5 K/km)
    laid over terrain from 0 to 3000 m."""
    snd = standard_sounding(t_sfc_c=15.0, p_sfc_hpa=SEA_LEVEL_HPA, rh_sfc=0.7, rh_top=0.1)
    mf = build_model_file(tmp_path_factory.mktemp("slp") / "standard.nc", nx=5, ny=2, nz=30, nt=2, sounding=snd,
                          terrain=TERRAIN_M, w_max_ms=3.0, warming_k_per_time=0.0, psfc_change_pa_per_time=0.0)
    return _tarq.TarqFile(mf.path)


def test_slp_recovers_the_sea_level_pressure_of_the_atmosphere(standard):
    slp = standard.getvar("slp")
    assert slp.shape == (2, 5)
    # The reduction assumes its own sea-level temperature, so it is close, not exact.
    np.testing.assert_allclose(slp, SEA_LEVEL_HPA, atol=2.0)
    np.testing.assert_array_equal(standard.getvar("slp", units="Pa"), slp * 100.0)


def test_omega_is_minus_rho_g_w(standard):
    f = standard
    p, t, qv, w = f.getvar("pressure"), f.getvar("temp"), f.getvar("QVAPOR"), f.getvar("wa")
    rho = p / (287.058 * t * (1.0 + 0.61 * np.maximum(qv, 0.0)))
    omega = f.getvar("omega")
    assert omega.shape == p.shape
    np.testing.assert_allclose(omega, -rho * 9.80665 * w, rtol=1e-14, atol=1e-300)
    # The fixture's updraft is rising air everywhere it is not calm.
    assert (w >= 0.0).all() and (w > 0.1).any()
    assert (omega[w > 0.0] < 0.0).all()


def test_negative_moisture_counts_as_dry(tmp_path):
    nz, ny, nx = 12, 3, 4
    dry = build_model_file(tmp_path / "dry.nc", nx=nx, ny=ny, nz=nz, nt=1,
                           overrides={"QVAPOR": np.zeros((nz, ny, nx))})
    wet_noise = -np.linspace(1e-4, 3e-3, nz * ny * nx).reshape(nz, ny, nx)
    noisy = build_model_file(tmp_path / "noisy.nc", nx=nx, ny=ny, nz=nz, nt=1, overrides={"QVAPOR": wet_noise})
    a, b = _tarq.TarqFile(dry.path), _tarq.TarqFile(noisy.path)
    for name in ("slp", "omega"):
        np.testing.assert_array_equal(b.getvar(name), a.getvar(name))


def test_single_level_file(tmp_path):
    mf = build_model_file(tmp_path / "one.nc", nx=3, ny=2, nz=1, nt=1)
    f = _tarq.TarqFile(mf.path)
    with pytest.raises(RuntimeError, match="sea-level pressure needs at least two levels"):
        f.getvar("slp")
    assert f.getvar("omega").shape == (1, 2, 3)


@pytest.mark.parametrize("name, missing", [("slp", "QVAPOR"), ("slp", "PHB"), ("omega", "W"), ("omega", "QVAPOR")])
def test_missing_input_is_reported(tmp_path, name, missing):
    mf = build_model_file(tmp_path / "m.nc", nx=3, ny=2, nz=6, nt=1, omit=(missing,))
    with pytest.raises(RuntimeError, match=missing):
        _tarq.TarqFile(mf.path).getvar(name)


def test_aliases(standard):
    for name, aliases in (("slp", ("sea_level_pressure", "mslp")), ("omega", ("vertical_velocity_pressure",))):
        for alias in aliases:
            np.testing.assert_array_equal(standard.getvar(alias), standard.getvar(name))


def test_parallel_equals_serial(tmp_path, workers):
    mf = build_model_file(tmp_path / "noisy.nc", nx=7, ny=5, nz=13, nt=1, noise=0.5, seed=3)
    f = _tarq.TarqFile(mf.path)
    workers(lambda: [f.getvar(name) for name in ("slp", "omega")])
