"""Cross sections, lines and soundings between grid columns."""

import numpy as np
import pytest

import tarq
from tarq import sections
from tarq.testing import build_model_file


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    mf = build_model_file(tmp_path_factory.mktemp("sections") / "m.nc", nx=7, ny=6, nz=12, nt=2, noise=0.5)
    return tarq.TarqFile(mf.path)


@pytest.mark.parametrize("i, j, expect", [
    (2.0, 3.0, {2 + 3 * 5: 1.0}),                                   # at a column
    (2.5, 3.5, {17: 0.25, 18: 0.25, 22: 0.25, 23: 0.25}),           # cell centre
    (4.0, 4.0, {24: 1.0}),                                          # the far corner
    (0.25, 0.0, {0: 0.75, 1: 0.25}),                                # on the edge
])
def test_bilinear_weights(i, j, expect):
    w = sections.bilinear_weights(np.array([i]), np.array([j]), 5, 5)
    got = {}
    for k in range(4):
        col = int(w.columns[w.index[k, 0]])
        got[col] = got.get(col, 0.0) + float(w.weight[k, 0])
    assert {c: v for c, v in got.items() if v} == pytest.approx(expect)


def test_nan_in_a_weighted_column_only():
    w = sections.bilinear_weights(np.array([0.0, 0.5]), np.array([0.0, 0.0]), 3, 2)
    values = np.full(6, 1.0)
    values[1] = np.nan
    out = w.combine(values[w.columns])
    assert out[0] == 1.0 and np.isnan(out[1])


def test_section_along_a_grid_row_is_that_row(model):
    levels = [500.0, 1500.0, 4000.0]
    for name in ("tc", "uvmet"):
        xs = sections.section_ij(model, name, (0.0, 3.0), (6.0, 3.0), steps=7, levels=levels,
                                 vertical="height_agl")
        full = tarq.vinterp(model, name, "height_agl", levels)
        np.testing.assert_allclose(xs.values, full[..., 3, :], rtol=1e-13)
    np.testing.assert_allclose(xs.distance, np.arange(7) * 3000.0)
    np.testing.assert_allclose(xs.terrain, model.getvar("terrain")[3])
    np.testing.assert_allclose(xs.lat, model.getvar("lat")[3], rtol=1e-12)
    np.testing.assert_allclose(xs.lon, model.getvar("lon")[3], rtol=1e-12)


def test_default_levels_span_the_coordinate_along_the_line(model):
    xs = sections.section_ij(model, "theta", (0.5, 0.5), (5.5, 4.0), steps=11, vertical="pressure")
    assert xs.values.shape == (100, 11) and xs.levels.size == 100
    p = model.getvar("pressure", units="hPa")
    assert p.min() <= xs.levels[0] < xs.levels[-1] <= p.max()
    np.testing.assert_allclose(xs.distance[-1], np.hypot(5.0 * 3000.0, 3.5 * 3000.0))


def test_line_of_a_2d_row(model):
    got = sections.line_ij(model, "t2", (1.0, 0.0), (1.0, 5.0), steps=6)
    np.testing.assert_allclose(got.values, model.getvar("t2")[:, 1])
    with pytest.raises(ValueError, match="on model levels"):
        sections.line_ij(model, "tc", (1.0, 0.0), (1.0, 5.0))
    with pytest.raises(ValueError, match="steps"):
        sections.line_ij(model, "t2", (1.0, 0.0), (1.0, 5.0), steps=1)


@pytest.mark.parametrize("i, j", [(0, 0), (3, 2), (6, 5)])
def test_sounding_at_a_grid_point_is_the_column(model, i, j):
    s = sections.sounding_ij(model, float(i), float(j), timeidx=1)
    col = lambda name, **o: np.asarray(model.getvar(name, 1, **o))[..., j, i]  # noqa: E731
    np.testing.assert_allclose(s.pressure_hpa, np.r_[col("PSFC") / 100.0, col("pressure", units="hPa")])
    np.testing.assert_allclose(s.height_m, np.r_[col("terrain"), col("height")])
    np.testing.assert_allclose(s.temperature_c, np.r_[col("t2") - 273.15, col("tc")])
    np.testing.assert_allclose(s.dewpoint_c, np.r_[col("dp2m"), col("td")])
    uv, uv10 = col("uvmet"), col("uvmet10")
    np.testing.assert_allclose(s.u_ms, np.r_[uv10[0], uv[0]])
    np.testing.assert_allclose(s.v_ms, np.r_[uv10[1], uv[1]])
    assert np.all(np.diff(s.pressure_hpa) < 0) and np.all(np.diff(s.height_m) > 0)


def test_cross_section_by_latitude_and_longitude(model):
    lat, lon = model.getvar("lat"), model.getvar("lon")
    start, end = (lat[3, 0], lon[3, 0]), (lat[3, 6], lon[3, 6])
    xs = tarq.cross_section(model, "wspd", start, end, steps=13, levels=[1000.0, 3000.0], vertical="height")
    ref = sections.section_ij(model, "wspd", (0.0, 3.0), (6.0, 3.0), steps=13, levels=[1000.0, 3000.0])
    np.testing.assert_allclose(xs.values, ref.values, rtol=1e-6, atol=1e-6)
    np.testing.assert_allclose(xs.lat, ref.lat, atol=1e-6)
    s = tarq.sounding(model, lat[2, 4], lon[2, 4])
    np.testing.assert_allclose(s.temperature_c[1:], model.getvar("tc")[:, 2, 4], atol=1e-5)
    for where, point in (("start", (10.0, lon[0, 0])), ("end", (lat[0, 0], lon[0, 0] + 40.0))):
        args = (point, end) if where == "start" else (start, point)
        with pytest.raises(ValueError, match=f"{where} .* outside the domain"):
            tarq.cross_section(model, "wspd", *args)
    with pytest.raises(ValueError, match="point .* outside the domain"):
        tarq.sounding(model, 10.0, 10.0)


def test_cli_cross_section_and_sounding(model, tmp_path, capsys):
    import io

    from tarq import cli
    lat, lon = model.getvar("lat"), model.getvar("lon")
    cross = f"{lat[1, 0]},{lon[1, 0]}:{lat[4, 6]},{lon[4, 6]}"
    png = tmp_path / "xs.png"

    def run(*argv):
        out = io.StringIO()
        return cli.run(cli.build_parser().parse_args(list(argv)), out), out.getvalue()

    status, text = run(model.path, "theta", "--cross", cross, "--vertical", "pressure", "--plot", str(png))
    assert status == 0 and "Cross section of theta" in text and png.stat().st_size > 0
    status, text = run(model.path, "--sounding", f"{lat[2, 2]},{lon[2, 2]}")
    assert status == 0 and "Sounding at" in text
    assert cli.main([model.path, "theta", "--cross", "1,2"]) == 2
    assert cli.main([model.path, "theta", "--cross", "10,-96:11,-96"]) == 2
    assert "outside the domain" in capsys.readouterr().err


@pytest.mark.parametrize("chunks", [None, {"Time": 1}])
def test_open_cross_section_over_files(tmp_path, chunks):
    pytest.importorskip("xarray")
    if chunks:
        pytest.importorskip("dask")
    from tarq.xarray import open_cross_section
    paths = [build_model_file(tmp_path / f"m{k}.nc", nx=7, ny=6, nz=10, nt=2, noise=0.3, seed=k,
                              start_time=f"2024-05-20_{18 + 2 * k}:00:00").path for k in range(2)]
    f = tarq.TarqFile(paths[0])
    lat, lon = f.getvar("lat"), f.getvar("lon")
    start, end = (lat[1, 0], lon[1, 0]), (lat[4, 6], lon[4, 6])
    da = open_cross_section(paths, "uvmet", start, end, steps=9, vertical="pressure", chunks=chunks)
    assert da.dims == ("wind_component", "Time", "level", "distance") and da.shape == (2, 4, 100, 9)
    last = tarq.cross_section(tarq.TarqFile(paths[1]), "uvmet", start, end, timeidx=1, steps=9,
                              vertical="pressure", levels=da.level.values)
    np.testing.assert_allclose(da.values[:, 3], last.values)
    np.testing.assert_allclose(da.terrain, last.terrain)


def test_open_getvar_theta_levels_and_extrapolate(tmp_path):
    pytest.importorskip("xarray")
    from tarq.xarray import open_getvar
    path = build_model_file(tmp_path / "m.nc", nx=5, ny=4, nz=10, nt=2).path
    da = open_getvar(path, "pressure", levels=[305.0, 320.0], vertical="theta", units="hPa")
    f = tarq.TarqFile(path)
    np.testing.assert_array_equal(da.values[1], tarq.vinterp(f, "pressure", "theta", [305.0, 320.0], timeidx=1,
                                                             units="hPa"))
    deep = open_getvar(path, "temp", levels=[1100.0], vertical="pressure", extrapolate=True)
    assert np.isfinite(deep.values).all()
    assert np.isnan(open_getvar(path, "temp", levels=[1100.0], vertical="pressure").values).all()


@pytest.mark.filterwarnings("ignore::DeprecationWarning")  # MetPy's use of matplotlib
def test_cli_skew_t_with_metpy(model, tmp_path):
    pytest.importorskip("metpy")
    import io

    from tarq import cli
    lat, lon = model.getvar("lat"), model.getvar("lon")
    png = tmp_path / "skewt.png"
    args = cli.build_parser().parse_args([model.path, "--sounding", f"{lat[2, 2]},{lon[2, 2]}", "--plot", str(png)])
    assert cli.run(args, io.StringIO()) == 0 and png.stat().st_size > 0
