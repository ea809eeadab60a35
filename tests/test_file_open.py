"""Opening model files: grid sizes, grid spacing, time strings and repr."""

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, shrink_contiguous_storage, write_netcdf

GRID = ("Time", "bottom_top", "south_north", "west_east")


def times_array(*records: bytes, length: int = 19) -> np.ndarray:
    rows = [list(r.ljust(length, b"\0")) for r in records]
    return np.array(rows, dtype=np.uint8).view("S1")


def small_t(nt=2, nz=3, ny=4, nx=5):
    return (GRID, np.zeros((nt, nz, ny, nx), np.float32))


def test_grid_spacing_times_and_repr(tmp_path):
    mf = build_model_file(tmp_path / "a.nc", nx=7, ny=6, nz=10, nt=3, dx=3000.0, dy=2500.0)
    f = _tarq.TarqFile(mf.path)
    assert (f.nx, f.ny, f.nz, f.nt) == (7, 6, 10, 3)
    assert (f.dx, f.dy) == (3000.0, 2500.0)
    assert f.path == mf.path
    assert repr(f) == f"TarqFile('{mf.path}', nx=7, ny=6, nz=10, nt=3)"
    assert f.times() == ["2024-05-20_18:00:00", "2024-05-20_19:00:00", "2024-05-20_20:00:00"]


def test_five_dimensional_t_uses_its_first_four_sizes(tmp_path):
    path = write_netcdf(tmp_path / "t5.nc", {"T": (GRID + ("extra",), np.zeros((2, 3, 4, 5, 6), np.float32))})
    f = _tarq.TarqFile(path)
    assert (f.nt, f.nz, f.ny, f.nx) == (2, 3, 4, 5)


def test_missing_t_fails_the_open(tmp_path):
    path = write_netcdf(tmp_path / "noT.nc", {"P": small_t()})
    with pytest.raises(OSError) as e:
        _tarq.TarqFile(path)
    assert str(e.value) == (
        "variable not found in TARQ file: Cannot determine grid dimensions: variable 'T' not found"
    )


@pytest.mark.parametrize(
    "attrs, dx, dy",
    [
        ({"DX": np.int32(3000), "DY": np.float64(1500.5)}, 3000.0, 1500.5),
        ({"DX": "3000", "DY": np.float32(2000.0)}, 1000.0, 2000.0),  # text is not a number
        ({}, 1000.0, 1000.0),
    ],
)
def test_grid_spacing_attributes(tmp_path, attrs, dx, dy):
    path = write_netcdf(tmp_path / "dx.nc", {"T": small_t()}, attrs)
    f = _tarq.TarqFile(path)
    assert (f.dx, f.dy) == (dx, dy)


def test_missing_staggered_variables_are_not_an_error(tmp_path):
    mf = build_model_file(tmp_path / "nostag.nc", omit=("U", "V", "PH"))
    f = _tarq.TarqFile(mf.path)
    assert f.getvar("pressure").shape == (mf.nz, mf.ny, mf.nx)
    # W keeps working: its full levels are nz + 1 by default.
    assert f.getvar("wa").shape == (mf.nz, mf.ny, mf.nx)
    for name, missing in (("ua", "U"), ("va", "V"), ("geopt", "PH")):
        with pytest.raises(RuntimeError, match=f"^variable not found in TARQ file: {missing}$"):
            f.getvar(name)


def test_three_dimensional_u_counts_as_missing(tmp_path):
    nz, ny, nx = 3, 4, 5
    path = write_netcdf(
        tmp_path / "u3d.nc",
        {
            "T": small_t(2, nz, ny, nx),
            "U": (("bottom_top", "south_north", "west_east_stag"), np.ones((nz, ny, nx + 1), np.float32)),
        },
    )
    f = _tarq.TarqFile(path)
    assert f.nx == nx
    # Its dimensions say it has no time: it is the whole U of every time, and
    # fills the grid of the default staggered size.
    np.testing.assert_array_equal(f.getvar("ua", 1), np.ones((nz, ny, nx)))


def test_times_strip_trailing_nuls_only(tmp_path):
    times = times_array(b"2024-05-20_18:00:00", b"2024-05-20_19:00", b"a\0b  ")
    path = write_netcdf(tmp_path / "times.nc", {"T": small_t(3), "Times": (("Time", "DateStrLen"), times)})
    assert _tarq.TarqFile(path).times() == ["2024-05-20_18:00:00", "2024-05-20_19:00", "a\0b  "]


def test_times_decode_invalid_utf8_as_replacement(tmp_path):
    times = times_array("2024-05-20_18:00:0\u00e9".encode()[:19], b"\xff\xfe2024")
    path = write_netcdf(tmp_path / "utf8.nc", {"T": small_t(2), "Times": (("Time", "DateStrLen"), times)})
    assert _tarq.TarqFile(path).times() == ["2024-05-20_18:00:0\ufffd", "\ufffd\ufffd2024"]


def test_short_times_data_give_the_complete_records(tmp_path):
    times = times_array(b"2024-05-20_18:00:00", b"2024-05-20_19:00:00", b"2024-05-20_20:00:00")
    path = write_netcdf(
        tmp_path / "short.nc", {"T": small_t(3), "Times": (("Time", "DateStrLen"), times)}, unlimited_time=False
    )
    shrink_contiguous_storage(path, "Times", 40)
    assert _tarq.TarqFile(path).times() == ["2024-05-20_18:00:00", "2024-05-20_19:00:00"]


def test_times_failures(tmp_path):
    path = write_netcdf(tmp_path / "none.nc", {"T": small_t()})
    with pytest.raises(RuntimeError, match="^variable not found in TARQ file: Times$"):
        _tarq.TarqFile(path).times()
    flat = np.frombuffer(b"2024-05-20_18:00:00" * 2, dtype="S1")
    path = write_netcdf(tmp_path / "flat.nc", {"T": small_t(), "Times": (("chars",), flat)})
    with pytest.raises(RuntimeError, match="^dimension mismatch: Times variable has unexpected shape$"):
        _tarq.TarqFile(path).times()
