"""Writers of the HDF5 reader's test corpus: small netCDF-4 and HDF5 files made
with netCDF4-python and h5py from seeded NumPy arrays.

Each writer takes a directory and returns the path of the file it wrote.
`UNSUPPORTED` names the datasets the reader refuses and the error each gives;
`NOT_STORED` lists datasets that read as empty although h5py shows values.
"""

from __future__ import annotations

from pathlib import Path
from typing import Callable

import zlib

import h5py
import netCDF4
import numpy as np

Writer = Callable[[Path], Path]


def _rng(seed: int) -> np.random.Generator:
    return np.random.default_rng(seed)


def _times(n: int) -> np.ndarray:
    text = [f"2024-05-{1 + i // 24:02d}_{i % 24:02d}:00:00" for i in range(n)]
    return np.array([list(t) for t in text], dtype="S1")


def write_netcdf4(directory: Path, fmt: str = "NETCDF4") -> Path:
    """A small netCDF-4 file in `fmt` with the model's kinds of variables."""
    path = directory / f"{fmt.lower()}.nc"
    rng = _rng(1)
    nt, nz, ny, nx = 3, 4, 5, 6
    with netCDF4.Dataset(path, "w", format=fmt) as ds:
        ds.createDimension("Time", None)
        ds.createDimension("DateStrLen", 19)
        ds.createDimension("bottom_top", nz)
        ds.createDimension("south_north", ny)
        ds.createDimension("west_east", nx)
        ds.createDimension("west_east_stag", nx + 1)
        dims4 = ("Time", "bottom_top", "south_north", "west_east")
        times = ds.createVariable("Times", "S1", ("Time", "DateStrLen"))
        times[:] = _times(nt)
        t = ds.createVariable("T", "f4", dims4, zlib=True, shuffle=True, chunksizes=(1, nz, ny, nx))
        t[:] = rng.normal(0.0, 5.0, (nt, nz, ny, nx)).astype("f4")
        u = ds.createVariable("U", "f4", ("Time", "bottom_top", "south_north", "west_east_stag"), zlib=True)
        u[:] = rng.normal(0.0, 10.0, (nt, nz, ny, nx + 1)).astype("f4")
        hgt = ds.createVariable("HGT", "f4", ("south_north", "west_east"))
        hgt[:] = rng.uniform(0.0, 2000.0, (ny, nx)).astype("f4")
        lu = ds.createVariable("LU_INDEX", "i4", ("Time", "south_north", "west_east"))
        lu[:] = rng.integers(-5, 30, (nt, ny, nx)).astype("i4")
        flag = ds.createVariable("FLAG", "i1", ("south_north", "west_east"))
        flag[:] = rng.integers(-128, 127, (ny, nx)).astype("i1")
        xt = ds.createVariable("XTIME", "f8", ("Time",))
        xt[:] = np.arange(nt) * 60.0
        if fmt == "NETCDF4":
            mask = ds.createVariable("MASK", "u1", ("south_north", "west_east"))
            mask[:] = rng.integers(0, 256, (ny, nx)).astype("u1")
        ds.DX = np.float32(3000.0)
        ds.DY = np.float32(3000.0)
        ds.DT = np.float64(18.5)
        ds.MAP_PROJ = np.int32(1)
        ds.TITLE = "OUTPUT FROM TARQ MODEL"
    return path


def write_netcdf4_classic(directory: Path) -> Path:
    return write_netcdf4(directory, "NETCDF4_CLASSIC")


MODEL_SHAPE = {"nt": 70, "nz": 3, "ny": 4, "nx": 5}


def write_model_like(directory: Path) -> Path:
    """About 150 variables and 100 global attributes: the root group's links and
    attributes are dense with internal B-tree nodes; T has 70 times, one chunk
    each, so its chunk index is a B-tree of level 1."""
    path = directory / "model_like.nc"
    rng = _rng(2)
    nt, nz, ny, nx = (MODEL_SHAPE[k] for k in ("nt", "nz", "ny", "nx"))
    with netCDF4.Dataset(path, "w", format="NETCDF4") as ds:
        for name, size in (("Time", None), ("DateStrLen", 19), ("bottom_top", nz), ("bottom_top_stag", nz + 1),
                           ("south_north", ny), ("south_north_stag", ny + 1), ("west_east", nx),
                           ("west_east_stag", nx + 1)):
            ds.createDimension(name, size)
        times = ds.createVariable("Times", "S1", ("Time", "DateStrLen"))
        times[:] = _times(nt)
        mass = ("Time", "bottom_top", "south_north", "west_east")
        staggered = {
            "U": ("Time", "bottom_top", "south_north", "west_east_stag"),
            "V": ("Time", "bottom_top", "south_north_stag", "west_east"),
            "PH": ("Time", "bottom_top_stag", "south_north", "west_east"),
        }
        t = ds.createVariable("T", "f4", mass, zlib=True, shuffle=True, chunksizes=(1, nz, ny, nx))
        t[:] = rng.normal(0.0, 5.0, (nt, nz, ny, nx)).astype("f4")
        for name, dims in staggered.items():
            shape = tuple(len(ds.dimensions[d]) if d != "Time" else 2 for d in dims)
            var = ds.createVariable(name, "f4", dims, zlib=True, shuffle=True, chunksizes=(1,) + shape[1:])
            var[0:2] = rng.normal(0.0, 10.0, shape).astype("f4")
        kinds = ("f4", "f8", "i4", "i1", "u1")
        for i in range(145):
            kind = kinds[i % len(kinds)]
            dims = ("Time", "south_north", "west_east") if i % 2 else ("south_north", "west_east")
            shape = (2, ny, nx) if i % 2 else (ny, nx)
            var = ds.createVariable(f"VAR{i:03d}", kind, dims, zlib=bool(i % 3), shuffle=bool(i % 3))
            if kind.startswith("f"):
                data = rng.normal(0.0, 100.0, shape).astype(kind)
            else:
                info = np.iinfo(kind)
                data = rng.integers(info.min, info.max, shape, endpoint=True).astype(kind)
            var[:] = data
        for i in range(100):
            value = (np.float32(i * 0.5), np.int32(-i), np.float64(i / 3.0), f"text {i}")[i % 4]
            ds.setncattr(f"ATTR{i:03d}", value)
        ds.DX = np.float32(3000.0)
        ds.DY = np.float32(2500.0)
    return path


def _h5_datasets(f: h5py.File, rng: np.random.Generator) -> None:
    f["contiguous_f4"] = rng.normal(size=(7, 9)).astype("f4")
    f["contiguous_f8"] = rng.normal(size=(11,))
    f["contiguous_i4"] = rng.integers(-(2**31), 2**31 - 1, size=(4, 5), dtype="i4")
    f["contiguous_u4"] = np.array([0, 1, 2**31, 2**32 - 1], dtype="u4")
    f["signed_i1"] = np.array([-128, -1, 0, 1, 127], dtype="i1")
    f["unsigned_u1"] = np.array([0, 1, 128, 255], dtype="u1")
    f["big_endian_f4"] = rng.normal(size=(3, 4)).astype(">f4")
    f["big_endian_f8"] = rng.normal(size=(5,)).astype(">f8")
    f["big_endian_i4"] = np.array([-7, 1, 2**30], dtype=">i4")
    f.create_dataset("scalar_f8", data=np.float64(42.25))
    f["times"] = _times(4)
    f["fixed_strings"] = np.array([b"2024-05-01_00:00:00", b"2024-05-01_01:00:00"], dtype="S19")
    compact = h5py.h5p.create(h5py.h5p.DATASET_CREATE)
    compact.set_layout(h5py.h5d.COMPACT)
    f.create_dataset("compact_f4", data=np.arange(6, dtype="f4"), dcpl=compact)
    chunked = rng.normal(size=(7, 9)).astype("f4")
    f.create_dataset("chunked_plain", data=chunked, chunks=(3, 4))
    for level in (1, 4, 9):
        f.create_dataset(f"chunked_gzip{level}", data=chunked, chunks=(3, 4), compression="gzip",
                         compression_opts=level)
    f.create_dataset("chunked_shuffle_gzip", data=chunked, chunks=(3, 4), compression="gzip", shuffle=True)
    f.create_dataset("chunked_shuffle_only", data=chunked, chunks=(3, 4), shuffle=True)
    f.create_dataset("chunked_fletcher32", data=chunked, chunks=(3, 4), fletcher32=True)
    f.create_dataset("chunked_shuffle_fletcher32", data=chunked, chunks=(2, 5), shuffle=True, fletcher32=True)
    f.create_dataset("chunked_shuffle_gzip_fletcher32", data=chunked, chunks=(3, 4), compression="gzip",
                     shuffle=True, fletcher32=True)
    f.create_dataset("chunked_i4_3d", data=rng.integers(-1000, 1000, size=(5, 4, 6), dtype="i4"), chunks=(2, 3, 4),
                     compression="gzip", shuffle=True)
    partial = f.create_dataset("chunked_partly_written", shape=(8, 8), dtype="f8", chunks=(4, 4))
    partial[0:4, 4:8] = rng.normal(size=(4, 4))
    f.create_dataset("chunked_unwritten", shape=(6, 6), dtype="f4", chunks=(3, 3))
    f.create_dataset("contiguous_unwritten", shape=(5,), dtype="f4")
    f.create_dataset("chunked_lzf", data=chunked, chunks=(3, 4), compression="lzf")
    f.create_dataset("chunked_scaleoffset", data=rng.integers(0, 100, size=(6, 6), dtype="i4"), chunks=(3, 3),
                     scaleoffset=0)
    for kind in ("i2", "u2", "i8", "u8"):
        info = np.iinfo(kind)
        extremes = np.array([info.min, info.max, 0, 1, info.max // 3], dtype=kind)
        for order in "<>":
            f[f"int_{kind}_{'le' if order == '<' else 'be'}"] = extremes.astype(order + kind)
        f.create_dataset(f"chunked_{kind}", data=rng.integers(info.min, info.max, size=(5, 6), dtype=kind,
                                                              endpoint=True), chunks=(2, 4), compression="gzip",
                         shuffle=True)
    f.create_dataset("big_endian_chunked", data=(np.arange(20) - 7).astype(">i4").reshape(4, 5), chunks=(2, 2),
                     compression="gzip", shuffle=True)
    _filter_mask_chunks(f, rng)
    f["committed_i4"] = np.dtype("<i4")
    f.create_dataset("uses_committed_type", data=np.array([-1, 2, 3], "i4"), dtype=f["committed_i4"])
    f.attrs.create("COMMITTED", 5, dtype=f["committed_i4"])
    f["hard_alias"] = f["contiguous_f8"]
    f["soft_link"] = h5py.SoftLink("/contiguous_f8")
    f["external_link"] = h5py.ExternalLink("elsewhere.h5", "/data")
    f.create_group("subgroup")["inside"] = np.arange(3.0)
    f.attrs["DX"] = np.float32(3000.0)
    f.attrs["DY_f8"] = np.float64(-2500.125)
    f.attrs["MINUS_FIVE"] = np.int32(-5)
    f.attrs["BIG_U4"] = np.uint32(3_000_000_000)
    f.attrs["BE_F8"] = np.array(6.5, dtype=">f8")
    f.attrs["ARRAY_F4"] = np.array([1.5, 2.5, 3.5], dtype="f4")
    f.attrs["TITLE"] = "h5py corpus file"
    f.attrs["I8"] = np.int64(7)
    f.attrs["BYTE"] = np.int8(3)


def _filter_mask_chunks(f: h5py.File, rng: np.random.Generator) -> None:
    """Shuffle then gzip, with each chunk written directly under another filter
    mask: bit 0 skips the shuffle, bit 1 the gzip."""
    ds = f.create_dataset("chunked_filter_masks", shape=(4, 4), dtype="f4", chunks=(2, 2), compression="gzip",
                          shuffle=True)
    for mask, offset in zip(range(4), ((0, 0), (0, 2), (2, 0), (2, 2))):
        block = rng.normal(size=(2, 2)).astype("<f4")
        raw = block.tobytes()
        if not mask & 1:
            raw = np.frombuffer(raw, dtype="u1").reshape(-1, 4).T.tobytes()
        if not mask & 2:
            raw = zlib.compress(raw)
        ds.id.write_direct_chunk(offset, raw, filter_mask=mask)


def write_h5py_earliest(directory: Path) -> Path:
    path = directory / "h5py_earliest.h5"
    with h5py.File(path, "w", libver="earliest") as f:
        _h5_datasets(f, _rng(3))
    return path


def write_h5py_default(directory: Path) -> Path:
    path = directory / "h5py_default.h5"
    with h5py.File(path, "w") as f:
        _h5_datasets(f, _rng(3))
    return path


def write_h5py_latest(directory: Path) -> Path:
    """Superblock 3, version 2 object headers and version 4 layouts: chunked
    datasets use the newer chunk indexes."""
    path = directory / "h5py_latest.h5"
    with h5py.File(path, "w", libver="latest") as f:
        _h5_datasets(f, _rng(3))
    return path


def _chunk_index_datasets(f: h5py.File, rng: np.random.Generator) -> None:
    """Each chunk index of layout version 4, unfiltered and filtered: single
    chunk (one chunk), implicit (fixed size, early allocation, no filter),
    fixed array (fixed size, paged past 1024 chunks), extensible array (one
    unlimited dimension, enough chunks for super blocks) and version 2 B-tree
    (two unlimited dimensions)."""
    data = rng.normal(size=(7, 9)).astype("f4")
    for suffix, filters in (("", {}), ("_gzip", dict(compression="gzip", shuffle=True))):
        f.create_dataset("single" + suffix, data=data, chunks=data.shape, **filters)
        f.create_dataset("fixed" + suffix, data=data, chunks=(3, 4), **filters)
        f.create_dataset("fixed_paged" + suffix, data=np.arange(2100, dtype="i4"), chunks=(2,), **filters)
        f.create_dataset("extensible" + suffix, data=rng.normal(size=(300, 3, 4)), chunks=(1, 3, 4),
                         maxshape=(None, 3, 4), **filters)
        f.create_dataset("btree2" + suffix, data=data, chunks=(2, 2), maxshape=(None, None), **filters)
        partial = f.create_dataset("extensible_partial" + suffix, shape=(40, 5), dtype="f8", chunks=(1, 5),
                                   maxshape=(None, 5), **filters)
        partial[3] = np.arange(5.0)
        partial[37] = -np.arange(5.0)
    dcpl = h5py.h5p.create(h5py.h5p.DATASET_CREATE)
    dcpl.set_chunk((3, 4))
    dcpl.set_alloc_time(h5py.h5d.ALLOC_TIME_EARLY)
    implicit = h5py.h5d.create(f.id, b"implicit", h5py.h5t.NATIVE_FLOAT, h5py.h5s.create_simple((7, 9)), dcpl)
    implicit.write(h5py.h5s.ALL, h5py.h5s.ALL, data)


def write_h5py_chunk_indexes(directory: Path) -> Path:
    path = directory / "h5py_chunk_indexes.h5"
    with h5py.File(path, "w", libver="latest") as f:
        _chunk_index_datasets(f, _rng(6))
    return path


def write_h5py_creation_order(directory: Path) -> Path:
    """Earliest libver but tracked creation order: "OHDR" root header under a
    version 0 superblock, as netCDF-C writes it."""
    path = directory / "h5py_creation_order.h5"
    with h5py.File(path, "w", libver="earliest", track_order=True) as f:
        _h5_datasets(f, _rng(3))
    return path


DENSE_LINKS = 25_000
DENSE_ATTRS = 700


def write_dense_heap(directory: Path) -> Path:
    """Enough links and attributes of about 3 kB that the fractal heaps grow
    child indirect blocks and the name B-trees reach depth 2."""
    path = directory / "dense_heap.h5"
    rng = _rng(4)
    with h5py.File(path, "w", libver="earliest", track_order=True) as f:
        f["base"] = np.arange(12, dtype="f4")
        base = f["base"]
        for i in range(DENSE_LINKS):
            f[f"link_{i:05d}"] = base
        for i in range(DENSE_ATTRS):
            f.attrs[f"attr_{i:04d}"] = rng.normal(size=370) if i % 2 == 0 else np.float64(i)
        # Past the heap's largest managed object: stored as a huge object.
        f.attrs["huge_attr"] = rng.normal(size=1000)
    return path


OLD_STYLE_LINKS = 600


def write_old_style_big(directory: Path) -> Path:
    """An old-style root group large enough for a version 1 B-tree of level 1
    over its symbol table nodes."""
    path = directory / "old_style_big.h5"
    with h5py.File(path, "w", libver="earliest") as f:
        f["base"] = np.arange(5, dtype="i4")
        for i in range(OLD_STYLE_LINKS):
            f[f"member_{i:04d}"] = f["base"]
        f.attrs["DX"] = np.float64(1500.0)
    return path


WRITERS: dict[str, Writer] = {
    "netcdf4": write_netcdf4,
    "netcdf4_classic": write_netcdf4_classic,
    "model_like": write_model_like,
    "h5py_earliest": write_h5py_earliest,
    "h5py_default": write_h5py_default,
    "h5py_latest": write_h5py_latest,
    "h5py_creation_order": write_h5py_creation_order,
    "h5py_chunk_indexes": write_h5py_chunk_indexes,
    "dense_heap": write_dense_heap,
    "old_style_big": write_old_style_big,
}

# Datasets the reader refuses, with a pattern of the message of its NetCdf error.
_H5PY_UNSUPPORTED = {
    "chunked_lzf": "Unsupported filter id 32000",
    "chunked_scaleoffset": "Unsupported filter id 6",
    "uses_committed_type": r"Unsupported committed \(shared\) datatype",
}
UNSUPPORTED: dict[str, dict[str, str]] = {
    "h5py_earliest": dict(_H5PY_UNSUPPORTED),
    "h5py_default": dict(_H5PY_UNSUPPORTED),
    "h5py_creation_order": dict(_H5PY_UNSUPPORTED),
    "h5py_latest": dict(_H5PY_UNSUPPORTED),
}

# Datasets that read as empty where h5py shows fill values: compact storage,
# nothing written (no address, no chunk index), and the netCDF dimensions.
NOT_STORED = {"compact_f4", "chunked_unwritten", "contiguous_unwritten"}


def write_classic(directory: Path, fmt: str) -> Path:
    """The netCDF-4 writer's variables in a classic format (fuzz seeds)."""
    return write_netcdf4(directory, fmt)


def write_packed(directory: Path) -> Path:
    """A classic file with a 16-bit packed variable and its fill value (fuzz seed)."""
    path = directory / "packed_classic.nc"
    with netCDF4.Dataset(path, "w", format="NETCDF3_64BIT_OFFSET") as ds:
        ds.createDimension("Time", None)
        ds.createDimension("west_east", 6)
        var = ds.createVariable("T2", "i2", ("Time", "west_east"), fill_value=-32767)
        var.scale_factor, var.add_offset = np.float32(0.01), np.float32(280.0)
        var[...] = np.linspace(270.0, 290.0, 12).reshape(2, 6)
    return path


# Classic netCDF files: not for h5py, seeds for the fuzz target.
CLASSIC_WRITERS: dict[str, Writer] = {
    **{fmt.lower(): (lambda d, fmt=fmt: write_classic(d, fmt))
       for fmt in ("NETCDF3_CLASSIC", "NETCDF3_64BIT_OFFSET", "NETCDF3_64BIT_DATA")},
    "packed_classic": write_packed,
}


def write_all(directory: Path) -> dict[str, Path]:
    """Writes every corpus file into `directory`."""
    directory.mkdir(parents=True, exist_ok=True)
    return {name: writer(directory) for name, writer in WRITERS.items()}


if __name__ == "__main__":
    import sys

    out = Path(sys.argv[1])
    for name, path in write_all(out).items():
        print(name, path)
    for name, writer in CLASSIC_WRITERS.items():
        print(name, writer(out))
