"""Builds tarq's shipped sample file, python/tarq/data/sample.nc.

A 60 x 60 x 40 grid at 3 km with 3 hourly times over the southern Plains,
written with the model file builder of tarq.testing:

- a warm, moist sector in the east under a capping inversion and a steep
  mid-level lapse rate, and a hot, dry, deeply mixed airmass over the higher
  ground in the west, meeting at a sharp dry line with a bulge;
- a veering low-level jet (south-easterlies at the ground, a southerly jet near
  1 km, westerlies aloft);
- terrain rising westward with two hills, and one lake (land use 21) whose 2-m
  air is cooler and moister than the land around it;
- three precipitating supercells moving north-eastward east of the dry line,
  each with a rotating updraft, cloud water and ice, rain below the melting
  level, graupel and snow above it, and saturated air in the cloud, and the
  rain, snow, graupel and hail they have dropped since the start of the run
  (RAINC, RAINNC, SNOWNC, GRAUPELNC, HAILNC).

Values are rounded to fixed steps (1/16 K, 1/16 m/s, 4 Pa, ...) before they
are written, so that the file compresses to under 2 MB. The build is
deterministic: the same script gives the same values.

    python tools/make_sample.py [OUTPUT]     # default: python/tarq/data/sample.nc
"""

from __future__ import annotations

import math
import sys
import tempfile
from pathlib import Path

import numpy as np

from tarq.testing import G, RD, Sounding, build_model_file, mixing_ratio_from_dewpoint

ROOT = Path(__file__).resolve().parent.parent

DEFAULT_OUTPUT = ROOT / "python" / "tarq" / "data" / "sample.nc"

NX, NY, NZ, NT = 60, 60, 40, 3
DX = 3000.0
CENTER = (35.4, -98.6)
START = "2024-05-20_20:00:00"
TRUELAT1, TRUELAT2, STAND_LON = 33.0, 45.0, -98.0
LAKE_CATEGORY = 21.0


# --- soundings ----------------------------------------------------------------

def _hydrostatic_pressure(z_m: np.ndarray, t_c: np.ndarray, td_c: np.ndarray, p_sfc_hpa: float) -> np.ndarray:
    p = np.empty_like(z_m)
    p[0] = p_sfc_hpa
    for k in range(1, z_m.size):
        tv = [(t_c[i] + 273.15) * (1.0 + 0.61 * mixing_ratio_from_dewpoint(p[k - 1], td_c[i])) for i in (k - 1, k)]
        p[k] = p[k - 1] * math.exp(-G * (z_m[k] - z_m[k - 1]) / (RD * 0.5 * (tv[0] + tv[1])))
    return p


def _profile(z_km: np.ndarray, points: list[tuple[float, float]]) -> np.ndarray:
    zs, values = zip(*points)
    return np.interp(z_km, zs, values)


Z_M = np.arange(0.0, 20001.0, 100.0)
Z_KM = Z_M / 1000.0

# Moist sector: 30.5 degC at sea level, a 1 K capping inversion near 1.3 km and
# an elevated mixed layer (8 K/km) above it, 6.5 K/km to a 12 km tropopause.
MOIST_T = _profile(Z_KM, [(0.0, 30.5), (1.1, 20.5), (1.4, 21.5), (6.0, -15.3), (12.0, -55.3), (20.0, -55.3)])
MOIST_TD = np.minimum(MOIST_T, _profile(Z_KM, [(0.0, 22.0), (1.1, 18.5), (1.5, 2.0), (4.0, -16.0),
                                               (8.0, -38.0), (12.0, -70.0), (20.0, -80.0)]))
# Winds (u, v) in m/s: a veering profile with a southerly jet near 1 km.
MOIST_U = _profile(Z_KM, [(0.0, -6.0), (0.5, -3.0), (1.0, 3.0), (1.5, 7.0), (3.0, 12.0), (6.0, 22.0),
                          (9.0, 30.0), (12.0, 35.0), (16.0, 20.0), (20.0, 10.0)])
MOIST_V = _profile(Z_KM, [(0.0, 6.0), (0.5, 17.0), (1.0, 25.0), (1.5, 20.0), (3.0, 12.0), (6.0, 9.0),
                          (9.0, 8.0), (12.0, 5.0), (16.0, 0.0), (20.0, 0.0)])

# Dry side: a dry-adiabatic layer from 41 degC at sea level until it meets
# the moist sector's elevated mixed layer near 5 km; dewpoints near 0 degC.
DRY_T = np.maximum(MOIST_T, 41.0 - 9.8 * Z_KM)
DRY_TD = np.minimum(MOIST_TD, _profile(Z_KM, [(0.0, 4.0), (3.0, -6.0), (5.0, -18.0), (8.0, -38.0),
                                              (12.0, -70.0), (20.0, -80.0)]))
DRY_U = _profile(Z_KM, [(0.0, 7.0), (1.0, 11.0), (3.0, 13.0), (6.0, 22.0), (9.0, 30.0), (12.0, 35.0),
                        (16.0, 20.0), (20.0, 10.0)])
DRY_V = _profile(Z_KM, [(0.0, 3.0), (1.0, 6.0), (3.0, 9.0), (6.0, 9.0), (9.0, 8.0), (12.0, 5.0),
                        (16.0, 0.0), (20.0, 0.0)])


def _sounding(t_c, td_c, u, v) -> Sounding:
    p = _hydrostatic_pressure(Z_M, t_c, td_c, 1008.0)
    return Sounding.from_levels(p, t_c, td_c, u, v, z_base_m=0.0)


class DryLineAtmosphere:
    """Two soundings blended column by column: weight 1 is the dry side.
    Surface pressures are scaled by surface_factor, to draw a pressure trough.

    It offers the three lookups the model file builder asks of a sounding,
    each evaluated on [ny, nx] or [nz, ny, nx] arrays of this grid."""

    def __init__(self, moist: Sounding, dry: Sounding, dry_weight: np.ndarray, surface_factor: np.ndarray):
        self.moist, self.dry, self.w, self.surface_factor = moist, dry, dry_weight, surface_factor
        self.z_m = moist.z_m

    def _blend(self, a: np.ndarray, b: np.ndarray) -> np.ndarray:
        return (1.0 - self.w) * a + self.w * b

    def pressure_at_height(self, z_m: np.ndarray) -> np.ndarray:
        p = np.exp(self._blend(np.log(self.moist.pressure_at_height(z_m)), np.log(self.dry.pressure_at_height(z_m))))
        return p * self.surface_factor

    def at_pressure(self, p_hpa: np.ndarray):
        return tuple(self._blend(m, d) for m, d in zip(self.moist.at_pressure(p_hpa), self.dry.at_pressure(p_hpa)))

    def winds_at_height(self, z_m: np.ndarray):
        return tuple(self._blend(m, d) for m, d in zip(self.moist.winds_at_height(z_m), self.dry.winds_at_height(z_m)))


# --- surface ------------------------------------------------------------------

JJ, II = np.mgrid[0:NY, 0:NX].astype(np.float64)


def _gauss(ci: float, cj: float, ri: float, rj: float | None = None) -> np.ndarray:
    rj = ri if rj is None else rj
    return np.exp(-(((II - ci) / ri) ** 2 + ((JJ - cj) / rj) ** 2))


def terrain_m() -> np.ndarray:
    """Rising from 300 m in the east to 1150 m in the west, two hills, and
    a flat lake basin in the south-east."""
    h = 1150.0 - 850.0 * II / (NX - 1) + 250.0 * _gauss(14, 44, 5, 8) + 180.0 * _gauss(40, 50, 4)
    h = h + 20.0 * np.sin(II / 3.1) * np.cos(JJ / 4.3)
    lake = lake_mask()
    h[lake] = h[lake].min()
    return h


def lake_mask() -> np.ndarray:
    return ((II - 47.0) / 4.5) ** 2 + ((JJ - 11.0) / 3.0) ** 2 <= 1.0


def land_use() -> np.ndarray:
    lu = np.where(II < 22, 10.0, 2.0)   # grassland in the west, cropland in the east
    lu[lake_mask()] = LAKE_CATEGORY
    return lu


def dry_weight() -> np.ndarray:
    """The dry line: 1 on its west side, with a bulge at mid-domain."""
    x_line = 20.0 + 8.0 * np.exp(-((JJ - 30.0) / 9.0) ** 2)
    return 0.5 * (1.0 - np.tanh((II - x_line) / 2.0))


def surface_factor() -> np.ndarray:
    """A lee trough: surface pressure 0.6 % (about 5 hPa) lower towards the
    north-west corner, and a shallow low on the dry line's bulge."""
    return 1.0 - 0.006 * _gauss(-5.0, 65.0, 45.0) - 0.0015 * _gauss(24.0, 30.0, 10.0)


def grid_rotation_deg(xlong: np.ndarray) -> np.ndarray:
    """Lambert conformal grid rotation: cone factor times longitude offset."""
    phi1, phi2 = np.deg2rad(TRUELAT1), np.deg2rad(TRUELAT2)
    cone = math.log(math.cos(phi1) / math.cos(phi2)) / math.log(
        math.tan(math.pi / 4 + phi2 / 2) / math.tan(math.pi / 4 + phi1 / 2))
    return cone * (xlong - STAND_LON)


# --- storms -------------------------------------------------------------------

# (column, row) at the first time, strength at each time; all move with the
# storm motion below, in grid cells per hour.
CELLS = [((30.0, 16.0), (0.6, 1.0, 1.0)), ((33.0, 34.0), (0.8, 1.0, 0.9)), ((26.0, 48.0), (0.0, 0.5, 1.0))]
CELL_MOTION = (7.0, 3.5)


def _cell_centres(n: int):
    for (ci, cj), strength in CELLS:
        if strength[n] > 0:
            yield ci + CELL_MOTION[0] * n, cj + CELL_MOTION[1] * n, strength[n]


def _layer(z_km: np.ndarray, bottom: float, top: float) -> np.ndarray:
    """Smooth bump, 1 in mid-layer, 0 outside [bottom, top]."""
    x = np.clip((z_km - bottom) / (top - bottom), 0.0, 1.0)
    return np.sin(np.pi * x) ** 2


def _arch(z_km: np.ndarray, bottom: float, top: float) -> np.ndarray:
    """Half a sine wave over [bottom, top]: steeper at the ends than _layer."""
    return np.sin(np.pi * np.clip((z_km - bottom) / (top - bottom), 0.0, 1.0))


def _vortex(ci: float, cj: float, s: float, ny: int, nx: int, oi: float, oj: float):
    """Cyclonic Rankine vortex winds (u, v) on a grid offset by (oi, oj) cells."""
    jj, ii = np.mgrid[0:ny, 0:nx].astype(np.float64)
    x, y = ii + oi - ci, jj + oj - cj
    r = np.maximum(np.hypot(x, y), 1e-9)
    speed = s * 18.0 * np.where(r < 2.0, r / 2.0, 2.0 / r) * np.exp(-(r / 8.0) ** 2)
    return -y / r * speed, x / r * speed


def _pad(a: np.ndarray, axis: int) -> np.ndarray:
    """Mass-level values extended by one point along a staggered axis."""
    return np.concatenate([a, np.take(a, [-1], axis=axis)], axis=axis)


def storm_fields(n: int, z_half_km: np.ndarray, z_full_km: np.ndarray, t_c: np.ndarray):
    """Hydrometeors [nz, ny, nx] (kg/kg), W [nz+1, ny, nx] and the rotational
    wind added to U and V on their staggered grids, for time n."""
    shape = z_half_km.shape
    q = {name: np.zeros(shape) for name in ("QCLOUD", "QICE", "QRAIN", "QSNOW", "QGRAUP")}
    w = np.zeros(z_full_km.shape)
    du = np.zeros((NZ, NY, NX + 1))
    dv = np.zeros((NZ, NY + 1, NX))
    liquid = t_c > 0.0
    for ci, cj, s in _cell_centres(n):
        core = _gauss(ci, cj, 3.0)
        updraft = _gauss(ci - 1.0, cj - 1.0, 2.0)
        # The anvil spreads downstream of the core.
        anvil = _gauss(ci + 6.0, cj + 2.0, 9.0, 6.0)
        q["QCLOUD"] += s * 1.5e-3 * updraft * _layer(z_half_km, 0.8, 9.0)
        q["QICE"] += s * 4e-4 * np.maximum(updraft, 0.6 * anvil) * _layer(z_half_km, 7.0, 13.0)
        q["QRAIN"] += s * 4e-3 * core * np.where(liquid, 1.0, 0.3 * _layer(z_half_km, 3.0, 7.0)) * (z_half_km < 7.0)
        q["QGRAUP"] += s * 2.5e-3 * core * _layer(z_half_km, 2.5, 10.0)
        q["QSNOW"] += s * 1e-3 * np.maximum(core, 0.5 * anvil) * _layer(z_half_km, 5.0, 12.5)
        w += s * 30.0 * _gauss(ci - 1.0, cj - 1.0, 2.0)[None] * _arch(z_full_km, 0.0, 14.0)
        w -= s * 6.0 * _gauss(ci + 2.0, cj + 1.0, 2.5)[None] * _layer(z_full_km, 0.0, 3.0)
        # A Rankine mesocyclone (core radius 2 cells, 18 m/s) in the updraft,
        # over the lowest 8 km.
        vertical = _layer(z_half_km, 0.5, 8.0)
        du += _vortex(ci - 1.0, cj - 1.0, s, NY, NX + 1, -0.5, 0.0)[0][None] * _pad(vertical, axis=2)
        dv += _vortex(ci - 1.0, cj - 1.0, s, NY + 1, NX, 0.0, -0.5)[1][None] * _pad(vertical, axis=1)
    return q, w, du, dv


# Rates under each cell core (mm/h): convective and grid-scale rain, snow,
# graupel and hail, all as liquid equivalent.
PRECIP_RATES_MM_H = {"RAINC": 4.0, "RAINNC": 16.0, "SNOWNC": 0.5, "GRAUPELNC": 2.0, "HAILNC": 0.75}


def accumulations() -> dict[str, np.ndarray]:
    """Precipitation [nt, ny, nx] since the start of the run (mm): the first
    time holds what fell in the hour before it, each later one adds its own
    hour under the cells' cores."""
    out = {name: np.zeros((NT, NY, NX)) for name in PRECIP_RATES_MM_H}
    total = np.zeros((NY, NX))
    for n in range(NT):
        total = total + sum((s * _gauss(ci, cj, 3.0) for ci, cj, s in _cell_centres(n)), np.zeros((NY, NX)))
        for name, rate in PRECIP_RATES_MM_H.items():
            out[name][n] = rate * total
    return out


# Absolute rounding steps (powers of two, so exact in float32). PB and PHB
# are stored coarsely and P and PH carry the remainder, so that the full
# pressure and geopotential keep the fine steps.
STEPS = {
    "PB": 256.0, "PHB": 256.0, "P": 4.0, "PH": 4.0, "T": 2.0**-4, "U": 2.0**-4, "V": 2.0**-4, "W": 2.0**-4,
    "QVAPOR": 2.0**-16, **{q: 2.0**-20 for q in ("QCLOUD", "QICE", "QRAIN", "QSNOW", "QGRAUP")},
    "T2": 2.0**-5, "Q2": 2.0**-17, "PSFC": 1.0, "U10": 2.0**-5, "V10": 2.0**-5, "HGT": 2.0**-2,
    **{name: 2.0**-6 for name in PRECIP_RATES_MM_H},
}


def quantise(v: dict[str, np.ndarray]) -> dict[str, np.ndarray]:
    """Rounds the fields to STEPS, so that the shuffle and deflate filters
    find long runs of equal bits; about 7 MB become under 2 MB."""
    out = dict(v)
    for perturbation, base in (("P", "PB"), ("PH", "PHB")):
        full = v[perturbation] + v[base]
        out[base] = np.round(v[base] / STEPS[base]) * STEPS[base]
        out[perturbation] = full - out[base]
    for name, step in STEPS.items():
        out[name] = np.round(out[name] / step) * step
    return out


# --- build ----------------------------------------------------------------------

def build(output: Path) -> None:
    terrain = terrain_m()
    atmosphere = DryLineAtmosphere(_sounding(MOIST_T, MOIST_TD, MOIST_U, MOIST_V),
                                   _sounding(DRY_T, DRY_TD, DRY_U, DRY_V), dry_weight(), surface_factor())
    common = dict(nx=NX, ny=NY, nz=NZ, nt=NT, dx=DX, dy=DX, sounding=atmosphere, terrain=terrain,
                  lu_index=land_use(), center_lat_lon=CENTER, start_time=START, w_max_ms=0.0,
                  warming_k_per_time=0.8, psfc_change_pa_per_time=-70.0)
    with tempfile.TemporaryDirectory() as tmp:
        first = build_model_file(Path(tmp) / "clear.nc", **common).variables
    rotation = grid_rotation_deg(first["XLONG"][0].astype(np.float64))
    with tempfile.TemporaryDirectory() as tmp:
        clear = build_model_file(Path(tmp) / "clear.nc", rotation_deg=rotation, **common).variables
    v = {name: value.astype(np.float64) for name, value in clear.items()}

    z_full_km = (v["PH"] + v["PHB"]) / G / 1000.0 - v["HGT"][:, None] / 1000.0
    z_half_km = 0.5 * (z_full_km[:, 1:] + z_full_km[:, :-1])
    p_pa = v["P"] + v["PB"]
    t_c = (v["T"] + 300.0) * (p_pa / 100000.0) ** 0.2857142857 - 273.15
    for n in range(NT):
        q, w, du, dv = storm_fields(n, z_half_km[n], z_full_km[n], t_c[n])
        for name, value in q.items():
            v[name][n] = value
        v["W"][n] = w
        v["U"][n] += du
        v["V"][n] += dv
        cloudy = q["QCLOUD"] > 1e-5
        saturated = mixing_ratio_from_dewpoint(p_pa[n] / 100.0, t_c[n])
        v["QVAPOR"][n] = np.where(cloudy, np.maximum(v["QVAPOR"][n], saturated), v["QVAPOR"][n])
    # The lake keeps its 2-m air cooler and moister than the land around it.
    lake = lake_mask()
    v["T2"][:, lake] -= 4.0
    v["Q2"][:, lake] *= 1.05
    v.update(accumulations())

    overrides = quantise(v)
    output.parent.mkdir(parents=True, exist_ok=True)
    build_model_file(output, rotation_deg=rotation, overrides=overrides, global_attrs={
        "TITLE": "TARQ sample output (synthetic, made by tools/make_sample.py)",
        "START_DATE": START,
        "MAP_PROJ": np.int32(1),
        "TRUELAT1": np.float32(TRUELAT1),
        "TRUELAT2": np.float32(TRUELAT2),
        "STAND_LON": np.float32(STAND_LON),
        "CEN_LAT": np.float32(CENTER[0]),
        "CEN_LON": np.float32(CENTER[1]),
    }, **common)


if __name__ == "__main__":
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else DEFAULT_OUTPUT
    build(out)
    print(f"{out}: {out.stat().st_size / 1e6:.2f} MB")
