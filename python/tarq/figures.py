"""The command line's figures: which fields go into which map panel.

Importing this module needs matplotlib (the `plot` extra).
"""

from __future__ import annotations

from typing import Any

import numpy as np

from tarq import _tarq, maps
from tarq._requests import Result, at_level, compute
from tarq.summary import split_components

# Land-use categories of water (the model's lake mask uses the same three).
WATER_CATEGORIES = (16, 17, 21)


def _field(result: Result, units: str) -> maps.Field:
    return maps.Field(result.values, units, result.problem)


def headline_panels(f: _tarq.TarqFile, t: int, kept: dict[str, Result], options: dict[str, Any]) -> list[maps.Panel]:
    """Six maps a forecaster reads together: instability with deep shear,
    low-level helicity, STP, radar, pressure with surface winds, temperature."""
    def get(name: str, units: str | None = None) -> Result:
        if units is None and name in kept:
            return kept[name]
        return compute(f, name, t, units, options)

    cape = maps.panel_for("mlcape", "MLCAPE (J/kg), 0-6 km shear (m/s, contours)", _field(get("mlcape"), "J/kg"))
    shear = get("shear_0_6km")
    if shear.values is not None:
        cape.overlays.append(maps.contour_overlay(shear.values, [10, 15, 20, 25, 30, 40], "m/s"))
    else:
        cape.title = "MLCAPE (J/kg), 0-6 km shear n/a"
    slp = maps.panel_for("slp", "Sea-level pressure (hPa), 10-m wind (kt)", _field(get("slp"), "hPa"))
    wind = get("uvmet10", "kt")
    if wind.values is not None:
        slp.overlays.append(maps.barb_overlay(wind.values[0], wind.values[1]))
    else:
        slp.title = "Sea-level pressure (hPa), 10-m wind n/a"
    return [
        cape,
        maps.panel_for("srh1", "0-1 km storm-relative helicity", _field(get("srh1"), "m2/s2")),
        maps.panel_for("stp", "Significant tornado parameter", _field(get("stp"), "dimensionless")),
        maps.panel_for("maxdbz", "Composite reflectivity", _field(get("maxdbz"), "dBZ")),
        slp,
        maps.panel_for("t2", "2-m temperature", _field(get("t2", "degC"), "degC")),
    ]


def named_panels(f: _tarq.TarqFile, t: int, kept: dict[str, Result], described: dict[str, tuple[str, str, str]],
                 level: int | None) -> list[maps.Panel]:
    """One map per named variable (per component of a multi-output row), with
    its units and description; a 3-D field at the requested level, the lowest
    by default."""
    panels = []
    for name, result in kept.items():
        row, units, description = described[name]
        if result.values is None:
            panels.append(maps.panel_for(row, name, _field(result, units)))
            continue
        for label, values, part_units in split_components(name, result.values, units):
            title = f"{label}: {description}" if description else label
            if values.ndim == 3:
                k = min(level or 0, values.shape[0] - 1)
                values = at_level(values, k)
                title += f", level {k}"
            fld = maps.Field(values, part_units)
            if values.shape != (f.ny, f.nx):
                fld = maps.Field(None, part_units, f"shape {values.shape} is not the {f.ny} x {f.nx} grid")
            panels.append(maps.panel_for(row, title, fld))
    return panels


def _geography(f: _tarq.TarqFile, t: int) -> maps.Geography:
    """Latitude and longitude of the mass points (grid indices when the file
    has none), and the water mask for shore lines."""
    try:
        geo = maps.Geography(f.getvar("lat", t), f.getvar("lon", t))
    except RuntimeError:
        jj, ii = np.mgrid[0:f.ny, 0:f.nx].astype(np.float64)
        geo = maps.Geography(jj, ii, geographic=False)
    try:
        land_use = f.getvar("LU_INDEX", t)
        if land_use.shape == (f.ny, f.nx):
            geo.water = np.isin(np.trunc(np.nan_to_num(land_use)), WATER_CATEGORIES)
    except RuntimeError:
        pass
    return geo


def draw(f: _tarq.TarqFile, t: int, panels: list[maps.Panel], title: str, png_path: str) -> tuple[int, int]:
    """Draws the panels at time t into a PNG; returns its size in pixels."""
    return maps.draw_panels(panels, _geography(f, t), title, png_path)
