"""Reading the files velmora-cli writes: the values `info` reports, the bytes and text they came
from, damaged files refused with info's message, and the analysis as `system` and `lc` give it."""

import ctypes
import json
import re
import shutil

import numpy as np
import pytest

import velmora
from conftest import run_cli

_libc = ctypes.CDLL(None)
_libc.strtof.restype = ctypes.c_float
_libc.strtof.argtypes = [ctypes.c_char_p, ctypes.c_void_p]


def strtof(text):
    """A number as the readers convert it (C's strtof: straight to single precision)."""
    return np.float32(_libc.strtof(text.replace("D", "E").encode(), None))


def info(folder, name):
    return run_cli(["info", name], folder, check=False)


def info_value(text, label):
    m = re.search(rf"^\s*{label}\s+(.*)$", text, re.M)
    assert m, f"{label!r} not in:\n{text}"
    return m.group(1)


def raw_frames(path):
    """Every frame of a recording decoded straight from its bytes."""
    data = open(path, "rb").read()
    frames, at = [], 0
    while at < len(data):
        first = at == 0
        n = int(np.frombuffer(data, "<i4", 1, at)[0])
        s = at + (8 if first else 4)
        stars = np.frombuffer(data, "<f4", 4, s)
        phase = int(np.frombuffer(data, "<i4", 1, s + 16)[0])
        body_at = at + (36 if first else 24)
        body = np.frombuffer(data, "<f4", 5 * n + 2 * (101 + 61), body_at)
        particles = body[: 5 * n].reshape(n, 5)
        lobe = body[5 * n : 5 * n + 202].reshape(101, 2).T
        wd = body[5 * n + 202 :].reshape(61, 2).T
        frames.append(dict(n=n, stars=stars, phase=phase, particles=particles, lobe=lobe, wd=wd))
        at = body_at + 4 * len(body)
    return frames


def test_recording_holds_what_info_reports_and_the_bytes(cli_run):
    path = cli_run / "demo.vlm"
    text = info(cli_run, "demo.vlm").stdout
    rec = velmora.read_recording(path)
    assert len(rec) == int(info_value(text, "frames present").split()[0])
    assert rec.playback_frames == int(info_value(text, "playback frames"))
    assert f"NORBTOT {rec.norbtot}   FRAMESTEP {rec.framestep}   RECSTART {rec.recstart}" in text
    assert (rec.norbtot, rec.framestep, rec.recstart) == (3, 3, 1)
    counts = re.search(r"(\d+) in the first frame, (\d+) in the last", text).groups()
    assert (rec[0].n, rec[-1].n) == tuple(int(c) for c in counts)

    raw = raw_frames(path)
    assert len(raw) == len(rec)
    for k in (0, 1, 66, 67, len(raw) - 1):  # either side of the first orbit's end
        fr, r = rec[k], raw[k]
        assert fr.index == k and fr.n == r["n"] and fr.phase == r["phase"]
        for j, name in enumerate(("x", "y", "z", "rho", "temp")):
            a = getattr(fr, name)
            assert a.dtype == np.float32 and a.shape == (r["n"],)
            assert np.array_equal(a, r["particles"][:, j]), name
        assert fr.primary == tuple(r["stars"][:2]) and fr.secondary == tuple(r["stars"][2:])
        assert np.array_equal(fr.lobe, r["lobe"]) and np.array_equal(fr.primary_outline, r["wd"])
    # Frames at phase 1 and every third phase: 67 an orbit, the time in orbits at each.
    assert [(rec[k].orbit, rec[k].phase) for k in (0, 1, 66, 67, 200)] == [(1, 1), (1, 3), (1, 198), (2, 1), (3, 198)]
    assert rec[67].time == pytest.approx(1.005)
    assert [f.index for f in rec] == list(range(len(rec)))
    with pytest.raises(IndexError):
        rec[len(rec)]


def test_lightcurve_holds_what_info_reports_and_the_text(cli_run):
    path = cli_run / "demo_lc.vlm"
    text = info(cli_run, "demo_lc.vlm").stdout
    lc = velmora.read_lightcurve(path)
    assert lc.declared == int(info_value(text, "samples declared"))
    assert lc.present == len(lc) == int(info_value(text, "samples present"))
    assert lc.orbits == int(info_value(text, "whole orbits")) == 3
    assert lc.count_line and not lc.stopped_early
    lines = path.read_text().splitlines()[1:]
    assert np.array_equal(lc.time, [strtof(l[1:19]) for l in lines])
    assert np.array_equal(lc.luminosity, [strtof(l[20:38]) for l in lines])
    assert lc.time.dtype == np.float32


def test_restart_file_holds_what_info_reports_and_the_text(cli_run):
    path = cli_run / "demo_rs.vlm"
    text = info(cli_run, "demo_rs.vlm").stdout
    r = velmora.read_restart(path)
    assert f"M1 {r.m1:.4f} Msun   M2 {r.m2:.4f} Msun   q {r.q:.4f}" in text
    assert r.npart == int(info_value(text, "particles")) == 300
    assert r.iorbit == int(info_value(text, "orbit"))
    levels = info_value(text, "levels").split("(")[0].split()
    assert r.nlevels == int(levels[0].rstrip(":"))
    assert list(r.level_counts) == [int(v) for v in levels[1:]]
    lines = path.read_text().splitlines()
    head = lines[0].split()
    assert (r.m1, r.m2, r.asep, r.porb, r.rsone, r.tinj, r.hsph) == tuple(strtof(v) for v in head[:7])
    columns = np.array([l.split() for l in lines[2:]])
    for j, name in enumerate(("x", "y", "z", "vhx", "vhy", "vhz", "ahx", "ahy", "ahz", "u", "cs")):
        assert np.array_equal(getattr(r, name), [strtof(v) for v in columns[:, j]]), name
    assert np.array_equal(r.level, columns[:, 11].astype(np.int16))


def damaged(folder):
    """(label, file name) of damaged copies of the run's files, one fault each."""
    out = []
    data = (folder / "demo.vlm").read_bytes()
    (folder / "cut.vlm").write_bytes(data[:-1])
    out.append("cut.vlm")
    nan = bytearray(data)
    second = 36 + 20 * 10 + 1296  # the second frame's particle block starts 24 bytes further on
    nan[second + 24 + 4 : second + 24 + 8] = np.float32(np.nan).tobytes()
    (folder / "nan.vlm").write_bytes(bytes(nan))
    out.append("nan.vlm")
    lc = (folder / "demo_lc.vlm").read_bytes()
    (folder / "bad_lc.vlm").write_bytes(lc.replace(b"E-02", b"X-02", 1))
    out.append("bad_lc.vlm")
    rs = (folder / "demo_rs.vlm").read_bytes().split(b"\r\n")
    rs[5] = rs[5][:-1] + b"9"  # a level outside 1..8
    (folder / "bad_rs.vlm").write_bytes(b"\r\n".join(rs))
    out.append("bad_rs.vlm")
    return out


def test_damaged_files_raise_file_error_with_the_message_of_info(cli_run, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)  # the files named as velmora-cli info is given them
    for f in ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm"):
        shutil.copy(cli_run / f, tmp_path / f)
    readers = {"cut.vlm": velmora.read_recording, "nan.vlm": velmora.read_recording,
               "bad_lc.vlm": velmora.read_lightcurve, "bad_rs.vlm": velmora.read_restart}
    for name in damaged(tmp_path):
        r = info(tmp_path, name)
        assert r.returncode == 1, name
        expected = r.stderr.strip().removeprefix("velmora-cli info: ")
        with pytest.raises(velmora.FileError) as e:
            got = readers[name](name)
            if isinstance(got, velmora.Recording):
                for _ in got:  # a recording's frames are checked as they are reached
                    pass
        assert str(e.value) == expected, name
        assert isinstance(e.value, ValueError)
    # A recording cut short: its length is already refused; a bad value only in the frame that holds it.
    with pytest.raises(velmora.FileError, match="frame 201"):
        len(velmora.read_recording("cut.vlm"))
    rec = velmora.read_recording("nan.vlm")
    assert len(rec) == 201 and rec[0].n == 10 and rec[-1].n == 300
    with pytest.raises(velmora.FileError, match="frame 2, byte"):
        rec[1]
    with pytest.raises(FileNotFoundError):
        velmora.read_lightcurve(tmp_path / "missing_lc.vlm")


def test_system_gives_the_keys_and_values_of_the_command_line(tmp_path):
    cli = json.loads(run_cli(["system", "--m1", "0.8", "--m2", "0.12", "--h", "0.02", "--json"], tmp_path).stdout)
    py = velmora.system(0.8, 0.12, h=0.02)
    assert list(py) == list(cli)
    for key, value in cli.items():
        assert np.float32(py[key]) == np.float32(value), key
    with pytest.raises(ValueError, match="^m2 must be greater than 0$"):
        velmora.system(1.0, 0.0)


def test_spectrum_is_the_one_velmora_cli_lc_writes(cli_run, tmp_path):
    shutil.copy(cli_run / "demo_lc.vlm", tmp_path)
    out = run_cli(["lc", "demo_lc.vlm", "--first", "1", "--last", "2", "--spectrum", "s.csv"], tmp_path).stdout
    s = velmora.spectrum(tmp_path / "demo_lc.vlm", 1, 2)
    table = np.loadtxt(tmp_path / "s.csv", delimiter=",", skiprows=1, dtype=str)
    assert np.array_equal(s.frequency, [strtof(v) for v in table[:, 0]])
    assert np.array_equal(s.amplitude, [strtof(v) for v in table[:, 1]])
    records = [l.split() for l in (tmp_path / "fftpeaks.txt").read_text().splitlines()]
    assert [p["bin"] for p in s.peaks] == [int(r[0]) for r in records if len(r) == 3]
    assert f"{s.sigma:.6E}" in out and (s.first, s.last) == (1, 2)
    assert len(s.smoothed) == len(s.smoothed_time) == 400 // 5
    lc = velmora.read_lightcurve(tmp_path / "demo_lc.vlm")
    whole = velmora.spectrum(lc)  # every whole orbit by default
    assert (whole.first, whole.last) == (1, 3)
    assert np.array_equal(whole.amplitude, velmora.spectrum(lc, 1, 3).amplitude)
    for first, last, message in [(0, 2, "first must be between 1 and 3"), (1, 4, "last must be between 1 and 3"),
                                 (2, 1, r"last \(1\) is below first \(2\)")]:
        with pytest.raises(ValueError, match=message):
            velmora.spectrum(lc, first, last)


def test_version_is_the_command_lines(tmp_path):
    assert run_cli(["--version"], tmp_path).stdout.split() == ["velmora-cli", velmora.__version__]
