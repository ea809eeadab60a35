"""Base fields (pressure, heights, geopotential, terrain, winds on mass points,
lat/lon) against NumPy applied to the stored arrays, read with netCDF4."""

import netCDF4
import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import STATIC_FIELDS, build_model_file

NT = 3


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    path = tmp_path_factory.mktemp("base") / "m.nc"
    mf = build_model_file(path, nx=7, ny=6, nz=9, nt=NT, noise=0.3, rotation_deg=12.0)
    return mf


@pytest.fixture(scope="module")
def stored(model):
    """Stored variable for one time as float64, exactly as netCDF4 reads it."""
    ds = netCDF4.Dataset(model.path)
    ds.set_auto_mask(False)

    def read(name, t):
        return np.asarray(ds[name][t], dtype=np.float64)

    yield read
    ds.close()


def destagger(a, axis):
    n = a.shape[axis]
    return (np.take(a, range(n - 1), axis=axis) + np.take(a, range(1, n), axis=axis)) * 0.5


def expected_fields(read, t):
    geopt = destagger(read("PH", t) + read("PHB", t), 0)
    height = geopt / 9.80665
    return {
        "pressure": read("P", t) + read("PB", t),
        "geopt": geopt,
        "height": height,
        "height_agl": height - read("HGT", t)[None],
        "terrain": read("HGT", t),
        "ua": destagger(read("U", t), 2),
        "va": destagger(read("V", t), 1),
        "wa": destagger(read("W", t), 0),
        "lat": read("XLAT", t),
        "lon": read("XLONG", t),
    }


@pytest.mark.parametrize("t", range(NT))
def test_base_fields_equal_numpy_on_the_stored_arrays(model, stored, t):
    f = _tarq.TarqFile(model.path)
    expected = expected_fields(stored, t)
    for name, want in expected.items():
        got = f.getvar(name, timeidx=t)
        assert got.dtype == np.float64 and got.shape == want.shape, name
        np.testing.assert_array_equal(got, want, err_msg=name)


def test_times_differ_and_timeidx_defaults_to_zero(model):
    f = _tarq.TarqFile(model.path)
    np.testing.assert_array_equal(f.getvar("pressure"), f.getvar("pressure", 0))
    assert not np.array_equal(f.getvar("pressure", 0), f.getvar("pressure", 1))
    assert not np.array_equal(f.getvar("ua", 1), f.getvar("ua", 2))


@pytest.mark.parametrize(
    "alias, row",
    [("P", "pressure"), ("pres", "pressure"), ("Z", "height"), ("height_msl", "height"), ("z_agl", "height_agl"),
     ("geopotential", "geopt"), ("HGT", "terrain"), ("ter", "terrain"), ("u_destag", "ua"), ("V_DESTAG", "va"),
     ("w_destag", "wa"), ("XLAT", "lat"), ("latitude", "lat"), ("XLONG", "lon"), ("longitude", "lon")],
)
def test_aliases_reach_their_rows(model, alias, row):
    f = _tarq.TarqFile(model.path)
    np.testing.assert_array_equal(f.getvar(alias, 1), f.getvar(row, 1))


def test_hydrostatic_fixture_gives_sane_base_fields(model):
    f = _tarq.TarqFile(model.path)
    p = f.getvar("pressure")
    z_agl = f.getvar("height_agl")
    assert np.all(np.diff(p, axis=0) < 0) and np.all(np.diff(z_agl, axis=0) > 0)
    assert np.all((z_agl[0] > 5.0) & (z_agl[0] < 200.0))
    assert 80000.0 < p[0].min() and p[0].max() < 101000.0


def test_temperature_accessors_use_the_decimal_exponent(model, stored):
    # temp, tc and theta forward the accessors unchanged; the exponent is the
    # decimal 0.2857142857, not 2/7.
    f = _tarq.TarqFile(model.path)
    theta = stored("T", 1) + 300.0
    p = stored("P", 1) + stored("PB", 1)
    temp = theta * (p / 100000.0) ** 0.2857142857
    np.testing.assert_array_equal(f.getvar("theta", 1), theta)
    # NumPy's pow and the C library's may differ in the last bit.
    np.testing.assert_array_max_ulp(f.getvar("temp", 1), temp, maxulp=2)
    np.testing.assert_allclose(f.getvar("tc", 1), temp - 273.15, rtol=0, atol=1e-12)
    two_sevenths = theta * (p / 100000.0) ** (2.0 / 7.0)
    assert np.abs(f.getvar("temp", 1) - two_sevenths).max() > 1e-10  # far beyond 2 ulps


def test_static_fields_stored_without_time_serve_every_time(tmp_path):
    """Files rewritten by common tools store the static fields as [ny, nx]."""
    mf = build_model_file(tmp_path / "static.nc", nx=7, ny=6, nz=5, nt=NT, static_2d=True, rotation_deg=20.0)
    f = _tarq.TarqFile(mf.path)
    ds = netCDF4.Dataset(mf.path)
    ds.set_auto_mask(False)
    assert all(ds[name].dimensions == ("south_north", "west_east") for name in STATIC_FIELDS)
    for t in range(NT):
        np.testing.assert_array_equal(f.getvar("terrain", t), ds["HGT"][:].astype(np.float64))
        np.testing.assert_array_equal(f.getvar("lat", t), ds["XLAT"][:].astype(np.float64))
        np.testing.assert_array_equal(f.getvar("lon", t), ds["XLONG"][:].astype(np.float64))
        height = destagger(ds["PH"][t].astype(np.float64) + ds["PHB"][t].astype(np.float64), 0) / 9.80665
        np.testing.assert_array_equal(f.getvar("height_agl", t), height - ds["HGT"][:].astype(np.float64)[None])
        # Raw reads of the other static fields are whole [ny, nx] fields too.
        for name in ("COSALPHA", "SINALPHA", "LU_INDEX", "MAPFAC_M"):
            np.testing.assert_array_equal(f.getvar(name, t), ds[name][:].astype(np.float64))
    ds.close()
