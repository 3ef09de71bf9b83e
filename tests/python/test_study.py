"""The figure of a parameter study: python3 -m velmora study on a small study collected by
velmora-cli, and its errors."""

import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.image
import numpy as np
import pytest

from conftest import run_cli
from velmora import study


def figure(args, cwd):
    return subprocess.run([sys.executable, "-m", "velmora", "study", *args], cwd=cwd, capture_output=True, text=True)


@pytest.fixture(scope="module")
def collected(tmp_path_factory):
    """A two-row study (q 0.1 and 0.2, three orbits of 200 particles) run and collected."""
    folder = tmp_path_factory.mktemp("study")
    run_cli(["study", "plan", "s.tsv", "--q", "0.1,0.2", "--particles", "200", "--orbits", "3"], folder)
    run_cli(["study", "run", "s.tsv", "--jobs", "2", "--quiet"], folder)
    run_cli(["study", "collect", "s.tsv"], folder)
    return folder


def inked(path):
    page = matplotlib.image.imread(path)[:, :, :3]
    return (page < 0.9).any(axis=2).mean()


def test_eps_against_q_and_any_measurement_against_any_parameter(collected):
    r = figure(["s.tsv", "--out", "eps.png"], collected)
    assert r.returncode == 0, r.stderr
    assert r.stdout == "Wrote eps.png\n"
    assert inked(collected / "eps.png") > 0.02
    r = figure(["s.tsv", "--out", "r50.pdf", "--x", "q", "--y", "r50"], collected)
    assert r.returncode == 0, r.stderr
    assert (collected / "r50.pdf").read_bytes()[:5] == b"%PDF-"


@pytest.mark.parametrize(
    "args, code, says",
    [
        (["s.tsv", "--out", "x.png", "--y", "nope"], 2, "--y nope: the table's columns are row, name, m1"),
        (["s.tsv", "--out", "x.png", "--x", "gamma"], 2, "--x gamma"),
        (["none.tsv", "--out", "x.png"], 1, "none.results.csv: No such file or directory"),
        (["s.tsv"], 2, "--out"),
    ],
)
def test_errors_name_what_is_wrong(collected, args, code, says):
    r = figure(args, collected)
    assert r.returncode == code, r.stderr
    assert says in r.stderr


def test_rows_that_differ_in_other_parameters_are_separate_series(tmp_path):
    head = "row,name,q,alpha,state,eps,eps_err\n"
    rows = ["1,a,0.10,0.50,done,0.02,0.003", "2,b,0.20,0.50,done,0.05,0.004", "3,c,0.10,1.00,done,,",
            "4,d,0.20,1.00,stopped,,"]
    (tmp_path / "t.results.csv").write_text(head + "\n".join(rows) + "\n")
    table = study.read_results(str(tmp_path / "t.tsv"))
    series = study._series([r for r in table if r["state"] == "done"], "q")
    assert sorted(series) == [(("alpha", "0.50"),), (("alpha", "1.00"),)]
    study.plot(table, str(tmp_path / "t.png"))
    assert inked(tmp_path / "t.png") > 0.02
    assert study.observed_epsilon(0.2) == pytest.approx(0.036 + 0.0116)
    assert np.isclose(study.observed_epsilon(0.35), 0.098525)


def test_a_superhump_found_only_from_its_onset_on_is_drawn_too(tmp_path):
    head = "row,name,q,state,eps,eps_err,eps_after_onset,eps_after_onset_err\n"
    rows = ["1,a,0.10,done,0.027,0.0004,0.0276,0.001", "2,b,0.30,done,,,0.086,0.001"]
    (tmp_path / "t.results.csv").write_text(head + "\n".join(rows) + "\n")
    table = study.read_results(str(tmp_path / "t.tsv"))
    study.plot(table, str(tmp_path / "both.png"))
    study.plot([dict(r, eps_after_onset="") for r in table], str(tmp_path / "whole.png"))
    # The second series adds ink: its markers, its line and its legend entry.
    assert inked(tmp_path / "both.png") > inked(tmp_path / "whole.png")
