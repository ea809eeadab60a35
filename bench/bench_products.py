"""Benchmark of the light products (sea-level pressure, reflectivity, cloud
fraction) through getvar on a model file, against reading their largest raw
input from the same file.

Writes a 100 x 100 x 40 file with rain, snow, graupel, cloud water and ice,
warms the field cache, then times each product and the getvars of the stored
variables it reads on every call (the largest alone, and all of them), with 1
and 2 pool workers, and prints the times and the ratios of the product to them.

    python bench/bench_products.py [--nx 100 --ny 100 --nz 40] [--repeat 5]
"""

from __future__ import annotations

import argparse
import tempfile
from pathlib import Path

import numpy as np

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

from timing import add_grid_arguments, best_seconds

# Product and the stored variables it reads on every call, largest first (the
# base fields it also needs come from the warm cache).
PRECIPITATION = ("QRAIN", "QSNOW", "QGRAUP", "QVAPOR")
CASES = [("slp", ("QVAPOR",)), ("dbz", PRECIPITATION), ("maxdbz", PRECIPITATION), ("cloudfrac", ("QCLOUD", "QICE"))]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=100, ny=100, nz=40)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    rng = np.random.default_rng(1)
    shape = (args.nz, args.ny, args.nx)
    species = {name: np.maximum(rng.normal(0.0, 1e-3, shape), 0.0) for name in ("QRAIN", "QSNOW", "QGRAUP")}
    species.update({name: np.maximum(rng.normal(0.0, 1e-5, shape), 0.0) for name in ("QCLOUD", "QICE")})
    with tempfile.TemporaryDirectory() as tmp:
        mf = build_model_file(Path(tmp) / "bench.nc", nx=args.nx, ny=args.ny, nz=args.nz, nt=1,
                              sounding=standard_sounding(), hydrometeors=species, noise=0.5, seed=1)
        f = _tarq.TarqFile(mf.path)
        for name, _ in CASES:
            f.getvar(name)  # fill the field cache
        print(f"grid {args.nx} x {args.ny} x {args.nz}, best of {args.repeat}, times in ms")
        print(f"{'variable':10} {'workers':>7} {'product':>9} {'largest raw':>18} {'all raw':>8} "
              f"{'/largest':>8} {'/all':>6}")
        try:
            for workers in (1, 2):
                _tarq._set_workers(workers)
                for name, raws in CASES:
                    product = best_seconds(lambda: f.getvar(name), args.repeat)
                    largest = best_seconds(lambda: f.getvar(raws[0]), args.repeat)
                    every = best_seconds(lambda: [f.getvar(raw) for raw in raws], args.repeat)
                    print(f"{name:10} {workers:7d} {product * 1e3:9.2f} {raws[0]:>8} {largest * 1e3:9.2f} "
                          f"{every * 1e3:8.2f} {product / largest:8.2f} {product / every:6.2f}")
        finally:
            _tarq._set_workers(0)


if __name__ == "__main__":
    main()
