"""Cross sections, lines and soundings: fields at points between grid columns.

A point at fractional grid indexes (i along west_east, j along south_north)
takes the bilinear combination of the four columns around it; a NaN in a
column of non-zero weight gives NaN. Each level is interpolated in the
columns first (`tarq.vertical`), then between them.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Sequence

import numpy as np

from tarq._tarq import AttributeNotFoundError, ComputationError, TarqFile, _numeric_attributes
from tarq.vertical import interp_subset, read_columns

DEFAULT_LEVELS = 100


@dataclass(frozen=True)
class _Weights:
    """The four columns around each of n points: flat indexes into the
    columns used, [4, n], their weights, [4, n], and the columns used."""

    index: np.ndarray
    weight: np.ndarray
    columns: np.ndarray

    def combine(self, values: np.ndarray) -> np.ndarray:
        """values [..., ncolumns] at the points: [..., n]."""
        v = values[..., self.index]
        with np.errstate(invalid="ignore"):
            return np.sum(np.where(self.weight > 0.0, self.weight * v, 0.0), axis=-2)


def bilinear_weights(i: np.ndarray, j: np.ndarray, nx: int, ny: int) -> _Weights:
    """Bilinear weights of the columns around grid positions (i, j)."""
    i, j = np.atleast_1d(np.asarray(i, float)), np.atleast_1d(np.asarray(j, float))
    i0 = np.clip(np.floor(i), 0, max(nx - 2, 0)).astype(np.intp)
    j0 = np.clip(np.floor(j), 0, max(ny - 2, 0)).astype(np.intp)
    fi, fj = i - i0, j - j0
    i1, j1 = np.minimum(i0 + 1, nx - 1), np.minimum(j0 + 1, ny - 1)
    flat = np.stack([j0 * nx + i0, j0 * nx + i1, j1 * nx + i0, j1 * nx + i1])
    weight = np.stack([(1 - fi) * (1 - fj), fi * (1 - fj), (1 - fi) * fj, fi * fj])
    columns, index = np.unique(flat, return_inverse=True)
    return _Weights(index.reshape(flat.shape), weight, columns)


def _grid(f: TarqFile, name: str, timeidx: int, w: _Weights, **options: Any) -> np.ndarray:
    a = np.asarray(f.getvar(name, timeidx, **options), dtype=np.float64)
    return w.combine(a.reshape(a.shape[:-2] + (-1,))[..., w.columns])


def _longitudes(f: TarqFile, timeidx: int, w: _Weights) -> np.ndarray:
    """Longitudes between columns, across the date line as well."""
    lon = np.asarray(f.getvar("lon", timeidx), dtype=np.float64).ravel()[w.columns]
    ref = lon[w.index[0]]
    near = ref + (lon[w.index] - ref + 180.0) % 360.0 - 180.0
    out = np.sum(w.weight * near, axis=0)
    return (out + 180.0) % 360.0 - 180.0


def _grid_position(f: TarqFile, point: Sequence[float], what: str, timeidx: int) -> tuple[float, float]:
    from tarq.geometry import ll_to_ij
    lat, lon = (float(x) for x in point)
    try:
        i, j = (float(np.asarray(v).ravel()[0]) for v in ll_to_ij(f, lat, lon, timeidx=timeidx))
    except (ComputationError, AttributeNotFoundError):
        # No projection in the global attributes, or XLAT/XLONG that it does not fit: invert them directly.
        i, j = _invert_lat_lon(f, lat, lon, timeidx)
    if not (np.isfinite(i) and np.isfinite(j)):
        raise ValueError(f"{what} ({lat}, {lon}) is outside the domain")
    return i, j


def _invert_lat_lon(f: TarqFile, lat: float, lon: float, timeidx: int) -> tuple[float, float]:
    """Grid position of (lat, lon) from the XLAT/XLONG of the mass points:
    the nearest point, then Newton steps on their bilinear interpolation."""
    glat = np.asarray(f.getvar("lat", timeidx), dtype=np.float64)
    glon = lon + (np.asarray(f.getvar("lon", timeidx), dtype=np.float64) - lon + 180.0) % 360.0 - 180.0
    ny, nx = glat.shape
    scale = np.cos(np.deg2rad(lat))
    k = int(np.argmin((glat - lat) ** 2 + ((glon - lon) * scale) ** 2))
    i, j = float(k % nx), float(k // nx)
    for _ in range(20):
        w = bilinear_weights(np.array([i]), np.array([j]), nx, ny)
        at = lambda a: float(w.combine(a.ravel()[w.columns])[0])  # noqa: E731
        i0, j0 = min(int(i), max(nx - 2, 0)), min(int(j), max(ny - 2, 0))
        i1, j1 = min(i0 + 1, nx - 1), min(j0 + 1, ny - 1)
        dlat = np.array([glat[j0, i1] - glat[j0, i0], glat[j1, i0] - glat[j0, i0]])
        dlon = np.array([glon[j0, i1] - glon[j0, i0], glon[j1, i0] - glon[j0, i0]])
        jac = np.array([dlat, dlon])
        step = np.linalg.lstsq(jac, np.array([lat - at(glat), lon - at(glon)]), rcond=None)[0]
        i, j = i + float(step[0]), j + float(step[1])
        if not (-1.0 <= i <= nx and -1.0 <= j <= ny):
            break
        if abs(step[0]) + abs(step[1]) < 1e-10:
            break
    inside = -1e-6 <= i <= nx - 1 + 1e-6 and -1e-6 <= j <= ny - 1 + 1e-6
    return (min(max(i, 0.0), nx - 1.0), min(max(j, 0.0), ny - 1.0)) if inside else (np.nan, np.nan)


@dataclass(frozen=True)
class CrossSection:
    """A vertical section: values [nlev, steps] (a leading field axis for
    multi-field rows) at levels of vertical, along distance (m in the
    projection), with lat, lon and terrain (HGT, m) at each point."""

    name: str
    vertical: str
    values: np.ndarray
    levels: np.ndarray
    distance: np.ndarray
    lat: np.ndarray
    lon: np.ndarray
    terrain: np.ndarray


@dataclass(frozen=True)
class Line:
    """A 2-D field along a line: values [steps] (a leading field axis for
    multi-field rows), distance (m), lat, lon and terrain (m)."""

    name: str
    values: np.ndarray
    distance: np.ndarray
    lat: np.ndarray
    lon: np.ndarray
    terrain: np.ndarray


def _points(f: TarqFile, start_ij, end_ij, steps: int):
    if int(steps) != steps or steps < 2:
        raise ValueError(f"steps must be an integer of at least 2, not {steps!r}")
    i = np.linspace(start_ij[0], end_ij[0], int(steps))
    j = np.linspace(start_ij[1], end_ij[1], int(steps))
    attrs = _numeric_attributes(f)
    dx, dy = attrs.get("DX", np.nan), attrs.get("DY", np.nan)
    distance = np.hypot((i - i[0]) * dx, (j - j[0]) * dy)
    return i, j, distance


def _along(f: TarqFile, w: _Weights, timeidx: int) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    return _grid(f, "lat", timeidx, w), _longitudes(f, timeidx, w), _grid(f, "terrain", timeidx, w)


def section_ij(f: TarqFile, name: str, start_ij, end_ij, *, timeidx: int = 0, steps: int = 100,
               vertical: str = "height", levels: Any = None, extrapolate: bool = False,
               **options: Any) -> CrossSection:
    """cross_section between fractional grid positions (i, j)."""
    i, j, distance = _points(f, start_ij, end_ij, steps)
    w = bilinear_weights(i, j, f.nx, f.ny)
    if levels is None:
        coord = w.combine(read_columns(f, vertical, timeidx, w.columns).coord)
        levels = np.linspace(np.nanmin(coord), np.nanmax(coord), DEFAULT_LEVELS)
    levels = np.asarray(levels, dtype=np.float64)
    if levels.ndim != 1 or levels.size == 0:
        raise ValueError("levels must be a non-empty 1-D sequence")
    targets = np.repeat(levels[:, None], w.columns.size, axis=1)
    values, shape = interp_subset(f, name, vertical, targets, timeidx=timeidx, extrapolate=extrapolate,
                                  options=options, flat=w.columns)
    values = w.combine(values).reshape(shape[:-3] + (levels.size, i.size))
    lat, lon, terrain = _along(f, w, timeidx)
    return CrossSection(name, vertical, values, levels, distance, lat, lon, terrain)


def cross_section(f: TarqFile, name: str, start: Sequence[float], end: Sequence[float], *, timeidx: int = 0,
                  steps: int = 100, vertical: str = "height", levels: Any = None, extrapolate: bool = False,
                  **options: Any) -> CrossSection:
    """A vertical section of a variable on model levels along a line.

    Parameters
    ----------
    f : TarqFile
    name : str
        A 3-D catalogue row (multi-field rows field by field).
    start, end : (lat, lon)
        The ends, in degrees; one outside the domain is a ValueError naming it.
    timeidx : int
    steps : int
        Points evenly spaced along the line, both ends included, as
        ``numpy.linspace``, in grid-index space between the grid positions of
        start and end (`tarq.ll_to_ij`): a straight line in the projection.
    vertical, levels, extrapolate, **options
        As `tarq.vinterp`; without levels, 100 levels evenly spaced from the
        lowest to the highest value of the coordinate along the line.

    Returns
    -------
    CrossSection
        values [nlev, steps], levels, distance (m), lat, lon and terrain (m).
    """
    a = _grid_position(f, start, "start", timeidx)
    b = _grid_position(f, end, "end", timeidx)
    return section_ij(f, name, a, b, timeidx=timeidx, steps=steps, vertical=vertical, levels=levels,
                      extrapolate=extrapolate, **options)


def line_ij(f: TarqFile, name: str, start_ij, end_ij, *, timeidx: int = 0, steps: int = 100,
            **options: Any) -> Line:
    """line between fractional grid positions (i, j)."""
    i, j, distance = _points(f, start_ij, end_ij, steps)
    w = bilinear_weights(i, j, f.nx, f.ny)
    a = np.asarray(f.getvar(name, timeidx, **options), dtype=np.float64)
    if a.ndim >= 3 and a.shape[-3] == f.nz and f.nz > 1:
        raise ValueError(f"{name} is on model levels: use cross_section")
    values = w.combine(a.reshape(a.shape[:-2] + (-1,))[..., w.columns])
    lat, lon, terrain = _along(f, w, timeidx)
    return Line(name, values, distance, lat, lon, terrain)


def line(f: TarqFile, name: str, start: Sequence[float], end: Sequence[float], *, timeidx: int = 0,
         steps: int = 100, **options: Any) -> Line:
    """A 2-D variable along a line, as `cross_section` places its points.

    Returns
    -------
    Line
        values [steps], distance (m), lat, lon and terrain (m).
    """
    a = _grid_position(f, start, "start", timeidx)
    b = _grid_position(f, end, "end", timeidx)
    return line_ij(f, name, a, b, timeidx=timeidx, steps=steps, **options)


@dataclass(frozen=True)
class Sounding:
    """A column from the ground up, the surface first (PSFC, T2, the dewpoint
    of Q2, the 10-m wind, the terrain height); winds earth-relative. Usable
    with MetPy after attaching units (hPa, m, degC, m/s)."""

    pressure_hpa: np.ndarray
    height_m: np.ndarray
    temperature_c: np.ndarray
    dewpoint_c: np.ndarray
    u_ms: np.ndarray
    v_ms: np.ndarray
    lat: float
    lon: float


def sounding_ij(f: TarqFile, i: float, j: float, *, timeidx: int = 0) -> Sounding:
    """sounding at the fractional grid position (i, j)."""
    w = bilinear_weights(np.array([i]), np.array([j]), f.nx, f.ny)

    def at(name, **options):
        return _grid(f, name, timeidx, w, **options)[..., 0]

    uv, uv10 = at("uvmet", units="m/s"), at("uvmet10", units="m/s")
    fields = (
        np.concatenate([[at("PSFC") / 100.0], at("pressure", units="hPa")]),
        np.concatenate([[at("terrain")], at("height")]),
        np.concatenate([[at("t2") - 273.15], at("tc")]),
        np.concatenate([[at("dp2m", units="degC")], at("td", units="degC")]),
        np.concatenate([[uv10[0]], uv[0]]),
        np.concatenate([[uv10[1]], uv[1]]),
    )
    return Sounding(*fields, lat=float(at("lat")), lon=float(_longitudes(f, timeidx, w)[0]))


def sounding(f: TarqFile, lat: float, lon: float, *, timeidx: int = 0) -> Sounding:
    """The column at a point, bilinear between the four columns around it.

    Returns
    -------
    Sounding
        pressure_hpa, height_m (above sea level), temperature_c, dewpoint_c,
        u_ms and v_ms (earth-relative), from the ground up with the surface first.
    """
    i, j = _grid_position(f, (lat, lon), "point", timeidx)
    return sounding_ij(f, i, j, timeidx=timeidx)
