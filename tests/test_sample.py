"""The shipped sample file: what tools/make_sample.py makes, installed with
the package, and a file on which every catalogue row has something to show."""

from __future__ import annotations

import runpy
from pathlib import Path

import netCDF4
import numpy as np
import pytest

import tarq

ROOT = Path(__file__).resolve().parent.parent


def stored(path) -> dict[str, np.ndarray]:
    with netCDF4.Dataset(path) as ds:
        ds.set_auto_mask(False)
        return {name: np.asarray(var[...]) for name, var in ds.variables.items()}


@pytest.fixture(scope="module")
def sample():
    return tarq.TarqFile(tarq.sample_path())


def test_committed_sample_is_what_the_script_makes(tmp_path):
    script = runpy.run_path(str(ROOT / "tools" / "make_sample.py"))
    made = tmp_path / "sample.nc"
    script["build"](made)
    fresh, committed = stored(made), stored(tarq.sample_path())
    assert fresh.keys() == committed.keys()
    for name, values in fresh.items():
        if values.dtype.kind != "f":
            np.testing.assert_array_equal(values, committed[name], err_msg=name)
            continue
        # Another NumPy may round a last bit differently, moving a value by
        # one of the script's rounding steps at most.
        np.testing.assert_allclose(values, committed[name], rtol=1e-6, atol=script["STEPS"].get(name, 0.0),
                                   err_msg=name)
    # The installed copy is the one in the source tree.
    assert tarq.sample_path().read_bytes() == (ROOT / "python" / "tarq" / "data" / "sample.nc").read_bytes()


def test_sample_is_small_and_opens(sample):
    assert tarq.sample_path().stat().st_size <= 2_000_000
    assert (sample.nx, sample.ny, sample.nz, sample.nt) == (60, 60, 40, 3)
    assert sample.times() == ["2024-05-20_20:00:00", "2024-05-20_21:00:00", "2024-05-20_22:00:00"]


@pytest.mark.parametrize("name", [row[0] for row in tarq.list_variables()])
def test_every_row_varies_over_the_sample(sample, name):
    values = sample.getvar(name, timeidx=2)
    finite = values[np.isfinite(values)]
    assert finite.size > 0.5 * values.size
    assert finite.min() < finite.max(), f"{name} is constant over the sample"


def test_lake_differs_from_the_land_around_it(sample):
    raw = sample.getvar("t2", timeidx=0)
    filled = sample.getvar("t2", timeidx=0, lake_interp=1000.0)
    changed = raw != filled
    assert 20 < changed.sum() < 100
    assert (filled[changed] - raw[changed]).min() > 2.0
