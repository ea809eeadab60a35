"""One-column model files whose levels are a sounding's own levels."""

from __future__ import annotations

import os

import numpy as np

from .model_file import ModelFile, build_model_file
from .soundings import G, KAPPA, Sounding, mixing_ratio_from_dewpoint


def one_column_file(path: str | os.PathLike, sounding: Sounding) -> ModelFile:
    """Writes a 1 x 1 model file that holds `sounding` level for level.

    The first level of the sounding is the surface (terrain, PSFC and the 2-m
    air of T2 and Q2); every level above it is a mass level, at its own
    pressure and height, with its temperature and moisture. Parcel averages
    and layer integrals then see the sounding's own level spacing, not an
    interpolation of it.

    Parameters
    ----------
    path : str or path-like
        The file to write.
    sounding : Sounding
        The profile, surface first.

    Returns
    -------
    ModelFile
        What was written.
    """
    snd = sounding
    p, t, td, z = (a[1:] for a in (snd.p_hpa, snd.t_c, snd.td_c, snd.z_m))
    n = p.size
    # Full levels from the ground up whose midpoints are the sounding heights
    # (they need not be monotonic: only the mass levels are used).
    z_full = np.empty(n + 1)
    z_full[0] = snd.z_m[0]
    for k in range(n):
        z_full[k + 1] = 2.0 * z[k] - z_full[k]

    def column(a) -> np.ndarray:
        return np.asarray(a, dtype=np.float64)[:, None, None]

    theta = (t + 273.15) * (1000.0 / p) ** KAPPA
    overrides = {
        "P": column(np.zeros(n)), "PB": column(p * 100.0), "T": column(theta - 300.0),
        "QVAPOR": column(mixing_ratio_from_dewpoint(p, td)),
        "PH": column(np.zeros(n + 1)), "PHB": column(G * z_full),
        "PSFC": np.full((1, 1), snd.p_hpa[0] * 100.0), "T2": np.full((1, 1), snd.t_c[0] + 273.15),
        "Q2": np.full((1, 1), mixing_ratio_from_dewpoint(snd.p_hpa[0], snd.td_c[0])),
    }
    return build_model_file(path, nx=1, ny=1, nz=n, nt=1, sounding=snd, terrain=float(snd.z_m[0]),
                            overrides=overrides)
