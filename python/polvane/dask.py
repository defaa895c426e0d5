"""Whole campaigns on Dask: ``polvane.dask.read`` gives one partition per log.

Each log is converted as a run of its own (fresh converters, as ``polvane convert LOG OUT``
converts it alone) wherever the scheduler puts the task: threads, processes or the workers of a
``dask.distributed`` cluster. Every row carries the log it comes from in a ``source`` column.

Logs of a campaign need not give the same columns (a wide frame is as wide as the log's widest
line; products differ). The frame's columns are the union of the logs' columns, in the order
they first appear, each typed wide enough for every log (int64 with nulls as pandas' "Int64",
int64 and float64 as float64, anything with text as str); a log without a column has nulls
there. Finding the union converts every log once before the frame's own tasks run; pass
``meta`` (an empty frame with the columns, for example from a first read) to skip that pass.
"""

import glob as _glob
import os

import polvane as _polvane

__all__ = ["read", "paths_of"]


def paths_of(paths):
    """The logs a ``paths`` argument names: a list of paths, a folder (its files), or a path or
    glob pattern (sorted)."""
    if isinstance(paths, (str, os.PathLike)):
        text = os.fspath(paths)
        if os.path.isdir(text):
            return sorted(
                os.path.join(text, name)
                for name in os.listdir(text)
                if os.path.isfile(os.path.join(text, name))
            )
        if _glob.has_magic(text):
            return sorted(_glob.glob(text))
        return [text]
    return [os.fspath(p) for p in paths]


def _with_source(frame, path):
    frame.insert(0, "source", path)
    frame["source"] = frame["source"].astype(object)
    return frame


def _part(path, layout, options):
    return _with_source(_polvane.read(path, layout=layout, **options), path)


def _column_kinds(path, layout, options):
    """(name, kind) of a log's columns: kind "int", "int-null", "float" or "str"."""
    frame = _part(path, layout, options)
    kinds = []
    for name in frame.columns:
        dtype = frame[name].dtype
        if str(dtype) == "Int64":
            kind = "int-null"
        elif dtype.kind == "i":
            kind = "int"
        elif dtype.kind == "f":
            kind = "float"
        else:
            kind = "str"
        kinds.append((name, kind))
    return kinds


_RANK = {"int": 0, "int-null": 1, "float": 2, "str": 3}


def _union_meta(kind_lists):
    import pandas

    order = []
    kinds = {}
    present = {}
    for kinds_of_log in kind_lists:
        for name, kind in kinds_of_log:
            if name not in kinds:
                order.append(name)
                kinds[name] = kind
                present[name] = 0
            elif _RANK[kind] > _RANK[kinds[name]]:
                kinds[name] = kind
            present[name] += 1
    columns = {}
    for name in order:
        kind = kinds[name]
        if kind == "int" and present[name] < len(kind_lists):
            kind = "int-null"
        dtype = {"int": "int64", "int-null": "Int64", "float": "float64", "str": object}[kind]
        columns[name] = pandas.Series([], dtype=dtype)
    return pandas.DataFrame(columns, columns=order)


def _conform(frame, meta):
    """The partition with exactly the meta's columns and types."""
    import pandas

    extra = [c for c in frame.columns if c not in meta.columns]
    if extra:
        raise ValueError(
            "polvane.dask.read: the log "
            + str(frame["source"].iloc[0] if len(frame) else "")
            + " has columns the frame's meta lacks: "
            + ", ".join(extra)
        )
    out = {}
    for name in meta.columns:
        dtype = meta[name].dtype
        if name in frame.columns:
            column = frame[name]
            if dtype == object:
                column = column.astype(object).where(column.notna(), None)
            elif column.dtype != dtype:
                column = column.astype(dtype)
            out[name] = column
        else:
            out[name] = pandas.Series(
                pandas.array([None] * len(frame), dtype=dtype if dtype != object else object),
                index=frame.index,
            )
    return pandas.DataFrame(out, columns=list(meta.columns), index=frame.index)


def _conformed_part(path, layout, options, meta):
    return _conform(_part(path, layout, options), meta)


def read(paths, *, layout="wide", meta=None, **options):
    """A ``dask.dataframe.DataFrame`` of the logs ``paths`` names (see ``paths_of``), one
    partition per log, with a ``source`` column; options as ``polvane.read``'s."""
    import dask
    import dask.dataframe as dd

    files = paths_of(paths)
    if not files:
        raise FileNotFoundError(f"polvane.dask.read: no log in {paths!r}")
    if layout not in _polvane.LAYOUTS:
        raise ValueError(f"layout: wide or long, not {layout}")
    # Options are checked here, once, rather than in every task.
    _polvane._options(_polvane.READ_OPTIONS, options)
    if meta is None:
        kinds = dask.compute(
            *[dask.delayed(_column_kinds, pure=True)(f, layout, options) for f in files]
        )
        meta = _union_meta(kinds)
    elif "source" not in meta.columns:
        meta = _with_source(meta.head(0).copy(), "")
    parts = [
        dask.delayed(_conformed_part, pure=True)(f, layout, options, meta.head(0)) for f in files
    ]
    return dd.from_delayed(parts, meta=meta.head(0), divisions=None, verify_meta=False)
