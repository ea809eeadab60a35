"""The blocks of a variable as one labelled DataArray, eager or lazy, and
the public entry points."""

from __future__ import annotations

import dataclasses
import operator
import os
import sys
import time
from typing import TYPE_CHECKING, Any, Mapping, Sequence

import numpy as np

from tarq.xarray._blocks import _Block, _compute_block, _compute_blocks
from tarq.xarray._cf import data_attributes, field_standard_names, grid_coordinates
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


def _lazy_shared(request: _Request, plans: list[_Plan]) -> list:
    """Lazy arrays of several variables whose graphs share one task per file
    time: it computes every variable there, and each array takes its own part."""
    import dask.array as da
    from dask.highlevelgraph import HighLevelGraph

    per_time = [tuple(_Block(request.infos[e.file].path, e.index, plan, request.window) for plan in plans)
                for e in request.entries]
    shared = f"tarq-times-{_token(request.infos, request.entries, tuple(plans), request.window)}"
    shared_graph = {(shared, i): (_compute_blocks, blocks) for i, blocks in enumerate(per_time)}
    arrays = []
    for k, plan in enumerate(plans):
        axis = _time_position(plan)
        key = f"tarq-{plan.name}-{k}-{shared[len('tarq-times-'):]}"
        graph = {}
        for i in range(len(per_time)):
            index = [0] * (len(plan.shape) + 1)
            index[axis] = i
            graph[(key, *index)] = (operator.getitem, (shared, i), k)
        chunks = tuple((n,) for n in plan.shape)
        chunks = chunks[:axis] + ((1,) * len(per_time),) + chunks[axis:]
        hlg = HighLevelGraph({shared: shared_graph, key: graph}, {shared: set(), key: {shared}})
        arrays.append(da.Array(hlg, key, chunks, dtype=np.float64,
                               meta=np.empty((0,) * len(chunks), dtype=np.float64)))
    return arrays


def _token(infos: list[_FileInfo], entries: list[_TimeEntry], plan: Any, window: Any) -> str:
    from dask.base import tokenize

    stamps = [(info.path, os.stat(info.path).st_mtime_ns) for info in infos]
    return tokenize(stamps, [(e.file, e.index) for e in entries], plan, window)


def _check_chunks(chunks: Any) -> None:
    if chunks is not None and not isinstance(chunks, Mapping):
        raise TypeError(f"chunks must be a mapping of dimension names to sizes, such as {{'Time': 1}}, "
                        f"not {type(chunks).__name__}")


def _coordinates(request: _Request, plan: _Plan, xr) -> dict[str, Any]:
    coords: dict[str, Any] = {"Time": ("Time", np.array([e.time for e in request.entries], dtype="datetime64[ns]"))}
    if "south_north" in plan.dims and "west_east" in plan.dims:
        # A file without XLAT/XLONG still gives its field, without them.
        coords.update(grid_coordinates([(request.infos[e.file].path, e.index) for e in request.entries], xr,
                                       request.window))
    if plan.component is not None:
        coords[plan.component[0]] = (plan.component[0], list(plan.component[1]))
        fields = field_standard_names(plan.name)
        if fields is not None:
            coords["standard_name"] = (plan.component[0], list(fields))
    if plan.levels is not None:
        v = VERTICALS[plan.vertical]
        coords["level"] = xr.Variable("level", np.array(plan.levels),
                                      {"units": v.level_units, "description": v.level_description})
    return coords


def _attributes(request: _Request, plan: _Plan) -> dict[str, Any]:
    attrs: dict[str, Any] = {**data_attributes(plan.name, plan.units), "description": plan.description}
    for key, value in request.infos[0].projection.items():
        attrs[key] = int(value) if key == "MAP_PROJ" and float(value).is_integer() else value
    return attrs


def _data_array(request: _Request, plan: _Plan, chunks: Mapping[str, int] | None, xr,
                lazy: Any = None) -> "xr.DataArray":
    blocks = [_Block(request.infos[e.file].path, e.index, plan, request.window) for e in request.entries]
    if lazy is not None:
        data = lazy
    elif chunks is None:
        data = _eager(blocks, plan)
    else:
        data = _lazy(blocks, plan, _token(request.infos, request.entries, plan, request.window))
    axis = _time_position(plan)
    dims = plan.dims[:axis] + ("Time",) + plan.dims[axis:]
    coords = _coordinates(request, plan, xr)
    attrs = _attributes(request, plan)
    if "crs" in coords:
        attrs["grid_mapping"] = "crs"
    array = xr.DataArray(data, dims=dims, coords=coords, attrs=attrs, name=plan.name)
    if chunks:
        array = array.chunk(dict(chunks))
    return array


def open_getvar(paths: PathArg, name: str, times: Any = None, levels: Sequence[float] | None = None,
                vertical: str | None = None, chunks: Mapping[str, int] | None = None,
                region: Mapping[str, slice] | None = None, bbox: Sequence[float] | None = None,
                extrapolate: bool = False,
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
    region    a part of the grid only: {"south_north": slice, "west_east": slice}
              (index slices, step 1; a missing one is the whole axis), or
    bbox      (lat_min, lat_max, lon_min, lon_max): the smallest window holding
              every mass point whose XLAT and XLONG lie inside (of the first
              selected time). Results equal the same crop of the whole grid's,
              and only that part of each file is read; an empty one is a ValueError.
    options   getvar's keyword options (units, parcel_type, ...), for every time.

    Dimensions: a component dimension for multi-field rows (wind_component, ...),
    then Time, then bottom_top (or level), south_north and west_east.
    Coordinates: Time (datetime64), XLAT and XLONG (per time when the grid moves)
    and, where the file's map projection can be told, CF projection coordinates
    x and y and a scalar `crs` holding the grid mapping. Attributes: units (as
    pint, MetPy and UDUNITS read them), catalogue_units (the catalogue's own
    text), standard_name where CF has one, grid_mapping, description and the
    projection's global attributes. Every argument, name and option is
    checked, with getvar's own messages, before anything is computed.
    """
    xr = _xarray()
    _check_chunks(chunks)
    request = _prepare(paths, times, levels, vertical, region, bbox)
    plan = dataclasses.replace(_plan(request, name, options, need_levels=True), extrapolate=bool(extrapolate))
    return _data_array(request, plan, chunks, xr)


def open_dataset(paths: PathArg, names: Sequence[str], times: Any = None, levels: Sequence[float] | None = None,
                 vertical: str | None = None, chunks: Mapping[str, int] | None = None,
                 region: Mapping[str, slice] | None = None, bbox: Sequence[float] | None = None,
                 extrapolate: bool = False,
                 **options: Any) -> "xr.Dataset":
    """Several variables as one Dataset, each as `open_getvar` gives it.

    With levels, the variables on model levels are interpolated and the others
    are kept as they are. Every name is checked before anything is computed;
    region and bbox choose a part of the grid as for `open_getvar`. With
    chunks, one task per file time computes all the variables there, so that
    they share that time's decoded and derived fields.
    """
    xr = _xarray()
    _check_chunks(chunks)
    if isinstance(names, str):
        names = [names]
    request = _prepare(paths, times, levels, vertical, region, bbox)
    plans = [dataclasses.replace(_plan(request, n, options, need_levels=False), extrapolate=bool(extrapolate))
             for n in names]
    if request.levels is not None and all(p.levels is None for p in plans):
        raise ValueError(f"levels need a variable on model levels; none of {list(names)} is")
    lazy = _lazy_shared(request, plans) if chunks is not None else [None] * len(plans)
    return xr.Dataset({plan.name: _data_array(request, plan, chunks, xr, data) for plan, data in zip(plans, lazy)})
