"""One getvar request of the command line, and whose mistake a failure is.

A failure that comes from the request (an unknown name, a refused unit, a bad
option or time) is a UsageError; one that comes from the file is the result's
problem, shown in its row. Shared by the command line and its figures.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

import numpy as np

from tarq import _tarq
from tarq._windows import ACCUMULATIONS, window_hours, window_totals


class UsageError(Exception):
    """A mistake in the command line; reported in one line with status 2."""


@dataclass
class Result:
    values: np.ndarray | None
    problem: str | None = None


def _usage_error(error: RuntimeError, name: str, units: str | None) -> UsageError | None:
    """The UsageError for a getvar error that is the request's mistake, or
    None for one that comes from the file."""
    if isinstance(error, _tarq.UnknownVariableError):
        return UsageError(f"{error}; see --list")
    if isinstance(error, _tarq.UnitConversionError):
        return UsageError(f"--units {units} for {name}: {error}")
    if isinstance(error, _tarq.InvalidParameterError):
        return UsageError(f"{name}: {error}")
    return None


def describe(f: _tarq.TarqFile, name: str, units: str | None) -> tuple[str, str, str]:
    """Catalogue name (the name itself for a stored variable), units and
    description of what getvar returns for the name, computing nothing; an
    unknown name or a refused unit is a UsageError."""
    hours = window_hours(name)
    if hours is not None:
        _check_window_units(name, units)
        return name, "mm", f"Precipitation over the {hours:g} h ending at each time"
    try:
        row, description, shown_units, _, _ = _tarq._describe_variable(f, name, units)
    except RuntimeError as e:
        error = _usage_error(e, name, units)
        if error is not None:
            raise error from None
        return name, units or "", ""    # the file's problem: its row will say n/a
    return row, shown_units, description


def compute(f: _tarq.TarqFile, name: str, t: int, units: str | None, options: dict[str, Any]) -> Result:
    """One getvar call. A failure that comes from this file is the result's
    problem; one that comes from the request is a UsageError."""
    hours = window_hours(name)
    if hours is not None:
        _check_window_units(name, units)
        return _window_total(f, hours, t)
    try:
        return Result(f.getvar(name, timeidx=t, units=units, **options))
    except RuntimeError as e:
        error = _usage_error(e, name, units)
        if error is not None:
            raise error from None
        return Result(None, str(e))
    except _tarq.InternalError as e:
        return Result(None, f"internal error: {e}")


def _check_window_units(name: str, units: str | None) -> None:
    if units not in (None, "mm"):
        raise UsageError(f"--units {units} for {name}: precipitation windows are in mm")


def _window_total(f: _tarq.TarqFile, hours: float, t: int) -> Result:
    """Rain over the hours ending at time t, from this file's own times."""
    try:
        accum = np.stack([f.getvar(ACCUMULATIONS["rain"], timeidx=k) for k in range(f.nt)])
        times = np.array([np.datetime64(s.strip().replace("_", "T", 1), "ns") for s in f.times()[: f.nt]])
        return Result(window_totals(times, accum, hours, [f.path] * f.nt)[t])
    except (RuntimeError, ValueError) as e:
        return Result(None, str(e))


def at_level(values: np.ndarray, level: int | None) -> np.ndarray:
    """A 3-D field at the requested level (all levels when none is given)."""
    if values.ndim == 3 and level is not None:
        return values[min(level, values.shape[0] - 1)]
    return values
