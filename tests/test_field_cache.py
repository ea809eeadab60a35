"""The bounded field cache: its byte budget holds over a long loop of times,
results do not depend on the budget, and several threads share one file."""

import threading

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, standard_sounding

NT = 8
NX, NY, NZ = 9, 7, 12
FIELD_BYTES = NX * NY * NZ * 8
ROWS = ["tc", "theta_e", "height_agl", "ua", "sbcape", "cape2d", "lcl", "pw"]


@pytest.fixture(scope="module")
def path(tmp_path_factory):
    snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
    p = tmp_path_factory.mktemp("cache") / "m.nc"
    build_model_file(p, nx=NX, ny=NY, nz=NZ, nt=NT, sounding=snd, noise=0.3, seed=5)
    return str(p)


def every_result(f):
    return {(name, t): f.getvar(name, t) for t in range(NT) for name in ROWS}


@pytest.fixture(scope="module")
def reference(path):
    """Every row at every time, with no budget: nothing is ever evicted."""
    f = _tarq.TarqFile(path)
    f.cache_budget = 1 << 62
    return every_result(f)


@pytest.mark.parametrize("budget", [None, 0, 1, 3 * FIELD_BYTES], ids=["automatic", "zero", "one-byte", "three-fields"])
def test_results_do_not_depend_on_the_budget_and_the_bound_holds(path, reference, budget):
    f = _tarq.TarqFile(path)
    f.cache_budget = budget
    for t in range(NT):
        for name in ROWS:
            np.testing.assert_array_equal(f.getvar(name, t), reference[name, t], err_msg=f"{name} at {t}")
            assert f._cached_bytes <= f.cache_budget
    if budget is None:
        # Twelve fields of the largest size cached: every base field of one time.
        assert f.cache_budget == 12 * FIELD_BYTES


def test_automatic_budget_keeps_a_time_loop_flat_and_reuses_one_time(path):
    f = _tarq.TarqFile(path)
    held = []
    for t in range(NT):
        f.getvar("sbcape", t)
        held.append(f._cached_bytes)
    assert max(held) <= f.cache_budget
    # Every field sbcape uses at the latest time is still cached (the eight
    # 3-D base fields and QVAPOR; the terrain, PSFC, T2, Q2 and the four parcel
    # results), so a repeated request computes nothing.
    one_time = 9 * FIELD_BYTES + 8 * NX * NY * 8
    f.cache_budget = one_time
    assert f._cached_bytes == one_time
    f.getvar("sbcape", NT - 1)
    assert f._cached_bytes == one_time


def test_lowering_the_budget_evicts_at_once_and_none_restores_the_automatic_one(path):
    f = _tarq.TarqFile(path)
    for t in range(3):
        f.getvar("tc", t)
    assert f._cached_bytes > 0
    f.cache_budget = 0
    assert f._cached_bytes == 0 and f.cache_budget == 0
    f.cache_budget = None
    f.getvar("tc", 0)
    assert f.cache_budget == 12 * FIELD_BYTES and f._cached_bytes > 0


@pytest.mark.parametrize("value, error", [(-1, ValueError), (-(1 << 70), ValueError), ("1", TypeError),
                                          (1.5, TypeError), (True, TypeError)])
def test_budget_must_be_a_non_negative_int_or_none(path, value, error):
    f = _tarq.TarqFile(path)
    with pytest.raises(error, match="cache_budget"):
        f.cache_budget = value
    with pytest.raises(TypeError, match="cache_budget"):
        del f.cache_budget
    f.cache_budget = 1 << 80  # beyond memory: no budget at all
    assert f.cache_budget == (1 << 64) - 1


@pytest.mark.parametrize("budget", [None, 2 * FIELD_BYTES], ids=["automatic", "tight"])
def test_eight_threads_on_one_file_agree_with_serial_results(path, reference, budget):
    f = _tarq.TarqFile(path)
    f.cache_budget = budget
    failures = []

    def work(offset):
        try:
            for i in range(2 * NT):
                t = (i + offset) % NT
                name = ROWS[(i + offset) % len(ROWS)]
                np.testing.assert_array_equal(f.getvar(name, t), reference[name, t])
        except Exception as exc:  # reported by the main thread
            failures.append(exc)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(8)]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    assert not failures
    assert f._cached_bytes <= f.cache_budget
