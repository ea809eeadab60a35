"""The command line's cross sections (--cross) and soundings (--sounding):
their parsing, printed tables and figures."""

from __future__ import annotations

import os
from typing import Any, TextIO

import numpy as np

from tarq._requests import UsageError
from tarq._tarq import _describe_variable
from tarq.sections import CrossSection, Sounding, cross_section, line, sounding
from tarq.vertical import VERTICALS

PLOT_HINT = "pip install 'tarq[plot]'"
METPY_HINT = "pip install metpy"
FIGURE_LEVELS = {"pressure": np.arange(1050.0, 99.0, -10.0), "height": np.arange(-500.0, 15001.0, 100.0),
                 "height_agl": np.arange(0.0, 15001.0, 100.0)}
VERTICALS_UNITS = {"pressure": "hPa", "height": "m", "height_agl": "m", "theta": "K", "theta_e": "K"}


def parse_point(text: str, flag: str) -> tuple[float, float]:
    """LAT,LON in degrees."""
    try:
        lat, lon = (float(part) for part in text.split(","))
    except ValueError:
        raise UsageError(f"{flag} {text}: expected LAT,LON in degrees") from None
    if not -90.0 <= lat <= 90.0:
        raise UsageError(f"{flag} {text}: latitude must be between -90 and 90")
    return lat, lon


def parse_cross(text: str) -> tuple[tuple[float, float], tuple[float, float]]:
    """LAT,LON:LAT,LON, the start and end of a section."""
    start, sep, end = text.partition(":")
    if not sep:
        raise UsageError(f"--cross {text}: expected LAT,LON:LAT,LON")
    return parse_point(start, "--cross"), parse_point(end, "--cross")


def _located(call, *args, **kwargs):
    try:
        return call(*args, **kwargs)
    except ValueError as e:
        raise UsageError(str(e)) from None


def run_cross(f, name: str, text: str, vertical: str, t: int, units: str | None, options: dict[str, Any],
              png: str | None, out: TextIO) -> int:
    start, end = parse_cross(text)
    if vertical not in VERTICALS:
        raise UsageError(f"--vertical {vertical}: expected one of {', '.join(VERTICALS)}")
    if units is not None:
        options = {**options, "units": units}
    xs = _located(cross_section, f, name, start, end, timeidx=t, vertical=vertical, **options)
    unit = VERTICALS_UNITS[vertical]
    print(f"\nCross section of {name} at time {t}: ({start[0]}, {start[1]}) to ({end[0]}, {end[1]}), "
          f"{xs.distance[-1] / 1000.0:.1f} km, {xs.values.shape[-1]} points, {xs.levels.size} levels of "
          f"{vertical} from {xs.levels[0]:.1f} to {xs.levels[-1]:.1f} {unit}", file=out)
    rows = np.linspace(0, xs.levels.size - 1, min(8, xs.levels.size)).round().astype(int)
    values = xs.values.reshape(-1, *xs.values.shape[-2:])[0]
    print(f"{'level':>10}  {'min':>10}  {'mean':>10}  {'max':>10}", file=out)
    for k in rows:
        row = values[k]
        stats = ("n/a", "n/a", "n/a") if np.isnan(row).all() else \
            tuple(f"{s:.4g}" for s in (np.nanmin(row), np.nanmean(row), np.nanmax(row)))
        print(f"{xs.levels[k]:>10.1f}  {stats[0]:>10}  {stats[1]:>10}  {stats[2]:>10}", file=out)
    if png is None:
        return 0
    # The figure's levels reach from below the lowest ground to the upper
    # troposphere, the field continued under the ground so the grey ground
    # meets it without a gap.
    surface = None
    levels = FIGURE_LEVELS.get(vertical)
    if vertical == "pressure":
        surface = _located(line, f, "PSFC", start, end, timeidx=t, steps=xs.distance.size).values / 100.0
        levels = levels[levels <= surface.max() + 10.0]
    elif levels is not None:
        levels = levels[levels >= (xs.terrain.min() - 200.0 if vertical == "height" else 0.0)]
    drawn = xs if levels is None else _located(cross_section, f, name, start, end, timeidx=t, vertical=vertical,
                                               levels=levels, extrapolate=True, **options)
    unit = units or _describe_variable(f, name, None)[2]
    return _figure(out, png, lambda: draw_cross(drawn, surface, png, os.path.basename(f.path), t, unit),
                   f"cross section of {name}")


def run_sounding(f, text: str, t: int, png: str | None, out: TextIO) -> int:
    lat, lon = parse_point(text, "--sounding")
    s = _located(sounding, f, lat, lon, timeidx=t)
    print(f"\nSounding at ({lat}, {lon}), time {t}", file=out)
    print(f"{'p (hPa)':>9} {'z (m)':>8} {'T (C)':>7} {'Td (C)':>7} {'u (m/s)':>8} {'v (m/s)':>8}", file=out)
    for p, z, tc, td, u, v in zip(s.pressure_hpa, s.height_m, s.temperature_c, s.dewpoint_c, s.u_ms, s.v_ms):
        print(f"{p:9.1f} {z:8.0f} {tc:7.1f} {td:7.1f} {u:8.1f} {v:8.1f}", file=out)
    if png is None:
        return 0
    try:
        import metpy  # noqa: F401
    except ImportError:
        print(f"\nNo figure: MetPy is not installed ({METPY_HINT} to draw {png}).", file=out)
        return 1
    return _figure(out, png, lambda: draw_skewt(s, png, f"{os.path.basename(f.path)} time {t}: ({lat}, {lon})"),
                   "skew-T and hodograph")


def _figure(out: TextIO, png: str, draw, what: str) -> int:
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print(f"\nNo figure: matplotlib is not installed ({PLOT_HINT} to draw {png}).", file=out)
        return 1
    try:
        draw()
    except OSError as e:
        print(f"\nNo figure: cannot write {png} ({e.strerror or e}).", file=out)
        return 1
    print(f"\nFigure: {os.path.abspath(png)} ({what})", file=out)
    return 0


def draw_cross(xs: CrossSection, surface_hpa: np.ndarray | None, png: str, label: str, t: int,
               units: str | None) -> None:
    """The section filled by value, the ground below the terrain (or the surface pressure) in grey."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    values = xs.values.reshape(-1, *xs.values.shape[-2:])[0]
    km = xs.distance / 1000.0
    fig, ax = plt.subplots(figsize=(9, 5), dpi=100)
    finite = values[np.isfinite(values)]
    if finite.size:
        mesh = ax.contourf(km, xs.levels, values, levels=20, cmap="viridis")
        fig.colorbar(mesh, ax=ax, label=f"{xs.name} ({units})" if units else xs.name)
    if xs.vertical == "pressure" and surface_hpa is not None:
        ax.fill_between(km, surface_hpa, max(xs.levels.max(), surface_hpa.max()), color="0.45", zorder=3)
        ax.invert_yaxis()
    elif xs.vertical == "height":
        ax.fill_between(km, min(xs.levels.min(), xs.terrain.min()), xs.terrain, color="0.45", zorder=3)
    ax.set_xlabel("distance along the line (km)")
    ax.set_ylabel(f"{xs.vertical} ({VERTICALS_UNITS[xs.vertical]})")
    ax.set_title(f"{label}, time {t}: {xs.name} from ({xs.lat[0]:.2f}, {xs.lon[0]:.2f}) "
                 f"to ({xs.lat[-1]:.2f}, {xs.lon[-1]:.2f})", fontsize=9)
    fig.tight_layout()
    fig.savefig(png)
    plt.close(fig)


def draw_skewt(s: Sounding, png: str, title: str) -> None:
    """A skew-T log-p diagram with a hodograph inset (MetPy)."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from metpy.plots import Hodograph, SkewT
    from metpy.units import units
    from mpl_toolkits.axes_grid1.inset_locator import inset_axes

    p = s.pressure_hpa * units.hPa
    fig = plt.figure(figsize=(7, 7), dpi=100)
    skew = SkewT(fig, rotation=45)
    skew.plot(p, s.temperature_c * units.degC, "r")
    skew.plot(p, s.dewpoint_c * units.degC, "g")
    step = max(1, s.pressure_hpa.size // 20)
    skew.plot_barbs(p[::step], s.u_ms[::step] * units("m/s"), s.v_ms[::step] * units("m/s"))
    skew.plot_dry_adiabats(alpha=0.3)
    skew.plot_moist_adiabats(alpha=0.3)
    skew.ax.set_ylim(max(1050.0, float(s.pressure_hpa.max()) + 5.0), 100.0)
    skew.ax.set_title(title, fontsize=9)
    inset = inset_axes(skew.ax, "30%", "30%", loc="upper right")
    hodo = Hodograph(inset, component_range=40.0)
    hodo.add_grid(increment=10)
    low = s.height_m - s.height_m[0] <= 10000.0
    hodo.plot_colormapped(s.u_ms[low], s.v_ms[low], (s.height_m - s.height_m[0])[low])
    fig.savefig(png)
    plt.close(fig)
