"""Labelled results over many model files, as xarray objects, eager or lazy.

    from tarq.xarray import open_getvar, open_dataset

    cape = open_getvar("run/tarqout_d01_*", "sbcape")                 # (Time, south_north, west_east)
    z500 = open_getvar(paths, "height", levels=[500], vertical="pressure", chunks={"Time": 1})
    ds = open_dataset(paths, ["slp", "uvmet10"], chunks={"Time": 1})  # lazy: Dask, one task per file time
    rain3h = open_precipitation(paths, hours=3)                       # rain over the 3 h ending at each time

Files are opened by path in the process that computes a block, so lazy results
compute on a `dask.distributed` cluster as well as on the threaded scheduler.
xarray (and Dask, for `chunks`) are imported on first use: install the
`xarray` extra.

The modules, in the order each builds on the last: `_levels` (the vertical
coordinates), `_files` (files, their times and what one call reads),
`_variables` (what a variable looks like), `_blocks` (computing one time of
one file), `_cf` (units, standard names and the grid's georeference) and
`_assemble` (the blocks as one labelled array); `_sections` gives cross
sections over the times (`open_cross_section`).
"""

from tarq.xarray._assemble import open_dataset, open_getvar
from tarq.xarray._precipitation import open_precipitation
from tarq.xarray._sections import open_cross_section

__all__ = ["open_cross_section", "open_dataset", "open_getvar", "open_precipitation"]
