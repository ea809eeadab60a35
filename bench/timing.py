"""What the benchmarks share: the best of repeated timings and the grid options."""

from __future__ import annotations

import argparse
import time
from collections.abc import Callable


def best_seconds(fn: Callable[[], object], repeat: int) -> float:
    """The fastest of `repeat` wall-clock timings of fn()."""
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def add_grid_arguments(parser: argparse.ArgumentParser, nx: int, ny: int, nz: int) -> None:
    """--nx, --ny and --nz with the benchmark's own defaults."""
    parser.add_argument("--nx", type=int, default=nx)
    parser.add_argument("--ny", type=int, default=ny)
    parser.add_argument("--nz", type=int, default=nz)
