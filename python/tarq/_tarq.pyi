import os
from typing import final

import numpy as np
import numpy.typing as npt

class InternalError(BaseException):
    """An internal fault of the tarq core (a violated invariant). The interpreter and
    every TarqFile stay usable."""

class TarqError(Exception):
    """An error tarq reports about a file or a request; its text is the kind's prefix
    and the message. Each kind has a subclass."""

class FileError(TarqError, OSError, RuntimeError):
    """The file cannot be read as a model output file, or lacks what is asked of it:
    an OSError when opening, a RuntimeError from getvar and times."""

class NetCDFError(FileError):
    """The file's HDF5 or netCDF structure cannot be read: a bad signature, an unsupported
    version, a corrupt structure or a failed decompression."""

class VariableNotFoundError(FileError):
    """A variable that is needed is not stored in the file."""

class AttributeNotFoundError(FileError):
    """A global attribute that is needed is not in the file."""

class AttributeTypeError(FileError):
    """A global attribute is not numeric where a number is needed."""

class DimensionMismatchError(FileError):
    """A stored variable's shape or size does not fit."""

class UnknownVariableError(TarqError, RuntimeError):
    """The name is neither in the catalogue nor stored in the file."""

class UnitConversionError(TarqError, RuntimeError):
    """The unit cannot be parsed, or the result cannot be converted to it."""

class InvalidParameterError(TarqError, RuntimeError):
    """An argument is outside its range, such as a time index beyond the file."""

class ComputationError(TarqError, RuntimeError):
    """A diagnostic cannot produce its result."""

@final
class TarqFile:
    """A TARQ output file handle.

    Opens a NetCDF TARQ output file and provides access to grid metadata
    and derived diagnostic variables.
    """

    def __init__(self, path: str | bytes | os.PathLike[str] | os.PathLike[bytes]) -> None: ...
    def window(self, i0: int, i1: int, j0: int, j1: int) -> TarqFile:
        """A TarqFile over the mass points ``[j0:j1, i0:i1]`` of this one (0-based,
        end-exclusive, ``i`` west-east), sharing its reader; raises ValueError for an
        empty window or one outside the grid."""
    @property
    def nx(self) -> int:
        """Number of grid points in the x (west-east) direction."""
    @property
    def ny(self) -> int:
        """Number of grid points in the y (south-north) direction."""
    @property
    def nz(self) -> int:
        """Number of vertical levels."""
    @property
    def nt(self) -> int:
        """Number of time steps."""
    @property
    def dx(self) -> float:
        """Grid spacing in x (meters)."""
    @property
    def dy(self) -> float:
        """Grid spacing in y (meters)."""
    @property
    def path(self) -> str:
        """File path."""
    @property
    def cache_budget(self) -> int:
        """Bytes of derived fields the file keeps for reuse. Past it, the fields of the least recently
        used time index go first. Set an int to fix it (0 keeps nothing), None for the automatic
        budget: twelve fields of the largest size cached so far."""
    @cache_budget.setter
    def cache_budget(self, value: int | None) -> None: ...
    @property
    def _cached_bytes(self) -> int:
        """Bytes of derived fields held now (testing)."""
    def times(self) -> list[str]:
        """Time strings from the file."""
    def __reduce__(self) -> tuple[object, tuple[object, ...]]:
        """Pickles the file as its path: unpickling reopens it, and raises OSError if it
        changed or vanished."""
    def getvar(
        self,
        name: str,
        timeidx: int | None = None,
        units: str | None = None,
        parcel_type: str | None = None,
        storm_motion: tuple[float, float] | None = None,
        top_m: float | None = None,
        bottom_m: float | None = None,
        depth_m: float | None = None,
        parcel_pressure: float | None = None,
        parcel_temperature: float | None = None,
        parcel_dewpoint: float | None = None,
        bottom_p: float | None = None,
        top_p: float | None = None,
        layer_type: str | None = None,
        use_virtual: bool | np.bool_ | None = None,
        lake_interp: float | None = None,
    ) -> npt.NDArray[np.float64]:
        """Compute a diagnostic variable.

        Arguments (None is the same as leaving an argument out):
        name: a catalogue name or alias (see `list_variables`; case-insensitive),
            or the name of a variable stored in the file.
        timeidx: time index, 0 when None.
        units: unit of the result, e.g. "degC", "hPa", "kt", "km", "g/kg"; every
            row reads it. A unit the result cannot be converted to is refused; a
            stored variable is converted from the unit known for its name, and its
            own unit string (e.g. "W/m2" for LH) returns it as stored.
        parcel_type: "sb" (surface-based), "ml" (mixed layer, lowest 100 hPa) or
            "mu" (most unstable, lowest 300 hPa). Read by cape, cin, lcl, lfc, el
            (default "sb") and cape2d (default "ml").
        storm_motion: (u, v) in m/s, earth-relative, replacing the Bunkers
            right-mover. Read by srh, srh1, srh3, effective_srh, stp_effective and
            stp with layer_type "effective".
        top_m: top of a layer in m AGL. Read by the CAPE family except el and
            cape3d (a cap on the parcel's ascent; no cap by default), bulk_shear and
            mean_wind (default 6000), lapse_rate (default 3000) and uhel (default
            5000).
        bottom_m: bottom of a layer in m AGL. Read by bulk_shear, mean_wind and
            lapse_rate (default 0) and uhel (default 2000).
        depth_m: layer depth in m AGL. Read by srh (default 3000) and ehi
            (default 1000).
        parcel_pressure: start pressure of a custom parcel in hPa.
        parcel_temperature: its temperature in degC.
        parcel_dewpoint: its dewpoint in degC. cape and cin lift this parcel when
            all three are given.
        bottom_p: bottom of a pressure layer in hPa (default 700). Read by
            lapse_rate.
        top_p: top of a pressure layer in hPa (default 500). Read by lapse_rate.
        layer_type: "fixed" (default) or "effective", exactly; read by stp.
        use_virtual: use virtual temperature (default False). Read by lapse_rate,
            lapse_rate_0_3km, lapse_rate_700_500 and ship.
        lake_interp: largest lake area in km2 whose 2-m temperature and humidity
            are filled from the surrounding land (off when None or 0). Read by the
            2-m rows (t2, tv2m, rh2m, dp2m), the CAPE family except el and cape3d,
            the composites except critical_angle, and the lapse rates.

        getvar is lenient where the command line and `tarq.xarray` are not: an
        option the row does not read is ignored, a parcel_type other than "ml"
        or "mu" (e.g. "xx") lifts the surface parcel as "sb" does, and a
        layer_type other than "effective" (e.g. "Effective") selects the fixed
        layer.
        """

def getvar(
    tarqfile: TarqFile,
    name: str,
    timeidx: int | None = None,
    units: str | None = None,
    parcel_type: str | None = None,
    storm_motion: tuple[float, float] | None = None,
    top_m: float | None = None,
    bottom_m: float | None = None,
    depth_m: float | None = None,
    parcel_pressure: float | None = None,
    parcel_temperature: float | None = None,
    parcel_dewpoint: float | None = None,
    bottom_p: float | None = None,
    top_p: float | None = None,
    layer_type: str | None = None,
    use_virtual: bool | np.bool_ | None = None,
    lake_interp: float | None = None,
) -> npt.NDArray[np.float64]:
    """Compute a diagnostic variable from a TARQ file.

    `tarqfile` is an open `TarqFile`; the other arguments are those of
    `TarqFile.getvar`."""

def list_variables() -> list[tuple[str, str, str]]:
    """List all supported variable names."""

def interp_levels(
    field: npt.ArrayLike,
    vertical: npt.ArrayLike,
    levels: npt.ArrayLike,
    *,
    log_p: bool = False,
    extrapolate: bool = False,
) -> npt.NDArray[np.float64]:
    """Interpolate a field to fixed vertical levels.

    field is [..., nz, ny, nx] with level 0 lowest; vertical is its vertical
    coordinate, [nz, ny, nx] or the shape of field, running either way in each
    column; levels is 1-D, in the unit of vertical. The result is
    [..., len(levels), ny, nx] float64. Interpolation is linear in the coordinate,
    or in its natural logarithm with log_p=True (for pressure). In each column the
    levels are scanned from the lowest: a level equal to the target gives its
    value, else the first pair bracketing it is interpolated. A target outside the
    column is NaN; with extrapolate=True it takes the value of the nearer end of
    the column (below ground, the lowest level's value). Runs over the columns in
    parallel.
    """

def _describe_variable(
    tarqfile: TarqFile, name: str, units: str | None = None
) -> tuple[str, str, str, bool, tuple[int, ...]]: ...
def _numeric_attributes(tarqfile: TarqFile) -> dict[str, float]: ...
def _reopen(path: str, nx: int, ny: int, nz: int, nt: int, size: int, mtime: int,
            window: tuple[int, int, int, int]) -> TarqFile:
    """A pickled TarqFile, reopened (pickle's hook)."""
def _catalogue() -> tuple[dict[str, object], ...]:
    """Every catalogue row in order: name, aliases, description, units, is_3d,
    fields (labels of a multi-field row's fields; empty for one field) and
    options (keyword -> default, None where it has none fixed)."""
