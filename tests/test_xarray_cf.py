"""CF metadata of tarq.xarray results, read back by pyproj, MetPy and pint-xarray."""

from datetime import datetime, timedelta

import numpy as np
import pytest

import tarq
from tarq.testing import PROJECTIONS, build_model_file, grid_lat_lon
from tarq.xarray import open_dataset, open_getvar
from tarq.xarray._cf import cf_units

xr = pytest.importorskip("xarray")
pyproj = pytest.importorskip("pyproj")

NX, NY, DX = 8, 6, 9000.0
CENTRES = {"lambert": (38.5, -97.0), "polar": (71.0, -150.0), "mercator": (22.0, -75.0), "latlon": (10.0, 30.0)}
NAMES = ["t2", "slp", "td", "uvmet10", "pvo", "lapse_rate_0_3km", "stp"]


@pytest.fixture(scope="module", params=sorted(CENTRES))
def projected(request, tmp_path_factory):
    path = tmp_path_factory.mktemp("cf") / f"{request.param}.nc"
    build_model_file(path, nx=NX, ny=NY, nz=8, nt=2, dx=DX, dy=DX, projection=PROJECTIONS[request.param],
                     center_lat_lon=CENTRES[request.param])
    return str(path)


def test_results_carry_the_grid_mapping(projected):
    proj = tarq.projection(tarq.TarqFile(projected))
    ds = open_dataset(projected, NAMES)
    assert ds["XLAT"].dims == ("south_north", "west_east")       # the grid stays put
    np.testing.assert_array_equal(ds["x"], proj.x)
    np.testing.assert_array_equal(ds["y"], proj.y)
    assert ds["x"].dims == ("west_east",) and ds["y"].dims == ("south_north",)
    if proj.map_proj == 6:
        assert ds["x"].attrs["standard_name"] == "longitude" and ds["y"].attrs["units"] == "degree_north"
    else:
        assert ds["x"].attrs == {"standard_name": "projection_x_coordinate", "units": "m", "axis": "X"}
        assert ds["y"].attrs["standard_name"] == "projection_y_coordinate" and ds["y"].attrs["units"] == "m"
    assert ds["crs"].shape == () and ds["crs"].attrs == proj.cf
    assert pyproj.CRS.from_cf(ds["crs"].attrs) == proj.pyproj_crs
    for name in NAMES:
        assert ds[name].attrs["grid_mapping"] == "crs"


def test_metpy_reads_the_crs_and_units(projected):
    pytest.importorskip("metpy")
    from metpy.units import units

    proj = tarq.projection(tarq.TarqFile(projected))
    parsed = open_dataset(projected, NAMES).metpy.parse_cf()
    for name in NAMES:
        assert parsed[name].metpy.pyproj_crs == proj.pyproj_crs
    if proj.map_proj != 6:
        np.testing.assert_array_equal(parsed["t2"].metpy.x, proj.x)
        assert parsed["t2"].metpy.x.metpy.units == units.m
    pvu = units.Quantity(1.0, parsed["pvo"].metpy.units)
    assert pvu.to("K m2 kg-1 s-1").magnitude == pytest.approx(1e-6)
    lapse = units.Quantity(6.5, parsed["lapse_rate_0_3km"].metpy.units)
    assert lapse.to("K/m").magnitude == pytest.approx(0.0065)       # a difference, not 279.65 K per km


# Catalogue unit texts whose quantity the attribute must spell differently.
SPECIAL_UNITS = [("pvo", "PVU", "K m2 kg-1 s-1", 1e-6), ("lapse_rate", "degC/km", "K/m", 1e-3),
                 ("lapse_rate", "degF/km", "K/m", 1e-3 / 1.8), ("stp", "dimensionless", "", 1.0),
                 ("lat", "degrees", "degree", 1.0), ("wdir", "degrees", "degree", 1.0)]


@pytest.mark.parametrize("name, text, target, factor", SPECIAL_UNITS)
def test_special_units_mean_the_right_quantity(name, text, target, factor):
    pytest.importorskip("metpy")
    from metpy.units import units

    assert units.Quantity(1.0, units.parse_units(cf_units(text, name))).to(target).magnitude == \
        pytest.approx(factor)


def test_every_catalogue_unit_parses_with_metpy_and_pint_xarray():
    pytest.importorskip("metpy")
    pint_xarray = pytest.importorskip("pint_xarray")  # noqa: F841 - registers the .pint accessor
    from metpy.units import units

    special = {t for _, t, _, _ in SPECIAL_UNITS}
    for name, _, text in tarq.list_variables():
        parsed = units.parse_units(cf_units(text, name))
        if text not in special:
            assert parsed == units.parse_units(text), name
        da = xr.DataArray(np.ones(1), dims="x", attrs={"units": cf_units(text, name)})
        assert da.pint.quantify(unit_registry=units).pint.units == parsed, name


def test_units_and_standard_names_on_results(projected):
    ds = open_dataset(projected, NAMES + ["tc"], units=None)
    expected = {"t2": ("K", "air_temperature"), "slp": ("hPa", "air_pressure_at_mean_sea_level"),
                "td": ("degC", "dew_point_temperature"), "pvo": ("uK m2 kg-1 s-1", "ertel_potential_vorticity"),
                "lapse_rate_0_3km": ("K/km", None), "stp": ("1", None), "tc": ("degC", "air_temperature")}
    for name, (unit, standard) in expected.items():
        assert ds[name].attrs["units"] == unit and ds[name].attrs.get("standard_name") == standard, name
    assert ds["pvo"].attrs["catalogue_units"] == "PVU" and ds["lapse_rate_0_3km"].attrs["catalogue_units"] == "degC/km"
    assert list(ds["standard_name"].values) == ["eastward_wind", "northward_wind"]
    assert open_getvar(projected, "tc", units="degF").attrs["units"] == "degF"


def test_moving_nest_over_two_files_has_per_time_coordinates(tmp_path):
    proj_attrs = PROJECTIONS["mercator"]
    centre = CENTRES["mercator"]
    start = datetime(2024, 5, 20, 18)
    first = build_model_file(tmp_path / "n1.nc", nx=NX, ny=NY, nz=6, nt=2, dx=DX, dy=DX, projection=proj_attrs,
                             center_lat_lon=centre, nest_move_per_time=(3.0, 1.0))
    lat, lon = grid_lat_lon(proj_attrs, centre, NX, NY, DX, DX, shift=(6.0, 2.0))
    second = build_model_file(tmp_path / "n2.nc", nx=NX, ny=NY, nz=6, nt=1, dx=DX, dy=DX, projection=proj_attrs,
                              center_lat_lon=centre, overrides={"XLAT": lat, "XLONG": lon},
                              start_time=(start + timedelta(hours=2)).strftime("%Y-%m-%d_%H:%M:%S"))
    da = open_getvar([second.path, first.path], "slp")
    assert da["XLAT"].dims == ("Time", "south_north", "west_east") and da["x"].dims == ("Time", "west_east")
    files = [(first.path, 0), (first.path, 1), (second.path, 0)]
    for t, (path, index) in enumerate(files):
        f = tarq.TarqFile(path)
        np.testing.assert_array_equal(da["XLAT"][t], f.getvar("lat", timeidx=index))
        np.testing.assert_array_equal(da["XLONG"][t], f.getvar("lon", timeidx=index))
        np.testing.assert_allclose(da["x"][t] - da["x"][0], 3 * DX * t, atol=1.0)
        np.testing.assert_allclose(da["y"][t] - da["y"][0], DX * t, atol=1.0)
        i, j = tarq.ll_to_ij(f, da["XLAT"][t, 2, 3], da["XLONG"][t, 2, 3], timeidx=index)
        np.testing.assert_allclose((i, j), (3.0, 2.0), atol=1e-3)
    assert pyproj.CRS.from_cf(da["crs"].attrs) == tarq.projection(tarq.TarqFile(first.path)).pyproj_crs
