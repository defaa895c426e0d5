"""polvane.dask.read: one partition per log, on threads and on a distributed cluster."""

import shutil

import pandas
import pytest

import polvane
import polvane.dask
from conftest import SAMPLES


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    logs = tmp_path_factory.mktemp("logs")
    for sample in SAMPLES:
        shutil.copy(sample, logs / sample.name)
    return logs


def check_partitions(ddf, paths, **options):
    assert ddf.npartitions == len(paths)
    for k, path in enumerate(paths):
        part = ddf.get_partition(k).compute()
        alone = polvane.read(path, **options)
        assert (part["source"] == str(path)).all()
        part = part[[c for c in part.columns if c != "source"]]
        # the log's own columns, in its order; the other logs' columns are null here
        others = [c for c in part.columns if c not in alone.columns]
        assert part[others].isna().all().all()
        mine = part[list(alone.columns)].reset_index(drop=True)
        assert list(mine.columns) == list(alone.columns)
        for name in alone.columns:
            a, b = mine[name].astype(object), alone[name].astype(object)
            assert [None if pandas.isna(x) else x for x in a] == [None if pandas.isna(x) else x for x in b], name


def test_a_glob_on_the_threaded_scheduler(folder):
    ddf = polvane.dask.read(str(folder / "*.?vf"))
    paths = sorted(str(p) for p in folder.glob("*.?vf"))
    assert ddf.columns[0] == "source"
    import dask

    with dask.config.set(scheduler="threads"):
        check_partitions(ddf, paths)


def test_options_and_the_long_layout(folder):
    paths = [folder / "drive-tarvik.tvf", folder / "drive-tarvik-ext.tvf"]
    ddf = polvane.dask.read(paths, layout="long", receivers=[1])
    import dask

    with dask.config.set(scheduler="sync"):
        check_partitions(ddf, [str(p) for p in paths], layout="long", receivers=[1])


def test_a_bad_option_is_raised_at_once(folder):
    with pytest.raises(TypeError):
        polvane.dask.read(folder, receiver=[1])


def test_a_local_cluster_of_two_worker_processes(folder):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            ddf = polvane.dask.read(folder)
            paths = sorted(str(p) for p in folder.iterdir())
            with distributed.get_task_stream(client) as stream:
                frame = ddf.compute()
            assert sorted(set(frame["source"])) == paths
            check_partitions(ddf, paths)
            # the logs were converted in the worker processes
            workers = set(client.scheduler_info()["workers"])
            assert len(workers) == 2
            ran_on = {task["worker"] for task in stream.data}
            assert ran_on and ran_on <= workers
