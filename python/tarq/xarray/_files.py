"""Model files and their times, and what one call reads from them."""

from __future__ import annotations

import dataclasses
import glob
import os
from dataclasses import dataclass
from typing import Any, Sequence, Union

import numpy as np

from tarq._tarq import InvalidParameterError, TarqFile, _numeric_attributes
from tarq.xarray._levels import _level_values
from tarq.xarray._region import Window, _window

PathArg = Union[str, "os.PathLike[str]", Sequence[Union[str, "os.PathLike[str]"]]]

# Global attributes that describe the map projection; copied to every result.
PROJECTION_ATTRS = ("MAP_PROJ", "CEN_LAT", "CEN_LON", "TRUELAT1", "TRUELAT2", "MOAD_CEN_LAT", "STAND_LON",
                    "POLE_LAT", "POLE_LON", "DX", "DY")


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
    """Every time of the files in time order; a time held twice (a file listed
    twice, files that overlap) would give two different results one label."""
    entries = [_TimeEntry(t, i, k) for i, info in enumerate(infos) for k, t in enumerate(info.times)]
    entries.sort(key=lambda e: e.time)  # stable: equal times keep file order
    for a, b in zip(entries, entries[1:]):
        if a.time == b.time:
            first, second = infos[a.file].path, infos[b.file].path
            when = str(a.time.astype("datetime64[s]")).replace("T", "_")
            if a.file == b.file or os.path.realpath(first) == os.path.realpath(second):
                raise ValueError(f"{first} and {second} are the same file: time {when} would repeat")
            raise ValueError(f"{first} and {second} both hold time {when}")
    return entries


def _missing_time(t: int, entries: list[_TimeEntry], infos: list[_FileInfo]) -> InvalidParameterError:
    counts = ", ".join(f"{info.path} has {len(info.times)}" for info in infos)
    return InvalidParameterError(
        f"invalid parameter: timeidx {t} out of range ({len(entries)} times in {len(infos)} files: {counts})")


def _select_times(entries: list[_TimeEntry], times: Any, infos: list[_FileInfo]) -> list[_TimeEntry]:
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
                raise _missing_time(t, entries, infos)
            chosen.append(entries[t])
            continue
        value = np.datetime64(item.replace("_", "T", 1) if isinstance(item, str) else item, "ns")
        match = [e for e in entries if e.time == value]
        if not match:
            raise InvalidParameterError(f"invalid parameter: time {item} is not among the files' times")
        chosen.extend(match)
    return chosen


@dataclass
class _Request:
    infos: list[_FileInfo]
    first: TarqFile                 # the file of the first selected time
    entries: list[_TimeEntry]
    levels: tuple[float, ...] | None
    vertical: str | None
    window: Window | None = None    # the part of the grid read, for every file


def _prepare(paths: PathArg, times: Any, levels: Any, vertical: str | None, region: Any = None,
             bbox: Any = None) -> _Request:
    level_values = _level_values(levels, vertical)
    infos = _scan(_resolve_paths(paths))
    entries = _select_times(_time_axis(infos), times, infos)
    if not entries:
        raise ValueError("no times selected")
    first = TarqFile(infos[entries[0].file].path)
    window = _window(first, entries[0].index, region, bbox)
    if window is not None:
        i0, i1, j0, j1 = window
        first = first.window(*window)
        infos = [dataclasses.replace(info, nx=i1 - i0, ny=j1 - j0) for info in infos]
    return _Request(infos, first, entries, level_values, vertical, window)
