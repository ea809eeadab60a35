"""A TarqFile pickles as its path and reopens the same file, or refuses to."""

import multiprocessing
import os
import pickle

import numpy as np
import pytest

import tarq
from tarq.testing import build_model_file


@pytest.fixture
def model(tmp_path):
    return build_model_file(tmp_path / "m.nc", nx=6, ny=5, nz=4, nt=2)


def _t2(f, t):
    return f.getvar("t2", timeidx=t)


def test_round_trip_reopens_the_same_grid(model, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    f = tarq.TarqFile("m.nc")            # a relative path is pickled absolute
    g = pickle.loads(pickle.dumps(f))
    assert isinstance(g, tarq.TarqFile) and g is not f
    assert os.path.samefile(g.path, model.path) and os.path.isabs(g.path)
    assert (g.nx, g.ny, g.nz, g.nt, g.dx, g.dy) == (f.nx, f.ny, f.nz, f.nt, f.dx, f.dy)
    assert g.times() == f.times()
    np.testing.assert_array_equal(g.getvar("slp", timeidx=1), f.getvar("slp", timeidx=1))


def test_a_window_pickles_as_the_same_window(model):
    f = tarq.TarqFile(model.path)
    for window in (f.window(1, 4, 2, 5), f.window(1, 5, 0, 4).window(2, 3, 1, 3)):
        g = pickle.loads(pickle.dumps(window))
        assert repr(g) == repr(window)
        np.testing.assert_array_equal(g.getvar("avo"), window.getvar("avo"), strict=True)
        np.testing.assert_array_equal(g.getvar("U"), window.getvar("U"), strict=True)


def test_changed_or_vanished_file_refuses_to_unpickle(model):
    f = tarq.TarqFile(model.path)
    stat = os.stat(model.path)
    touched = pickle.dumps(f)
    os.utime(model.path, ns=(stat.st_atime_ns, stat.st_mtime_ns + 1_000_000_000))
    with pytest.raises(OSError, match=r"cannot unpickle TarqFile: .*m\.nc changed since it was pickled"):
        pickle.loads(touched)
    rewritten = pickle.dumps(f)
    build_model_file(model.path, nx=7, ny=5, nz=4, nt=2)
    with pytest.raises(OSError, match="changed since it was pickled"):
        pickle.loads(rewritten)
    vanished = pickle.dumps(tarq.TarqFile(model.path))
    os.remove(model.path)
    with pytest.raises(FileNotFoundError, match=r"cannot unpickle TarqFile: .*m\.nc no longer exists"):
        pickle.loads(vanished)


def test_spawned_processes_read_pickled_files(model):
    f = tarq.TarqFile(model.path)
    with multiprocessing.get_context("spawn").Pool(2) as pool:
        results = pool.starmap(_t2, [(f, 0), (f, 1)])
    for t, result in enumerate(results):
        np.testing.assert_array_equal(result, f.getvar("t2", timeidx=t))


def test_dask_distributed_workers_read_pickled_files(model):
    distributed = pytest.importorskip("distributed")
    f = tarq.TarqFile(model.path)
    with distributed.LocalCluster(n_workers=1, threads_per_worker=2, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        futures = [client.submit(_t2, f, t, pure=False) for t in range(2)]
        results = client.gather(futures)
        # The file itself travels to the worker and back.
        back = client.submit(lambda g: g, f).result()
    for t, result in enumerate(results):
        np.testing.assert_array_equal(result, f.getvar("t2", timeidx=t))
    assert back.path == os.path.abspath(model.path)
