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
