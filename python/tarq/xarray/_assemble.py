"""The blocks of a variable as one labelled DataArray, eager or lazy, and
the public entry points."""

from __future__ import annotations

import dataclasses
import os
import sys
import time
from typing import TYPE_CHECKING, Any, Mapping, Sequence

import numpy as np

from tarq.xarray._blocks import _Block, _compute_block
from tarq.xarray._files import PathArg, _FileInfo, _prepare, _Request, _TimeEntry
from tarq.xarray._levels import VERTICALS
from tarq.xarray._variables import _plan, _Plan, _time_position

if TYPE_CHECKING:
    import xarray as xr


def _xarray():
    try:
        import xarray
    except ImportError as e:  # pragma: no cover - depends on the installation
        raise ImportError("tarq.xarray needs xarray: pip install 'tarq[xarray]'") from e
    return xarray


class _Progress:
    """A progress line on stderr for loops longer than a second, only on a terminal."""

    def __init__(self, label: str, total: int) -> None:
        self._label = label
        self._total = total
        self._start = time.monotonic()
        self._shown = False
        isatty = getattr(sys.stderr, "isatty", None)
        self._enabled = bool(isatty and isatty())

    def update(self, done: int) -> None:
        if self._enabled and (self._shown or time.monotonic() - self._start > 1.0):
            sys.stderr.write(f"\r{self._label}: {done}/{self._total} times")
            sys.stderr.flush()
            self._shown = True

    def close(self) -> None:
        if self._shown:
            sys.stderr.write("\n")
            sys.stderr.flush()


def _eager(blocks: list[_Block], plan: _Plan) -> np.ndarray:
    axis = _time_position(plan)
    shape = plan.shape[:axis] + (len(blocks),) + plan.shape[axis:]
    out = np.empty(shape, dtype=np.float64)
    progress = _Progress(f"tarq {plan.name}", len(blocks))
    try:
        for i, block in enumerate(blocks):
            index = (slice(None),) * axis + (slice(i, i + 1),)
            out[index] = _compute_block(block)
            progress.update(i + 1)
    finally:
        progress.close()
    return out


def _lazy(blocks: list[_Block], plan: _Plan, token: str):
    import dask.array as da
    from dask.highlevelgraph import HighLevelGraph

    axis = _time_position(plan)
    key = f"tarq-{plan.name}-{token}"
    graph = {}
    for i, block in enumerate(blocks):
        index = [0] * (len(plan.shape) + 1)
        index[axis] = i
        graph[(key, *index)] = (_compute_block, block)
    chunks = tuple((n,) for n in plan.shape)
    chunks = chunks[:axis] + ((1,) * len(blocks),) + chunks[axis:]
    hlg = HighLevelGraph.from_collections(key, graph, dependencies=())
    return da.Array(hlg, key, chunks, dtype=np.float64, meta=np.empty((0,) * len(chunks), dtype=np.float64))


def _token(infos: list[_FileInfo], entries: list[_TimeEntry], plan: _Plan) -> str:
    from dask.base import tokenize

    stamps = [(info.path, os.stat(info.path).st_mtime_ns) for info in infos]
    return tokenize(stamps, [(e.file, e.index) for e in entries], plan)


def _check_chunks(chunks: Any) -> None:
    if chunks is not None and not isinstance(chunks, Mapping):
        raise TypeError(f"chunks must be a mapping of dimension names to sizes, such as {{'Time': 1}}, "
                        f"not {type(chunks).__name__}")


def _coordinates(request: _Request, plan: _Plan, xr) -> dict[str, Any]:
    coords: dict[str, Any] = {"Time": ("Time", np.array([e.time for e in request.entries], dtype="datetime64[ns]"))}
    first = request.entries[0]
    f = request.first
    if "south_north" in plan.dims and "west_east" in plan.dims:
        for coord, row in (("XLAT", "lat"), ("XLONG", "lon")):
            try:
                coords[coord] = (("south_north", "west_east"), f.getvar(row, first.index))
            except RuntimeError:
                pass  # a file without the coordinate still gives its field
    if plan.component is not None:
        coords[plan.component[0]] = (plan.component[0], list(plan.component[1]))
    if plan.levels is not None:
        v = VERTICALS[plan.vertical]
        coords["level"] = xr.Variable("level", np.array(plan.levels),
                                      {"units": v.level_units, "description": v.level_description})
    return coords


def _attributes(request: _Request, plan: _Plan) -> dict[str, Any]:
    attrs: dict[str, Any] = {"units": plan.units, "description": plan.description}
    for key, value in request.infos[0].projection.items():
        attrs[key] = int(value) if key == "MAP_PROJ" and float(value).is_integer() else value
    return attrs


def _data_array(request: _Request, plan: _Plan, chunks: Mapping[str, int] | None, xr) -> "xr.DataArray":
    blocks = [_Block(request.infos[e.file].path, e.index, plan) for e in request.entries]
    if chunks is None:
        data = _eager(blocks, plan)
    else:
        data = _lazy(blocks, plan, _token(request.infos, request.entries, plan))
    axis = _time_position(plan)
    dims = plan.dims[:axis] + ("Time",) + plan.dims[axis:]
    array = xr.DataArray(data, dims=dims, coords=_coordinates(request, plan, xr), attrs=_attributes(request, plan),
                         name=plan.name)
    if chunks:
        array = array.chunk(dict(chunks))
    return array


def open_getvar(paths: PathArg, name: str, times: Any = None, levels: Sequence[float] | None = None,
                vertical: str | None = None, chunks: Mapping[str, int] | None = None, extrapolate: bool = False,
                **options: Any) -> "xr.DataArray":
    """One variable over the times of one or more model files, as a DataArray.

    paths     a path, a glob pattern or a list of them; their times are put in time order.
    name      any name getvar accepts.
    times     None (all), an index or slice or list of indexes into that time axis, or time values.
    levels    1-D levels to interpolate a variable on model levels to, with
    vertical  "pressure" (levels in hPa, linear in ln p), "height" (m above sea
              level), "height_agl" (m above ground), "theta" or "theta_e" (K), as
              `tarq.vinterp` interpolates: never NaN between the ground and the
              lowest model level; outside the column NaN unless
    extrapolate  is true (not for theta and theta_e).
    chunks    None computes now; a mapping such as {"Time": 1} gives a lazy Dask
              array with one task per file time, rechunked to the mapping.
    options   getvar's keyword options (units, parcel_type, ...), for every time.

    Dimensions: a component dimension for multi-field rows (wind_component, ...),
    then Time, then bottom_top (or level), south_north and west_east.
    Coordinates: Time (datetime64), XLAT and XLONG. Attributes: units, description
    and the projection's global attributes. Every argument, name and option is
    checked, with getvar's own messages, before anything is computed.
    """
    xr = _xarray()
    _check_chunks(chunks)
    request = _prepare(paths, times, levels, vertical)
    plan = dataclasses.replace(_plan(request, name, options, need_levels=True), extrapolate=bool(extrapolate))
    return _data_array(request, plan, chunks, xr)


def open_dataset(paths: PathArg, names: Sequence[str], times: Any = None, levels: Sequence[float] | None = None,
                 vertical: str | None = None, chunks: Mapping[str, int] | None = None, extrapolate: bool = False,
                 **options: Any) -> "xr.Dataset":
    """Several variables as one Dataset, each as `open_getvar` gives it.

    With levels, the variables on model levels are interpolated and the others
    are kept as they are. Every name is checked before anything is computed.
    """
    xr = _xarray()
    _check_chunks(chunks)
    if isinstance(names, str):
        names = [names]
    request = _prepare(paths, times, levels, vertical)
    plans = [dataclasses.replace(_plan(request, n, options, need_levels=False), extrapolate=bool(extrapolate))
             for n in names]
    if request.levels is not None and all(p.levels is None for p in plans):
        raise ValueError(f"levels need a variable on model levels; none of {list(names)} is")
    return xr.Dataset({plan.name: _data_array(request, plan, chunks, xr) for plan in plans})
