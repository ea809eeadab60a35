"""Maps of computed fields, drawn with matplotlib (the `plot` extra).

Every panel is drawn on the file's own latitude and longitude, with a colour
bar, the field's units and a title; a field that could not be computed shows
its reason in place of the map.
"""

from __future__ import annotations

import math
import textwrap
from dataclasses import dataclass, field
from typing import Callable

import numpy as np
from matplotlib.axes import Axes
from matplotlib.colors import BoundaryNorm, ListedColormap
from matplotlib.figure import Figure
from matplotlib.ticker import MaxNLocator

PANEL_SIZE_IN = (5.0, 4.4)
DPI = 100

# The usual radar colours, one per 5 dBZ from 5 to 70 dBZ.
_RADAR = ListedColormap([
    "#04e9e7", "#019ff4", "#0300f4", "#02fd02", "#01c501", "#008e00", "#fdf802",
    "#e5bc00", "#fd9500", "#fd0000", "#d40000", "#bc0000", "#f800fd", "#9854c6",
])


@dataclass
class Field:
    """One field to draw: values [ny, nx] with their units, or the reason
    they are missing."""

    values: np.ndarray | None
    units: str
    problem: str | None = None


@dataclass
class Panel:
    title: str
    field: Field
    cmap: str | ListedColormap | None = None        # None: viridis, or RdBu_r for signed fields
    levels: Callable[[np.ndarray], np.ndarray] | None = None   # None: even levels over the range
    below: str | None = None     # values under the lowest level are left blank when "blank"
    overlays: list[Callable[[Axes, "Geography"], None]] = field(default_factory=list)


@dataclass
class Geography:
    lat: np.ndarray                   # or grid rows, when not geographic
    lon: np.ndarray                   # or grid columns
    water: np.ndarray | None = None   # True over water, for the shore line
    geographic: bool = True


def _fixed(levels) -> Callable[[np.ndarray], np.ndarray]:
    values = np.asarray(levels, dtype=np.float64)
    return lambda _: values


def _spanning(steps=(0.5, 1.0, 2.0, 4.0, 5.0, 10.0), most: int = 16) -> Callable[[np.ndarray], np.ndarray]:
    """Round levels over the data's range, with the finest step that gives at
    most `most` intervals."""
    def levels(values: np.ndarray) -> np.ndarray:
        lo, hi = float(np.nanmin(values)), float(np.nanmax(values))
        for step in steps:
            first, last = math.floor(lo / step) * step, math.ceil(hi / step) * step
            if (last - first) / step <= most:
                break
        if last <= first:
            last = first + step
        return np.arange(first, last + step / 2, step)
    return levels


def _even(values: np.ndarray) -> np.ndarray:
    """About twelve round levels over the data's whole range, symmetric about
    zero when the field takes both signs."""
    finite = values[np.isfinite(values)]
    lo, hi = (float(finite.min()), float(finite.max())) if finite.size else (0.0, 1.0)
    if lo < 0.0 < hi:
        lo, hi = -max(-lo, hi), max(-lo, hi)
    if hi <= lo:
        lo, hi = lo - 0.5, hi + 0.5
    return MaxNLocator(nbins=12).tick_values(lo, hi)


def _signed(values: np.ndarray) -> bool:
    finite = values[np.isfinite(values)]
    return finite.size > 0 and finite.min() < 0.0 < finite.max()


# Colours and levels of the fields a forecaster knows by sight; anything else
# gets an even scale over its own range.
STYLES: dict[str, dict] = {
    "mlcape": dict(cmap="YlOrRd", levels=_fixed([0, 100, 250, 500, 1000, 1500, 2000, 2500, 3000, 4000, 5000])),
    "mucape": dict(cmap="YlOrRd", levels=_fixed([0, 100, 250, 500, 1000, 1500, 2000, 2500, 3000, 4000, 5000])),
    "sbcape": dict(cmap="YlOrRd", levels=_fixed([0, 100, 250, 500, 1000, 1500, 2000, 2500, 3000, 4000, 5000])),
    "srh1": dict(cmap="PuRd", levels=_fixed([0, 50, 100, 150, 200, 250, 300, 400, 500, 600])),
    "srh3": dict(cmap="PuRd", levels=_fixed([0, 50, 100, 150, 200, 250, 300, 400, 500, 600])),
    "stp": dict(cmap="RdPu", levels=_fixed([0.25, 0.5, 1, 2, 3, 4, 6, 8, 10]), below="blank"),
    "scp": dict(cmap="RdPu", levels=_fixed([0.5, 1, 2, 4, 6, 8, 10, 15, 20]), below="blank"),
    "maxdbz": dict(cmap=_RADAR, levels=_fixed(np.arange(5, 75, 5)), below="blank"),
    "dbz": dict(cmap=_RADAR, levels=_fixed(np.arange(5, 75, 5)), below="blank"),
    "slp": dict(cmap="Blues_r", levels=_spanning((0.5, 1.0, 2.0, 4.0))),
    "t2": dict(cmap="RdYlBu_r", levels=_spanning((0.5, 1.0, 2.0, 5.0))),
    "pw": dict(cmap="GnBu", levels=_spanning((2.0, 5.0, 10.0))),
}


def panel_for(name: str, title: str, fld: Field) -> Panel:
    style = STYLES.get(name.lower(), {})
    return Panel(title, fld, style.get("cmap"), style.get("levels"), style.get("below"))


def _draw(ax: Axes, geo: Geography, panel: Panel, fig: Figure) -> None:
    fld = panel.field
    units = fld.units or "no units"
    title = panel.title if f"({units}" in panel.title else f"{panel.title} ({units})"
    ax.set_title(title, fontsize=10)
    ax.set_xlabel("longitude (degrees)" if geo.geographic else "grid column", fontsize=8)
    ax.set_ylabel("latitude (degrees)" if geo.geographic else "grid row", fontsize=8)
    ax.tick_params(labelsize=8)
    if geo.geographic:
        lat_mid = float(np.nanmean(geo.lat))
        ax.set_aspect(1.0 / max(math.cos(math.radians(lat_mid)), 0.1))
    else:
        ax.set_aspect("equal")
    if fld.values is None or not np.isfinite(fld.values).any():
        reason = fld.problem or "no finite values"
        ax.set_xlim(np.nanmin(geo.lon), np.nanmax(geo.lon))
        ax.set_ylim(np.nanmin(geo.lat), np.nanmax(geo.lat))
        ax.text(0.5, 0.5, "n/a\n" + textwrap.fill(reason, 40), transform=ax.transAxes, ha="center",
                va="center", fontsize=9, color="0.3")
        return
    values = np.where(np.isfinite(fld.values), fld.values, np.nan)
    levels = (panel.levels or _even)(values)
    cmap = panel.cmap or ("RdBu_r" if _signed(values) else "viridis")
    if isinstance(cmap, str):
        from matplotlib import colormaps
        cmap = colormaps[cmap]
    norm = BoundaryNorm(levels, cmap.N, extend="max" if panel.below == "blank" else "both")
    if panel.below == "blank":
        values = np.ma.masked_less(values, levels[0])
    mesh = ax.pcolormesh(geo.lon, geo.lat, values, cmap=cmap, norm=norm, shading="nearest")
    bar = fig.colorbar(mesh, ax=ax, shrink=0.85)
    bar.set_label(units, fontsize=8)
    bar.ax.tick_params(labelsize=7)
    if geo.water is not None and geo.water.any() and not geo.water.all():
        ax.contour(geo.lon, geo.lat, geo.water.astype(float), levels=[0.5], colors="navy", linewidths=0.8)
    for overlay in panel.overlays:
        overlay(ax, geo)


def contour_overlay(values: np.ndarray, levels, label_units: str) -> Callable[[Axes, Geography], None]:
    """Labelled black contours of a second field."""
    def draw(ax: Axes, geo: Geography) -> None:
        if not np.isfinite(values).any():
            return
        lines = ax.contour(geo.lon, geo.lat, values, levels=levels, colors="black", linewidths=0.9)
        ax.clabel(lines, fmt=f"%g {label_units}", fontsize=7)
    return draw


def barb_overlay(u_kt: np.ndarray, v_kt: np.ndarray) -> Callable[[Axes, Geography], None]:
    """Wind barbs (knots) at about 12 points across the domain."""
    def draw(ax: Axes, geo: Geography) -> None:
        step = max(1, max(u_kt.shape) // 12)
        s = (slice(step // 2, None, step), slice(step // 2, None, step))
        ax.barbs(geo.lon[s], geo.lat[s], u_kt[s], v_kt[s], length=5, linewidth=0.6)
    return draw


def draw_panels(panels: list[Panel], geo: Geography, title: str, png_path: str) -> tuple[int, int]:
    """Writes the panels, up to three a row, to a PNG; returns its pixel size."""
    ncols = min(3, len(panels))
    nrows = math.ceil(len(panels) / ncols)
    size = (PANEL_SIZE_IN[0] * ncols, PANEL_SIZE_IN[1] * nrows)
    fig = Figure(figsize=size, dpi=DPI, layout="constrained")
    fig.suptitle(title, fontsize=11)
    axes = fig.subplots(nrows, ncols, squeeze=False)
    for ax, panel in zip(axes.flat, panels):
        _draw(ax, geo, panel, fig)
    for ax in axes.flat[len(panels):]:
        ax.set_visible(False)
    fig.savefig(png_path, dpi=DPI)
    return round(size[0] * DPI), round(size[1] * DPI)
