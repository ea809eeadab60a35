"""CF metadata of results: units that unit libraries parse, standard names, and
the grid's georeference (projection x/y, a `crs` grid mapping, per-time
XLAT/XLONG for a moving nest)."""

from __future__ import annotations

import functools
import os
import re
from typing import Any

import numpy as np

from tarq._tarq import TarqError, TarqFile, _catalogue

# The unit a result's text names, spelled so that pint, MetPy and UDUNITS read
# the same quantity: PVU is no unit of theirs, and "degC/km" would be read as
# an absolute temperature (274.15 K) per kilometre instead of a difference.
# 1 PVU = 1e-6 K m2 kg-1 s-1, written with the micro prefix because unit
# parsers (pint's parse_units, pint-xarray) refuse a numeric scaling factor.
_PVU = "uK m2 kg-1 s-1"
_TEMPERATURE_PER = re.compile(r"^deg(C|F)\s*/\s*(\w+)$")

# CF standard names of catalogue rows (and of the fields of multi-field rows).
_STANDARD_NAMES = {
    "pressure": "air_pressure", "height": "geopotential_height", "height_agl": "height", "geopt": "geopotential",
    "terrain": "surface_altitude", "t2": "air_temperature", "temp": "air_temperature", "tc": "air_temperature",
    "tv": "virtual_temperature", "tv2m": "virtual_temperature", "theta": "air_potential_temperature",
    "theta_e": "equivalent_potential_temperature", "twb": "wet_bulb_temperature",
    "theta_w": "wet_bulb_potential_temperature", "td": "dew_point_temperature", "dp2m": "dew_point_temperature",
    "rh": "relative_humidity", "rh2m": "relative_humidity", "slp": "air_pressure_at_mean_sea_level",
    "omega": "lagrangian_tendency_of_air_pressure", "mixing_ratio": "humidity_mixing_ratio",
    "specific_humidity": "specific_humidity", "ua": "x_wind", "va": "y_wind", "wa": "upward_air_velocity",
    "lat": "latitude", "lon": "longitude", "wspd": "wind_speed", "wspd10": "wind_speed",
    "wdir": "wind_from_direction", "wdir10": "wind_from_direction",
    "avo": "atmosphere_upward_absolute_vorticity", "pvo": "ertel_potential_vorticity",
    "dbz": "equivalent_reflectivity_factor",
    "sbcape": "atmosphere_convective_available_potential_energy",
    "mlcape": "atmosphere_convective_available_potential_energy",
    "mucape": "atmosphere_convective_available_potential_energy",
    "cape": "atmosphere_convective_available_potential_energy",
    "sbcin": "atmosphere_convective_inhibition", "mlcin": "atmosphere_convective_inhibition",
    "mucin": "atmosphere_convective_inhibition", "cin": "atmosphere_convective_inhibition",
}
_FIELD_STANDARD_NAMES = {
    "uvmet": ("eastward_wind", "northward_wind"), "uvmet10": ("eastward_wind", "northward_wind"),
    "cape2d": ("atmosphere_convective_available_potential_energy", "atmosphere_convective_inhibition", "", ""),
}

# Standard names of a few stored variables the model writes.
_STORED_STANDARD_NAMES = {"T2": "air_temperature", "PSFC": "surface_air_pressure", "HGT": "surface_altitude",
                          "XLAT": "latitude", "XLONG": "longitude", "Q2": "humidity_mixing_ratio"}


def cf_units(units: str, name: str) -> str:
    """The unit text of a result for pint, MetPy and UDUNITS."""
    canonical = canonical_name(name)
    if units == "PVU":
        return _PVU
    if units == "dimensionless":
        return "1"
    if units == "degrees" and canonical in ("lat", "lon"):
        return "degree_north" if canonical == "lat" else "degree_east"
    if units == "degrees":
        return "degree"
    match = _TEMPERATURE_PER.match(units)
    if match:
        return f"{'K' if match.group(1) == 'C' else 'delta_degF'}/{match.group(2)}"
    return units


@functools.cache
def _aliases() -> dict[str, str]:
    names: dict[str, str] = {}
    for row in _catalogue():
        names[row["name"]] = row["name"]
        for alias in row["aliases"]:
            names[alias.lower()] = row["name"]
    return names


def canonical_name(name: str) -> str:
    """The catalogue name of a row's name or alias; a stored variable's name as given."""
    return _aliases().get(name.lower(), name)


def standard_name(name: str) -> str | None:
    """The CF standard name of a one-field result, where CF has one."""
    canonical = canonical_name(name)
    return _STANDARD_NAMES.get(canonical, _STORED_STANDARD_NAMES.get(name))


def field_standard_names(name: str) -> tuple[str, ...] | None:
    """The CF standard names of the fields of a multi-field row ("" where CF has none)."""
    return _FIELD_STANDARD_NAMES.get(canonical_name(name))


def data_attributes(name: str, units: str) -> dict[str, Any]:
    """units (parsable), the catalogue's own unit text and the standard name."""
    attrs: dict[str, Any] = {"units": cf_units(units, name), "catalogue_units": units}
    standard = standard_name(name)
    if standard is not None:
        attrs["standard_name"] = standard
    return attrs


def _xy_attributes(map_proj: int, axis: str) -> dict[str, str]:
    if map_proj == 6:
        return ({"standard_name": "longitude", "units": "degree_east", "axis": "X"} if axis == "x" else
                {"standard_name": "latitude", "units": "degree_north", "axis": "Y"})
    return {"standard_name": f"projection_{axis}_coordinate", "units": "m", "axis": axis.upper()}


@functools.lru_cache(maxsize=16)
def _grid_times(stamps: tuple[tuple[str, int, int], ...]) -> dict[str, Any] | None:
    """XLAT, XLONG, x and y of each (path, mtime, time index), and the grid
    mapping; None when the files carry no XLAT/XLONG."""
    from tarq.geometry import _projection

    files: dict[str, TarqFile] = {}
    lats, lons = [], []
    for path, _, index in stamps:
        f = files.setdefault(path, TarqFile(path))
        try:
            lats.append(f.getvar("lat", timeidx=index))
            lons.append(f.getvar("lon", timeidx=index))
        except RuntimeError:
            return None
    moving = any(not (np.array_equal(lat, lats[0]) and np.array_equal(lon, lons[0])) for lat, lon in zip(lats, lons))
    grid: dict[str, Any] = {"moving": moving, "lat": lats if moving else lats[:1], "lon": lons if moving else lons[:1]}
    try:
        chosen = stamps if moving else stamps[:1]
        projections = [_projection(files[path], index) for path, _, index in chosen]
    except (TarqError, ImportError):
        return grid       # no projection can be told: the coordinates are XLAT/XLONG alone
    grid.update(map_proj=projections[0].map_proj, cf=projections[0].cf,
                x=[p.x for p in projections], y=[p.y for p in projections])
    return grid


def grid_coordinates(entries: list[tuple[str, int]], xr,
                     window: tuple[int, int, int, int] | None = None) -> dict[str, Any]:
    """XLAT, XLONG, x, y and crs of the times (path, time index) of a result:
    2-D (1-D x and y) when the grid stays put, per time when it moves; cropped
    to `window` (i0, i1, j0, j1) where the result covers part of the grid."""
    grid = _grid_times(tuple((path, os.stat(path).st_mtime_ns, index) for path, index in entries))
    if grid is None:
        return {}
    moving = grid["moving"]
    lead = ("Time",) if moving else ()
    i0, i1, j0, j1 = window if window is not None else (None, None, None, None)
    crop = {"lat": (slice(j0, j1), slice(i0, i1)), "lon": (slice(j0, j1), slice(i0, i1)),
            "x": (slice(i0, i1),), "y": (slice(j0, j1),)}

    def stack(key):
        values = [v[(..., *crop[key])] for v in grid[key]]
        return np.stack(values) if moving else values[0]

    coords: dict[str, Any] = {
        "XLAT": xr.Variable(lead + ("south_north", "west_east"), stack("lat"),
                            {"standard_name": "latitude", "units": "degree_north"}),
        "XLONG": xr.Variable(lead + ("south_north", "west_east"), stack("lon"),
                             {"standard_name": "longitude", "units": "degree_east"}),
    }
    if "cf" in grid:
        coords["x"] = xr.Variable(lead + ("west_east",), stack("x"), _xy_attributes(grid["map_proj"], "x"))
        coords["y"] = xr.Variable(lead + ("south_north",), stack("y"), _xy_attributes(grid["map_proj"], "y"))
        coords["crs"] = xr.Variable((), np.int32(0), dict(grid["cf"]))
    return coords
