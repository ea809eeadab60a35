"""Decoded variables and the ingredients the composites share (parcel
results, shear, helicity) are cached per time under every option that changes
them: results are the same whatever the budget and whatever came first."""

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, weisman_klemp_sounding

NT = 2

# Ingredients and the composites built from them, with option variants that
# must never share a cached field with the plain request.
INGREDIENTS = [
    ("sbcape", {}), ("mlcape", {}), ("mucape", {}), ("mlcape", {"top_m": 3000.0}), ("cape2d", {}),
    ("lcl", {"parcel_type": "ml"}), ("srh1", {}), ("srh1", {"storm_motion": (7.0, 2.0)}),
    ("srh", {"depth_m": 3000.0}), ("srh3", {}), ("effective_srh", {}),
    ("effective_srh", {"storm_motion": (7.0, 2.0)}), ("shear_0_6km", {}),
    ("bulk_shear", {"bottom_m": 1000.0, "top_m": 6000.0}), ("bunkers_rm", {}), ("qvapor_rows", {}),
]
COMPOSITES = [
    ("stp", {}), ("scp", {}), ("stp", {"layer_type": "effective"}),
    ("stp_effective", {"storm_motion": (7.0, 2.0)}), ("ehi", {}), ("ehi", {"depth_m": 3000.0}),
    ("ship", {}), ("bri", {}),
]
# Rows that read QVAPOR directly, so that the decoded variable is shared.
QVAPOR_ROWS = [("mixing_ratio", {}), ("td", {}), ("pw", {})]


def expand(requests):
    out = []
    for name, options in requests:
        out.extend(QVAPOR_ROWS if name == "qvapor_rows" else [(name, options)])
    return out


@pytest.fixture(scope="module")
def path(tmp_path_factory):
    p = tmp_path_factory.mktemp("ingredients") / "m.nc"
    build_model_file(p, nx=8, ny=7, nz=20, nt=NT, sounding=weisman_klemp_sounding(), noise=0.3, seed=3)
    return str(p)


@pytest.fixture(scope="module")
def reference(path):
    """Each request on a file that caches nothing: every field computed afresh."""
    f = _tarq.TarqFile(path)
    f.cache_budget = 0
    return [f.getvar(name, t, **options) for t in range(NT) for name, options in expand(INGREDIENTS + COMPOSITES)]


@pytest.mark.parametrize("budget", [0, 1, None, 1 << 62], ids=["zero", "one-byte", "automatic", "unbounded"])
@pytest.mark.parametrize("composites_first", [False, True], ids=["ingredients-first", "composites-first"])
def test_results_are_the_same_whatever_the_budget_and_the_order(path, reference, budget, composites_first):
    f = _tarq.TarqFile(path)
    f.cache_budget = budget
    requests = expand(INGREDIENTS + COMPOSITES)
    order = list(range(len(requests)))
    if composites_first:
        order = order[len(expand(INGREDIENTS)):] + order[:len(expand(INGREDIENTS))]
    got = {}
    for t in range(NT):
        for i in order:
            name, options = requests[i]
            got[t * len(requests) + i] = f.getvar(name, t, **options)
            assert f._cached_bytes <= f.cache_budget
    for k, want in enumerate(reference):
        name, options = requests[k % len(requests)]
        np.testing.assert_array_equal(got[k], want, err_msg=f"{name} {options} at time {k // len(requests)}")


def test_a_composite_after_its_ingredients_reuses_them(path):
    f = _tarq.TarqFile(path)
    f.cache_budget = 1 << 62
    for name in ("sbcape", "mucape", "srh1", "srh3", "shear_0_6km"):
        f.getvar(name, 0)
    held = f._cached_bytes
    f.getvar("stp", 0)
    f.getvar("scp", 0)
    # Nothing is decoded or lifted again, so nothing new is cached.
    assert f._cached_bytes == held
