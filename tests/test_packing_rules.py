"""Packed and masked stored variables read as netCDF4-python's mask-and-scale
reads them, on netCDF-4 and the classic formats; scaling attributes that are
not one number are refused naming the variable and the attribute."""

import warnings

import netCDF4
import numpy as np
import pytest

import tarq
from tarq import _tarq

F4_FILL = 9.969209968386869e36

# name: (stored type, attributes, stored values); stored values are written
# raw and every case's result is compared with netCDF4-python's.
HONOURED = {
    "byte_fill": ("i1", {"_FillValue": np.int8(-5)}, [-5, 3, 100, -128]),
    "byte_missing_scaled": ("i1", {"missing_value": np.int8(7), "scale_factor": np.float32(0.5)}, [7, 2, -3, 0]),
    "byte_scale": ("i1", {"scale_factor": np.int8(2), "add_offset": np.int8(-1)}, [1, 2, 3, -50]),
    "byte_default_fill": ("i1", {}, [-127, 0, 5, 127]),
    "short_default_fill_scaled": ("i2", {"scale_factor": np.float32(0.1), "add_offset": np.float32(5)},
                                  [-32767, 0, 10, 32767]),
    "int_default_fill": ("i4", {}, [-2147483647, 1, -2147483648, 3]),
    "float_default_fill": ("f4", {}, [F4_FILL, 1.5, -2.0, 1e37]),
    "double_default_fill": ("f8", {}, [9.969209968386869e36, 1.5, -2.0, 0.0]),
    "float_fill": ("f4", {"_FillValue": np.float32(7.0)}, [1.0, 7.0, 3.0, F4_FILL]),
    "valid_range": ("f4", {"valid_range": np.array([0, 10], "f4")}, [-1.0, 0.0, 10.0, 11.0]),
    "valid_min_max": ("i2", {"valid_min": np.int16(2), "valid_max": np.int16(8), "scale_factor": np.float64(0.25)},
                      [1, 2, 8, 9]),
    "valid_min_only": ("f8", {"valid_min": np.float64(0.0)}, [-1e-9, 0.0, 5.0, -7.0]),
    "two_missing_values": ("i2", {"missing_value": np.array([-1, -2], "i2")}, [-1, -2, -3, 0]),
    "unsafe_missing_value": ("i2", {"missing_value": np.float64(0.5)}, [0, 1, 2, 3]),
    "unsigned_short": ("i2", {"_Unsigned": "true"}, [-1, -2, 0, 5]),
    "unsigned_short_fill": ("i2", {"_Unsigned": "true", "_FillValue": np.int16(-1)}, [-1, -2, 0, 5]),
    "unsigned_byte_scaled": ("i1", {"_Unsigned": "true", "scale_factor": np.float32(0.5)}, [-1, -127, 5, 0]),
    "unsigned_int_range": ("i4", {"_Unsigned": "true", "valid_max": np.int32(-10)}, [-1, -10, 7, -2147483647]),
    "ubyte_default_fill": ("u1", {}, [255, 0, 254, 1]),
    "ushort_default_fill": ("u2", {"add_offset": np.float32(1.0)}, [65535, 0, 1, 2]),
    "int64_default_fill": ("i8", {}, [-9223372036854775806, 1, 2, 3]),
}
CLASSIC_TYPES = ("i1", "i2", "i4", "f4", "f8")

# name: (attributes, the attribute the error names)
REFUSED = {
    "text_scale": ({"scale_factor": "0.5"}, "scale_factor"),
    "text_offset": ({"add_offset": "1"}, "add_offset"),
    "two_scales": ({"scale_factor": np.array([0.5, 2.0], "f4")}, "scale_factor"),
    "two_offsets": ({"scale_factor": np.float32(0.5), "add_offset": np.array([1.0, 2.0])}, "add_offset"),
}

FORMATS = ("NETCDF4", "NETCDF3_CLASSIC", "NETCDF3_64BIT_DATA")


def _cases(fmt):
    return {name: case for name, case in HONOURED.items()
            if fmt != "NETCDF3_CLASSIC" or case[0] in CLASSIC_TYPES}


def _write(path, fmt):
    with netCDF4.Dataset(path, "w", format=fmt) as ds:
        for dim, size in (("Time", None), ("south_north", 1), ("west_east", 4)):
            ds.createDimension(dim, size)
        dims = ("Time", "south_north", "west_east")
        ds.createVariable("T2", "f4", dims)[...] = np.full((1, 1, 4), 280.0, "f4")
        for name, (dtype, attrs, stored) in _cases(fmt).items():
            var = ds.createVariable(name, dtype, dims, fill_value=attrs.get("_FillValue"))
            var.set_auto_maskandscale(False)
            for key, value in attrs.items():
                if key != "_FillValue":
                    var.setncattr(key, value)
            var[...] = np.array(stored, dtype=dtype).reshape(1, 1, 4)
        for name, (attrs, _) in REFUSED.items():
            var = ds.createVariable(name, "i2", dims)
            var.set_auto_maskandscale(False)
            for key, value in attrs.items():
                var.setncattr(key, value)
            var[...] = np.arange(4, dtype="i2").reshape(1, 1, 4)


def _netcdf4_reads(path, name):
    with netCDF4.Dataset(path) as ds, warnings.catch_warnings():
        warnings.simplefilter("ignore")
        values = ds[name][0]
    return np.ma.filled(np.ma.asarray(values).astype("f8"), np.nan)


@pytest.fixture(scope="module", params=FORMATS)
def packing_file(request, tmp_path_factory):
    path = str(tmp_path_factory.mktemp("packing") / f"{request.param}.nc")
    _write(path, request.param)
    return request.param, path


def test_honoured_cases_read_as_netcdf4_python_reads_them(packing_file):
    fmt, path = packing_file
    f = _tarq.TarqFile(path)
    disagree = []
    for name in _cases(fmt):
        expected, got = _netcdf4_reads(path, name), f.getvar(name)
        # netCDF4-python scales in the attribute's precision, tarq in float64.
        if not np.allclose(got, expected, rtol=1e-6, atol=0, equal_nan=True):
            disagree.append(f"{name}: tarq {got.tolist()} netCDF4 {expected.tolist()}")
    assert not disagree, "\n".join(disagree)


@pytest.mark.parametrize("name", REFUSED)
def test_scaling_that_is_not_one_number_is_refused(packing_file, name):
    _, path = packing_file
    attribute = REFUSED[name][1]
    with pytest.raises(tarq.AttributeTypeError, match=f"attribute '{attribute}' of variable '{name}'"):
        _tarq.TarqFile(path).getvar(name)
