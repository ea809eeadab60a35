"""Vertical soundings the test files are built from: a simple standard
atmosphere, the analytic sounding of Weisman and Klemp (1982), and the
observed Omaha sounding of 2014-06-16 19 UTC, which is kept beside the
repository (not in it) and read when present."""

from __future__ import annotations

import csv
import math
from dataclasses import dataclass
from pathlib import Path

import numpy as np

G = 9.80665          # m s-2; the reader divides geopotential by this value
RD = 287.058         # J kg-1 K-1
EPS = 0.622          # ratio of gas constants, vapour pressure <-> mixing ratio
KAPPA = 0.2857142857 # Poisson exponent the reader uses for theta -> T
P0_PA = 100000.0

# The observed reference sounding's file, relative to a folder at or above
# the checkout: ../shared/meteo_ref beside the repository, or the nearest one
# above a checkout nested deeper (a clone inside a work directory).
REFERENCE_IN_SHARED = Path("shared", "meteo_ref", "sharppy_oax_2014061619.csv")


def vapor_pressure_hpa(t_c: np.ndarray) -> np.ndarray:
    """Saturation vapour pressure over water, Bolton (1980) eq. 10."""
    return 6.112 * np.exp(17.67 * t_c / (t_c + 243.5))


def mixing_ratio_from_dewpoint(p_hpa: np.ndarray, td_c: np.ndarray) -> np.ndarray:
    e = vapor_pressure_hpa(td_c)
    return EPS * e / (p_hpa - e)


def dewpoint_from_vapor_pressure(e_hpa: np.ndarray) -> np.ndarray:
    ln = np.log(e_hpa / 6.112)
    return 243.5 * ln / (17.67 - ln)


@dataclass
class Sounding:
    """One vertical profile, surface first (pressure decreasing upward).

    Winds are earth-relative. z_m is recomputed hydrostatically from the
    temperature and moisture, anchored at the first level's height.
    """

    p_hpa: np.ndarray
    t_c: np.ndarray
    td_c: np.ndarray
    u_ms: np.ndarray
    v_ms: np.ndarray
    z_m: np.ndarray

    @classmethod
    def from_levels(cls, p_hpa, t_c, td_c, u_ms, v_ms, z_base_m: float = 0.0) -> "Sounding":
        p, t, td = (np.asarray(a, dtype=np.float64) for a in (p_hpa, t_c, td_c))
        tv_k = (t + 273.15) * (1.0 + 0.61 * mixing_ratio_from_dewpoint(p, td))
        layer_tv = 0.5 * (tv_k[1:] + tv_k[:-1])
        dz = RD * layer_tv / G * np.log(p[:-1] / p[1:])
        z = z_base_m + np.concatenate([[0.0], np.cumsum(dz)])
        return cls(p, t, td, np.asarray(u_ms, np.float64), np.asarray(v_ms, np.float64), z)

    def at_pressure(self, p_hpa: np.ndarray) -> tuple[np.ndarray, np.ndarray, np.ndarray, np.ndarray]:
        """Temperature, dewpoint and winds, linear in ln p."""
        x = -np.log(self.p_hpa)
        xi = -np.log(p_hpa)
        return tuple(np.interp(xi, x, a) for a in (self.t_c, self.td_c, self.u_ms, self.v_ms))

    def pressure_at_height(self, z_m: np.ndarray) -> np.ndarray:
        """Pressure at heights MSL, ln p linear in z (extrapolated below the base)."""
        lnp = np.log(self.p_hpa)
        z = np.asarray(z_m, dtype=np.float64)
        inside = np.interp(z, self.z_m, lnp)
        slope = (lnp[1] - lnp[0]) / (self.z_m[1] - self.z_m[0])
        below = lnp[0] + slope * (z - self.z_m[0])
        return np.exp(np.where(z < self.z_m[0], below, inside))

    def winds_at_height(self, z_m: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
        return np.interp(z_m, self.z_m, self.u_ms), np.interp(z_m, self.z_m, self.v_ms)


def standard_sounding(
    t_sfc_c: float = 25.0,
    p_sfc_hpa: float = 1000.0,
    lapse_k_per_km: float = 6.5,
    tropopause_m: float = 11000.0,
    rh_sfc: float = 0.8,
    rh_top: float = 0.2,
    top_m: float = 26000.0,
) -> Sounding:
    """Constant lapse rate to the tropopause, isothermal above; relative
    humidity falling linearly from rh_sfc at the ground to rh_top at the
    tropopause. Winds veer and strengthen: u = 2 + 2 z_km (to 10 km),
    v = 6 sin(pi z_km / 6) below 3 km and 6 above."""
    z = np.arange(0.0, top_m + 1.0, 100.0)
    t_c = t_sfc_c - lapse_k_per_km * np.minimum(z, tropopause_m) / 1000.0
    rh = np.clip(rh_sfc + (rh_top - rh_sfc) * z / tropopause_m, rh_top, rh_sfc)
    td_c = dewpoint_from_vapor_pressure(rh * vapor_pressure_hpa(t_c))
    # Integrate pressure upward with the virtual temperature of each 100 m layer.
    p = np.empty_like(z)
    p[0] = p_sfc_hpa
    for k in range(1, z.size):
        tv = [(t_c[i] + 273.15) * (1.0 + 0.61 * mixing_ratio_from_dewpoint(p[k - 1], td_c[i])) for i in (k - 1, k)]
        p[k] = p[k - 1] * math.exp(-G * (z[k] - z[k - 1]) / (RD * 0.5 * (tv[0] + tv[1])))
    z_km = z / 1000.0
    u = 2.0 + 2.0 * np.minimum(z_km, 10.0)
    v = np.where(z_km < 3.0, 6.0 * np.sin(np.pi * z_km / 6.0), 6.0)
    return Sounding.from_levels(p, t_c, td_c, u, v, z_base_m=0.0)


def reference_sounding_path(checkout: str | Path) -> Path:
    """Where the observed reference sounding of a checkout is looked for.

    Parameters
    ----------
    checkout : str or path-like
        The repository's root folder.

    Returns
    -------
    Path
        The nearest ``shared/meteo_ref/sharppy_oax_2014061619.csv`` in a folder
        above `checkout` that holds one; where none does, the one beside the
        checkout (``checkout/../shared/meteo_ref/...``), which then does not exist.
    """
    candidates = [folder / REFERENCE_IN_SHARED for folder in Path(checkout).resolve().parents]
    return next((path for path in candidates if path.is_file()), candidates[0])


def oax_sounding(csv_path: str | Path) -> Sounding:
    """The observed Omaha sounding of 2014-06-16 19 UTC (surface 965 hPa, 350 m).

    Parameters
    ----------
    csv_path : str or path-like
        The sounding's file (see `reference_sounding_path`): one row a level,
        with columns pressure_hPa, height_m_msl, temperature_C, dewpoint_C,
        u_ms and v_ms.

    Returns
    -------
    Sounding
        The levels with a temperature and a dewpoint; missing winds are
        interpolated in ln p.
    """
    rows = []
    with open(csv_path, newline="") as f:
        for r in csv.DictReader(f):
            if r["temperature_C"] and r["dewpoint_C"]:
                rows.append(r)
    p = np.array([float(r["pressure_hPa"]) for r in rows])
    wind = [(float(r["u_ms"]), float(r["v_ms"])) if r["u_ms"] else (math.nan, math.nan) for r in rows]
    u, v = (np.array([w[i] for w in wind]) for i in (0, 1))
    known = ~np.isnan(u)
    lnp = -np.log(p)
    u = np.interp(lnp, lnp[known], u[known])
    v = np.interp(lnp, lnp[known], v[known])
    return Sounding.from_levels(
        p,
        [float(r["temperature_C"]) for r in rows],
        [float(r["dewpoint_C"]) for r in rows],
        u,
        v,
        z_base_m=float(rows[0]["height_m_msl"]),
    )


def weisman_klemp_sounding(qv_max_kg_kg: float = 0.014, shear_ms: float = 20.0, top_m: float = 20000.0,
                           step_m: float = 50.0, p_sfc_hpa: float = 1000.0) -> Sounding:
    """The analytic sounding of Weisman and Klemp (1982, Mon. Wea. Rev. 110, 504).

    Potential temperature rises from 300 K at the ground as z**1.25 to 343 K
    at the 12 km tropopause and is isothermal (213 K) above; relative humidity
    falls as 1 - 0.75 (z / 12 km)**1.25 to 0.25 and stays there; the mixing
    ratio is capped at `qv_max_kg_kg` (their 14 g/kg case by default), which
    makes the well-mixed moist boundary layer. Pressure follows from the
    hydrostatic Exner equation with the virtual potential temperature. The
    wind is their unidirectional shear, u = shear_ms tanh(z / 3 km), v = 0.

    Parameters
    ----------
    qv_max_kg_kg : float
        Cap of the water-vapour mixing ratio, kg/kg.
    shear_ms : float
        Wind speed far above 3 km, m/s.
    top_m, step_m : float
        Height of the top level and spacing of the levels, m.
    p_sfc_hpa : float
        Surface pressure, hPa.

    Returns
    -------
    Sounding
        Levels every `step_m` from the ground (z = 0) to `top_m`.
    """
    theta_0, theta_tr, z_tr, t_tr = 300.0, 343.0, 12000.0, 213.0
    cp = RD / KAPPA
    z = np.arange(0.0, top_m + 0.5 * step_m, step_m)
    below = z <= z_tr
    ratio = np.minimum(z / z_tr, 1.0) ** 1.25
    theta = np.where(below, theta_0 + (theta_tr - theta_0) * ratio,
                     theta_tr * np.exp(G / (cp * t_tr) * (z - z_tr)))
    rh = np.where(below, 1.0 - 0.75 * ratio, 0.25)
    # Moisture and pressure depend on each other: a few sweeps converge.
    qv = np.zeros_like(z)
    for _ in range(6):
        theta_v = theta * (1.0 + qv / EPS) / (1.0 + qv)
        dpi = -G / cp * 0.5 * (1.0 / theta_v[1:] + 1.0 / theta_v[:-1]) * np.diff(z)
        exner = (p_sfc_hpa / 1000.0) ** KAPPA + np.concatenate([[0.0], np.cumsum(dpi)])
        p_hpa = 1000.0 * exner ** (1.0 / KAPPA)
        t_c = theta * exner - 273.15
        qv = np.minimum(rh * mixing_ratio_from_dewpoint(p_hpa, t_c), qv_max_kg_kg)
    e_hpa = qv * p_hpa / (EPS + qv)
    u = shear_ms * np.tanh(z / 3000.0)
    return Sounding.from_levels(p_hpa, t_c, dewpoint_from_vapor_pressure(e_hpa), u, np.zeros_like(z))
