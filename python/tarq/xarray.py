"""Labelled results over many model files, as xarray objects, eager or lazy.

    from tarq.xarray import open_getvar, open_dataset

    cape = open_getvar("run/tarqout_d01_*", "sbcape")                 # (Time, south_north, west_east)
    z500 = open_getvar(paths, "height", levels=[500], vertical="pressure", chunks={"Time": 1})
    ds = open_dataset(paths, ["slp", "uvmet10"], chunks={"Time": 1})  # lazy: Dask, one task per file time

Files are opened by path in the process that computes a block, so lazy results
compute on a `dask.distributed` cluster as well as on the threaded scheduler.
xarray (and Dask, for `chunks`) are imported on first use: install the
`xarray` extra.
"""

from __future__ import annotations

import glob
import os
import sys
import threading
import time
from collections import OrderedDict
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Mapping, Sequence, Union

import numpy as np

from tarq._tarq import TarqFile, _describe_variable, _numeric_attributes, interp_levels

if TYPE_CHECKING:
    import xarray as xr

__all__ = ["open_dataset", "open_getvar"]

PathArg = Union[str, "os.PathLike[str]", Sequence[Union[str, "os.PathLike[str]"]]]

# Global attributes that describe the map projection; copied to every result.
PROJECTION_ATTRS = ("MAP_PROJ", "CEN_LAT", "CEN_LON", "TRUELAT1", "TRUELAT2", "MOAD_CEN_LAT", "STAND_LON",
                    "POLE_LAT", "POLE_LON", "DX", "DY")

_WIND = ("wind_component", ("u", "v"))

# Rows that return several fields: the name and labels of their leading dimension.
COMPONENTS: dict[str, tuple[str, tuple[str, ...]]] = {
    "uvmet": _WIND,
    "uvmet10": _WIND,
    "mean_wind": _WIND,
    "mean_wind_0_6km": _WIND,
    "bunkers_rm": _WIND,
    "bunkers_lm": _WIND,
    "cape2d": ("cape2d_component", ("cape", "cin", "lcl", "lfc")),
    "effective_inflow": ("inflow_bound", ("base", "top")),
    "cloudfrac": ("cloud_layer", ("low", "mid", "high")),
}


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
}


def _xarray():
    try:
        import xarray
    except ImportError as e:  # pragma: no cover - depends on the installation
        raise ImportError("tarq.xarray needs xarray: pip install 'tarq[xarray]'") from e
    return xarray


# --------------------------------------------------------------------------- files and times


@dataclass
class _FileInfo:
    path: str
    nx: int
    ny: int
    nz: int
    nt: int
    dx: float
    dy: float
    times: list[np.datetime64]
    projection: dict[str, float]


@dataclass(frozen=True)
class _TimeEntry:
    time: np.datetime64
    file: int       # index into the scanned files
    index: int      # time index within that file


def _resolve_paths(paths: PathArg) -> list[str]:
    items = [paths] if isinstance(paths, (str, os.PathLike)) else list(paths)
    if not items:
        raise ValueError("no paths given")
    resolved: list[str] = []
    for item in items:
        text = os.fspath(item)
        if any(c in text for c in "*?["):
            matches = sorted(glob.glob(text))
            if not matches:
                raise FileNotFoundError(f"no file matches {text!r}")
            resolved.extend(matches)
        elif not os.path.exists(text):
            raise FileNotFoundError(f"no such file: {text!r}")
        else:
            resolved.append(text)
    return resolved


def _decode_time(text: str, path: str) -> np.datetime64:
    try:
        return np.datetime64(text.strip().replace("_", "T", 1), "ns")
    except ValueError:
        raise ValueError(f"{path}: cannot decode time string {text!r}") from None


def _scan_file(path: str) -> _FileInfo:
    try:
        f = TarqFile(path)
        times = f.times()
    except (OSError, RuntimeError) as e:
        raise type(e)(f"{path}: {e}") from None
    attrs = _numeric_attributes(f)
    projection = {k: attrs[k] for k in PROJECTION_ATTRS if k in attrs}
    return _FileInfo(path, f.nx, f.ny, f.nz, f.nt, f.dx, f.dy, [_decode_time(s, path) for s in times[: f.nt]],
                     projection)


def _grid_difference(a: _FileInfo, b: _FileInfo) -> str | None:
    for what in ("nx", "ny", "nz", "dx", "dy"):
        if getattr(a, what) != getattr(b, what):
            return f"{what} {getattr(a, what)} against {getattr(b, what)}"
    for key in sorted(set(a.projection) | set(b.projection)):
        if a.projection.get(key) != b.projection.get(key):
            return f"{key} {a.projection.get(key)} against {b.projection.get(key)}"
    return None


def _scan(paths: list[str]) -> list[_FileInfo]:
    infos = [_scan_file(p) for p in paths]
    for info in infos[1:]:
        diff = _grid_difference(infos[0], info)
        if diff is not None:
            raise ValueError(f"{infos[0].path} and {info.path} have different grids: {diff}")
    return infos


def _time_axis(infos: list[_FileInfo]) -> list[_TimeEntry]:
    entries = [_TimeEntry(t, i, k) for i, info in enumerate(infos) for k, t in enumerate(info.times)]
    return sorted(entries, key=lambda e: e.time)  # stable: equal times keep file order


def _missing_time(t: int, n: int) -> RuntimeError:
    return RuntimeError(f"invalid parameter: timeidx {t} out of range (file has {n} times)")


def _select_times(entries: list[_TimeEntry], times: Any) -> list[_TimeEntry]:
    """Indexes into the time-ordered axis (int, slice or sequence of ints, negative
    from the end) or time values (str, datetime64, datetime) matched exactly."""
    n = len(entries)
    if times is None:
        return entries
    if isinstance(times, slice):
        return entries[times]
    scalar = np.ndim(times) == 0
    wanted = [times] if scalar else list(times)
    chosen = []
    for item in wanted:
        if isinstance(item, (bool, np.bool_)):
            raise TypeError(f"times: expected an index or a time, not {item!r}")
        if isinstance(item, (int, np.integer)):
            t = int(item)
            if not -n <= t < n:
                raise _missing_time(t, n)
            chosen.append(entries[t])
            continue
        value = np.datetime64(item.replace("_", "T", 1) if isinstance(item, str) else item, "ns")
        match = [e for e in entries if e.time == value]
        if not match:
            raise RuntimeError(f"invalid parameter: time {item} is not among the files' times")
        chosen.extend(match)
    return chosen


# --------------------------------------------------------------------------- variables


@dataclass(frozen=True)
class _Plan:
    """What one variable looks like, and how to compute one time of it."""

    name: str                          # as the caller spelled it, for getvar
    options: tuple[tuple[str, Any], ...]
    description: str
    units: str
    dims: tuple[str, ...]              # one time's dimensions
    shape: tuple[int, ...]
    component: tuple[str, tuple[str, ...]] | None
    vertical: str | None
    levels: tuple[float, ...] | None


def _raw_dims(name: str, shape: tuple[int, ...], info: _FileInfo) -> tuple[str, ...]:
    """The grid's dimension names for the trailing axes whose size matches
    (staggered for one more, as static fields such as XLAT_U are stored);
    NAME_dimK for any other axis."""
    dims = [f"{name}_dim{k}" for k in range(len(shape))]
    if len(shape) < 2:
        return tuple(dims)
    grid = (("west_east", info.nx), ("south_north", info.ny), ("bottom_top", info.nz))
    for k, (dim, size) in zip(reversed(range(len(shape))), grid):
        dims[k] = {size: dim, size + 1: f"{dim}_stag"}.get(shape[k], dims[k])
    return tuple(dims)


def _check_options(f: TarqFile, name: str, options: Mapping[str, Any]) -> None:
    """Argument errors exactly as getvar raises them, computing nothing: a time
    index one past the end is refused before any work."""
    if "timeidx" in options:
        raise TypeError("select times with `times`, not `timeidx`")
    try:
        f.getvar(name, f.nt, **options)
    except RuntimeError as e:
        if not str(e).startswith("invalid parameter: timeidx"):
            raise


def _plan(request: "_Request", name: str, options: dict[str, Any], need_levels: bool) -> _Plan:
    if not isinstance(name, str):
        raise TypeError(f"variable name must be str, not {type(name).__name__}")
    infos, levels, vertical = request.infos, request.levels, request.vertical
    _check_options(request.first, name, options)
    row, description, units, is_raw, base = _describe_variable(request.first, name, options.get("units"))
    if is_raw:
        # A stored variable's shape comes from each file; catalogue rows share the checked grid.
        for info in infos:
            other = _describe_variable(TarqFile(info.path), name, options.get("units"))[4]
            if other != base:
                raise ValueError(f"{request.first.path} and {info.path} differ for {name}: "
                                 f"shape {base} against {other}")
    base = tuple(base)
    component = None if is_raw else COMPONENTS.get(row)
    dims = _raw_dims(row, base, infos[0]) if is_raw else \
        (("bottom_top",) if len(base) == 3 else ()) + ("south_north", "west_east")
    shape = base
    if component is not None:
        dims = (component[0],) + dims
        shape = (len(component[1]),) + shape
    if levels is not None and "bottom_top" in dims:
        at = dims.index("bottom_top")
        dims = dims[:at] + ("level",) + dims[at + 1:]
        shape = shape[:at] + (len(levels),) + shape[at + 1:]
    elif levels is not None:
        if need_levels:
            raise ValueError(f"levels need a variable on model levels; {name} has dimensions {dims}")
        vertical = levels = None
    return _Plan(name, tuple(options.items()), description, units, dims, shape, component, vertical, levels)


# --------------------------------------------------------------------------- computing one time


class _OpenFiles:
    """Open files of this process, by path, for the blocks it computes.

    A file's derived-field cache keeps every time it has served until the file
    is dropped, so a file that has served a few times is reopened fresh instead
    of growing; the least recently used files are closed beyond a small count.
    Rebuilt after a fork."""

    def __init__(self, max_files: int = 4, times_per_file: int = 2) -> None:
        self._max_files = max_files
        self._times_per_file = times_per_file
        self._lock = threading.Lock()
        self._pid = os.getpid()
        self._entries: OrderedDict[str, tuple[TarqFile, set[int]]] = OrderedDict()

    def get(self, path: str, t: int) -> TarqFile:
        with self._lock:
            if self._pid != os.getpid():
                self._entries.clear()
                self._pid = os.getpid()
            entry = self._entries.pop(path, None)
            if entry is None or (t not in entry[1] and len(entry[1]) >= self._times_per_file):
                entry = (TarqFile(path), set())
            entry[1].add(t)
            self._entries[path] = entry
            while len(self._entries) > self._max_files:
                self._entries.popitem(last=False)
            return entry[0]


_open_files = _OpenFiles()


@dataclass(frozen=True)
class _Block:
    """One task: one variable at one time of one file."""

    path: str
    index: int
    plan: _Plan


def _compute_block(block: _Block) -> np.ndarray:
    plan = block.plan
    try:
        f = _open_files.get(block.path, block.index)
        data = f.getvar(plan.name, block.index, **dict(plan.options))
        if plan.levels is not None:
            v = VERTICALS[plan.vertical]
            coord = f.getvar(v.variable, block.index, units=v.units)
            data = interp_levels(data, coord, plan.levels, log_p=v.log_p)
    except (OSError, RuntimeError) as e:
        # Among thousands of blocks, say which one failed.
        raise type(e)(f"{block.path} (time index {block.index}): {e}") from e
    if data.shape != plan.shape:
        raise ValueError(f"{block.path}: {plan.name} at time index {block.index} has shape {data.shape}, "
                         f"expected {plan.shape}")
    return np.expand_dims(data, _time_position(plan))


def _time_position(plan: _Plan) -> int:
    return 0 if plan.component is None else 1


# --------------------------------------------------------------------------- assembling


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


@dataclass
class _Request:
    infos: list[_FileInfo]
    first: TarqFile                 # the file of the first selected time
    entries: list[_TimeEntry]
    levels: tuple[float, ...] | None
    vertical: str | None


def _prepare(paths: PathArg, times: Any, levels: Any, vertical: str | None) -> _Request:
    if (levels is None) != (vertical is None):
        raise ValueError("levels and vertical go together: give both or neither")
    if vertical is not None and vertical not in VERTICALS:
        raise ValueError(f"vertical must be one of {', '.join(map(repr, VERTICALS))}, not {vertical!r}")
    level_values = None
    if levels is not None:
        array = np.atleast_1d(np.asarray(levels, dtype=np.float64))
        if array.ndim != 1 or array.size == 0 or not np.all(np.isfinite(array)):
            raise ValueError("levels must be a non-empty 1-D sequence of finite numbers")
        level_values = tuple(float(x) for x in array)
    infos = _scan(_resolve_paths(paths))
    entries = _select_times(_time_axis(infos), times)
    if not entries:
        raise ValueError("no times selected")
    first = TarqFile(infos[entries[0].file].path)
    return _Request(infos, first, entries, level_values, vertical)


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
                vertical: str | None = None, chunks: Mapping[str, int] | None = None,
                **options: Any) -> "xr.DataArray":
    """One variable over the times of one or more model files, as a DataArray.

    paths     a path, a glob pattern or a list of them; their times are put in time order.
    name      any name getvar accepts.
    times     None (all), an index or slice or list of indexes into that time axis, or time values.
    levels    1-D levels to interpolate a variable on model levels to, with
    vertical  "pressure" (levels in hPa, linear in ln p), "height" (m above sea
              level) or "height_agl" (m above ground); outside a column gives NaN.
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
    plan = _plan(request, name, options, need_levels=True)
    return _data_array(request, plan, chunks, xr)


def open_dataset(paths: PathArg, names: Sequence[str], times: Any = None, levels: Sequence[float] | None = None,
                 vertical: str | None = None, chunks: Mapping[str, int] | None = None,
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
    plans = [_plan(request, n, options, need_levels=False) for n in names]
    if request.levels is not None and all(p.levels is None for p in plans):
        raise ValueError(f"levels need a variable on model levels; none of {list(names)} is")
    return xr.Dataset({plan.name: _data_array(request, plan, chunks, xr) for plan in plans})
