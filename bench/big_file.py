"""A large model output file for the benchmarks, written one time at a time.

The fields of one time come from the test suite's fixture builder; each later
time is that time shifted a little (warmer, moister, a pressure trend), so the
file holds nt distinct times without ever holding more than one in memory.
Files are kept under /tmp/tarq-bench and reused by later runs.
"""

from __future__ import annotations

import tempfile
from pathlib import Path

import netCDF4
import numpy as np

from tarq.testing import build_model_file, standard_sounding

CACHE_DIR = Path(tempfile.gettempdir()) / "tarq-bench"


def big_file(nx: int = 300, ny: int = 300, nz: int = 50, nt: int = 24) -> str:
    """Path of a [nt, nz, ny, nx] model file, written on first use."""
    CACHE_DIR.mkdir(exist_ok=True)
    path = CACHE_DIR / f"model_{nt}x{nz}x{ny}x{nx}.nc"
    if path.exists():
        return str(path)
    partial = path.with_suffix(".partial")
    one = CACHE_DIR / f"one_{nz}x{ny}x{nx}.nc"
    snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
    build_model_file(one, nx=nx, ny=ny, nz=nz, nt=1, sounding=snd, noise=0.3, seed=3)
    with netCDF4.Dataset(one) as src, netCDF4.Dataset(partial, "w", format="NETCDF4") as dst:
        for name, dim in src.dimensions.items():
            dst.createDimension(name, None if dim.isunlimited() else len(dim))
        for key in src.ncattrs():
            dst.setncattr(key, src.getncattr(key))
        for name, var in src.variables.items():
            chunks = var.chunking()
            out = dst.createVariable(name, var.dtype, var.dimensions, zlib=True, shuffle=True, complevel=4,
                                     chunksizes=None if chunks == "contiguous" else chunks)
            data = var[...]
            timed = var.dimensions[:1] == ("Time",)
            for t in range(nt if timed else 1):
                if name == "Times":
                    stamp = f"2024-05-20_{t % 24:02d}:00:00".encode()
                    out[t] = np.frombuffer(stamp, dtype="S1")
                elif timed:
                    shift = {"T": 0.25 * t, "T2": 0.25 * t, "QVAPOR": 1e-5 * t, "P": -20.0 * t, "PSFC": -20.0 * t}
                    out[t] = data[0] + shift.get(name, 0.0)
                else:
                    out[...] = data
    one.unlink()
    partial.rename(path)
    return str(path)
