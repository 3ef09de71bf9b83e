"""Shared fixtures of the Python module's tests: velmora-cli, and a small run made with it."""

import os
import subprocess
import sys

import pytest

# The small run the file tests read: 3 orbits of 300 particles, every file written.
RUN_ARGS = "--orbits 3 --particles 300 --record 1 --frame-step 3 --lc 1 --restart-every 1".split()


def cli_path():
    path = os.environ.get("VELMORA_CLI")
    if not path:
        pytest.fail("VELMORA_CLI names velmora-cli (ctest sets it)")
    return path


def run_cli(args, cwd, check=True):
    """velmora-cli with the arguments in `cwd`; the completed process (text output)."""
    r = subprocess.run([cli_path(), *args], cwd=cwd, capture_output=True, text=True)
    if check and r.returncode != 0:
        pytest.fail(f"velmora-cli {' '.join(args)} exited {r.returncode}:\n{r.stdout}\n{r.stderr}")
    return r


def run_python(code, cwd, **kwargs):
    """A fresh interpreter running `code` in `cwd`, with the module's environment."""
    return subprocess.run([sys.executable, "-c", code], cwd=cwd, capture_output=True, text=True, **kwargs)


@pytest.fixture(scope="session")
def cli_run(tmp_path_factory):
    """A folder holding demo.vlm, demo_lc.vlm and demo_rs.vlm written by velmora-cli run."""
    folder = tmp_path_factory.mktemp("cli_run")
    run_cli(["run", *RUN_ARGS, "--name", "demo", "--quiet"], folder)
    return folder
