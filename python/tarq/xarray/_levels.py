"""The vertical coordinates a variable on model levels can be interpolated to."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

import numpy as np


@dataclass(frozen=True)
class _Vertical:
    variable: str           # what getvar computes for the coordinate
    units: str | None       # unit requested from getvar
    log_p: bool
    level_units: str
    level_description: str


VERTICALS = {
    "pressure": _Vertical("pressure", "hPa", True, "hPa", "Pressure level"),
    "height": _Vertical("height", None, False, "m", "Height above mean sea level"),
    "height_agl": _Vertical("height_agl", None, False, "m", "Height above ground level"),
    "theta": _Vertical("theta", None, False, "K", "Potential temperature level"),
    "theta_e": _Vertical("theta_e", None, False, "K", "Equivalent potential temperature level"),
}


def _level_values(levels: Any, vertical: str | None) -> tuple[float, ...] | None:
    """The levels as floats, None without levels; refuses levels without a
    vertical coordinate or the other way round."""
    if (levels is None) != (vertical is None):
        raise ValueError("levels and vertical go together: give both or neither")
    if vertical is not None and vertical not in VERTICALS:
        raise ValueError(f"vertical must be one of {', '.join(map(repr, VERTICALS))}, not {vertical!r}")
    if levels is None:
        return None
    array = np.atleast_1d(np.asarray(levels, dtype=np.float64))
    if array.ndim != 1 or array.size == 0 or not np.all(np.isfinite(array)):
        raise ValueError("levels must be a non-empty 1-D sequence of finite numbers")
    return tuple(float(x) for x in array)
