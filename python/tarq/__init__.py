"""tarq: meteorological diagnostics from TARQ regional weather model output files.

Open a netCDF-4 output file with :class:`TarqFile` and ask :func:`getvar` for any
of the catalogued diagnostics (see :func:`list_variables`) or any stored variable;
:func:`interp_levels` interpolates fields to pressure or height levels,
:func:`vinterp` does so field by field (with the values below the lowest model
level), :func:`cross_section`, :func:`line` and :func:`sounding` sample
fields between grid columns, and
:mod:`tarq.xarray` gives labelled, optionally lazy results over many files.
:func:`projection` gives a file's map projection (pyproj, CF, cartopy) and
:func:`ll_to_ij`/:func:`ij_to_ll` convert between latitude/longitude and grid
indices; :func:`sample_path` gives a small model output file shipped with the package, and
``python -m tarq`` summarises any file (see ``python -m tarq --help``).

Errors the core reports are :class:`TarqError` subclasses, one per kind (for
example :class:`UnknownVariableError`); those about the file itself derive from
:class:`FileError`, which is both an ``OSError`` and a ``RuntimeError``.
"""

from pathlib import Path

from tarq._tarq import (AttributeNotFoundError, AttributeTypeError, ComputationError, DimensionMismatchError,
                        FileError, InternalError, InvalidParameterError, NetCDFError, TarqError, TarqFile,
                        UnitConversionError, UnknownVariableError, VariableNotFoundError, getvar, interp_levels,
                        list_variables)
from tarq.geometry import Projection, ij_to_ll, ll_to_ij, projection
from tarq.sections import cross_section, line, sounding
from tarq.vertical import vinterp

__all__ = [
    "TarqFile", "getvar", "interp_levels", "list_variables", "sample_path",
    "Projection", "projection", "ll_to_ij", "ij_to_ll",
    "vinterp", "cross_section", "line", "sounding",
    "InternalError", "TarqError", "FileError", "NetCDFError", "VariableNotFoundError", "AttributeNotFoundError",
    "AttributeTypeError", "DimensionMismatchError", "UnknownVariableError", "UnitConversionError",
    "InvalidParameterError", "ComputationError",
]


def sample_path() -> Path:
    """Path of the sample model output file shipped with tarq: 60 x 60 points
    at 3 km, 40 levels and 3 hourly times of a synthetic severe-weather day (a
    dry line, a veering low-level jet, a lake and three supercells)."""
    return Path(__file__).resolve().parent / "data" / "sample.nc"
