"""What one variable looks like over the files: its dimensions, shape,
components and levels, checked before anything is computed."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Mapping

from tarq._row_options import refusal
from tarq._tarq import InvalidParameterError, TarqFile, _catalogue, _describe_variable
from tarq.xarray._files import _FileInfo, _Request

# The leading dimension of a multi-field row, named after what its fields
# are; ROW_component for any other labels.
_COMPONENT_DIMS = {("u", "v"): "wind_component", ("base", "top"): "inflow_bound",
                   ("low", "mid", "high"): "cloud_layer"}

# Rows that return several fields: the name and labels of their leading dimension.
COMPONENTS: dict[str, tuple[str, tuple[str, ...]]] = {
    row["name"]: (_COMPONENT_DIMS.get(row["fields"], f"{row['name']}_component"), row["fields"])
    for row in _catalogue() if row["fields"]
}


@dataclass(frozen=True)
class _Plan:
    """What one variable looks like, and how to compute one time of it."""

    name: str                          # as the caller spelled it, for getvar
    options: tuple[tuple[str, Any], ...]
    description: str
    units: str
    dims: tuple[str, ...]              # one time's dimensions
    shape: tuple[int, ...]
    component: tuple[str, tuple[str, ...]] | None
    vertical: str | None
    levels: tuple[float, ...] | None
    extrapolate: bool = False          # vinterp's, with levels


def _raw_dims(name: str, shape: tuple[int, ...], info: _FileInfo) -> tuple[str, ...]:
    """The grid's dimension names for the trailing axes whose size matches
    (staggered for one more, as static fields such as XLAT_U are stored);
    NAME_dimK for any other axis."""
    dims = [f"{name}_dim{k}" for k in range(len(shape))]
    if len(shape) < 2:
        return tuple(dims)
    grid = (("west_east", info.nx), ("south_north", info.ny), ("bottom_top", info.nz))
    for k, (dim, size) in zip(reversed(range(len(shape))), grid):
        dims[k] = {size: dim, size + 1: f"{dim}_stag"}.get(shape[k], dims[k])
    return tuple(dims)


def _check_options(f: TarqFile, name: str, options: Mapping[str, Any]) -> None:
    """Argument errors exactly as getvar raises them, computing nothing: a time
    index one past the end is refused before any work."""
    if "timeidx" in options:
        raise TypeError("select times with `times`, not `timeidx`")
    try:
        f.getvar(name, f.nt, **options)
    except InvalidParameterError:
        pass  # the time index, checked first: every argument was converted
    # getvar ignores an option its row does not read; a labelled result
    # would then claim an option it was not computed with.
    problem = refusal([name], options)
    if problem is not None:
        raise InvalidParameterError(f"invalid parameter: {problem}")


def _plan(request: _Request, name: str, options: dict[str, Any], need_levels: bool) -> _Plan:
    if not isinstance(name, str):
        raise TypeError(f"variable name must be str, not {type(name).__name__}")
    infos, levels, vertical = request.infos, request.levels, request.vertical
    _check_options(request.first, name, options)
    row, description, units, is_raw, base = _describe_variable(request.first, name, options.get("units"))
    if is_raw:
        # A stored variable's shape comes from each file; catalogue rows share the checked grid.
        for info in infos:
            f = TarqFile(info.path)
            other = _describe_variable(f if request.window is None else f.window(*request.window), name,
                                       options.get("units"))[4]
            if other != base:
                raise ValueError(f"{request.first.path} and {info.path} differ for {name}: "
                                 f"shape {base} against {other}")
    base = tuple(base)
    component = None if is_raw else COMPONENTS.get(row)
    dims = _raw_dims(row, base, infos[0]) if is_raw else \
        (("bottom_top",) if len(base) == 3 else ()) + ("south_north", "west_east")
    shape = base
    if component is not None:
        dims = (component[0],) + dims
        shape = (len(component[1]),) + shape
    if levels is not None and "bottom_top" in dims:
        at = dims.index("bottom_top")
        dims = dims[:at] + ("level",) + dims[at + 1:]
        shape = shape[:at] + (len(levels),) + shape[at + 1:]
    elif levels is not None:
        if need_levels:
            raise ValueError(f"levels need a variable on model levels; {name} has dimensions {dims}")
        vertical = levels = None
    return _Plan(name, tuple(options.items()), description, units, dims, shape, component, vertical, levels)


def _time_position(plan: _Plan) -> int:
    """Where Time goes among the plan's dimensions: after the component's."""
    return 0 if plan.component is None else 1
