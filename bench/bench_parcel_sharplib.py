"""SHARPlib's published wheel on the columns bench_parcel_kernel just lifted.

The surface-parcel pipeline of ``nwsspc.sharp.calc`` driven from a Python loop
(mixing ratio, virtual temperature, ``lift_parcel`` with ``lifter_wobus``,
buoyancy, ``cape_cinh``), in single precision as the wheel takes it, against
the µs per column of sbcape that bench_parcel_kernel measured in the same run,
and the median relative difference of CAPE.

    python bench/bench_parcel_sharplib.py build/bench-parcel/run
"""

from __future__ import annotations

import json
import sys
import time

import numpy as np
from nwsspc.sharp.calc import parcel, thermo


def sharplib_cape(p_hpa: np.ndarray, t_c: np.ndarray, td_c: np.ndarray, z_m: np.ndarray,
                  sfc: np.ndarray) -> np.ndarray:
    """Surface-based CAPE (J/kg) of every column with SHARPlib, one column at a time.

    Parameters
    ----------
    p_hpa, t_c, td_c, z_m : numpy.ndarray
        [ncol, nz] columns, bottom first.
    sfc : numpy.ndarray
        [ncol, 3] surface pressure (hPa), temperature and dewpoint (°C).

    Returns
    -------
    numpy.ndarray
        CAPE of each column.
    """
    lifter = parcel.lifter_wobus()
    cape = np.empty(p_hpa.shape[0])
    for col in range(p_hpa.shape[0]):
        # The surface parcel below the column, as the tarq kernel lifts it.
        pres = np.ascontiguousarray(np.concatenate(([sfc[col, 0]], p_hpa[col])) * 100.0, dtype=np.float32)
        tmpk = np.ascontiguousarray(np.concatenate(([sfc[col, 1]], t_c[col])) + 273.15, dtype=np.float32)
        dwpk = np.ascontiguousarray(np.concatenate(([sfc[col, 2]], td_c[col])) + 273.15, dtype=np.float32)
        hght = np.ascontiguousarray(np.concatenate(([0.0], z_m[col])), dtype=np.float32)
        mixr = thermo.mixratio(pres, dwpk)
        vtmp = thermo.virtual_temperature(tmpk, mixr)
        pcl = parcel.Parcel.surface_parcel(float(pres[0]), float(tmpk[0]), float(dwpk[0]))
        tpcl = pcl.lift_parcel(lifter, pres)
        buoy = thermo.buoyancy(tpcl, vtmp)
        cape[col] = pcl.cape_cinh(pres, hght, buoy)[0]
    return cape


def main(prefix: str) -> None:
    """Print SHARPlib's loop against the sbcape timings in ``prefix``.json."""
    with open(prefix + ".json") as f:
        timings = json.load(f)
    ncol, nz = timings["ncol"], timings["nz"]
    raw = np.fromfile(prefix + ".columns", dtype=np.float64)
    p, t, td, z = (raw[i * ncol * nz:(i + 1) * ncol * nz].reshape(ncol, nz) for i in range(4))
    sfc = raw[4 * ncol * nz:].reshape(3, ncol).T
    tarq_cape = np.fromfile(prefix + ".cape", dtype=np.float64)
    best = np.inf
    for _ in range(3):
        start = time.perf_counter()
        cape = sharplib_cape(p, t, td, z, sfc)
        best = min(best, time.perf_counter() - start)
    us = 1e6 * best / ncol
    both = (cape > 0) & (tarq_cape > 0)
    median = float(np.median(np.abs(cape[both] - tarq_cape[both]) / tarq_cape[both])) if both.any() else np.nan
    print(f"sharplib wheel, Python loop: {us:.2f} us per column (sbcape)")
    print(f"  sharplib loop / tarq before: {us / timings['base_us']:.2f}   "
          f"sharplib loop / tarq after: {us / timings['vector_us']:.2f}")
    print(f"  median relative CAPE difference, tarq vs sharplib: {100 * median:.3f}%")


if __name__ == "__main__":
    main(sys.argv[1])
