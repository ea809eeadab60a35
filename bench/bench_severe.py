"""Benchmark of the severe-weather composites and the 700-500 hPa lapse rate
through getvar on a model file.

Writes a 100 x 100 x 40 file (seeded noise, so columns differ), warms the field
cache, then times each composite beside its most expensive ingredient alone
and prints the ratio: a composite should cost roughly the sum of its
ingredients.

    python bench/bench_severe.py [--nx 100 --ny 100 --nz 40] [--repeat 2] [--workers 0]
"""

from __future__ import annotations

import argparse
import tempfile
import time
from pathlib import Path

import numpy as np

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

from timing import add_grid_arguments

# Composite, then the ingredients it is compared with.
CASES = [
    ("stp_effective", ["mlcape", "effective_srh"]),
    ("scp", ["mucape"]),
    ("ship", ["mucape"]),
    ("lapse_rate_700_500", []),
]


def best_seconds(f, names, repeat: int) -> dict[str, float]:
    """Best time of each variable, the variables interleaved within each round
    so that a change in machine load does not favour one of them."""
    best = {name: float("inf") for name in names}
    for _ in range(repeat):
        for name in names:
            start = time.perf_counter()
            f.getvar(name)
            best[name] = min(best[name], time.perf_counter() - start)
    return best


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=100, ny=100, nz=40)
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--workers", type=int, default=0, help="pool workers (0: one per logical CPU)")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
        mf = build_model_file(Path(tmp) / "bench.nc", nx=args.nx, ny=args.ny, nz=args.nz, nt=1, sounding=snd,
                              noise=0.5, seed=1,
                              winds=lambda z: (2.0 + 3.5 * np.minimum(z, 8000.0) / 1000.0,
                                               8.0 * np.sin(np.minimum(z, 3000.0) / 3000.0 * np.pi / 2.0)))
        f = _tarq.TarqFile(mf.path)
        # Fill the field cache so that only the computations are timed.
        for name in ("sbcape", "srh1", "lapse_rate_700_500"):
            f.getvar(name)
        _tarq._set_workers(args.workers)
        try:
            names = list(dict.fromkeys(n for case, ingredients in CASES for n in [case, *ingredients]))
            times = best_seconds(f, names, args.repeat)
        finally:
            _tarq._set_workers(0)
        ncol = args.nx * args.ny
        print(f"grid {args.nx} x {args.ny} x {args.nz} ({ncol} columns), best of {args.repeat}, "
              f"workers {args.workers or 'default'}")
        print(f"{'variable':20} {'seconds':>8}   {'ingredient':14} {'seconds':>8} {'ratio':>6}")
        for name, ingredients in CASES:
            if not ingredients:
                print(f"{name:20} {times[name]:8.3f}   {ncol / times[name]:.0f} columns/s")
                continue
            for n, ingredient in enumerate(ingredients):
                head = f"{name:20} {times[name]:8.3f}" if n == 0 else " " * 29
                print(f"{head}   {ingredient:14} {times[ingredient]:8.3f} {times[name] / times[ingredient]:6.2f}")
            if len(ingredients) > 1:
                total = sum(times[i] for i in ingredients)
                print(f"{'':29}   {'sum of these':14} {total:8.3f} {times[name] / total:6.2f}")


if __name__ == "__main__":
    main()
