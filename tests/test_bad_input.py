"""Bad input never gives a wrong answer: fields of the wrong size, static
fields, options no diagnostic can honour, reopening, unreadable members,
files that are not regular, corrupt metadata and the reference data the
tests themselves need."""

import math
import os
import shutil
import struct
import threading
import time

import h5py
import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import REFERENCE_IN_SHARED, build_model_file, oax_sounding, reference_sounding_path

NX, NY, NZ, NT = 5, 4, 8, 3


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    return build_model_file(tmp_path_factory.mktemp("bad") / "m.nc", nx=NX, ny=NY, nz=NZ, nt=NT)


def wide(model, name):
    """One more column than the grid: [nt, ny, nx + 1]."""
    data = model.variables[name]
    return np.concatenate([data, data[..., -1:]], axis=-1)


# A field with one value too many per row used to be read at the wrong stride
# by every row but its own; each must refuse it and name it.
@pytest.mark.parametrize(
    "field, rows",
    [
        ("T2", ["t2", "tv2m", "rh2m", "sbcape", "cape2d"]),
        ("Q2", ["tv2m", "rh2m", "dp2m", "mlcape"]),
        ("PSFC", ["rh2m", "dp2m", "sbcape"]),
    ],
)
def test_a_field_wider_than_the_grid_is_refused_by_every_row(tmp_path, model, field, rows):
    path = tmp_path / "wide.nc"
    build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=NT, overrides={field: wide(model, field)})
    f = _tarq.TarqFile(str(path))
    for row in rows:
        with pytest.raises(RuntimeError) as err:
            f.getvar(row, timeidx=1)
        assert str(err.value) == (
            f"dimension mismatch: {field} holds {NY * (NX + 1)} values for time index 1 "
            f"where its grid [{NY}, {NX}] needs {NY * NX}"
        ), row


# An optional field (one a row can do without) that is present at the wrong
# size is refused like any other, never replaced by its stand-in: 1.0 for the
# map factor, the rotation derived from the projection, zero hydrometeors.
@pytest.mark.parametrize(
    "field, row",
    [("MAPFAC_M", "uhel"), ("SINALPHA", "uvmet"), ("SINALPHA", "wdir10"), ("QRAIN", "dbz"), ("QCLOUD", "ctt")],
)
def test_an_optional_field_of_the_wrong_size_is_refused(tmp_path, model, field, row):
    path = tmp_path / "wide.nc"
    build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=NT, overrides={field: wide(model, field)})
    grid = [NY, NX] if model.variables[field].ndim == 3 else [NZ, NY, NX]
    with pytest.raises(RuntimeError) as err:
        _tarq.TarqFile(str(path)).getvar(row, timeidx=1)
    assert str(err.value) == (
        f"dimension mismatch: {field} holds {math.prod(grid) // NX * (NX + 1)} values for time index 1 "
        f"where its grid [{', '.join(map(str, grid))}] needs {math.prod(grid)}"
    )


def test_a_3d_field_with_an_extra_level_is_refused(tmp_path, model):
    qv = model.variables["QVAPOR"]
    path = tmp_path / "deep.nc"
    build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=NT, overrides={"QVAPOR": np.concatenate([qv, qv[:, -1:]], axis=1)})
    f = _tarq.TarqFile(str(path))
    for row in ("td", "rh", "pw", "sbcape"):
        with pytest.raises(RuntimeError, match=r"^dimension mismatch: QVAPOR holds .* where its grid"):
            f.getvar(row)


@pytest.mark.parametrize("file_format", ["NETCDF4", "NETCDF3_64BIT_OFFSET"])
def test_static_staggered_fields_come_back_whole_at_every_time(tmp_path, file_format):
    jj, ii = np.mgrid[0:NY, 0:NX + 1]
    xlat_u = 40.0 + 0.1 * jj + 0.001 * ii
    path = tmp_path / "static.nc"
    build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=NT, overrides={"XLAT_U": xlat_u}, file_format=file_format)
    f = _tarq.TarqFile(str(path))
    for t in range(NT):
        got = f.getvar("XLAT_U", timeidx=t)
        np.testing.assert_array_equal(got, xlat_u.astype(np.float32))
    # Fields with a time dimension keep their per-time slabs, static [ny, nx]
    # fields stay whole in a file that stores them without time.
    np.testing.assert_array_equal(f.getvar("T2", timeidx=2).shape, (NY, NX))
    static = build_model_file(tmp_path / "s2d.nc", nx=NX, ny=NY, nz=NZ, nt=NT, static_2d=True)
    g = _tarq.TarqFile(static.path)
    np.testing.assert_array_equal(g.getvar("lat", timeidx=2), static.variables["XLAT"])


@pytest.mark.parametrize("file_format", ["NETCDF4", "NETCDF3_64BIT_OFFSET"])
def test_static_staggered_fields_are_described_as_read(tmp_path, file_format):
    pytest.importorskip("xarray")
    from tarq.xarray import open_getvar

    xlat_u = np.linspace(40.0, 41.0, NY * (NX + 1)).reshape(NY, NX + 1)
    path = tmp_path / "static.nc"
    build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=NT, overrides={"XLAT_U": xlat_u}, file_format=file_format)
    f = _tarq.TarqFile(str(path))
    assert _tarq._describe_variable(f, "XLAT_U")[4] == f.getvar("XLAT_U", timeidx=1).shape == (NY, NX + 1)
    da = open_getvar(str(path), "XLAT_U")
    assert da.shape == (NT, NY, NX + 1)
    np.testing.assert_array_equal(da.values, np.broadcast_to(xlat_u.astype(np.float32), da.shape))


NAN, INF = math.nan, math.inf
PARCEL = dict(parcel_pressure=950.0, parcel_temperature=25.0, parcel_dewpoint=18.0)


@pytest.mark.parametrize(
    "row, options, option",
    [
        ("sbcape", dict(top_m=NAN), "top_m"),
        ("srh", dict(depth_m=INF), "depth_m"),
        ("bulk_shear", dict(bottom_m=-INF), "bottom_m"),
        ("lapse_rate", dict(bottom_p=NAN), "bottom_p"),
        ("lapse_rate", dict(top_p=INF), "top_p"),
        ("t2", dict(lake_interp=NAN), "lake_interp"),
        ("srh", dict(storm_motion=(NAN, 3.0)), "storm_motion"),
        ("srh", dict(storm_motion=(3.0, INF)), "storm_motion"),
        ("cape", dict(PARCEL, parcel_pressure=NAN), "parcel_pressure"),
        ("cape", dict(PARCEL, parcel_temperature=INF), "parcel_temperature"),
        ("cape", dict(PARCEL, parcel_dewpoint=NAN), "parcel_dewpoint"),
        # outside the physical range, after the Pa / K reading
        ("cape", dict(PARCEL, parcel_pressure=1e300), "parcel_pressure"),
        ("cape", dict(PARCEL, parcel_pressure=-5.0), "parcel_pressure"),
        ("cape", dict(PARCEL, parcel_pressure=1200.0), "parcel_pressure"),
        ("cin", dict(PARCEL, parcel_temperature=400.0), "parcel_temperature"),
        ("cape", dict(PARCEL, parcel_temperature=-120.0), "parcel_temperature"),
        ("cape", dict(PARCEL, parcel_dewpoint=26.0), "parcel_dewpoint"),
    ],
)
def test_options_that_cannot_be_honoured_are_refused(model, row, options, option):
    f = _tarq.TarqFile(model.path)
    with pytest.raises(RuntimeError, match=rf"^invalid parameter: {option}\b"):
        f.getvar(row, **options)


def test_physical_custom_parcels_in_any_unit_and_odd_finite_options_still_compute(model):
    f = _tarq.TarqFile(model.path)
    hpa = f.getvar("cape", **PARCEL)
    si = f.getvar("cape", parcel_pressure=95000.0, parcel_temperature=298.15, parcel_dewpoint=291.15)
    assert np.isfinite(hpa).all() and np.isfinite(si).all()
    # Finite values keep the meaning the diagnostics give them.
    f.getvar("sbcape", top_m=-100.0)
    f.getvar("cape", parcel_type="no such parcel")


def test_init_again_reopens_on_the_new_file(tmp_path, model):
    other = build_model_file(tmp_path / "other.nc", nx=NX + 2, ny=NY, nz=NZ, nt=1)
    f = _tarq.TarqFile(model.path)
    first = f.getvar("pressure")
    f.__init__(other.path)
    assert (f.path, f.nx, f.nt) == (other.path, NX + 2, 1)
    assert f.getvar("pressure").shape == (NZ, NY, NX + 2)
    with pytest.raises(OSError):
        f.__init__(str(tmp_path / "missing.nc"))
    assert f.path == other.path
    f.__init__(model.path)
    np.testing.assert_array_equal(f.getvar("pressure"), first)


def test_a_member_that_cannot_be_read_reports_why(tmp_path, model):
    path = tmp_path / "lzf.nc"
    shutil.copy(model.path, path)
    with h5py.File(path, "a") as h:
        h.create_dataset("PACKED", data=np.arange(NY * NX, dtype=np.float32).reshape(NY, NX), compression="lzf")
    f = _tarq.TarqFile(str(path))
    for name in ("PACKED", "packed"):
        with pytest.raises(RuntimeError) as err:
            f.getvar(name)
        assert str(err.value).startswith("NetCDF error: ") and "32000" in str(err.value)
    with pytest.raises(RuntimeError) as err:
        f.getvar("packd")
    assert str(err.value) == (
        "unknown variable: packd (not in computed registry and not found as raw variable in file)"
    )


def test_a_fifo_is_refused_without_blocking(tmp_path):
    fifo = tmp_path / "pipe.nc"
    os.mkfifo(fifo)
    outcome = []

    def open_it():
        try:
            _tarq.TarqFile(str(fifo))
        except OSError as e:
            outcome.append(e)

    opener = threading.Thread(target=open_it)
    started = time.monotonic()
    opener.start()
    opener.join(timeout=1.0)
    if opener.is_alive():
        with open(fifo, "wb"):  # a writer releases the blocked open
            pass
        opener.join()
        pytest.fail("opening a FIFO blocked")
    assert time.monotonic() - started < 1.0
    assert len(outcome) == 1 and "regular file" in str(outcome[0])


def test_a_flipped_bit_in_a_header_is_refused_at_open_by_its_checksum(tmp_path, model):
    path = tmp_path / "flipped.nc"
    shutil.copy(model.path, path)
    with h5py.File(path, "r") as h:
        header = h5py.h5o.get_info(h["T"].id).addr
    data = bytearray(path.read_bytes())
    dims = data.find(struct.pack("<4Q", NT, NZ, NY, NX), header)
    assert dims > header
    data[dims + 16 + 2] ^= 0x80  # ny raised by 2**23: a grid of 8 million rows
    path.write_bytes(bytes(data))
    with pytest.raises(OSError) as err:
        _tarq.TarqFile(str(path))
    assert str(err.value) == (
        "NetCDF error: Cannot determine grid dimensions: variable 'T' cannot be read: "
        f"Checksum mismatch in object header at {header:#x}: the file is corrupt"
    )


@pytest.mark.parametrize(
    "signature, holding, offset, structure",
    [
        (b"\x89HDF", None, 20, "superblock"),
        (b"FRHP", None, 20, "fractal heap header"),
        (b"BTHD", None, 14, "B-tree v2 header"),
        (b"BTLF", None, 8, "B-tree v2 leaf node"),
        # The heap blocks holding the attributes and the links: a lost
        # attribute would stand in its default, a lost link read "not found".
        (b"FHDB", b"a00", 30, "fractal heap direct block"),
        (b"FHDB", b"v00", 30, "fractal heap direct block"),
    ],
)
def test_every_checksummed_structure_refuses_a_flipped_bit(tmp_path, signature, holding, offset, structure):
    # More links and attributes than fit an object header: the root keeps
    # them in fractal heaps indexed by version 2 B-trees.
    path = tmp_path / "dense.h5"
    with h5py.File(path, "w", libver="latest") as h:
        h["T"] = np.zeros((1, 2, 3, 4), np.float32)
        for i in range(20):
            h[f"v{i:02d}"] = np.arange(3.0)
            h.attrs[f"a{i:02d}"] = float(i)
    data = bytearray(path.read_bytes())
    _tarq.TarqFile(str(path))
    at = data.find(signature) if holding is None else data.rfind(signature, 0, data.find(holding))
    data[at + offset] ^= 0x01
    path.write_bytes(bytes(data))
    with pytest.raises(OSError) as err:
        _tarq.TarqFile(str(path))
    assert str(err.value) == f"NetCDF error: Checksum mismatch in {structure} at {at:#x}: the file is corrupt"


OAX_ROWS = """pressure_hPa,height_m_msl,temperature_C,dewpoint_C,wind_dir_deg,wind_speed_kt,u_ms,v_ms
1000.0,34.0,,,,,,
965.0,350.0,27.8,23.8,150.0,23.0,-5.9161111111,10.2470050277
962.0,377.51,27.4,22.8,,,,
936.87,610.0,25.51,21.72,145.0,29.99,-8.8492456022,12.638032468
"""


def test_the_reference_sounding_is_found_above_a_nested_checkout(tmp_path):
    checkout = tmp_path / "work" / "clone" / "tarq"
    # Absent: the path beside the checkout is the one named.
    assert reference_sounding_path(checkout) == checkout.parent / REFERENCE_IN_SHARED
    found = tmp_path / REFERENCE_IN_SHARED
    found.parent.mkdir(parents=True)
    found.write_text(OAX_ROWS)
    assert reference_sounding_path(checkout) == found
    # Rows without temperature are dropped, missing winds interpolated in ln p.
    snd = oax_sounding(found)
    np.testing.assert_array_equal(snd.p_hpa, [965.0, 962.0, 936.87])
    assert snd.z_m[0] == 350.0
    assert snd.u_ms[1] == pytest.approx(np.interp(-np.log(962.0), -np.log([965.0, 936.87]), snd.u_ms[[0, 2]]))
