"""read against the delimited output with titles, cell by cell, in both table shapes."""

import math

import pandas
import pytest

import polvane
from conftest import ROOT, run_cli

OPTION_SETS = [
    ({}, []),
    ({"receivers": [1, 2], "best_server": True}, ["-r", "1,2", "--best-server"]),
    ({"per_seconds": 5}, ["--per-seconds", "5"]),
    ({"all_fields": True}, ["--all-fields"]),
    ({"scan_type": "fast"}, ["--scan-type", "fast"]),
    ({"drovel_mode": "table"}, ["--drovel-mode", "table"]),
    ({"fields": [18, 0], "data": ["channel", "rssi"]}, ["--fields", "18,0", "--data", "channel,rssi"]),
    ({"deselect": [1]}, ["--deselect", "1"]),
    ({"format": 9}, ["-f", "9"]),
]


def delimited_lines(sample, args, tmp_path):
    """The data lines of `polvane convert --header` split into their texts, and the message
    lines; titles lines (quoted) are left out. None when the options do not fit the product."""
    out = tmp_path / "cli.out"
    status, _, _ = run_cli("convert", sample, out, "-q", "--header", *args, check=False)
    if status == 2:
        return None
    text = out.read_bytes().decode("latin-1")
    assert text.endswith("\r\n") or text == ""
    return [line for line in text.split("\r\n")[:-1]]


def same_cell(value, text):
    if isinstance(value, str):
        return value == text
    if isinstance(value, float):
        return value == float(text)
    return int(value) == int(text)


def check_wide(frame, lines):
    """Each row is the next line of the delimited output: its non-empty texts are the row's
    non-null cells in order. A "CR / LF" cell holds a line end, so its line goes on in the next
    line of the file."""
    messages = list(frame.attrs["messages"])
    rows = iter(frame.itertuples(index=False, name=None))
    lines = iter(lines)
    for line in lines:
        if line.startswith('"'):
            continue
        if messages and line == messages[0].rstrip("\r\n"):
            messages.pop(0)
            continue
        row = next(rows)
        cells = [v for v in row if not pandas.isna(v)]
        for _ in range(sum(v.count("\n") for v in cells if isinstance(v, str))):
            line += "\n" + next(lines)
        texts = [t for t in line.split(",") if t != ""]
        assert len(cells) == len(texts), line
        for value, text in zip(cells, texts):
            assert same_cell(value, text), (value, text, line)
    assert next(rows, None) is None
    assert not messages


@pytest.mark.parametrize("options,args", OPTION_SETS, ids=lambda v: repr(v))
def test_wide_rows_are_the_delimited_lines(sample, tmp_path, options, args):
    lines = delimited_lines(sample, args, tmp_path)
    if lines is None:
        with pytest.raises(ValueError):
            polvane.read(sample, **options)
        return
    frame = polvane.read(sample, **options)
    check_wide(frame, lines)


def test_titles_come_first_in_their_order_and_types_follow_the_cells(sample, tmp_path):
    lines = delimited_lines(sample, [], tmp_path)
    frame = polvane.read(sample)
    titles = [t.strip('"') for t in next(l for l in lines if l.startswith('"')).split(",")]
    # the titles in their order; the cells past them stand among them, next to their data group
    columns = iter(frame.columns)
    assert all(title in columns for title in titles), (titles, list(frame.columns))
    assert all(c in titles or c[-1].isdigit() or c[-2:-1].isdigit() for c in frame.columns)
    for name in frame.columns:
        assert str(frame[name].dtype) in ("int64", "Int64", "float64", "object"), name
        if frame[name].dtype == object:
            assert all(v is None or isinstance(v, str) for v in frame[name])


def test_long_rows_are_one_per_reading(sample):
    """Each line gives its readings in order, receiver by receiver, a row each; a line without a
    reading gives one row with no receiver."""
    wide = polvane.read(sample)
    long = polvane.read(sample, layout="long")
    assert list(long.columns[:2]) == ["Receiver", "Reading"]
    assert long.attrs["messages"] == wide.attrs["messages"]
    lines, last = [], None
    for row, (receiver, reading) in enumerate(zip(long["Receiver"], long["Reading"])):
        key = None if pandas.isna(receiver) else (int(receiver), int(reading))
        if key is None or last is None or key <= last:
            lines.append([])
        lines[-1].append(row)
        last = key
    assert len(lines) == len(wide)
    for rows in lines:
        receivers = long["Receiver"].iloc[rows]
        assert receivers.notna().all() or len(rows) == 1


def test_a_bad_layout_is_a_value_error():
    with pytest.raises(ValueError, match="layout"):
        polvane.read(ROOT / "samples" / "drive-tarvik.tvf", layout="tall")


def test_read_writes_no_file(tmp_path):
    import shutil

    log = tmp_path / "drive.tvf"
    shutil.copy(ROOT / "samples" / "drive-tarvik.tvf", log)
    polvane.read(log, all_fields=True)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["drive.tvf"]


def test_a_fixed_layout_is_not_read_as_lines(tmp_path):
    with pytest.raises(ValueError, match="fixed layout"):
        polvane.read(ROOT / "samples" / "drive-tarvik.tvf", format="MSI Planet")
    assert not (ROOT / "samples" / "drive-tarvik.out").exists()


def test_threads_read_logs_side_by_side():
    """Logs are decoded without the GIL, each read a run of its own: frames read at once are
    the frames read alone."""
    import threading

    paths = [ROOT / "samples" / "drive-pelmor.pvf", ROOT / "samples" / "drive-tarvik-ext.tvf"] * 2
    alone = [polvane.read(p) for p in paths]
    frames = [None] * len(paths)

    def read(k):
        frames[k] = polvane.read(paths[k])

    threads = [threading.Thread(target=read, args=(k,)) for k in range(len(paths))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for mine, expected in zip(frames, alone):
        pandas.testing.assert_frame_equal(mine, expected)


def test_read_reports_progress_up_to_100():
    seen = []
    frame = polvane.read(ROOT / "samples" / "drive-pelmor.pvf", progress=seen.append)
    assert len(frame) > 0
    assert seen and seen[-1] == 100 and seen == sorted(seen)
