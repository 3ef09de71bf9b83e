"""Velmora from Python: runs of the accretion-disk simulator, its files as numpy arrays, the
light-curve analysis, and figures with matplotlib (velmora.plot)::

    import velmora
    sim = velmora.Simulation(q=0.15, particles=2000)
    sim.run(20, lc=1, record=20, frame_step=7, name="demo", progress=True)
    lc = velmora.read_lightcurve("demo_lc.vlm")
    s = velmora.spectrum(lc, first=10)
    a = velmora.analyse("demo", first=5, window=10)    # velmora-cli analyse --json, as a dict
    a["superhump"]["epsilon"], a.windows["amplitude"], a.frames["r50"]
    s = velmora.Study.plan("s.tsv", q=[0.1, 0.2], orbits=3)   # a parameter study
    s.run(jobs=2); s.collect()

Files are read as velmora-cli reads them; a damaged file raises velmora.FileError (a
ValueError) with the message velmora-cli info gives.
"""

from velmora._velmora import (
    FileError,
    Frame,
    LightCurve,
    Prewhitened,
    Recording,
    RestartFile,
    RunError,
    Simulation,
    Spectrum,
    __version__,
    prewhitened,
    read_lightcurve,
    read_recording,
    read_restart,
    spectrum,
    system,
)
from velmora.analysis import Analysis, analyse
from velmora.hdf5 import export, read_hdf5, to_yt
from velmora.observe import Observations, read_observations
from velmora.study import Study

__all__ = [
    "Analysis",
    "FileError",
    "Frame",
    "LightCurve",
    "Observations",
    "Prewhitened",
    "Recording",
    "RestartFile",
    "RunError",
    "Simulation",
    "Spectrum",
    "Study",
    "__version__",
    "analyse",
    "export",
    "plot",
    "prewhitened",
    "read_hdf5",
    "read_lightcurve",
    "read_observations",
    "read_recording",
    "read_restart",
    "spectrum",
    "system",
    "to_yt",
]


def __getattr__(name):
    # velmora.plot imports matplotlib, which takes a while: only when it is asked for.
    if name == "plot":
        import importlib

        return importlib.import_module("velmora.plot")
    raise AttributeError(f"module 'velmora' has no attribute {name!r}")
