// The run's files from Python: a recording read frame by frame, the light curve, the restart file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/lightcurve.h"
#include "files/recording.h"
#include "files/restart_file.h"
#include "io/file_error.h"
#include "python/binding.h"

namespace velmora::python {
namespace {

// One frame with its place in the run: the orbit of the run it was taken in (counted from 1,
// a continued run from its first further orbit) and the time in orbits at its phase.
struct Frame {
  RecordedFrame f;
  long long index = 0;
  long long orbit = 0;
  double time = 0;
};

// A recording opened for reading by index: frames are found by passing over the ones before
// (their headers checked, their values unread) and read whole when asked for.
class Recording {
 public:
  explicit Recording(const std::string& path) : path_(path), reader_(open(path)) {}

  const std::string& path() const { return path_; }
  I32 norbtot() const { return reader_->NORBTOT(); }
  I32 framestep() const { return reader_->FRAMESTEP(); }
  I32 recstart() const { return reader_->RECSTART(); }
  long long playbackFrames() const { return reader_->frameTotal(); }

  long long size() {
    reach(-1);
    return static_cast<long long>(starts_.size());
  }

  std::shared_ptr<Frame> at(long long k) {
    if (k < 0) k += size();
    if (k >= 0) reach(k);
    if (k < 0 || k >= static_cast<long long>(starts_.size())) throw py::index_error("frame index out of range");
    auto fr = std::make_shared<Frame>();
    guarded([&] {
      reader_->seek(k, starts_[static_cast<std::size_t>(k)]);
      reader_->next(fr->f);
    });
    const long long per = recordedFramesPerOrbit(framestep());
    fr->index = k;
    fr->orbit = recstart() + k / per;
    fr->time = static_cast<double>(fr->orbit - 1) + fr->f.IPHASE / double(NPHASES);
    return fr;
  }

 private:
  static std::unique_ptr<RecordingReader> open(const std::string& path) {
    std::unique_ptr<RecordingReader> r;
    guarded([&] { r = std::make_unique<RecordingReader>(path); });
    return r;
  }

  // Runs a reading step, turning a refused file into velmora.FileError.
  template <class F>
  static void guarded(F&& step) {
    try {
      step();
    } catch (const FileError& e) {
      raiseFileError(e.what());
    }
  }

  // Finds the frames up to index k (every frame when k < 0).
  void reach(long long k) {
    while (!complete_ && (k < 0 || static_cast<long long>(starts_.size()) <= k)) {
      guarded([&] {
        reader_->seek(static_cast<long long>(starts_.size()), end_);
        if (reader_->skip()) {
          starts_.push_back(end_);
          end_ = reader_->offset();
        } else {
          complete_ = true;
        }
      });
    }
  }

  std::string path_;
  std::unique_ptr<RecordingReader> reader_;
  std::vector<std::uint64_t> starts_;  // byte offset of every frame found so far
  std::uint64_t end_ = 0;              // where the frame after them starts
  bool complete_ = false;
};

// Iteration over a recording, frame after frame.
struct FrameIterator {
  py::object recording;
  long long next = 0;
};

template <class T>
py::array_t<float> outline(const T& xs, const T& ys) {
  py::array_t<float> a({py::ssize_t(2), static_cast<py::ssize_t>(xs.size())});
  auto w = a.template mutable_unchecked<2>();
  for (std::size_t i = 0; i < xs.size(); ++i) {
    w(0, static_cast<py::ssize_t>(i)) = xs[i];
    w(1, static_cast<py::ssize_t>(i)) = ys[i];
  }
  return a;
}

// A frame's particle array as a view kept alive by the frame.
auto frameArray(std::vector<float> RecordedFrame::*member) {
  return [member](py::object self) {
    Frame& fr = self.cast<Frame&>();
    const auto& v = fr.f.*member;
    return view(v.data(), static_cast<py::ssize_t>(v.size()), self);
  };
}

// A restart file's per-particle value as a strided view over its particle records.
template <class T>
auto restartArray(T RestartFile::Particle::*member) {
  return [member](py::object self) {
    const RestartFile& R = self.cast<const RestartFile&>();
    const auto n = static_cast<py::ssize_t>(R.particles.size());
    const T* first = n > 0 ? &(R.particles.front().*member) : nullptr;
    static const T none{};
    return view(first != nullptr ? first : &none, n, self, sizeof(RestartFile::Particle));
  };
}

}  // namespace

void bindFiles(py::module_& m) {
  py::class_<Frame, std::shared_ptr<Frame>>(m, "Frame",
                                            "One recorded frame: particle positions, densities and temperatures "
                                            "(the fourth root of the specific energy), the stars and their outlines.")
      .def_readonly("index", &Frame::index, "Index of the frame in the recording, from 0")
      .def_readonly("orbit", &Frame::orbit,
                    "Orbit of the run the frame was taken in, from 1 (a continued run counts from its first "
                    "further orbit)")
      .def_readonly("time", &Frame::time, "Time in orbits at the frame's phase: orbit - 1 + phase / 200")
      .def_property_readonly("phase", [](const Frame& f) { return f.f.IPHASE; }, "Phase 1..200 of the orbit")
      .def_property_readonly("n", [](const Frame& f) { return f.f.N; }, "Particles in the frame")
      .def_property_readonly("x", frameArray(&RecordedFrame::X), "x of every particle (float32 array, separations, inertial frame)")
      .def_property_readonly("y", frameArray(&RecordedFrame::Y), "y of every particle (float32 array, separations)")
      .def_property_readonly("z", frameArray(&RecordedFrame::Z), "z of every particle (float32 array, separations)")
      .def_property_readonly("rho", frameArray(&RecordedFrame::RHO), "SPH density")
      .def_property_readonly("temp", frameArray(&RecordedFrame::TEMP),
                             "Fourth root of the specific internal energy (the temperature colouring)")
      .def_property_readonly("primary", [](const Frame& f) { return py::make_tuple(f.f.XPRIM, f.f.YPRIM); },
                             "(x, y) of the primary")
      .def_property_readonly("secondary", [](const Frame& f) { return py::make_tuple(f.f.XSEC, f.f.YSEC); },
                             "(x, y) of the secondary")
      .def_property_readonly("lobe", [](const Frame& f) { return outline(f.f.LOBEX, f.f.LOBEY); },
                             "The secondary's Roche lobe at the frame's phase: rows x and y, 101 points")
      .def_property_readonly("primary_outline", [](const Frame& f) { return outline(f.f.WDX, f.f.WDY); },
                             "The primary's outline at the frame's phase: rows x and y, 61 points")
      .def("__repr__", [](const Frame& f) {
        return "<velmora.Frame " + std::to_string(f.index) + ": orbit " + std::to_string(f.orbit) + ", phase " +
               std::to_string(f.f.IPHASE) + ", " + std::to_string(f.f.N) + " particles>";
      });

  py::class_<FrameIterator>(m, "_FrameIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", [](FrameIterator& it) {
        Recording& r = it.recording.cast<Recording&>();
        if (it.next >= r.size()) throw py::stop_iteration();
        return r.at(it.next++);
      });

  py::class_<Recording>(m, "Recording",
                        "A recorded run, read frame by frame: len(), indexing (negative too) and iteration read "
                        "one frame at a time, so a large recording is never loaded whole.")
      .def_property_readonly("path", &Recording::path, "The file's path (str)")
      .def_property_readonly("norbtot", &Recording::norbtot, "Orbits of the run that wrote the recording")
      .def_property_readonly("framestep", &Recording::framestep, "Phases between recorded frames")
      .def_property_readonly("recstart", &Recording::recstart, "Orbit of that run the recording starts at")
      .def_property_readonly("playback_frames", &Recording::playbackFrames, "Frames the playback of the program shows")
      .def("__len__", &Recording::size, "Frames present (every frame's header is checked)")
      .def("__getitem__", &Recording::at, py::arg("index"))
      .def("__iter__", [](py::object self) { return FrameIterator{self, 0}; })
      .def("__repr__", [](Recording& r) {
        return "<velmora.Recording " + py::repr(py::str(r.path())).cast<std::string>() + ": NORBTOT " +
               std::to_string(r.norbtot()) + ", FRAMESTEP " + std::to_string(r.framestep()) + ", RECSTART " +
               std::to_string(r.recstart()) + ">";
      });

  m.def(
      "read_recording", [](py::handle path) { return Recording(readablePath(path)); }, py::arg("path"),
      "Opens a recording (NAME.vlm). Its first header is checked now, each frame's when it is reached; a damaged "
      "file raises velmora.FileError with the message of velmora-cli info.");

  py::class_<LightCurve, std::shared_ptr<LightCurve>>(m, "LightCurve",
                                                      "A light-curve file: time (orbits) and luminosity of every "
                                                      "sample present.")
      .def_readonly("path", &LightCurve::file, "The file's path (str)")
      .def_readonly("count_line", &LightCurve::countLine, "False for a file a continued run began without one")
      .def_property_readonly(
          "declared",
          [](const LightCurve& lc) -> py::object {
            return lc.countLine ? py::object(py::int_(lc.announced)) : py::object(py::none());
          },
          "Samples the count line declares (None without a count line)")
      .def_property_readonly("present", &LightCurve::samples, "Samples present")
      .def_property_readonly("orbits", &LightCurve::orbits, "Whole orbits present (samples // 200)")
      .def_property_readonly("stopped_early", &LightCurve::shorterThanAnnounced,
                             "True when fewer samples are present than declared")
      .def_property_readonly("time",
                             [](py::object self) {
                               const auto& lc = self.cast<const LightCurve&>();
                               return view(lc.T.data(), static_cast<py::ssize_t>(lc.T.size()), self);
                             },
                             "Time of every sample in orbits, at the end of its phase (float32 array)")
      .def_property_readonly("luminosity",
                             [](py::object self) {
                               const auto& lc = self.cast<const LightCurve&>();
                               return view(lc.L.data(), static_cast<py::ssize_t>(lc.L.size()), self);
                             },
                             "Luminosity of every sample: the energy the gas gained in the phase, code units "
                             "(float32 array)")
      .def("__len__", &LightCurve::samples)
      .def("__repr__", [](const LightCurve& lc) {
        return "<velmora.LightCurve " + py::repr(py::str(lc.file)).cast<std::string>() + ": " +
               std::to_string(lc.samples()) + " samples, " + std::to_string(lc.orbits()) + " whole orbits>";
      });

  m.def(
      "read_lightcurve",
      [](py::handle path) {
        const std::string p = readablePath(path);
        try {
          return std::make_shared<LightCurve>(readLightCurve(p));
        } catch (const LightCurveError& e) {
          raiseFileError(e.what());
        }
      },
      py::arg("path"), "Reads and checks a light curve (NAME_lc.vlm); a damaged file raises velmora.FileError.");

  py::class_<RestartFile, std::shared_ptr<RestartFile>>(m, "RestartFile",
                                                        "A restart file: the run's parameters and every particle.")
      .def_readonly("m1", &RestartFile::M1, "Primary mass, solar masses")
      .def_readonly("m2", &RestartFile::M2, "Secondary mass, solar masses")
      .def_property_readonly("q", [](const RestartFile& R) { return R.M2 / R.M1; }, "Mass ratio M2/M1")
      .def_readonly("asep", &RestartFile::ASEP, "Separation, solar radii")
      .def_readonly("porb", &RestartFile::PORB, "Orbital period, seconds")
      .def_readonly("rsone", &RestartFile::RSONE, "Always 1.0 (kept by the file)")
      .def_readonly("tinj", &RestartFile::TINJ, "Temperature of the injected gas, 1e5 K")
      .def_readonly("hsph", &RestartFile::HSPH, "Smoothing length")
      .def_readonly("npart", &RestartFile::NPART, "Particles in the file")
      .def_readonly("nlevels", &RestartFile::NLEVELS, "Time-step levels in use, 1..8")
      .def_readonly("iorbit", &RestartFile::IORBIT, "Orbits the run had completed")
      .def_readonly("alpha", &RestartFile::ALPHA, "First artificial-viscosity coefficient")
      .def_readonly("beta", &RestartFile::BETA, "Second artificial-viscosity coefficient")
      .def_property_readonly(
          "level_counts",
          [](const RestartFile& R) {
            const auto n = R.levelCounts();
            return py::array_t<std::int32_t>(R.NLEVELS, n.data() + 1);
          },
          "Particles on each level 1..nlevels (1 = shortest step)")
      .def_property_readonly("x", restartArray(&RestartFile::Particle::X), "x of every particle (float32 array, separations)")
      .def_property_readonly("y", restartArray(&RestartFile::Particle::Y), "y of every particle (float32 array)")
      .def_property_readonly("z", restartArray(&RestartFile::Particle::Z), "z of every particle (float32 array)")
      .def_property_readonly("vhx", restartArray(&RestartFile::Particle::VHX), "Drift (leapfrog half-step) velocity, x (float32 array, separation x orbital angular frequency)")
      .def_property_readonly("vhy", restartArray(&RestartFile::Particle::VHY), "Drift velocity, y (float32 array)")
      .def_property_readonly("vhz", restartArray(&RestartFile::Particle::VHZ), "Drift velocity, z (float32 array)")
      .def_property_readonly("ahx", restartArray(&RestartFile::Particle::AHX), "Hydrodynamic (pressure and viscosity) acceleration, x (float32 array, code units)")
      .def_property_readonly("ahy", restartArray(&RestartFile::Particle::AHY), "Hydrodynamic acceleration, y (float32 array)")
      .def_property_readonly("ahz", restartArray(&RestartFile::Particle::AHZ), "Hydrodynamic acceleration, z (float32 array)")
      .def_property_readonly("u", restartArray(&RestartFile::Particle::U), "Specific internal energy")
      .def_property_readonly("cs", restartArray(&RestartFile::Particle::CS), "Sound speed")
      .def_property_readonly("level", restartArray(&RestartFile::Particle::LEVEL), "Time-step level 1..8")
      .def("__repr__", [](const RestartFile& R) {
        return "<velmora.RestartFile: orbit " + std::to_string(R.IORBIT) + ", " + std::to_string(R.NPART) +
               " particles>";
      });

  m.def(
      "read_restart",
      [](py::handle path) {
        const std::string p = readablePath(path);
        try {
          return std::make_shared<RestartFile>(readRestartFile(p));
        } catch (const FileError& e) {
          raiseFileError(e.what());
        }
      },
      py::arg("path"), "Reads and checks a restart file (NAME_rs.vlm); a damaged file raises velmora.FileError.");
}

}  // namespace velmora::python
