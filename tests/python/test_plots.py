"""Figures: the report page of a run written by python3 -m velmora report, and the figures it is
made of."""

import shutil
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.image
import matplotlib.pyplot as plt
import numpy as np
import pytest

import velmora
from velmora import plot


def report(args, cwd):
    return subprocess.run([sys.executable, "-m", "velmora", "report", *args], cwd=cwd, capture_output=True, text=True)


def test_report_writes_a_page_with_every_panel(cli_run, tmp_path):
    for f in ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm"):
        shutil.copy(cli_run / f, tmp_path)
    r = report(["demo", "--out", "report.png"], tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stdout == "Wrote report.png\n"
    page = matplotlib.image.imread(tmp_path / "report.png")[:, :, :3]
    h, w, _ = page.shape
    assert w > 1000 and h > 900
    # Not blank: every quarter of the page holds a drawing (particles, curves), in colour.
    for quarter in (page[: h // 2, : w // 2], page[: h // 2, w // 2 :], page[h // 2 :, : w // 2], page[h // 2 :, w // 2 :]):
        inked = (quarter < 0.9).any(axis=2).mean()
        assert inked > 0.01, inked
    assert (np.ptp(page, axis=2) > 0.3).mean() > 0.001  # coloured pixels
    r = report(["demo", "--out", "report.pdf", "--first", "2", "--frame", "0"], tmp_path)
    assert r.returncode == 0, r.stderr
    assert (tmp_path / "report.pdf").read_bytes()[:5] == b"%PDF-"


def test_report_of_a_run_without_files_or_out_of_range(cli_run, tmp_path):
    r = report(["nothing", "--out", "r.png"], tmp_path)
    assert r.returncode == 1 and "no file of the run nothing" in r.stderr
    assert not (tmp_path / "r.png").exists()
    shutil.copy(cli_run / "demo_lc.vlm", tmp_path)
    r = report(["demo", "--out", "r.png", "--last", "9"], tmp_path)
    assert r.returncode == 2 and "last must be between 1 and 3" in r.stderr
    (tmp_path / "bad_lc.vlm").write_text("600\n x\n")
    r = report(["bad", "--out", "r.png"], tmp_path)
    assert r.returncode == 1 and r.stderr.startswith("velmora report: bad_lc.vlm: line 2")
    assert report(["demo"], tmp_path).returncode == 2  # --out is needed


def test_figures_draw_the_frame_and_the_spectrum(cli_run):
    rec = velmora.read_recording(cli_run / "demo.vlm")
    ax = plot.frame(rec[-1], color="temperature")
    points = ax.collections[0]
    assert len(points.get_offsets()) == rec[-1].n
    with pytest.raises(ValueError, match="density' or 'temperature"):
        plot.frame(rec[-1], color="pressure")
    lc = velmora.read_lightcurve(cli_run / "demo_lc.vlm")
    s = velmora.spectrum(lc)
    ax = plot.spectrum(s)
    marks = [line for line in ax.lines if line.get_marker() == "v"]
    assert len(marks) == len(s.peaks) >= 1
    fig = plot.lightcurve_and_spectrum(cli_run / "demo_lc.vlm", 2, 3)
    assert len(fig.axes) == 2 and fig.axes[0].get_xlim() == (1.0, 3.0)
    plt.close("all")


def inked(image):
    """The share of a picture's pixels that are not white."""
    return (image[:, :, :3] < 0.9).any(axis=2).mean()


def test_report_shows_the_analysis_where_the_files_allow(cli_run, tmp_path):
    from velmora import report as page

    for f in ("demo.vlm", "demo_lc.vlm", "demo_rs.vlm"):
        shutil.copy(cli_run / f, tmp_path)
    fig = page.report(tmp_path / "demo", tmp_path / "report.png", window=1)
    panels = [ax.get_label() for ax in fig.axes if ax.get_label()]
    # every panel but the particles (the analysis draws the disk) and those of observations (none made)
    unobserved = {"particles", "Doppler map", "trailed spectrum", "eclipse curves"}
    assert panels == [p.title for p in page.PANELS if p.title not in unobserved]
    heading = page.heading(page.RunFiles.find(tmp_path / "demo", window=1))
    assert "superhump" in heading and "relation's eps 0.0335" in heading
    image = matplotlib.image.imread(tmp_path / "report.png")
    h = image.shape[0]
    rows = [image[k * h // 5 : (k + 1) * h // 5] for k in range(1, 5)]
    assert all(inked(row) > 0.01 for row in rows), [inked(row) for row in rows]
    plt.close("all")

    # With the light curve alone: no disk panels; with windows longer than the run, no growth.
    (tmp_path / "demo.vlm").unlink()
    (tmp_path / "demo_rs.vlm").unlink()
    fig = page.report(tmp_path / "demo", tmp_path / "lc.png")
    assert [ax.get_label() for ax in fig.axes if ax.get_label()] == ["light curve", "spectrum", "superhump"]
    plt.close("all")


def test_analysis_figures_draw_what_the_analysis_holds(cli_run, tmp_path):
    a = velmora.analyse(cli_run / "demo", window=1)
    fig = plot.analysis(a)
    spectrum_ax, growth_ax, radii_ax, m1_ax = fig.axes[:4]
    assert len(spectrum_ax.lines[0].get_xdata()) == np.count_nonzero(
        (a.spectrum["frequency"] >= 0.75) & (a.spectrum["frequency"] <= 1.25)
    )
    assert {line.get_label() for line in radii_ax.lines} >= {"r10", "r50", "r90"}
    assert np.array_equal(m1_ax.lines[0].get_ydata(), a.frames["m1"])
    assert growth_ax.right_ax in fig.axes
    # A figure the files cannot give says so.
    shutil.copy(cli_run / "demo_lc.vlm", tmp_path)
    ax = plot.radii(velmora.analyse(tmp_path / "demo"))
    assert [t.get_text() for t in ax.texts] == ["no recording"]
    plt.close("all")
