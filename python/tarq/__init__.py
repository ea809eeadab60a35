"""tarq: meteorological diagnostics from TARQ regional weather model output files.

Open an output file (netCDF-4 or classic netCDF) with :class:`TarqFile` and ask
:func:`getvar` for any of the catalogued diagnostics (see :func:`list_variables`)
or any stored variable; :func:`interp_levels` interpolates fields to pressure or
height levels, and :mod:`tarq.xarray` gives labelled, optionally lazy results over
many files.
"""

from tarq._tarq import InternalError, TarqFile, getvar, interp_levels, list_variables

__all__ = ["InternalError", "TarqFile", "getvar", "interp_levels", "list_variables"]
