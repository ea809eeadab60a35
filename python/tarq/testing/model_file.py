"""Writes small TARQ model output files (netCDF-4 or classic) for tests.

A file is built from a vertical sounding laid over terrain on terrain-following
(eta) levels: every column takes its surface pressure from the sounding at its
terrain height, its temperature and moisture from the sounding at each level's
pressure, and its heights from the hypsometric equation, so geopotential,
pressure and temperature agree with each other. Stored variables have the
model's names, staggering, float32 type and layout, each chunked one time per
chunk with zlib and shuffle. netCDF4 (and h5py, for the functions that edit an
HDF5 file's bytes) are the test extras: they are imported when a file is written.

    from tarq.testing import build_model_file
    mf = build_model_file(tmp_path / "m.nc", nx=6, ny=5, nz=12, nt=3)
    mf.path, mf.variables["T"]          # the arrays as written (float32)
"""

from __future__ import annotations

import os
import struct
from dataclasses import dataclass, field
from datetime import datetime, timedelta
from pathlib import Path
from typing import Callable, Mapping, Sequence

import numpy as np

from .soundings import G, KAPPA, P0_PA, RD, Sounding, mixing_ratio_from_dewpoint, standard_sounding

# Fields the model writes without a time dimension once a file has been
# rewritten by common tools (static_2d=True).
STATIC_FIELDS = ("XLAT", "XLONG", "HGT", "COSALPHA", "SINALPHA", "LU_INDEX", "MAPFAC_M")
HYDROMETEORS = ("QCLOUD", "QICE", "QRAIN", "QSNOW", "QGRAUP")

WindProfile = Callable[[np.ndarray], tuple[np.ndarray, np.ndarray]]


@dataclass
class ModelFile:
    path: str
    nx: int
    ny: int
    nz: int
    nt: int
    dx: float
    dy: float
    times: list[str]
    variables: dict[str, np.ndarray] = field(default_factory=dict)  # as written (float32)


def eta_levels(nz: int) -> np.ndarray:
    """nz + 1 full levels from 1 (ground) to 0 (model top), closer near the ground."""
    return 1.0 - (np.arange(nz + 1) / nz) ** 1.5


def _hill(ny: int, nx: int, height_m: float) -> np.ndarray:
    j, i = np.mgrid[0:ny, 0:nx]
    r2 = ((i - (nx - 1) / 2) / max(nx / 4, 1)) ** 2 + ((j - (ny - 1) / 2) / max(ny / 4, 1)) ** 2
    return height_m * np.exp(-r2)


def _as_grid(value, ny: int, nx: int) -> np.ndarray:
    return np.broadcast_to(np.asarray(value, dtype=np.float64), (ny, nx)).copy()


def _stagger(mass: np.ndarray, axis: int) -> np.ndarray:
    """Mass-point values to staggered points: midpoints inside, edge values copied."""
    first = np.take(mass, [0], axis=axis)
    last = np.take(mass, [-1], axis=axis)
    n = mass.shape[axis]
    mid = 0.5 * (np.take(mass, range(n - 1), axis=axis) + np.take(mass, range(1, n), axis=axis))
    return np.concatenate([first, mid, last], axis=axis)


def _column_state(snd: Sounding, terrain: np.ndarray, nz: int, p_top_pa: float, warming_k: float,
                  psfc_change_pa: float):
    """Pressure, temperature, moisture and heights on eta levels for every column."""
    eta_full = eta_levels(nz)
    eta_half = 0.5 * (eta_full[1:] + eta_full[:-1])
    psfc = snd.pressure_at_height(terrain) * 100.0 + psfc_change_pa     # [ny, nx] Pa
    p_full = p_top_pa + eta_full[:, None, None] * (psfc - p_top_pa)     # [nz+1, ny, nx]
    p_half = p_top_pa + eta_half[:, None, None] * (psfc - p_top_pa)     # [nz, ny, nx]
    t_c, td_c, u, v = snd.at_pressure(p_half / 100.0)
    t_c = t_c + warming_k
    td_c = np.minimum(td_c + warming_k, t_c)
    qv = mixing_ratio_from_dewpoint(p_half / 100.0, td_c)
    tv = (t_c + 273.15) * (1.0 + 0.61 * qv)
    dz = RD * tv / G * np.log(p_full[:-1] / p_full[1:])
    z_full = terrain[None] + np.concatenate([np.zeros((1,) + terrain.shape), np.cumsum(dz, axis=0)])
    z_half = 0.5 * (z_full[1:] + z_full[:-1])
    return dict(psfc=psfc, p_full=p_full, p_half=p_half, t_c=t_c, qv=qv, u=u, v=v,
                z_full=z_full, z_half=z_half, eta_full=eta_full)


def _base_state(terrain: np.ndarray, eta_full: np.ndarray, p_top_pa: float):
    """An isothermal (290 K) reference atmosphere that P and PH perturb."""
    t_base = 290.0
    psfc = P0_PA * np.exp(-G * terrain / (RD * t_base))
    pb_full = p_top_pa + eta_full[:, None, None] * (psfc - p_top_pa)
    pb_half = 0.5 * (pb_full[1:] + pb_full[:-1])
    z_base = terrain[None] + RD * t_base / G * np.log(psfc[None] / pb_full)
    return pb_half, G * z_base


def build_model_file(
    path: str | os.PathLike,
    *,
    nx: int = 7,
    ny: int = 6,
    nz: int = 10,
    nt: int = 2,
    dx: float = 3000.0,
    dy: float = 3000.0,
    sounding: Sounding | None = None,
    terrain: float | np.ndarray | None = None,
    winds: WindProfile | None = None,
    w_max_ms: float = 1.0,
    lu_index: np.ndarray | None = None,
    hydrometeors: Mapping[str, np.ndarray] | None = None,
    rotation_deg: float | np.ndarray = 0.0,
    center_lat_lon: tuple[float, float] = (41.3, -96.0),
    p_top_pa: float = 5000.0,
    warming_k_per_time: float = 0.5,
    psfc_change_pa_per_time: float = -60.0,
    noise: float = 0.0,
    seed: int = 0,
    start_time: str = "2024-05-20_18:00:00",
    time_step_minutes: int = 60,
    static_2d: bool = False,
    omit: Sequence[str] = (),
    global_attrs: Mapping[str, object] | None = None,
    overrides: Mapping[str, np.ndarray] | None = None,
    file_format: str = "NETCDF4",
    packed: Sequence[str] = (),
    projection: Mapping[str, object] | None = None,
    nest_move_per_time: tuple[float, float] = (0.0, 0.0),
) -> ModelFile:
    """Writes a model output file and returns what was written.

    sounding      profile laid over the terrain (default `standard_sounding()`).
    terrain       HGT in m, scalar or [ny, nx] (default: a 400 m hill above the
                  sounding's base height).
    winds         earth-relative wind profile: f(z_agl_m array) -> (u, v); by
                  default the sounding's winds at each level's pressure.
    w_max_ms      peak of the vertical-velocity bubble over the domain centre.
    lu_index      land-use categories [ny, nx] (16, 17 and 21 are water); default 2.
    hydrometeors  QCLOUD, QICE, QRAIN, QSNOW, QGRAUP in kg/kg, each broadcastable
                  to [nz, ny, nx] or [nt, nz, ny, nx]; missing ones are zero.
    rotation_deg  grid rotation alpha (scalar or [ny, nx]); earth-relative winds
                  become grid-relative with COSALPHA and SINALPHA.
    warming_k_per_time  every time index warms the column uniformly by this much.
    psfc_change_pa_per_time  and changes the surface pressure by this much.
    noise         standard deviation of seeded random perturbations added to T,
                  U, V and W (0 keeps columns identical over flat terrain).
    static_2d     store the static fields as [ny, nx] without a time dimension.
    file_format   netCDF4-python's format: "NETCDF4" (chunked, zlib and shuffle)
                  or a classic one ("NETCDF3_CLASSIC", "NETCDF3_64BIT_OFFSET",
                  "NETCDF3_64BIT_DATA"; stored contiguous, in records).
    packed        variables stored as 16-bit integers with float32 scale_factor
                  and add_offset (and _FillValue -32767) as common tools pack
                  them; `variables` then holds their unpacked float64 values.
    omit          names of stored variables to leave out.
    global_attrs  replaces or adds global attributes (default DX, DY as float32).
    overrides     replaces or adds a variable: its data as stored, or one time's
                  data, repeated for every time. The shape may differ from the
                  model's (to write odd files).
    projection    map projection attributes (one of `PROJECTIONS`), written as
                  global attributes with CEN_LAT/CEN_LON = center_lat_lon; XLAT
                  and XLONG are then computed with pyproj on that projection.
    nest_move_per_time  grid cells (east, north) the domain moves each time, as
                  a moving nest does (with `projection`).
    """
    snd = sounding if sounding is not None else standard_sounding()
    rng = np.random.default_rng(seed)
    if terrain is None:
        terrain_2d = snd.z_m[0] + _hill(ny, nx, 400.0)
    else:
        terrain_2d = _as_grid(terrain, ny, nx)
    alpha = np.deg2rad(_as_grid(rotation_deg, ny, nx))
    cosa, sina = np.cos(alpha), np.sin(alpha)
    lat0, lon0 = center_lat_lon
    jj, ii = np.mgrid[0:ny, 0:nx]
    xlat = lat0 + (jj - (ny - 1) / 2) * dy / 111195.0
    xlong = lon0 + (ii - (nx - 1) / 2) * dx / (111195.0 * np.cos(np.deg2rad(xlat)))
    if projection is not None:
        from .projections import grid_lat_lon

        xlat, xlong = grid_lat_lon(projection, center_lat_lon, nx, ny, dx, dy)
    lu = _as_grid(2.0 if lu_index is None else lu_index, ny, nx)
    bubble = np.exp(-(((ii - (nx - 1) / 2) / max(nx / 3, 1)) ** 2 + ((jj - (ny - 1) / 2) / max(ny / 3, 1)) ** 2))

    start = datetime.strptime(start_time, "%Y-%m-%d_%H:%M:%S")
    times = [(start + timedelta(minutes=time_step_minutes * n)).strftime("%Y-%m-%d_%H:%M:%S") for n in range(nt)]

    per_time: dict[str, list[np.ndarray]] = {}

    def add(name: str, value: np.ndarray) -> None:
        per_time.setdefault(name, []).append(np.asarray(value, dtype=np.float64))

    for n in range(nt):
        col = _column_state(snd, terrain_2d, nz, p_top_pa, warming_k_per_time * n, psfc_change_pa_per_time * n)
        pb_half, phb_full = _base_state(terrain_2d, col["eta_full"], p_top_pa)
        z_agl_half = col["z_half"] - terrain_2d[None]
        if winds is None:
            u_e, v_e = col["u"], col["v"]
            u10_e, v10_e = snd.winds_at_height(terrain_2d + 10.0)
        else:
            u_e, v_e = winds(z_agl_half)
            u10_e, v10_e = winds(np.full_like(terrain_2d, 10.0))
        # Earth-relative to grid-relative: the inverse of the rotation to earth.
        u_g = u_e * cosa + v_e * sina
        v_g = v_e * cosa - u_e * sina
        theta = (col["t_c"] + 273.15) * (P0_PA / col["p_half"]) ** KAPPA
        frac = 1.0 - col["eta_full"]
        w = w_max_ms * np.sin(np.pi * frac)[:, None, None] * bubble[None]
        if noise > 0:
            theta = theta + noise * rng.standard_normal(theta.shape)
            u_g = u_g + noise * rng.standard_normal(u_g.shape)
            v_g = v_g + noise * rng.standard_normal(v_g.shape)
            w[1:] = w[1:] + noise * rng.standard_normal(w[1:].shape)
        phi = G * col["z_full"]

        add("T", theta - 300.0)
        add("P", col["p_half"] - pb_half)
        add("PB", pb_half)
        add("PH", phi - phb_full)
        add("PHB", phb_full)
        add("U", _stagger(u_g, axis=2))
        add("V", _stagger(v_g, axis=1))
        add("W", w)
        add("QVAPOR", col["qv"])
        for name in HYDROMETEORS:
            value = (hydrometeors or {}).get(name, 0.0)
            value = np.asarray(value, dtype=np.float64)
            add(name, np.broadcast_to(value[n] if value.ndim == 4 else value, (nz, ny, nx)))
        t_sfc, td_sfc, _, _ = snd.at_pressure(col["psfc"] / 100.0)
        t_sfc = t_sfc + warming_k_per_time * n
        td_sfc = np.minimum(td_sfc + warming_k_per_time * n, t_sfc)
        add("T2", t_sfc + 273.15)
        add("Q2", mixing_ratio_from_dewpoint(col["psfc"] / 100.0, td_sfc))
        add("PSFC", col["psfc"])
        add("U10", u10_e * cosa + v10_e * sina)
        add("V10", v10_e * cosa - u10_e * sina)
        add("XTIME", np.float64(n * time_step_minutes))
        if projection is not None and n > 0 and nest_move_per_time != (0.0, 0.0):
            moved = (nest_move_per_time[0] * n, nest_move_per_time[1] * n)
            xlat, xlong = grid_lat_lon(projection, center_lat_lon, nx, ny, dx, dy, moved)
        for name, value in (("XLAT", xlat), ("XLONG", xlong), ("HGT", terrain_2d), ("COSALPHA", cosa),
                            ("SINALPHA", sina), ("LU_INDEX", lu), ("MAPFAC_M", np.ones((ny, nx)))):
            if not (static_2d and n > 0):
                add(name, value)

    variables = {name: np.stack(values) for name, values in per_time.items()}
    if static_2d:
        for name in STATIC_FIELDS:
            variables[name] = variables[name][0]
    for name, value in (overrides or {}).items():
        value = np.asarray(value, dtype=np.float64)
        current = variables.get(name)
        if current is not None and current.ndim == value.ndim + 1 and value.shape == current.shape[1:]:
            value = np.broadcast_to(value, current.shape)
        variables[name] = np.array(value)
    for name in omit:
        variables.pop(name, None)

    attrs: dict[str, object] = {"DX": np.float32(dx), "DY": np.float32(dy), "TITLE": "TARQ model output"}
    if projection is not None:
        attrs.update(projection)
        attrs.update({"CEN_LAT": np.float32(lat0), "CEN_LON": np.float32(lon0)})
    attrs.update(global_attrs or {})
    _write(str(path), variables, times, attrs, nx, ny, nz, "Times" not in omit, file_format, packed)
    written = {k: v.astype(np.float32) for k, v in variables.items()}
    for name in packed:
        written[name] = read_unpacked(str(path), name)
    return ModelFile(str(path), nx, ny, nz, nt, dx, dy, times, written)


_DIMS = {
    "T": ("Time", "bottom_top", "south_north", "west_east"),
    "U": ("Time", "bottom_top", "south_north", "west_east_stag"),
    "V": ("Time", "bottom_top", "south_north_stag", "west_east"),
    "W": ("Time", "bottom_top_stag", "south_north", "west_east"),
    "PH": ("Time", "bottom_top_stag", "south_north", "west_east"),
    "PHB": ("Time", "bottom_top_stag", "south_north", "west_east"),
    "XTIME": ("Time",),
    # Static fields on the staggered grids, as model files carry them beside XLAT.
    "XLAT_U": ("south_north", "west_east_stag"),
    "XLONG_U": ("south_north", "west_east_stag"),
    "MAPFAC_U": ("south_north", "west_east_stag"),
    "XLAT_V": ("south_north_stag", "west_east"),
}
_UNITS = {
    "T": "K", "P": "Pa", "PB": "Pa", "PH": "m2 s-2", "PHB": "m2 s-2", "U": "m s-1", "V": "m s-1",
    "W": "m s-1", "QVAPOR": "kg kg-1", "T2": "K", "Q2": "kg kg-1", "PSFC": "Pa", "U10": "m s-1",
    "V10": "m s-1", "XLAT": "degree_north", "XLONG": "degree_east", "HGT": "m", "XTIME": "minutes",
    **{q: "kg kg-1" for q in HYDROMETEORS},
}


def dims_for(name: str, ndim: int) -> tuple[str, ...]:
    """The model's dimension names of a stored variable of `ndim` dimensions."""
    if name in _DIMS and len(_DIMS[name]) == ndim:
        return _DIMS[name]
    if ndim == 4:
        return _DIMS["T"]
    if ndim == 3:
        return ("Time", "south_north", "west_east")
    if ndim == 2:
        return ("south_north", "west_east")
    return ("Time",)[:ndim]


PACKED_FILL = -32767


def pack_int16(data: np.ndarray) -> tuple[np.float32, np.float32]:
    """scale_factor and add_offset that map the data's range onto int16."""
    lo, hi = float(np.min(data)), float(np.max(data))
    scale = np.float32((hi - lo) / 60000.0 if hi > lo else 1.0)
    return scale, np.float32(0.5 * (hi + lo))


def read_unpacked(path: str, name: str) -> np.ndarray:
    """A packed variable as stored, unpacked in float64: v * scale + offset,
    NaN where v is the _FillValue or missing_value."""
    import netCDF4

    with netCDF4.Dataset(path) as ds:
        var = ds[name]
        var.set_auto_maskandscale(False)
        raw = np.asarray(var[...])
        values = raw * np.float64(getattr(var, "scale_factor", 1.0)) + np.float64(getattr(var, "add_offset", 0.0))
        for attr in ("_FillValue", "missing_value"):
            if hasattr(var, attr):
                values[raw == getattr(var, attr)] = np.nan
    return values


def _write(path: str, variables: dict[str, np.ndarray], times: list[str], attrs: Mapping[str, object],
           nx: int, ny: int, nz: int, with_times: bool, file_format: str = "NETCDF4",
           packed: Sequence[str] = ()) -> None:
    import netCDF4

    classic = file_format.startswith("NETCDF3")
    with netCDF4.Dataset(path, "w", format=file_format) as ds:
        ds.createDimension("Time", None)
        ds.createDimension("DateStrLen", 19)
        for name, size in (("west_east", nx), ("south_north", ny), ("bottom_top", nz),
                           ("west_east_stag", nx + 1), ("south_north_stag", ny + 1),
                           ("bottom_top_stag", nz + 1)):
            ds.createDimension(name, size)
        if with_times:
            storage = {} if classic else dict(zlib=True, shuffle=True, chunksizes=(1, 19))
            tv = ds.createVariable("Times", "S1", ("Time", "DateStrLen"), **storage)
            tv[:] = netCDF4.stringtochar(np.array(times, dtype="S19"))
        for name, data in variables.items():
            # A dimension of another size than the model's gets a name of its
            # own; the others (Time above all) stay shared.
            dims = tuple(
                dim if dim == "Time" or ds.dimensions[dim].size == size else f"{name}_dim{i}"
                for i, (dim, size) in enumerate(zip(dims_for(name, data.ndim), data.shape))
            )
            for dim, size in zip(dims, data.shape):
                if dim not in ds.dimensions:
                    ds.createDimension(dim, size)
            chunks = (1,) + data.shape[1:] if dims[0] == "Time" else data.shape
            storage = {} if classic else dict(zlib=True, shuffle=True, complevel=4, chunksizes=chunks)
            if name in packed:
                var = ds.createVariable(name, "i2", dims, fill_value=PACKED_FILL, **storage)
                var.scale_factor, var.add_offset = pack_int16(data)
            else:
                var = ds.createVariable(name, "f4", dims, **storage)
            if name in _UNITS:
                var.units = _UNITS[name]
            var[...] = data if name in packed else data.astype(np.float32)
        for key, value in attrs.items():
            ds.setncattr(key, value)


def write_netcdf(path: str | os.PathLike, variables: Mapping[str, tuple[Sequence[str], np.ndarray]],
                 attrs: Mapping[str, object] | None = None, chunk_time: bool = False,
                 unlimited_time: bool = True) -> str:
    """Writes arbitrary variables {name: (dimension names, data)} with netCDF4,
    for files the model would never write. Dimensions are sized from the data;
    a dimension named Time is unlimited unless unlimited_time is False (then
    variables without chunk_time are stored contiguous). chunk_time chunks each
    variable one first-dimension index per chunk, with zlib and shuffle."""
    import netCDF4

    with netCDF4.Dataset(str(path), "w", format="NETCDF4") as ds:
        for dims, data in variables.values():
            for dim, size in zip(dims, np.shape(data)):
                if dim not in ds.dimensions:
                    ds.createDimension(dim, None if dim == "Time" and unlimited_time else size)
        for name, (dims, data) in variables.items():
            data = np.asarray(data)
            kwargs = {}
            if chunk_time and data.ndim > 0:
                kwargs = dict(zlib=True, shuffle=True, chunksizes=(1,) + data.shape[1:])
            var = ds.createVariable(name, data.dtype, tuple(dims), **kwargs)
            var[...] = data
        for key, value in (attrs or {}).items():
            ds.setncattr(key, value)
    return str(path)


def shrink_contiguous_storage(path: str | os.PathLike, name: str, stored_bytes: int) -> None:
    """Rewrites the data size in the layout message of a contiguous dataset, so
    that the file stores fewer bytes than the dataset's shape promises. The
    object header's checksum, where it has one, is rewritten to match: the file
    is well-formed, only inconsistent."""
    import h5py

    with h5py.File(str(path), "r") as f:
        dset = f[name]
        assert dset.chunks is None, f"{name} is not contiguous"
        address = dset.id.get_offset()
        size = dset.id.get_storage_size()
        header = h5py.h5o.get_info(dset.id).addr
    old = struct.pack("<QQ", address, size)
    data = bytearray(Path(path).read_bytes())
    at = data.find(old)
    assert at >= 0 and data.find(old, at + 1) < 0, "layout message not found exactly once"
    data[at : at + 16] = struct.pack("<QQ", address, stored_bytes)
    refresh_object_header_checksum(data, header, at)
    Path(path).write_bytes(bytes(data))


def lookup3(data: bytes) -> int:
    """Bob Jenkins' lookup3 hashlittle with initial value 0: the checksum of
    HDF5's newer metadata structures."""
    mask = 0xFFFFFFFF

    def rot(x: int, k: int) -> int:
        return ((x << k) | (x >> (32 - k))) & mask

    a = b = c = (0xDEADBEEF + len(data)) & mask
    rest = bytes(data)
    while len(rest) > 12:
        a = (a + int.from_bytes(rest[0:4], "little")) & mask
        b = (b + int.from_bytes(rest[4:8], "little")) & mask
        c = (c + int.from_bytes(rest[8:12], "little")) & mask
        a = (a - c) & mask; a ^= rot(c, 4); c = (c + b) & mask
        b = (b - a) & mask; b ^= rot(a, 6); a = (a + c) & mask
        c = (c - b) & mask; c ^= rot(b, 8); b = (b + a) & mask
        a = (a - c) & mask; a ^= rot(c, 16); c = (c + b) & mask
        b = (b - a) & mask; b ^= rot(a, 19); a = (a + c) & mask
        c = (c - b) & mask; c ^= rot(b, 4); b = (b + a) & mask
        rest = rest[12:]
    if not rest:
        return c
    tail = rest + bytes(12 - len(rest))
    a = (a + int.from_bytes(tail[0:4], "little")) & mask
    b = (b + int.from_bytes(tail[4:8], "little")) & mask
    c = (c + int.from_bytes(tail[8:12], "little")) & mask
    c ^= b; c = (c - rot(b, 14)) & mask
    a ^= c; a = (a - rot(c, 11)) & mask
    b ^= a; b = (b - rot(a, 25)) & mask
    c ^= b; c = (c - rot(b, 16)) & mask
    a ^= c; a = (a - rot(c, 4)) & mask
    b ^= a; b = (b - rot(a, 14)) & mask
    c ^= b; c = (c - rot(b, 24)) & mask
    return c


def refresh_object_header_checksum(data: bytearray, header: int, edited: int) -> None:
    """Recomputes the checksum of the block of the version 2 object header at
    `header` (its first chunk or a continuation block) that holds the edited
    offset; version 1 headers carry none."""
    if data[header : header + 4] != b"OHDR":
        return
    flags = data[header + 5]
    size_at = header + 6 + (16 if flags & 0x20 else 0) + (4 if flags & 0x10 else 0)
    width = 1 << (flags & 3)
    start = size_at + width
    end = start + int.from_bytes(data[size_at:start], "little")
    blocks = [(header, end)]
    at = start
    while at + 4 <= end:  # continuation messages name the other blocks
        kind, size = data[at], int.from_bytes(data[at + 1 : at + 3], "little")
        body = at + 4 + (2 if flags & 0x04 else 0)
        if kind == 0x10:
            block, length = struct.unpack_from("<QQ", data, body)
            blocks.append((block, block + length - 4))
        at = body + size
    for first, last in blocks:
        if first <= edited < last:
            data[last : last + 4] = lookup3(data[first:last]).to_bytes(4, "little")