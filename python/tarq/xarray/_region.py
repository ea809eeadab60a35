"""The window of the grid a call reads: index slices over south_north and
west_east, or the smallest window that holds every mass point of a
latitude-longitude box."""

from __future__ import annotations

from typing import Any, Mapping

import numpy as np

from tarq._tarq import TarqFile

Window = tuple[int, int, int, int]  # i0, i1, j0, j1, as TarqFile.window takes them

_DIMS = ("south_north", "west_east")


def _bounds(dim: str, chosen: Any, size: int) -> tuple[int, int]:
    if not isinstance(chosen, slice):
        raise TypeError(f"region[{dim!r}] must be a slice, not {type(chosen).__name__}")
    start, stop, step = chosen.indices(size)
    if step != 1:
        raise ValueError(f"region[{dim!r}] must have step 1, not {chosen.step}")
    if start >= stop:
        raise ValueError(f"region[{dim!r}] = {chosen} selects no {dim} point of {size}")
    return start, stop


def _from_region(region: Mapping[str, Any], f: TarqFile) -> Window:
    if not isinstance(region, Mapping):
        raise TypeError(f"region must be a mapping of south_north/west_east to slices, not {type(region).__name__}")
    unknown = set(region) - set(_DIMS)
    if unknown:
        raise ValueError(f"region: unknown dimensions {sorted(unknown)}; use south_north and west_east")
    j0, j1 = _bounds("south_north", region.get("south_north", slice(None)), f.ny)
    i0, i1 = _bounds("west_east", region.get("west_east", slice(None)), f.nx)
    return i0, i1, j0, j1


def bbox_window(bbox: Any, f: TarqFile, t: int) -> Window:
    try:
        lat_min, lat_max, lon_min, lon_max = (float(v) for v in bbox)
    except (TypeError, ValueError):
        raise TypeError(f"bbox must be four numbers (lat_min, lat_max, lon_min, lon_max), not {bbox!r}") from None
    lat, lon = f.getvar("lat", t), f.getvar("lon", t)
    inside = (lat >= lat_min) & (lat <= lat_max) & (lon >= lon_min) & (lon <= lon_max)
    rows, cols = np.nonzero(inside.any(axis=1))[0], np.nonzero(inside.any(axis=0))[0]
    if rows.size == 0:
        raise ValueError(f"bbox {tuple(bbox)} holds no mass point of {f.path}")
    return int(cols[0]), int(cols[-1]) + 1, int(rows[0]), int(rows[-1]) + 1


def _window(f: TarqFile, t: int, region: Mapping[str, Any] | None, bbox: Any) -> Window | None:
    """The window that region or bbox (at most one of them) chooses on file f, time t."""
    if region is not None and bbox is not None:
        raise ValueError("give region or bbox, not both")
    if region is not None:
        return _from_region(region, f)
    if bbox is not None:
        return bbox_window(bbox, f, t)
    return None
