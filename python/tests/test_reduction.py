"""The data reductions (threshold, traffic, one line per N metres, channel list) through read,
convert and dask.read, against the command line with the same options."""

import pytest

import polvane
import polvane.dask
from conftest import ROOT, run_cli
from test_read import check_wide, delimited_lines

# Tarvik carries GPS speeds; Selvor has none but positions and a channel list.
SAMPLES = [ROOT / "samples" / "drive-tarvik.tvf", ROOT / "samples" / "drive-selvor.svf"]

# Values that drop lines of at least one of these samples.
REDUCTIONS = [
    ({"threshold": "RSSI<-100"}, ["--threshold", "RSSI<-100"]),
    ({"threshold": "Velocity>20"}, ["--threshold", "Velocity>20"]),
    ({"traffic": ("1min", 20)}, ["--traffic", "1min,20"]),
    ({"traffic": "0.005,10"}, ["--traffic", "0.005,10"]),
    ({"per_meters": 100}, ["--per-meters", "100"]),
    ({"channels": ["1-10", 31]}, ["--channels", "1-10,31"]),
    (
        {"channels": "4-22", "best_server": True, "threshold": "RSSI>=-80", "traffic": (1, 20), "per_meters": 50},
        ["--channels", "4-22", "--best-server", "--threshold", "RSSI>=-80", "--traffic", "1,20", "--per-meters", "50"],
    ),
]
IDS = [" ".join(args) for _, args in REDUCTIONS]


@pytest.mark.parametrize("sample", SAMPLES, ids=lambda p: p.name)
@pytest.mark.parametrize("options,args", REDUCTIONS, ids=IDS)
def test_read_gives_the_reduced_lines_of_the_command_line(sample, tmp_path, options, args):
    lines = delimited_lines(sample, args, tmp_path)
    if lines is None:  # refused for this product: the module refuses it too
        with pytest.raises(ValueError):
            polvane.read(sample, **options)
        return
    frame = polvane.read(sample, **options)
    check_wide(frame, lines)


@pytest.mark.parametrize("options,args", REDUCTIONS, ids=IDS)
def test_each_reduction_acts_on_read(options, args):
    # An option that reached no control would give the unreduced frame for both samples.
    changed = []
    for sample in SAMPLES:
        try:
            reduced = polvane.read(sample, data=["channel", "rssi"], **options)
        except ValueError:
            continue
        whole = polvane.read(sample, data=["channel", "rssi"])
        changed.append(reduced.shape != whole.shape or not reduced.equals(whole))
    assert any(changed)


@pytest.mark.parametrize("sample", SAMPLES, ids=lambda p: p.name)
@pytest.mark.parametrize("options,args", REDUCTIONS, ids=IDS)
def test_convert_writes_the_command_lines_reduced_bytes(sample, tmp_path, options, args):
    mine, theirs = tmp_path / "module.out", tmp_path / "cli.out"
    status, _, err = run_cli("convert", sample, theirs, "-q", "--header", *args, check=False)
    if status == 2:
        with pytest.raises(ValueError) as raised:
            polvane.convert(sample, mine, header=True, **options)
        assert err.strip() == "polvane: " + str(raised.value)
        return
    polvane.convert(sample, mine, header=True, **options)
    assert mine.read_bytes() == theirs.read_bytes()


@pytest.mark.parametrize(
    "sample,options,args",
    [
        ("drive-tarvik.tvf", {"threshold": "RSSI>>-90"}, ["--threshold", "RSSI>>-90"]),
        ("drive-tarvik.tvf", {"threshold": "Speed>3"}, ["--threshold", "Speed>3"]),
        ("drive-tarvik.tvf", {"threshold": "RSSI"}, ["--threshold", "RSSI"]),
        ("drive-selvor.svf", {"threshold": "Velocity>20"}, ["--threshold", "Velocity>20"]),
        ("drive-tarvik.tvf", {"traffic": "0.0005"}, ["--traffic", "0.0005"]),
        ("drive-tarvik.tvf", {"traffic": (-1, 30)}, ["--traffic", "-1,30"]),
        ("drive-tarvik.tvf", {"traffic": ("2km", 30)}, ["--traffic", "2km,30"]),
        ("drive-drovel.dvf", {"traffic": (1, 30)}, ["--traffic", "1,30"]),
        ("drive-tarvik.tvf", {"per_meters": 0}, ["--per-meters", "0"]),
        ("drive-drovel.dvf", {"per_meters": 100}, ["--per-meters", "100"]),
        ("drive-tarvik.tvf", {"channels": "120-100"}, ["--channels", "120-100"]),
        ("drive-tarvik.tvf", {"channels": ["abc"]}, ["--channels", "abc"]),
        ("drive-tarvik.tvf", {"channels": [70000]}, ["--channels", "70000"]),
        ("drive-tarvik.tvf", {"channels": []}, ["--channels", ","]),
    ],
    ids=lambda v: v if isinstance(v, str) else None,
)
def test_a_bad_reduction_is_a_value_error_with_the_command_lines_reason(tmp_path, sample, options, args):
    sample = ROOT / "samples" / sample
    status, _, err = run_cli("convert", sample, tmp_path / "cli.out", "-q", *args, check=False)
    assert status == 2
    for call in (
        lambda: polvane.convert(sample, tmp_path / "module.out", **options),
        lambda: polvane.read(sample, **options),
        lambda: polvane.dask.read([sample], **options),
    ):
        with pytest.raises(ValueError) as raised:
            call()
        assert err.strip() == "polvane: " + str(raised.value)
    assert not (tmp_path / "module.out").exists()


def test_dask_read_reduces_each_partition_as_read_does():
    options = {"threshold": "RSSI>=-80", "traffic": (1, 20), "channels": "4-22", "per_meters": 50}
    ddf = polvane.dask.read(SAMPLES, layout="long", **options)
    for k, path in enumerate(SAMPLES):
        part = ddf.get_partition(k).compute(scheduler="threads").reset_index(drop=True)
        alone = polvane.read(path, layout="long", **options)
        assert len(part) == len(alone)
        assert part[list(alone.columns)].astype(object).fillna("null").equals(alone.astype(object).fillna("null"))
