"""Field-aware vertical interpolation of model-level fields, with the values
between the ground and the lowest model level and, on request, below ground.

The column kernel works on flattened columns ``[nz, ncol]`` so that cross
sections and soundings interpolate only the columns they need.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

import numpy as np
import numpy.typing as npt

from tarq._tarq import TarqFile, _describe_variable

# Below-ground scheme of Trenberth, Berry and Buja (1993), as the ECMWF
# post-processing uses it, without its further geopotential adjustments for
# very cold and very warm surfaces.
LAPSE_RATE_K_PER_M = 0.0065      # standard atmosphere lapse rate Γ
RD_J_PER_KG_K = 287.04           # gas constant of dry air
GRAVITY_M_PER_S2 = 9.80665       # as geopotential is turned into height
FLAT_TERRAIN_M = 2000.0          # below this the lapse rate is Γ
HIGH_TERRAIN_M = 2500.0          # above this the sea-level temperature is capped
MAX_SEA_LEVEL_T_K = 298.0        # the cap on the sea-level temperature
THETA_EXPONENT = 0.2857142857    # R/cp of the theta row
THETA_REFERENCE_HPA = 1000.0

# Vertical coordinate -> (row computed for it, unit requested, interpolate in ln).
VERTICALS: dict[str, tuple[str, str | None, bool]] = {
    "pressure": ("pressure", "hPa", True),
    "height": ("height", None, False),
    "height_agl": ("height_agl", None, False),
    "theta": ("theta", None, False),
    "theta_e": ("theta_e", None, False),
}

# Rows whose values below level 0 follow the atmosphere rather than hold their
# level-0 value, by kind.
_TEMPERATURE_ROWS = {"temp": 0.0, "tc": -273.15}   # offset from K
_HEIGHT_ROWS = {"height", "height_agl", "geopt"}


def interp_columns(field: np.ndarray, coord: np.ndarray, targets: np.ndarray, *, log: bool = False) -> np.ndarray:
    """Interpolate columns to target values of their coordinate.

    field, coord  [nz, ncol], level 0 lowest;
    targets       [nlev, ncol].
    Returns [nlev, ncol]. Each column is scanned from level 0 up: the first
    level equal to the target gives its value exactly, else the first pair of
    levels bracketing the target is interpolated linearly in the coordinate
    (in its logarithm with log=True). NaN where the column never reaches the
    target, so a non-monotonic coordinate gives its first crossing.
    """
    nz, ncol = coord.shape
    cols = np.arange(ncol)
    axis = np.log(coord) if log else coord
    out = np.full(targets.shape, np.nan)
    flags = np.empty((2 * nz - 1, ncol), dtype=bool)
    for lev, t in enumerate(targets):
        lo, hi = coord[:-1], coord[1:]
        flags[0::2] = coord == t
        flags[1::2] = ((lo < t) & (t < hi)) | ((hi < t) & (t < lo))
        pos = np.argmax(flags, axis=0)
        found = flags[pos, cols]
        k = pos // 2
        k1 = np.minimum(k + 1, nz - 1)
        v0, v1 = field[k, cols], field[k1, cols]
        a0, a1 = axis[k, cols], axis[k1, cols]
        ta = np.log(t) if log else t
        with np.errstate(invalid="ignore", divide="ignore"):
            w = np.where(pos % 2 == 0, 0.0, (ta - a0) / (a1 - a0))
            value = np.where(w == 0.0, v0, v0 + w * (v1 - v0))
        out[lev] = np.where(found, value, np.nan)
    return out


def surface_temperature_k(t0_k: np.ndarray, p0: np.ndarray, psfc: np.ndarray) -> np.ndarray:
    """T* = T0 + Γ (Rd/g) T0 (psfc/p0 - 1), the surface temperature from the
    lowest model level (Trenberth, Berry and Buja 1993)."""
    return t0_k + LAPSE_RATE_K_PER_M * (RD_J_PER_KG_K / GRAVITY_M_PER_S2) * t0_k * (psfc / p0 - 1.0)


def temperature_lapse_rate(t_star_k: np.ndarray, zs_m: np.ndarray) -> np.ndarray:
    """Γt: Γ over terrain below 2000 m; above, the rate that brings T* to a
    sea-level temperature capped at 298 K (fully above 2500 m, blended between)."""
    t1 = t_star_k + LAPSE_RATE_K_PER_M * zs_m
    capped = np.minimum(t1, MAX_SEA_LEVEL_T_K)
    blend = t1 + (capped - t1) * (zs_m - FLAT_TERRAIN_M) / (HIGH_TERRAIN_M - FLAT_TERRAIN_M)
    t0_prime = np.where(zs_m > HIGH_TERRAIN_M, capped, blend)
    with np.errstate(invalid="ignore", divide="ignore"):
        steep = np.maximum(t0_prime - t_star_k, 0.0) / zs_m
    return np.where(zs_m < FLAT_TERRAIN_M, LAPSE_RATE_K_PER_M, steep)


def temperature_below_p(t_star_k, gamma_t, p, psfc):
    """T = T* (1 + y + y²/2 + y³/6), y = Γt (Rd/g) ln(p/psfc), for p > psfc."""
    y = gamma_t * (RD_J_PER_KG_K / GRAVITY_M_PER_S2) * np.log(p / psfc)
    return t_star_k * (1.0 + y + y * y / 2.0 + y ** 3 / 6.0)


def height_below_p(t_star_k, zs_m, p, psfc):
    """z = zs - (Rd/g) T* ln(p/psfc) (1 + y'/2 + y'²/6), y' = Γ (Rd/g) ln(p/psfc)."""
    lnp = np.log(p / psfc)
    y = LAPSE_RATE_K_PER_M * (RD_J_PER_KG_K / GRAVITY_M_PER_S2) * lnp
    return zs_m - (RD_J_PER_KG_K / GRAVITY_M_PER_S2) * t_star_k * lnp * (1.0 + y / 2.0 + y * y / 6.0)


def temperature_below_z(t_star_k, gamma_t, z_m, zs_m):
    """T = T* + Γt (zs - z), for z < zs."""
    return t_star_k + gamma_t * (zs_m - z_m)


def pressure_below_z(t_star_k, gamma_t, z_m, zs_m, psfc):
    """p = psfc (1 + Γt (zs - z)/T*)^(g/(Rd Γt)), or psfc exp(g (zs - z)/(Rd T*)) where Γt = 0."""
    dz = zs_m - z_m
    with np.errstate(invalid="ignore", divide="ignore"):
        power = psfc * (1.0 + gamma_t * dz / t_star_k) ** (GRAVITY_M_PER_S2 / (RD_J_PER_KG_K * gamma_t))
    flat = psfc * np.exp(GRAVITY_M_PER_S2 * dz / (RD_J_PER_KG_K * t_star_k))
    return np.where(gamma_t == 0.0, flat, power)


def theta_k(t_k, p_hpa):
    """Potential temperature with the theta row's exponent."""
    return t_k * (THETA_REFERENCE_HPA / p_hpa) ** THETA_EXPONENT


@dataclass
class Columns:
    """What the vertical scheme needs of a set of columns, [nz, ncol] or [ncol]:
    the coordinate, and at level 0 and the surface pressure (hPa), height (m
    above sea level) and temperature (K). Surface fields are None in a file
    without PSFC or HGT."""

    coord: np.ndarray
    p0_hpa: np.ndarray
    z0_m: np.ndarray
    t0_k: np.ndarray
    psfc_hpa: np.ndarray | None
    zs_m: np.ndarray | None
    missing: str | None = None   # the surface field the file lacks


def _kind(row: str) -> str:
    if row in _TEMPERATURE_ROWS or row == "theta":
        return "temperature"
    if row in _HEIGHT_ROWS or row == "pressure":
        return row
    return "other"


def _row_values(row: str, t_k, p_hpa, z_m, zs_m, fallback):
    """A special row's value from temperature, pressure and height (native units)."""
    if row in _TEMPERATURE_ROWS:
        return t_k + _TEMPERATURE_ROWS[row]
    if row == "theta":
        return theta_k(t_k, p_hpa)
    if row == "height":
        return z_m
    if row == "height_agl":
        return z_m - zs_m
    if row == "geopt":
        return GRAVITY_M_PER_S2 * z_m
    if row == "pressure":
        return p_hpa * 100.0
    return fallback


def interp_field(row: str, field: np.ndarray, cols: Columns, vertical: str, targets: np.ndarray,
                 extrapolate: bool) -> np.ndarray:
    """One field [nz, ncol] of the row named row (native units) to targets
    [nlev, ncol] of the coordinate vertical, with the values between the
    surface and level 0 and, with extrapolate, outside the column."""
    log = VERTICALS[vertical][2]
    out = interp_columns(field, cols.coord, targets, log=log)
    if vertical in ("theta", "theta_e"):
        return out
    top = cols.coord[-1]
    above = targets < top if vertical == "pressure" else targets > top
    if extrapolate:
        out = np.where(above & np.isnan(out), field[-1], out)
    if cols.psfc_hpa is None or cols.zs_m is None:
        if extrapolate:
            raise _missing_error(cols.missing)
        return out
    psfc, zs = cols.psfc_hpa, cols.zs_m
    t_star = surface_temperature_k(cols.t0_k, cols.p0_hpa, psfc)
    v0 = field[0]
    surface = _row_values(row, t_star, psfc, zs, zs, v0)
    c0 = cols.coord[0]
    if vertical == "pressure":
        between = (targets <= psfc) & (targets > c0)
        below = targets > psfc
        with np.errstate(invalid="ignore", divide="ignore"):
            w = np.log(targets / c0) / np.log(psfc / c0)
    else:
        ground = zs if vertical == "height" else 0.0
        between = (targets >= ground) & (targets < c0)
        below = targets < ground
        with np.errstate(invalid="ignore", divide="ignore"):
            w = (targets - c0) / (ground - c0)
    blend = v0 + w * (surface - v0)
    if row == "theta":
        # theta of the blended temperature and pressure, not a blend of thetas
        t_blend = cols.t0_k + w * (t_star - cols.t0_k)
        p_blend = targets if vertical == "pressure" else cols.p0_hpa + w * (psfc - cols.p0_hpa)
        blend = theta_k(t_blend, p_blend)
    out = np.where(between, blend, out)
    if not extrapolate:
        return out
    gamma_t = temperature_lapse_rate(t_star, zs)
    with np.errstate(invalid="ignore", divide="ignore"):
        if vertical == "pressure":
            p = targets
            t = temperature_below_p(t_star, gamma_t, p, psfc)
            z = height_below_p(t_star, zs, p, psfc)
        else:
            z = targets if vertical == "height" else zs + targets
            t = temperature_below_z(t_star, gamma_t, z, zs)
            p = pressure_below_z(t_star, gamma_t, z, zs, psfc)
        deep = _row_values(row, t, p, z, zs, v0)
    return np.where(below, deep, out)


def _missing_error(name: str | None) -> Exception:
    from tarq._tarq import VariableNotFoundError
    return VariableNotFoundError(f"extrapolation below level 0 needs the surface field {name}, which the file lacks")


def read_columns(f: TarqFile, vertical: str, timeidx: int, flat: slice | np.ndarray = slice(None)) -> Columns:
    """The coordinate and level-0/surface fields of the columns flat (indexes
    into the flattened [ny*nx] grid) at one time."""
    from tarq._tarq import UnknownVariableError, VariableNotFoundError
    row, units, _ = VERTICALS[vertical]

    def grid(name, units=None):
        a = np.asarray(f.getvar(name, timeidx, units=units), dtype=np.float64)
        return a.reshape(a.shape[:-2] + (-1,))[..., flat]

    coord = grid(row, units)
    p = grid("pressure", "hPa")
    surface = {}
    missing = None
    for field in ("PSFC", "HGT"):
        try:
            surface[field] = grid(field)
        except (VariableNotFoundError, UnknownVariableError):  # a raw name not stored is unknown
            missing = missing or field
    psfc = surface["PSFC"] / 100.0 if "PSFC" in surface else None
    return Columns(coord, p[0], grid("height")[0], grid("temp")[0], psfc, surface.get("HGT"), missing)


def _targets(levels: Any, ny: int, nx: int) -> tuple[np.ndarray, tuple[int, ...]]:
    """Levels as [nlev, ny*nx] targets and the result's leading shape."""
    lev = np.asarray(levels, dtype=np.float64)
    if lev.ndim == 1 and lev.size > 0:
        return np.repeat(lev[:, None], ny * nx, axis=1), (lev.size,)
    if lev.ndim == 0:
        lev = lev[None]
        return np.repeat(lev[:, None], ny * nx, axis=1), ()
    if lev.ndim in (2, 3) and lev.shape[-2:] == (ny, nx):
        lead = lev.shape[:-2]
        return lev.reshape(-1, ny * nx), lead
    raise ValueError(f"levels must be a non-empty sequence, a surface [{ny}, {nx}] or surfaces [nlev, {ny}, {nx}], "
                     f"not shape {lev.shape}")


def _native_row(f: TarqFile, name: str, options: dict[str, Any]) -> str:
    return _describe_variable(f, name, options.get("units"))[0]


def vinterp(f: TarqFile, name: str, vertical: str, levels: npt.ArrayLike, *, timeidx: int = 0,
            extrapolate: bool = False, **options: Any) -> npt.NDArray[np.float64]:
    """Interpolate a variable on model levels to levels of a vertical coordinate.

    Parameters
    ----------
    f : TarqFile
    name : str
        Any 3-D catalogue row; multi-field rows (such as ``uvmet``) field by field.
    vertical : {"pressure", "height", "height_agl", "theta", "theta_e"}
        The coordinate: hPa (interpolated linearly in ln p), m above sea level,
        m above ground, K, K (linearly in the coordinate).
    levels : array_like
        A sequence (result ``[nlev, ny, nx]``), one surface ``[ny, nx]`` (or a
        scalar; result ``[ny, nx]``) or surfaces ``[nlev, ny, nx]``.
    timeidx : int
    extrapolate : bool
        Fill outside the column: above the top with the top level's value,
        below the surface with the scheme below. Never for theta and theta_e.
    **options
        getvar's options for the variable (units, ...).

    Returns
    -------
    numpy.ndarray
        float64; a leading field axis for multi-field rows.

    Notes
    -----
    Each column is scanned from the ground up: a level equal to a model level
    gives that level's value exactly, else the first bracketing pair is
    interpolated (for theta and theta_e, the first crossing; NaN where none).

    Between the surface and the lowest model level (level 0: pressure p0,
    temperature T0) the column is above ground and is never NaN: values are
    linear in ln p (or in z) between level 0 and the surface value, which for
    temperature is T* = T0 + Γ (Rd/g) T0 (psfc/p0 - 1), for heights the terrain
    height zs and for pressure psfc; theta there is that of the blended
    temperature and pressure; every other row holds its level-0 value.

    Below the surface, with ``extrapolate=True``, the scheme is adapted from
    Trenberth, Berry and Buja (1993), "Vertical interpolation and truncation
    of model-coordinate data", NCAR/TN-396+STR (without its geopotential
    adjustments for very cold and very warm surfaces), with Γ = 0.0065 K/m,
    Rd = 287.04 J/(kg K), g = 9.80665 m/s²:

    - Γt = Γ where zs < 2000 m; else T1 = T* + Γ zs, T0' = min(T1, 298 K)
      above 2500 m and T1 + (min(T1, 298) - T1)(zs - 2000)/500 between, and
      Γt = max(T0' - T*, 0)/zs;
    - at a pressure p > psfc: T = T* (1 + y + y²/2 + y³/6), y = Γt (Rd/g) ln(p/psfc),
      z = zs - (Rd/g) T* ln(p/psfc) (1 + y'/2 + y'²/6), y' = Γ (Rd/g) ln(p/psfc);
    - at a height z < zs: T = T* + Γt (zs - z), p = psfc (1 + Γt (zs - z)/T*)^(g/(Rd Γt))
      (psfc exp(g (zs - z)/(Rd T*)) where Γt = 0).

    Temperature rows (``temp``, ``tc``, and ``theta`` with exponent
    0.2857142857), height rows (``height``, ``height_agl``, ``geopt``) and
    ``pressure`` follow these; every other row holds its level-0 value. A file
    without PSFC or HGT gives NaN below level 0, and with ``extrapolate=True``
    an error naming the missing field.
    """
    if vertical not in VERTICALS:
        raise ValueError(f"vertical must be one of {', '.join(map(repr, VERTICALS))}, not {vertical!r}")
    ny, nx = f.ny, f.nx
    targets, lead = _targets(levels, ny, nx)
    out, shape = interp_subset(f, name, vertical, targets, timeidx=timeidx, extrapolate=extrapolate,
                               options=options)
    return out.reshape(shape[:-3] + lead + (ny, nx))


def interp_subset(f: TarqFile, name: str, vertical: str, targets: np.ndarray, *, timeidx: int, extrapolate: bool,
                  options: dict[str, Any], flat: slice | np.ndarray = slice(None)) -> tuple[np.ndarray, tuple]:
    """vinterp of the columns flat (indexes into the flattened grid) to
    targets [nlev, ncol]: [nfield, nlev, ncol] and the variable's full shape."""
    if vertical not in VERTICALS:
        raise ValueError(f"vertical must be one of {', '.join(map(repr, VERTICALS))}, not {vertical!r}")
    units = options.get("units")
    row = _native_row(f, name, options)
    special = _kind(row) != "other"
    native = {k: v for k, v in options.items() if k != "units"} if special else options
    data = np.asarray(f.getvar(name, timeidx, **native), dtype=np.float64)
    if data.ndim < 3 or data.shape[-3] != f.nz:
        raise ValueError(f"{name} is not on model levels: shape {data.shape}")
    cols = read_columns(f, vertical, timeidx, flat)
    fields = data.reshape((-1, f.nz, f.ny * f.nx))[..., flat]
    out = np.stack([interp_field(row, fld, cols, vertical, targets, extrapolate) for fld in fields])
    if special and units is not None:
        requested = np.asarray(f.getvar(name, timeidx, **options), dtype=np.float64)
        out = _convert_like(out, data, requested)
    return out, data.shape


def _convert_like(values: np.ndarray, native: np.ndarray, requested: np.ndarray) -> np.ndarray:
    """values in native units converted as getvar converted native into
    requested: units are affine, so two distinct values fix the map."""
    n, r = native.ravel(), requested.ravel()
    ok = np.isfinite(n) & np.isfinite(r)
    n, r = n[ok], r[ok]
    lo, hi = np.argmin(n), np.argmax(n)
    scale = 1.0 if n[hi] == n[lo] else (r[hi] - r[lo]) / (n[hi] - n[lo])
    return r[lo] + scale * (values - n[lo])
