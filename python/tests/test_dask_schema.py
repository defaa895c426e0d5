"""The frame of a campaign whose logs give different columns: their union, typed for all."""

import dask
import pandas

import polvane
import polvane.dask


def frame(**columns):
    return pandas.DataFrame(columns)


LOGS = {
    "a.tvf": frame(Time=["14:05:00", "14:05:01"], Lat=[51.5, 51.6], Rx=[1, 2]),
    "b.tvf": frame(Time=["14:06:00"], Rx=[1.5], Extra=pandas.array([None], dtype="Int64")),
    "c.tvf": frame(Time=["14:07:00"], Lat=["n/a"]),
}


def test_the_union_of_the_logs_columns(monkeypatch):
    monkeypatch.setattr(polvane, "read", lambda path, layout="wide", **o: LOGS[path].copy())
    with dask.config.set(scheduler="sync"):
        ddf = polvane.dask.read(list(LOGS))
        assert list(ddf.columns) == ["source", "Time", "Lat", "Rx", "Extra"]
        # int and float give float; float and text give text; a column some log lacks is nullable
        assert str(ddf["Rx"].dtype) == "float64"
        assert ddf["Lat"].dtype == object
        assert str(ddf["Extra"].dtype) == "Int64"
        parts = [ddf.get_partition(k).compute() for k in range(3)]
    assert list(parts[0]["source"]) == ["a.tvf", "a.tvf"]
    assert list(parts[0]["Lat"]) == [51.5, 51.6]
    assert parts[0]["Extra"].isna().all() and parts[2]["Rx"].isna().all()
    assert list(parts[1]["Rx"]) == [1.5]


def test_meta_given_skips_the_pass_and_a_log_with_other_columns_is_an_error(monkeypatch):
    calls = []

    def read(path, layout="wide", **o):
        calls.append(path)
        return LOGS[path].copy()

    monkeypatch.setattr(polvane, "read", read)
    meta = LOGS["a.tvf"].head(0)
    ddf = polvane.dask.read(["a.tvf", "b.tvf"], meta=meta)
    assert calls == [] and list(ddf.columns) == ["source", "Time", "Lat", "Rx"]
    with dask.config.set(scheduler="sync"):
        assert len(ddf.get_partition(0).compute()) == 2
        try:
            ddf.get_partition(1).compute()
        except ValueError as e:
            assert "Extra" in str(e)
        else:
            raise AssertionError("a column outside the meta went unnoticed")


def test_paths_of_a_folder_a_glob_and_a_list(tmp_path):
    for name in ("b.tvf", "a.tvf", "c.svf"):
        (tmp_path / name).write_bytes(b"")
    (tmp_path / "sub").mkdir()
    assert polvane.dask.paths_of(tmp_path) == [str(tmp_path / n) for n in ("a.tvf", "b.tvf", "c.svf")]
    assert polvane.dask.paths_of(str(tmp_path / "*.tvf")) == [str(tmp_path / n) for n in ("a.tvf", "b.tvf")]
    assert polvane.dask.paths_of([tmp_path / "c.svf"]) == [str(tmp_path / "c.svf")]
