"""Benchmark of windows over the grid: a 60 x 60 window against the whole
domain of the 50 x 600 x 600 file, each computed in a fresh process.

For sbcape, slp, srh1 and the raw read of T, prints the wall time and peak
RSS of a process that opens the file and computes the variable at time 0 on
the whole domain and on the window, the bytes it read (rchar of
/proc/self/io) from a contiguous copy of the file, and the ratios. The
window's share of T is 50 x 60 x 60 float32 values.

    python bench/bench_window.py [--nx 600 --ny 600 --nz 50] [--window 60]
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys
from pathlib import Path

import netCDF4

from big_file import big_file
from timing import add_grid_arguments

CASES = ["sbcape", "slp", "srh1", "T"]

# One measurement in a fresh process: open, (window), compute, report.
CHILD = """
import json, sys, time
def rchar():
    with open("/proc/self/io") as io:
        return next(int(line.split()[1]) for line in io if line.startswith("rchar:"))
def peak_rss_mb():
    # VmHWM starts afresh with the process image; ru_maxrss would carry the parent's over exec.
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:")) / 1024
import tarq
path, name, window = sys.argv[1], sys.argv[2], json.loads(sys.argv[3])
before = rchar()
start = time.perf_counter()
f = tarq.TarqFile(path)
if window:
    f = f.window(*window)
f.getvar(name, 0)
seconds = time.perf_counter() - start
print(json.dumps({"seconds": seconds, "rss_mb": peak_rss_mb(),
                  "read_mb": (rchar() - before) / 2**20}))
"""


def contiguous_copy(path: str) -> str:
    """The first time of `path` with every variable stored contiguous, written once."""
    out = Path(path).with_name(Path(path).stem + "_contiguous.nc")
    if out.exists():
        return str(out)
    partial = out.with_suffix(".partial")
    with netCDF4.Dataset(path) as src, netCDF4.Dataset(partial, "w", format="NETCDF4") as dst:
        for name, dim in src.dimensions.items():
            dst.createDimension(name, 1 if dim.isunlimited() else len(dim))
        for key in src.ncattrs():
            dst.setncattr(key, src.getncattr(key))
        for name, var in src.variables.items():
            target = dst.createVariable(name, var.dtype, var.dimensions, contiguous=True)
            target[...] = var[:1] if var.dimensions[:1] == ("Time",) else var[...]
    partial.rename(out)
    return str(out)


def measure(path: str, name: str, window: list[int] | None) -> dict[str, float]:
    done = subprocess.run([sys.executable, "-c", CHILD, path, name, json.dumps(window)], check=True,
                          capture_output=True, text=True)
    return json.loads(done.stdout)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=600, ny=600, nz=50)
    parser.add_argument("--window", type=int, default=60, help="side of the square window, in mass points")
    args = parser.parse_args()

    path = contiguous_copy(big_file(nx=args.nx, ny=args.ny, nz=args.nz, nt=1))
    n = args.window
    i0, j0 = (args.nx - n) // 2, (args.ny - n) // 2
    window = [i0, i0 + n, j0, j0 + n]
    share_mb = args.nz * n * n * 4 / 2**20
    print(f"{args.nz} x {args.ny} x {args.nx} contiguous file, {n} x {n} window {window}; "
          f"window's share of T {share_mb:.2f} MB")
    print(f"{'variable':9} {'whole s':>8} {'window s':>9} {'speed-up':>9} {'whole MB':>9} {'window MB':>10} "
          f"{'RSS ratio':>10} {'whole read MB':>14} {'window read MB':>15}")
    for name in CASES:
        whole = measure(path, name, None)
        part = measure(path, name, window)
        print(f"{name:9} {whole['seconds']:8.2f} {part['seconds']:9.3f} {whole['seconds'] / part['seconds']:9.1f} "
              f"{whole['rss_mb']:9.0f} {part['rss_mb']:10.0f} {part['rss_mb'] / whole['rss_mb']:10.3f} "
              f"{whole['read_mb']:14.1f} {part['read_mb']:15.2f}")


if __name__ == "__main__":
    main()
