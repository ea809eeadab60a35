"""Map projections of model files against pyproj, and the lat/lon <-> grid index lookups."""

import numpy as np
import pytest

import tarq
from tarq.testing import PROJECTIONS, build_model_file, proj4_string

pyproj = pytest.importorskip("pyproj")

NX, NY, DX = 9, 7, 12000.0
# A centre for each projection; the lat-lon grid straddles the date line.
CENTRES = {"lambert": (38.5, -97.0), "polar": (71.0, -150.0), "mercator": (22.0, -75.0), "latlon": (10.0, 179.8)}


def _grid(path, name, **kw):
    build_model_file(path, nx=NX, ny=NY, nz=3, nt=kw.pop("nt", 1), dx=DX, dy=DX, projection=PROJECTIONS[name],
                     center_lat_lon=CENTRES[name], **kw)
    return tarq.TarqFile(path)


@pytest.fixture(scope="module", params=sorted(CENTRES))
def grid(request, tmp_path_factory):
    # CEN_LAT/CEN_LON of a cropped file describe its parent: the grid must not be anchored at them.
    parent = {"CEN_LAT": np.float32(CENTRES[request.param][0] + 3), "CEN_LON": np.float32(100.0)}
    f = _grid(tmp_path_factory.mktemp("proj") / f"{request.param}.nc", request.param, global_attrs=parent)
    return request.param, f


def _stored(f, t=0):
    return f.getvar("lat", timeidx=t), f.getvar("lon", timeidx=t)


def _lon_difference(a, b):
    return np.abs(np.mod(np.asarray(a) - b + 180.0, 360.0) - 180.0)


def test_crs_and_coordinates_match_pyproj(grid):
    name, f = grid
    proj = tarq.projection(f)
    independent = pyproj.CRS.from_proj4(proj4_string(PROJECTIONS[name]))
    assert proj.pyproj_crs == pyproj.CRS.from_cf(proj.cf)
    assert proj.cf["earth_radius"] == 6370000.0
    assert proj.x.shape == (NX,) and proj.y.shape == (NY,)
    lat, lon = _stored(f)
    xx, yy = np.meshgrid(proj.x, proj.y)
    if name == "latlon":
        assert proj.cf["grid_mapping_name"] == "latitude_longitude"
        glat, glon = yy, xx
    else:
        assert proj.x[1] - proj.x[0] == DX and proj.y[1] - proj.y[0] == DX
        glon, glat = pyproj.Transformer.from_crs(independent, independent.geodetic_crs,
                                                 always_xy=True).transform(xx, yy)
        # tarq's own CRS and the PROJ string agree point by point.
        mine = pyproj.Transformer.from_crs(proj.pyproj_crs, "+proj=longlat +R=6370000", always_xy=True)
        np.testing.assert_allclose(mine.transform(xx, yy), (glon, glat), atol=1e-9)
    np.testing.assert_allclose(glat, lat, atol=1e-4)
    assert _lon_difference(glon, lon).max() < 1e-4


def test_lookups_round_trip(grid):
    name, f = grid
    lat, lon = _stored(f)
    jj, ii = np.mgrid[0:NY, 0:NX]
    i, j = tarq.ll_to_ij(f, lat, lon)
    np.testing.assert_allclose(i, ii, atol=1e-3)     # XLAT/XLONG are float32
    np.testing.assert_allclose(j, jj, atol=1e-3)
    rlat, rlon = tarq.ij_to_ll(f, ii, jj)
    np.testing.assert_allclose(rlat, lat, atol=1e-4)
    assert _lon_difference(rlon, lon).max() < 1e-4 and np.all(np.abs(rlon) <= 180)
    rng = np.random.default_rng(1)
    fi, fj = rng.uniform(0, NX - 1, 50), rng.uniform(0, NY - 1, 50)
    for shift in (0.0, 360.0, -360.0):         # any longitude convention
        qlat, qlon = tarq.ij_to_ll(f, fi, fj)
        bi, bj = tarq.ll_to_ij(f, qlat, qlon + shift)
        np.testing.assert_allclose(bi, fi, rtol=0, atol=1e-9)
        np.testing.assert_allclose(bj, fj, rtol=0, atol=1e-9)


def test_outside_is_nan_and_arguments_broadcast(grid):
    _, f = grid
    idx = np.array([-0.01, NX - 1 + 0.01, 3.0, 3.0, -5.0])
    jdx = np.array([2.0, 2.0, -0.01, NY - 1 + 0.01, 40.0])
    lat, lon = tarq.ij_to_ll(f, idx, jdx)          # any index, inside or not
    assert np.all(np.isfinite(lat)) and np.all(np.isfinite(lon))
    i, j = tarq.ll_to_ij(f, lat, lon)
    assert np.all(np.isnan(i)) and np.all(np.isnan(j))
    i, j = tarq.ll_to_ij(f, -89.0, 0.0)
    assert i.shape == () and np.isnan(i) and np.isnan(j)
    plat, plon = tarq.ij_to_ll(f, 4.0, [1.0, 2.0, 3.0])        # a scalar against an array
    assert plat.shape == plon.shape == (3,)
    i, j = tarq.ll_to_ij(f, plat[:, None], plon[None, :])
    assert i.shape == (3, 3)
    np.testing.assert_allclose(np.diag(j), [1.0, 2.0, 3.0], atol=1e-9)


def test_moving_nest_follows_its_time(tmp_path):
    f = _grid(tmp_path / "nest.nc", "mercator", nt=3, nest_move_per_time=(2.0, 1.0))
    lat1, lon1 = _stored(f, 1)
    i, j = tarq.ll_to_ij(f, lat1[3, 4], lon1[3, 4], timeidx=1)
    np.testing.assert_allclose((i, j), (4.0, 3.0), atol=1e-3)
    i, j = tarq.ll_to_ij(f, lat1[3, 4], lon1[3, 4])      # the first time's grid lies 2 west, 1 south
    np.testing.assert_allclose((i, j), (6.0, 4.0), atol=1e-3)
    np.testing.assert_allclose(tarq.projection(f).x, tarq.geometry._projection(f, 1).x - 2 * DX, atol=0.5)


@pytest.mark.parametrize("attrs, kind, text", [
    ({"MAP_PROJ": None}, tarq.AttributeNotFoundError, "global attribute not found: MAP_PROJ"),
    ({"TRUELAT2": None}, tarq.AttributeNotFoundError, "global attribute not found: TRUELAT2"),
    ({"STAND_LON": None}, tarq.AttributeNotFoundError, "global attribute not found: STAND_LON"),
    ({"MAP_PROJ": np.int32(4)}, tarq.ComputationError, "MAP_PROJ 4 is not a supported projection"),
    ({"MAP_PROJ": np.int32(6), "POLE_LAT": np.float32(40.0)}, tarq.ComputationError,
     "rotated latitude-longitude grids are not supported (POLE_LAT 40"),
    ({"STAND_LON": np.float32(-60.0)}, tarq.ComputationError, "XLAT/XLONG do not fit the map projection"),
])
def test_projection_that_cannot_be_told(tmp_path, attrs, kind, text):
    projection = {k: v for k, v in {**PROJECTIONS["lambert"], **attrs}.items() if v is not None}
    path = tmp_path / "bad.nc"
    build_model_file(path, nx=5, ny=4, nz=3, nt=1, global_attrs=projection,
                     overrides=dict(zip(("XLAT", "XLONG"), _lambert_lat_lon(5, 4))))
    f = tarq.TarqFile(path)
    for call in (lambda: tarq.projection(f), lambda: tarq.ll_to_ij(f, 38.5, -97.0), lambda: tarq.ij_to_ll(f, 0, 0)):
        with pytest.raises(kind) as err:
            call()
        assert text in str(err.value)


def _lambert_lat_lon(nx, ny):
    from tarq.testing import grid_lat_lon

    lat, lon = grid_lat_lon(PROJECTIONS["lambert"], CENTRES["lambert"], nx, ny, 3000.0, 3000.0)
    return lat[None], lon[None]


def test_cartopy_crs_is_the_same_projection(grid):
    ccrs = pytest.importorskip("cartopy.crs")
    _, f = grid
    proj = tarq.projection(f)
    xx, yy = np.meshgrid(proj.x, proj.y)
    lat, lon = _stored(f)
    pts = proj.cartopy_crs.transform_points(ccrs.Geodetic(globe=proj.cartopy_crs.globe), lon, lat)
    if proj.map_proj == 6:       # plate carrée keeps longitudes in -180..180
        assert _lon_difference(pts[..., 0], xx).max() < 1e-4
        np.testing.assert_allclose(pts[..., 1], yy, atol=1e-4)
    else:                        # metres; float32 XLAT/XLONG are good to about one
        np.testing.assert_allclose(pts[..., :2], np.stack([xx, yy], axis=-1), atol=2.0)
