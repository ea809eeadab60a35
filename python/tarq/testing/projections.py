"""Global attributes of each map projection the model writes, and the XLAT/XLONG
of a grid on it, computed with pyproj (imported when a grid is made).

    from tarq.testing import PROJECTIONS, build_model_file
    build_model_file(path, projection=PROJECTIONS["lambert"], center_lat_lon=(38.5, -97.0))
"""

from __future__ import annotations

from typing import Mapping

import numpy as np

EARTH_RADIUS_M = 6370000.0

# Attributes as the model writes them (float32; MAP_PROJ an int32).
PROJECTIONS: dict[str, dict[str, object]] = {
    "lambert": {"MAP_PROJ": np.int32(1), "TRUELAT1": np.float32(30.0), "TRUELAT2": np.float32(60.0),
                "STAND_LON": np.float32(-98.0), "MOAD_CEN_LAT": np.float32(38.5), "POLE_LAT": np.float32(90.0),
                "POLE_LON": np.float32(0.0)},
    "polar": {"MAP_PROJ": np.int32(2), "TRUELAT1": np.float32(60.0), "TRUELAT2": np.float32(90.0),
              "STAND_LON": np.float32(-150.0), "MOAD_CEN_LAT": np.float32(65.0), "POLE_LAT": np.float32(90.0),
              "POLE_LON": np.float32(0.0)},
    "mercator": {"MAP_PROJ": np.int32(3), "TRUELAT1": np.float32(20.0), "TRUELAT2": np.float32(0.0),
                 "STAND_LON": np.float32(-75.0), "MOAD_CEN_LAT": np.float32(22.0), "POLE_LAT": np.float32(90.0),
                 "POLE_LON": np.float32(0.0)},
    "latlon": {"MAP_PROJ": np.int32(6), "TRUELAT1": np.float32(0.0), "TRUELAT2": np.float32(0.0),
               "STAND_LON": np.float32(0.0), "MOAD_CEN_LAT": np.float32(0.0), "POLE_LAT": np.float32(90.0),
               "POLE_LON": np.float32(0.0)},
}


def proj4_string(attrs: Mapping[str, object]) -> str:
    """The PROJ string of a projection, written independently of tarq's CF route."""
    kind = int(attrs["MAP_PROJ"])
    t1, t2, lon0 = (float(attrs[k]) for k in ("TRUELAT1", "TRUELAT2", "STAND_LON"))
    sphere = f"+R={EARTH_RADIUS_M:.0f} +units=m +no_defs"
    if kind == 1:
        return f"+proj=lcc +lat_1={t1} +lat_2={t2} +lat_0={float(attrs['MOAD_CEN_LAT'])} +lon_0={lon0} {sphere}"
    if kind == 2:
        return f"+proj=stere +lat_0={90.0 if t1 >= 0 else -90.0} +lat_ts={t1} +lon_0={lon0} {sphere}"
    if kind == 3:
        return f"+proj=merc +lat_ts={t1} +lon_0={lon0} {sphere}"
    return f"+proj=longlat {sphere}"


def grid_lat_lon(attrs: Mapping[str, object], center_lat_lon: tuple[float, float], nx: int, ny: int,
                 dx: float, dy: float, shift: tuple[float, float] = (0.0, 0.0)) -> tuple[np.ndarray, np.ndarray]:
    """XLAT and XLONG [ny, nx] of mass points spaced dx, dy (metres; for a
    latitude-longitude grid the degrees of those arcs of the sphere), the grid
    centred on center_lat_lon and then moved by `shift` grid cells east and north."""
    import pyproj

    crs = pyproj.CRS.from_proj4(proj4_string(attrs))
    jj, ii = np.mgrid[0:ny, 0:nx].astype(np.float64)
    ii = ii - (nx - 1) / 2 + shift[0]
    jj = jj - (ny - 1) / 2 + shift[1]
    lat0, lon0 = center_lat_lon
    if int(attrs["MAP_PROJ"]) == 6:
        per_degree = EARTH_RADIUS_M * np.pi / 180.0
        lon = lon0 + ii * dx / per_degree
        return lat0 + jj * dy / per_degree, np.mod(lon + 180.0, 360.0) - 180.0
    to_xy = pyproj.Transformer.from_crs(crs.geodetic_crs, crs, always_xy=True)
    x0, y0 = to_xy.transform(lon0, lat0)
    lon, lat = to_xy.transform(x0 + ii * dx, y0 + jj * dy, direction="INVERSE")
    return np.asarray(lat), np.asarray(lon)
