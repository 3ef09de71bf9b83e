"""velmora.analyse: what velmora-cli analyse --json prints, on the manual's demo run, with its
tables as numpy arrays; its errors and progress."""

import json
import shutil
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import velmora
from conftest import run_cli

# The manual's demo run (Getting started, the command line).
README_RUN = "run --orbits 3 --particles 400 --record 1 --frame-step 7 --lc 1 --restart-every 1 --name demo --quiet"


@pytest.fixture(scope="module")
def demo(tmp_path_factory):
    folder = tmp_path_factory.mktemp("readme_demo")
    run_cli(README_RUN.split(), folder)
    return folder


def cli_json(folder, args):
    return json.loads(run_cli(["analyse", *args, "--json", "--quiet"], folder).stdout)


# (velmora-cli analyse options, velmora.analyse keywords, files of the run kept)
CASES = [
    ([], {}, ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm")),
    (["--first", "2", "--window", "1"], {"first": 2, "window": 1}, ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm")),
    (["--last", "2", "--prec-from", "1", "--prec-to", "2.5"], {"last": 2, "prec_from": 1, "prec_to": 2.5},
     ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm")),
    (["--window", "1", "--q", "0.2"], {"window": 1, "q": 0.2}, ("demo_lc.vlm",)),  # q from the option
    ([], {}, ("demo.vlm",)),  # q from the stars of the recording
]


@pytest.mark.parametrize("args, keywords, files", CASES)
def test_analyse_is_the_json_of_velmora_cli_analyse(demo, tmp_path, monkeypatch, args, keywords, files):
    for f in files:
        shutil.copy(demo / f, tmp_path)
    cli = cli_json(tmp_path, ["demo", *args])
    monkeypatch.chdir(tmp_path)
    a = velmora.analyse("demo", **keywords)
    assert isinstance(a, dict) and a == cli
    assert list(a) == list(cli)
    # A path to one of the files names the run as well.
    assert velmora.analyse(tmp_path / files[0], **keywords)["superhump"] == cli["superhump"]


def test_tables_are_numpy_arrays_of_the_json_columns(demo, tmp_path):
    a = velmora.analyse(demo / "demo", window=1)
    rec = velmora.read_recording(demo / "demo.vlm")
    sections = {
        "windows": a["growth"]["windows"],
        "frames": a["disk"]["frames"],
        "radii": a["eccentricity"]["bins"],
        "spectrum": a["superhump"]["spectrum"],
        "harmonics": a["superhump"]["harmonics"],
    }
    assert (len(a.windows), len(a.frames)) == (3, len(rec)) == (3, a["disk"]["frame_count"])
    assert len(a.radii) == len(a["eccentricity"]["bins"]["r_in"]) > 10
    for attribute, columns in sections.items():
        table = getattr(a, attribute)
        assert isinstance(table, np.ndarray) and table.dtype.names == tuple(columns), attribute
        for name, values in columns.items():
            expected = [np.nan if v is None else v for v in values]
            np.testing.assert_array_equal(table[name], expected, err_msg=f"{attribute}.{name}")
    assert a.windows["detected"].dtype == bool and a.frames["in_lobe"].dtype.kind == "i"
    assert np.isnan(a.radii["mean_e"][0]) and a.radii["count"][0] == 0  # an empty ring: null in the JSON

    # The tables of a missing file have their columns and no rows.
    shutil.copy(demo / "demo_lc.vlm", tmp_path)
    only_lc = velmora.analyse(tmp_path / "demo", window=1)
    assert only_lc["disk"] is None and only_lc["eccentricity"] is None
    assert len(only_lc.frames) == len(only_lc.radii) == 0
    assert only_lc.frames.dtype == a.frames.dtype and len(only_lc.windows) == 3


def test_damaged_or_missing_files_and_bad_options(demo, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    shutil.copy(demo / "demo_lc.vlm", "bad_lc.vlm")
    data = (demo / "demo.vlm").read_bytes()
    (tmp_path / "bad.vlm").write_bytes(data[: len(data) // 2])  # a frame cut short
    lines = (demo / "demo_rs.vlm").read_text().splitlines(keepends=True)
    (tmp_path / "bad_rs.vlm").write_text("".join(lines[:5]) + " x\n")
    r = run_cli(["analyse", "bad", "--quiet"], tmp_path, check=False)
    assert r.returncode == 1
    with pytest.raises(velmora.FileError) as e:
        velmora.analyse("bad")
    assert r.stderr == f"velmora-cli analyse: {e.value}\n" and "bad_rs.vlm: line 6" in str(e.value)
    (tmp_path / "bad_rs.vlm").unlink()
    r = run_cli(["analyse", "bad", "--quiet"], tmp_path, check=False)
    with pytest.raises(velmora.FileError) as e:
        velmora.analyse("bad")
    assert r.stderr.endswith(f"velmora-cli analyse: {e.value}\n") and "bad.vlm: frame" in str(e.value)

    r = run_cli(["analyse", "none"], tmp_path, check=False)
    with pytest.raises(FileNotFoundError) as e:
        velmora.analyse("none")
    assert r.returncode == 1 and r.stderr == f"velmora-cli analyse: {e.value}\n"

    shutil.copy(demo / "demo.vlm", tmp_path)
    for keywords, error, message in [
        ({"window": 0}, ValueError, r"^window must be between 1 and 1000000 orbits \(got 0\)$"),
        ({"q": -1}, ValueError, "^q must be greater than 0 and at most 100"),
        ({"first": 1}, ValueError, "^first and last choose orbits of demo_lc.vlm, which is missing$"),
        ({"window": 2.5}, TypeError, "^window takes a whole number"),
        ({"progress": "yes"}, TypeError, "^progress takes True, False, None or a callable"),
    ]:
        with pytest.raises(error, match=message):
            velmora.analyse("demo", **keywords)
    with pytest.raises(ValueError, match=r"^last must be between 1 and 3 \(bad_lc.vlm holds 3 whole orbits\)$"):
        velmora.analyse("bad", last=4)


def test_progress_and_an_exception_that_stops_the_analysis(demo, capsys, monkeypatch):
    monkeypatch.chdir(demo)
    calls = []
    velmora.analyse("demo", window=1, progress=lambda *a: calls.append(a))
    stages = {stage: (done, total) for stage, done, total in calls}
    assert stages == {"light curve windows": (3, 3), "recording": (stages["recording"][1],) * 2}
    assert all(isinstance(done, int) and 0 < done <= total for _, done, total in calls)

    class Stop(Exception):
        pass

    def stop(stage, done, total):
        raise Stop(stage)

    with pytest.raises(Stop, match="light curve windows"):
        velmora.analyse("demo", window=1, progress=stop)
    capsys.readouterr()
    velmora.analyse("demo", window=1, progress=True)
    err = capsys.readouterr().err
    assert "light curve windows 100%" in err and "recording 100%" in err


def test_analyse_releases_the_gil(tmp_path):
    # A light curve of 1000 orbits: a superhump-like sine in noise.
    n = 1000 * 200
    t = np.arange(1, n + 1) / 200
    lum = 1 + 0.05 * np.sin(2 * np.pi * 0.96 * t) + 0.1 * np.random.default_rng(1).standard_normal(n)
    lines = "".join(f" {a:18.10E} {b:18.10E}\r\n" for a, b in zip(t, lum))
    (tmp_path / "long_lc.vlm").write_text(f" {n}\r\n{lines}", newline="")
    result = {}
    worker = threading.Thread(target=lambda: result.update(a=velmora.analyse(tmp_path / "long", q=0.15)))
    ticks = 0
    worker.start()
    while worker.is_alive():
        ticks += 1  # Python code runs here only while the analysis has let go of the GIL
        time.sleep(0.001)
    worker.join()
    assert result["a"]["superhump"]["detected"] and len(result["a"].windows) == 99
    assert ticks > 10, ticks


# The light curves of two real runs (3000 particles, 120 orbits; tests/analysis/data/README.md):
# little-endian 32-bit luminosities, 200 samples per orbit from orbit 1.
REAL_RUNS = ["q015_3000", "q035_3000"]


def write_light_curve(fixture, path):
    """Writes a fixture as the run writes its light curve: a count line, then the time and the
    luminosity of every sample as E18.10 fields (times rebuilt as sample / 200)."""
    data = Path(__file__).parents[1] / "analysis" / "data" / f"{fixture}_lc.f32"
    luminosity = np.fromfile(data, dtype="<f4")
    time = ((np.arange(luminosity.size) + 1) / 200.0).astype(np.float32)

    def e18(v):
        mantissa, exponent = f"{float(v):.9E}".split("E")
        digits = mantissa.replace("-", "").replace(".", "")
        return f"{'-' if v < 0 else ''}0.{digits}E{int(exponent) + 1:+03d}".rjust(18)

    with open(path, "w", newline="") as f:
        f.write(f" {luminosity.size}\r\n")
        f.writelines(f" {e18(t)} {e18(v)}\r\n" for t, v in zip(time, luminosity))


@pytest.mark.parametrize("fixture", REAL_RUNS)
def test_astropy_lomb_scargle_finds_the_same_peak_in_the_prewhitened_series(tmp_path, fixture):
    # An independent periodogram on the series the search sees (the trend and the orbital
    # harmonics removed, over the orbits analyse searched) peaks where the search does.
    from astropy.timeseries import LombScargle

    write_light_curve(fixture, tmp_path / "run_lc.vlm")
    s = velmora.analyse(tmp_path / "run", window=20)["superhump"]
    assert s["detected"] and s["range_rule"] == "from_first_detection"
    w = velmora.prewhitened(tmp_path / "run_lc.vlm", s["first_orbit"], s["last_orbit"])
    assert (w.first, w.last) == (s["first_orbit"], s["last_orbit"])
    assert w.t.size == w.residual.size == 200 * (w.last - w.first + 1)
    np.testing.assert_allclose(w.trend + w.orbital + w.offset + w.residual, w.y, rtol=0, atol=1e-12)
    assert w.orbital_amplitude.shape == (3,)

    step = s["frequency_step"]
    grid = np.arange(s["band_low"], s["band_high"], step / 50)
    power = LombScargle(w.t, w.residual).power(grid)
    peak = grid[np.argmax(power)]
    assert abs(peak - s["frequency"]) <= step, (peak, s["frequency"], step)


def test_prewhitened_takes_the_ranges_spectrum_takes(tmp_path):
    write_light_curve("q035_3000", tmp_path / "run_lc.vlm")
    lc = velmora.read_lightcurve(tmp_path / "run_lc.vlm")
    w = velmora.prewhitened(lc)
    assert (w.first, w.last) == (1, 120)
    with pytest.raises(ValueError, match="last must be between 1 and 120"):
        velmora.prewhitened(lc, 1, 121)
    with pytest.raises(ValueError):
        velmora.prewhitened(lc, 5, 2)
