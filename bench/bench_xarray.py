"""Benchmark of tarq.xarray on Dask against a plain getvar loop.

Writes one model file with 24 times, then times, in this order:
  loop      TarqFile.getvar for every time, in this process (the baseline);
  eager     open_getvar without chunks (the layer's own overhead, no Dask);
  cluster   open_getvar(..., chunks={"Time": 1}) computed on a LocalCluster of
            2 worker processes with 1 thread each (started and warmed up before
            timing, so only the computation counts).
Prints each time, its ratio to the loop, and the cluster's overhead per task,
(cluster - loop) / tasks. Both sides use the core's worker pool inside each process.

    python bench/bench_xarray.py [--nx 60 --ny 60 --nz 30 --nt 24] [--name sbcape] [--repeat 2]
"""

from __future__ import annotations

import argparse
import tempfile
import time
from pathlib import Path

import tarq
from tarq.testing import build_model_file, standard_sounding
from tarq.xarray import open_getvar

from timing import add_grid_arguments, best_seconds


def forget_open_files() -> None:
    from tarq.xarray import _blocks

    _blocks._open_files = _blocks._OpenFiles()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=60, ny=60, nz=30)
    parser.add_argument("--nt", type=int, default=24)
    parser.add_argument("--name", default="sbcape")
    parser.add_argument("--repeat", type=int, default=2)
    args = parser.parse_args()

    from dask.distributed import Client, LocalCluster

    with tempfile.TemporaryDirectory() as tmp:
        snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
        mf = build_model_file(Path(tmp) / "bench.nc", nx=args.nx, ny=args.ny, nz=args.nz, nt=args.nt, sounding=snd,
                              noise=0.5, seed=1)
        print(f"{args.name} on a {args.nx} x {args.ny} x {args.nz} grid, {args.nt} times, best of {args.repeat}")

        def loop() -> None:
            f = tarq.TarqFile(mf.path)  # a fresh file each run: no derived field is cached
            for t in range(args.nt):
                f.getvar(args.name, t)

        def eager() -> None:
            open_getvar(mf.path, args.name)

        loop_s = best_seconds(loop, args.repeat)
        eager_s = best_seconds(eager, args.repeat)
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            open_getvar(mf.path, "t2", chunks={"Time": 1}).compute()  # workers import tarq and open the file

            cluster_s = float("inf")
            for _ in range(args.repeat):
                client.run(forget_open_files)  # no worker starts with cached fields
                start = time.perf_counter()
                open_getvar(mf.path, args.name, chunks={"Time": 1}).compute()
                cluster_s = min(cluster_s, time.perf_counter() - start)

        print(f"{'run':8} {'seconds':>9} {'vs loop':>8}")
        for label, seconds in (("loop", loop_s), ("eager", eager_s), ("cluster", cluster_s)):
            print(f"{label:8} {seconds:9.3f} {seconds / loop_s:8.2f}")
        print(f"cluster overhead per task: {(cluster_s - loop_s) / args.nt * 1000:.1f} ms "
              f"({args.nt} tasks; loop {loop_s / args.nt * 1000:.1f} ms per time)")


if __name__ == "__main__":
    main()
