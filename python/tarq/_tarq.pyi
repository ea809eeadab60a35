from typing import final

import numpy as np
import numpy.typing as npt

class InternalError(BaseException):
    """An internal fault of the tarq core."""

@final
class TarqFile:
    """A TARQ output file handle.

    Opens a NetCDF TARQ output file and provides access to grid metadata
    and derived diagnostic variables.
    """

    def __init__(self, path: str) -> None: ...
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
    def times(self) -> list[str]:
        """Time strings from the file."""
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
        """Compute a diagnostic variable."""

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
    """Compute a diagnostic variable from a TARQ file."""

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
