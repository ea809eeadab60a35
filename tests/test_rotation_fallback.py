"""Files without SINALPHA and COSALPHA: the rotation derived from the map
projection in the root attributes, checked against pyproj's meridian
convergence and against the same file with its rotation fields."""

from __future__ import annotations

import numpy as np
import pyproj
import pytest

from tarq import _tarq
from tarq.testing import build_model_file

EARTH_RADIUS_M = 6370000.0
ROTATED_ROWS = ["uvmet", "uvmet10", "wdir", "bunkers_rm", "mean_wind", "srh3"]

# (MAP_PROJ, TRUELAT1, TRUELAT2, STAND_LON, grid centre, pyproj definition)
PROJECTIONS = {
    "lambert": (1, 30.0, 60.0, -98.0, (41.3, -80.0),
                dict(proj="lcc", lat_1=30.0, lat_2=60.0, lat_0=45.0, lon_0=-98.0)),
    "lambert_tangent": (1, 45.0, 45.0, -98.0, (45.0, -112.0),
                        dict(proj="lcc", lat_1=45.0, lat_2=45.0, lat_0=45.0, lon_0=-98.0)),
    "lambert_south": (1, -30.0, -60.0, 140.0, (-35.0, 152.0),
                      dict(proj="lcc", lat_1=-30.0, lat_2=-60.0, lat_0=-45.0, lon_0=140.0)),
    "polar": (2, 60.0, 60.0, -100.0, (62.0, -75.0), dict(proj="stere", lat_0=90.0, lat_ts=60.0, lon_0=-100.0)),
    "mercator": (3, 30.0, 30.0, -100.0, (20.0, -80.0), dict(proj="merc", lat_ts=30.0, lon_0=-100.0)),
}


def veering(z):
    return 3.0 + 2.0 * z / 1000.0, -4.0 + 6.0 * np.sin(z / 3000.0)


def projection_files(tmp_path, key):
    """The same grid written with rotation fields from pyproj and without them."""
    code, lat1, lat2, lon0, centre, definition = PROJECTIONS[key]
    attrs = {"MAP_PROJ": np.int32(code), "TRUELAT1": np.float32(lat1), "TRUELAT2": np.float32(lat2),
             "STAND_LON": np.float32(lon0)}
    common = dict(nx=6, ny=5, nz=20, nt=1, dx=30000.0, dy=30000.0, center_lat_lon=centre, winds=veering,
                  global_attrs=attrs)
    # Lay out the grid once to learn its latitudes and longitudes.
    probe = build_model_file(tmp_path / "probe.nc", **common)
    lat = probe.variables["XLAT"][0].astype(np.float64)
    lon = probe.variables["XLONG"][0].astype(np.float64)
    gamma = pyproj.Proj(R=EARTH_RADIUS_M, **definition).get_factors(lon, lat).meridian_convergence
    # The model stores COSALPHA = cos(gamma) and SINALPHA = -sin(gamma).
    stored = build_model_file(tmp_path / "stored.nc", rotation_deg=-gamma, **common)
    bare = build_model_file(tmp_path / "bare.nc", rotation_deg=-gamma, omit=("SINALPHA", "COSALPHA"), **common)
    return _tarq.TarqFile(stored.path), _tarq.TarqFile(bare.path), gamma


@pytest.mark.parametrize("key", list(PROJECTIONS))
def test_derived_rotation_matches_the_stored_one(tmp_path, key):
    stored, bare, gamma = projection_files(tmp_path, key)
    if key == "mercator":
        assert np.all(gamma == 0.0)
    else:
        assert np.ptp(gamma) > 1.0, "the grid spans a range of rotation angles"
    # The winds were written grid-relative with pyproj's angle; the derived
    # rotation brings them back to the earth-relative profile.
    u10, v10 = veering(np.array(10.0))
    uvmet10 = bare.getvar("uvmet10")
    np.testing.assert_allclose(uvmet10[0], u10, atol=5e-5 * abs(complex(u10, v10)))
    np.testing.assert_allclose(uvmet10[1], v10, atol=5e-5 * abs(complex(u10, v10)))
    for name in ROTATED_ROWS:
        np.testing.assert_allclose(bare.getvar(name), stored.getvar(name), rtol=1e-5, atol=1e-4, err_msg=name)
    np.testing.assert_array_equal(bare.getvar("wspd"), stored.getvar("wspd"))


@pytest.mark.parametrize("attrs", [{"MAP_PROJ": np.int32(6), "TRUELAT1": np.float32(30.0), "STAND_LON": np.float32(0.0)},
                                   {"MAP_PROJ": np.int32(1), "TRUELAT1": np.float32(30.0)},
                                   {"MAP_PROJ": np.float32(1.5), "TRUELAT1": np.float32(30.0),
                                    "TRUELAT2": np.float32(60.0), "STAND_LON": np.float32(-98.0)}])
def test_unsupported_or_incomplete_projection_keeps_the_read_error(tmp_path, attrs):
    mf = build_model_file(tmp_path / "odd.nc", nx=3, ny=2, nz=5, nt=1, global_attrs=attrs, omit=("COSALPHA",))
    f = _tarq.TarqFile(mf.path)
    for name in ("uvmet", "srh1", "wdir10"):
        with pytest.raises(RuntimeError, match="COSALPHA"):
            f.getvar(name)


def test_a_projection_without_xlong_keeps_the_read_error(tmp_path):
    attrs = {"MAP_PROJ": np.int32(2), "TRUELAT1": np.float32(60.0), "STAND_LON": np.float32(-100.0)}
    mf = build_model_file(tmp_path / "nolon.nc", nx=3, ny=2, nz=5, nt=1, global_attrs=attrs,
                          omit=("SINALPHA", "COSALPHA", "XLONG"))
    with pytest.raises(RuntimeError, match="SINALPHA"):
        _tarq.TarqFile(mf.path).getvar("uvmet")
