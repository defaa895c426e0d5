"""Shared pieces of the module's tests: the bundled samples and the command line to compare
with (POLVANE_CLI, set by ctest)."""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = sorted((ROOT / "samples").iterdir())
CLI = os.environ.get("POLVANE_CLI", str(ROOT / "build" / "polvane"))


def run_cli(*args, check=True):
    """The command line's exit status, standard output and standard error."""
    done = subprocess.run([CLI, *map(str, args)], capture_output=True)
    if check and done.returncode not in (0, 4):
        raise AssertionError(f"polvane {' '.join(map(str, args))}: {done.stderr.decode()}")
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


@pytest.fixture(params=SAMPLES, ids=[p.name for p in SAMPLES])
def sample(request):
    return request.param
