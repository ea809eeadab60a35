"""getvar releases the interpreter lock while the core computes: other Python
threads run meanwhile, and threads sharing files (and changing their cache
budgets) get the serial results."""

import sys
import threading
import time

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

NT = 3
ROWS = ["tc", "theta_e", "ua", "sbcape", "mlcape", "srh1", "shear_0_6km", "stp", "scp", "pw", "slp"]


@pytest.fixture(scope="module")
def paths(tmp_path_factory):
    d = tmp_path_factory.mktemp("threads")
    out = []
    for k in range(3):
        snd = standard_sounding(t_sfc_c=26.0 + 2 * k, rh_sfc=0.8, lapse_k_per_km=7.0 + 0.3 * k, rh_top=0.3)
        p = d / f"m{k}.nc"
        build_model_file(p, nx=11, ny=9, nz=14, nt=NT, sounding=snd, noise=0.4, seed=k)
        out.append(str(p))
    return out


@pytest.fixture(scope="module")
def serial(paths):
    result = {}
    for p in paths:
        f = _tarq.TarqFile(p)
        for t in range(NT):
            for name in ROWS:
                result[p, name, t] = f.getvar(name, t)
    return result


def run_threads(targets):
    failures = []

    def guarded(fn):
        def body():
            try:
                fn()
            except BaseException as exc:  # reported by the main thread
                failures.append(exc)
        return body

    threads = [threading.Thread(target=guarded(fn)) for fn in targets]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    if failures:
        raise failures[0]


@pytest.mark.parametrize("shared", [True, False], ids=["one-file", "several-files"])
def test_eight_threads_with_a_budget_changing_midway_agree_with_serial_results(paths, serial, shared):
    used = paths[:1] if shared else paths
    files = {p: _tarq.TarqFile(p) for p in used}
    running = threading.Event()
    stop = threading.Event()

    def worker(k):
        def body():
            running.set()
            for i in range(3 * len(ROWS)):
                p = used[(i + k) % len(used)]
                t = (i * 7 + k) % NT
                name = ROWS[(i + 3 * k) % len(ROWS)]
                np.testing.assert_array_equal(files[p].getvar(name, t), serial[p, name, t],
                                              err_msg=f"{name} at {t} of {p}")
        return body

    def budget_changer():
        running.wait()
        budgets = [0, 1, None, 1 << 40, 5000]
        i = 0
        while not stop.is_set():
            for f in files.values():
                f.cache_budget = budgets[i % len(budgets)]
            i += 1
            time.sleep(0.001)

    changer = threading.Thread(target=budget_changer)
    changer.start()
    try:
        run_threads([worker(k) for k in range(8)])
    finally:
        stop.set()
        changer.join()
    for f in files.values():
        f.cache_budget = None
        assert f._cached_bytes <= f.cache_budget or f._cached_bytes == 0


def test_other_python_threads_run_while_getvar_computes(tmp_path):
    p = tmp_path / "big.nc"
    build_model_file(p, nx=80, ny=60, nz=30, nt=1, sounding=standard_sounding(), noise=0.3)
    f = _tarq.TarqFile(str(p))
    window = []
    ticks = []
    done = threading.Event()

    def on_call(frame, event, arg):
        # The instants the native getvar is entered and left, taken with the lock held.
        if event in ("c_call", "c_return") and getattr(arg, "__name__", "") == "getvar":
            window.append(time.perf_counter())

    def compute():
        sys.setprofile(on_call)
        try:
            f.getvar("sbcape", 0)
        finally:
            sys.setprofile(None)
            done.set()

    th = threading.Thread(target=compute)
    th.start()
    while not done.is_set():
        ticks.append(time.perf_counter())
    th.join()
    start, end = window
    # While a call holds the lock no other Python code runs through the
    # computation (a collection while the result is built may let some run),
    # so ticks in the middle of the call show that it was released.
    width = end - start
    inside = [x for x in ticks if start + 0.2 * width < x < end - 0.2 * width]
    assert len(inside) > 10


def test_a_file_reopened_by_another_thread_keeps_a_running_computation_whole(paths, serial):
    f = _tarq.TarqFile(paths[0])
    f.cache_budget = 0

    def compute():
        for _ in range(5):
            got = f.getvar("mlcape", 1)
            assert any(np.array_equal(got, serial[p, "mlcape", 1]) for p in paths)

    def reopen():
        for k in range(20):
            f.__init__(paths[k % 2])

    run_threads([compute, compute, reopen])
    assert f.path == paths[1]
