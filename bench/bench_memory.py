"""Memory over a loop of getvar through every time of one open file.

For each variable a fresh process opens a [24, 50, 300, 300] file (written once
under /tmp/tarq-bench) and asks for the variable at time 0, 1, ..., 23,
printing after each step the process's peak RSS and the bytes the field cache
holds. Each variable runs twice: with the automatic cache budget and, as the
baseline of the same run, with no budget (every field kept, as before the
cache was bounded). The ratio is the peak after the last step over the peak
after step 3: 1.0 is flat.

    python bench/bench_memory.py [--nx 300 --ny 300 --nz 50 --nt 24] [NAME ...]
"""

from __future__ import annotations

import argparse
import json
import resource
import subprocess
import sys
from pathlib import Path

from big_file import big_file
from timing import add_grid_arguments

NAMES = ["T", "theta", "tc", "sbcape"]
UNBOUNDED = 1 << 62


def child(path: str, name: str, budget: int | None) -> None:
    from tarq import _tarq

    f = _tarq.TarqFile(path)
    if budget is not None:
        f.cache_budget = budget
    curve = []
    for t in range(f.nt):
        f.getvar(name, t)
        peak_mb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
        curve.append((peak_mb, f._cached_bytes / 2**20))
    print(json.dumps({"curve": curve, "budget_mb": f.cache_budget / 2**20}))


def run(path: str, name: str, budget: int | None) -> dict:
    # A fresh process for each curve, so that its peak memory is its own.
    request = json.dumps([path, name, budget])
    out = subprocess.run([sys.executable, __file__, "--child", request], check=True, capture_output=True,
                         text=True).stdout
    return json.loads(out.strip().splitlines()[-1])


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=300, ny=300, nz=50)
    parser.add_argument("--nt", type=int, default=24)
    parser.add_argument("names", nargs="*", default=NAMES)
    args = parser.parse_args()
    path = big_file(args.nx, args.ny, args.nz, args.nt)
    print(f"{path}: {Path(path).stat().st_size / 1e6:.0f} MB, grid {args.nt} x {args.nz} x {args.ny} x {args.nx}")
    for name in args.names:
        bounded = run(path, name, None)
        unbounded = run(path, name, UNBOUNDED)
        print(f"\n{name}: automatic budget {bounded['budget_mb']:.0f} MB")
        print(f"{'step':>4} {'peak RSS MB':>12} {'cached MB':>10} {'unbounded peak':>15} {'unbounded cached':>17}")
        for step, ((peak, cached), (upeak, ucached)) in enumerate(zip(bounded["curve"], unbounded["curve"])):
            print(f"{step:4d} {peak:12.0f} {cached:10.0f} {upeak:15.0f} {ucached:17.0f}")
        ref = min(3, len(bounded["curve"]) - 1)
        growth = bounded["curve"][-1][0] / bounded["curve"][ref][0]
        ugrowth = unbounded["curve"][-1][0] / unbounded["curve"][ref][0]
        print(f"{name}: peak RSS last/step {ref}: {growth:.2f} (unbounded: {ugrowth:.2f})")


if __name__ == "__main__":
    if sys.argv[1:2] == ["--child"]:
        child(*json.loads(sys.argv[2]))
    else:
        main()
