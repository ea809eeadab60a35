"""The command line, run in a subprocess as a user runs it: the sample run,
named variables with times, units and options, maps, and the error lines."""

from __future__ import annotations

import ast
import io
import re
import struct
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

from tarq import _tarq, cli
from tarq.summary import HEADLINE
from tarq.testing import build_model_file, write_netcdf

NX, NY, NZ, NT = 7, 6, 10, 2


def run(*args: str, cwd=None, code: str | None = None) -> subprocess.CompletedProcess:
    command = [sys.executable, "-c", code, *args] if code else [sys.executable, "-m", "tarq", *args]
    return subprocess.run(command, capture_output=True, text=True, cwd=cwd, timeout=300)


def png_size(path) -> tuple[int, int]:
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", data[16:24])


def table(out: str) -> dict[int, dict[str, str]]:
    """{time index: {label: rest of the row}} from the printed tables."""
    blocks: dict[int, dict[str, str]] = {}
    current = None
    for line in out.splitlines():
        head = re.match(r"Time (\d+): ", line)
        if head:
            current = blocks.setdefault(int(head.group(1)), {})
        elif current is not None and line.startswith("  ") and not line.strip().startswith("variable"):
            label, rest = line.split(None, 1)
            current[label] = rest
    return blocks


def stats_of(row: str) -> tuple[float, float, float]:
    """Minimum, mean and maximum: the last three words before any NaN note."""
    return tuple(float(v) for v in re.sub(r"\(.*\)$", "", row).split()[-3:])


@pytest.fixture(scope="module")
def model(tmp_path_factory):
    return build_model_file(tmp_path_factory.mktemp("cli") / "m.nc", nx=NX, ny=NY, nz=NZ, nt=NT)


@pytest.fixture(scope="module")
def sample_run(tmp_path_factory):
    pytest.importorskip("matplotlib")
    cwd = tmp_path_factory.mktemp("sample")
    return run(cwd=cwd), cwd


def test_sample_run_prints_summary_table_and_figure(sample_run):
    done, cwd = sample_run
    assert done.returncode == 0, done.stderr
    assert done.stderr == ""
    out = done.stdout
    for expected in ("sample.nc", "nx=60 ny=60 nz=40, dx=3000 m dy=3000 m", "Lambert conformal",
                     "latitude 34.60N to 36.20N", "Times       3: 2024-05-20_20:00:00 to 2024-05-20_22:00:00"):
        assert expected in out
    blocks = table(out)
    assert sorted(blocks) == [0, 1, 2]
    for rows in blocks.values():
        assert list(rows) == list(HEADLINE)
    t2_min, t2_mean, t2_max = stats_of(blocks[2]["t2"])
    assert 290 < t2_min < t2_mean < t2_max < 315
    assert stats_of(blocks[2]["mlcape"])[2] > 2000
    figure = cwd / "tarq-sample.png"
    assert png_size(figure) == (1500, 880)
    assert f"Figure: {figure}" in out


def test_sample_run_without_matplotlib_still_summarises(tmp_path):
    code = ("import sys; sys.modules['matplotlib'] = None; sys.argv[0] = 'tarq'; "
            "from tarq.cli import main; sys.exit(main(sys.argv[1:]))")
    done = run("--time", "0", cwd=tmp_path, code=code)
    assert done.returncode == 0, done.stderr
    assert list(table(done.stdout)) == [0]
    assert done.stdout.strip().splitlines()[-1] == (
        "No figure: matplotlib is not installed (pip install 'tarq[plot]' to draw tarq-sample.png).")
    assert not (tmp_path / "tarq-sample.png").exists()


def test_named_variables_every_time_with_units(model):
    f = _tarq.TarqFile(model.path)
    done = run(model.path, "t2", "TD2", "--time", "all", "--units", "degC")
    assert done.returncode == 0, done.stderr
    assert done.stderr == ""      # no progress when stderr is not a terminal
    blocks = table(done.stdout)
    assert sorted(blocks) == [0, 1]
    for t in range(NT):
        assert list(blocks[t]) == ["t2", "TD2"]
        expected = f.getvar("t2", t, units="degC")
        assert stats_of(blocks[t]["t2"]) == pytest.approx((expected.min(), expected.mean(), expected.max()),
                                                           abs=0.006)
        assert blocks[t]["t2"].startswith("degC")


def test_options_reach_getvar(model):
    f = _tarq.TarqFile(model.path)
    done = run(model.path, "cape", "--time", "-1", "--opt", "parcel_type=mu", "--opt", "top_m=3000")
    assert done.returncode == 0, done.stderr
    expected = f.getvar("cape", 1, parcel_type="mu", top_m=3000.0)
    assert stats_of(table(done.stdout)[1]["cape"]) == pytest.approx(
        (expected.min(), expected.mean(), expected.max()), rel=1e-3, abs=0.06)


def test_time_string_and_components(model):
    done = run(model.path, "cape2d", "tc", "TD2", "PSFC", "--time", model.times[1], "--level", "3")
    assert done.returncode == 0, done.stderr
    rows = table(done.stdout)[1]
    assert list(rows) == ["cape2d.cape", "cape2d.cin", "cape2d.lcl", "cape2d.lfc", "tc", "TD2", "PSFC"]
    # Units of an alias and of a stored variable come from the module.
    assert rows["TD2"].startswith("degC ") and rows["PSFC"].startswith("Pa ")
    assert rows["cape2d.lcl"].startswith("m ") and rows["cape2d.cin"].startswith("J/kg ")
    tc = _tarq.TarqFile(model.path).getvar("tc", 1)[3]
    assert stats_of(rows["tc"])[0] == pytest.approx(tc.min(), abs=0.006)


def test_plot_of_named_variables(model, tmp_path):
    pytest.importorskip("matplotlib")
    png = tmp_path / "maps.png"
    done = run(model.path, "t2", "wa", "pw", "--time", "0", "--level", "2", "--plot", str(png))
    assert done.returncode == 0, done.stderr
    assert png_size(png) == (1500, 440)
    assert "maps of t2, wa, pw" in done.stdout


@pytest.mark.parametrize(
    "plot, message",
    [
        ("", r"--plot: empty path$"),
        ("   ", r"--plot: empty path$"),
        ("{tmp}/maps.xyz", r"maps\.xyz: matplotlib cannot write \.xyz files \(it writes .*png"),
        ("{tmp}/no/such/dir.png", r"dir\.png: no such directory .*/no/such$"),
        ("{model}/under_a_file.png", r"under_a_file\.png: no such directory "),
        ("{tmp}", r": is a directory$"),
        ("{tmp}/", r": is a directory$"),
    ],
)
def test_figure_that_cannot_be_written_exits_2_before_any_work(model, tmp_path, plot, message):
    pytest.importorskip("matplotlib")
    done = run(model.path, "t2", "--plot", plot.format(tmp=tmp_path, model=model.path))
    assert done.returncode == 2
    lines = done.stderr.splitlines()
    assert len(lines) == 1, done.stderr
    assert re.search(message, lines[0]), lines[0]
    assert "Time 0" not in done.stdout


def test_plot_path_without_extension_gets_png_and_is_reported(model, tmp_path):
    pytest.importorskip("matplotlib")
    done = run(model.path, "t2", "--time", "0", "--plot", str(tmp_path / "maps"))
    assert done.returncode == 0, done.stderr
    written = tmp_path / "maps.png"
    assert png_size(written)[0] > 0
    assert f"Figure: {written} (maps of t2" in done.stdout


def test_a_run_where_every_row_failed_exits_1(tmp_path):
    mf = build_model_file(tmp_path / "no_psfc.nc", nx=NX, ny=NY, nz=NZ, nt=1, omit=["PSFC"])
    for names, code in ((["mlcape", "sbcape"], 1), (["mlcape", "t2"], 0)):
        done = run(mf.path, *names)
        assert done.returncode == code, done.stderr
        assert done.stderr == ("" if code == 0 else "python -m tarq: error: no requested variable could be computed\n")


def test_missing_input_shows_as_na_and_the_table_goes_on(tmp_path):
    mf = build_model_file(tmp_path / "no_psfc.nc", nx=NX, ny=NY, nz=NZ, nt=1, omit=["PSFC", "XLAT"])
    done = run(mf.path, "mlcape", "t2")
    assert done.returncode == 0, done.stderr
    assert "Domain      n/a (variable not found in TARQ file: XLAT)" in done.stdout
    rows = table(done.stdout)[0]
    assert re.fullmatch(r"J/kg +n/a \(variable not found in TARQ file: PSFC\)", rows["mlcape"])
    assert len(stats_of(rows["t2"])) == 3


@pytest.fixture(scope="module")
def bad_files(tmp_path_factory):
    root = tmp_path_factory.mktemp("bad")
    text = root / "notes.txt"
    text.write_text("not a model file\n" * 20)
    no_t = write_netcdf(root / "no_t.nc", {"HGT": (("south_north", "west_east"), np.zeros((3, 4), np.float32))})
    return {"text": str(text), "no_t": no_t, "dir": str(root)}


@pytest.mark.parametrize(
    "args, message",
    [
        (["{dir}/missing.nc"], r"missing\.nc: no such file$"),
        (["{dir}"], r"is a directory, not a model output file$"),
        (["{text}"], r"notes\.txt: not a readable model output file \(NetCDF error: .+\)$"),
        (["{no_t}"], r"not a readable model output file \(variable not found in TARQ file: Cannot determine"),
        (["{model}", "nosuch"], r"unknown variable: nosuch \(not in computed registry .*\); see --list$"),
        (["{model}", "t2", "--units", "furlongs"], r"--units furlongs for t2: unit conversion error: unrecognized"),
        (["{model}", "t2", "--units", "hPa"], r"cannot convert Kelvin to Hectopascal$"),
        (["{model}", "PSFC", "--units", "degC"],
         r"--units degC for PSFC: unit conversion error: PSFC \(unit 'Pa'\) cannot be given in 'degC': "
         r"cannot convert Pascal to Celsius$"),
        (["{model}", "mlcape", "--opt", "top_m=nan"],
         r"error: mlcape: invalid parameter: top_m is NaN; give a finite number$"),
        (["{model}", "t2", "--opt", "parcel_type=mu"], r"error: --opt: option parcel_type is not read by t2$"),
        (["{model}", "PSFC", "mlcape", "--opt", "depth_m=1000"],
         r"--opt: option depth_m is not read by PSFC, mlcape$"),
        (["{model}", "--opt", "parcel_type=xx"], r"--opt parcel_type=xx: expected one of sb, ml, mu$"),
        (["{model}", "--opt", "top_m=high"], r"--opt top_m=high: expected a number$"),
        (["{model}", "--opt", "storm_motion=10"], r"storm_motion=10: expected two numbers U,V in m/s$"),
        (["{model}", "--opt", "use_virtual=maybe"], r"expected true or false$"),
        (["{model}", "--opt", "depth"], r"--opt 'depth': expected KEY=VALUE$"),
        (["{model}", "--opt", "units=K"], r"--opt units: unknown option \(options are parcel_type, "),
        (["{model}", "--time", "2"], r"--time 2: the file has 2 times \(0 to 1\)$"),
        (["{model}", "--time", "soon"], r"--time soon: expected a time index, a time string of the file, or all$"),
        (["{model}", "--level", "10"], r"--level 10: the file has 10 levels \(0 to 9\)$"),
        (["--bogus"], r"unrecognized arguments: --bogus$"),
    ],
)
def test_bad_input_exits_2_with_one_line(args, message, model, bad_files):
    done = run(*[a.format(model=model.path, **bad_files) for a in args])
    assert done.returncode == 2
    lines = done.stderr.splitlines()
    assert len(lines) == 1, done.stderr
    assert lines[0].startswith("python -m tarq: error: ")
    assert re.search(message, lines[0]), lines[0]
    assert "Time 0" not in done.stdout


def test_list_and_help():
    listed = run("--list")
    assert listed.returncode == 0 and listed.stdout.strip().endswith("95 variables")
    helped = run("--help")
    assert helped.returncode == 0
    for flag in ("--time", "--units", "--opt", "--plot", "--level", "--list", "examples:", "storm_motion=10,5",
                 "python -m tarq tarqout_d01_2024-05-20_18:00:00 mlcape srh3 --time 0"):
        assert flag in helped.stdout


def test_package_modules_import_no_cycle():
    """No module of the package imports, directly or through others, a module
    that imports it: the command line, its figures and tarq.xarray included."""
    root = Path(cli.__file__).resolve().parent
    modules = {".".join(("tarq", *p.relative_to(root).with_suffix("").parts)).removesuffix(".__init__"): p
               for p in root.rglob("*.py")}
    imports: dict[str, set[str]] = {}
    for name, path in modules.items():
        found = set()
        for node in ast.walk(ast.parse(path.read_text())):  # imports inside functions count too
            if isinstance(node, ast.ImportFrom) and node.module:
                found |= {node.module} | {f"{node.module}.{alias.name}" for alias in node.names}
            elif isinstance(node, ast.Import):
                found |= {alias.name for alias in node.names}
        imports[name] = found & modules.keys() - {name}
    assert "tarq.summary" in imports["tarq.figures"]

    def reaches(start: str, target: str, seen: set[str]) -> bool:
        return any(m == target or (m not in seen and not seen.add(m) and reaches(m, target, seen))
                   for m in imports[start])

    assert [name for name in modules if reaches(name, name, set())] == []


@pytest.mark.parametrize(
    "text, expected",
    [
        ("parcel_type=mu", ("parcel_type", "mu")),
        ("layer_type=effective", ("layer_type", "effective")),
        ("storm_motion=10,5", ("storm_motion", (10.0, 5.0))),
        (" top_m = 3000 ", ("top_m", 3000.0)),
        ("lake_interp=50", ("lake_interp", 50.0)),
        ("use_virtual=True", ("use_virtual", True)),
        ("use_virtual=0", ("use_virtual", False)),
    ],
)
def test_option_values_take_getvar_types(text, expected):
    key, value = cli.parse_option(text)
    assert (key, value) == expected
    assert type(value) is type(expected[1])


class _Terminal(io.StringIO):
    def isatty(self) -> bool:
        return True


def test_progress_shows_only_on_a_terminal_for_several_times():
    terminal, pipe = _Terminal(), io.StringIO()
    for stream, total in ((terminal, 3), (pipe, 3), (_Terminal(), 1)):
        progress = cli.Progress(total, stream)
        progress.show(1, "mlcape")
        progress.clear()
    assert "time 2/3: mlcape" in terminal.getvalue() and terminal.getvalue().endswith("\r\033[K")
    assert pipe.getvalue() == ""
