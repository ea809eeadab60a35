"""read_var of one time from model files of 1 and 24 times.

Reading one time must cost the same whatever the number of times in the file:
only the chunks of that time are read and inflated. Prints the best time of
getvar on a stored variable (the raw path, which is never cached) and the ratio
against the 1-time file, the baseline of this run.

    python bench/bench_read_var.py [--nx 120 --ny 100 --nz 40 --repeat 21]
"""

from __future__ import annotations

import argparse
import tempfile
import time
from pathlib import Path

from tarq import _tarq
from tarq.testing import build_model_file

from timing import add_grid_arguments


def interleaved_best(cases: list[tuple[_tarq.TarqFile, str, int]], repeat: int) -> list[float]:
    """Best time in seconds of getvar per case (the least disturbed by other
    processes on a shared machine), the cases taking turns so that load
    from other processes falls on all of them alike."""
    for f, name, t in cases:
        f.getvar(name, t)  # warm the dataset description and the page cache
    samples: list[list[float]] = [[] for _ in cases]
    for _ in range(repeat):
        for (f, name, t), out in zip(cases, samples):
            start = time.perf_counter()
            f.getvar(name, t)
            out.append(time.perf_counter() - start)
    return [min(s) for s in samples]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_grid_arguments(parser, nx=120, ny=100, nz=40)
    parser.add_argument("--repeat", type=int, default=21)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        files = {}
        for nt in (1, 24):
            path = Path(tmp) / f"m{nt}.nc"
            build_model_file(path, nx=args.nx, ny=args.ny, nz=args.nz, nt=nt, noise=0.2)
            files[nt] = _tarq.TarqFile(str(path))
            print(f"{nt:>2} times: {path.stat().st_size / 1e6:7.1f} MB")

        print(f"grid {args.nx} x {args.ny} x {args.nz}, best of {args.repeat}")
        for name in ("T", "U", "PSFC"):
            reads = ((1, 0), (24, 0), (24, 23))
            best = interleaved_best([(files[nt], name, t) for nt, t in reads], args.repeat)
            for (nt, t), s in zip(reads, best):
                print(f"  {name:<5} nt={nt:<2} t={t:<2} {s * 1e3:8.3f} ms   ratio {s / best[0]:5.2f}")

if __name__ == "__main__":
    main()
