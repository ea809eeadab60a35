"""Computing one block: one variable at one time of one file, or all the
variables of one time together, in whichever process the scheduler runs it."""

from __future__ import annotations

import os
import threading
from collections import OrderedDict
from dataclasses import dataclass

import numpy as np

from tarq._tarq import TarqFile
from tarq.vertical import vinterp
from tarq.xarray._variables import _Plan, _time_position


class _OpenFiles:
    """Open files of this process, by path, for the blocks it computes.

    The blocks of one file share one open file and its derived fields: its
    cache stays within its own budget however many times it serves, so a file
    stays open until it is the least recently used beyond a small count.
    Rebuilt after a fork."""

    def __init__(self, max_files: int = 4) -> None:
        self._max_files = max_files
        self._lock = threading.Lock()
        self._pid = os.getpid()
        self._files: OrderedDict[str, TarqFile] = OrderedDict()

    def get(self, path: str) -> TarqFile:
        with self._lock:
            if self._pid != os.getpid():
                self._files.clear()
                self._pid = os.getpid()
            f = self._files.pop(path, None)
            if f is None:
                f = TarqFile(path)
            self._files[path] = f
            while len(self._files) > self._max_files:
                self._files.popitem(last=False)
            return f


_open_files = _OpenFiles()


@dataclass(frozen=True)
class _Block:
    """One task: one variable at one time of one file."""

    path: str
    index: int
    plan: _Plan
    window: tuple[int, int, int, int] | None = None  # TarqFile.window's bounds


def _compute_block(block: _Block) -> np.ndarray:
    plan = block.plan
    try:
        f = _open_files.get(block.path)
        if block.window is not None:
            f = f.window(*block.window)
        if plan.levels is None:
            data = f.getvar(plan.name, block.index, **dict(plan.options))
        else:
            data = vinterp(f, plan.name, plan.vertical, plan.levels, timeidx=block.index,
                           extrapolate=plan.extrapolate, **dict(plan.options))
    except (OSError, RuntimeError) as e:
        # Among thousands of blocks, say which one failed.
        raise type(e)(f"{block.path} (time index {block.index}): {e}") from e
    if data.shape != plan.shape:
        raise ValueError(f"{block.path}: {plan.name} at time index {block.index} has shape {data.shape}, "
                         f"expected {plan.shape}")
    return np.expand_dims(data, _time_position(plan))


def _compute_blocks(blocks: tuple[_Block, ...]) -> tuple[np.ndarray, ...]:
    """The blocks of one time of one file, one after the other in one task, so
    that the variables share the file's decoded and derived fields there."""
    return tuple(_compute_block(block) for block in blocks)
