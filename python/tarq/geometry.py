"""The map projection of a model file, and grid indices of latitudes and longitudes.

The model's earth is a sphere of radius 6,370,000 m. Its global attributes name
the projection (MAP_PROJ) and its parameters, but the grid's own position is
taken from XLAT/XLONG: CEN_LAT/CEN_LON describe the parent domain in cropped
files and moving nests, so anchoring at them would put a grid in the wrong place.
Needs pyproj (the `geo` extra).
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any

import numpy as np
import numpy.typing as npt

from tarq._tarq import AttributeNotFoundError, ComputationError, TarqFile, _numeric_attributes

EARTH_RADIUS_M = 6370000.0

# MAP_PROJ values and their CF grid mappings.
LAMBERT, POLAR_STEREOGRAPHIC, MERCATOR, LAT_LON = 1, 2, 3, 6
_GRID_MAPPINGS = {LAMBERT: "lambert_conformal_conic", POLAR_STEREOGRAPHIC: "polar_stereographic",
                  MERCATOR: "mercator", LAT_LON: "latitude_longitude"}

# Mean offsets of at most this many points anchor the grid: float32 XLAT/XLONG
# are averaged out without transforming every point of a large grid.
_ANCHOR_POINTS = 64

# Points of XLAT/XLONG further than this (in grid cells) from the projected grid
# mean the attributes do not describe the grid.
_FIT_TOLERANCE_CELLS = 0.25

# Points this close to the grid's edge count as inside: XLAT/XLONG are float32,
# good to about a metre, and an edge point looked up by its stored latitude and
# longitude must not fall out of the grid.
_EDGE_SLACK_M = 2.0
_EDGE_SLACK_DEG = _EDGE_SLACK_M / (EARTH_RADIUS_M * np.pi / 180.0)


def _attribute(attrs: dict[str, float], name: str) -> float:
    if name not in attrs:
        raise AttributeNotFoundError(f"global attribute not found: {name} (needed for the map projection)")
    return float(attrs[name])


def _cf_attributes(attrs: dict[str, float]) -> dict[str, Any]:
    """CF grid-mapping attributes of the file's projection."""
    value = _attribute(attrs, "MAP_PROJ")
    kind = int(value) if value.is_integer() else value
    sphere: dict[str, Any] = {"earth_radius": EARTH_RADIUS_M}
    if kind == LAT_LON:
        pole_lat = attrs.get("POLE_LAT", 90.0)
        if pole_lat != 90.0:
            raise ComputationError(f"computation error: rotated latitude-longitude grids are not supported "
                                   f"(POLE_LAT {pole_lat:g}, POLE_LON {attrs.get('POLE_LON', 0.0):g})")
        return {"grid_mapping_name": "latitude_longitude", **sphere}
    truelat1 = _attribute(attrs, "TRUELAT1")
    stand_lon = _attribute(attrs, "STAND_LON")
    offsets = {"false_easting": 0.0, "false_northing": 0.0}
    if kind == LAMBERT:
        truelat2 = _attribute(attrs, "TRUELAT2")
        parallels = [truelat1] if truelat1 == truelat2 else [truelat1, truelat2]
        origin = attrs.get("MOAD_CEN_LAT", truelat1)
        return {"grid_mapping_name": "lambert_conformal_conic", "standard_parallel": parallels,
                "longitude_of_central_meridian": stand_lon, "latitude_of_projection_origin": float(origin),
                **offsets, **sphere}
    if kind == POLAR_STEREOGRAPHIC:
        return {"grid_mapping_name": "polar_stereographic", "straight_vertical_longitude_from_pole": stand_lon,
                "latitude_of_projection_origin": 90.0 if truelat1 >= 0 else -90.0, "standard_parallel": truelat1,
                **offsets, **sphere}
    if kind == MERCATOR:
        return {"grid_mapping_name": "mercator", "longitude_of_projection_origin": stand_lon,
                "standard_parallel": truelat1, **offsets, **sphere}
    raise ComputationError(f"computation error: MAP_PROJ {value:g} is not a supported projection (1 Lambert "
                           f"conformal, 2 polar stereographic, 3 Mercator, 6 latitude-longitude)")


def _pyproj():
    try:
        import pyproj
    except ImportError:
        raise ImportError("tarq.projection needs pyproj: pip install 'tarq[geo]'") from None
    return pyproj


def _sample(n: int) -> np.ndarray:
    return np.unique(np.linspace(0, n - 1, min(n, 8)).round().astype(int))


@dataclass(frozen=True)
class Projection:
    """The map projection of a model file's grid of mass points.

    Attributes
    ----------
    map_proj : int
        The file's MAP_PROJ: 1 Lambert conformal, 2 polar stereographic,
        3 Mercator, 6 latitude-longitude.
    cf : dict
        CF grid-mapping attributes; ``pyproj.CRS.from_cf(cf)`` is `pyproj_crs`.
    x, y : numpy.ndarray
        Projection coordinates of the mass points along west_east and
        south_north: metres, spaced DX and DY, for 1-3; degrees of longitude
        and latitude for 6.
    pyproj_crs : pyproj.CRS
        The projection on the model's sphere.
    """

    map_proj: int
    cf: dict[str, Any]
    x: npt.NDArray[np.float64]
    y: npt.NDArray[np.float64]
    pyproj_crs: Any = field(repr=False)
    _step: tuple[float, float] = field(repr=False)          # x and y between neighbouring mass points
    _to_xy: Any = field(repr=False, compare=False)
    _to_ll: Any = field(repr=False, compare=False)

    @property
    def cartopy_crs(self) -> Any:
        """The projection as a cartopy CRS (needs cartopy)."""
        try:
            import cartopy.crs as ccrs
        except ImportError:
            raise ImportError("Projection.cartopy_crs needs cartopy: pip install cartopy") from None
        cf = self.cf
        globe = ccrs.Globe(ellipse=None, semimajor_axis=EARTH_RADIUS_M, semiminor_axis=EARTH_RADIUS_M)
        if self.map_proj == LAMBERT:
            parallels = tuple(cf["standard_parallel"])
            return ccrs.LambertConformal(central_longitude=cf["longitude_of_central_meridian"],
                                         central_latitude=cf["latitude_of_projection_origin"],
                                         standard_parallels=parallels * (2 // len(parallels)), globe=globe)
        if self.map_proj == POLAR_STEREOGRAPHIC:
            return ccrs.Stereographic(central_latitude=cf["latitude_of_projection_origin"],
                                      central_longitude=cf["straight_vertical_longitude_from_pole"],
                                      true_scale_latitude=cf["standard_parallel"], globe=globe)
        if self.map_proj == MERCATOR:
            return ccrs.Mercator(central_longitude=cf["longitude_of_projection_origin"],
                                 latitude_true_scale=cf["standard_parallel"], globe=globe)
        return ccrs.PlateCarree(globe=globe)

    def xy(self, lat: npt.ArrayLike, lon: npt.ArrayLike) -> tuple[np.ndarray, np.ndarray]:
        """Projection coordinates of latitudes and longitudes (degrees, any longitude convention)."""
        lat, lon = np.broadcast_arrays(np.asarray(lat, dtype=np.float64), np.asarray(lon, dtype=np.float64))
        if self.map_proj == LAT_LON:
            # Longitudes east of the grid's first column, so that a grid across
            # the date line (or 0°) is contiguous.
            west = self.x[0] - 0.5 * self._step[0]
            return west + np.mod(lon - west, 360.0), lat.copy()
        x, y = self._to_xy.transform(lon, lat)
        return np.array(x, dtype=np.float64), np.array(y, dtype=np.float64)

    def lat_lon(self, x: npt.ArrayLike, y: npt.ArrayLike) -> tuple[np.ndarray, np.ndarray]:
        """Latitudes and longitudes (degrees, longitudes in -180..180) of projection coordinates."""
        x, y = np.broadcast_arrays(np.asarray(x, dtype=np.float64), np.asarray(y, dtype=np.float64))
        if self.map_proj == LAT_LON:
            lon, lat = x, y.copy()
        else:
            lon, lat = self._to_ll.transform(x, y)
            lat = np.array(lat, dtype=np.float64)
        return lat, np.mod(np.array(lon, dtype=np.float64) + 180.0, 360.0) - 180.0


def _anchor(proj: Projection, lat: np.ndarray, lon: np.ndarray, dx: float, dy: float) -> tuple[float, float]:
    """x and y of mass point (0, 0): the mean over a lattice of points of each
    point's projected position less its offset along the grid."""
    ny, nx = lat.shape
    jj, ii = np.meshgrid(_sample(ny), _sample(nx), indexing="ij")
    x, y = proj.xy(lat[jj, ii], lon[jj, ii])
    x0, y0 = x - ii * dx, y - jj * dy
    worst = max(np.max(np.abs(x0 - x0.mean())) / abs(dx), np.max(np.abs(y0 - y0.mean())) / abs(dy))
    if not worst <= _FIT_TOLERANCE_CELLS:
        raise ComputationError(f"computation error: XLAT/XLONG do not fit the map projection of the global "
                               f"attributes (off by {worst:.3g} grid cells)")
    return float(x0.mean()), float(y0.mean())


def _lat_lon_steps(lat: np.ndarray, lon: np.ndarray) -> tuple[float, float]:
    """Degrees between columns and rows of a latitude-longitude grid."""
    ny, nx = lat.shape
    lon_unwrapped = np.rad2deg(np.unwrap(np.deg2rad(lon.astype(np.float64)), axis=1))
    dlon = float(np.mean(lon_unwrapped[:, -1] - lon_unwrapped[:, 0]) / (nx - 1)) if nx > 1 else 1.0
    dlat = float(np.mean(lat[-1, :].astype(np.float64) - lat[0, :]) / (ny - 1)) if ny > 1 else 1.0
    return dlon, dlat


def _projection(f: TarqFile, timeidx: int = 0) -> Projection:
    pyproj = _pyproj()
    cf = _cf_attributes(_numeric_attributes(f))
    crs = pyproj.CRS.from_cf(cf)
    map_proj = next(k for k, v in _GRID_MAPPINGS.items() if v == cf["grid_mapping_name"])
    lat = f.getvar("lat", timeidx=timeidx)
    lon = f.getvar("lon", timeidx=timeidx)
    geographic = crs.geodetic_crs
    to_xy = pyproj.Transformer.from_crs(geographic, crs, always_xy=True)
    to_ll = pyproj.Transformer.from_crs(crs, geographic, always_xy=True)
    step = _lat_lon_steps(lat, lon) if map_proj == LAT_LON else (f.dx, f.dy)
    first = np.array([float(lon[0, 0]) if map_proj == LAT_LON else 0.0])
    x0, y0 = _anchor(Projection(map_proj, cf, first, first, crs, step, to_xy, to_ll), lat, lon, *step)
    x = x0 + step[0] * np.arange(f.nx, dtype=np.float64)
    y = y0 + step[1] * np.arange(f.ny, dtype=np.float64)
    return Projection(map_proj, cf, x, y, crs, step, to_xy, to_ll)


def projection(f: TarqFile) -> Projection:
    """The map projection of a model file.

    Parameters
    ----------
    f : TarqFile
        The file; its global attributes MAP_PROJ, TRUELAT1, TRUELAT2, STAND_LON,
        MOAD_CEN_LAT, POLE_LAT and POLE_LON give the projection, DX and DY the
        spacing, and its XLAT/XLONG (of the first time) place the grid.

    Returns
    -------
    Projection
        With `pyproj_crs`, `cf`, `x`, `y` and `cartopy_crs`.

    Raises
    ------
    AttributeNotFoundError
        A global attribute the projection needs is missing (it is named).
    ComputationError
        MAP_PROJ is not 1, 2, 3 or 6, the grid has a rotated pole, or XLAT/XLONG
        do not fit the projection.
    """
    return _projection(f, 0)


def ll_to_ij(f: TarqFile, lat: npt.ArrayLike, lon: npt.ArrayLike,
             timeidx: int = 0) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """Fractional grid indices of latitudes and longitudes.

    Parameters
    ----------
    f : TarqFile
        The file.
    lat, lon : array_like
        Degrees, broadcast against each other; longitudes in any convention
        (-180..180 or 0..360).
    timeidx : int
        The time whose XLAT/XLONG place the grid (it moves in a moving nest).

    Returns
    -------
    (i, j) : tuple of numpy.ndarray
        0-based indices of mass points along west_east (i) and south_north (j),
        NaN (both) for a point outside the grid of mass points.
    """
    proj = _projection(f, timeidx)
    x, y = proj.xy(lat, lon)
    dx, dy = proj._step
    i = (x - proj.x[0]) / dx
    j = (y - proj.y[0]) / dy
    slack = _EDGE_SLACK_DEG if proj.map_proj == LAT_LON else _EDGE_SLACK_M
    si, sj = slack / abs(dx), slack / abs(dy)
    outside = ~((i >= -si) & (i <= f.nx - 1 + si) & (j >= -sj) & (j <= f.ny - 1 + sj))
    return np.where(outside, np.nan, i), np.where(outside, np.nan, j)


def ij_to_ll(f: TarqFile, i: npt.ArrayLike, j: npt.ArrayLike,
             timeidx: int = 0) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """Latitudes and longitudes of fractional grid indices.

    Parameters
    ----------
    f : TarqFile
        The file.
    i, j : array_like
        0-based indices of mass points along west_east and south_north,
        broadcast against each other; any value, inside the grid or not.
    timeidx : int
        The time whose XLAT/XLONG place the grid (it moves in a moving nest).

    Returns
    -------
    (lat, lon) : tuple of numpy.ndarray
        Degrees; longitudes in -180..180.
    """
    proj = _projection(f, timeidx)
    i, j = np.broadcast_arrays(np.asarray(i, dtype=np.float64), np.asarray(j, dtype=np.float64))
    return proj.lat_lon(proj.x[0] + i * proj._step[0], proj.y[0] + j * proj._step[1])
