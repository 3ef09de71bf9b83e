"""Runs from Python: the same files as velmora-cli, byte for byte; the CLI's checks; the state's
arrays as views; progress, Ctrl-C and exceptions stopping a run as QUIT does; the GIL released."""

import json
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest

import velmora
from conftest import run_cli, run_python

FILES = ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm")


def same_files(a, b, names):
    for name in names:
        assert (a / name).read_bytes() == (b / name).read_bytes(), name


def without_wall_time(text):
    return [l for l in text.splitlines() if not l.strip().startswith("wall time")]


def test_a_new_run_writes_the_files_of_the_command_line(tmp_path, monkeypatch):
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    out = run_cli("run --orbits 3 --particles 300 --m1 0.873 --q 0.234 --h 0.03337 --alpha 0.5 --record 2 "
                  "--frame-step 4 --lc 1 --restart-every 2 --name demo --quiet".split(), tmp_path / "cli").stdout
    monkeypatch.chdir(tmp_path / "py")
    sim = velmora.Simulation(m1=0.873, q=0.234, h=0.03337, alpha=0.5, particles=300)
    assert sim.parameters["m1"] == np.float32(0.87) and sim.parameters["h"] == np.float32(0.0334)
    sim.run(3, record=2, frame_step=4, lc=1, restart_every=2, name="demo")
    same_files(tmp_path / "cli", tmp_path / "py", FILES)
    assert sim.files == {"recording": "demo.vlm", "lightcurve": "demo_lc.vlm", "restart": "demo_rs.vlm"}
    # The summary is the one the command line prints after the run.
    summary = without_wall_time(sim.summary)
    assert summary[0] == "Run complete: 3 orbits"
    assert "\n".join(summary) in "\n".join(without_wall_time(out))
    assert (sim.npart, sim.orbit) == (300, 3)
    removed = f"removed: {sim.accreted} accreted, {sim.escaped} escaped, {sim.lost} returned to the secondary"
    assert removed in sim.summary
    with pytest.raises(ValueError, match="has run already"):
        sim.run(1)


def test_a_continued_run_writes_the_files_of_velmora_cli_restart(cli_run, tmp_path, monkeypatch):
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    for folder in ("cli", "py"):
        (tmp_path / folder / "demo_rs.vlm").write_bytes((cli_run / "demo_rs.vlm").read_bytes())
    options = "--lc 1 --record 2 --frame-step 6 --restart-every 1 --name demo"
    run_cli(f"restart demo_rs.vlm --orbits 2 {options} --threads 1 --quiet".split(), tmp_path / "cli")
    monkeypatch.chdir(tmp_path / "py")
    sim = velmora.Simulation.from_restart("demo_rs.vlm")
    restart = velmora.read_restart("demo_rs.vlm")
    assert sim.npart == restart.npart == 300 and np.array_equal(sim.x, restart.x)  # the file's state before the run
    sim.run(2, lc=1, record=2, frame_step=6, restart_every=1, name="demo", threads=2)  # the same bits
    same_files(tmp_path / "cli", tmp_path / "py", FILES)
    assert sim.orbit == 5 and "continued from orbit 3 to orbit 5" in sim.summary
    (tmp_path / "py" / "bad_rs.vlm").write_text("1 2 3\n")
    with pytest.raises(velmora.FileError, match="^bad_rs.vlm: line 1"):
        velmora.Simulation.from_restart("bad_rs.vlm")


def test_a_synchronous_run_writes_the_files_of_velmora_cli_and_its_continuation_keeps_the_scheme(tmp_path, monkeypatch):
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    options = "--lc 1 --restart-every 1 --name sync"
    run_cli(f"run --orbits 2 --particles 200 {options} --forces synchronous --threads 1 --quiet".split(), tmp_path / "cli")
    monkeypatch.chdir(tmp_path / "py")
    sim = velmora.Simulation(particles=200)
    sim.run(2, lc=1, restart_every=1, name="sync", threads=2, forces="synchronous")
    same_files(tmp_path / "cli", tmp_path / "py", ("sync_lc.vlm", "sync_rs.vlm"))
    assert "forces synchronous" in sim.summary
    # Continued without forces=, the run keeps the scheme its restart file records.
    more = velmora.Simulation.from_restart("sync_rs.vlm")
    more.run(1, restart_every=1, name="more")
    assert "forces synchronous" in more.summary
    assert json.loads((tmp_path / "py" / "more.run.json").read_text())["parameters"]["forces"] == "synchronous"


@pytest.mark.parametrize(
    "make, message",
    [
        (lambda: velmora.Simulation(m1=1.4), "m1 must be between 0.50 and 1.30 (got 1.4)"),
        (lambda: velmora.Simulation(q=0), "q must be between 0.01 and 1.00 (got 0)"),
        (lambda: velmora.Simulation(particles=25000, h=0.021),
         "h must be between 0.0080 and 0.0200 (got 0.021)\n  (the largest smoothing length for 25000 particles is 0.0200)"),
        (lambda: velmora.Simulation(particles=5, inj=6), "inj must be between 1 and 5 (got 6)"),
        (lambda: velmora.Simulation(particles=100).run(0), "orbits must be at least 1"),
        (lambda: velmora.Simulation(particles=100).run(2, record=3, name="x"), "record must be between 1 and 2 (got 3)"),
        (lambda: velmora.Simulation(particles=100).run(2, frame_step=2), "frame_step needs record"),
        (lambda: velmora.Simulation(particles=100).run(2, lc=1),
         "lc writes a file named after the run: give its base name with name"),
        (lambda: velmora.Simulation(particles=100).run(2, name="a/b"),
         "name is a base name without a folder (the files go in the current directory)"),
        (lambda: velmora.Simulation(particles=100).run(2, threads=0), "threads must be between 1 and 1024 (got 0)"),
        (lambda: velmora.Simulation(particles=100).run(2, forces="jacobi"),
         "forces must be sequential or synchronous (got 'jacobi')"),
    ],
)
def test_bad_values_raise_value_error_with_the_command_lines_message(make, message, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ValueError) as e:
        make()
    assert str(e.value) == message
    assert os.listdir(tmp_path) == []


def test_the_command_line_words_the_same_check_with_its_option_names(tmp_path):
    r = run_cli(["run", "--particles", "25000", "--h", "0.021"], tmp_path, check=False)
    assert r.returncode == 2
    with pytest.raises(ValueError) as e:
        velmora.Simulation(particles=25000, h=0.021)
    assert r.stderr == "velmora-cli run: --" + str(e.value) + "\n"
    with pytest.raises(TypeError, match="record takes a whole number"):
        velmora.Simulation(particles=100).run(2, record=1.5, name="x")


def test_state_arrays_are_views_of_the_state(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    sim = velmora.Simulation(particles=200)
    assert sim.x.shape == (0,)  # nothing injected yet
    sim.run(1, threads=1)
    for name in ("x", "y", "z", "vx", "vy", "vz", "rho", "u"):
        a = getattr(sim, name)
        assert a.dtype == np.float32 and a.shape == (sim.npart,), name
    assert sim.level.dtype == np.int16 and set(np.unique(sim.level)) <= set(range(1, 9))
    rho = sim.rho
    assert not rho.flags.owndata and rho.flags.writeable
    rho[:] = 3.0  # written through the view, read by the state's own summary
    assert "density 3.000 to 3.000" in sim.summary
    x = sim.x
    del sim
    assert np.isfinite(x).all() and x.base is not None  # the view keeps the simulation alive


def test_progress_and_an_exception_that_stops_the_run_as_quit_does(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    seen = []
    velmora.Simulation(particles=100).run(1, progress=lambda orbit, phase: seen.append((orbit, phase)))
    assert seen == [(1, p) for p in range(1, 201)]

    def stop_in_orbit_2(orbit, phase):
        if orbit == 2 and phase == 50:
            raise RuntimeError("enough")

    sim = velmora.Simulation(particles=100)
    with pytest.raises(RuntimeError, match="enough"):
        sim.run(3, lc=1, record=1, frame_step=7, name="part", progress=stop_in_orbit_2)
    assert sim.stopped and sim.summary.startswith("Run stopped after 1 of 3 orbits")
    lc = velmora.read_lightcurve("part_lc.vlm")
    assert lc.present == 200 and lc.stopped_early
    rec = velmora.read_recording("part.vlm")
    assert len(rec) == 29 + 8 and rec[-1].phase == 49  # frames complete up to the stop
    with pytest.raises(TypeError, match="progress takes"):
        velmora.Simulation(particles=100).run(1, progress="yes")


def test_progress_true_prints_a_line_per_orbit(tmp_path):
    r = run_python("import velmora; velmora.Simulation(particles=100).run(2, progress=True)", tmp_path)
    assert r.returncode == 0, r.stderr
    lines = r.stderr.splitlines()
    assert [l.split("  ")[0] for l in lines] == ["orbit 1/2", "orbit 2/2"], r.stderr


def test_ctrl_c_stops_the_run_with_its_files_complete(tmp_path):
    script = textwrap.dedent(
        """
        import sys, velmora
        sim = velmora.Simulation(particles=3000, h=0.02)
        def started(orbit, phase):
            if phase == 3 and orbit == 1:
                print("started", flush=True)
        try:
            sim.run(1000, lc=1, record=1, frame_step=7, restart_every=1, name="long", progress=started)
        except KeyboardInterrupt:
            print("interrupted", flush=True)
            print(sim.summary, flush=True)
        """
    )
    p = subprocess.Popen([sys.executable, "-c", script], cwd=tmp_path, stdout=subprocess.PIPE, text=True)
    assert p.stdout.readline().strip() == "started"
    time.sleep(1.5)
    p.send_signal(signal.SIGINT)
    out, _ = p.communicate(timeout=120)
    assert p.returncode == 0 and out.startswith("interrupted\nRun stopped after"), out
    rec = velmora.read_recording(tmp_path / "long.vlm")
    assert len(rec) >= 1 and rec[-1].n > 0  # every frame whole
    if (tmp_path / "long_lc.vlm").exists():
        assert velmora.read_lightcurve(tmp_path / "long_lc.vlm").present % 200 == 0


def test_a_run_releases_the_gil(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    sim = velmora.Simulation(particles=1000)
    worker = threading.Thread(target=sim.run, args=(2,))
    ticks = 0
    worker.start()
    started = time.monotonic()
    while worker.is_alive():
        ticks += 1  # Python code runs here only while the run has let go of the GIL
        time.sleep(0.001)
    elapsed = time.monotonic() - started
    worker.join()
    assert sim.orbit == 2
    assert elapsed > 0.2 and ticks > 50, (elapsed, ticks)
