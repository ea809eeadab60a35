"""The HDF5 reader against h5py on files written by netCDF4-python and h5py:
every supported dataset value for value, the unsupported ones with their
error, attributes, member tables and one-index slab reads."""

from __future__ import annotations

import re
from pathlib import Path

import h5py
import numpy as np
import pytest

import h5_corpus
from tarq import _tarq


@pytest.fixture(scope="session")
def corpus(tmp_path_factory) -> dict[str, Path]:
    return h5_corpus.write_all(tmp_path_factory.mktemp("h5_corpus"))


def _root_datasets(path: Path) -> dict[str, h5py.Dataset]:
    f = h5py.File(path, "r")
    return {name: f[name] for name in f
            if isinstance(f.get(name, getlink=True), h5py.HardLink) and isinstance(f[name], h5py.Dataset)}


def _is_netcdf_dimension(ds: h5py.Dataset) -> bool:
    return ds.attrs.get("CLASS") == b"DIMENSION_SCALE" and ds.id.get_storage_size() == 0


def _expected_empty(name: str, ds: h5py.Dataset) -> bool:
    return name in h5_corpus.NOT_STORED or _is_netcdf_dimension(ds)


def _oracle(ds: h5py.Dataset) -> np.ndarray:
    data = ds[()]
    if ds.dtype.kind == "S":
        return np.frombuffer(np.ascontiguousarray(data).tobytes(), dtype="u1").astype("f8")
    return np.asarray(data, dtype="f8").ravel()


@pytest.mark.parametrize("file_name", [w for w in h5_corpus.WRITERS if w not in ("dense_heap", "old_style_big")])
def test_every_dataset_matches_h5py(corpus, file_name):
    path = corpus[file_name]
    unsupported = h5_corpus.UNSUPPORTED.get(file_name, {})
    checked = 0
    for name, ds in _root_datasets(path).items():
        if name in unsupported:
            with pytest.raises(RuntimeError) as err:
                _tarq._h5_read(str(path), name)
            assert re.fullmatch("NetCDF error: (?:" + unsupported[name] + ")", str(err.value)), str(err.value)
            continue
        values = _tarq._h5_read(str(path), name)
        assert values.dtype == np.float64
        if _expected_empty(name, ds):
            assert values.size == 0, name
            continue
        np.testing.assert_array_equal(values, _oracle(ds), err_msg=f"{file_name}:{name}")
        assert _tarq._h5_shape(str(path), name) == ds.shape
        checked += 1
    assert checked > 0


@pytest.mark.parametrize("file_name", ["netcdf4", "model_like", "h5py_earliest", "h5py_creation_order"])
def test_slab_reads_match_whole_reads(corpus, file_name):
    path = str(corpus[file_name])
    unsupported = h5_corpus.UNSUPPORTED.get(file_name, {})
    for name, ds in _root_datasets(corpus[file_name]).items():
        if name in unsupported or ds.ndim == 0:
            continue
        whole = _tarq._h5_read(path, name)
        slab = int(np.prod(ds.shape[1:]))
        for index in sorted({0, ds.shape[0] // 2, ds.shape[0] - 1, ds.shape[0]}):
            expected = whole[index * slab:(index + 1) * slab]
            np.testing.assert_array_equal(_tarq._h5_read_slab(path, name, index), expected,
                                          err_msg=f"{file_name}:{name}[{index}]")


def test_raw_bytes_of_time_strings(corpus):
    path = corpus["model_like"]
    raw = _tarq._h5_read_bytes(str(path), "Times")
    with h5py.File(path) as f:
        assert raw == f["Times"][()].tobytes()
    assert raw[:19] == b"2024-05-01_00:00:00"


def test_member_table_keeps_only_hard_links(corpus):
    members, _ = _tarq._h5_names(str(corpus["h5py_earliest"]))
    assert "soft_link" not in members and "external_link" not in members
    assert {"hard_alias", "subgroup", "contiguous_f8"} <= set(members)
    np.testing.assert_array_equal(_tarq._h5_read(str(corpus["h5py_earliest"]), "hard_alias"),
                                  _tarq._h5_read(str(corpus["h5py_earliest"]), "contiguous_f8"))
    with pytest.raises(RuntimeError, match="^variable not found in TARQ file: soft_link$"):
        _tarq._h5_read(str(corpus["h5py_earliest"]), "soft_link")


@pytest.mark.parametrize("file_name", ["h5py_earliest", "h5py_default", "h5py_latest", "h5py_creation_order"])
@pytest.mark.parametrize("name, expected", [
    ("DX", 3000.0), ("DY_f8", -2500.125), ("MINUS_FIVE", -5.0), ("BIG_U4", 3_000_000_000.0), ("BE_F8", 6.5),
    ("ARRAY_F4", 1.5),
])
def test_numeric_attributes(corpus, file_name, name, expected):
    assert _tarq._h5_attr(str(corpus[file_name]), name) == expected


@pytest.mark.parametrize("name", ["TITLE", "I8", "BYTE", "COMMITTED"])
def test_non_numeric_attributes(corpus, name):
    with pytest.raises(RuntimeError, match=f"^unexpected attribute type: '{name}' is not numeric$"):
        _tarq._h5_attr(str(corpus["h5py_earliest"]), name)


def test_missing_attribute(corpus):
    with pytest.raises(RuntimeError, match="^global attribute not found: NOPE$"):
        _tarq._h5_attr(str(corpus["netcdf4"]), "NOPE")


@pytest.mark.parametrize("file_name", ["netcdf4", "netcdf4_classic", "model_like"])
def test_netcdf_global_attributes(corpus, file_name):
    path = corpus[file_name]
    _, attributes = _tarq._h5_names(str(path))
    with h5py.File(path) as f:
        expected = {k for k in f.attrs}
        assert set(attributes) == expected
        for name in expected:
            value = f.attrs[name]
            if isinstance(value, (bytes, str)) or np.asarray(value).dtype.kind in "SUO":
                with pytest.raises(RuntimeError, match="is not numeric"):
                    _tarq._h5_attr(str(path), name)
            else:
                assert _tarq._h5_attr(str(path), name) == np.asarray(value).ravel()[0].item()


def test_dense_storage_reaches_child_indirect_blocks(corpus):
    """25,000 links and 700 attributes of up to 3 kB: both fractal heaps grow
    past the direct rows of their root indirect block. An attribute of 8 kB
    is a huge object, found through the heap's huge-object B-tree."""
    path = corpus["dense_heap"]
    members, attributes = _tarq._h5_names(str(path))
    assert len(members) == h5_corpus.DENSE_LINKS + 1
    assert len(attributes) == h5_corpus.DENSE_ATTRS + 1
    np.testing.assert_array_equal(_tarq._h5_read(str(path), "link_24999"), np.arange(12.0))
    with h5py.File(path) as f:
        for name in ("attr_0001", "attr_0699", "attr_0555"):
            assert _tarq._h5_attr(str(path), name) == float(f.attrs[name])
        assert _tarq._h5_attr(str(path), "attr_0698") == f.attrs["attr_0698"][0]
        assert _tarq._h5_attr(str(path), "huge_attr") == f.attrs["huge_attr"][0]


def test_old_style_group_with_a_deep_symbol_table(corpus):
    path = corpus["old_style_big"]
    members, attributes = _tarq._h5_names(str(path))
    assert len(members) == h5_corpus.OLD_STYLE_LINKS + 1
    assert attributes == ["DX"]
    np.testing.assert_array_equal(_tarq._h5_read(str(path), "member_0599"), np.arange(5.0))
    with open(path, "rb") as f:
        data = f.read()
    levels = {data[i + 5] for i in range(len(data) - 6) if data[i:i + 5] == b"TREE\x00"}
    assert max(levels) >= 1
