"""HDF5 export: velmora-cli export and velmora.export, read back with h5py and velmora.read_hdf5,
the XDMF file checked against the HDF5 file, and the snapshots handed to yt."""

import os
import shutil
import xml.etree.ElementTree as ET

import h5py
import numpy as np
import pytest

import velmora
from conftest import run_cli, run_python

# One orbit of 300 particles, recorded every third phase (67 frames), with its restart file.
RUN_ARGS = "--orbits 1 --particles 300 --record 1 --frame-step 3 --lc 1 --restart-every 1".split()
# Twenty frames of it, from the second third of the orbit on (the stream has reached round the primary).
FRAMES = "20:60"
EVERY = 2


@pytest.fixture(scope="module")
def cli_run(tmp_path_factory):
    """A folder holding demo.vlm, demo_lc.vlm and demo_rs.vlm of a one-orbit run."""
    folder = tmp_path_factory.mktemp("export_run")
    run_cli(["run", *RUN_ARGS, "--name", "demo", "--quiet"], folder)
    return folder


@pytest.fixture(scope="module")
def exported(cli_run, tmp_path_factory):
    """The 20-frame export of demo.vlm written by velmora-cli export, and the CLI's result."""
    out = tmp_path_factory.mktemp("export") / "demo.h5"
    r = run_cli(["export", str(cli_run / "demo.vlm"), "--out", str(out), "--frames", FRAMES, "--every", str(EVERY),
                 "--quiet"], cli_run)
    return out, r


def leftovers(folder):
    return sorted(p.name for p in folder.iterdir())


def test_cli_export_round_trips_every_frame(cli_run, exported):
    out, r = exported
    assert "20 of" in r.stdout and f"restart file {cli_run / 'demo_rs.vlm'}" in r.stdout
    rec = velmora.read_recording(cli_run / "demo.vlm")
    rs = velmora.read_restart(cli_run / "demo_rs.vlm")
    with h5py.File(out, "r") as f:
        h = f["Header"].attrs
        assert h["SourceKind"] == "recording" and h["FormatVersion"] == 1
        assert h["ProgramVersion"] == velmora.__version__
        assert (h["M1"], h["M2"], h["SmoothingLength"]) == (rs.m1, rs.m2, rs.hsph)
        assert (h["Alpha"], h["Beta"]) == (rs.alpha, rs.beta)
        assert (h["NORBTOT"], h["FRAMESTEP"], h["RECSTART"]) == (rec.norbtot, rec.framestep, rec.recstart)
        assert h["FramesInSource"] == len(rec)
        # The units' cgs values are the system's: velmora-cli system's separation and period.
        c = velmora.system(m1=rs.m1, m2=rs.m2)
        assert h["UnitLength_in_cm"] == pytest.approx(c["ASEP"] * 6.96e10, rel=1e-6)
        assert h["UnitTime_in_s"] * 2 * np.pi == pytest.approx(c["PORB"], rel=1e-6)
        names = [k for k in f if k != "Header"]
        want = list(range(20, 60, EVERY))
        assert names == [f"Frame_{k:06d}" for k in want] == h["Snapshots"].split()
        assert list(h["NumPart_PerSnapshot"]) == [rec[k].n for k in want]
        for k in want:
            fr, g = rec[k], f[f"Frame_{k:06d}"]
            gas = g["PartType0"]
            assert (g.attrs["Orbit"], g.attrs["Phase"], g.attrs["Time"]) == (fr.orbit, fr.phase, fr.time)
            xyz = gas["Coordinates"]
            assert xyz.dtype == np.float32 and xyz.shape == (fr.n, 3)
            assert xyz.compression == "gzip" and xyz.chunks is not None
            np.testing.assert_array_equal(xyz[()], np.column_stack([fr.x, fr.y, fr.z]))
            np.testing.assert_array_equal(gas["Density"][()], fr.rho)
            np.testing.assert_array_equal(gas["InternalEnergyFourthRoot"][()], fr.temp)
            np.testing.assert_allclose(gas["InternalEnergy"][()], fr.temp.astype(np.float64) ** 4, rtol=1e-6)
            np.testing.assert_array_equal(gas["SmoothingLength"][()], np.full(fr.n, rs.hsph, np.float32))
            np.testing.assert_array_equal(gas["ParticleIDs"][()], np.arange(1, fr.n + 1))
            assert gas["Masses"].shape == (fr.n,)
            stars = g["Stars"]
            np.testing.assert_array_equal(stars["Coordinates"][()][:, :2], [fr.primary, fr.secondary])
            np.testing.assert_array_equal(stars["LobeOutline"][()].T, fr.lobe)
            np.testing.assert_array_equal(stars["PrimaryOutline"][()].T, fr.primary_outline)


def test_xdmf_names_only_datasets_that_exist(exported):
    out, _ = exported
    xmf = out.with_suffix(".xmf")
    root = ET.parse(xmf).getroot()  # well-formed XML
    series = root.find("Domain/Grid")
    assert series.get("GridType") == "Collection" and series.get("CollectionType") == "Temporal"
    grids = series.findall("Grid")
    with h5py.File(out, "r") as f:
        assert [g.get("Name") for g in grids] == f["Header"].attrs["Snapshots"].split()
        times = [float(g.find("Time").get("Value")) for g in grids]
        assert times == sorted(times) and len(set(times)) == len(times)
        for g in grids:
            n = int(g.find("Topology").get("NumberOfElements"))
            # A vertex a particle: with no connectivity given, the XDMF reader numbers them 0..N-1.
            topo = g.find("Topology")
            assert topo.get("TopologyType") == "Polyvertex" and topo.get("NodesPerElement") == "1"
            assert topo.find("DataItem") is None
            items = g.findall(".//DataItem")
            assert len(items) >= 4  # coordinates and the scalars
            for item in items:
                file, path = item.text.split(":")
                assert file == out.name  # beside the XDMF file
                dims = tuple(int(d) for d in item.get("Dimensions").split())
                assert path in f, path
                assert f[path].shape == dims and dims[0] == n
                assert f[path].dtype == np.float32 and item.get("Precision") == "4"


def test_restart_state_round_trips_through_python(cli_run, tmp_path):
    res = velmora.export(cli_run / "demo_rs.vlm", tmp_path / "state.h5")
    rs = velmora.read_restart(cli_run / "demo_rs.vlm")
    assert res["groups"] == [f"State_{rs.iorbit:06d}"] and not res["recording"]
    with velmora.read_hdf5(tmp_path / "state.h5") as snaps:
        assert len(snaps) == 1 and snaps.header["SourceKind"] == "restart file"
        assert (snaps.header["IORBIT"], snaps.header["NLEVELS"]) == (rs.iorbit, rs.nlevels)
        s = snaps[0]
        assert (s.orbit, s.time, s.n) == (rs.iorbit, rs.iorbit, rs.npart)
        g = s.gas
        assert "Density" not in g  # a restart file holds none
        np.testing.assert_array_equal(g["Coordinates"], np.column_stack([rs.x, rs.y, rs.z]))
        np.testing.assert_array_equal(g["Velocities"], np.column_stack([rs.vhx, rs.vhy, rs.vhz]))
        np.testing.assert_array_equal(g["HydroAcceleration"], np.column_stack([rs.ahx, rs.ahy, rs.ahz]))
        np.testing.assert_array_equal(g["InternalEnergy"], rs.u)
        np.testing.assert_array_equal(g["SoundSpeed"], rs.cs)
        np.testing.assert_array_equal(g["TimeStepLevel"], rs.level)
        assert g["Coordinates"].dtype == np.float32 and g["TimeStepLevel"].dtype == np.int16
        # At the end of an orbit the stars lie on the x axis, at -MU2 and +MU1.
        mu2 = rs.m2 / (rs.m1 + rs.m2)
        np.testing.assert_allclose(s.stars["Coordinates"], [[-mu2, 0, 0], [1 - mu2, 0, 0]], atol=1e-6)


def test_a_restart_state_without_particles(cli_run, tmp_path):
    # NPART is the I6 field after the seven F20.10 fields of the first line.
    lines = (cli_run / "demo_rs.vlm").read_bytes().split(b"\r\n")
    head = lines[0][:148] + b"%6d" % 0 + lines[0][154:]
    (tmp_path / "empty_rs.vlm").write_bytes(head + b"\r\n" + lines[1] + b"\r\n")
    run_cli(["export", "empty_rs.vlm", "--out", "e.h5"], tmp_path)
    with h5py.File(tmp_path / "e.h5", "r") as f:
        (name,) = f["Header"].attrs["Snapshots"].split()
        assert f[name]["PartType0/Coordinates"].shape == (0, 3) and f[name].attrs["NumPart"] == 0
    assert ET.parse(tmp_path / "e.xmf").getroot().find("Domain/Grid/Grid") is None  # no empty point cloud


def test_same_input_gives_the_same_bytes(cli_run, tmp_path):
    for name in ("a", "b"):
        (tmp_path / name).mkdir()
        velmora.export(cli_run / "demo.vlm", tmp_path / name / "x.h5", frames="0:5")
    for suffix in (".h5", ".xmf"):
        assert (tmp_path / "a" / f"x{suffix}").read_bytes() == (tmp_path / "b" / f"x{suffix}").read_bytes()
    assert leftovers(tmp_path / "a") == ["x.h5", "x.xmf"]


def test_a_damaged_input_is_refused_with_infos_message_and_leaves_nothing(cli_run, tmp_path):
    rec = (cli_run / "demo.vlm").read_bytes()
    lines = (cli_run / "demo_rs.vlm").read_bytes().split(b"\r\n")
    cases = {
        "cut.vlm": rec[: len(rec) - 100],  # the last frame cut short
        "cut_rs.vlm": b"\r\n".join(lines[:-10]),  # particle lines missing
    }
    shutil.copy(cli_run / "demo_rs.vlm", tmp_path / "cut_rs.vlm")  # cut.vlm's parameters, until replaced
    for name, data in cases.items():
        src = tmp_path / name
        src.write_bytes(data)
        out = tmp_path / "out" / "x.h5"
        out.parent.mkdir(exist_ok=True)
        info = run_cli(["info", str(src)], tmp_path, check=False)
        r = run_cli(["export", str(src), "--out", str(out), "--quiet"], tmp_path, check=False)
        assert info.returncode == 1 and r.returncode == 1, r.stderr
        assert r.stderr.replace("velmora-cli export:", "velmora-cli info:") == info.stderr
        assert leftovers(out.parent) == []
        with pytest.raises(velmora.FileError, match="line|frame"):
            velmora.export(src, out)
        assert leftovers(out.parent) == []


@pytest.mark.parametrize(
    "args, message",
    [
        (["--frames", "5"], "--frames takes A:B"),
        (["--frames", "9:3"], "holds no frame"),
        (["--frames", "5000:"], "none lies in 5000:"),
        (["--every", "0"], "--every must be 1 or more"),
        (["--m1", "-1"], "--m1 must be greater than 0"),
    ],
)
def test_usage_errors_exit_2_and_write_nothing(cli_run, tmp_path, args, message):
    r = run_cli(["export", str(cli_run / "demo.vlm"), "--out", str(tmp_path / "x.h5"), *args], tmp_path, check=False)
    assert r.returncode == 2 and message in r.stderr, r.stderr
    assert leftovers(tmp_path) == []


def test_a_bare_recording_needs_the_parameters(cli_run, tmp_path):
    shutil.copy(cli_run / "demo.vlm", tmp_path / "bare.vlm")
    shutil.copy(cli_run / "demo_lc.vlm", tmp_path / "bare_lc.vlm")
    r = run_cli(["export", "bare.vlm", "--out", "x.h5"], tmp_path, check=False)
    assert r.returncode == 2 and "give --m1, --m2, --h" in r.stderr
    r = run_cli(["export", "bare_lc.vlm", "--out", "x.h5"], tmp_path, check=False)
    assert r.returncode == 2 and "is a light curve" in r.stderr
    with pytest.raises(OSError, match="the folder .*missing does not exist"):
        velmora.export(tmp_path / "bare.vlm", tmp_path / "missing" / "x.h5", m1=1, m2=0.15, h=0.025)
    assert leftovers(tmp_path) == ["bare.vlm", "bare_lc.vlm"]
    rs = velmora.read_restart(cli_run / "demo_rs.vlm")
    r = run_cli(["export", "bare.vlm", "--out", "x.h5", "--frames", ":3", "--m1", str(rs.m1), "--m2", str(rs.m2),
                 "--h", str(rs.hsph), "--quiet"], tmp_path)
    with h5py.File(tmp_path / "x.h5", "r") as f:
        assert f["Header"].attrs["Snapshots"] == "Frame_000000 Frame_000001 Frame_000002"
        assert "Alpha" not in f["Header"].attrs


# yt: the frames are SPH particles; a projection keeps the mass and a slice shows the disk.


@pytest.fixture(scope="module")
def yt_frame(exported):
    pytest.importorskip("yt")
    out, _ = exported
    with velmora.read_hdf5(out) as snaps:
        return snaps[-1]


def test_yt_projection_keeps_the_mass_and_slice_shows_the_disk(yt_frame):
    import yt

    ds = velmora.to_yt(yt_frame)
    assert ("io", "smoothing_length") in ds.field_list and ds._sph_ptypes == ("io",)
    total = ds.all_data()["io", "particle_mass"].sum().to("g")
    assert float(total) == pytest.approx(yt_frame.n * float(ds.mass_unit.to("g")))
    p = yt.ProjectionPlot(ds, "z", ("gas", "density"), buff_size=(400, 400))
    frb = p.frb
    sigma = frb["gas", "density"].to("g/cm**2")
    width = (frb.bounds[1] - frb.bounds[0]).to("cm")
    height = (frb.bounds[3] - frb.bounds[2]).to("cm")
    mass = float(sigma.sum() * width * height / sigma.size)
    assert mass == pytest.approx(float(total), rel=0.01)
    s = yt.SlicePlot(ds, "z", ("gas", "density"), width=(2.0, "code_length"), buff_size=(400, 400))
    rho = np.asarray(s.frb["gas", "density"])
    assert np.count_nonzero(rho > 0) > 0.01 * rho.size and rho.max() > rho.min()


def test_yt_takes_restart_states_and_recorded_frames(cli_run):
    pytest.importorskip("yt")
    rs = velmora.read_restart(cli_run / "demo_rs.vlm")
    fr = velmora.read_recording(cli_run / "demo.vlm")[-1]
    # A restart state's densities are summed over the neighbours as the run sums them: on a
    # recorded frame the sum gives the recorded densities (the run looks w up in a table).
    rho = velmora.hdf5.kernel_density(np.column_stack([fr.x, fr.y, fr.z]), rs.hsph)
    np.testing.assert_allclose(rho, fr.rho, rtol=1e-3)
    ds = velmora.to_yt(rs)
    got = ds.all_data()["io", "density"].to("code_mass/code_length**3").d
    np.testing.assert_allclose(got, velmora.hdf5.kernel_density(np.column_stack([rs.x, rs.y, rs.z]), rs.hsph)
                               / (np.pi * rs.hsph**3))
    with pytest.raises(ValueError, match="give h=, m1= and m2="):
        velmora.to_yt(fr)
    ds = velmora.to_yt(fr, h=rs.hsph, m1=rs.m1, m2=rs.m2)
    assert len(ds.all_data()["io", "particle_mass"]) == fr.n


def test_to_yt_without_yt_says_how_to_get_it(exported, tmp_path):
    out, _ = exported
    code = (
        "import sys; sys.modules['yt'] = None\n"
        "import velmora\n"
        f"s = velmora.read_hdf5({str(out)!r})[0]\n"
        "try:\n    velmora.to_yt(s)\nexcept ImportError as e:\n    print(e)\n"
    )
    r = run_python(code, tmp_path)
    assert "velmora.to_yt needs yt" in r.stdout and "python3-yt" in r.stdout, r.stderr
