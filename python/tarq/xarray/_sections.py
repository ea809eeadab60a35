"""Cross sections over the times of many files, as one DataArray."""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Mapping, Sequence

import numpy as np

from tarq._tarq import _describe_variable
from tarq.sections import _grid_position, section_ij
from tarq.xarray._assemble import _check_chunks, _xarray
from tarq.xarray._blocks import _open_files
from tarq.xarray._files import PathArg, _prepare
from tarq.xarray._levels import VERTICALS
from tarq.xarray._variables import COMPONENTS

if TYPE_CHECKING:
    import xarray as xr


@dataclass(frozen=True)
class _SectionBlock:
    """One task: the section at one time of one file, between fixed grid positions and levels."""

    path: str
    index: int
    name: str
    start_ij: tuple[float, float]
    end_ij: tuple[float, float]
    steps: int
    vertical: str
    levels: tuple[float, ...]
    extrapolate: bool
    options: tuple[tuple[str, Any], ...]


def _compute_section(block: _SectionBlock) -> np.ndarray:
    try:
        f = _open_files.get(block.path)
        xs = section_ij(f, block.name, block.start_ij, block.end_ij, timeidx=block.index, steps=block.steps,
                        vertical=block.vertical, levels=block.levels, extrapolate=block.extrapolate,
                        **dict(block.options))
    except (OSError, RuntimeError) as e:
        raise type(e)(f"{block.path} (time index {block.index}): {e}") from e
    return xs.values[..., None, :, :]


def open_cross_section(paths: PathArg, name: str, start: Sequence[float], end: Sequence[float], times: Any = None,
                       steps: int = 100, vertical: str = "height", levels: Sequence[float] | None = None,
                       extrapolate: bool = False, chunks: Mapping[str, int] | None = None,
                       **options: Any) -> "xr.DataArray":
    """A vertical cross section over the times of one or more files, as a DataArray.

    paths, times, chunks   as `open_getvar` takes them (chunks=None computes now).
    name, start, end, steps, vertical, levels, extrapolate, options
                           as `tarq.cross_section`: the grid positions of start
                           and end and, without levels, the levels are fixed by
                           the first selected time.

    Dimensions: a component dimension for multi-field rows, then Time, level
    and distance (m along the line). Coordinates: Time, level, distance, lat,
    lon and terrain (m) along the line.
    """
    xr = _xarray()
    _check_chunks(chunks)
    if vertical not in VERTICALS:
        raise ValueError(f"vertical must be one of {', '.join(map(repr, VERTICALS))}, not {vertical!r}")
    request = _prepare(paths, times, None, None)
    f, t0 = request.first, request.entries[0].index
    a = _grid_position(f, start, "start", t0)
    b = _grid_position(f, end, "end", t0)
    first = section_ij(f, name, a, b, timeidx=t0, steps=steps, vertical=vertical, levels=levels,
                       extrapolate=extrapolate, **options)
    level_values = tuple(float(x) for x in first.levels)
    blocks = [_SectionBlock(request.infos[e.file].path, e.index, name, a, b, int(steps), vertical, level_values,
                            bool(extrapolate), tuple(options.items())) for e in request.entries]
    one = first.values[..., None, :, :].shape
    axis = len(one) - 3
    if chunks is None:
        data = np.concatenate([first.values[..., None, :, :]] + [_compute_section(b) for b in blocks[1:]], axis=axis)
    else:
        import dask
        import dask.array as da
        parts = [da.from_delayed(dask.delayed(_compute_section)(b), one, dtype=np.float64) for b in blocks]
        data = da.concatenate(parts, axis=axis)
    dims: tuple[str, ...] = ("Time", "level", "distance")
    coords: dict[str, Any] = {
        "Time": ("Time", np.array([e.time for e in request.entries], dtype="datetime64[ns]")),
        "level": xr.Variable("level", np.array(level_values),
                             {"units": VERTICALS[vertical].level_units,
                              "description": VERTICALS[vertical].level_description}),
        "distance": xr.Variable("distance", first.distance, {"units": "m", "description": "Distance along the line"}),
        "lat": ("distance", first.lat), "lon": ("distance", first.lon),
        "terrain": xr.Variable("distance", first.terrain, {"units": "m", "description": "Terrain height"}),
    }
    row, description, units, _, _ = _describe_variable(f, name, options.get("units"))
    if axis:
        component = COMPONENTS[row]
        dims = (component[0],) + dims
        coords[component[0]] = (component[0], list(component[1]))
    array = xr.DataArray(data, dims=dims, coords=coords, name=name,
                         attrs={"units": units, "description": description, "vertical": vertical})
    if chunks:
        array = array.chunk(dict(chunks))
    return array
