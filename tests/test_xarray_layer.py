"""tarq.xarray: labelled results over several files, eager, lazy on the threaded
scheduler and on a real dask.distributed cluster, interpolated to levels, and
the errors that must come before any computing."""

from __future__ import annotations

import os

import numpy as np
import pytest

xr = pytest.importorskip("xarray")
pytest.importorskip("dask")

import tarq
import tarq.xarray as txr
from tarq.testing import build_model_file

NX, NY, NZ = 5, 4, 12
PROJECTION = {"MAP_PROJ": np.int32(1), "TRUELAT1": np.float32(30.0), "TRUELAT2": np.float32(60.0),
              "STAND_LON": np.float32(-96.0), "CEN_LAT": np.float32(41.3), "CEN_LON": np.float32(-96.0)}
STARTS = ["2024-05-20_18:00:00", "2024-05-20_20:00:00", "2024-05-20_22:00:00"]


def _model_file(path, start, seed, **kwargs):
    attrs = {"DX": np.float32(3000.0), "DY": np.float32(3000.0), **PROJECTION, **kwargs.pop("global_attrs", {})}
    return build_model_file(path, nx=kwargs.pop("nx", NX), ny=NY, nz=NZ, nt=2, start_time=start, noise=0.3,
                            seed=seed, global_attrs=attrs, **kwargs).path


@pytest.fixture(scope="module")
def run_dir(tmp_path_factory):
    """Three files of two hourly times each; their noise differs, so every time differs."""
    d = tmp_path_factory.mktemp("run")
    for n, start in enumerate(STARTS):
        _model_file(d / f"tarqout_d01_{start}", start, seed=n)
    return d


@pytest.fixture(scope="module")
def paths(run_dir):
    return sorted(str(p) for p in run_dir.iterdir())


def one_time_at_a_time(paths, name, **options):
    return np.stack([tarq.TarqFile(p).getvar(name, t, **options) for p in paths for t in range(2)], axis=0)


@pytest.mark.parametrize("name, options, dims, units, description", [
    ("t2", {"units": "degC"}, ("Time", "south_north", "west_east"), "degC", "2-m temperature"),
    ("temp", {}, ("Time", "bottom_top", "south_north", "west_east"), "K", "Temperature"),
    ("uvmet10", {"units": "kt"}, ("wind_component", "Time", "south_north", "west_east"), "kt",
     "10-m U/V wind rotated to earth coordinates"),
    ("effective_inflow", {"units": "km"}, ("inflow_bound", "Time", "south_north", "west_east"), "km",
     "Effective inflow layer base/top heights AGL"),
    ("cape2d", {"parcel_type": "sb"}, ("cape2d_component", "Time", "south_north", "west_east"), "J/kg",
     "CAPE/CIN/LCL/LFC (backward-compat tuple)"),
    ("PSFC", {}, ("Time", "south_north", "west_east"), "Pa", "Raw TARQ variable: PSFC"),
])
def test_labelled_result_equals_getvar_time_by_time(run_dir, paths, name, options, dims, units, description):
    # Given as a glob in a list with the files out of order: times still come out in order.
    da = txr.open_getvar([paths[2], str(run_dir / "tarqout_d01_2024-05-20_1*"), paths[1]], name, **options)
    assert da.dims == dims
    assert da.attrs["units"] == units and da.attrs["description"] == description
    assert da.attrs["MAP_PROJ"] == 1 and da.attrs["TRUELAT2"] == pytest.approx(60.0) and da.attrs["DX"] == 3000.0
    expected_times = np.array(["2024-05-20T18", "2024-05-20T19", "2024-05-20T20", "2024-05-20T21",
                               "2024-05-20T22", "2024-05-20T23"], dtype="datetime64[ns]")
    np.testing.assert_array_equal(da["Time"].values, expected_times)
    first = tarq.TarqFile(paths[0])
    np.testing.assert_array_equal(da["XLAT"].values, first.getvar("lat"))
    np.testing.assert_array_equal(da["XLONG"].values, first.getvar("lon"))
    assert da["XLAT"].dims == ("south_north", "west_east")
    expected = one_time_at_a_time(paths, name, **options)
    if name in txr._variables.COMPONENTS:
        component_dim, labels = txr._variables.COMPONENTS[name]
        assert list(da[component_dim].values) == list(labels)
        expected = np.moveaxis(expected, 0, 1)
    np.testing.assert_array_equal(da.values, expected)


def test_time_selection_by_index_slice_and_value(paths):
    da = txr.open_getvar(paths, "t2", times=[5, 0, -2])
    np.testing.assert_array_equal(da["Time"].values.astype("datetime64[h]").astype(str),
                                  ["2024-05-20T23", "2024-05-20T18", "2024-05-20T22"])
    np.testing.assert_array_equal(da.values[1], tarq.TarqFile(paths[0]).getvar("t2", 0))
    assert txr.open_getvar(paths, "t2", times=slice(1, 6, 2)).sizes["Time"] == 3
    by_value = txr.open_getvar(paths, "t2", times=["2024-05-20_21:00:00"])
    np.testing.assert_array_equal(by_value.values[0], tarq.TarqFile(paths[1]).getvar("t2", 1))


def test_interpolated_to_pressure_and_height_levels(paths):
    levels = [850.0, 700.0, 1100.0]
    da = txr.open_getvar(paths, "temp", levels=levels, vertical="pressure", times=[0, 3])
    assert da.dims == ("Time", "level", "south_north", "west_east")
    np.testing.assert_array_equal(da["level"].values, levels)
    assert da["level"].attrs["units"] == "hPa"
    f = tarq.TarqFile(paths[1])
    expected = tarq.interp_levels(f.getvar("temp", 1), f.getvar("pressure", 1) / 100.0, levels, log_p=True)
    np.testing.assert_allclose(da.values[1], expected, rtol=1e-14)
    assert np.isnan(da.values[:, 2]).all()  # below ground everywhere

    wind = txr.open_getvar(paths, "uvmet", levels=[1000.0], vertical="height_agl", times=[0])
    assert wind.dims == ("wind_component", "Time", "level", "south_north", "west_east")
    f = tarq.TarqFile(paths[0])
    expected = tarq.interp_levels(f.getvar("uvmet"), f.getvar("height_agl"), [1000.0])
    np.testing.assert_array_equal(wind.values[:, 0], expected)

    # A dataset interpolates the variables on model levels and keeps the others.
    ds = txr.open_dataset(paths, ["height", "t2"], levels=[3000.0], vertical="height", times=[0])
    assert ds["height"].dims == ("Time", "level", "south_north", "west_east")
    np.testing.assert_allclose(ds["height"].values, 3000.0, rtol=1e-12)
    assert ds["t2"].dims == ("Time", "south_north", "west_east")


def test_lazy_result_has_one_task_per_file_time_and_matches_eager(paths):
    eager = txr.open_dataset(paths, ["mlcape", "cape2d", "temp"], levels=[800.0], vertical="pressure")
    lazy = txr.open_dataset(paths, ["mlcape", "cape2d", "temp"], levels=[800.0], vertical="pressure",
                            chunks={"Time": 1})
    for name in ("mlcape", "cape2d", "temp"):
        data = lazy[name].data
        assert data.npartitions == 6 and data.chunks[lazy[name].dims.index("Time")] == (1,) * 6
    xr.testing.assert_identical(lazy.compute(scheduler="threads"), eager)
    merged = txr.open_getvar(paths, "t2", chunks={"Time": 3})
    assert merged.data.chunks[0] == (3, 3)
    np.testing.assert_array_equal(merged.compute(scheduler="sync").values, one_time_at_a_time(paths, "t2"))


def test_the_variables_of_one_file_time_share_one_task(paths):
    lazy = txr.open_dataset(paths, ["mlcape", "slp", "srh1"], chunks={"Time": 1})
    graph = dict(lazy.__dask_graph__())
    calls = [repr(task) for task in graph.values()]
    assert sum("_compute_blocks" in c for c in calls) == 6
    assert not any("_compute_block " in c for c in calls)  # no task of one variable alone


def test_distributed_cluster_equals_eager(paths):
    distributed = pytest.importorskip("distributed")
    names = ["sbcape", "slp"]
    eager = txr.open_dataset(paths, names)
    lazy = txr.open_dataset(paths, names, chunks={"Time": 1})
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  memory_limit="1GiB") as cluster, distributed.Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        result = client.compute(lazy).result(timeout=240)
    xr.testing.assert_identical(result, eager)


def test_threaded_scheduler_equals_eager(paths):
    names = ["sbcape", "slp"]
    eager = txr.open_dataset(paths, names)
    lazy = txr.open_dataset(paths, names, chunks={"Time": 1})
    xr.testing.assert_identical(lazy.compute(scheduler="threads", num_workers=2), eager)


@pytest.fixture
def no_compute(monkeypatch):
    """Fails the test if any block is computed."""
    def refuse(block):
        raise AssertionError(f"computed {block} before the error")
    monkeypatch.setattr(txr._assemble, "_compute_block", refuse)


def compiled_error(path, *args, **kwargs) -> tuple[type, str]:
    try:
        tarq.TarqFile(path).getvar(*args, **kwargs)
    except (RuntimeError, TypeError) as e:
        return type(e), str(e)
    raise AssertionError("getvar did not fail")


@pytest.mark.parametrize("chunks", [None, {"Time": 1}])
def test_errors_come_before_any_computing(tmp_path, run_dir, paths, no_compute, chunks):
    odd = _model_file(tmp_path / "odd_grid.nc", "2024-05-21_00:00:00", seed=9, nx=NX + 1)
    with pytest.raises(ValueError) as err:
        txr.open_getvar([paths[0], odd], "t2", chunks=chunks)
    assert paths[0] in str(err.value) and odd in str(err.value) and "nx" in str(err.value)

    moved = _model_file(tmp_path / "moved.nc", "2024-05-21_00:00:00", seed=9, global_attrs={"CEN_LAT": np.float32(45)})
    with pytest.raises(ValueError, match="CEN_LAT") as err:
        txr.open_getvar([paths[0], moved], "t2", chunks=chunks)
    assert moved in str(err.value)

    for missing in [str(run_dir / "tarqout_d02_*"), str(run_dir / "no_such_file.nc")]:
        with pytest.raises(FileNotFoundError, match="tarqout_d02_|no_such_file"):
            txr.open_getvar([paths[0], missing], "t2", chunks=chunks)
    # A file matched by a glob that vanished or is not a model file.
    os.symlink(tmp_path / "gone.nc", tmp_path / "link.nc")
    with pytest.raises(OSError, match="link.nc"):
        txr.open_getvar(str(tmp_path / "li*.nc"), "t2", chunks=chunks)
    (tmp_path / "junk.nc").write_bytes(b"not a model file")
    with pytest.raises(OSError, match="junk.nc: NetCDF error"):
        txr.open_getvar([paths[0], str(tmp_path / "junk.nc")], "t2", chunks=chunks)

    cases = [
        (("no_such_variable",), {}),
        (("t2",), {"units": "m"}),
        (("tc",), {"units": "pvu"}),
        (("sbcape",), {"storm_motion": [1.0, 2.0]}),
        (("sbcape",), {"use_virtual": 1}),
        (("sbcape",), {"bogus_option": 1}),
    ]
    for args, options in cases:
        kind, text = compiled_error(paths[0], *args, **options)
        with pytest.raises(kind) as err:
            txr.open_getvar(paths, *args, chunks=chunks, **options)
        assert str(err.value) == text
        with pytest.raises(kind):
            txr.open_dataset(paths, ["t2", *args], chunks=chunks, **options)

    # getvar ignores what its row does not read; a labelled result refuses it.
    refused = [
        ("t2", {"parcel_type": "mu"}, "option parcel_type is not read by t2"),
        ("PSFC", {"top_m": 1000.0}, "option top_m is not read by PSFC"),
        ("cape", {"parcel_type": "xx"}, "option parcel_type='xx' is not accepted by cape (expected sb, ml, mu)"),
        ("stp", {"layer_type": "Effective"},
         "option layer_type='Effective' is not accepted by stp (expected fixed, effective)"),
    ]
    for name, options, message in refused:
        tarq.TarqFile(paths[0]).getvar(name, **options)  # lenient
        with pytest.raises(tarq.InvalidParameterError) as err:
            txr.open_getvar(paths, name, chunks=chunks, **options)
        assert str(err.value) == f"invalid parameter: {message}"

    with pytest.raises(RuntimeError) as err:
        txr.open_getvar(paths, "t2", times=[6], chunks=chunks)
    counts = ", ".join(f"{p} has 2" for p in paths)
    assert str(err.value) == f"invalid parameter: timeidx 6 out of range (6 times in 3 files: {counts})"
    with pytest.raises(RuntimeError, match="not among"):
        txr.open_getvar(paths, "t2", times=["2030-01-01_00:00:00"], chunks=chunks)
    with pytest.raises(ValueError, match="model levels"):
        txr.open_getvar(paths, "t2", levels=[500.0], vertical="pressure", chunks=chunks)
    with pytest.raises(ValueError, match="vertical must be one of"):
        txr.open_getvar(paths, "temp", levels=[500.0], vertical="sigma", chunks=chunks)
    with pytest.raises(ValueError, match="give both"):
        txr.open_getvar(paths, "temp", levels=[500.0], chunks=chunks)


def test_repeated_times_are_refused_naming_both_files_and_the_time(tmp_path, paths, no_compute):
    overlap = _model_file(tmp_path / "overlap.nc", "2024-05-20_19:00:00", seed=7)
    link = tmp_path / "same.nc"
    os.symlink(paths[0], link)
    cases = [
        ([paths[0], paths[0]], f"{paths[0]} and {paths[0]} are the same file: time 2024-05-20_18:00:00 would repeat"),
        ([paths[0], str(link)], f"{paths[0]} and {link} are the same file: time 2024-05-20_18:00:00 would repeat"),
        ([paths[0], overlap], f"{paths[0]} and {overlap} both hold time 2024-05-20_19:00:00"),
        ([overlap, *paths], f"{overlap} and {paths[0]} both hold time 2024-05-20_19:00:00"),
    ]
    for files, message in cases:
        for open_ in (lambda: txr.open_getvar(files, "t2"), lambda: txr.open_dataset(files, ["t2"], chunks={"Time": 1})):
            with pytest.raises(ValueError) as err:
                open_()
            assert str(err.value) == message


def test_a_failure_while_computing_names_its_file_and_time(tmp_path, paths):
    dry = _model_file(tmp_path / "dry.nc", "2024-05-21_00:00:00", seed=9, omit=("QVAPOR",))
    lazy = txr.open_getvar([paths[0], dry], "sbcape", chunks={"Time": 1})
    with pytest.raises(RuntimeError, match=r"dry\.nc \(time index [01]\): variable not found in TARQ file: QVAPOR$"):
        lazy.compute(scheduler="sync")


def test_open_files_are_reused_and_bounded(paths):
    cache = txr._blocks._OpenFiles(max_files=2)
    a = cache.get(paths[0])
    for t in (0, 1, 0, 1):  # however many times it serves, its cache stays within its budget
        a.getvar("sbcape", t)
        assert cache.get(paths[0]) is a and a._cached_bytes <= a.cache_budget
    b = cache.get(paths[1])
    assert cache.get(paths[0]) is a
    cache.get(paths[2])
    assert cache.get(paths[0]) is a and cache.get(paths[1]) is not b  # least recently used, closed beyond two
