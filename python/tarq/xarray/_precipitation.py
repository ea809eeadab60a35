"""Precipitation over a window of hours across a sequence of model files."""

from __future__ import annotations

from typing import TYPE_CHECKING

import numpy as np

from tarq._windows import check_window, window_totals
from tarq.xarray._assemble import _data_array, _xarray
from tarq.xarray._files import PathArg, _prepare
from tarq.xarray._variables import _plan

if TYPE_CHECKING:
    import xarray as xr


def open_precipitation(paths: PathArg, hours: float = 1, kind: str = "rain") -> "xr.DataArray":
    """Precipitation over the `hours` ending at each time of a sequence of files.

    Parameters
    ----------
    paths : str, path-like or sequence of them
        The files (or glob patterns), put in time order as `open_getvar` does.
    hours : float, default 1
        The window's length, any positive number of hours (0.25 for 15 minutes).
    kind : {"rain", "snow", "graupel", "hail"}
        What is accumulated: rain is RAINC + RAINNC with their bucket
        counters, the others the grid-scale SNOWNC, GRAUPELNC and HAILNC.

    Returns
    -------
    xarray.DataArray
        (Time, south_north, west_east) in mm, with the coordinates of
        `open_getvar`: accum(t) - accum(t - hours), where the earlier time may
        lie in another file; NaN where t - hours is not a time of the sequence.

    Raises
    ------
    ValueError
        For a bad `hours` or `kind`, and where an accumulation decreases (a
        restart), naming the file and the time.
    """
    hours, row = check_window(hours, kind)
    xr = _xarray()
    request = _prepare(paths, None, None, None)
    plan = _plan(request, row, {}, need_levels=True)
    accum = _data_array(request, plan, None, xr)
    times = accum["Time"].values
    sources = [request.infos[e.file].path for e in request.entries]
    totals = window_totals(times, accum.values, hours, sources)
    label = f"{hours:g}"
    name = f"precip_{label}h" if kind == "rain" else f"{kind}_{label}h"
    attrs = dict(accum.attrs, units="mm", description=f"{kind.capitalize()} over the {label} h ending at each time")
    return accum.copy(data=totals).rename(name).assign_attrs(attrs)
