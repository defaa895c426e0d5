"""Polvane CW for Python: QVX CW receiver logs as pandas data frames.

The conversions are those of the ``polvane`` command line: the same core, set up from the same
options (named as the command line's, with underscores), so ``read`` gives the lines that
``polvane convert`` writes and ``convert`` writes the very same bytes.

    >>> import polvane
    >>> df = polvane.read("drive.tvf", receivers=[1, 2], best_server=True)

Errors raise exceptions carrying the command line's texts: ``FileNotFoundError`` for an input
that does not exist, ``ValueError`` for a bad option, ``UnknownProductError`` for a file that is
not from a QVX CW product, ``ConversionError`` for a run that ended with an error; a log that
ends in damaged data gives a ``DamagedLogWarning``.
"""

import os
import warnings

from . import _polvane

__all__ = [
    "identify",
    "fields",
    "index",
    "convert",
    "read",
    "UnknownProductError",
    "ConversionError",
    "DamagedLogWarning",
]


class UnknownProductError(Exception):
    """The file is not from a QVX CW product."""


class ConversionError(RuntimeError):
    """The conversion ended with an error message (the command line's exit status 1)."""


class DamagedLogWarning(UserWarning):
    """The run completed, but part of the log could not be converted."""


# Options as the command line names them (underscores for dashes), and how each is written.
# `traffic` is the pair D, T: (0.0005, 30), ("1min", 20) or the command line's "0.0005,30".
_LIST_OPTIONS = ("fields", "receivers", "data", "deselect", "channels", "traffic")
_TEXT_OPTIONS = (
    "scan_type",
    "drovel_mode",
    "per_seconds",
    "per_meters",
    "threshold",
    "lambda_speed",
    "config",
    "format",
)
_FLAG_OPTIONS = ("all_fields", "best_server")
# Options of `convert` only: they shape the delimited file, which `read` does not write, and the
# map formats' features (`layout`, as `read` takes it; `color_thresholds` a list of dBm or the
# command line's "-70,-85,-100"; `color_column` the attribute that colours the KML points).
_FILE_OPTIONS = ("delimiter", "header", "split", "save_config")
_MAP_OPTIONS = ("layout", "color_thresholds", "color_column")
READ_OPTIONS = _LIST_OPTIONS + _TEXT_OPTIONS + _FLAG_OPTIONS
CONVERT_OPTIONS = READ_OPTIONS + _FILE_OPTIONS + _MAP_OPTIONS


def _option_text(name, value):
    if isinstance(value, bool):
        raise ValueError(f"{name}: not a {name.replace('_', ' ')}: {value!r}")
    if isinstance(value, (str, int, float)):
        return str(value)
    if isinstance(value, os.PathLike):
        return os.fspath(value)
    raise ValueError(f"{name}: not a {name.replace('_', ' ')}: {value!r}")


def _option_list(name, value):
    if isinstance(value, str):
        return value
    if isinstance(value, int) and not isinstance(value, bool):
        return str(value)
    try:
        items = list(value)
    except TypeError:
        raise ValueError(f"{name}: not a list: {value!r}") from None
    if not items:
        # An empty channel list is no "not given": the command line's parser refuses its empty
        # item, as it refuses `--channels ,`.
        if name == "channels":
            return ","
        return "none" if name in ("receivers", "data") else ""
    return ",".join(_option_text(name, item) for item in items)


def _options(allowed, kwargs):
    """The command line's options from keyword arguments."""
    options = {}
    for name, value in kwargs.items():
        if name not in allowed:
            raise TypeError(f"unknown option {name!r}")
        if value is None:
            continue
        if name in _LIST_OPTIONS or name == "color_thresholds":
            options[name] = _option_list(name, value)
        elif name in _FLAG_OPTIONS or name == "split":
            options[name] = bool(value)
        elif name == "header":
            options["header" if value else "no_header"] = True
        else:
            options[name] = _option_text(name, value)
    return options


_COMPLETED = "Conversion Has Been Completed!"


def _raise_for(outcome):
    """Turns the outcome of a run into the exception or warnings the command line's exit
    status and messages stand for."""
    status, messages, usage, interrupted = outcome
    errors = [text for kind, text in messages if kind == _polvane.ERROR]
    warned = [text for kind, text in messages if kind == _polvane.WARNING]
    if status == 2:
        raise ValueError(usage)
    if status == 3:
        raise UnknownProductError(warned[0] if warned else "File is not from a QVX CW product.")
    if status == 1:
        if interrupted:
            raise KeyboardInterrupt
        text = errors[0] if errors else "The conversion did not complete."
        if text.startswith("Input File Does Not Exist!"):
            raise FileNotFoundError(text)
        raise ConversionError(text)
    # The completion message of a run with warnings lists them, one a line, after its first.
    for text in warned:
        head, _, rest = text.partition("\n")
        for line in (rest.split("\n") if head == _COMPLETED and rest else [text]):
            warnings.warn(DamagedLogWarning(line), stacklevel=3)


def _checked(path):
    path = os.fspath(path)
    _raise_for(_polvane.check(path))
    return path


def identify(path):
    """The product of a log: ``(code, label)``, ``(0, "(None)")`` for an unknown file."""
    path = os.fspath(path)
    if not os.path.isfile(path):
        raise FileNotFoundError("Input File Does Not Exist!")
    return tuple(_polvane.identify(path))


def fields(path):
    """The fields the log's product offers, in offer order: ``[(index, title), ...]``."""
    return [tuple(f) for f in _polvane.fields(_checked(path))]


def index(path):
    """The file index as the window builds it: ``[(node, [(ordinal, label), ...]), ...]``."""
    return [(node, [tuple(s) for s in sections]) for node, sections in _polvane.index(_checked(path))]


def convert(input, output=None, *, progress=None, **options):
    """Converts a log exactly as ``polvane convert INPUT [OUTPUT]`` does.

    Options are the command line's: fields, all_fields, receivers, data, scan_type,
    drovel_mode, best_server, per_seconds, per_meters, threshold ("RSSI>-90"), traffic
    ((D, T) or "D[deg|min],T"), channels (["100-120", 450] or "100-120,450"), lambda_speed,
    deselect, config, format, and for the file delimiter, header (True / False), split and
    save_config. ``progress`` (optional) is called with whole percentages.

    The map formats (``format="gpkg"``, ``"geojson"``, ``"kml"``, ``"shp"`` or their names) take
    ``layout`` ("wide" or "long", as ``read`` gives the frame), ``color_thresholds``
    ([-70, -85, -100]) and ``color_column`` ("Rec#2 RSSI"), as ``--layout``,
    ``--color-thresholds`` and ``--color-column`` do.
    """
    opts = _options(CONVERT_OPTIONS, options)
    opts["input"] = os.fspath(input)
    if output is not None:
        opts["output"] = os.fspath(output)
    _raise_for(_polvane.convert(opts, progress))


LAYOUTS = ("wide", "long")


def _frame(columns, messages):
    import numpy
    import pandas

    data = {}
    for name, kind, values, nulls in columns:
        if kind == "int64":
            if nulls.any():
                data[name] = pandas.arrays.IntegerArray(values, nulls)
            else:
                data[name] = pandas.Series(values, dtype="int64")
        elif kind == "float64":
            data[name] = pandas.Series(values, dtype="float64")
        else:
            data[name] = pandas.Series(numpy.array(values, dtype=object), dtype=object)
    frame = pandas.DataFrame(data, columns=[c[0] for c in columns])
    frame.attrs["messages"] = list(messages)
    return frame


def read(path, *, layout="wide", progress=None, **options):
    """The lines ``polvane convert`` writes for a log (with the titles line on) as a
    ``pandas.DataFrame``: columns with the same titles, in the same order, typed int64, float64
    or str by the cells' kinds; missing cells are null.

    ``layout="wide"`` (the default) gives one row per line, its columns the widest line's cells,
    the cells past the titles named from their data group's title with the reading's ordinal
    ("Rec#1 Frequency 2"); ``layout="long"`` gives one row per data-group reading, the line's
    other cells repeated, with "Receiver" and "Reading" columns. Message lines that a product
    writes into the output (paging messages) are in ``frame.attrs["messages"]``.

    Options are the command line's (see ``convert``), less those of the delimited file.
    """
    if layout not in LAYOUTS:
        raise ValueError(f"layout: wide or long, not {layout}")
    opts = _options(READ_OPTIONS, options)
    opts["input"] = os.fspath(path)
    opts["header"] = True
    outcome, columns, messages = _polvane.read(opts, layout, progress)
    _raise_for(outcome)
    return _frame(columns, messages)


from . import dask  # noqa: E402,F401  (polvane.dask.read)
