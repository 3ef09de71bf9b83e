"""Observations from Python: a run with observe=[...], its NAME_obs.fits opened by astropy as
the observers' tools open it, read back by velmora.read_observations, and drawn."""

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
import pytest
from astropy.io import fits

import velmora
from velmora import plot


@pytest.fixture(scope="module")
def observed(tmp_path_factory):
    folder = tmp_path_factory.mktemp("observed")
    import os

    here = os.getcwd()
    os.chdir(folder)
    try:
        sim = velmora.Simulation(q=0.15, particles=300)
        sim.run(2, name="seen", observe=[82, 60], observe_from=2, line_bins=121, fwhm=80.0, threads=2)
    finally:
        os.chdir(here)
    assert sim.files["observations"] == "seen_obs.fits"
    return folder / "seen_obs.fits"


def test_astropy_reads_the_observers_layout(observed):
    with fits.open(observed) as h:
        names = [x.name for x in h]
        assert names == ["PRIMARY", "TIMES", "TRAIL_I82", "MAP_I82", "TRAIL_I60", "MAP_I60", "ECLIPSE", "LOBE",
                         "STREAM"]
        trail = h["TRAIL_I82"]
        assert trail.data.shape == (200, 121)  # one spectrum a row
        assert trail.header["CUNIT1"] == "km/s" and trail.header["CRVAL1"] == 0.0
        assert trail.header["CRPIX1"] == 61.0
        m = h["MAP_I60"]
        assert m.data.shape == (121, 121)
        assert m.header["CTYPE1"] == "VX" and m.header["CTYPE2"] == "VY"
        assert m.header["CDELT1"] == pytest.approx(trail.header["CDELT1"])
        assert np.all(np.diff(h["TIMES"].data["PHASE"]) == pytest.approx(0.005))
        assert h["TIMES"].data["TIME"][0] == pytest.approx(1.005 * h[0].header["PORB"])
        # The sum over a spectrum is the visible light of its phase, but for the light of gas
        # faster than the spectrum's range (gas that came very near the white dwarf).
        vis = h["ECLIPSE"].data["VIS_I82"]
        assert np.median(np.abs(trail.data.sum(axis=1) - vis)) < 1e-4 * np.abs(vis).max()
        from astropy.wcs import WCS

        w = WCS(m.header)
        assert w.pixel_to_world_values(60, 60) == pytest.approx((0.0, 0.0), abs=1e-9)


def test_read_observations_and_the_figures(observed, tmp_path):
    o = velmora.read_observations(observed)
    assert list(o.inclinations) == [82.0, 60.0]
    assert o.spectra[82.0].shape == (200, 121) and o.maps[60.0].shape == (121, 121)
    assert o.velocity[60] == pytest.approx(0.0, abs=1e-9)
    assert o.k1(90) == pytest.approx(o.vorb * 0.15 / 1.15)
    assert o.visible[82.0].shape == o.total.shape == o.phase.shape
    fig = plot.observations(o)
    fig.savefig(tmp_path / "obs.png", dpi=50)
    plt.close(fig)
    for draw in (plot.doppler_map, plot.trailed_spectrum):
        ax = draw(str(observed), 60)
        plt.close(ax.figure)
    with pytest.raises(ValueError, match="82, 60"):
        plot.doppler_map(o, 45)
    with pytest.raises(velmora.FileError):
        velmora.read_observations(tmp_path / "obs.png")


def test_bad_observing_values_are_refused(tmp_path):
    sim = velmora.Simulation(q=0.15, particles=100)
    for kwargs, match in (({"observe": [95], "name": "a"}, "between 0 and 90"),
                          ({"observe": [82]}, "name"),
                          ({"fwhm": 50.0, "name": "a"}, "need observe"),
                          ({"observe": [82], "emission": "light", "name": "a"}, "emission")):
        with pytest.raises(ValueError, match=match):
            sim.run(1, **kwargs)


def test_report_page_shows_the_observations(observed, tmp_path):
    import shutil

    from velmora.report import report

    shutil.copy(observed, tmp_path / "seen_obs.fits")
    fig = report(tmp_path / "seen", tmp_path / "page.png")
    labels = [ax.get_label() for ax in fig.axes]
    assert {"Doppler map", "trailed spectrum", "eclipse curves"} <= set(labels)
    plt.close(fig)
    assert (tmp_path / "page.png").stat().st_size > 10000
