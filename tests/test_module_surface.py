"""The Python surface of tarq._tarq: module, TarqFile, getvar arguments, results and errors."""

import os
import pickle
import struct
import subprocess
import sys
import textwrap
from pathlib import Path

import h5py
import netCDF4
import numpy as np
import pytest

import tarq
from tarq import _tarq

NX, NY, NZ, NT = 6, 5, 4, 3


@pytest.fixture(scope="module")
def small_file(tmp_path_factory):
    """A minimal model-like file: T, P, PB and Times for NT times."""
    path = tmp_path_factory.mktemp("surface") / "a.nc"
    rng = np.random.default_rng(7)
    with netCDF4.Dataset(path, "w", format="NETCDF4") as nc:
        nc.createDimension("Time", None)
        nc.createDimension("bottom_top", NZ)
        nc.createDimension("south_north", NY)
        nc.createDimension("west_east", NX)
        nc.createDimension("DateStrLen", 19)
        dims = ("Time", "bottom_top", "south_north", "west_east")
        for name, values in {
            "T": rng.normal(5.0, 2.0, (NT, NZ, NY, NX)),
            "P": rng.normal(0.0, 50.0, (NT, NZ, NY, NX)),
            "PB": np.broadcast_to(np.linspace(95000.0, 50000.0, NZ)[None, :, None, None], (NT, NZ, NY, NX)),
        }.items():
            var = nc.createVariable(name, "f4", dims, zlib=True, shuffle=True, chunksizes=(1, NZ, NY, NX))
            var[:] = values
        times = nc.createVariable("Times", "S1", ("Time", "DateStrLen"))
        for t in range(NT):
            times[t] = netCDF4.stringtochar(np.array([f"2024-05-0{t + 1}_00:00:00"], dtype="S19"))
        nc.DX = np.float32(3000.0)
        nc.DY = np.float32(2500.0)
    return str(path)


@pytest.fixture()
def tf(small_file):
    return tarq.TarqFile(small_file)


# --- module -----------------------------------------------------------------


def test_reinitialising_returns_the_same_module():
    code = textwrap.dedent(
        """
        import sys
        import tarq._tarq as first
        del sys.modules["tarq._tarq"]
        import importlib
        second = importlib.import_module("tarq._tarq")
        assert second is first, (first, second)
        """
    )
    subprocess.run([sys.executable, "-c", code], check=True)


def test_sub_interpreter_import_is_refused():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    interp = interpreters.create()
    try:
        with pytest.raises(Exception, match="ImportError"):
            interpreters.run_string(interp, "import tarq._tarq")
    finally:
        interpreters.destroy(interp)


def test_list_variables_lists_the_catalogue_in_order():
    rows = tarq.list_variables()
    assert len(rows) == 95  # the 83 first, then the appended rows from lifted_index on
    assert rows[0] == ("pressure", "Full model pressure", "Pa")
    assert rows[82] == ("lapse_rate", "Lapse rate (configurable bottom_m / top_m, use_virtual)", "degC/km")
    assert rows[83][0] == "lifted_index"
    names = [name for name, _, _ in rows]
    assert len(set(names)) == 95
    assert not {"pres", "p", "tk", "shr06"} & set(names)  # aliases are not listed
    assert all(isinstance(x, str) for row in rows for x in row)
    assert tarq.list_variables() is not rows


def test_catalogue_hook_declares_every_row():
    rows = _tarq._catalogue()
    assert [(r["name"], r["description"], r["units"]) for r in rows] == tarq.list_variables()
    by_name = {r["name"]: r for r in rows}
    assert by_name["uvmet"]["fields"] == ("u", "v") and by_name["uvmet"]["is_3d"] is True
    assert by_name["cape2d"]["fields"] == ("cape", "cin", "lcl", "lfc")
    assert by_name["slp"]["fields"] == () and by_name["slp"]["aliases"] == ("sea_level_pressure", "mslp")
    assert by_name["cape2d"]["options"]["parcel_type"] == "ml"
    assert by_name["lapse_rate"]["options"] == {"top_m": 3000.0, "bottom_m": 0.0, "bottom_p": 700.0,
                                                "top_p": 500.0, "use_virtual": False, "lake_interp": None}
    assert by_name["pressure"]["options"] == {}


def test_catalogue_command_prints_every_row():
    out = subprocess.run([sys.executable, "-m", "tarq", "--list"], check=True, capture_output=True, text=True).stdout
    assert "pressure" in out and "Full model pressure" in out and "lapse_rate" in out
    assert out.strip().endswith("95 variables")


DOCS = {
    "class": "A TARQ output file handle.\n\nOpens a NetCDF TARQ output file and provides access to grid metadata\n"
    "and derived diagnostic variables.",
    "nx": "Number of grid points in the x (west-east) direction.",
    "ny": "Number of grid points in the y (south-north) direction.",
    "nz": "Number of vertical levels.",
    "nt": "Number of time steps.",
    "dx": "Grid spacing in x (meters).",
    "dy": "Grid spacing in y (meters).",
    "path": "File path.",
}

GETVAR_PARAMS = (
    "name, timeidx=None, units=None, parcel_type=None, storm_motion=None, top_m=None, bottom_m=None, "
    "depth_m=None, parcel_pressure=None, parcel_temperature=None, parcel_dewpoint=None, bottom_p=None, "
    "top_p=None, layer_type=None, use_virtual=None, lake_interp=None"
)


def test_docstrings_and_text_signatures():
    cls = _tarq.TarqFile
    assert cls.__doc__ == DOCS["class"]
    assert cls.__text_signature__ == "(path)"
    for prop in ("nx", "ny", "nz", "nt", "dx", "dy", "path"):
        assert getattr(cls, prop).__doc__ == DOCS[prop]
    assert cls.times.__doc__ == "Time strings from the file."
    assert cls.times.__text_signature__ == "($self)"
    assert cls.getvar.__doc__ == "Compute a diagnostic variable."
    assert cls.getvar.__text_signature__ == f"($self, {GETVAR_PARAMS})"
    assert _tarq.getvar.__doc__ == "Compute a diagnostic variable from a TARQ file."
    assert _tarq.getvar.__text_signature__ == f"(tarqfile, {GETVAR_PARAMS})"
    assert _tarq.list_variables.__doc__ == "List all supported variable names."
    assert _tarq.list_variables.__text_signature__ == "()"
    assert _tarq.__doc__


# --- TarqFile -------------------------------------------------------------------


def test_properties_and_repr(tf, small_file):
    assert (tf.nx, tf.ny, tf.nz, tf.nt) == (NX, NY, NZ, NT)
    assert (tf.dx, tf.dy) == (3000.0, 2500.0)
    assert isinstance(tf.dx, float) and isinstance(tf.nx, int)
    assert tf.path == small_file
    assert repr(tf) == f"TarqFile('{small_file}', nx={NX}, ny={NY}, nz={NZ}, nt={NT})"
    assert tf.times() == ["2024-05-01_00:00:00", "2024-05-02_00:00:00", "2024-05-03_00:00:00"]


def test_relative_path_and_quotes_stay_verbatim(small_file, tmp_path, monkeypatch):
    odd = tmp_path / "it's.nc"
    odd.write_bytes(Path(small_file).read_bytes())
    monkeypatch.chdir(tmp_path)
    tf = tarq.TarqFile("it's.nc")
    assert tf.path == "it's.nc"
    assert repr(tf).startswith("TarqFile('it's.nc', nx=")


def test_object_is_immutable_and_has_no_dict(tf):
    with pytest.raises(AttributeError):
        tf.nx = 3
    with pytest.raises(AttributeError):
        tf.anything = 1
    assert not hasattr(tf, "__dict__")
    with pytest.raises(TypeError):
        _tarq.TarqFile.nx = 1
    with pytest.raises(TypeError):
        type("Sub", (_tarq.TarqFile,), {})


@pytest.mark.parametrize(
    "args, kwargs, exc, text",
    [
        ((), {}, TypeError, "path"),
        ((None,), {}, TypeError, "'path' must be str, bytes or os.PathLike, not NoneType"),
        ((3,), {}, TypeError, "'path'"),
        ((os.path.sep,), {"extra": 1}, TypeError, r"TarqFile\(\)"),
    ],
)
def test_constructor_argument_errors(args, kwargs, exc, text):
    with pytest.raises(exc, match=text):
        _tarq.TarqFile(*args, **kwargs)


def test_constructor_accepts_any_path_like(small_file):
    class Custom:
        def __fspath__(self):
            return small_file

    assert _tarq.TarqFile(path=small_file).nx == NX
    for path in (Path(small_file), Custom(), os.fsencode(small_file)):
        tf = _tarq.TarqFile(path)
        assert tf.nx == NX
        assert tf.path == small_file and isinstance(tf.path, str)


def test_open_failures_raise_oserror(tmp_path, small_file):
    missing = tmp_path / "missing.nc"
    with pytest.raises(OSError, match="^NetCDF error: "):
        _tarq.TarqFile(str(missing))
    text = tmp_path / "text.nc"
    text.write_text("not an HDF5 file at all, just some text " * 10)
    with pytest.raises(OSError, match="^NetCDF error: "):
        _tarq.TarqFile(str(text))
    # A NUL ends the name for the system; the file before it must not be opened instead.
    with pytest.raises(OSError, match="^NetCDF error: path contains a NUL character$"):
        _tarq.TarqFile(small_file + "\0.other")


def test_three_dimensional_t_fails_the_open(tmp_path):
    path = tmp_path / "t3d.nc"
    with netCDF4.Dataset(path, "w") as nc:
        for name, size in (("z", 2), ("y", 3), ("x", 4)):
            nc.createDimension(name, size)
        nc.createVariable("T", "f4", ("z", "y", "x"))[:] = 0.0
    with pytest.raises(OSError, match=r"^dimension mismatch: T has 3-D shape, expected 4-D \[Time, nz, ny, nx\]$") as err:
        _tarq.TarqFile(str(path))
    assert type(err.value) is tarq.DimensionMismatchError


# --- getvar arguments ------------------------------------------------------------


def test_module_function_equals_method(tf):
    a = _tarq.getvar(tf, "pressure", 1)
    b = tf.getvar("pressure", timeidx=1)
    np.testing.assert_array_equal(a, b)
    with pytest.raises(TypeError, match="'tarqfile'"):
        _tarq.getvar(tf.path, "pressure")


def test_time_index_conversions(tf):
    t0 = tf.getvar("T")
    np.testing.assert_array_equal(tf.getvar("T", None), t0)
    np.testing.assert_array_equal(tf.getvar("T", 0), t0)
    np.testing.assert_array_equal(tf.getvar("T", True), tf.getvar("T", 1))
    np.testing.assert_array_equal(tf.getvar("T", np.int64(2)), tf.getvar("T", 2))
    with pytest.raises(OverflowError):
        tf.getvar("T", -1)
    with pytest.raises(OverflowError):
        tf.getvar("T", 2**64)
    with pytest.raises(TypeError, match="'timeidx'.*float"):
        tf.getvar("T", 2.0)
    with pytest.raises(RuntimeError, match=r"^invalid parameter: timeidx 3 out of range \(file has 3 times\)$"):
        tf.getvar("T", 3)
    # The time index is checked before the name is looked up.
    with pytest.raises(RuntimeError, match="^invalid parameter: timeidx 7"):
        tf.getvar("no_such_variable", 7)


@pytest.mark.parametrize(
    "kwargs, argument",
    [
        ({"name": 5}, "name"),
        ({"units": 5}, "units"),
        ({"parcel_type": b"sb"}, "parcel_type"),
        ({"storm_motion": [10, 5]}, "storm_motion"),
        ({"storm_motion": (10, 5, 0)}, "storm_motion"),
        ({"storm_motion": (10, "5")}, "storm_motion"),
        ({"top_m": "1000"}, "top_m"),
        ({"bottom_m": [0]}, "bottom_m"),
        ({"depth_m": "x"}, "depth_m"),
        ({"parcel_pressure": "x"}, "parcel_pressure"),
        ({"parcel_temperature": "x"}, "parcel_temperature"),
        ({"parcel_dewpoint": "x"}, "parcel_dewpoint"),
        ({"bottom_p": "x"}, "bottom_p"),
        ({"top_p": "x"}, "top_p"),
        ({"layer_type": 1}, "layer_type"),
        ({"use_virtual": 1}, "use_virtual"),
        ({"use_virtual": "yes"}, "use_virtual"),
        ({"lake_interp": "50"}, "lake_interp"),
    ],
)
def test_wrong_argument_types_name_the_argument(tf, kwargs, argument):
    kwargs.setdefault("name", "T")
    with pytest.raises(TypeError, match=f"'{argument}'"):
        tf.getvar(**kwargs)


def test_accepted_option_values(tf):
    expected = tf.getvar("T", 1)
    accepted = dict(
        units=None,
        storm_motion=(10, 5),
        top_m=3000,
        bottom_m=True,
        depth_m=np.float32(1.5),
        parcel_pressure=900.0,
        parcel_temperature=25,
        parcel_dewpoint=20.0,
        bottom_p=850,
        top_p=500.0,
        layer_type="fixed",
        parcel_type="ml",
        use_virtual=np.bool_(True),
        lake_interp=50,
    )
    np.testing.assert_array_equal(tf.getvar("T", 1, **accepted), expected)
    np.testing.assert_array_equal(tf.getvar("T", 1, use_virtual=False), expected)


def test_first_failing_argument_wins(tf):
    with pytest.raises(TypeError, match="'units'"):
        tf.getvar("T", 0, 5, storm_motion=[1])
    with pytest.raises(OverflowError):
        tf.getvar("T", -1, units=5)


def test_binding_errors(tf):
    with pytest.raises(TypeError):
        tf.getvar()
    with pytest.raises(TypeError, match="bogus"):
        tf.getvar("T", bogus=1)
    with pytest.raises(TypeError):
        tf.getvar("T", 0, timeidx=0)
    with pytest.raises(TypeError):
        tf.getvar(*(["T"] + [None] * 16))
    with pytest.raises(TypeError):
        _tarq.getvar(tf)


def test_none_keywords_equal_absent_keywords(tf):
    nones = {name: None for name in GETVAR_PARAMS.replace("=None", "").split(", ")[1:]}
    np.testing.assert_array_equal(tf.getvar("pressure", **nones), tf.getvar("pressure"))


# --- results and errors ---------------------------------------------------------


def test_results_are_owned_writeable_float64_arrays(tf):
    a = tf.getvar("pressure", 2)
    assert a.shape == (NZ, NY, NX) and a.dtype == np.float64
    assert a.flags.c_contiguous and a.flags.writeable and not a.flags.owndata
    assert type(a.base).__name__ == "PySliceContainer"
    before = a.copy()
    a[:] = -1.0
    np.testing.assert_array_equal(tf.getvar("pressure", 2), before)


def test_size_beyond_the_array_limit_is_a_shape_error(tmp_path):
    # A T of shape [1, 1, 0, 2**63] holds no values, so every size product
    # matches, but no array can have a dimension of 2**63.
    path = tmp_path / "huge.nc"
    with h5py.File(path, "w") as h5:
        h5.create_dataset("T", shape=(1, 1, 0, 5), dtype="f4")
    data = bytearray(path.read_bytes())
    at = data.find(struct.pack("<4Q", 1, 1, 0, 5))  # the dataspace sizes
    assert at > 0
    data[at : at + 32] = struct.pack("<4Q", 1, 1, 0, 2**63)
    path.write_bytes(data)
    tf = _tarq.TarqFile(str(path))
    assert (tf.ny, tf.nx) == (0, 2**63)
    with pytest.raises(RuntimeError, match="^incompatible shapes: dimension 9223372036854775808 "):
        tf.getvar("T")


def test_unknown_variable_raises_runtime_error(tf):
    with pytest.raises(RuntimeError, match=r"^unknown variable: "):
        tf.getvar("no_such_variable")


# class, display prefix, about the file itself (so raised by opening too)
ERROR_KINDS = [
    (tarq.NetCDFError, "NetCDF error: ", True),
    (tarq.VariableNotFoundError, "variable not found in TARQ file: ", True),
    (tarq.AttributeNotFoundError, "global attribute not found: ", True),
    (tarq.AttributeTypeError, "unexpected attribute type: ", True),
    (tarq.DimensionMismatchError, "dimension mismatch: ", True),
    (tarq.UnknownVariableError, "unknown variable: ", False),
    (tarq.UnitConversionError, "unit conversion error: ", False),
    (tarq.InvalidParameterError, "invalid parameter: ", False),
    (tarq.ComputationError, "computation error: ", False),
]


def test_every_error_kind_has_its_class():
    assert len({cls for cls, _, _ in ERROR_KINDS}) == 9
    assert tarq.TarqError.__bases__ == (Exception,)
    assert issubclass(tarq.FileError, OSError) and issubclass(tarq.FileError, RuntimeError)
    for cls, _, about_the_file in ERROR_KINDS:
        assert getattr(_tarq, cls.__name__) is cls and cls.__module__ == "tarq._tarq"
        assert issubclass(cls, tarq.TarqError) and issubclass(cls, RuntimeError)
        assert issubclass(cls, tarq.FileError) == issubclass(cls, OSError) == about_the_file
        # Errors cross to and from Dask workers pickled.
        error = pickle.loads(pickle.dumps(cls("text")))
        assert type(error) is cls and str(error) == "text" and error.args == ("text",)


def test_entry_points_raise_the_class_of_the_kind(tf, tmp_path):
    one_level = tmp_path / "one_level.nc"  # T alone, on a single level
    with netCDF4.Dataset(one_level, "w") as nc:
        for name, size in (("Time", 1), ("bottom_top", 1), ("south_north", 3), ("west_east", 4)):
            nc.createDimension(name, size)
        nc.createVariable("T", "f4", ("Time", "bottom_top", "south_north", "west_east"))[:] = 0.0
    flat = _tarq.TarqFile(str(one_level))
    junk = tmp_path / "junk.nc"
    junk.write_bytes(b"not a model file")
    cases = [
        (lambda: _tarq.TarqFile(str(junk)), "NetCDF error: Not an HDF5 file"),
        (lambda: flat.getvar("rh"), "variable not found in TARQ file: P"),
        (flat.times, "variable not found in TARQ file: Times"),
        (lambda: tf.getvar("no_such_variable"), "unknown variable: no_such_variable "),
        (lambda: _tarq._describe_variable(tf, "no_such_variable"), "unknown variable: no_such_variable "),
        (lambda: tf.getvar("T", units="m"), "unit conversion error: T (no known unit) cannot be given in 'm'"),
        (lambda: tf.getvar("T", 3), "invalid parameter: timeidx 3 out of range (file has 3 times)"),
        (lambda: flat.getvar("slp"), "computation error: sea-level pressure needs at least two levels"),
    ]
    for call, text in cases:
        with pytest.raises(tarq.TarqError) as err:
            call()
        assert str(err.value).startswith(text)
        assert type(err.value) is next(cls for cls, prefix, _ in ERROR_KINDS if text.startswith(prefix))


def test_internal_fault_is_a_base_exception_and_leaves_everything_usable(tf):
    assert issubclass(tarq.InternalError, BaseException)
    assert not issubclass(tarq.InternalError, Exception)
    with pytest.raises(tarq.InternalError, match="fault probe: invariant violated at index 41"):
        _tarq._fault_probe()
    assert tf.getvar("pressure").shape == (NZ, NY, NX)
    assert len(tarq.list_variables()) == 95


def test_forked_child_gets_a_working_pool(tf):
    tf.getvar("pressure")  # the parent's pool is running
    code = textwrap.dedent(
        f"""
        import os, sys
        import tarq
        tf = tarq.TarqFile({tf.path!r})
        expected = tf.getvar("pressure").sum()
        pid = os.fork()
        if pid == 0:
            ok = tarq.TarqFile({tf.path!r}).getvar("pressure").sum() == expected
            os._exit(0 if ok else 3)
        _, status = os.waitpid(pid, 0)
        sys.exit(os.waitstatus_to_exitcode(status))
        """
    )
    subprocess.run([sys.executable, "-c", code], check=True, timeout=60)


def test_worker_count_hook():
    try:
        _tarq._set_workers(3)
        assert _tarq._workers() == 3
    finally:
        _tarq._set_workers(0)
    assert _tarq._workers() == os.cpu_count()


def test_names_are_looked_up_with_full_unicode_lower_casing(tf):
    # U+212A KELVIN SIGN lower-cases to ASCII "k", so this spells the alias "tk".
    np.testing.assert_array_equal(tf.getvar("T\u212a"), tf.getvar("temp"))
    np.testing.assert_array_equal(tf.getvar("PRES"), tf.getvar("pressure"))
