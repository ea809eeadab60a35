"""interp_levels: analytic columns through the Python function, the shapes it
accepts, and temperature at 850 hPa on a model file against a NumPy reference."""

from __future__ import annotations

import numpy as np
import pytest

import tarq
from tarq.testing import build_model_file

NZ, NY, NX = 9, 4, 5


def heights() -> np.ndarray:
    """Heights rising with level, different in every column."""
    k = np.arange(NZ)[:, None, None]
    j, i = np.mgrid[0:NY, 0:NX]
    return 50.0 * (j + i)[None] + 400.0 * k + 10.0 * k**2


def pressures() -> np.ndarray:
    k = np.arange(NZ)[:, None, None]
    j, i = np.mgrid[0:NY, 0:NX]
    return (1010.0 - 4.0 * (j + i))[None] * np.exp(-0.15 * k)


def test_linear_in_height_and_in_log_pressure_is_exact():
    z = heights()
    levels = np.array([1000.0, 2000.0, 2600.0])
    out = tarq.interp_levels(3.0 * z - 7.0, z, levels)
    assert out.shape == (3, NY, NX) and out.dtype == np.float64
    np.testing.assert_allclose(out, 3.0 * levels[:, None, None] - 7.0 + 0 * out, rtol=1e-13)

    p = pressures()
    t = 300.0 + 45.0 * np.log(p / 1000.0)
    p_levels = np.array([850.0, 500.0])
    out = tarq.interp_levels(t, p, p_levels, log_p=True)
    np.testing.assert_allclose(out, np.broadcast_to(300.0 + 45.0 * np.log(p_levels / 1000.0)[:, None, None], out.shape),
                               rtol=1e-13)
    # Linear in p instead differs where ln p is curved.
    assert np.abs(tarq.interp_levels(t, p, p_levels) - out).max() > 0.01


def test_outside_the_column_is_nan_unless_extrapolated():
    z = heights()
    field = z / 10.0
    below, above = -1.0, z.max() + 1.0
    out = tarq.interp_levels(field, z, [below, above])
    assert np.isnan(out).all()
    held = tarq.interp_levels(field, z, [below, above], extrapolate=True)
    np.testing.assert_array_equal(held[0], field[0])
    np.testing.assert_array_equal(held[1], field[-1])


def test_coordinate_running_downwards_gives_the_same_values():
    p = pressures()
    t = 250.0 + 0.1 * p + np.sin(np.arange(NZ))[:, None, None]
    levels = [925.0, 600.0, 333.0]
    up = tarq.interp_levels(t, p, levels, log_p=True)
    down = tarq.interp_levels(t[::-1], p[::-1], levels, log_p=True)
    np.testing.assert_allclose(down, up, rtol=1e-14)
    assert not np.isnan(up[:2]).any()


def test_leading_dimensions_with_a_shared_or_own_coordinate():
    z = heights()
    fields = np.stack([z, 2.0 * z, -z])  # [3, nz, ny, nx], as a multi-field row
    shared = tarq.interp_levels(fields, z, [1500.0])
    own = tarq.interp_levels(fields, np.stack([z, z, z]), [1500.0])
    assert shared.shape == (3, 1, NY, NX)
    np.testing.assert_array_equal(shared, own)
    np.testing.assert_allclose(shared[:, 0, 0, 0], [1500.0, 3000.0, -1500.0], rtol=1e-13)
    # Any array-like and dtype: non-contiguous, integer, list of levels.
    strided = tarq.interp_levels(np.asfortranarray(z.astype(np.int64)), z[:, :, ::-1][:, :, ::-1], (1500,))
    np.testing.assert_allclose(strided[0, 0, 0], 1500.0, rtol=1e-13)


@pytest.mark.parametrize("field, vertical, levels, message", [
    (np.zeros((4, 5)), np.zeros((4, 5)), [1.0], "'field' must be [..., nz, ny, nx]"),
    (np.zeros((2, 4, 5)), np.zeros((3, 4, 5)), [1.0], "'vertical' has shape (3, 4, 5)"),
    (np.zeros((2, 2, 4, 5)), np.zeros((3, 2, 4, 5)), [1.0], "'vertical' has shape (3, 2, 4, 5)"),
    (np.zeros((2, 4, 5)), np.zeros((2, 4, 5)), [[1.0]], "'levels' must be 1-D"),
])
def test_shapes_that_do_not_fit_are_refused(field, vertical, levels, message):
    with pytest.raises(ValueError) as err:
        tarq.interp_levels(field, vertical, levels)
    assert message in str(err.value)


def test_temperature_at_850_hpa_on_a_model_file(tmp_path):
    mf = build_model_file(tmp_path / "m.nc", nx=6, ny=5, nz=20, nt=1, noise=0.3, seed=3)
    f = tarq.TarqFile(mf.path)
    t = f.getvar("temp")
    p = f.getvar("pressure") / 100.0
    out = tarq.interp_levels(t, p, [850.0, 1000.0], log_p=True)
    expected = np.empty((f.ny, f.nx))
    for j in range(f.ny):
        for i in range(f.nx):
            # np.interp wants a rising coordinate: -ln p rises with height.
            expected[j, i] = np.interp(-np.log(850.0), -np.log(p[:, j, i]), t[:, j, i])
    np.testing.assert_allclose(out[0], expected, rtol=1e-12)
    # 1000 hPa is below the ground of every column (the sounding starts at 1000 hPa, the grid lies on a hill).
    assert (p[0] < 1000.0).all() and np.isnan(out[1]).all()
