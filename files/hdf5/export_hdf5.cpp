// HDF5 export of a recording or a restart file (libhdf5's C API), and its XDMF companion.
#include "files/hdf5/export_hdf5.h"

#include <fcntl.h>
#include <hdf5.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>

#include "core/geometry.h"
#include "core/state.h"
#include "files/hdf5/xdmf.h"
#include "files/recording.h"
#include "files/restart_file.h"
#include "files/run_file_kind.h"
#include "io/file_error.h"
#include "io/file_io.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Physical constants the system's units are built on (the ones SETSYS uses).
constexpr double RSUN_CM = 6.96e10, MSUN_G = 1.989e33;
// Rows of a dataset's chunk: large enough for gzip to work well, small enough to read a slice.
constexpr hsize_t CHUNK_ROWS = 16384;

[[noreturn]] void failed(const std::string& message) { throw ExportError(ExportError::Kind::Failed, message); }
[[noreturn]] void usage(const std::string& message) { throw ExportError(ExportError::Kind::Usage, message); }

// An HDF5 identifier closed with its own close function when it goes out of scope.
class Handle {
 public:
  Handle(hid_t id, herr_t (*close)(hid_t), const std::string& what) : id_(id), close_(close) {
    if (id_ < 0) failed("HDF5 could not create " + what);
  }
  ~Handle() {
    if (id_ >= 0) close_(id_);
  }
  Handle(Handle&& o) noexcept : id_(o.id_), close_(o.close_) { o.id_ = -1; }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  operator hid_t() const { return id_; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

void check(herr_t status, const std::string& what) {
  if (status < 0) failed("HDF5 could not write " + what);
}

// Creation properties without modification times, so the same input gives the same bytes.
Handle untimed(hid_t cls) {
  Handle p(H5Pcreate(cls), H5Pclose, "a property list");
  check(H5Pset_obj_track_times(p, false), "the property list");
  return p;
}

Handle group(hid_t parent, const std::string& name) {
  const Handle gcpl = untimed(H5P_GROUP_CREATE);
  return Handle(H5Gcreate2(parent, name.c_str(), H5P_DEFAULT, gcpl, H5P_DEFAULT), H5Gclose, "group " + name);
}

void attribute(hid_t obj, const std::string& name, hid_t type, const std::vector<hsize_t>& dims, const void* data) {
  const Handle space(dims.empty() ? H5Screate(H5S_SCALAR)
                                  : H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr),
                     H5Sclose, "a dataspace");
  const Handle a(H5Acreate2(obj, name.c_str(), type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose, "attribute " + name);
  check(H5Awrite(a, type, data), "attribute " + name);
}
void attribute(hid_t obj, const std::string& name, double v) { attribute(obj, name, H5T_NATIVE_DOUBLE, {}, &v); }
void attribute(hid_t obj, const std::string& name, float v) { attribute(obj, name, H5T_NATIVE_FLOAT, {}, &v); }
void attribute(hid_t obj, const std::string& name, long long v) { attribute(obj, name, H5T_NATIVE_LLONG, {}, &v); }
void attribute(hid_t obj, const std::string& name, int v) { attribute(obj, name, H5T_NATIVE_INT, {}, &v); }
void attribute(hid_t obj, const std::string& name, const std::vector<int>& v) {
  attribute(obj, name, H5T_NATIVE_INT, {v.size()}, v.data());
}
// Strings are variable-length UTF-8, which h5py reads as str.
void attribute(hid_t obj, const std::string& name, const std::string& text) {
  const Handle type(H5Tcopy(H5T_C_S1), H5Tclose, "a string type");
  check(H5Tset_size(type, H5T_VARIABLE), "a string type");
  check(H5Tset_cset(type, H5T_CSET_UTF8), "a string type");
  const char* p = text.c_str();
  attribute(obj, name, type, {}, &p);
}
void attribute(hid_t obj, const std::string& name, const char* text) { attribute(obj, name, std::string(text)); }

// A dataset of n rows of `cols` values (cols 0: one value a row), chunked and compressed
// (shuffle + gzip) when it has rows, with a one-line description of what it holds.
void dataset(hid_t parent, const std::string& name, hid_t type, hsize_t n, hsize_t cols, const void* data,
             const std::string& description) {
  std::vector<hsize_t> dims{n};
  if (cols > 0) dims.push_back(cols);
  const Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose, "a dataspace");
  const Handle dcpl = untimed(H5P_DATASET_CREATE);
  if (n > 0) {
    std::vector<hsize_t> chunk{std::min(n, CHUNK_ROWS)};
    if (cols > 0) chunk.push_back(cols);
    check(H5Pset_chunk(dcpl, static_cast<int>(chunk.size()), chunk.data()), name);
    check(H5Pset_shuffle(dcpl), name);
    check(H5Pset_deflate(dcpl, 4), name);
  }
  const Handle d(H5Dcreate2(parent, name.c_str(), type, space, H5P_DEFAULT, dcpl, H5P_DEFAULT), H5Dclose,
                 "dataset " + name);
  if (n > 0) check(H5Dwrite(d, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data), "dataset " + name);
  attribute(d, "Description", description);
}
void floats(hid_t g, const std::string& name, const std::vector<float>& v, hsize_t cols, const std::string& what) {
  dataset(g, name, H5T_NATIVE_FLOAT, cols > 0 ? v.size() / cols : v.size(), cols, v.data(), what);
}

// Interleaves three per-particle arrays into rows of (x, y, z).
template <class Get>
std::vector<float> rows3(std::size_t n, Get get) {
  std::vector<float> v(3 * n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < 3; ++k) v[3 * i + k] = get(i, k);
  return v;
}

// The constants of the run's pair of stars, derived as a run derives them.
struct System {
  double M1 = 0, M2 = 0, HSPH = 0;
  std::optional<double> ALPHA, BETA;
  float MU1 = 0, MU2 = 0, ASEP = 0, PORB = 0, VUNIT = 0, TEMPFACTOR = 0;
};

System deriveConstants(const RunParameters& p) {
  System s;
  s.M1 = *p.M1;
  s.M2 = *p.M2;
  s.HSPH = *p.HSPH;
  s.ALPHA = p.ALPHA;
  s.BETA = p.BETA;
  if (!(s.M1 > 0 && std::isfinite(s.M1)) || !(s.M2 > 0 && std::isfinite(s.M2)))
    usage("the masses must be greater than 0 (M1 " + std::to_string(s.M1) + ", M2 " + std::to_string(s.M2) + ")");
  if (!(s.HSPH > 0 && std::isfinite(s.HSPH)))
    usage("the smoothing length must be greater than 0 (h " + std::to_string(s.HSPH) + ")");
  // The units as SETSYS derives them, without building a whole simulation state for them.
  const auto m1 = static_cast<float>(s.M1), m2 = static_cast<float>(s.M2);
  s.MU1 = m1 / (m1 + m2);
  s.MU2 = m2 / (m1 + m2);
  orbitUnits(m1, m2, lobeRadius(m2 / m1), s.ASEP, s.PORB, s.VUNIT);
  s.TEMPFACTOR = temperatureFactor(s.VUNIT);
  return s;
}

// The run's parameters and the units with their cgs values.
void writeHeader(hid_t file, const System& s, const std::string& source, const char* kind) {
  const Handle h = group(file, "Header");
  attribute(h, "Format", "Velmora snapshot export");
  attribute(h, "FormatVersion", HDF5_FORMAT_VERSION);
  attribute(h, "ProgramVersion", VELMORA_VERSION);
  attribute(h, "Source", source);
  attribute(h, "SourceKind", kind);
  attribute(h, "M1", s.M1);
  attribute(h, "M2", s.M2);
  attribute(h, "MassRatio", s.M2 / s.M1);
  attribute(h, "SmoothingLength", s.HSPH);
  attribute(h, "KernelSupportRadius", 2.0 * s.HSPH);
  if (s.ALPHA) attribute(h, "Alpha", *s.ALPHA);
  if (s.BETA) attribute(h, "Beta", *s.BETA);
  attribute(h, "MU1", s.MU1);
  attribute(h, "MU2", s.MU2);
  attribute(h, "Separation_in_Rsun", s.ASEP);
  attribute(h, "OrbitalPeriod_in_s", s.PORB);
  const double a = double(s.ASEP) * RSUN_CM, t = double(s.PORB) / (2.0 * std::numbers::pi);
  attribute(h, "UnitLength", "separation of the stars");
  attribute(h, "UnitLength_in_cm", a);
  attribute(h, "UnitMass", "M1 + M2");
  attribute(h, "UnitMass_in_g", (s.M1 + s.M2) * MSUN_G);
  attribute(h, "UnitTime", "1 / orbital angular frequency (an orbit lasts 2 pi)");
  attribute(h, "UnitTime_in_s", t);
  attribute(h, "UnitVelocity_in_cm_per_s", double(s.VUNIT) * 100.0);
  attribute(h, "UnitSpecificEnergy_in_cm2_per_s2", double(s.VUNIT) * double(s.VUNIT) * 1e4);
  attribute(h, "TemperatureFactor_in_K", s.TEMPFACTOR);
  attribute(h, "SnapshotTime", "orbits (orbit - 1 + phase / 200)");
  attribute(h, "GasParticleMass",
            "1 each: the model gives every gas particle one mass and leaves its value out (no self-gravity); "
            "scale Masses by your disk mass / number of particles");
  attribute(h, "Frame", "inertial, centre of mass at the origin, orbit in the x-y plane");
}

// The stars of a snapshot: positions (z = 0), masses in units of M1 + M2, and outlines.
void writeStars(hid_t snap, const System& s, float xp, float yp, float xs, float ys) {
  const Handle g = group(snap, "Stars");
  floats(g, "Coordinates", {xp, yp, 0.0f, xs, ys, 0.0f}, 3, "rows primary, secondary: x, y, z (separation)");
  floats(g, "Masses", {s.MU1, s.MU2}, 0, "primary, secondary (M1 + M2)");
  attribute(g, "Names", "Primary, Secondary");
}

void snapshotAttributes(hid_t snap, long long orbit, int phase, double time, long long n) {
  attribute(snap, "Orbit", orbit);
  attribute(snap, "Phase", phase);
  attribute(snap, "Time", time);
  attribute(snap, "NumPart", n);
}

// The per-particle values every snapshot has: masses, smoothing lengths and slot numbers.
void writeCommon(hid_t gas, const System& s, std::size_t n) {
  floats(gas, "Masses", std::vector<float>(n, 1.0f), 0, "one gas particle's mass (see Header GasParticleMass)");
  floats(gas, "SmoothingLength", std::vector<float>(n, static_cast<float>(s.HSPH)), 0,
         "h (separation); the kernel reaches to 2 h");
  std::vector<std::int32_t> ids(n);
  for (std::size_t i = 0; i < n; ++i) ids[i] = static_cast<std::int32_t>(i + 1);
  dataset(gas, "ParticleIDs", H5T_NATIVE_INT32, n, 0, ids.data(),
          "slot number 1..N (a removed particle's slot is refilled by a new one)");
}

void writeTemperature(hid_t gas, const System& s, const std::vector<float>& u) {
  std::vector<float> t(u.size());
  for (std::size_t i = 0; i < u.size(); ++i) t[i] = static_cast<float>(double(s.TEMPFACTOR) * double(u[i]));
  floats(gas, "Temperature", t, 0, "K: TemperatureFactor_in_K x InternalEnergy");
}

void writeFrame(hid_t file, const System& s, const RecordedFrame& f, long long index, long long orbit,
                XdmfSeries& series) {
  const std::string name = snapshotName("Frame", index);
  const Handle snap = group(file, name);
  const double time = double(orbit - 1) + f.IPHASE / double(NPHASES);
  const auto n = static_cast<std::size_t>(f.N);
  snapshotAttributes(snap, orbit, f.IPHASE, time, f.N);
  attribute(snap, "FrameIndex", index);
  {
    const Handle gas = group(snap, "PartType0");
    floats(gas, "Coordinates", rows3(n, [&](std::size_t i, std::size_t k) { return (k == 0 ? f.X : k == 1 ? f.Y : f.Z)[i]; }),
           3, "x, y, z (separation)");
    floats(gas, "Density", f.RHO, 0,
           "1 + sum of the kernel w over the neighbours, as recorded; mass density = Density x particle mass / "
           "(pi h^3)");
    floats(gas, "InternalEnergyFourthRoot", f.TEMP, 0, "fourth root of InternalEnergy, as recorded");
    std::vector<float> u(n);
    for (std::size_t i = 0; i < n; ++i) {
      const double r = f.TEMP[i];
      u[i] = static_cast<float>(r * r * r * r);
    }
    floats(gas, "InternalEnergy", u, 0, "specific internal energy (UnitSpecificEnergy)");
    writeTemperature(gas, s, u);
    writeCommon(gas, s, n);
  }
  writeStars(snap, s, f.XPRIM, f.YPRIM, f.XSEC, f.YSEC);
  {
    const Handle g(H5Gopen2(snap, "Stars", H5P_DEFAULT), H5Gclose, "group Stars");
    std::vector<float> lobe, wd;
    for (int k = 0; k < NLOBE; ++k) lobe.insert(lobe.end(), {f.LOBEX[std::size_t(k)], f.LOBEY[std::size_t(k)]});
    for (int k = 0; k < NWDPTS; ++k) wd.insert(wd.end(), {f.WDX[std::size_t(k)], f.WDY[std::size_t(k)]});
    floats(g, "LobeOutline", lobe, 2, "the secondary's Roche lobe at the frame's phase: x, y");
    floats(g, "PrimaryOutline", wd, 2, "the primary's outline at the frame's phase: x, y");
  }
  series.push_back({name, time, f.N, {"Density", "InternalEnergy", "Temperature"}});
}

void writeState(hid_t file, const System& s, const RestartFile& R, XdmfSeries& series) {
  const std::string name = snapshotName("State", R.IORBIT);
  const Handle snap = group(file, name);
  const auto n = R.particles.size();
  const auto& P = R.particles;
  snapshotAttributes(snap, R.IORBIT, NPHASES, double(R.IORBIT), R.NPART);
  {
    const Handle gas = group(snap, "PartType0");
    floats(gas, "Coordinates", rows3(n, [&](std::size_t i, std::size_t k) { return k == 0 ? P[i].X : k == 1 ? P[i].Y : P[i].Z; }),
           3, "x, y, z (separation)");
    floats(gas, "Velocities",
           rows3(n, [&](std::size_t i, std::size_t k) { return k == 0 ? P[i].VHX : k == 1 ? P[i].VHY : P[i].VHZ; }), 3,
           "drift velocity vx, vy, vz (UnitVelocity)");
    floats(gas, "HydroAcceleration",
           rows3(n, [&](std::size_t i, std::size_t k) { return k == 0 ? P[i].AHX : k == 1 ? P[i].AHY : P[i].AHZ; }), 3,
           "pressure and viscous acceleration ax, ay, az (code units)");
    std::vector<float> u(n), cs(n);
    std::vector<std::int16_t> level(n);
    for (std::size_t i = 0; i < n; ++i) {
      u[i] = P[i].U;
      cs[i] = P[i].CS;
      level[i] = P[i].LEVEL;
    }
    floats(gas, "InternalEnergy", u, 0, "specific internal energy (UnitSpecificEnergy)");
    writeTemperature(gas, s, u);
    floats(gas, "SoundSpeed", cs, 0, "sound speed (UnitVelocity)");
    dataset(gas, "TimeStepLevel", H5T_NATIVE_INT16, n, 0, level.data(), "time-step level 1..8 (1: shortest step)");
    writeCommon(gas, s, n);
  }
  // A restart point is the end of an orbit: the stars are back on the x axis.
  writeStars(snap, s, -s.MU2, 0.0f, s.MU1, 0.0f);
  series.push_back({name, double(R.IORBIT), R.NPART, {"InternalEnergy", "Temperature", "SoundSpeed"}});
}

// Fills the parameters a recording does not hold from the restart file beside it.
std::string completeParameters(const std::string& input, RunParameters& p, std::vector<std::string>& notes) {
  const bool given = p.M1 || p.M2 || p.HSPH || p.ALPHA || p.BETA;
  std::string from = given ? "options" : "";
  const std::string suffix = ".vlm";
  if (input.size() > suffix.size() && input.compare(input.size() - suffix.size(), suffix.size(), suffix) == 0) {
    const std::string restart = input.substr(0, input.size() - suffix.size()) + "_rs.vlm";
    std::error_code ec;
    if (fs::is_regular_file(restart, ec) && !(p.M1 && p.M2 && p.HSPH && p.ALPHA && p.BETA)) {
      try {
        const RestartFile R = readRestartFile(restart);
        bool used = false;
        const auto fill = [&used](std::optional<double>& v, float x) {
          if (!v) v = x, used = true;
        };
        fill(p.M1, R.M1);
        fill(p.M2, R.M2);
        fill(p.HSPH, R.HSPH);
        fill(p.ALPHA, R.ALPHA);
        fill(p.BETA, R.BETA);
        if (used) from = (given ? "options and " : "") + std::string("restart file ") + restart;
      } catch (const FileError& e) {
        notes.push_back(std::string(e.what()) + ": its parameters are not used");
      }
    }
  }
  std::string missing;
  for (const auto& [v, opt] : {std::pair{&p.M1, "--m1"}, std::pair{&p.M2, "--m2"}, std::pair{&p.HSPH, "--h"}})
    if (!*v) missing += std::string(missing.empty() ? "" : ", ") + opt;
  if (!missing.empty())
    usage("a recording does not hold the run's masses and smoothing length: give " + missing +
          " (or keep the run's restart file NAME_rs.vlm beside NAME.vlm)");
  return from;
}

struct TempFile {
  std::string path;
  bool keep = false;
  ~TempFile() {
    if (!keep) std::remove(path.c_str());
  }
};

// Flushes the finished file to the disk before it is renamed into place.
void flushToDisk(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    if (fd >= 0) ::close(fd);
    failed("cannot flush \"" + path + "\"");
  }
  ::close(fd);
}

// HDF5 prints its error stack on standard error by default; the export reports its own.
struct QuietHdf5 {
  H5E_auto2_t func = nullptr;
  void* data = nullptr;
  QuietHdf5() {
    H5Eget_auto2(H5E_DEFAULT, &func, &data);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  }
  ~QuietHdf5() { H5Eset_auto2(H5E_DEFAULT, func, data); }
};

}  // namespace

std::string xdmfPathFor(const std::string& h5) {
  fs::path p(h5);
  if (p.has_extension()) p.replace_extension(".xmf");
  else p += ".xmf";
  return p.string();
}

ExportResult exportHdf5(const std::string& input, const std::string& out, const ExportOptions& o) {
  if (o.first < 0) usage("the first frame must be 0 or more (got " + std::to_string(o.first) + ")");
  if (o.last && *o.last <= o.first)
    usage("the frame range " + std::to_string(o.first) + ":" + std::to_string(*o.last) + " is empty");
  if (o.every < 1) usage("every must be 1 or more (got " + std::to_string(o.every) + ")");
  if (out.empty()) usage("no output file named");
  ExportResult r;
  r.h5 = out;
  r.xmf = xdmfPathFor(out);
  if (fs::path(r.xmf) == fs::path(out)) usage("the output " + out + " ends in .xmf, the name of its XDMF file");
  std::error_code same;
  if (fs::equivalent(input, out, same)) usage("the output " + out + " is the input file");

  const fs::path folder = fs::path(out).parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::is_directory(folder, ec))
    failed("cannot write " + out + ": the folder " + folder.string() + " does not exist");
  const RunFileKind kind = readRunFileKind(input);
  if (kind == RunFileKind::LightCurve)
    usage(input + " is a light curve: only a recording (NAME.vlm) or a restart file (NAME_rs.vlm) holds particles");
  r.recording = kind == RunFileKind::Recording;

  // Read what the header needs before anything is created.
  std::unique_ptr<RecordingReader> reader;
  RestartFile R;
  RunParameters p = o.parameters;
  if (r.recording) {
    reader = std::make_unique<RecordingReader>(input);
    r.parametersFrom = completeParameters(input, p, r.notes);
  } else {
    R = readRestartFile(input);
    if (o.first != 0 || o.last || o.every != 1) usage("a restart file holds one state: --frames and --every are for recordings");
    if (p.M1 || p.M2 || p.HSPH || p.ALPHA || p.BETA) usage("a restart file holds the run's parameters: leave out --m1, --m2, --h, --alpha and --beta");
    p = {R.M1, R.M2, R.HSPH, R.ALPHA, R.BETA};
    r.parametersFrom = "the restart file";
  }
  const System s = deriveConstants(p);

  const QuietHdf5 quiet;
  TempFile tmp{out + ".tmp"};
  XdmfSeries series;
  {
    const Handle fcpl(H5Pcreate(H5P_FILE_CREATE), H5Pclose, "a property list");
    const hid_t f = H5Fcreate(tmp.path.c_str(), H5F_ACC_TRUNC, fcpl, H5P_DEFAULT);
    if (f < 0) failed("cannot create \"" + tmp.path + "\"");
    const Handle file(f, H5Fclose, tmp.path);
    writeHeader(file, s, fs::path(input).filename().string(), r.recording ? "recording" : "restart file");
    std::vector<int> counts;
    if (r.recording) {
      RecordedFrame frame;
      const long long per = recordedFramesPerOrbit(reader->FRAMESTEP());
      bool checkedQ = false;
      while (reader->next(frame)) {
        const long long k = reader->frames() - 1;
        if (!checkedQ) {
          checkedQ = true;
          const double q = std::hypot(double(frame.XPRIM), double(frame.YPRIM)) /
                           std::hypot(double(frame.XSEC), double(frame.YSEC));
          if (std::fabs(q - s.M2 / s.M1) > 1e-3 * (s.M2 / s.M1))
            r.notes.push_back("the recording's stars give q " + std::to_string(q) + ", the parameters q " +
                              std::to_string(s.M2 / s.M1) + ": the files may be of different runs");
        }
        if (k >= o.first && (!o.last || k < *o.last) && (k - o.first) % o.every == 0) {
          writeFrame(file, s, frame, k, reader->RECSTART() + k / per, series);
          counts.push_back(frame.N);
        }
        if (o.progress) o.progress(k + 1, std::max(k + 1, reader->frameTotal()));
        if (o.stop && o.stop()) throw ExportError(ExportError::Kind::Stopped, "stopped: nothing was written");
      }
      r.framesRead = reader->frames();
      if (counts.empty())
        usage("the recording has " + std::to_string(r.framesRead) + " frames (0 to " + std::to_string(r.framesRead - 1) +
              "): none lies in " + std::to_string(o.first) + ":" + (o.last ? std::to_string(*o.last) : std::string()));
      const Handle h(H5Gopen2(file, "Header", H5P_DEFAULT), H5Gclose, "group Header");
      attribute(h, "NORBTOT", reader->NORBTOT());
      attribute(h, "FRAMESTEP", reader->FRAMESTEP());
      attribute(h, "RECSTART", reader->RECSTART());
      attribute(h, "FramesInSource", r.framesRead);
    } else {
      writeState(file, s, R, series);
      counts.push_back(R.NPART);
      const Handle h(H5Gopen2(file, "Header", H5P_DEFAULT), H5Gclose, "group Header");
      attribute(h, "IORBIT", R.IORBIT);
      attribute(h, "NLEVELS", int(R.NLEVELS));
      attribute(h, "TINJ", R.TINJ);
    }
    const Handle h(H5Gopen2(file, "Header", H5P_DEFAULT), H5Gclose, "group Header");
    attribute(h, "NumSnapshots", static_cast<long long>(counts.size()));
    attribute(h, "NumPart_PerSnapshot", counts);
    std::vector<std::string> names;
    for (const auto& e : series) names.push_back(e.group);
    std::string joined;
    for (const auto& n : names) joined += (joined.empty() ? "" : " ") + n;
    attribute(h, "Snapshots", joined);
    check(H5Fflush(file, H5F_SCOPE_GLOBAL), tmp.path);
  }
  flushToDisk(tmp.path);
  for (const auto& e : series) r.groups.push_back(e.group);

  const std::string text = xdmfText(fs::path(out).filename().string(), series);
  if (std::rename(tmp.path.c_str(), out.c_str()) != 0) failed("cannot rename \"" + tmp.path + "\" to \"" + out + "\"");
  tmp.keep = true;
  if (const std::string err = replaceAtomically(r.xmf, text); !err.empty()) {
    std::remove(out.c_str());
    failed(err);
  }
  return r;
}

}  // namespace velmora
