"""The ten headline rows of one time, against a baseline build, in one run.

Each build runs in a child process of its own interpreter (a virtual
environment with that build installed), on the same file, one row after the
other at time 0 on a fresh file object, with 2 core workers. Reported: each
row's seconds, the total, the peak resident memory, and the ratios of this
build to the baseline.

    python bench/bench_headline.py --baseline /work/venv/base20/bin/python

The file is bench/big_file.py's [2, nz, ny, nx] file (50 x 600 x 600 with
--nx 600 --ny 600; the default grid is smaller so that a busy machine finishes).
"""

from __future__ import annotations

import argparse
import json
import resource
import subprocess
import sys
import time
from pathlib import Path

ROWS = ["t2", "slp", "pw", "mlcape", "mucape", "srh1", "shear_0_6km", "stp", "scp", "maxdbz"]


def child(path: str, workers: int) -> None:
    """Times the rows in this process and prints them as JSON."""
    from tarq import _tarq

    _tarq._set_workers(workers)
    f = _tarq.TarqFile(path)
    seconds = {}
    start = time.perf_counter()
    for name in ROWS:
        t0 = time.perf_counter()
        f.getvar(name, 0)
        seconds[name] = time.perf_counter() - t0
    total = time.perf_counter() - start
    peak_mb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    print(json.dumps({"rows": seconds, "total": total, "peak_mb": peak_mb}))


def run_build(python: str, path: str, workers: int) -> dict:
    out = subprocess.run([python, str(Path(__file__).resolve()), "--child", path, "--workers", str(workers)],
                         check=True, capture_output=True, text=True, cwd="/")
    return json.loads(out.stdout.strip().splitlines()[-1])


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--baseline", help="interpreter of the baseline build")
    parser.add_argument("--nx", type=int, default=300)
    parser.add_argument("--ny", type=int, default=300)
    parser.add_argument("--nz", type=int, default=50)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--repeat", type=int, default=1, help="runs of each build; the fastest total is kept")
    parser.add_argument("--child", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        child(args.child, args.workers)
        return

    sys.path.insert(0, str(Path(__file__).resolve().parent))
    from big_file import big_file

    path = big_file(nx=args.nx, ny=args.ny, nz=args.nz, nt=2)
    builds = {"this": sys.executable}
    if args.baseline:
        builds["baseline"] = args.baseline
    results = {}
    for _ in range(args.repeat):
        for label, python in builds.items():
            run = run_build(python, path, args.workers)
            if label not in results or run["total"] < results[label]["total"]:
                results[label] = run
    print(f"{args.nz} x {args.ny} x {args.nx}, time 0, {args.workers} workers")
    header = f"{'row':<12}" + "".join(f"{label:>12}" for label in results)
    if "baseline" in results:
        header += f"{'ratio':>10}"
    print(header)
    for name in ROWS + ["total"]:
        cells = [r["rows"][name] if name != "total" else r["total"] for r in results.values()]
        line = f"{name:<12}" + "".join(f"{c:>11.3f}s" for c in cells)
        if "baseline" in results:
            line += f"{cells[0] / cells[1]:>10.3f}"
        print(line)
    peaks = [r["peak_mb"] for r in results.values()]
    line = f"{'peak RSS':<12}" + "".join(f"{p:>10.0f}MB" for p in peaks)
    if "baseline" in results:
        line += f"{peaks[0] / peaks[1]:>10.3f}"
    print(line)
    if "baseline" in results:
        this, base = results["this"], results["baseline"]
        print(f"speed-up {base['total'] / this['total']:.2f}x; stp and scp after their ingredients cost "
              f"{this['rows']['stp'] / this['rows']['mlcape']:.3f} and {this['rows']['scp'] / this['rows']['mlcape']:.3f}"
              f" of mlcape (baseline {base['rows']['stp'] / base['rows']['mlcape']:.3f} and "
              f"{base['rows']['scp'] / base['rows']['mlcape']:.3f})")


if __name__ == "__main__":
    main()
