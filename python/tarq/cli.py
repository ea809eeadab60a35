"""The tarq command line: what is in a model file, its diagnostics, and maps.

    python -m tarq                      the shipped sample: summary, table, figure
    python -m tarq FILE [NAME ...]      the same for any model output file
    python -m tarq --list               the catalogue of diagnostics
"""

from __future__ import annotations

import argparse
import os
import sys
from dataclasses import dataclass
from typing import Any, TextIO

from tarq import _tarq, sample_path
from tarq._requests import Result, UsageError, at_level, compute, describe
from tarq._row_options import refusal
from tarq.summary import (HEADLINE, Row, describe_file, field_stats, file_times, format_catalogue, format_table,
                          split_components)
from tarq.xarray._region import bbox_window

PROG = "python -m tarq"
SAMPLE_FIGURE = "tarq-sample.png"
PLOT_EXTRA_HINT = "pip install 'tarq[plot]'"

# How the README and the examples name a model output file.
EXAMPLE_FILE = "tarqout_d01_2024-05-20_18:00:00"

EXAMPLES = f"""\
examples:
  {PROG}
      summary of the shipped sample, its headline diagnostics at every time,
      and {SAMPLE_FIGURE}
  {PROG} {EXAMPLE_FILE}
      summary and headline diagnostics of a file
  {PROG} {EXAMPLE_FILE} mlcape srh3 --time 0
      two diagnostics at the first time only
  {PROG} {EXAMPLE_FILE} t2 td2 --units degC
      in another unit
  {PROG} {EXAMPLE_FILE} cape --opt parcel_type=mu --opt top_m=3000
  {PROG} {EXAMPLE_FILE} srh --opt depth_m=3000 --opt storm_motion=10,5
      with getvar's options
  {PROG} {EXAMPLE_FILE} dbz wa --level 10 --plot maps.png
      maps of model level 10
  {PROG} {EXAMPLE_FILE} PSFC RAINNC
      variables stored in the file, by their own names
  {PROG} {EXAMPLE_FILE} precip_1h precip_3h
      rain over the 1 h and 3 h ending at each time of the file (NaN before)
  {PROG} {EXAMPLE_FILE} theta --cross 35.2,-99.0:35.6,-98.2 --vertical pressure --plot xs.png
      a cross section of theta in pressure, the ground filled
  {PROG} {EXAMPLE_FILE} --sounding 35.4,-98.6 --plot skewt.png
      the sounding at a point, with a skew-T and hodograph when MetPy is installed
  {PROG} --list
      every diagnostic with its units

--time takes a time index (negative counts from the end), a time string as the
file stores it, or "all" (the default). Statistics of a 3-D field cover every
level unless --level is given. --plot draws the time given, or the last one.
A diagnostic that cannot be computed from the file shows as "n/a (reason)".
An --opt that none of the NAMEs reads is refused. A --plot path without an
extension gets .png; the path written is reported.

exit status:
  0  success
  1  every requested NAME failed, or the figure needs matplotlib
  2  bad arguments: missing or unreadable file, unknown name, an option no
     NAME reads, a bad time or level, a --plot path that cannot be written
"""

# getvar's options as --opt takes them: the text's type, and its accepted values.
_TEXT_CHOICES = {"parcel_type": ("sb", "ml", "mu"), "layer_type": ("fixed", "effective")}
_NUMBERS = ("top_m", "bottom_m", "depth_m", "parcel_pressure", "parcel_temperature", "parcel_dewpoint",
            "bottom_p", "top_p", "lake_interp")
_FLAGS = {"true": True, "yes": True, "1": True, "false": False, "no": False, "0": False}
OPTION_NAMES = (*_TEXT_CHOICES, "storm_motion", *_NUMBERS, "use_virtual")


class _Parser(argparse.ArgumentParser):
    def error(self, message: str):  # type: ignore[override]
        raise UsageError(message)


def build_parser() -> argparse.ArgumentParser:
    p = _Parser(prog=PROG, formatter_class=argparse.RawDescriptionHelpFormatter, epilog=EXAMPLES,
                description="Summarise a TARQ model output file: its grid, projection, domain and times, "
                            "then the minimum, mean and maximum of diagnostics, and maps of them. "
                            "Without a FILE, the shipped sample file is used and a figure is drawn.")
    p.add_argument("file", nargs="?", metavar="FILE", help="model output file (default: the shipped sample)")
    p.add_argument("names", nargs="*", metavar="NAME",
                   help=f"diagnostics (names or aliases, see --list) or stored variables "
                        f"(default: {' '.join(HEADLINE)})")
    p.add_argument("-t", "--time", default="all", metavar="T|all", help="time index, time string or all (default)")
    p.add_argument("-u", "--units", metavar="U", help="unit for every NAME, e.g. degC, hPa, kt, km, g/kg")
    p.add_argument("-o", "--opt", action="append", default=[], metavar="KEY=VALUE",
                   help="a getvar option, repeatable: " + ", ".join(OPTION_NAMES)
                        + " (parcel_type: sb, ml or mu; layer_type: fixed or effective; "
                          "storm_motion: U,V in m/s; use_virtual: true or false)")
    p.add_argument("-p", "--plot", metavar="PNG",
                   help=f"draw maps into this file, .png added without an extension (without FILE: {SAMPLE_FIGURE})")
    p.add_argument("-l", "--level", metavar="K", help="model level (0 = lowest) of 3-D fields for maps and statistics")
    p.add_argument("-r", "--region", metavar="LAT0,LAT1,LON0,LON1",
                   help="only the smallest window of the grid holding every mass point in this "
                        "latitude-longitude box (degrees), for the summary and the maps")
    p.add_argument("--list", action="store_true", help="print the catalogue of diagnostics and exit")
    p.add_argument("--cross", metavar="LAT,LON:LAT,LON",
                   help="a vertical cross section of NAME between two points (with --plot: a figure)")
    p.add_argument("--vertical", default="height", metavar="V",
                   help="levels of --cross: height (default), height_agl, pressure, theta or theta_e")
    p.add_argument("--sounding", metavar="LAT,LON",
                   help="print the sounding at a point (with --plot and MetPy: a skew-T and hodograph)")
    return p


def parse_option(text: str) -> tuple[str, Any]:
    """One --opt KEY=VALUE, converted to the type getvar takes."""
    key, sep, value = text.partition("=")
    key, value = key.strip(), value.strip()
    if not sep or not key:
        raise UsageError(f"--opt {text!r}: expected KEY=VALUE")
    if key not in OPTION_NAMES:
        raise UsageError(f"--opt {key}: unknown option (options are {', '.join(OPTION_NAMES)})")
    if key in _TEXT_CHOICES:
        if value not in _TEXT_CHOICES[key]:
            raise UsageError(f"--opt {key}={value}: expected one of {', '.join(_TEXT_CHOICES[key])}")
        return key, value
    if key == "use_virtual":
        if value.lower() not in _FLAGS:
            raise UsageError(f"--opt use_virtual={value}: expected true or false")
        return key, _FLAGS[value.lower()]
    try:
        if key == "storm_motion":
            u, v = (float(part) for part in value.split(","))
            return key, (u, v)
        return key, float(value)
    except ValueError:
        expected = "two numbers U,V in m/s" if key == "storm_motion" else "a number"
        raise UsageError(f"--opt {key}={value}: expected {expected}") from None


def parse_options(texts: list[str]) -> dict[str, Any]:
    return dict(parse_option(t) for t in texts)


def open_model_file(path: str | os.PathLike) -> _tarq.TarqFile:
    if not os.path.exists(path):
        raise UsageError(f"{os.fspath(path)}: no such file")
    if os.path.isdir(path):
        raise UsageError(f"{os.fspath(path)}: is a directory, not a model output file")
    try:
        return _tarq.TarqFile(path)
    except OSError as e:
        raise UsageError(f"{os.fspath(path)}: not a readable model output file ({e})") from None


def restrict_to_region(f: _tarq.TarqFile, text: str, t: int, out: TextIO) -> _tarq.TarqFile:
    """The window of f that --region LAT0,LAT1,LON0,LON1 chooses at time t."""
    try:
        box = tuple(float(part) for part in text.split(","))
    except ValueError:
        box = ()
    if len(box) != 4:
        raise UsageError(f"--region {text!r}: expected four numbers LAT0,LAT1,LON0,LON1")
    try:
        i0, i1, j0, j1 = bbox_window(box, f, t)
    except ValueError as e:
        raise UsageError(f"--region {text}: {e}") from None
    print(f"Region {text}: mass points [{j0}:{j1}, {i0}:{i1}] of the {f.ny} x {f.nx} grid", file=out)
    return f.window(i0, i1, j0, j1)


def check_plot_path(text: str) -> str:
    """The figure's path: .png where it has no extension, refused when
    matplotlib cannot write its format or its directory cannot be written."""
    if not text.strip():
        raise UsageError("--plot: empty path")
    ext = os.path.splitext(text)[1]
    path = text if ext else text + ".png"
    if text.endswith(os.sep) or os.path.isdir(text) or os.path.isdir(path):
        raise UsageError(f"--plot {text}: is a directory")
    try:
        from matplotlib.figure import Figure
    except ImportError:
        formats = None  # reported when the figure is drawn
    else:
        formats = Figure().canvas.get_supported_filetypes()
    if formats is not None and ext and ext[1:].lower() not in formats:
        raise UsageError(f"--plot {text}: matplotlib cannot write {ext} files (it writes {', '.join(sorted(formats))})")
    directory = os.path.dirname(os.path.abspath(path))
    if not os.path.isdir(directory):
        raise UsageError(f"--plot {text}: no such directory {directory}")
    if not os.access(directory, os.W_OK) or (os.path.exists(path) and not os.access(path, os.W_OK)):
        raise UsageError(f"--plot {text}: cannot write {path}")
    return path


def select_times(text: str, times: list[str] | None, nt: int) -> list[int]:
    if text == "all":
        return list(range(nt))
    if times is not None and text in times:
        return [times.index(text)]
    try:
        t = int(text)
    except ValueError:
        raise UsageError(f"--time {text}: expected a time index, a time string of the file, or all") from None
    if not -nt <= t < nt:
        raise UsageError(f"--time {text}: the file has {nt} times (0 to {nt - 1})")
    return [t % nt]


def check_level(text: str | None, nz: int) -> int | None:
    if text is None:
        return None
    try:
        level = int(text)
    except ValueError:
        raise UsageError(f"--level {text}: expected a model level index") from None
    if not 0 <= level < nz:
        raise UsageError(f"--level {text}: the file has {nz} levels (0 to {nz - 1})")
    return level


class Progress:
    """One self-overwriting line on a terminal's stderr; silent otherwise."""

    def __init__(self, total: int, stream: TextIO = sys.stderr):
        self.total, self.stream = total, stream
        self.enabled = total > 1 and stream.isatty()

    def show(self, n: int, text: str) -> None:
        if self.enabled:
            self.stream.write(f"\r\033[K{PROG}: time {n + 1}/{self.total}: {text}")
            self.stream.flush()

    def clear(self) -> None:
        if self.enabled:
            self.stream.write("\r\033[K")
            self.stream.flush()


def table_rows(name: str, result: Result, units: str, level: int | None) -> list[Row]:
    if result.values is None:
        return [Row(name, units, problem=result.problem)]
    return [Row(label, part_units, stats=field_stats(at_level(values, level)))
            for label, values, part_units in split_components(name, result.values, units)]


@dataclass
class Request:
    """What the command line asks of one open file."""

    f: _tarq.TarqFile
    names: list[str]
    times: list[str] | None
    units: str | None
    options: dict[str, Any]
    level: int | None
    described: dict[str, tuple[str, str, str]]   # name: (catalogue name, units, description)

    def stamp(self, t: int) -> str:
        return self.times[t] if self.times is not None and t < len(self.times) else f"time {t}"


def run(args: argparse.Namespace, out: TextIO = sys.stdout) -> int:
    if args.list:
        rows = _tarq.list_variables()
        print(format_catalogue(rows), file=out)
        print(f"\n{len(rows)} variables", file=out)
        return 0
    if (args.cross or args.sounding) and args.file and not args.names and not os.path.exists(args.file):
        args.names, args.file = [args.file], None   # a section of the sample: the one word is its NAME
    sample = args.file is None
    options = parse_options(args.opt)
    names = args.names or list(HEADLINE)
    if (problem := refusal(names, options)) is not None:
        raise UsageError(f"--opt: {problem}")
    png = check_plot_path(args.plot) if args.plot is not None else (SAMPLE_FIGURE if sample else None)
    f = open_model_file(sample_path() if sample else args.file)
    times, _ = file_times(f)
    indices = select_times(args.time, times, f.nt)
    if args.region is not None:
        f = restrict_to_region(f, args.region, indices[0], out)
    level = check_level(args.level, f.nz)
    if args.cross or args.sounding:
        return run_section(args, f, indices[-1], options, out)
    described = {name: describe(f, name, args.units) for name in names}
    request = Request(f, names, times, args.units, options, level, described)

    print("\n".join(describe_file(f)), file=out, flush=True)
    kept, computed = print_tables(request, indices, out)
    if not computed:
        print(f"{PROG}: error: no requested variable could be computed", file=sys.stderr)
        return 1
    if png is None:
        return 0
    status = draw_figure(request, indices[-1], kept, png, named=bool(args.names), out=out,
                         asked=args.plot is not None)
    return 1 if status and args.plot else 0


def run_section(args: argparse.Namespace, f: _tarq.TarqFile, t: int, options: dict[str, Any], out: TextIO) -> int:
    """--cross or --sounding at time t (the last one selected)."""
    from tarq import section_cli
    if args.cross and args.sounding:
        raise UsageError("--cross and --sounding: give one of them")
    print("\n".join(describe_file(f)), file=out, flush=True)
    if args.sounding:
        return section_cli.run_sounding(f, args.sounding, t, args.plot, out)
    if len(args.names) != 1:
        raise UsageError("--cross: give exactly one NAME, a variable on model levels")
    return section_cli.run_cross(f, args.names[0], args.cross, args.vertical, t, args.units, options, args.plot,
                                 out)


def print_tables(request: Request, indices: list[int], out: TextIO) -> tuple[dict[str, Result], bool]:
    """Prints one table per time; returns the results of the last time and
    whether any result at any time had values."""
    progress = Progress(len(indices))
    kept: dict[str, Result] = {}
    computed = False
    try:
        for n, t in enumerate(indices):
            kept = {}
            rows: list[Row] = []
            for name in request.names:
                progress.show(n, name)
                kept[name] = compute(request.f, name, t, request.units, request.options)
                computed = computed or kept[name].values is not None
                rows.extend(table_rows(name, kept[name], request.described[name][1], request.level))
            progress.clear()
            where = f", level {request.level}" if request.level is not None else ""
            print(f"\nTime {t}: {request.stamp(t)}{where}", file=out)
            print("\n".join(format_table(rows)), file=out, flush=True)
    finally:
        progress.clear()
    return kept, computed


def draw_figure(request: Request, t: int, kept: dict[str, Result], png: str, named: bool, out: TextIO,
                asked: bool = True) -> int:
    """Maps of the named variables, or the headline maps, at time t; 0 when
    the figure was written, 1 when it could not be; a --plot path (`asked`)
    that cannot be written is a UsageError."""
    try:
        from tarq import figures
    except ImportError:
        print(f"\nNo figure: matplotlib is not installed ({PLOT_EXTRA_HINT} to draw {png}).", file=out)
        return 1
    if named:
        panels = figures.named_panels(request.f, t, kept, request.described, request.level)
        what = "maps of " + ", ".join(request.names)
    else:
        panels = figures.headline_panels(request.f, t, kept if request.units is None else {}, request.options)
        what = "headline maps"
    title = f"{os.path.basename(request.f.path)}: {request.stamp(t)} (time {t})"
    try:
        width, height = figures.draw(request.f, t, panels, title, png)
    except (OSError, ValueError) as e:
        reason = getattr(e, "strerror", None) or e
        if not asked:
            print(f"\nNo figure: cannot write {png} ({reason}).", file=out)
            return 1
        # The path was checked before any work; what remains (a full disk, a
        # directory that vanished) is still the path's fault.
        raise UsageError(f"--plot {png}: cannot write ({reason})") from None
    print(f"\nFigure: {os.path.abspath(png)} ({what} at {request.stamp(t)}, {width} x {height} pixels)", file=out)
    return 0


def main(argv: list[str] | None = None) -> int:
    try:
        return run(build_parser().parse_args(argv))
    except UsageError as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 2
