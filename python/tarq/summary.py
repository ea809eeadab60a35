"""Text summaries of a model file and of the fields computed from it."""

from __future__ import annotations

import math
import os
from dataclasses import dataclass
from datetime import datetime

import numpy as np

from tarq import _tarq

# The diagnostics a forecaster looks at first, in the order they are shown.
HEADLINE = ("t2", "slp", "pw", "mlcape", "mucape", "srh1", "shear_0_6km", "stp", "scp", "maxdbz")

# The field labels of the multi-output rows, by name and alias.
FIELDS: dict[str, tuple[str, ...]] = {
    key: row["fields"] for row in _tarq._catalogue() if row["fields"] for key in (row["name"], *row["aliases"])
}
# Fields whose unit is not their row's: the heights among cape2d's energies.
_FIELD_UNITS = {"lcl": "m", "lfc": "m"}

# Map projection codes of the model's MAP_PROJ global attribute.
_PROJECTIONS = {
    0: "none (idealised case)",
    1: "Lambert conformal",
    2: "polar stereographic",
    3: "Mercator",
    6: "cylindrical equidistant (latitude-longitude)",
}

TIME_FORMAT = "%Y-%m-%d_%H:%M:%S"


@dataclass(frozen=True)
class Stats:
    minimum: float
    mean: float
    maximum: float
    nan_fraction: float


def field_stats(values: np.ndarray) -> Stats:
    finite = values[np.isfinite(values)]
    nan_fraction = 1.0 - finite.size / values.size if values.size else 1.0
    if finite.size == 0:
        return Stats(math.nan, math.nan, math.nan, nan_fraction)
    return Stats(float(finite.min()), float(finite.mean()), float(finite.max()), nan_fraction)


def format_value(x: float) -> str:
    """About four significant figures, without exponents for everyday sizes."""
    if math.isnan(x):
        return "nan"
    if x == 0.0:
        return "0"
    size = abs(x)
    if size >= 1e7 or size < 1e-3:
        return f"{x:.3e}"
    if size >= 100.0:
        return f"{x:.1f}"
    if size >= 1.0:
        return f"{x:.2f}"
    return f"{x:.4f}"


def split_components(name: str, values: np.ndarray, units: str) -> list[tuple[str, np.ndarray, str]]:
    """The fields of a result with their labels and units: one field, or one
    per component of a multi-output row (for example cape2d.lcl in m)."""
    parts = FIELDS.get(name.lower())
    if parts is not None and values.ndim >= 3 and values.shape[0] == len(parts):
        return [(f"{name}.{part}", values[i], _FIELD_UNITS.get(part, units)) for i, part in enumerate(parts)]
    if values.ndim == 4:
        return [(f"{name}[{i}]", values[i], units) for i in range(values.shape[0])]
    return [(name, values, units)]


def _time_span(times: list[str]) -> str:
    if not times:
        return "none"
    text = f"{len(times)}: {times[0]}" + (f" to {times[-1]}" if len(times) > 1 else "")
    try:
        stamps = [datetime.strptime(t, TIME_FORMAT) for t in times]
    except ValueError:
        return text
    steps = {(b - a).total_seconds() for a, b in zip(stamps, stamps[1:])}
    if len(steps) == 1:
        step = steps.pop()
        text += f", every {step / 3600:g} h" if step % 3600 == 0 else f", every {step / 60:g} min"
    return text


def _projection(attributes: dict[str, float]) -> str:
    code = attributes.get("MAP_PROJ")
    if code is None:
        return "not given in the file (no MAP_PROJ attribute)"
    code = int(code)
    details = []
    lat1, lat2 = attributes.get("TRUELAT1"), attributes.get("TRUELAT2")
    if code in (1, 2, 3) and lat1 is not None:
        lats = [lat1, lat2] if code == 1 and lat2 is not None and lat2 != lat1 else [lat1]
        details.append("true latitude" + ("s " if len(lats) > 1 else " ") + ", ".join(f"{v:g}" for v in lats))
    stand_lon = attributes.get("STAND_LON")
    if code in (1, 2) and stand_lon is not None:
        details.append(f"standard longitude {stand_lon:g}")
    name = _PROJECTIONS.get(code, f"MAP_PROJ {code}")
    return name + (f" ({'; '.join(details)})" if details else "")


def _latitude(v: float) -> str:
    return f"{abs(v):.2f}{'N' if v >= 0 else 'S'}"


def _longitude(v: float) -> str:
    return f"{abs(v):.2f}{'E' if v >= 0 else 'W'}"


def _domain(f: _tarq.TarqFile) -> str:
    try:
        lat = f.getvar("lat")
        lon = f.getvar("lon")
    except RuntimeError as e:
        return f"n/a ({e})"
    return (f"latitude {_latitude(np.nanmin(lat))} to {_latitude(np.nanmax(lat))}, "
            f"longitude {_longitude(np.nanmin(lon))} to {_longitude(np.nanmax(lon))}")


def file_times(f: _tarq.TarqFile) -> tuple[list[str] | None, str | None]:
    """The time strings, or None and the reason they cannot be read."""
    try:
        return f.times(), None
    except RuntimeError as e:
        return None, str(e)


def describe_file(f: _tarq.TarqFile) -> list[str]:
    """Lines of the file summary: path, grid, projection, domain and times."""
    size_mb = os.path.getsize(f.path) / 1e6
    times, problem = file_times(f)
    extent = f"{f.nx * f.dx / 1000:g} km x {f.ny * f.dy / 1000:g} km"
    rows = [
        ("File", f"{f.path} ({size_mb:.1f} MB)"),
        ("Grid", f"nx={f.nx} ny={f.ny} nz={f.nz}, dx={f.dx:g} m dy={f.dy:g} m ({extent})"),
        ("Projection", _projection(_tarq._numeric_attributes(f))),
        ("Domain", _domain(f)),
        ("Times", _time_span(times) if times is not None else f"n/a ({problem})"),
    ]
    return [f"{label:<11} {text}" for label, text in rows]


@dataclass(frozen=True)
class Row:
    label: str
    units: str
    stats: Stats | None = None
    problem: str | None = None


def format_table(rows: list[Row]) -> list[str]:
    """Name, units, minimum, mean and maximum; a failed row shows n/a and why."""
    name_width = max([len("variable")] + [len(r.label) for r in rows])
    units_width = max([len("units")] + [len(r.units) for r in rows])
    head = f"  {'variable':<{name_width}}  {'units':<{units_width}}  {'min':>11}  {'mean':>11}  {'max':>11}"
    lines = [head]
    for r in rows:
        start = f"  {r.label:<{name_width}}  {r.units:<{units_width}}  "
        if r.stats is None:
            lines.append(start + f"n/a ({r.problem})")
            continue
        s = r.stats
        text = "  ".join(f"{format_value(v):>11}" for v in (s.minimum, s.mean, s.maximum))
        if s.nan_fraction > 0:
            share = "all" if s.nan_fraction >= 1 else f"{max(s.nan_fraction, 0.01):.0%}"
            text += f"  ({share} NaN)"
        lines.append(start + text)
    return lines


def format_catalogue(rows: list[tuple[str, str, str]]) -> str:
    """The catalogue as a table: name, units, description."""
    header = ("name", "units", "description")
    table = [header] + [(name, units, description) for name, description, units in rows]
    widths = [max(len(row[i]) for row in table) for i in range(2)]
    lines = []
    for i, (name, units, description) in enumerate(table):
        lines.append(f"{name:<{widths[0]}}  {units:<{widths[1]}}  {description}")
        if i == 0:
            lines.append(f"{'-' * widths[0]}  {'-' * widths[1]}  {'-' * len(header[2])}")
    return "\n".join(lines)
