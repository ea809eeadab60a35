"""Small lakes in the 2-m fields: the lake mask from LU_INDEX and the filling of
lake points from the surrounding land, through the t2 row and lake_interp."""

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file

NY, NX, NT = 6, 7, 2

# Lake A: 3 cells of category 16.7 (truncated to 16), joined through a corner.
# Lake B: 4 cells of category 21. The 15.9 cells are land.
LAND_USE = np.array(
    [
        [2, 2, 2, 2, 2, 2, 2],
        [2, 16.7, 2, 2, 2, 15.9, 2],
        [2, 2, 16.7, 16.7, 2, 15.9, 2],
        [2, 2, 2, 2, 2, 2, 2],
        [2, 2, 2, 2, 21, 21, 2],
        [2, 2, 2, 2, 21, 21, 2],
    ]
)
LAKE_A = (LAND_USE > 16) & (LAND_USE < 17)
LAKE_B = LAND_USE == 21


def reference_fill(field, mask):
    """Inverse-distance mean over the nearest square ring holding land."""
    out = field.copy()
    for j, i in zip(*np.nonzero(mask)):
        for r in range(1, max(NX, NY) + 1):
            total = weighted = 0.0
            for dj in range(-r, r + 1):
                for di in range(-r, r + 1) if abs(dj) == r else (-r, r):
                    y, x = j + dj, i + di
                    if 0 <= y < NY and 0 <= x < NX and not mask[y, x]:
                        w = 1.0 / np.sqrt(dj * dj + di * di)
                        total += w
                        weighted += w * field[y, x]
            if total > 0:
                out[j, i] = weighted / total
                break
    return out


@pytest.fixture(scope="module")
def lakes(tmp_path_factory):
    rng = np.random.default_rng(3)
    t2 = 290.0 + rng.uniform(-2.0, 2.0, (NT, NY, NX))
    t2[:, LAKE_A | LAKE_B] = 280.0
    path = tmp_path_factory.mktemp("lakes") / "lakes.nc"
    mf = build_model_file(path, nx=NX, ny=NY, nz=4, nt=NT, dx=1000.0, dy=1000.0,
                          lu_index=LAND_USE, overrides={"T2": t2})
    return mf, mf.variables["T2"].astype(np.float64)


@pytest.mark.parametrize(
    "lake_interp, filled",
    [
        (None, np.zeros_like(LAKE_A)),
        (0.0, np.zeros_like(LAKE_A)),
        (-3.0, np.zeros_like(LAKE_A)),
        (3.0, np.zeros_like(LAKE_A)),  # 3 cells is not strictly fewer than 3
        (4.0, LAKE_A),                 # 4 cells is not strictly fewer than 4
        (4.5, LAKE_A),
        (5.0, LAKE_A | LAKE_B),
    ],
)
def test_lakes_smaller_than_the_area_are_filled(lakes, lake_interp, filled):
    mf, t2 = lakes
    f = _tarq.TarqFile(mf.path)
    for t in range(NT):
        got = f.getvar("t2", t, lake_interp=lake_interp)
        np.testing.assert_allclose(got, reference_fill(t2[t], filled), rtol=1e-15, atol=0)
        np.testing.assert_array_equal(got[~filled], t2[t][~filled])


def test_cell_area_comes_from_the_grid_spacing(tmp_path):
    # 2 km cells are 4 km2: lake A (3 cells) needs room for 4 cells, 16 km2.
    t2 = np.where(LAKE_A, 280.0, 290.0)
    mf = build_model_file(tmp_path / "coarse.nc", nx=NX, ny=NY, nz=4, nt=1, dx=2000.0, dy=2000.0,
                          lu_index=LAND_USE, overrides={"T2": t2})
    f = _tarq.TarqFile(mf.path)
    np.testing.assert_array_equal(f.getvar("t2", lake_interp=15.9), t2)
    np.testing.assert_allclose(f.getvar("t2", lake_interp=16.0)[LAKE_A], 290.0, rtol=1e-15)


def test_short_land_use_is_a_dimension_mismatch(tmp_path):
    mf = build_model_file(tmp_path / "short.nc", nx=NX, ny=NY, nz=4, nt=1,
                          overrides={"LU_INDEX": np.full((1, 2, 2), 16.0)})
    f = _tarq.TarqFile(mf.path)
    with pytest.raises(RuntimeError) as e:
        f.getvar("t2", lake_interp=10.0)
    assert str(e.value) == (
        f"dimension mismatch: LU_INDEX holds 4 values for time index 0 where its grid [{NY}, {NX}] needs {NY * NX}"
    )
    assert f.getvar("t2").shape == (NY, NX)
