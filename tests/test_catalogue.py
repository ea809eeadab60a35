"""Every catalogue row, and every alias, against its declaration on the
shipped sample file: the shape getvar returns, and the field labels the
summary and the xarray layer give a multi-field row (its leading axis)."""

import numpy as np
import pytest

import tarq
from tarq import _tarq
from tarq.summary import split_components
from tarq.xarray import open_getvar

ROWS = _tarq._catalogue()


@pytest.fixture(scope="module")
def sample():
    return tarq.TarqFile(tarq.sample_path())


@pytest.mark.parametrize("row", ROWS, ids=[row["name"] for row in ROWS])
def test_every_row_matches_its_declaration(sample, row):
    fields = row["fields"]
    values = sample.getvar(row["name"])
    assert values.dtype == np.float64
    assert values.shape == (len(fields),) * bool(fields) + (sample.nz,) * row["is_3d"] + (sample.ny, sample.nx)
    for name in (row["name"], *row["aliases"]):
        labels = [label for label, _, _ in split_components(name, values, row["units"])]
        assert labels == ([f"{name}.{field}" for field in fields] if fields else [name])
    if fields:
        array = open_getvar(tarq.sample_path(), row["name"], times=0)
        assert array.dims[1] == "Time" and tuple(array[array.dims[0]].values) == fields
        np.testing.assert_array_equal(array.isel(Time=0).values, values)
