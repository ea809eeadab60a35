"""Which getvar options each catalogue row reads, for the callers that refuse
an option the row would ignore (the command line and tarq.xarray). getvar
itself stays lenient."""

from __future__ import annotations

from functools import cache
from typing import Any, Iterable, Mapping

from tarq import _tarq

# The values the rows reading these options act on; getvar takes any text
# (another parcel_type lifts the surface parcel, another layer_type the fixed layer).
ACCEPTED_VALUES = {"parcel_type": ("sb", "ml", "mu"), "layer_type": ("fixed", "effective")}

# getvar keywords that are no row's option.
_NOT_ROW_OPTIONS = ("units", "timeidx")


@cache
def _options_by_name() -> dict[str, tuple[str, tuple[str, ...]]]:
    table = {}
    for row in _tarq._catalogue():
        entry = (row["name"], tuple(row["options"]))
        for name in (row["name"], *row["aliases"]):
            table[name.lower()] = entry
    return table


def row_options(name: str) -> tuple[str, tuple[str, ...]]:
    """The catalogue name and the options of the row `name` requests; a stored
    variable (any other name) reads none."""
    return _options_by_name().get(name.lower(), (name, ()))


def refusal(names: Iterable[str], options: Mapping[str, Any]) -> str | None:
    """Why `options` do not fit the rows `names` request, or None when they do:
    an option none of the rows reads, or a parcel_type or layer_type value the
    rows do not act on."""
    rows = [row_options(n) for n in names]
    for key, value in options.items():
        if key in _NOT_ROW_OPTIONS:
            continue
        readers = [row for row, keys in rows if key in keys]
        if not readers:
            which = ", ".join(row for row, _ in rows)
            return f"option {key} is not read by {which}"
        accepted = ACCEPTED_VALUES.get(key)
        if accepted is not None and value not in accepted:
            return f"option {key}={value!r} is not accepted by {', '.join(readers)} (expected {', '.join(accepted)})"
    return None
