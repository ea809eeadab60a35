"""Classic netCDF files, packed variables and surface-only files: the same
grid, times and values as a netCDF-4 file written from the same arrays, with
netCDF4-python as the oracle of the stored values."""

from __future__ import annotations

import numpy as np
import netCDF4
import pytest

from tarq import _tarq
from tarq.testing import PACKED_FILL, build_model_file, read_unpacked, write_netcdf

CLASSIC = ["NETCDF3_CLASSIC", "NETCDF3_64BIT_OFFSET", "NETCDF3_64BIT_DATA"]
ROWS = [row[0] for row in _tarq.list_variables()]


def _outcome(f: _tarq.TarqFile, name: str, t: int):
    try:
        return f.getvar(name, timeidx=t)
    except RuntimeError as e:
        return str(e)


@pytest.fixture(scope="module")
def same_arrays(tmp_path_factory) -> dict[str, str]:
    """One model file in every format, from the same seeded arrays."""
    directory = tmp_path_factory.mktemp("formats")
    return {fmt: build_model_file(directory / f"{fmt}.nc", noise=0.3, seed=5, file_format=fmt).path
            for fmt in ["NETCDF4"] + CLASSIC}


@pytest.mark.parametrize("fmt", CLASSIC)
def test_classic_file_gives_the_netcdf4_results(same_arrays, fmt):
    ref, classic = _tarq.TarqFile(same_arrays["NETCDF4"]), _tarq.TarqFile(same_arrays[fmt])
    for attr in ("nx", "ny", "nz", "nt", "dx", "dy"):
        assert getattr(classic, attr) == getattr(ref, attr), attr
    assert classic.times() == ref.times()
    for name in ROWS + ["PSFC", "XTIME", "HGT", "U"]:
        expected = _outcome(ref, name, 1)
        got = _outcome(classic, name, 1)
        if isinstance(expected, str):
            assert got == expected, name
        else:
            np.testing.assert_array_equal(got, expected, err_msg=name)


@pytest.mark.parametrize("fmt", CLASSIC)
def test_classic_reader_matches_netcdf4_python(tmp_path, fmt):
    """Every type the format has, record and fixed-size variables, read whole
    and one first-dimension index at a time."""
    rng = np.random.default_rng(7)
    kinds = ["i1", "S1", "i2", "i4", "f4", "f8"] + (["u1", "u2", "u4", "i8", "u8"] if fmt.endswith("DATA") else [])
    path = tmp_path / "types.nc"
    with netCDF4.Dataset(path, "w", format=fmt) as ds:
        ds.createDimension("Time", None)
        ds.createDimension("y", 3)
        ds.createDimension("x", 5)
        for kind in kinds:
            for dims in (("Time", "y", "x"), ("y", "x")):
                var = ds.createVariable(f"{kind}_{len(dims)}d", kind, dims)
                shape = (4, 3, 5)[3 - len(dims):]
                if kind == "S1":
                    data = rng.integers(32, 127, shape).astype("u1").view("S1")
                elif kind.startswith("f"):
                    data = rng.normal(0, 100, shape).astype(kind)
                else:
                    info = np.iinfo(kind)
                    data = rng.integers(info.min, info.max, shape, endpoint=True, dtype=kind)
                var[...] = data
        ds.createVariable("scalar", "f8", ())[...] = 2.5
        ds.createVariable("series", "f4", ("Time",))[:] = np.arange(4, dtype="f4")
        ds.DX = np.float32(3000.0)
        ds.STEP = np.int32(-5)
        ds.TITLE = "classic"
    with netCDF4.Dataset(path) as ds:
        ds.set_auto_maskandscale(False)
        for name, var in ds.variables.items():
            data = np.asarray(var[...])
            expected = (data.view("u1") if data.dtype.kind == "S" else data).astype("f8").ravel()
            np.testing.assert_array_equal(_tarq._h5_read(str(path), name), expected, err_msg=name)
            assert _tarq._h5_shape(str(path), name) == var.shape
            if var.ndim:
                slab = expected.size // var.shape[0]
                for index in (0, var.shape[0] - 1, var.shape[0]):
                    np.testing.assert_array_equal(_tarq._h5_read_slab(str(path), name, index),
                                                  expected[index * slab:(index + 1) * slab], err_msg=name)
    assert _tarq._h5_attr(str(path), "DX") == 3000.0
    assert _tarq._h5_attr(str(path), "STEP") == -5.0
    with pytest.raises(RuntimeError, match="^unexpected attribute type: 'TITLE' is not numeric$"):
        _tarq._h5_attr(str(path), "TITLE")
    assert _tarq._h5_names(str(path)) == (sorted(ds.variables), ["DX", "STEP", "TITLE"])


PACKED = ("T", "P", "QVAPOR", "T2", "PSFC", "U10", "V10")


@pytest.mark.parametrize("fmt", ["NETCDF4", "NETCDF3_CLASSIC"])
def test_packed_variables_are_unpacked(tmp_path, fmt):
    mf = build_model_file(tmp_path / "packed.nc", noise=0.3, file_format=fmt, packed=PACKED)
    f = _tarq.TarqFile(mf.path)
    assert (f.nt, f.nz, f.ny, f.nx) == (mf.nt, mf.nz, mf.ny, mf.nx)
    for name in PACKED:
        if name == "P":  # the alias of the pressure row, checked below
            continue
        np.testing.assert_array_equal(f.getvar(name, timeidx=1), mf.variables[name][1], err_msg=name)
    # netCDF4-python's own unpacking computes in float32.
    with netCDF4.Dataset(mf.path) as ds:
        np.testing.assert_allclose(f.getvar("T2"), ds["T2"][0], rtol=1e-6)
    np.testing.assert_array_equal(f.getvar("theta", timeidx=1), mf.variables["T"][1] + 300.0)
    pb = mf.variables["PB"][1].astype("f8")
    np.testing.assert_array_equal(f.getvar("pressure", timeidx=1), mf.variables["P"][1] + pb)
    assert np.all(np.isfinite(f.getvar("sbcape")))


@pytest.mark.parametrize("fmt", ["NETCDF4", "NETCDF3_64BIT_OFFSET"])
def test_fill_and_missing_values_mask_every_variable(tmp_path, fmt):
    path = tmp_path / "fill.nc"
    stored = np.array([[[PACKED_FILL, 10, -3, 7]]], dtype="i2")
    with netCDF4.Dataset(path, "w", format=fmt) as ds:
        for name, size in (("Time", None), ("south_north", 1), ("west_east", 4)):
            ds.createDimension(name, size)
        dims = ("Time", "south_north", "west_east")
        t2 = ds.createVariable("T2", "i2", dims, fill_value=PACKED_FILL)
        t2.set_auto_maskandscale(False)
        t2.scale_factor, t2.add_offset, t2.missing_value = np.float32(0.5), np.float32(280.0), np.int16(-3)
        t2[...] = stored
        offset_only = ds.createVariable("Q2", "i2", dims)
        offset_only.set_auto_maskandscale(False)
        offset_only.add_offset = np.float64(0.25)
        offset_only[...] = stored
        plain = ds.createVariable("PSFC", "f4", dims, fill_value=np.float32(7.0))
        plain[...] = np.array([[[1.0, 7.0, 3.0, 4.0]]], dtype="f4")
    f = _tarq.TarqFile(str(path))
    np.testing.assert_array_equal(f.getvar("T2")[0], [np.nan, 285.0, np.nan, 283.5])
    np.testing.assert_array_equal(f.getvar("T2"), read_unpacked(str(path), "T2")[0])
    # Without a _FillValue, the default fill of int16 (-32767) is no data.
    np.testing.assert_array_equal(f.getvar("Q2")[0], [np.nan, 10.25, -2.75, 7.25])
    np.testing.assert_array_equal(f.getvar("PSFC")[0], [1.0, np.nan, 3.0, 4.0])


SURFACE = ("T2", "Q2", "PSFC", "U10", "V10", "XLAT", "XLONG", "COSALPHA", "SINALPHA")


@pytest.mark.parametrize("fmt", ["NETCDF4", "NETCDF3_CLASSIC"])
def test_surface_only_file(tmp_path, fmt):
    full = build_model_file(tmp_path / "full.nc", nt=3)
    keep = set(SURFACE) | {"Times"}
    omit = [name for name in full.variables if name not in keep]
    mf = build_model_file(tmp_path / "sfc.nc", nt=3, omit=omit, file_format=fmt)
    f, ref = _tarq.TarqFile(mf.path), _tarq.TarqFile(full.path)
    assert (f.nx, f.ny, f.nz, f.nt) == (mf.nx, mf.ny, mf.nz, 3)
    assert f.times() == ref.times()
    for name in ("t2", "rh2m", "dp2m", "tv2m", "wspd10", "wdir10", "uvmet10", "fosberg", "hdw", "lat", "lon", "PSFC"):
        expected, got = _outcome(ref, name, 2), _outcome(f, name, 2)
        if isinstance(expected, str):  # a row not built yet fails alike
            assert got == expected, name
        else:
            np.testing.assert_array_equal(got, expected, err_msg=name)
    with pytest.raises(RuntimeError, match="^variable not found in TARQ file: T$"):
        f.getvar("tc")


def test_surface_grid_from_the_fields_alone(tmp_path):
    """No south_north/west_east or bottom_top dimensions: ny and nx from T2,
    nt from its time dimension, nz 0."""
    t2 = np.arange(2 * 3 * 4, dtype="f4").reshape(2, 3, 4) + 280.0
    path = write_netcdf(tmp_path / "t2.nc", {"T2": (("Time", "rows", "cols"), t2)})
    f = _tarq.TarqFile(path)
    assert (f.nt, f.nz, f.ny, f.nx) == (2, 0, 3, 4)
    np.testing.assert_array_equal(f.getvar("t2", timeidx=1), t2[1])


def test_unreadable_t_is_not_reported_missing(tmp_path):
    import h5py

    path = tmp_path / "committed.h5"
    with h5py.File(path, "w") as h5:
        h5["float_type"] = np.dtype("<f4")
        h5.create_dataset("T", data=np.zeros((1, 2, 3, 4), "f4"), dtype=h5["float_type"])
    with pytest.raises(OSError, match=r"^NetCDF error: Cannot determine grid dimensions: variable 'T' cannot be read: "
                                      r"Unsupported committed \(shared\) datatype$"):
        _tarq.TarqFile(str(path))


def test_records_past_the_end_are_refused_at_open(tmp_path):
    """A classic file cut short inside its last record: refused at open,
    naming the record count and what the file holds."""
    mf = build_model_file(tmp_path / "cut.nc", nt=3, file_format="NETCDF3_64BIT_OFFSET")
    # Every record variable is float32 but Times (19 characters, padded to 20).
    record_bytes = 20 + sum(4 * v[0].size for v in mf.variables.values() if v.ndim > 2 or v.shape == (3,))
    with open(mf.path, "r+b") as fh:
        fh.truncate(fh.seek(0, 2) - record_bytes + 1)
    with pytest.raises(OSError, match="record count 3 but the file holds 2 whole records$"):
        _tarq.TarqFile(mf.path)
