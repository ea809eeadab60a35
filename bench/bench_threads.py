"""Two Python threads, each computing sbcape on a file of its own with one core
worker, against the same two computations one after the other. getvar releases
the interpreter lock, so the threads overlap (goal: at most 0.65 of the
sequential time on 2 cores).

    python bench/bench_threads.py [--nx 150 --ny 150 --nz 50]
"""

from __future__ import annotations

import argparse
import sys
import threading
import time
from pathlib import Path

from tarq import _tarq

sys.path.insert(0, str(Path(__file__).resolve().parent))
from big_file import big_file  # noqa: E402
from timing import add_grid_arguments  # noqa: E402


def sbcape_on(path: str) -> None:
    _tarq.TarqFile(path).getvar("sbcape", 0)  # a fresh file object: nothing cached


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=150, ny=150, nz=50)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    # Two files: the same grid, different number of times, so nothing is shared.
    paths = [big_file(nx=args.nx, ny=args.ny, nz=args.nz, nt=nt) for nt in (1, 2)]
    _tarq._set_workers(1)
    for p in paths:
        sbcape_on(p)  # page cache warm for both

    sequential = threaded = float("inf")
    for _ in range(args.repeat):
        start = time.perf_counter()
        for p in paths:
            sbcape_on(p)
        sequential = min(sequential, time.perf_counter() - start)
        threads = [threading.Thread(target=sbcape_on, args=(p,)) for p in paths]
        start = time.perf_counter()
        for th in threads:
            th.start()
        for th in threads:
            th.join()
        threaded = min(threaded, time.perf_counter() - start)
    print(f"sbcape, {args.nz} x {args.ny} x {args.nx}, one core worker per thread")
    print(f"sequential {sequential:.3f} s, two threads {threaded:.3f} s, ratio {threaded / sequential:.3f}")


if __name__ == "__main__":
    main()
