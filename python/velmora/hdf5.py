"""Snapshots for the field's tools: a run's recording or restart file exported to HDF5 (with an
XDMF file for ParaView), read back with h5py, and handed to yt as SPH particles.

    import velmora
    velmora.export("demo.vlm", "demo.h5", frames=slice(0, 20))
    snaps = velmora.read_hdf5("demo.h5")
    ds = velmora.to_yt(snaps[-1])
    yt.ProjectionPlot(ds, "z", ("gas", "density")).save()

The layout of the file is described in the README ("Exporting snapshots").
"""

import math

import numpy as np

from velmora import _velmora

__all__ = ["HDF5Snapshots", "Snapshot", "export", "kernel_density", "read_hdf5", "to_yt"]


def _frame_range(frames):
    """(first, last) of a slice, an "A:B" text, a pair or None; last None is the end."""
    if frames is None:
        return 0, None
    if isinstance(frames, str):
        if frames.count(":") != 1:
            raise ValueError(f'frames takes "A:B" (A to B - 1, from 0), got {frames!r}')
        a, b = frames.split(":")
        try:
            return (int(a) if a else 0), (int(b) if b else None)
        except ValueError:
            raise ValueError(f'frames takes "A:B" (A to B - 1, from 0), got {frames!r}') from None
    if isinstance(frames, slice):
        if frames.step not in (None, 1):
            raise ValueError("frames takes a slice without a step: give every=K")
        return (frames.start or 0), frames.stop
    first, last = frames
    return int(first), (None if last is None else int(last))


def export(source, out, frames=None, every=1, m1=None, m2=None, h=None, alpha=None, beta=None):
    """Writes a recording (NAME.vlm) or restart file (NAME_rs.vlm) as the HDF5 file `out`, with
    the XDMF file beside it (`out` with the suffix .xmf), as velmora-cli export does.

    frames: the recording's frames A to B - 1, counted from 0 (a slice, "A:B" or (A, B));
    every: every K-th frame of them. m1, m2 (solar masses), h, alpha and beta give the run's
    parameters a recording does not hold; by default they come from NAME_rs.vlm beside NAME.vlm.
    Returns a dict: h5, xmf, groups (the snapshot groups written), recording, frames_read,
    parameters_from and notes. A damaged source raises velmora.FileError with the message of
    velmora-cli info, a request that cannot be met ValueError, an output that cannot be written
    OSError; nothing is left behind in any case.
    """
    first, last = _frame_range(frames)
    return _velmora._export_hdf5(
        source, out, first=first, last=last, every=every, m1=m1, m2=m2, h=h, alpha=alpha, beta=beta
    )


def _h5py():
    try:
        import h5py
    except ImportError as e:
        raise ImportError(
            "velmora.read_hdf5 needs h5py (Debian: apt-get install python3-h5py; pip: pip install h5py)"
        ) from e
    return h5py


def _text(v):
    return v.decode() if isinstance(v, bytes) else v


def _attrs(obj):
    out = {}
    for k, v in obj.attrs.items():
        v = _text(v)
        if isinstance(v, np.generic):
            v = v.item()
        out[k] = v
    return out


class Snapshot:
    """One snapshot group of an exported file, read whole: `gas` holds every PartType0 dataset
    by its name (numpy arrays, float32 where the run stores float32), `stars` the Stars group,
    `attrs` the group's attributes (Orbit, Phase, Time, ...), `header` the file's Header."""

    def __init__(self, name, group, header):
        self.name = name
        self.header = header
        self.attrs = _attrs(group)
        self.gas = {k: group["PartType0"][k][()] for k in group["PartType0"]}
        self.stars = {k: group["Stars"][k][()] for k in group["Stars"]}

    orbit = property(lambda self: self.attrs["Orbit"], doc="Orbit of the run, from 1")
    phase = property(lambda self: self.attrs["Phase"], doc="Phase 1..200 of the orbit")
    time = property(lambda self: self.attrs["Time"], doc="Time in orbits: orbit - 1 + phase / 200")
    n = property(lambda self: len(self.gas["Masses"]), doc="Particles")
    coordinates = property(lambda self: self.gas["Coordinates"], doc="N x 3 positions (separation)")
    x = property(lambda self: self.gas["Coordinates"][:, 0], doc="x of every particle (separation)")
    y = property(lambda self: self.gas["Coordinates"][:, 1], doc="y of every particle (separation)")
    z = property(lambda self: self.gas["Coordinates"][:, 2], doc="z of every particle (separation)")

    def __repr__(self):
        return f"<velmora.Snapshot {self.name}: orbit {self.orbit}, phase {self.phase}, {self.n} particles>"


class HDF5Snapshots:
    """An exported file opened for reading: `header` (the Header attributes as a dict), len(),
    indexing (negative too) and iteration over its snapshots in order, each read when asked for;
    `names` lists the groups. Use it in a with statement, or call close()."""

    def __init__(self, path):
        h5py = _h5py()
        self.path = str(path)
        self._file = h5py.File(self.path, "r")
        if "Header" not in self._file or self._file["Header"].attrs.get("Format") is None:
            self._file.close()
            raise ValueError(f"{self.path}: not a Velmora export (no Header group with a Format attribute)")
        self.header = _attrs(self._file["Header"])
        self.names = self.header["Snapshots"].split() if self.header["Snapshots"] else []

    def __len__(self):
        return len(self.names)

    def __getitem__(self, k):
        name = self.names[k]
        return Snapshot(name, self._file[name], self.header)

    def __iter__(self):
        return (self[k] for k in range(len(self)))

    def close(self):
        self._file.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        return f"<velmora.HDF5Snapshots {self.path!r}: {len(self)} snapshots of a {self.header['SourceKind']}>"


def read_hdf5(path):
    """Opens a file written by velmora.export or velmora-cli export (h5py)."""
    return HDF5Snapshots(path)


def _yt():
    try:
        import yt
    except ImportError as e:
        raise ImportError(
            "velmora.to_yt needs yt, an optional dependency of velmora "
            "(Debian: apt-get install python3-yt; pip: pip install yt)"
        ) from e
    return yt


def _units(m1, m2):
    """Length, mass, time and velocity units in cgs and the temperature factor, for the masses."""
    c = _velmora.system(m1=m1, m2=m2)
    return {
        "UnitLength_in_cm": c["ASEP"] * 6.96e10,
        "UnitMass_in_g": (m1 + m2) * 1.989e33,
        "UnitTime_in_s": c["PORB"] / (2 * math.pi),
        "UnitVelocity_in_cm_per_s": c["VUNIT"] * 100.0,
        "TemperatureFactor_in_K": c["TEMPFACTOR"],
    }


def _particles(obj, h, m1, m2):
    """Positions, per-particle fields, the header values to_yt needs, and the time in orbits."""
    if isinstance(obj, Snapshot):
        g = obj.gas
        fields = {"InternalEnergy": g.get("InternalEnergy"), "Temperature": g.get("Temperature")}
        if "Velocities" in g:
            fields["Velocities"] = g["Velocities"]
        return g["Coordinates"], g.get("Density"), g["Masses"], obj.header, fields, obj.time
    if isinstance(obj, _velmora.RestartFile):
        hd = dict(_units(obj.m1, obj.m2), SmoothingLength=obj.hsph)
        pos = np.column_stack([obj.x, obj.y, obj.z])
        vel = np.column_stack([obj.vhx, obj.vhy, obj.vhz])
        u = np.asarray(obj.u, dtype=np.float32)
        fields = {"InternalEnergy": u, "Temperature": hd["TemperatureFactor_in_K"] * u, "Velocities": vel}
        return pos, None, np.ones(len(pos), np.float32), hd, fields, float(obj.iorbit)
    if isinstance(obj, _velmora.Frame):
        if h is None or m1 is None or m2 is None:
            raise ValueError(
                "a recorded frame does not hold the run's masses and smoothing length: give h=, m1= and m2=, "
                "or export the recording and pass a snapshot of velmora.read_hdf5"
            )
        hd = dict(_units(m1, m2), SmoothingLength=h)
        pos = np.column_stack([obj.x, obj.y, obj.z])
        u = np.asarray(obj.temp, dtype=np.float64) ** 4
        fields = {"InternalEnergy": u, "Temperature": hd["TemperatureFactor_in_K"] * u}
        return pos, np.asarray(obj.rho), np.ones(len(pos), np.float32), hd, fields, obj.time
    raise TypeError(f"to_yt takes a snapshot of velmora.read_hdf5, a velmora.Frame or a velmora.RestartFile, "
                    f"not {type(obj).__name__}")


def kernel_density(pos, h):
    """1 + the sum of the kernel w(r / h) over the neighbours within 2 h, for N x 3 positions: the
    density a run computes (unnormalised, equal particle masses), here in double precision and
    without the run's cap on a neighbour list. The particles are taken in slabs sorted along x."""
    pos = np.asarray(pos, dtype=np.float64).reshape(-1, 3)
    order = np.argsort(pos[:, 0], kind="stable")
    p = pos[order]
    x = p[:, 0]
    rho = np.empty(len(p))
    for a in range(0, len(p), 256):
        b = min(a + 256, len(p))
        lo = np.searchsorted(x, x[a] - 2 * h, "left")
        hi = np.searchsorted(x, x[b - 1] + 2 * h, "right")
        q = np.sqrt(((p[a:b, None, :] - p[None, lo:hi, :]) ** 2).sum(axis=-1)) / h
        w = np.where(q < 1, 1 - 1.5 * q**2 + 0.75 * q**3, np.where(q < 2, 0.25 * (2 - q) ** 3, 0.0))
        rho[a:b] = w.sum(axis=1)  # the particle itself gives w(0) = 1
    out = np.empty_like(rho)
    out[order] = rho
    return out


def to_yt(obj, particle_mass=1.0, h=None, m1=None, m2=None):
    """A yt dataset of a snapshot's gas (yt.load_particles), which yt treats as SPH: positions,
    masses, densities and smoothing lengths, with InternalEnergy, Temperature and (restart
    states) Velocities as further fields.

    obj: a snapshot of velmora.read_hdf5, a velmora.Frame (give h, m1 and m2) or a
    velmora.RestartFile. Units: code_length is the separation, code_mass M1 + M2, code_time the
    inverse orbital angular frequency, with their cgs values from the stars' masses. The model
    leaves the gas mass out: every particle gets `particle_mass` (in units of M1 + M2).
    yt's cubic kernel reaches to its smoothing length, Velmora's to 2 h, so yt is given 2 h,
    and a density of 1 + sum w (the recorded one) becomes particle_mass (1 + sum w) / (pi h^3),
    the same kernel normalised. A restart state holds no densities: they are computed from the
    neighbours as a run computes them (kernel_density).
    """
    yt = _yt()
    pos, rho, mass, hd, fields, time = _particles(obj, h, m1, m2)
    pos = np.asarray(pos, dtype=np.float64).reshape(-1, 3)
    hsph = float(hd["SmoothingLength"])
    n = len(pos)
    if n == 0:
        raise ValueError("the snapshot has no particles: yt needs at least one")
    m = np.asarray(mass, dtype=np.float64) * particle_mass
    rho = kernel_density(pos, hsph) if rho is None else np.asarray(rho, np.float64)
    data = {
        ("io", "particle_position_x"): (pos[:, 0], "code_length"),
        ("io", "particle_position_y"): (pos[:, 1], "code_length"),
        ("io", "particle_position_z"): (pos[:, 2], "code_length"),
        ("io", "particle_mass"): (m, "code_mass"),
        ("io", "smoothing_length"): (np.full(n, 2.0 * hsph), "code_length"),
        ("io", "density"): (m * rho / (math.pi * hsph**3), "code_mass/code_length**3"),
    }
    if fields.get("InternalEnergy") is not None:
        data[("io", "internal_energy")] = (np.asarray(fields["InternalEnergy"], np.float64), "code_velocity**2")
    if fields.get("Temperature") is not None:
        data[("io", "temperature")] = (np.asarray(fields["Temperature"], np.float64), "K")
    if fields.get("Velocities") is not None:
        v = np.asarray(fields["Velocities"], np.float64).reshape(-1, 3)
        for k, c in enumerate("xyz"):
            data[("io", f"particle_velocity_{c}")] = (v[:, k], "code_velocity")
    # The box: every particle with its whole kernel inside, the same reach on each axis.
    reach = float(np.abs(pos).max()) + 4.0 * hsph
    bbox = np.array([[-reach, reach]] * 3)
    ds = yt.load_particles(
        data,
        length_unit=hd["UnitLength_in_cm"],
        mass_unit=hd["UnitMass_in_g"],
        time_unit=hd["UnitTime_in_s"],
        velocity_unit=hd["UnitVelocity_in_cm_per_s"],
        bbox=bbox,
        sim_time=time * 2 * math.pi * hd["UnitTime_in_s"],
        periodicity=(False, False, False),
    )
    return ds
