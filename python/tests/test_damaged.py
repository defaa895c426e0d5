"""A log that ends in damaged or cut-short data: what comes before the damage is converted, and
the call warns with the command line's text instead of failing."""

import warnings

import pytest

import polvane
from conftest import run_cli
from test_read import check_wide, delimited_lines


@pytest.fixture
def cut_short(sample, tmp_path):
    """A copy of the sample cut in the middle of a record."""
    data = sample.read_bytes()
    cut = tmp_path / ("cut-" + sample.name)
    cut.write_bytes(data[: len(data) // 2 + 3])
    return cut


def test_read_warns_and_gives_the_lines_before_the_damage(cut_short, tmp_path):
    status, _, err = run_cli("convert", cut_short, tmp_path / "cli.out", "-q", "--header")
    assert status == 4
    with pytest.warns(polvane.DamagedLogWarning) as caught:
        frame = polvane.read(cut_short)
    texts = [str(w.message) for w in caught if w.category is polvane.DamagedLogWarning]
    assert len(texts) == 1
    assert texts[0].startswith(f"{cut_short}: reading stopped at byte ")
    assert texts[0] in err
    assert len(frame) > 0
    check_wide(frame, delimited_lines(cut_short, [], tmp_path))


def test_convert_warns_and_writes_the_command_lines_bytes(cut_short, tmp_path):
    run_cli("convert", cut_short, tmp_path / "cli.out", "-q")
    with pytest.warns(polvane.DamagedLogWarning, match="bytes were left unread"):
        polvane.convert(cut_short, tmp_path / "module.out")
    assert (tmp_path / "module.out").read_bytes() == (tmp_path / "cli.out").read_bytes()


def test_a_whole_log_gives_no_warning(sample):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        polvane.read(sample)


def test_the_warning_can_be_made_an_error(cut_short):
    with warnings.catch_warnings():
        warnings.simplefilter("error", polvane.DamagedLogWarning)
        with pytest.raises(polvane.DamagedLogWarning):
            polvane.read(cut_short)
