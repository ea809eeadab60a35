#pragma once
// Runs core work with the interpreter lock released, so other Python threads
// (a thread pool, Dask's threaded scheduler) run while the core computes.
// Whatever runs inside touches no Python object: arguments are converted
// before, and results and errors are turned into Python objects after the
// lock is taken back.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace tarq::py {

// Calls work() without the interpreter lock and returns its result. The lock
// is taken back before anything leaves, an exception included.
template <class Work>
auto without_gil(Work&& work) -> decltype(work()) {
    struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
    } reacquire{PyEval_SaveThread()};
    return std::forward<Work>(work)();
}

}  // namespace tarq::py
