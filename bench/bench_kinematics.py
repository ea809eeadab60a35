"""Benchmark of the kinematic diagnostics through getvar on a model file.

Writes a 100 x 100 x 40 file (seeded noise, so columns differ), warms the
field cache, then times srh3, bunkers_rm, effective_srh, uhel and pvo, with
cape2d beside them, with 1 and 2 pool workers. Prints grid columns (or 3-D
points for pvo) per second, the 1 -> 2 worker ratio, and how effective_srh
compares with cape2d on the same grid.

    python bench/bench_kinematics.py [--nx 100 --ny 100 --nz 40] [--repeat 2]
"""

from __future__ import annotations

import argparse
import tempfile
from pathlib import Path

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

from timing import add_grid_arguments, best_seconds

# (variable, unit counted: "col" per grid column, "pt" per 3-D point)
CASES = [("srh3", "col"), ("bunkers_rm", "col"), ("effective_srh", "col"), ("uhel", "col"), ("pvo", "pt"),
         ("cape2d", "col")]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=100, ny=100, nz=40)
    parser.add_argument("--repeat", type=int, default=2)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
        mf = build_model_file(Path(tmp) / "bench.nc", nx=args.nx, ny=args.ny, nz=args.nz, nt=1, sounding=snd,
                              rotation_deg=20.0, noise=0.5, seed=1)
        f = _tarq.TarqFile(mf.path)
        ncol = args.nx * args.ny
        # Fill the field cache so that only the diagnostics are timed.
        for name, _ in CASES:
            f.getvar(name)
        print(f"grid {args.nx} x {args.ny} x {args.nz} ({ncol} columns), best of {args.repeat}")
        print(f"{'variable':14} {'1 worker /s':>14} {'2 workers /s':>14} {'speed-up':>9}  unit")
        seconds = {}
        try:
            for name, unit in CASES:
                count = ncol if unit == "col" else ncol * args.nz
                times = []
                for workers in (1, 2):
                    _tarq._set_workers(workers)
                    times.append(best_seconds(lambda: f.getvar(name), args.repeat))
                seconds[name] = times
                print(f"{name:14} {count / times[0]:14.0f} {count / times[1]:14.0f} {times[0] / times[1]:9.2f}  {unit}")
        finally:
            _tarq._set_workers(0)
        ratio = [seconds["effective_srh"][w] / seconds["cape2d"][w] for w in (0, 1)]
        print(f"effective_srh / cape2d time: {ratio[0]:.1f} (1 worker), {ratio[1]:.1f} (2 workers)")


if __name__ == "__main__":
    main()
