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
