"""getvar beyond the catalogue: stored variables by their own names, result
shapes, unit requests, time-index and unknown-name errors, one-time reads and
the field cache."""

import h5py
import netCDF4
import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, shrink_contiguous_storage, write_netcdf

NX, NY, NZ, NT = 7, 6, 9, 3


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    path = tmp_path_factory.mktemp("raw") / "m.nc"
    lh = np.linspace(0.0, 300.0, NT * NY * NX).reshape(NT, NY, NX)
    return build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=NT, noise=0.2, overrides={"LH": lh})


@pytest.fixture()
def f(model):
    return _tarq.TarqFile(model.path)


def stored(model, name, t=None):
    with netCDF4.Dataset(model.path) as ds:
        ds.set_auto_mask(False)
        return np.asarray(ds[name][:] if t is None else ds[name][t], dtype=np.float64)


@pytest.mark.parametrize(
    "name, file_name, shape",
    [
        ("T", "T", (NZ, NY, NX)),                   # perturbation theta, not the temp row
        ("t", "T", (NZ, NY, NX)),                   # as spelled fails, upper-cased succeeds
        ("u", "U", (NZ * NY * (NX + 1),)),          # nz*ny*nx_stag is no multiple of ny*nx
        ("V", "V", (NZ * (NY + 1) * NX,)),
        ("W", "W", (NZ + 1, NY, NX)),
        ("PH", "PH", (NZ + 1, NY, NX)),
        ("Psfc", "PSFC", (NY, NX)),
        ("QVAPOR_x", None, None),
    ],
)
def test_raw_fallback_and_shapes(model, f, name, file_name, shape):
    if file_name is None:
        with pytest.raises(RuntimeError, match=f"^unknown variable: {name} \\(not in computed registry"):
            f.getvar(name)
        return
    got = f.getvar(name, 2)
    assert got.shape == shape
    np.testing.assert_array_equal(got.ravel(), stored(model, file_name, 2).ravel())


@pytest.fixture(scope="module")
def one_dimensional(tmp_path_factory, model):
    """The model file as netCDF-4 and classic, with a 1-D variable over a
    level dimension and one over time; and an HDF5 file that records no
    dimensions."""
    base = tmp_path_factory.mktemp("one_d")
    classic = build_model_file(base / "classic.nc", nx=NX, ny=NY, nz=NZ, nt=NT, file_format="NETCDF3_CLASSIC")
    for path in (model.path, classic.path):
        with netCDF4.Dataset(path, "a") as ds:
            ds.createVariable("ZLEVELS", "f4", ("bottom_top",))[:] = np.arange(NZ, dtype="f4")
            ds.createVariable("STEP", "f4", ("Time",))[:] = np.arange(NT, dtype="f4") + 0.5
    bare = base / "bare.h5"
    with h5py.File(bare, "w") as h:
        h["T2"] = np.full((NT, NY, NX), 280.0, "f4")
        h["XTIME"] = np.array([0.0, 60.0, 120.0])
    return {"NETCDF4": model.path, "NETCDF3_CLASSIC": classic.path, "bare": str(bare)}


# (file, name, t, expected); expected None is "unknown variable".
ONE_DIMENSIONAL = [
    ("NETCDF4", "XTIME", 2, [120.0]),
    ("NETCDF4", "STEP", 1, [1.5]),
    ("NETCDF3_CLASSIC", "XTIME", 1, [60.0]),
    ("NETCDF3_CLASSIC", "STEP", 2, [2.5]),
    ("NETCDF4", "ZLEVELS", 1, list(range(NZ))),
    ("NETCDF3_CLASSIC", "ZLEVELS", 2, list(range(NZ))),
    # Without dimension records a 1-D variable cannot be told from a profile.
    ("bare", "XTIME", 1, [0.0, 60.0, 120.0]),
    # netCDF-4 keeps dimensions without variables as datasets of their names.
    ("NETCDF4", "bottom_top", 0, None),
    ("NETCDF4", "west_east_stag", 0, None),
]


@pytest.mark.parametrize("which, name, t, expected", ONE_DIMENSIONAL)
def test_one_dimensional_variables_keep_their_time(one_dimensional, which, name, t, expected):
    f = _tarq.TarqFile(one_dimensional[which])
    if expected is None:
        for request in (lambda: f.getvar(name, t), lambda: _tarq._describe_variable(f, name)):
            with pytest.raises(_tarq.UnknownVariableError, match=f"^unknown variable: {name}"):
                request()
    else:
        np.testing.assert_array_equal(f.getvar(name, t), expected)
        assert _tarq._describe_variable(f, name)[4] == (len(expected),)


def test_unknown_names_and_time_index_errors(f):
    with pytest.raises(RuntimeError) as e:
        f.getvar("nosuch")
    assert str(e.value) == "unknown variable: nosuch (not in computed registry and not found as raw variable in file)"
    with pytest.raises(RuntimeError) as e:
        f.getvar("")
    assert str(e.value) == "unknown variable:  (not in computed registry and not found as raw variable in file)"
    for name in ("nosuch", "pressure", "T"):
        with pytest.raises(RuntimeError) as e:
            f.getvar(name, NT)
        assert str(e.value) == f"invalid parameter: timeidx {NT} out of range (file has {NT} times)"


@pytest.mark.parametrize(
    "name, units, convert",
    [
        ("pressure", "hPa", lambda p: p / 100),
        ("pressure", " MILLIBARS ", lambda p: p / 100),
        ("pressure", "inHg", lambda p: p / 3386.39),
        ("height", "km", lambda z: z / 1000),
        ("height_agl", "ft", lambda z: z / 0.3048),
        ("ua", "kt", lambda u: u / 0.514444),
        ("lat", "rad", lambda d: (d * 3.141592653589793) / 180),
        ("terrain", "m", lambda z: z),
    ],
)
def test_registry_rows_convert_to_the_requested_unit(f, name, units, convert):
    np.testing.assert_array_equal(f.getvar(name, 1, units=units), convert(f.getvar(name, 1)))


@pytest.mark.parametrize(
    "name, units, message",
    [
        ("pressure", "K", "cannot convert Pascal to Kelvin"),
        ("height", "Inches", "cannot convert Meters to Inches"),
        ("ua", "furlongs", "unrecognized unit string: 'furlongs'"),
        ("ua", "PVU", "unrecognized unit string: 'pvu'"),
    ],
)
def test_registry_unit_errors(f, name, units, message):
    with pytest.raises(RuntimeError) as e:
        f.getvar(name, units=units)
    assert str(e.value) == "unit conversion error: " + message


# Python's str.lower() is full Unicode lower-casing, Final_Sigma condition included.
@pytest.mark.parametrize("units", ["\u03a3", "\u0391\u03a3", "\u03a3\u0391\u03a3 ", "\u039f\u0394\u039f\u03a3.",
                                   "\u0391\u03a3'\u0392", "\u0391\u03a3 \u0392", "\u0130"])
def test_unit_strings_are_lower_cased_in_full(f, units):
    with pytest.raises(RuntimeError) as e:
        f.getvar("pressure", units=units)
    assert str(e.value) == f"unit conversion error: unrecognized unit string: '{units.lower().strip()}'"


@pytest.mark.parametrize(
    "name, units, convert, message",
    [
        ("psfc", "hPa", lambda p: p / 100, None),   # unit guessed from the upper-cased name
        ("T2", "degC", lambda t: t - 273.15, None),
        ("U10", "kts", lambda u: u / 0.514444, None),
        ("PSFC", "Pa", lambda p: p, None),          # its own unit string: values as stored
        ("LH", "W/m2", lambda x: x, None),          # likewise, though W/m2 is no unit string
        ("PSFC", "degC", None, "PSFC (unit 'Pa') cannot be given in 'degC': cannot convert Pascal to Celsius"),
        ("PSFC", "bogus", None, "PSFC (unit 'Pa') cannot be given in 'bogus': unrecognized unit string: 'bogus'"),
        ("lh", "K", None, "lh (unit 'W/m2') cannot be given in 'K': unrecognized unit string: 'w/m2'"),
        ("LH", "w/m2", None, "LH (unit 'W/m2') cannot be given in 'w/m2': unrecognized unit string: 'w/m2'"),
        ("T", "K", None, "T (no known unit) cannot be given in 'K'"),
    ],
)
def test_raw_unit_requests(f, name, units, convert, message):
    if message is None:
        np.testing.assert_array_equal(f.getvar(name, 1, units=units), convert(f.getvar(name, 1)))
        assert _tarq._describe_variable(f, name, units)[2] == units
        return
    # getvar and describe refuse alike, so callers can check a request before any work.
    for request in (lambda: f.getvar(name, 1, units=units), lambda: _tarq._describe_variable(f, name, units)):
        with pytest.raises(RuntimeError) as e:
            request()
        assert str(e.value) == "unit conversion error: " + message


def test_a_slab_beyond_the_stored_data(tmp_path):
    path = write_netcdf(
        tmp_path / "short.nc",
        {
            "T": (("Time", "bottom_top", "south_north", "west_east"), np.zeros((NT, 3, NY, NX), np.float32)),
            # Fewer times than T, and a variable storing fewer bytes than its shape.
            "HGT": (("Time2", "south_north", "west_east"), np.ones((2, NY, NX), np.float32)),
            "LU_INDEX": (("Time", "south_north", "west_east"), np.ones((NT, NY, NX), np.float32)),
            "PSFC": (("Time2", "south_north", "west_east"), np.ones((2, NY, NX), np.float32)),
        },
        unlimited_time=False,
    )
    shrink_contiguous_storage(path, "LU_INDEX", 4 * NY * NX * 2 - 4)
    f = _tarq.TarqFile(path)
    with pytest.raises(RuntimeError) as e:
        f.getvar("terrain", 2)
    # Time2 is not the file's time dimension: HGT is static, and too large.
    assert str(e.value) == f"dimension mismatch: HGT holds {2 * NY * NX} values for time index 2 where its grid [{NY}, {NX}] needs {NY * NX}"
    np.testing.assert_array_equal(f.getvar("LU_INDEX", 0), np.ones((NY, NX)))
    # The raw path reports why a stored variable cannot be read.
    with pytest.raises(RuntimeError) as e:
        f.getvar("LU_INDEX", 1)
    assert str(e.value) == f"dimension mismatch: time index 1 out of range for variable 'LU_INDEX' (shape [{NT}, {NY}, {NX}])"
    with pytest.raises(RuntimeError, match="^dimension mismatch: PSFC holds "):
        f.getvar("psfc", 2)


def test_a_time_is_read_without_inflating_the_other_times(tmp_path):
    mf = build_model_file(tmp_path / "m.nc", nx=NX, ny=NY, nz=4, nt=NT)
    want = [stored(mf, "P", t) + stored(mf, "PB", t) for t in range(NT)]
    with h5py.File(mf.path, "r") as h:
        chunk = h["P"].id.get_chunk_info_by_coord((0, 0, 0, 0))
    with open(mf.path, "r+b") as fh:  # garble time 0 of P
        fh.seek(chunk.byte_offset)
        fh.write(b"\xff" * chunk.size)
    f = _tarq.TarqFile(mf.path)
    for t in (1, 2):
        np.testing.assert_array_equal(f.getvar("pressure", t), want[t])
    with pytest.raises(RuntimeError, match="^NetCDF error: "):
        f.getvar("pressure", 0)


def test_a_cached_field_is_not_read_again(tmp_path):
    mf = build_model_file(tmp_path / "m.nc", nx=NX, ny=NY, nz=4, nt=NT)
    f = _tarq.TarqFile(mf.path)
    first = f.getvar("pressure", 2)
    first[...] = -1.0  # the caller's array is its own
    size = (tmp_path / "m.nc").stat().st_size
    with open(mf.path, "r+b") as fh:  # every later read of the file fails or differs
        fh.write(b"\0" * size)
    want = mf.variables["P"][2].astype(np.float64) + mf.variables["PB"][2].astype(np.float64)
    np.testing.assert_array_equal(f.getvar("pressure", 2), want)
    with pytest.raises(RuntimeError, match="^NetCDF error: "):  # T is in the file, unreadable
        f.getvar("T", 2)


def test_zero_grid_sizes_never_divide_by_zero(tmp_path):
    grid = ("Time", "bottom_top", "south_north", "west_east")
    path = write_netcdf(
        tmp_path / "empty.nc",
        {
            "T": (grid, np.zeros((2, 3, 4, 0), np.float32)),
            "P": (grid, np.zeros((2, 3, 4, 0), np.float32)),
            "PB": (grid, np.zeros((2, 3, 4, 0), np.float32)),
            "XTIME": (("Time",), np.array([0.0, 60.0], np.float32)),
            "XLAT": (("Time", "y", "x"), np.ones((2, 4, 5), np.float32)),
        },
        unlimited_time=False,
    )
    f = _tarq.TarqFile(path)
    assert (f.nz, f.ny, f.nx) == (3, 4, 0)
    assert f.getvar("pressure", 1).shape == (3, 4, 0)
    assert f.getvar("T", 1).shape == (4, 0)  # zero values match ny * nx first
    np.testing.assert_array_equal(f.getvar("XTIME", 1), [60.0])
    # 20 values on a grid of no points: no leading count fits, so the shapes disagree.
    with pytest.raises(RuntimeError):
        f.getvar("lat")
