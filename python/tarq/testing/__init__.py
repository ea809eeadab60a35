"""Test support: small model output files built from soundings.

Used by the test suite, the benchmarks, the sample-file writer and the fuzz
seed writer. Writing files needs the test extras (netCDF4, and h5py for the
functions that edit HDF5 bytes); they are imported only when a file is
written, so ``import tarq.testing`` works with NumPy alone.
"""

from .columns import one_column_file
from .model_file import (
    HYDROMETEORS,
    PACKED_FILL,
    STATIC_FIELDS,
    ModelFile,
    build_model_file,
    dims_for,
    read_unpacked,
    shrink_contiguous_storage,
    write_netcdf,
)
from .projections import PROJECTIONS, grid_lat_lon, proj4_string
from .soundings import (
    EPS,
    G,
    KAPPA,
    P0_PA,
    RD,
    REFERENCE_IN_SHARED,
    Sounding,
    dewpoint_from_vapor_pressure,
    mixing_ratio_from_dewpoint,
    oax_sounding,
    reference_sounding_path,
    standard_sounding,
    vapor_pressure_hpa,
    weisman_klemp_sounding,
)

__all__ = [
    "EPS", "G", "HYDROMETEORS", "KAPPA", "P0_PA", "PACKED_FILL", "PROJECTIONS", "RD", "REFERENCE_IN_SHARED", "STATIC_FIELDS",
    "ModelFile", "Sounding", "build_model_file", "dewpoint_from_vapor_pressure", "dims_for", "grid_lat_lon",
    "mixing_ratio_from_dewpoint", "oax_sounding", "one_column_file", "proj4_string", "read_unpacked", "reference_sounding_path",
    "shrink_contiguous_storage", "standard_sounding", "vapor_pressure_hpa", "weisman_klemp_sounding",
    "write_netcdf",
]
