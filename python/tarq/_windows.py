"""Precipitation over a window of hours from the run-total accumulations the
model writes: the total at a time minus the total `hours` earlier."""

from __future__ import annotations

import math
import re
from typing import Sequence

import numpy as np

# The accumulation row of each kind of precipitation.
ACCUMULATIONS = {"rain": "precip_accum", "snow": "snow_accum", "graupel": "graupel_accum", "hail": "hail_accum"}

# precip_1h, precip_3h, precip_0.25h, ...: rain over that many hours.
_WINDOW_NAME = re.compile(r"precip_(\d+(?:\.\d+)?)h", re.IGNORECASE)


def window_hours(name: str) -> float | None:
    """The hours of a window name such as "precip_3h", or None for any other name."""
    match = _WINDOW_NAME.fullmatch(name)
    if match is None:
        return None
    hours = float(match.group(1))
    return hours if hours > 0 else None


def check_window(hours: float, kind: str) -> tuple[float, str]:
    """hours as a float and the accumulation row of kind; TypeError or
    ValueError for anything but a positive finite number and a known kind."""
    if isinstance(hours, bool) or not isinstance(hours, (int, float, np.integer, np.floating)):
        raise TypeError(f"hours must be a number, not {type(hours).__name__}")
    if not (math.isfinite(hours) and hours > 0):
        raise ValueError(f"hours must be a positive number, not {hours}")
    if kind not in ACCUMULATIONS:
        raise ValueError(f"kind must be one of {', '.join(ACCUMULATIONS)}, not {kind!r}")
    return float(hours), ACCUMULATIONS[kind]


def window_totals(times: np.ndarray, accum: np.ndarray, hours: float, sources: Sequence[str]) -> np.ndarray:
    """Totals over the `hours` ending at each time.

    Parameters
    ----------
    times : numpy.ndarray
        datetime64 times of the sequence, ascending.
    accum : numpy.ndarray
        The accumulation at each time, time first.
    hours : float
        The window's length.
    sources : sequence of str
        The file each time comes from, for the error message.

    Returns
    -------
    numpy.ndarray
        accum(t) - accum(t - hours), NaN where t - hours is not a time of the sequence.

    Raises
    ------
    ValueError
        Where an accumulation decreases from one time to the next: the run was
        restarted, and no window across that time means anything.
    """
    for i in range(1, len(times)):
        if times[i] > times[i - 1] and np.any(accum[i] < accum[i - 1]):
            raise ValueError(f"{sources[i]}: the accumulated precipitation decreases at "
                             f"{np.datetime_as_string(times[i], unit='s')} (a restart?); "
                             f"windows across it cannot be computed")
    length = np.timedelta64(round(hours * 3600e9), "ns")
    out = np.full(accum.shape, np.nan)
    for i, t in enumerate(times):
        start = np.flatnonzero(times == t - length)
        if start.size:
            out[i] = accum[i] - accum[start[0]]
    return out
