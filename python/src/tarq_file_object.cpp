#include "tarq_file_object.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>
#include <string>

#include "arguments.h"
#include "compute/dispatch.h"
#include "errors.h"
#include "file/window.h"
#include "py_ref.h"
#include "to_numpy.h"
#include "without_gil.h"

namespace tarq::py {

namespace {

TarqFileObject* as_file(PyObject* self) { return reinterpret_cast<TarqFileObject*>(self); }

const TarqFile& record_of(PyObject* self) { return *as_file(self)->record; }

// The record a computation holds on to while the lock is released.
std::shared_ptr<const TarqFile> shared_record(PyObject* self) { return as_file(self)->record; }

PyObject* path_string(const TarqFile& file) {
    return PyUnicode_DecodeFSDefaultAndSize(file.path.data(), static_cast<Py_ssize_t>(file.path.size()));
}

// The path argument of TarqFile(path) and __init__(path) as an OS path, or
// nothing with a Python exception set.
std::optional<std::string> path_argument(PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"path", nullptr};
    PyObject* path = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:TarqFile", const_cast<char**>(keywords), &path)) {
        return std::nullopt;
    }
    // Any path-like object, as open() takes it: str, bytes or os.PathLike.
    PyRef fs_path(PyOS_FSPath(path));
    if (!fs_path) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) return std::nullopt;
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError, "TarqFile() argument 'path' must be str, bytes or os.PathLike, not %.200s",
                     Py_TYPE(path)->tp_name);
        return std::nullopt;
    }
    PyRef os_path(PyBytes_Check(fs_path.get()) ? fs_path.release() : PyUnicode_EncodeFSDefault(fs_path.get()));
    if (!os_path) return std::nullopt;
    return std::string(PyBytes_AS_STRING(os_path.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(os_path.get())));
}

// The opened file, or null with OSError set.
std::unique_ptr<TarqFile> open_or_raise(std::string_view path) {
    auto record = without_gil([&] { return open_tarq_file(path); });
    if (!record) {
        raise_error(record.error());
        return nullptr;
    }
    return std::move(*record);
}

PyObject* tarq_file_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guard_entry([&]() -> PyObject* {
        const auto path = path_argument(args, kwargs);
        if (!path) return nullptr;
        auto record = open_or_raise(*path);
        if (!record) return nullptr;
        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
        std::construct_at(&as_file(self)->record, std::move(record));
        return self;
    });
}

// TarqFile(path) opens the file in __new__, and its own __init__ call with the
// same path has nothing left to do. Any other __init__ call reopens: the
// object then reads the file it names, with an empty cache; if that file
// cannot be opened, OSError is raised and the object keeps the file it had.
int tarq_file_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* done = guard_entry([&]() -> PyObject* {
        TarqFileObject* file = as_file(self);
        const auto path = path_argument(args, kwargs);
        if (!path) return nullptr;
        const bool construction = !file->initialised && *path == file->record->path;
        file->initialised = true;
        if (!construction) {
            auto record = open_or_raise(*path);
            if (!record) return nullptr;
            file->record = std::move(record);
        }
        Py_RETURN_NONE;
    });
    if (done == nullptr) return -1;
    Py_DECREF(done);
    return 0;
}

void tarq_file_dealloc(PyObject* self) {
    std::destroy_at(&as_file(self)->record);
    Py_TYPE(self)->tp_free(self);
}

PyObject* tarq_file_repr(PyObject* self) {
    return guard_entry([&]() -> PyObject* {
        const TarqFile& f = record_of(self);
        PyRef path(path_string(f));
        if (!path) return nullptr;
        if (is_window(f)) {
            const auto u = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
            return PyUnicode_FromFormat("TarqFile('%U', nx=%llu, ny=%llu, nz=%llu, nt=%llu, window=(i0=%llu, i1=%llu, "
                                        "j0=%llu, j1=%llu))",
                                        path.get(), u(f.nx), u(f.ny), u(f.nz), u(f.nt), u(f.domain.i0),
                                        u(f.domain.i0 + f.nx), u(f.domain.j0), u(f.domain.j0 + f.ny));
        }
        return PyUnicode_FromFormat("TarqFile('%U', nx=%llu, ny=%llu, nz=%llu, nt=%llu)", path.get(),
                                    static_cast<unsigned long long>(f.nx), static_cast<unsigned long long>(f.ny),
                                    static_cast<unsigned long long>(f.nz), static_cast<unsigned long long>(f.nt));
    });
}

PyObject* get_nx(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(record_of(self).nx); }
PyObject* get_ny(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(record_of(self).ny); }
PyObject* get_nz(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(record_of(self).nz); }
PyObject* get_nt(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(record_of(self).nt); }
PyObject* get_dx(PyObject* self, void*) { return PyFloat_FromDouble(record_of(self).dx); }
PyObject* get_dy(PyObject* self, void*) { return PyFloat_FromDouble(record_of(self).dy); }
PyObject* get_path(PyObject* self, void*) { return path_string(record_of(self)); }

PyObject* get_cache_budget(PyObject* self, void*) { return PyLong_FromSize_t(record_of(self).cache.budget()); }

// An int of bytes fixes the budget (0 caches nothing); None restores the
// automatic one.
int set_cache_budget(PyObject* self, PyObject* value, void*) {
    PyObject* done = guard_entry([&]() -> PyObject* {
        if (value == nullptr) {
            PyErr_SetString(PyExc_TypeError, "cannot delete the cache_budget attribute");
            return nullptr;
        }
        if (value == Py_None) {
            record_of(self).cache.set_budget(std::nullopt);
            Py_RETURN_NONE;
        }
        if (!PyLong_Check(value) || PyBool_Check(value)) {
            PyErr_Format(PyExc_TypeError, "cache_budget must be an int number of bytes or None, not %.200s",
                         Py_TYPE(value)->tp_name);
            return nullptr;
        }
        int overflow = 0;
        const long long requested = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (requested == -1 && PyErr_Occurred()) return nullptr;
        if (overflow < 0 || (overflow == 0 && requested < 0)) {
            PyErr_SetString(PyExc_ValueError, "cache_budget must not be negative");
            return nullptr;
        }
        // A budget beyond what memory can hold is no budget at all.
        const std::size_t bytes = overflow > 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(requested);
        record_of(self).cache.set_budget(bytes);
        Py_RETURN_NONE;
    });
    if (done == nullptr) return -1;
    Py_DECREF(done);
    return 0;
}

PyObject* get_cached_bytes(PyObject* self, void*) { return PyLong_FromSize_t(record_of(self).cache.bytes()); }

PyGetSetDef g_properties[] = {
    {"nx", get_nx, nullptr, "Number of grid points in the x (west-east) direction.", nullptr},
    {"ny", get_ny, nullptr, "Number of grid points in the y (south-north) direction.", nullptr},
    {"nz", get_nz, nullptr, "Number of vertical levels.", nullptr},
    {"nt", get_nt, nullptr, "Number of time steps.", nullptr},
    {"dx", get_dx, nullptr, "Grid spacing in x (meters).", nullptr},
    {"dy", get_dy, nullptr, "Grid spacing in y (meters).", nullptr},
    {"path", get_path, nullptr, "File path.", nullptr},
    {"cache_budget", get_cache_budget, set_cache_budget,
     "Bytes of derived fields the file keeps for reuse. Past it, the fields of the least recently\n"
     "used time index go first. Set an int to fix it (0 keeps nothing), None for the automatic\n"
     "budget: twelve fields of the largest size cached so far.",
     nullptr},
    {"_cached_bytes", get_cached_bytes, nullptr, "Bytes of derived fields held now (testing).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyObject* tarq_file_times(PyObject* self, PyObject*) {
    return guard_entry([&]() -> PyObject* {
        const auto file = shared_record(self);
        auto times = without_gil([&] { return read_times(*file); });
        if (!times) return raise_error(times.error());
        PyRef list(PyList_New(static_cast<Py_ssize_t>(times->size())));
        if (!list) return nullptr;
        for (std::size_t i = 0; i < times->size(); ++i) {
            const std::string& s = (*times)[i];
            PyObject* item = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace");
            if (item == nullptr) return nullptr;
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
        }
        return list.release();
    });
}

const GetvarSignature g_getvar_signature(nullptr, "Compute a diagnostic variable.");

PyObject* tarq_file_getvar(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guard_entry([&]() -> PyObject* {
        GetvarArguments values{};
        if (!g_getvar_signature.bind(args, kwargs, nullptr, values)) return nullptr;
        return getvar_on(shared_record(self), values);
    });
}

// window(i0, i1, j0, j1): a TarqFile over mass points [j0:j1, i0:i1] of this
// one's grid, sharing its reader.
PyObject* tarq_file_window(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guard_entry([&]() -> PyObject* {
        static const char* keywords[] = {"i0", "i1", "j0", "j1", nullptr};
        Py_ssize_t b[4] = {0, 0, 0, 0};
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "nnnn:window", const_cast<char**>(keywords), &b[0], &b[1],
                                         &b[2], &b[3])) {
            return nullptr;
        }
        const TarqFile& f = record_of(self);
        const bool negative = b[0] < 0 || b[1] < 0 || b[2] < 0 || b[3] < 0;
        const auto u = [](Py_ssize_t v) { return static_cast<std::uint64_t>(v); };
        auto window = negative ? Result<std::unique_ptr<TarqFile>>(nullptr)
                               : window_of(f, WindowBounds{u(b[0]), u(b[1]), u(b[2]), u(b[3])});
        if (!window || *window == nullptr) {
            PyErr_Format(PyExc_ValueError,
                         "window i0=%zd, i1=%zd, j0=%zd, j1=%zd is empty or outside the grid (nx=%llu, ny=%llu): "
                         "need 0 <= i0 < i1 <= nx and 0 <= j0 < j1 <= ny",
                         b[0], b[1], b[2], b[3], static_cast<unsigned long long>(f.nx),
                         static_cast<unsigned long long>(f.ny));
            return nullptr;
        }
        PyObject* object = tarq_file_type()->tp_alloc(tarq_file_type(), 0);
        if (object == nullptr) return nullptr;
        std::construct_at(&as_file(object)->record, std::move(*window));
        as_file(object)->initialised = true;
        return object;
    });
}

// What a pickled file must still be when it is reopened: its size and
// modification time, as the file system tells them.
struct FileStamp {
    unsigned long long size;
    long long mtime;
};

std::optional<FileStamp> stamp_of(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    const auto mtime = std::filesystem::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return FileStamp{size, static_cast<long long>(mtime.time_since_epoch().count())};
}

// Pickles as a call of _tarq._reopen with the absolute path (a worker may run
// elsewhere), the grid and the file's stamp, so that the copy reads the same
// file or refuses to open.
PyObject* tarq_file_reduce(PyObject* self, PyObject*) {
    return guard_entry([&]() -> PyObject* {
        const TarqFile& f = record_of(self);
        std::error_code ec;
        const std::string path = std::filesystem::absolute(f.path, ec).string();
        const auto stamp = stamp_of(path);
        if (ec || !stamp) {
            errno = ENOENT;
            return PyErr_SetFromErrnoWithFilename(PyExc_OSError, f.path.c_str());
        }
        PyRef module(PyImport_ImportModule("tarq._tarq"));
        if (!module) return nullptr;
        PyRef reopen(PyObject_GetAttrString(module.get(), "_reopen"));
        if (!reopen) return nullptr;
        PyRef path_obj(PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
        if (!path_obj) return nullptr;
        // The whole domain's grid, and the window's bounds within it (the whole
        // domain for a file that is no window).
        const auto u = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
        return Py_BuildValue("O(OKKKKKL(KKKK))", reopen.get(), path_obj.get(), u(f.domain.nx), u(f.domain.ny),
                             u(f.nz), u(f.nt), stamp->size, stamp->mtime, u(f.domain.i0), u(f.domain.i0 + f.nx),
                             u(f.domain.j0), u(f.domain.j0 + f.ny));
    });
}

PyObject* reopen_file(PyObject*, PyObject* args) {
    return guard_entry([&]() -> PyObject* {
        PyObject* path_obj = nullptr;
        unsigned long long nx = 0, ny = 0, nz = 0, nt = 0, size = 0;
        long long mtime = 0;
        unsigned long long i0 = 0, i1 = 0, j0 = 0, j1 = 0;
        if (!PyArg_ParseTuple(args, "UKKKKKL(KKKK):_reopen", &path_obj, &nx, &ny, &nz, &nt, &size, &mtime, &i0, &i1,
                              &j0, &j1)) {
            return nullptr;
        }
        PyRef os_path(PyUnicode_EncodeFSDefault(path_obj));
        if (!os_path) return nullptr;
        const std::string path(PyBytes_AS_STRING(os_path.get()),
                               static_cast<std::size_t>(PyBytes_GET_SIZE(os_path.get())));
        const auto stamp = stamp_of(path);
        if (!stamp) {
            return PyErr_Format(PyExc_FileNotFoundError,
                                "cannot unpickle TarqFile: %U no longer exists", path_obj);
        }
        if (stamp->size != size || stamp->mtime != mtime) {
            return PyErr_Format(PyExc_OSError,
                                "cannot unpickle TarqFile: %U changed since it was pickled "
                                "(its size or modification time differs)", path_obj);
        }
        auto record = open_or_raise(path);
        if (!record) return nullptr;
        if (record->nx != nx || record->ny != ny || record->nz != nz || record->nt != nt) {
            return PyErr_Format(PyExc_OSError, "cannot unpickle TarqFile: %U no longer has the pickled grid",
                                path_obj);
        }
        if (i0 != 0 || j0 != 0 || i1 != nx || j1 != ny) {
            auto window = window_of(*record, WindowBounds{i0, i1, j0, j1});
            if (!window) {
                return PyErr_Format(PyExc_OSError, "cannot unpickle TarqFile: %U has no window i0=%llu, i1=%llu, "
                                    "j0=%llu, j1=%llu", path_obj, i0, i1, j0, j1);
            }
            record = std::move(*window);
        }
        PyTypeObject* type = tarq_file_type();
        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
        std::construct_at(&as_file(self)->record, std::move(record));
        as_file(self)->initialised = true;
        return self;
    });
}

PyMethodDef g_methods[] = {
    {"__reduce__", tarq_file_reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\nPickles the file as its path: unpickling reopens it, and raises OSError if it "
     "changed or vanished."},
    {"times", tarq_file_times, METH_NOARGS, "times($self)\n--\n\nTime strings from the file."},
    {"getvar", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(tarq_file_getvar)),
     METH_VARARGS | METH_KEYWORDS, g_getvar_signature.doc()},
    {"window", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(tarq_file_window)),
     METH_VARARGS | METH_KEYWORDS,
     "window($self, i0, i1, j0, j1)\n--\n\n"
     "A TarqFile over the mass points [j0:j1, i0:i1] of this one (0-based, end-exclusive, i\n"
     "west-east). Its nx and ny are the window's; every diagnostic equals the same crop of\n"
     "the whole domain's result, and stored variables come back cropped (a staggered\n"
     "dimension keeps its extra point). Only the window's part of each field is read.\n"
     "Raises ValueError for an empty window or one outside the grid."},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject g_tarq_file_type = [] {
    PyTypeObject type{};
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(&type), 1);  // what PyVarObject_HEAD_INIT sets
    type.tp_name = "tarq._tarq.TarqFile";
    type.tp_basicsize = sizeof(TarqFileObject);
    type.tp_dealloc = tarq_file_dealloc;
    type.tp_repr = tarq_file_repr;
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
    type.tp_doc =
        "TarqFile(path)\n--\n\n"
        "A TARQ output file handle.\n"
        "\n"
        "Opens a NetCDF TARQ output file and provides access to grid metadata\n"
        "and derived diagnostic variables.";
    type.tp_methods = g_methods;
    type.tp_getset = g_properties;
    type.tp_new = tarq_file_new;
    type.tp_init = tarq_file_init;
    return type;
}();

}  // namespace

PyTypeObject* tarq_file_type() noexcept { return &g_tarq_file_type; }

PyMethodDef g_reopen_method = {
    "_reopen", reopen_file, METH_VARARGS,
    "_reopen(path, nx, ny, nz, nt, size, mtime, window)\n--\n\nA pickled TarqFile, reopened (pickle's hook)."};

PyMethodDef reopen_method() noexcept { return g_reopen_method; }

bool ready_tarq_file_type() noexcept { return PyType_Ready(&g_tarq_file_type) == 0; }

PyObject* getvar_on(std::shared_ptr<const TarqFile> file, const GetvarArguments& arguments) {
    auto request = convert_getvar_arguments(arguments);
    if (!request) return nullptr;
    auto output =
        without_gil([&] { return compute_variable(*file, request->name, request->timeidx, request->options); });
    if (!output) return raise_error(output.error());
    return to_numpy(std::move(*output));
}

}  // namespace tarq::py
