"""open_dataset of several variables on Dask against a plain loop.

Times, in this order, on one model file:
  loop      TarqFile.getvar for every variable and time, in this process;
  cluster   open_dataset(..., chunks={"Time": 1}) on a LocalCluster of 2 worker
            processes with 1 thread each (started and warmed up first);
  threads   the same graph on Dask's threaded scheduler with 2 threads;
  sync      the same graph on one thread.
Prints each time and its ratio to the loop (goals: cluster within 1.1x of the
loop; threads faster than sync). Every run starts with no cached field.

    python bench/bench_dask_dataset.py [--nx 100 --ny 100 --nz 40 --nt 8] [--repeat 2]
"""

from __future__ import annotations

import argparse
import tempfile
import time
from pathlib import Path

import tarq
from tarq.testing import build_model_file, standard_sounding
from tarq.xarray import open_dataset

from timing import add_grid_arguments, best_seconds

NAMES = ["sbcape", "slp", "srh1", "maxdbz"]


def forget_open_files() -> None:
    from tarq.xarray import _blocks

    _blocks._open_files = _blocks._OpenFiles()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=100, ny=100, nz=40)
    parser.add_argument("--nt", type=int, default=8)
    parser.add_argument("--repeat", type=int, default=2)
    args = parser.parse_args()

    from dask.distributed import Client, LocalCluster

    with tempfile.TemporaryDirectory() as tmp:
        snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
        mf = build_model_file(Path(tmp) / "bench.nc", nx=args.nx, ny=args.ny, nz=args.nz, nt=args.nt, sounding=snd,
                              noise=0.5, seed=1)
        print(f"{NAMES} on a {args.nx} x {args.ny} x {args.nz} grid, {args.nt} times, best of {args.repeat}")

        def loop() -> None:
            f = tarq.TarqFile(mf.path)
            for t in range(args.nt):
                for name in NAMES:
                    f.getvar(name, t)

        def scheduler(name: str, workers: int | None):
            def run() -> None:
                forget_open_files()
                open_dataset(mf.path, NAMES, chunks={"Time": 1}).compute(scheduler=name, num_workers=workers)
            return run

        times = {"loop": best_seconds(loop, args.repeat)}
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            open_dataset(mf.path, ["t2"], chunks={"Time": 1}).compute()  # workers import tarq
            best = float("inf")
            for _ in range(args.repeat):
                client.run(forget_open_files)
                start = time.perf_counter()
                open_dataset(mf.path, NAMES, chunks={"Time": 1}).compute()
                best = min(best, time.perf_counter() - start)
            times["cluster"] = best
        times["threads"] = best_seconds(scheduler("threads", 2), args.repeat)
        times["sync"] = best_seconds(scheduler("sync", None), args.repeat)
        print(f"{'run':8} {'seconds':>9} {'vs loop':>8}")
        for label, seconds in times.items():
            print(f"{label:8} {seconds:9.3f} {seconds / times['loop']:8.2f}")
        print(f"threads / sync: {times['threads'] / times['sync']:.2f}")


if __name__ == "__main__":
    main()
