"""Windows over the grid: every catalogue row on a window equals the same crop
of its whole-domain result, bit for bit, for every option the catalogue
declares, on netCDF-4 files stored contiguous or in chunks (including chunks
that straddle the windows), classic files and packed variables; stored
variables come back cropped, staggered dimensions with their extra point."""

import io
import os

import numpy as np
import pytest

import tarq
from tarq import _tarq
from tarq.testing import build_model_file

NX, NY, NZ = 13, 11, 8
ROWS = _tarq._catalogue()

# Land use with lakes small enough to fill at LAKE_KM2 (cells of 9 km2): one
# straddling the edges of the south-west corner window, one on the east edge
# of the domain, and a water body too large to fill along the north edge.
LAKE_KM2 = 100.0
LAND_USE = np.full((NY, NX), 2.0)
LAND_USE[2:4, 3:5] = 16.0
LAND_USE[6, 12] = 17.0
LAND_USE[9:11, 0:7] = 21.0

# (i0, i1, j0, j1): the corners, along each edge, one column and one row wide,
# inside, and the whole domain.
WINDOWS = [
    (0, 4, 0, 3), (9, 13, 0, 3), (0, 4, 8, 11), (9, 13, 8, 11),
    (0, 3, 3, 8), (10, 13, 3, 8), (4, 9, 0, 2), (4, 9, 9, 11),
    (6, 7, 0, 11), (0, 13, 5, 6), (12, 13, 10, 11), (3, 8, 2, 7), (0, NX, 0, NY),
]

# A value other than the default for each declared option.
OPTION_VALUES = {
    "lake_interp": LAKE_KM2, "top_m": 4000.0, "bottom_m": 500.0, "storm_motion": (10.0, 5.0),
    "depth_m": 2000.0, "use_virtual": True, "bottom_p": 850.0, "top_p": 400.0, "layer_type": "effective",
}
CUSTOM_PARCEL = {"parcel_pressure": 900.0, "parcel_temperature": 25.0, "parcel_dewpoint": 18.0}


def option_sets(row):
    """The defaults, then each declared option set apart from its default."""
    declared = row["options"]
    sets = [{}]
    for name in declared:
        if name == "parcel_type":
            sets += [{"parcel_type": kind} for kind in ("sb", "ml", "mu")]
        elif name in CUSTOM_PARCEL:
            if name == "parcel_pressure":
                sets.append(dict(CUSTOM_PARCEL))
        else:
            sets.append({name: OPTION_VALUES[name]})
    return sets


FIXTURES = {
    "contiguous": dict(chunking="contiguous"),
    "chunked": dict(chunking=(4, 5)),
    "classic": dict(file_format="NETCDF3_64BIT_OFFSET", static_2d=True),
    "packed": dict(packed=("T", "U", "T2", "Q2", "HGT", "PSFC")),
}


# Accumulated precipitation (mm), different in every cell, for the *_accum rows.
PRECIPITATION = {name: np.random.default_rng(k).uniform(0.0, 20.0, (2, NY, NX)).astype(np.float32)
                 for k, name in enumerate(("RAINC", "RAINNC", "SNOWNC", "GRAUPELNC", "HAILNC"))}


@pytest.fixture(scope="module", params=list(FIXTURES))
def model(request, tmp_path_factory):
    path = tmp_path_factory.mktemp("windows") / f"{request.param}.nc"
    mf = build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=2, noise=0.6, seed=3, rotation_deg=12.0,
                          lu_index=LAND_USE, overrides=PRECIPITATION, **FIXTURES[request.param])
    return mf, tarq.TarqFile(mf.path)


@pytest.mark.parametrize("row", ROWS, ids=[row["name"] for row in ROWS])
def test_every_row_equals_the_crop_of_the_whole_domain(model, row):
    _, f = model
    for options in option_sets(row):
        whole = f.getvar(row["name"], 1, **options)
        for i0, i1, j0, j1 in WINDOWS:
            got = f.window(i0, i1, j0, j1).getvar(row["name"], 1, **options)
            np.testing.assert_array_equal(got, whole[..., j0:j1, i0:i1], strict=True,
                                          err_msg=f"{options} on window {(i0, i1, j0, j1)}")


def test_a_window_of_a_window_is_the_crop_of_the_crop(model):
    _, f = model
    inner = f.window(2, 11, 1, 9).window(3, 5, 0, 4)
    assert (inner.nx, inner.ny) == (2, 4)
    for name, options in (("avo", {}), ("uhel", {}), ("slp", {}), ("t2", {"lake_interp": LAKE_KM2}), ("T2", {})):
        np.testing.assert_array_equal(inner.getvar(name, **options), f.getvar(name, **options)[..., 1:5, 5:7],
                                      strict=True)


STORED = {"T": (0, 0), "U": (0, 1), "V": (1, 0), "W": (0, 0), "PH": (0, 0), "T2": (0, 0), "XLAT": (0, 0),
          "HGT": (0, 0), "LU_INDEX": (0, 0)}


@pytest.mark.parametrize("name", list(STORED))
def test_stored_variables_come_back_cropped_with_staggered_points(model, name):
    mf, f = model
    extra_y, extra_x = STORED[name]
    written = mf.variables[name]
    stored = written if written.ndim == 2 else written[1]  # static [ny, nx] fields have no time
    for i0, i1, j0, j1 in WINDOWS[:-1]:
        expected = stored[..., j0:j1 + extra_y, i0:i1 + extra_x].astype(np.float64)
        np.testing.assert_array_equal(f.window(i0, i1, j0, j1).getvar(name, 1), expected, strict=True)
    # The whole domain as a window reads as the file does.
    np.testing.assert_array_equal(f.window(0, NX, 0, NY).getvar(name, 1), f.getvar(name, 1), strict=True)


def test_window_keeps_the_files_facts_and_says_it_is_a_window(model):
    _, f = model
    w = f.window(3, 8, 2, 7)
    assert (w.nx, w.ny, w.nz, w.nt, w.dx, w.dy, w.path) == (5, 5, f.nz, f.nt, f.dx, f.dy, f.path)
    assert w.times() == f.times()
    assert "window=(i0=3, i1=8, j0=2, j1=7)" in repr(w)
    assert "window=" not in repr(f)
    assert "window=(i0=5, i1=6, j0=3, j1=4)" in repr(w.window(2, 3, 1, 2))


@pytest.mark.parametrize("bounds", [(0, 0, 0, 1), (3, 2, 0, 1), (0, NX + 1, 0, 1), (0, 1, 0, NY + 1),
                                    (-1, 2, 0, 1), (0, 1, 5, 5)])
def test_bad_windows_raise_value_error_naming_the_bounds(model, bounds):
    _, f = model
    i0, i1, j0, j1 = bounds
    with pytest.raises(ValueError, match=rf"i0={i0}, i1={i1}, j0={j0}, j1={j1} .*nx={NX}, ny={NY}"):
        f.window(*bounds)
    with pytest.raises(ValueError, match="nx=2, ny=2"):
        f.window(0, 2, 0, 2).window(0, 3, 0, 1)


def _rchar() -> int:
    with open("/proc/self/io") as io:
        return next(int(line.split()[1]) for line in io if line.startswith("rchar:"))


@pytest.mark.skipif(not os.path.exists("/proc/self/io"), reason="needs Linux /proc/self/io")
@pytest.mark.parametrize("storage", [dict(chunking="contiguous"), dict(chunking=(10, 10)),
                                     dict(file_format="NETCDF3_64BIT_OFFSET")], ids=["contiguous", "chunked", "classic"])
def test_a_window_reads_only_its_part_of_the_file(tmp_path, storage):
    mf = build_model_file(tmp_path / "big.nc", nx=80, ny=60, nz=20, nt=1, **storage)
    f = tarq.TarqFile(mf.path)
    f.getvar("T2")  # the metadata of a first read

    def bytes_read(record, name):
        before = _rchar()
        record.getvar(name)
        return _rchar() - before

    whole = bytes_read(f, "T")
    window = bytes_read(f.window(30, 40, 20, 30), "T")
    share = 20 * 10 * 10 * 4
    # Rows of 10 points, or the 10 x 10 chunks (compressed) the window covers:
    # at most its share, where the whole domain is 48 times as many points.
    assert window <= 2 * share + 16384 and 20 * window <= whole


@pytest.fixture(scope="module")
def chunked_file(tmp_path_factory):
    path = tmp_path_factory.mktemp("xwindows") / "m.nc"
    return build_model_file(path, nx=NX, ny=NY, nz=NZ, nt=2, noise=0.6, seed=3, chunking=(4, 5)).path


@pytest.mark.parametrize("chunks", [None, {"Time": 1}])
def test_an_xarray_region_is_the_crop_of_the_whole_result(chunked_file, chunks):
    from tarq.xarray import open_dataset, open_getvar

    region = {"south_north": slice(2, 7), "west_east": slice(-6, None)}
    crop = dict(south_north=slice(2, 7), west_east=slice(NX - 6, NX))
    for name in ("avo", "uvmet10"):
        got = open_getvar(chunked_file, name, chunks=chunks, region=region)
        whole = open_getvar(chunked_file, name).isel(**crop)
        np.testing.assert_array_equal(got.values, whole.values, strict=True)
        for coord in ("XLAT", "XLONG"):
            np.testing.assert_array_equal(got[coord].values, whole[coord].values)
    ds = open_dataset(chunked_file, ["U", "slp"], region={"west_east": slice(3, 5)})
    assert ds["U"].sizes["west_east_stag"] == 3 and ds["slp"].sizes["west_east"] == 2
    f = tarq.TarqFile(chunked_file)
    np.testing.assert_array_equal(ds["U"].isel(Time=1).values,
                                  f.getvar("U", 1).reshape(NZ, NY, NX + 1)[:, :, 3:6], strict=True)


def test_a_bbox_chooses_the_smallest_window_holding_its_points(chunked_file):
    from tarq.xarray import open_getvar

    f = tarq.TarqFile(chunked_file)
    lat, lon = f.getvar("lat"), f.getvar("lon")
    box = (lat[3, 0], lat[6, 0], lon[0, 2], lon[0, 8])
    inside = (lat >= box[0]) & (lat <= box[1]) & (lon >= box[2]) & (lon <= box[3])
    rows, cols = np.nonzero(inside.any(axis=1))[0], np.nonzero(inside.any(axis=0))[0]
    got = open_getvar(chunked_file, "slp", bbox=box)
    whole = open_getvar(chunked_file, "slp")
    expected = whole.isel(south_north=slice(rows[0], rows[-1] + 1), west_east=slice(cols[0], cols[-1] + 1))
    assert got.sizes["south_north"] < NY and got.sizes["west_east"] < NX
    np.testing.assert_array_equal(got.values, expected.values, strict=True)
    with pytest.raises(ValueError, match="holds no mass point"):
        open_getvar(chunked_file, "slp", bbox=(10.0, 11.0, 0.0, 1.0))
    with pytest.raises(ValueError, match="not both"):
        open_getvar(chunked_file, "slp", bbox=box, region={})
    with pytest.raises(ValueError, match="selects no"):
        open_getvar(chunked_file, "slp", region={"south_north": slice(4, 4)})


def test_the_command_line_region_restricts_the_summary(chunked_file, capsys):
    from tarq.cli import build_parser, main, run

    f = tarq.TarqFile(chunked_file)
    lat, lon = f.getvar("lat"), f.getvar("lon")
    box = f"{lat[3, 0]},{lat[6, 0]},{lon[0, 2]},{lon[0, 8]}"
    out = io.StringIO()
    assert run(build_parser().parse_args([chunked_file, "slp", "--time", "0", "--region", box]), out) == 0
    text = out.getvalue()
    window = f.window(3, 8, 3, 7).getvar("slp", 0, units="hPa")
    assert f"mass points [3:7, 3:8] of the {NY} x {NX} grid" in text and "nx=5 ny=4" in text
    assert f"{window.max():.1f}" in text
    assert main([chunked_file, "slp", "--region", "10,11,0,1"]) == 2
    assert "holds no mass point" in capsys.readouterr().err
