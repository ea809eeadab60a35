"""Writes the seed corpus of the model fuzz target: the smallest model files
the test fixture builds, chunked and compressed as the model writes them, with
static fields as common tools rewrite them, and stored contiguous (the
smallest file, so the fuzzer's mutations mostly land on metadata)."""

from __future__ import annotations

import sys
from pathlib import Path

import netCDF4
import numpy as np

from tarq.testing import HYDROMETEORS, build_model_file, dims_for, standard_sounding, write_netcdf

SMALL = dict(nx=3, ny=2, nz=4, nt=2)


def write_contiguous(path: Path, chunked_path: Path) -> None:
    lakes = np.array([[2, 16, 2], [2, 2, 2]])
    mf = build_model_file(chunked_path, sounding=standard_sounding(), omit=HYDROMETEORS, lu_index=lakes, **SMALL)
    variables = {name: (dims_for(name, data.ndim), data) for name, data in mf.variables.items()}
    variables["Times"] = (("Time", "DateStrLen"), netCDF4.stringtochar(np.array(mf.times, dtype="S19")))
    write_netcdf(path, variables, attrs={"DX": np.float32(mf.dx), "DY": np.float32(mf.dy)}, unlimited_time=False)


def main(directory: str) -> None:
    out = Path(directory)
    out.mkdir(parents=True, exist_ok=True)
    build_model_file(out / "model.nc", sounding=standard_sounding(), **SMALL)
    build_model_file(out / "static.nc", sounding=standard_sounding(), static_2d=True, omit=HYDROMETEORS, **SMALL)
    write_contiguous(out / "contiguous.nc", out / "lakes.nc")
    for path in sorted(out.iterdir()):
        print(path.name, path.stat().st_size)


if __name__ == "__main__":
    main(sys.argv[1])
