"""The module's tests run the built package (PYTHONPATH) against the built
program ($HALVO_CLI) on the sample case and the shared real data."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(os.environ["HALVO_SOURCE"])
SHARED = Path(os.environ["HALVO_SHARED_DATA"])
DURHAM = SHARED / "durham-thirdfork"


@pytest.fixture(autouse=True)
def halvo_home(tmp_path, monkeypatch):
    """A fresh installation folder with the shipped store, for the module and the program."""
    home = tmp_path / "home"
    (home / "etc").mkdir(parents=True)
    shutil.copy(SOURCE / "etc" / "isprops.xml", home / "etc")
    monkeypatch.setenv("HALVO_HOME", str(home))
    return home


@pytest.fixture(scope="session")
def sample(tmp_path_factory):
    out = tmp_path_factory.mktemp("sample")
    subprocess.run(["/usr/bin/python3", str(SOURCE / "tools" / "make_sample_data.py"), str(out)], check=True,
                   stdout=subprocess.DEVNULL)
    return out


@pytest.fixture(scope="session")
def durham():
    if not (DURHAM / "NLCD.tif").exists():
        pytest.fail(f"missing shared data: {DURHAM}")
    return DURHAM


def cli(*args, env=None):
    """halvo ARGS: (status, stderr)."""
    p = subprocess.run([os.environ["HALVO_CLI"], *map(str, args)], capture_output=True, text=True,
                       stdin=subprocess.DEVNULL, env=env)
    return p.returncode, p.stderr
