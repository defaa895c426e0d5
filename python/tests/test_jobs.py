"""convert --folder --jobs N: every output is what converting the log alone writes."""

import shutil

import pytest

from conftest import SAMPLES, run_cli


@pytest.fixture
def folder(tmp_path):
    logs = tmp_path / "logs"
    logs.mkdir()
    for sample in SAMPLES:
        shutil.copy(sample, logs / sample.name)
    return logs


@pytest.mark.parametrize("args", [[], ["--receivers", "1", "--header"]], ids=["defaults", "options"])
def test_jobs_2_writes_each_log_as_its_own_run(folder, tmp_path, args):
    out = tmp_path / "out"
    out.mkdir()
    status, _, err = run_cli("convert", "--folder", folder, "--out-folder", out, "--ext", "*", "--jobs", "2", "-q", *args, check=False)
    assert status == 0, err
    assert err.strip() == "Information: Conversion Has Been Completed!"
    for sample in SAMPLES:
        alone = tmp_path / (sample.stem + ".alone")
        run_cli("convert", sample, alone, "-q", *args)
        assert (out / (sample.stem + ".out")).read_bytes() == alone.read_bytes(), sample.name


def test_jobs_1_is_the_sequential_folder_run(folder, tmp_path):
    one, plain = tmp_path / "one", tmp_path / "plain"
    one.mkdir(), plain.mkdir()
    run_cli("convert", "--folder", folder, "--out-folder", one, "--ext", "*.?vf", "--jobs", "1", "-q")
    run_cli("convert", "--folder", folder, "--out-folder", plain, "--ext", "*.?vf", "-q")
    names = sorted(p.name for p in plain.iterdir())
    assert names == sorted(p.name for p in one.iterdir()) and names
    for name in names:
        assert (one / name).read_bytes() == (plain / name).read_bytes()


def test_a_failing_log_fails_the_folder_run(folder, tmp_path):
    out = tmp_path / "out"
    out.mkdir()
    (out / "drive-selvor.out").mkdir()  # an output that cannot be written
    status, _, err = run_cli("convert", "--folder", folder, "--out-folder", out, "--ext", "*", "--jobs", "2", "-q", check=False)
    assert status == 1
    assert "Error: Output File Cannot Be Accessed!" in err
    assert "Conversion Has Been Completed!" not in err


@pytest.mark.parametrize(
    "args,reason",
    [
        (["--jobs", "0"], "--jobs: 1 to 64 logs at a time"),
        (["--jobs", "2", "samples/drive-tarvik.tvf"], "--jobs goes with --folder"),
    ],
)
def test_jobs_usage(args, reason, tmp_path):
    status, _, err = run_cli("convert", *args, check=False)
    assert status == 2 and reason in err


def test_an_empty_folder_completes_with_no_file(tmp_path):
    status, _, err = run_cli("convert", "--folder", tmp_path, "--out-folder", tmp_path, "--jobs", "3", "-q", check=False)
    assert status == 0


def test_ctrl_c_stops_every_log_of_a_parallel_run(tmp_path):
    import signal
    import subprocess
    import time

    from conftest import CLI, ROOT

    logs, out = tmp_path / "logs", tmp_path / "out"
    logs.mkdir(), out.mkdir()
    for k in range(400):
        shutil.copy(ROOT / "samples" / "drive-pelmor.pvf", logs / f"p{k:03}.pvf")
    run = subprocess.Popen([CLI, "convert", "--folder", logs, "--out-folder", out, "--jobs", "2", "-q"],
                           stderr=subprocess.PIPE)
    deadline = time.monotonic() + 30
    while not any(out.iterdir()) and time.monotonic() < deadline:
        time.sleep(0.01)
    run.send_signal(signal.SIGINT)
    _, err = run.communicate(timeout=60)
    if run.returncode == 0:
        pytest.skip("the run had ended before the interrupt")
    assert run.returncode == 1
    assert b"interrupted" in err and b"Conversion Has Been Completed!" not in err
    assert len(list(out.iterdir())) < 400


def test_an_output_that_is_another_log_of_the_run_is_refused(tmp_path):
    """Every output is checked against every log of the run by file identity, not only against
    its own log: here a.out of the output folder is the log b.pvf under another name."""
    import os

    from conftest import ROOT

    logs, out = tmp_path / "logs", tmp_path / "out"
    logs.mkdir(), out.mkdir()
    for name in ("a.pvf", "b.pvf"):
        shutil.copy(ROOT / "samples" / "drive-pelmor.pvf", logs / name)
    os.link(logs / "b.pvf", out / "a.out")
    before = (logs / "b.pvf").read_bytes()
    for jobs in ("1", "2"):
        status, _, err = run_cli("convert", "--folder", logs, "--out-folder", out, "--jobs", jobs, "-q", check=False)
        assert status == 1, jobs
        assert "Error: Output File Cannot Be Accessed!" in err and "it is an input of this run" in err
        assert (logs / "b.pvf").read_bytes() == before
        assert sorted(p.name for p in out.iterdir()) == ["a.out"]


def test_two_logs_writing_one_output_are_refused_before_anything_is_written(tmp_path):
    from conftest import ROOT

    logs, out = tmp_path / "logs", tmp_path / "out"
    logs.mkdir(), out.mkdir()
    shutil.copy(ROOT / "samples" / "drive-tarvik.tvf", logs / "d.tvf")
    shutil.copy(ROOT / "samples" / "drive-tarvik-ext.tvf", logs / "d.tv2")
    status, _, err = run_cli("convert", "--folder", logs, "--out-folder", out, "--ext", "d.*", "--jobs", "2", "-q", check=False)
    assert status == 1
    assert "written by both" in err
    assert not any(out.iterdir())


def test_skipped_files_and_damaged_logs_end_as_the_sequential_run_ends(tmp_path):
    """Files that are no logs are skipped, a log cut short is converted as far as it goes; the
    summary and the exit status are those of the sequential folder run."""
    from conftest import ROOT

    folder = tmp_path / "logs"
    folder.mkdir()
    data = (ROOT / "samples" / "drive-tarvik.tvf").read_bytes()
    (folder / "a.tvf").write_bytes(data)
    (folder / "cut.tvf").write_bytes(data[: len(data) // 2 + 3])
    (folder / "empty.tvf").write_bytes(b"")
    (folder / "notes.tvf").write_bytes(b"no log\r\n")
    (folder / "z.tvf").write_bytes(data)
    results = {}
    for jobs in ("1", "2"):
        out = tmp_path / ("out" + jobs)
        out.mkdir()
        status, _, err = run_cli("convert", "--folder", folder, "--out-folder", out, "--ext", "*.tvf", "--jobs", jobs, "-q", check=False)
        results[jobs] = (status, err.replace(str(out), "OUT"), sorted(p.name for p in out.iterdir()))
    assert results["1"][0] == 4
    assert results["1"][1].count("Input File Skipped!") == 2
    assert "(converted 3, skipped 2)" in results["1"][1] and "bytes were left unread" in results["1"][1]
    assert results["2"] == results["1"]
