"""Stability indices and downdraft CAPE against MetPy 1.7 on one-column files,
and on grids (with entraining CAPE) column by column.

tarq lifts parcels along Wobus's fit of the moist adiabats (the curve of its
CAPE rows); MetPy integrates the pseudoadiabatic lapse rate. The two part by
some tenths of a kelvin between 850 and 500 hPa, so the lifted and Showalter
indices are held to 0.5 K. DCAPE integrates that difference over the
descent from at most 500 hPa, so it is held to Rd * 0.4 K * ln(p_sfc / 500 hPa)
(about 80 J/kg). The totals take no adiabat: only the interpolation to 850,
700 and 500 hPa between the levels differs, held to 0.02 K.
"""

import math

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file, oax_sounding, one_column_file, weisman_klemp_sounding

mpcalc = pytest.importorskip("metpy.calc")
from metpy.units import units  # noqa: E402

TOLERANCE = {"lifted_index": 0.5, "showalter": 0.5, "k_index": 0.02, "total_totals": 0.02,
             "vertical_totals": 0.02, "cross_totals": 0.02}


def metpy_values(snd) -> dict[str, float]:
    p, t, td = snd.p_hpa * units.hPa, snd.t_c * units.degC, snd.td_c * units.degC
    profile = mpcalc.parcel_profile(p, t[0], td[0])
    values = {
        "lifted_index": mpcalc.lifted_index(p, t, profile).m_as("K"),
        "showalter": mpcalc.showalter_index(p, t, td).m_as("K"),
        "k_index": mpcalc.k_index(p, t, td).m_as("degC"),
        "total_totals": mpcalc.total_totals_index(p, t, td).m_as("delta_degC"),
        "vertical_totals": mpcalc.vertical_totals(p, t).m_as("delta_degC"),
        "cross_totals": mpcalc.cross_totals(p, t, td).m_as("delta_degC"),
        "dcape": mpcalc.downdraft_cape(p, t, td)[0].m_as("J/kg"),
    }
    return {name: float(np.ravel(v)[0]) for name, v in values.items()}


def check_against_metpy(f, snd):
    expected = metpy_values(snd)
    for name, tolerance in TOLERANCE.items():
        assert f.getvar(name)[0, 0] == pytest.approx(expected[name], abs=tolerance), name
    dcape_tolerance = 287.04 * 0.4 * math.log(snd.p_hpa[0] / 500.0)
    assert f.getvar("dcape")[0, 0] == pytest.approx(expected["dcape"], abs=dcape_tolerance)


@pytest.mark.parametrize("qv_max", [0.011, 0.014, 0.016])
def test_weisman_klemp_against_metpy(tmp_path, qv_max):
    snd = weisman_klemp_sounding(qv_max_kg_kg=qv_max, step_m=250.0)
    check_against_metpy(_tarq.TarqFile(one_column_file(tmp_path / "wk.nc", snd).path), snd)


def test_omaha_against_metpy(tmp_path, reference_sounding_csv):
    snd = oax_sounding(reference_sounding_csv)
    check_against_metpy(_tarq.TarqFile(one_column_file(tmp_path / "oax.nc", snd).path), snd)


def test_aliases_units_and_parcels(tmp_path):
    snd = weisman_klemp_sounding(step_m=250.0)
    f = _tarq.TarqFile(one_column_file(tmp_path / "wk.nc", snd).path)
    for name, alias in (("lifted_index", "li"), ("showalter", "ssi"), ("total_totals", "tt"),
                        ("dcape", "downdraft_cape")):
        np.testing.assert_array_equal(f.getvar(alias), f.getvar(name))
    assert f.getvar("k_index", units="K")[0, 0] == pytest.approx(f.getvar("k_index")[0, 0] + 273.15)
    # The custom parcel at the surface air is the surface parcel.
    p, t, td = snd.p_hpa[0], snd.t_c[0], snd.td_c[0]
    sb = f.getvar("li")[0, 0]
    custom = f.getvar("li", parcel_type="sb", parcel_pressure=p, parcel_temperature=t, parcel_dewpoint=td)[0, 0]
    assert custom == pytest.approx(sb, abs=0.01)
    # The most unstable parcel is at least as buoyant at 500 hPa as the others.
    ml, mu = f.getvar("li", parcel_type="ml")[0, 0], f.getvar("li", parcel_type="mu")[0, 0]
    assert ml != sb
    assert mu <= min(sb, ml) + 1e-9


def test_levels_outside_the_column_give_nan(tmp_path):
    """A surface above 850 hPa leaves the Showalter index and the totals
    undefined; a top below 500 hPa every 500 hPa index; a surface above 700
    hPa downdraft CAPE."""
    full = weisman_klemp_sounding(step_m=250.0)
    high = [name for name in TOLERANCE if name != "lifted_index"]
    cases = [(full.p_hpa <= 800.0, high, ["lifted_index", "dcape"]),
             (full.p_hpa <= 680.0, high + ["dcape"], ["lifted_index"]),
             (full.p_hpa >= 520.0, list(TOLERANCE) + ["dcape"], [])]
    for i, (keep, nan_rows, finite_rows) in enumerate(cases):
        snd = type(full)(*(a[keep] for a in (full.p_hpa, full.t_c, full.td_c, full.u_ms, full.v_ms, full.z_m)))
        f = _tarq.TarqFile(one_column_file(tmp_path / f"cut{i}.nc", snd).path)
        for name in nan_rows:
            assert math.isnan(f.getvar(name)[0, 0]), (i, name)
        for name in finite_rows:
            assert math.isfinite(f.getvar(name)[0, 0]), (i, name)


ROWS = ("lifted_index", "showalter", "k_index", "total_totals", "vertical_totals", "cross_totals", "dcape", "ecape")


@pytest.fixture(scope="module")
def grid(tmp_path_factory):
    path = tmp_path_factory.mktemp("grid") / "grid.nc"
    return _tarq.TarqFile(build_model_file(path, nx=9, ny=7, nz=30, nt=1, noise=0.4, seed=3, terrain=800.0).path)


def test_grid_equals_column_by_column(grid, tmp_path):
    """Each grid column, written as a file of its own, gives the grid's value."""
    import netCDF4

    values = {name: grid.getvar(name) for name in ROWS}
    with netCDF4.Dataset(grid.path) as src:
        for j, i in ((0, 0), (3, 4), (6, 8)):
            path = tmp_path / f"col_{j}_{i}.nc"
            with netCDF4.Dataset(path, "w") as dst:
                dst.setncatts({k: src.getncattr(k) for k in src.ncattrs()})
                for name, dim in src.dimensions.items():
                    size = len(dim)
                    if name.startswith("west_east"):
                        size = 2 if name.endswith("stag") else 1
                    if name.startswith("south_north"):
                        size = 2 if name.endswith("stag") else 1
                    dst.createDimension(name, size)
                for name, var in src.variables.items():
                    out = dst.createVariable(name, var.dtype, var.dimensions)
                    index = tuple(slice(j, j + (2 if d.endswith("stag") else 1)) if d.startswith("south_north")
                                  else slice(i, i + (2 if d.endswith("stag") else 1)) if d.startswith("west_east")
                                  else slice(None) for d in var.dimensions)
                    out[:] = var[index]
            column = _tarq.TarqFile(str(path))
            for name in ROWS:
                np.testing.assert_array_equal(column.getvar(name)[0, 0], values[name][j, i], err_msg=name)


def test_parallel_equals_serial(grid, workers):
    assert (grid.getvar("ecape") > 0).any()
    workers(lambda: [grid.getvar(name) for name in ROWS] + [grid.getvar("li", parcel_type="mu")])
