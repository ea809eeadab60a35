"""Accumulated precipitation rows and their totals over windows of hours,
within a file and across a sequence of files."""

import subprocess
import sys

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import build_model_file

xarray_layer = pytest.importorskip("tarq.xarray")
open_precipitation = xarray_layer.open_precipitation

NX, NY = 4, 3
# Rain rate of each point, mm/h: every point its own, so a wrong point shows.
RATE = 1.0 + np.arange(NY * NX, dtype=np.float64).reshape(NY, NX) / 8.0


def hours_since_start(n: int, step_min: int) -> np.ndarray:
    return np.arange(n) * step_min / 60.0


def write_run(tmp_path, n_files: int, nt: int, step_min: int, bucket_mm: float | None = None,
              restart_file: int | None = None):
    """n_files files of nt times each, step_min minutes apart throughout;
    rain falls at RATE (3/4 grid-scale), snow, graupel and hail at fixed
    fractions of it. With bucket_mm the grid-scale rain is kept in buckets;
    from restart_file on, the accumulations start again from zero."""
    paths = []
    for i in range(n_files):
        hours = hours_since_start(n_files * nt, step_min)[i * nt:(i + 1) * nt] + 1.0
        if restart_file is not None and i >= restart_file:
            hours = hours - hours_since_start(n_files * nt, step_min)[restart_file * nt]
        total = hours[:, None, None] * RATE
        fields = {"RAINC": 0.25 * total, "RAINNC": 0.75 * total, "SNOWNC": 0.5 * total,
                  "GRAUPELNC": 0.125 * total, "HAILNC": 0.0625 * total}
        attrs = {}
        if bucket_mm is not None:
            fields["I_RAINNC"] = np.floor(fields["RAINNC"] / bucket_mm)
            fields["RAINNC"] = fields["RAINNC"] - fields["I_RAINNC"] * bucket_mm
            attrs["BUCKET_MM"] = np.float32(bucket_mm)
        start = np.datetime64("2024-05-20T18:00") + np.timedelta64(i * nt * step_min, "m")
        stamp = str(start).replace("T", "_") + ":00"
        path = tmp_path / f"tarqout_d01_{stamp}"
        build_model_file(path, nx=NX, ny=NY, nz=3, nt=nt, start_time=stamp, time_step_minutes=step_min,
                         overrides=fields, global_attrs=attrs)
        paths.append(str(path))
    return paths


@pytest.mark.parametrize("n_files, nt, step_min, hours", [
    (2, 3, 60, 1), (3, 2, 60, 3), (3, 2, 60, 6), (2, 4, 15, 0.25), (3, 4, 15, 1), (2, 13, 60, 24)])
def test_windows_across_files(tmp_path, n_files, nt, step_min, hours):
    paths = write_run(tmp_path, n_files, nt, step_min)
    got = open_precipitation(paths[::-1], hours=hours)
    n = n_files * nt
    assert got.dims == ("Time", "south_north", "west_east")
    assert got.shape == (n, NY, NX)
    assert got.attrs["units"] == "mm"
    assert "XLAT" in got.coords
    steps = round(hours * 60 / step_min)
    for k in range(n):
        if k < steps:
            assert np.isnan(got.values[k]).all()
        else:
            np.testing.assert_allclose(got.values[k], hours * RATE, rtol=1e-5)
    assert not np.isnan(got.values[steps:]).any()


@pytest.mark.parametrize("kind, fraction", [("snow", 0.5), ("graupel", 0.125), ("hail", 0.0625)])
def test_frozen_kinds(tmp_path, kind, fraction):
    paths = write_run(tmp_path, 2, 2, 60)
    got = open_precipitation(paths, hours=2, kind=kind)
    assert np.isnan(got.values[:2]).all()
    np.testing.assert_allclose(got.values[2:], np.broadcast_to(2 * fraction * RATE, (2, NY, NX)), rtol=1e-5)


def test_bucket_counters(tmp_path):
    """RAINNC kept in 1 mm buckets: the row adds I_RAINNC * BUCKET_MM back,
    so totals pass the buckets' tips without a drop."""
    paths = write_run(tmp_path, 2, 3, 60, bucket_mm=1.0)
    f = _tarq.TarqFile(paths[1])
    np.testing.assert_allclose(f.getvar("precip_accum", timeidx=2), 6.0 * RATE, rtol=1e-5)
    np.testing.assert_array_equal(f.getvar("rain_accum", timeidx=2), f.getvar("precip_accum", timeidx=2))
    got = open_precipitation(paths, hours=2)
    np.testing.assert_allclose(got.values[2:], np.broadcast_to(2.0 * RATE, (4, NY, NX)), rtol=1e-5)


def test_counters_without_bucket_size_fail(tmp_path):
    paths = write_run(tmp_path, 1, 2, 60, bucket_mm=1.0)
    import netCDF4

    with netCDF4.Dataset(paths[0], "a") as ds:
        ds.delncattr("BUCKET_MM")
    with pytest.raises(_tarq.AttributeNotFoundError, match="BUCKET_MM"):
        _tarq.TarqFile(paths[0]).getvar("precip_accum")


def test_restart_names_file_and_time(tmp_path):
    paths = write_run(tmp_path, 3, 2, 60, restart_file=1)
    with pytest.raises(ValueError, match=r"tarqout_d01_2024-05-20_20:00:00: .*2024-05-20T20:00:00"):
        open_precipitation(paths, hours=1)


@pytest.mark.parametrize("hours, kind, error", [
    (0, "rain", ValueError), (-1, "rain", ValueError), (float("nan"), "rain", ValueError),
    (True, "rain", TypeError), ("1", "rain", TypeError), (1, "sleet", ValueError)])
def test_bad_arguments(tmp_path, hours, kind, error):
    with pytest.raises(error):
        open_precipitation(str(tmp_path / "never-read.nc"), hours=hours, kind=kind)


def test_missing_field(tmp_path):
    path = tmp_path / "dry.nc"
    build_model_file(path, nx=NX, ny=NY, nz=3, nt=1)
    with pytest.raises(_tarq.VariableNotFoundError, match="SNOWNC"):
        _tarq.TarqFile(str(path)).getvar("snow_accum")


def test_command_line_windows(tmp_path):
    paths = write_run(tmp_path, 1, 4, 60)
    run = subprocess.run([sys.executable, "-m", "tarq", paths[0], "precip_1h", "precip_3h", "--time", "3"],
                         capture_output=True, text=True, check=True)
    rows = {line.split()[0]: line.split()[1:] for line in run.stdout.splitlines() if line.startswith("  precip")}
    assert rows["precip_1h"][0] == "mm"
    assert float(rows["precip_1h"][3]) == pytest.approx(RATE.max(), rel=5e-3)
    assert float(rows["precip_3h"][3]) == pytest.approx(3 * RATE.max(), rel=5e-3)
    early = subprocess.run([sys.executable, "-m", "tarq", paths[0], "precip_3h", "--time", "1"],
                           capture_output=True, text=True, check=True)
    assert "all NaN" in early.stdout
