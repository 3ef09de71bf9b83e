"""Parameter studies from Python: velmora.Study run beside velmora-cli on the same table (the
same files), a row stopped by Ctrl-C and continued, the errors; and the figure of a study,
python3 -m velmora study on a small study collected by velmora-cli."""

import os
import re
import signal
import subprocess
import sys
import threading

import matplotlib

matplotlib.use("Agg")
import matplotlib.image
import numpy as np
import pytest

import velmora
from conftest import run_cli
from velmora import study

PLAN = dict(q=[0.1, 0.2], particles=200, orbits=3)


def figure(args, cwd):
    return subprocess.run([sys.executable, "-m", "velmora", "study", *args], cwd=cwd, capture_output=True, text=True)


@pytest.fixture(scope="module")
def collected(tmp_path_factory):
    """A two-row study (q 0.1 and 0.2, three orbits of 200 particles) run and collected by
    velmora-cli."""
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
    # So does the disk's precession where the table has it.
    study.plot([dict(r, precession_eps=p, precession_eps_err="0.0005") for r, p in zip(table, ("0.026", "0.088"))],
               str(tmp_path / "three.png"))
    assert inked(tmp_path / "three.png") > inked(tmp_path / "both.png")


def masked(path):
    """A file of a study folder with what differs between two runs masked: the lock holder, the
    log's times, the wall times of done, time and the results."""
    name = path.name
    text = path.read_bytes()
    if name in ("lock", "log", "time"):
        return None
    if name == "done":
        return b"".join(line for line in text.splitlines(True) if not line.startswith(b"wall_time_s "))
    if name.endswith(".results.csv"):
        return b"".join(line.rsplit(b",", 1)[0] for line in text.splitlines(True))
    if name.endswith(".run.json") or name == "analysis.json":
        # the run record's build, command line (a worker of velmora-cli or of Python), host and clocks
        return re.sub(rb'"(commit|invocation|host|started|ended|wall_seconds)": ("(?:[^"\\]|\\.)*"|[^,\n]*)',
                      rb'"\1": <M>', text)
    return text


def tree(folder):
    return {p.relative_to(folder).as_posix(): masked(p) for p in sorted(folder.rglob("*"))
            if p.is_file() and p.suffix not in (".png", ".pdf")}  # the figures the tests draw


@pytest.fixture(scope="module")
def from_python(tmp_path_factory):
    """The same study planned, run by the pool and collected from Python."""
    folder = tmp_path_factory.mktemp("python_study")
    s = velmora.Study.plan(folder / "s.tsv", **PLAN)
    assert s.run(jobs=2) == 0
    return folder, s, s.collect()


def test_python_writes_the_files_velmora_cli_writes(collected, from_python):
    folder, s, results = from_python
    mine, theirs = tree(folder), tree(collected)
    assert sorted(mine) == sorted(theirs)
    for name in theirs:
        assert mine[name] == theirs[name], name
    assert (folder / "s.results.csv").exists()
    assert len(s) == 2 and s.path == str(folder / "s.tsv")
    assert [r["name"] for r in s.rows] == ["q0.10", "q0.20"]
    assert s.rows[1] == dict(row=2, name="q0.20", m1=1.0, q=0.2, h=0.025, alpha=1.0, beta=1.0, orbits=3,
                             particles=200, inj=10, lc=1, record=None, frame_step=None, restart_every=1,
                             forces="sequential")


def test_collect_gives_a_structured_array_of_the_csv(from_python):
    folder, s, results = from_python
    assert results.dtype.names[:3] == ("row", "name", "m1")
    assert results.dtype["particles"] == np.int64 and results.dtype["eps_relation"] == np.float64
    assert list(results["state"]) == ["done", "done"]
    assert np.isnan(results["record"]).all()  # "off"
    lines = (folder / "s.results.csv").read_text().splitlines()
    header = lines[0].split(",")
    for k, line in enumerate(lines[1:]):
        for name, text in zip(header, line.split(",")):
            value = results[name][k]
            if text in ("", "off"):
                assert np.isnan(value), name
            elif results.dtype[name].kind in "if":
                assert value == pytest.approx(float(text)), name
            else:
                assert value == text, name
    assert [r["state"] for r in s.status()] == ["done", "done"]
    assert s.status()[0]["wall_time_s"] > 0
    s.plot(folder / "eps.png")
    assert inked(folder / "eps.png") > 0.02


def test_run_row_stops_on_ctrl_c_and_continues(tmp_path, capfd):
    s = velmora.Study.plan(tmp_path / "c.tsv", q=0.2, particles=200, orbits=8, restart_every=1)
    lc = tmp_path / "row1" / "row1_lc.vlm"
    before = signal.getsignal(signal.SIGINT)

    def interrupt():
        # Ctrl-C once the row has written two orbits of its light curve.
        for _ in range(3000):
            if lc.exists() and lc.read_text().count("\n") > 401:
                break
            threading.Event().wait(0.01)
        os.kill(os.getpid(), signal.SIGINT)

    cwd = os.getcwd()
    threading.Thread(target=interrupt, daemon=True).start()
    with pytest.raises(KeyboardInterrupt):
        s.run_row(1)
    assert os.getcwd() == cwd
    assert signal.getsignal(signal.SIGINT) is before
    assert s.status()[0]["state"] == "stopped"
    assert "continues from orbit" in s.status()[0]["detail"]
    assert s.run_row(1) == 0
    assert s.status()[0]["state"] == "done"
    assert lc.read_text().count("\n") == 8 * 200 + 1
    assert "attempts 2" in (tmp_path / "row1" / "done").read_text()
    assert s.run_row(1) == 0  # done: skipped
    assert "is done: skipped" in capfd.readouterr().out


@pytest.mark.parametrize(
    "call, error, says",
    [
        (lambda p: velmora.Study.plan(p / "x.tsv", q=[0.5, 1.5]), ValueError, "--q must be between 0.01 and 1.00"),
        (lambda p: velmora.Study.plan(p / "x.tsv", gamma=1), ValueError, "unknown column 'gamma'"),
        (lambda p: velmora.Study.plan(p / "x.tsv", q="0.35:0.05:0.05"), ValueError, "a range runs from"),
        (lambda p: velmora.Study(p / "none.tsv"), velmora.FileError, "none.tsv: cannot read the table"),
        (lambda p: velmora.Study.plan(p / "x.tsv").run_row(2), ValueError, "row must be between 1 and 1"),
        (lambda p: velmora.Study.plan(p / "x.tsv").run(jobs=0), ValueError, "jobs must be between 1 and 256"),
        (lambda p: velmora.Study.plan(p / "x.tsv").slurm_script(time="1:30"), ValueError, "--time must be HH:MM:SS"),
    ],
)
def test_errors_name_what_is_wrong_as_velmora_cli_does(tmp_path, call, error, says):
    with pytest.raises(error) as e:
        call(tmp_path)
    assert says in str(e.value)


def test_a_plan_is_not_replaced_without_force_and_the_slurm_script_runs_the_worker(tmp_path):
    s = velmora.Study.plan(tmp_path / "p.tsv", q="0.05:0.15:0.05", alpha=np.array([0.5, 1.0]), record=None)
    assert [r["name"] for r in s.rows][:2] == ["q0.05_a0.50", "q0.05_a1.00"]
    with pytest.raises(ValueError, match="exists: give force=True"):
        velmora.Study.plan(tmp_path / "p.tsv", q=0.2)
    s = velmora.Study.plan(tmp_path / "p.tsv", q=0.2, forces=["sequential", "synchronous"], force=True)
    assert [(r["name"], r["forces"]) for r in s.rows] == [("fsequential", "sequential"), ("fsynchronous", "synchronous")]
    s = velmora.Study.plan(tmp_path / "p.tsv", q=0.2, force=True)
    assert len(s) == 1
    path = s.slurm_script(cpus=2, max_parallel=1)
    script = open(path).read()
    assert "#SBATCH --array=1-1%1\n" in script and "#SBATCH --cpus-per-task=2\n" in script
    assert f"exec '{sys.executable}' -c " in script and "velmora._study_worker" in script
    assert os.access(path, os.X_OK) and (tmp_path / "p_slurm").is_dir()
