// Runs from Python: velmora.Simulation, a new run or one continued from a restart file, run as
// velmora-cli runs it, with the state's particle arrays as numpy views.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "analysis/fits/obs_fits.h"
#include "analysis/fits/run_observer.h"
#include "core/threads.h"
#include "files/files.h"
#include "files/run_provenance.h"
#include "files/restart_file.h"
#include "io/file_error.h"
#include "python/binding.h"
#include "shell/headless_run.h"

namespace velmora::python {
namespace {

// The host of a run started from Python, which runs with the GIL released. Between phases it
// takes the GIL back to let Python handle its signals (Ctrl-C) and to call the progress
// callable; an exception from either stops the run as a click on QUIT does, and is raised once
// the run has ended with its files complete. Warnings become Python RuntimeWarnings.
class PythonHost final : public HeadlessHost {
 public:
  PythonHost(const Sim& S, py::object progress)
      : HeadlessHost(S, Output::Quiet), S_(S), progress_(std::move(progress)) {}
  PythonHost(const PythonHost&) = delete;
  PythonHost& operator=(const PythonHost&) = delete;
  ~PythonHost() override {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(trace_);
  }

  void show(const Sim&, I32, I32, I32, I32) override { report(); }
  void progress(I32, I32) override { report(); }
  void warn(const std::string& message) override {
    py::gil_scoped_acquire gil;
    if (!pending() && PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 1) < 0) keepError();
  }

  // With the GIL held: raises the exception that stopped the run, if one did.
  void raisePending() {
    if (!pending()) return;
    PyErr_Restore(type_, value_, trace_);
    type_ = value_ = trace_ = nullptr;
    throw py::error_already_set();
  }

 protected:
  bool stopWanted() override {
    if (!pending()) {
      py::gil_scoped_acquire gil;
      if (PyErr_CheckSignals() < 0) keepError();
    }
    return pending();
  }

 private:
  bool pending() const { return type_ != nullptr; }
  void keepError() { PyErr_Fetch(&type_, &value_, &trace_); }

  // The progress callable with (orbit, phase): the orbit being run, counted over the whole
  // series of runs, and its phase 1..200.
  void report() {
    if (progress_.is_none() || pending()) return;
    py::gil_scoped_acquire gil;
    PyObject* r = PyObject_CallFunction(progress_.ptr(), "ii", int(S_.IORBIT + 1), int(S_.IPHASE));
    if (r == nullptr) keepError();
    Py_XDECREF(r);
  }

  const Sim& S_;
  py::object progress_;
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* trace_ = nullptr;
};

// A simulation: the state and what it was set up with, run once.
class Simulation {
 public:
  // A new run with the Disk Setup parameters, checked as velmora-cli run checks them.
  Simulation(double m1, double q, double h, double alpha, double beta, long long particles, long long inj)
      : S_(std::make_unique<Sim>()) {
    settings_.m1 = m1, settings_.q = q, settings_.h = h, settings_.alpha = alpha, settings_.beta = beta;
    settings_.particles = particles, settings_.inj = inj;
    settings_.orbits = 1;  // the orbits come with run()
    if (const std::string p = settings_.problem(OptionSpelling::Python); !p.empty()) raiseValueError(p);
    params_ = settings_.parameters();
  }

  // A run to be continued from a restart file, checked now; the state holds the file's particles.
  static std::unique_ptr<Simulation> fromRestart(py::handle path) {
    auto s = std::unique_ptr<Simulation>(new Simulation());
    s->restartFile_ = readablePath(path);
    try {
      s->restart_ = readRestartFile(s->restartFile_);
      s->S_->FORCES = recordedForces(s->restartFile_);
    } catch (const FileError& e) {
      raiseFileError(e.what());
    }
    applyRestartFile(*s->S_, *s->restart_);
    return s;
  }

  void run(py::object self, long long orbits, const py::object& record, const py::object& frameStep,
           const py::object& lc, const py::object& restartEvery, const py::object& name, const py::object& threads,
           const py::object& forces, py::object progress, const py::dict& observing) {
    if (running_) throw py::value_error("the simulation is running");
    if (ran_)
      throw py::value_error(
          "the simulation has run already: continue it with velmora.Simulation.from_restart(<its restart file>) "
          "(run it with restart_every= to write one)");
    OutputSettings out;
    setOption(record, "record", out.record, out.hasRecord);
    setOption(frameStep, "frame_step", out.frameStep, out.hasFrameStep);
    setOption(lc, "lc", out.lc, out.hasLc);
    setOption(restartEvery, "restart_every", out.restartEvery, out.hasRestartEvery);
    if (!name.is_none() && !py::isinstance<py::str>(name))
      throw py::type_error("name takes a text, the base name of the run's files");
    const std::string runName = name.is_none() ? std::string() : name.cast<std::string>();
    // The core's passes on this many threads (default: every core, or OMP_NUM_THREADS); the
    // results are the same bits for every count.
    const auto nthreads = wholeNumber(threads, "threads");
    if (nthreads && (*nthreads < 1 || *nthreads > 1024))
      throw py::value_error("threads must be between 1 and 1024 (got " + std::to_string(*nthreads) + ")");
    // The force scheme; a continued run keeps the one its restart file records unless given.
    ForceScheme scheme = ForceScheme::Sequential;
    if (!forces.is_none()) {
      if (!py::isinstance<py::str>(forces)) throw py::type_error("forces takes a text, 'sequential' or 'synchronous'");
      if (const std::string p = forcesProblem(OptionSpelling::Python, forces.cast<std::string>(), scheme); !p.empty())
        raiseValueError(p);
    }
    const py::object callback = progressCallable(self, std::move(progress), orbits);
    std::unique_ptr<RunObserver> observer = makeObserver(observing, orbits, runName);

    RunProvenance runRecord;
    runRecord.invocation = "velmora (Python) Simulation.run";
    if (restart_) {
      RestartSettings r;
      r.file = restartFile_, r.name = runName, r.orbits = orbits, r.out = out;
      r.forces = scheme, r.hasForces = !forces.is_none();
      if (const std::string p = r.problem(OptionSpelling::Python); !p.empty()) raiseValueError(p);
      if (const std::string p = r.prepare(*S_); !p.empty()) raiseValueError(p);
      runRecord.parameters = r.recordParameters();
    } else {
      NewRunSettings r = settings_;
      r.orbits = orbits, r.name = runName, r.out = out, r.forces = scheme;
      if (const std::string p = r.problem(OptionSpelling::Python); !p.empty()) raiseValueError(p);
      params_ = r.parameters();
      r.prepare(*S_, params_);
      runRecord.parameters = r.recordParameters();
    }

    setThreadCount(nthreads ? static_cast<int>(*nthreads) : 0);
    if (observer) observer->attach(*S_);
    PythonHost host(*S_, callback);
    RunOutcome outcome;
    running_ = true;
    {
      py::gil_scoped_release release;
      outcome = restart_ ? runRestart(*S_, host, &runRecord) : runNew(*S_, host, params_, &runRecord);
    }
    running_ = false;
    S_->watcher = nullptr;
    ran_ = outcome.end != RunEnd::Refused;
    std::string unobserved;
    if (observer && ran_) {
      unobserved = observer->finish();
      if (unobserved.empty() && observer->phasesObserved() > 0) obsPath_ = observer->path();
    }
    stopped_ = host.stoppedByUser();
    seconds_ = host.elapsedSeconds();
    if (!callback.is_none() && py::hasattr(callback, "close")) callback.attr("close")();
    host.raisePending();
    if (outcome.end == RunEnd::Refused) raiseFileError(outcome.message);
    if (outcome.end == RunEnd::Failed) raiseRunError("the run stopped: " + outcome.message);
    if (!unobserved.empty()) raiseRunError("the observations " + observer->path() + " were not written: " + unobserved);
  }

  py::dict parameters() const {
    py::dict d;
    if (restart_) {
      const RestartFile& R = *restart_;
      d["m1"] = R.M1, d["m2"] = R.M2, d["q"] = R.M2 / R.M1, d["h"] = R.HSPH, d["alpha"] = R.ALPHA;
      d["beta"] = R.BETA, d["particles"] = R.NPART, d["orbit"] = R.IORBIT;
    } else {
      d["m1"] = params_.M1, d["m2"] = params_.M2, d["q"] = params_.M2 / params_.M1, d["h"] = params_.HINJ;
      d["alpha"] = params_.ALPHA, d["beta"] = params_.BETA, d["particles"] = params_.NPART, d["inj"] = params_.NINJ;
    }
    return d;
  }

  py::object summary() const {
    if (!ran_) return py::none();
    return py::str(runSummary(*S_, stopped_, seconds_));
  }

  py::dict files() const {
    py::dict d;
    if (!ran_) return d;
    if (isTrue(S_->RECFLAG)) d["recording"] = recordingName(*S_);
    if (isTrue(S_->LCFLAG)) d["lightcurve"] = lightCurveName(*S_);
    if (isTrue(S_->RSFLAG)) d["restart"] = restartName(*S_);
    if (!obsPath_.empty()) d["observations"] = obsPath_;
    return d;
  }

  std::string repr() const {
    if (restart_) return "<velmora.Simulation from " + restartFile_ + ", orbit " + std::to_string(S_->IORBIT) + ">";
    char buf[200];
    std::snprintf(buf, sizeof buf, "<velmora.Simulation m1=%.3f q=%.3f h=%.4f alpha=%.2f beta=%.2f particles=%d inj=%d>",
                  double(params_.M1), double(params_.M2 / params_.M1), double(params_.HINJ), double(params_.ALPHA),
                  double(params_.BETA), params_.NPART, params_.NINJ);
    return buf;
  }

  const Sim& state() const { return *S_; }
  Sim& state() { return *S_; }
  bool ran() const { return ran_; }
  bool stopped() const { return stopped_; }

 private:
  Simulation() : S_(std::make_unique<Sim>()) {}

  // A whole number given to `option` (None: not given); anything else is a TypeError.
  static std::optional<long long> wholeNumber(const py::object& value, const char* option) {
    if (value.is_none()) return std::nullopt;
    if (py::isinstance<py::bool_>(value) || !PyIndex_Check(value.ptr()))
      throw py::type_error(std::string(option) + " takes a whole number (got " +
                           py::repr(value).cast<std::string>() + ")");
    return py::int_(value).cast<long long>();
  }

  static void setOption(const py::object& value, const char* option, long long& into, bool& given) {
    const auto v = wholeNumber(value, option);
    given = v.has_value();
    if (given) into = *v;
  }

  // The observer of observe=[inclinations] with observe_from, line_bins, fwhm and emission,
  // checked as velmora-cli checks --observe; none when observe is None.
  static std::unique_ptr<RunObserver> makeObserver(const py::dict& o, long long orbits, const std::string& name) {
    const auto get = [&o](const char* k) { return o.contains(k) ? py::reinterpret_borrow<py::object>(o[k]) : py::none(); };
    const py::object incl = get("observe");
    const bool companions = !get("observe_from").is_none() || !get("line_bins").is_none() || !get("fwhm").is_none() ||
                            !get("emission").is_none();
    if (incl.is_none()) {
      if (companions) raiseValueError("observe_from, line_bins, fwhm and emission need observe");
      return nullptr;
    }
    ObserveSettings s;
    try {
      for (py::handle v : py::iter(incl)) s.inclinations.push_back(v.cast<double>());
    } catch (const std::exception&) {  // not iterable, or an entry not a number
      throw py::type_error("observe takes a list of inclinations in degrees, e.g. [82, 60]");
    }
    if (const auto b = wholeNumber(get("line_bins"), "line_bins")) s.lineBins = static_cast<int>(std::clamp(*b, -1LL, 1000000LL));
    if (!get("fwhm").is_none()) s.fwhm = get("fwhm").cast<double>();
    if (!get("emission").is_none() && !parseEmission(py::str(get("emission")).cast<std::string>(), s.emission))
      raiseValueError("emission is 'dissipation', 'density2' or 'uniform' (got " + py::repr(get("emission")).cast<std::string>() + ")");
    if (const std::string p = s.problem("observe", "line_bins", "fwhm"); !p.empty()) raiseValueError(p);
    const long long from = wholeNumber(get("observe_from"), "observe_from").value_or(1);
    if (from < 1 || from > orbits)
      raiseValueError("observe_from must be between 1 and " + std::to_string(orbits) + " (got " + std::to_string(from) + ")");
    if (name.empty()) raiseValueError("observe writes a file named after the run: give its base name with name");
    return std::make_unique<RunObserver>(s, observationsName(name), from);
  }

  // The callable that receives (orbit, phase): the one given, a printer for True, or none.
  py::object progressCallable(py::object self, py::object progress, long long orbits) const {
    if (progress.is_none() || (py::isinstance<py::bool_>(progress) && !progress.cast<bool>())) return py::none();
    if (py::isinstance<py::bool_>(progress)) {
      const long long first = restart_ ? restart_->IORBIT : 0;
      return py::module_::import("velmora._progress").attr("Printer")(self, first, first + orbits);
    }
    if (!PyCallable_Check(progress.ptr()))
      throw py::type_error("progress takes True, False, None or a callable receiving (orbit, phase)");
    return progress;
  }

  std::unique_ptr<Sim> S_;
  NewRunSettings settings_;
  RunParameters params_;
  std::string restartFile_;
  std::string obsPath_;  // the observations written, if any
  std::optional<RestartFile> restart_;
  bool running_ = false, ran_ = false, stopped_ = false;
  double seconds_ = 0;
};

// The state's array `member`, entries 1..NPART, as a view kept alive by the simulation.
template <class T, int N>
auto stateArray(Arr1<T, N> Sim::*member) {
  return [member](py::object self) {
    Sim& S = self.cast<Simulation&>().state();
    return view((S.*member).data(), static_cast<py::ssize_t>(S.NPART), self);
  };
}

}  // namespace

void bindRuns(py::module_& m) {
  py::class_<Simulation>(m, "Simulation", R"(A simulation of the disk: a new run with the Disk Setup parameters,
or one continued from a restart file (Simulation.from_restart).

The values are put on the dialog's grid (m1 and q to 0.01, h to 0.0001) and checked as
velmora-cli run checks them; a bad value raises ValueError naming its range.)")
      .def(py::init<double, double, double, double, double, long long, long long>(), py::arg("m1") = 1.0,
           py::arg("q") = 0.15, py::arg("h") = 0.025, py::arg("alpha") = 1.0, py::arg("beta") = 1.0,
           py::arg("particles") = 1000, py::arg("inj") = 10)
      .def_static("from_restart", &Simulation::fromRestart, py::arg("path"),
                  "A run continued from a restart file (NAME_rs.vlm), as velmora-cli restart continues it. The "
                  "file is checked now (velmora.FileError when damaged); until run() the state holds its particles.")
      .def(
          "run",
          [](py::object self, long long orbits, py::object record, py::object frame_step, py::object lc,
             py::object restart_every, py::object name, py::object threads, py::object forces,
             py::object progress, py::object observe, py::object observe_from, py::object line_bins, py::object fwhm,
             py::object emission) {
            py::dict observing;
            observing["observe"] = observe, observing["observe_from"] = observe_from;
            observing["line_bins"] = line_bins, observing["fwhm"] = fwhm, observing["emission"] = emission;
            self.cast<Simulation&>().run(self, orbits, record, frame_step, lc, restart_every, name, threads, forces,
                                         std::move(progress), observing);
          },
          py::arg("orbits"), py::kw_only(), py::arg("record") = py::none(), py::arg("frame_step") = py::none(),
          py::arg("lc") = py::none(), py::arg("restart_every") = py::none(), py::arg("name") = py::none(),
          py::arg("threads") = py::none(), py::arg("forces") = py::none(), py::arg("progress") = py::none(),
          py::arg("observe") = py::none(), py::arg("observe_from") = py::none(), py::arg("line_bins") = py::none(),
          py::arg("fwhm") = py::none(), py::arg("emission") = py::none(),
          R"(Runs `orbits` orbits (further orbits for a continued run), writing in the current folder the
files velmora-cli run (or restart) writes with the same options, byte for byte:
record=ORBIT (NAME.vlm from that orbit on, a frame every frame_step phases), lc=ORBIT
(NAME_lc.vlm), restart_every=N (NAME_rs.vlm every N orbits); name is their base name.
observe=[82, 60] observes the run at these inclinations (degrees) from orbit observe_from on
(line_bins, fwhm in km/s, emission 'dissipation', 'density2' or 'uniform', as velmora-cli's
--observe): NAME_obs.fits, read with velmora.read_observations.
forces: 'sequential' (the default, the reference scheme) or 'synchronous' (every force of a pass
from the state at its start, shared by every thread); a continued run keeps its file's scheme
unless given, as velmora-cli restart does.
progress: True prints a progress line on standard error; a callable receives (orbit, phase)
between phases. Ctrl-C (KeyboardInterrupt) stops the run as the QUIT button does, with every
file complete, and is raised once it has stopped. A simulation runs once.)")
      .def_property_readonly("parameters", &Simulation::parameters,
                             "The run's values as it takes them (on the dialog's grid)")
      .def_property_readonly("summary", &Simulation::summary, "The summary velmora-cli prints after the run")
      .def_property_readonly("files", &Simulation::files, "The files the run wrote, by kind")
      .def_property_readonly("stopped", &Simulation::stopped, "True when Ctrl-C or an exception stopped the run")
      .def_property_readonly("has_run", &Simulation::ran, "True once run() has been called")
      .def_property_readonly("npart", [](const Simulation& s) { return s.state().NPART; }, "Particles in use")
      .def_property_readonly("orbit", [](const Simulation& s) { return s.state().IORBIT; },
                             "Orbits completed (over the whole series of runs)")
      .def_property_readonly("accreted", [](const Simulation& s) { return s.state().NACC; },
                             "Particles accreted by the primary (within 0.03 separations) during the run")
      .def_property_readonly("escaped", [](const Simulation& s) { return s.state().NESC; },
                             "Particles that left the computed region during the run")
      .def_property_readonly("lost", [](const Simulation& s) { return s.state().NLOST; },
                             "Particles returned to the secondary")
      .def_property_readonly("x", stateArray(&Sim::X), "x of every particle (float32 view of the state, separations, inertial frame)")
      .def_property_readonly("y", stateArray(&Sim::Y), "y of every particle (float32 view, separations)")
      .def_property_readonly("z", stateArray(&Sim::Z), "z of every particle (float32 view, separations)")
      .def_property_readonly("vx", stateArray(&Sim::VX), "Velocity, x (float32 view, separation x orbital angular frequency)")
      .def_property_readonly("vy", stateArray(&Sim::VY), "Velocity, y (float32 view)")
      .def_property_readonly("vz", stateArray(&Sim::VZ), "Velocity, z (float32 view)")
      .def_property_readonly("rho", stateArray(&Sim::RHO), "SPH density")
      .def_property_readonly("u", stateArray(&Sim::U), "Specific internal energy")
      .def_property_readonly("level", stateArray(&Sim::LEVEL), "Time-step level 1..8")
      .def("__repr__", &Simulation::repr);
}

}  // namespace velmora::python
