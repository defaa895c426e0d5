"""identify, fields, index and convert against the command line; the exceptions."""

import pytest

import polvane
from conftest import ROOT, run_cli


def test_identify_gives_the_command_lines_code_and_label(sample):
    _, out, _ = run_cli("identify", sample)
    _, code, label = out.rstrip("\n").split("\t")
    assert polvane.identify(sample) == (int(code), label)


def test_identify_of_an_unknown_file_is_none():
    assert polvane.identify(ROOT / "README.md") == (0, "(None)")


def test_fields_and_index_are_the_command_lines(sample):
    _, out, _ = run_cli("fields", sample)
    expected = [(int(i), t) for i, t in (line.split("\t", 1) for line in out.splitlines())]
    assert polvane.fields(sample) == expected

    _, out, _ = run_cli("index", "-q", sample)
    expected = []
    for line in out.splitlines():
        if line.startswith("  "):
            ordinal, label = line[2:].split("\t", 1)
            expected[-1][1].append((int(ordinal), label))
        else:
            expected.append((line, []))
    assert polvane.index(sample) == expected


OPTION_SETS = [
    ({}, []),
    ({"header": True, "delimiter": "tab"}, ["--header", "-d", "tab"]),
    ({"receivers": [1], "best_server": True, "header": True}, ["-r", "1", "--best-server", "--header"]),
    ({"per_seconds": 5, "all_fields": True}, ["--per-seconds", "5", "--all-fields"]),
    ({"format": 0}, ["-f", "0"]),
]


@pytest.mark.parametrize("options,args", OPTION_SETS, ids=lambda v: repr(v))
def test_convert_writes_the_command_lines_bytes(sample, tmp_path, options, args):
    mine, theirs = tmp_path / "module.out", tmp_path / "cli.out"
    status, _, err = run_cli("convert", sample, theirs, "-q", *args, check=False)
    if status == 2:  # an option this product does not take: the module says so too
        with pytest.raises(ValueError) as raised:
            polvane.convert(sample, mine, **options)
        assert err.strip() == "polvane: " + str(raised.value)
        return
    polvane.convert(sample, mine, **options)
    assert mine.read_bytes() == theirs.read_bytes()


def test_convert_reports_progress_up_to_100(tmp_path):
    seen = []
    polvane.convert(ROOT / "samples" / "drive-pelmor.pvf", tmp_path / "p.out", progress=seen.append)
    assert seen and seen[-1] == 100 and seen == sorted(seen)


def test_a_progress_callback_that_raises_stops_the_run(tmp_path):
    def fail(_):
        raise RuntimeError("stop here")

    with pytest.raises(RuntimeError, match="stop here"):
        polvane.convert(ROOT / "samples" / "drive-pelmor.pvf", tmp_path / "p.out", progress=fail)


class TestExceptions:
    def test_a_missing_input(self, tmp_path):
        for call in (polvane.fields, polvane.index, polvane.identify, polvane.read):
            with pytest.raises(FileNotFoundError, match="Input File Does Not Exist!"):
                call(tmp_path / "none.tvf")
        with pytest.raises(FileNotFoundError, match="Input File Does Not Exist!"):
            polvane.convert(tmp_path / "none.tvf", tmp_path / "x.out")

    def test_a_file_of_no_product(self, tmp_path):
        for call in (polvane.fields, polvane.index, polvane.read):
            with pytest.raises(polvane.UnknownProductError, match="File is not from a QVX CW product."):
                call(ROOT / "README.md")
        assert not issubclass(polvane.UnknownProductError, ValueError)

    @pytest.mark.parametrize(
        "options,args",
        [
            ({"receivers": [7]}, ["-r", "7"]),
            ({"fields": [9999]}, ["--fields", "9999"]),
            ({"data": ["sat"]}, ["--data", "sat"]),
            ({"scan_type": "slow"}, ["--scan-type", "slow"]),
            ({"per_meters": "ten"}, ["--per-meters", "ten"]),
            ({"format": "no such"}, ["-f", "no such"]),
            ({"deselect": [999]}, ["--deselect", "999"]),
            ({"lambda_speed": "fast"}, ["--lambda", "fast"]),
        ],
    )
    def test_a_bad_option_is_a_value_error_with_the_command_lines_reason(self, tmp_path, options, args):
        sample = ROOT / "samples" / "drive-tarvik.tvf"
        status, _, err = run_cli("convert", sample, tmp_path / "cli.out", "-q", *args, check=False)
        assert status == 2
        with pytest.raises(ValueError) as raised:
            polvane.convert(sample, tmp_path / "module.out", **options)
        assert err.strip() == "polvane: " + str(raised.value)
        with pytest.raises(ValueError):
            polvane.read(sample, **options)

    def test_an_unknown_keyword(self):
        with pytest.raises(TypeError):
            polvane.read(ROOT / "samples" / "drive-tarvik.tvf", receiver=[1])

    def test_an_output_that_cannot_be_written(self, tmp_path):
        with pytest.raises(polvane.ConversionError, match="Output File Cannot Be Accessed!"):
            polvane.convert(ROOT / "samples" / "drive-tarvik.tvf", tmp_path / "no" / "such" / "x.out")

    def test_the_damaged_log_warning_is_a_warning(self):
        assert issubclass(polvane.DamagedLogWarning, Warning)


def test_the_gil_is_released_while_a_log_is_converted(tmp_path):
    """Another Python thread keeps running while a log is decoded, and threads converting logs
    side by side each write what a conversion alone writes."""
    import threading
    import time

    sample = ROOT / "samples" / "drive-pelmor.pvf"
    polvane.convert(sample, tmp_path / "alone.out")
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.0005)

    ticker = threading.Thread(target=tick)
    ticker.start()
    workers = [
        threading.Thread(target=polvane.convert, args=(sample, tmp_path / f"t{k}.out"))
        for k in range(4)
    ]
    start = time.monotonic()
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    took = time.monotonic() - start
    stop.set()
    ticker.join()
    assert took < 0.01 or sum(start <= t <= start + took for t in ticks) >= 3
    for k in range(4):
        assert (tmp_path / f"t{k}.out").read_bytes() == (tmp_path / "alone.out").read_bytes()


def test_ctrl_c_during_a_conversion_raises_keyboard_interrupt(tmp_path):
    import os
    import signal

    def interrupt(_):
        os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt):
        polvane.convert(ROOT / "samples" / "drive-pelmor.pvf", tmp_path / "p.out", progress=interrupt)
