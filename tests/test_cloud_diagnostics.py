"""Cloud-top temperature and cloud fraction on model files, against a NumPy
re-implementation, with the layer bounds on exact model pressures and files
without cloud ice or without any condensate field."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file

NX, NY = 6, 3
# Exact model pressures (Pa), with levels on the 800 and 450 hPa layer bounds.
LEVELS_PA = np.array([100000, 95000, 90000, 85000, 80000, 72000, 65000, 55000, 45000, 35000, 25000, 15000,
                      10000, 7000], dtype=np.float64)
NZ = LEVELS_PA.size
K800, K450 = 4, 8
LAYERS_HPA = ((800.0, 1100.0), (450.0, 800.0), (0.0, 450.0))


def condensate_fields():
    rng = np.random.default_rng(9)
    qc = rng.uniform(-2e-6, 4e-6, (NZ, NY, NX))
    qi = rng.uniform(-2e-6, 4e-6, (NZ, NY, NX))
    row = slice(None), 0
    qc[row], qi[row] = 0.0, 0.0
    qc[0, 0, 1] = 1e-4                       # cloud only at the lowest level
    qc[K800, 0, 2] = 5e-5                    # cloud only at 800 hPa
    qi[K450, 0, 3] = 2e-5                    # ice only at 450 hPa
    qc[10, 0, 4], qi[10, 0, 4] = 6e-7, 6e-7  # cloudy only together
    qc[10, 0, 5], qi[10, 0, 5] = -1e-3, 5e-7  # noise does not cancel ice
    return qc, qi


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    tmp = tmp_path_factory.mktemp("cloud")
    qc, qi = condensate_fields()
    pressure = {"P": np.zeros((NZ, NY, NX)), "PB": np.broadcast_to(LEVELS_PA[:, None, None], (NZ, NY, NX))}
    out = {}
    for label, omit in (("both", ()), ("water", ("QICE",)), ("none", ("QCLOUD", "QICE"))):
        mf = build_model_file(tmp / f"{label}.nc", nx=NX, ny=NY, nz=NZ, nt=1, hydrometeors={"QCLOUD": qc, "QICE": qi},
                              overrides=pressure, omit=omit)
        out[label] = (_tarq.TarqFile(mf.path), mf)
    return out


def reference(f: _tarq.TarqFile, mf) -> tuple[np.ndarray, np.ndarray]:
    zeros = np.zeros((NZ, NY, NX))
    qc, qi = (mf.variables[n][0].astype(np.float64) if n in mf.variables else zeros for n in ("QCLOUD", "QICE"))
    cond = np.maximum(qc, 0.0) + np.maximum(qi, 0.0)
    cloudy = cond > 1e-6
    tc = f.getvar("tc")
    top = NZ - 1 - np.argmax(cloudy[::-1], axis=0)
    ctt = np.where(cloudy.any(axis=0), np.take_along_axis(tc, top[None], axis=0)[0], -80.0)
    p_hpa = f.getvar("pressure") / 100.0
    frac = [np.where(np.where((p_hpa >= lo) & (p_hpa <= hi), cond, 0.0).max(axis=0) > 1e-6, 100.0, 0.0)
            for lo, hi in LAYERS_HPA]
    return ctt, np.stack(frac)


@pytest.mark.parametrize("label", ["both", "water", "none"])
def test_against_reference(files, label):
    f, mf = files[label]
    ctt, frac = reference(f, mf)
    np.testing.assert_array_equal(f.getvar("ctt"), ctt)
    cloudfrac = f.getvar("cloudfrac")
    assert cloudfrac.shape == (3, NY, NX)
    np.testing.assert_array_equal(cloudfrac, frac)


def test_edge_columns(files):
    f = files["both"][0]
    ctt, frac, tc = f.getvar("ctt"), f.getvar("cloudfrac"), f.getvar("tc")
    np.testing.assert_array_equal(f.getvar("pressure")[[K800, K450], 0, 0], [80000.0, 45000.0])
    assert ctt[0, 0] == -80.0 and (frac[:, 0, 0] == 0.0).all()
    assert ctt[0, 1] == tc[0, 0, 1]
    np.testing.assert_array_equal(frac[:, 0, 2], [100.0, 100.0, 0.0])
    np.testing.assert_array_equal(frac[:, 0, 3], [0.0, 100.0, 100.0])
    assert ctt[0, 4] == tc[10, 0, 4] and ctt[0, 5] == -80.0
    # Without cloud ice, the ice-only and the shared-condensate columns are clear.
    water = files["water"][0]
    assert water.getvar("ctt")[0, 3] == -80.0 and water.getvar("ctt")[0, 4] == -80.0


def test_no_condensate_fields_is_clear(files):
    f = files["none"][0]
    np.testing.assert_array_equal(f.getvar("ctt"), -80.0)
    np.testing.assert_array_equal(f.getvar("cloudfrac"), 0.0)


def test_aliases(files):
    f = files["both"][0]
    np.testing.assert_array_equal(f.getvar("cloud_top_temperature"), f.getvar("ctt"))
    np.testing.assert_array_equal(f.getvar("cloud_fraction"), f.getvar("cloudfrac"))


@pytest.mark.parametrize("name, missing", [("ctt", "P"), ("cloudfrac", "PB")])
def test_missing_input_is_reported(tmp_path, name, missing):
    mf = build_model_file(tmp_path / "m.nc", nx=3, ny=2, nz=6, nt=1, omit=(missing,))
    with pytest.raises(RuntimeError, match=missing):
        _tarq.TarqFile(mf.path).getvar(name)


@pytest.mark.parametrize("name", ["ctt", "cloudfrac"])
def test_short_condensate_field_is_a_shape_error(tmp_path, name):
    mf = build_model_file(tmp_path / "m.nc", nx=3, ny=2, nz=6, nt=1, overrides={"QICE": np.full((1, 5, 2, 3), 1e-3)})
    with pytest.raises(RuntimeError, match="QICE holds 30 values .*needs 36"):
        _tarq.TarqFile(mf.path).getvar(name)


def test_parallel_equals_serial(files, workers):
    f = files["both"][0]
    workers(lambda: [f.getvar(name) for name in ("ctt", "cloudfrac")])
