from pathlib import Path

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import reference_sounding_path

CHECKOUT = Path(__file__).resolve().parent.parent


@pytest.fixture(scope="session")
def reference_sounding_csv() -> Path:
    """The observed Omaha sounding's file. It is kept beside the repository,
    not in it, so a test that needs it is skipped where it is absent."""
    path = reference_sounding_path(CHECKOUT)
    if not path.is_file():
        pytest.skip(f"observed reference sounding absent: {path} (kept in ../shared/meteo_ref beside the checkout)")
    return path


@pytest.fixture(params=(2, 7), ids=lambda n: f"{n}-workers")
def workers(request):
    """Checks that a computation gives the same arrays on one worker and on
    `request.param` workers (7 splits the columns unevenly). Call it with a
    function that returns a list of arrays."""

    def same_as_serial(compute):
        try:
            _tarq._set_workers(1)
            serial = compute()
            _tarq._set_workers(request.param)
            parallel = compute()
        finally:
            _tarq._set_workers(0)
        assert len(serial) == len(parallel)
        for i, (a, b) in enumerate(zip(serial, parallel)):
            np.testing.assert_array_equal(b, a, err_msg=f"result {i} on {request.param} workers")

    return same_as_serial
