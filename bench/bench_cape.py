"""Benchmark of the CAPE diagnostics through getvar on a model file.

Writes a 100 x 100 x 40 file (seeded noise, so columns differ), warms the
field cache, then times sbcape, mlcape, mucape, lcl, cape2d and cape3d with 1 and
2 pool workers and prints grid columns per second and the 1 -> 2 worker ratio.

    python bench/bench_cape.py [--nx 100 --ny 100 --nz 40] [--repeat 2]
"""

from __future__ import annotations

import argparse
import tempfile
from pathlib import Path

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

from timing import add_grid_arguments, best_seconds

CASES = ["sbcape", "mlcape", "mucape", "lcl", "cape2d", "cape3d"]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=100, ny=100, nz=40)
    parser.add_argument("--repeat", type=int, default=2)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
        mf = build_model_file(Path(tmp) / "bench.nc", nx=args.nx, ny=args.ny, nz=args.nz, nt=1, sounding=snd,
                              noise=0.5, seed=1)
        f = _tarq.TarqFile(mf.path)
        ncol = args.nx * args.ny
        # Fill the field cache so that only the kernels are timed.
        f.getvar("sbcape")
        print(f"grid {args.nx} x {args.ny} x {args.nz} ({ncol} columns), best of {args.repeat}")
        print(f"{'variable':10} {'1 worker col/s':>15} {'2 workers col/s':>16} {'speed-up':>9}")
        try:
            for name in CASES:
                rates = []
                for workers in (1, 2):
                    _tarq._set_workers(workers)
                    rates.append(ncol / best_seconds(lambda: f.getvar(name), args.repeat))
                print(f"{name:10} {rates[0]:15.0f} {rates[1]:16.0f} {rates[1] / rates[0]:9.2f}")
        finally:
            _tarq._set_workers(0)


if __name__ == "__main__":
    main()
