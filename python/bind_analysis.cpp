// The analysis from Python: the derived constants of a pair of stars, the light-curve spectrum
// with its peaks, and the measurements of a run's files, as velmora-cli system, lc and analyse
// compute them.
#include <memory>
#include <optional>
#include <string>

#include "analysis/lc_analysis.h"
#include "analysis/run_analysis.h"
#include "analysis/superhump.h"
#include "core/core.h"
#include "core/geometry.h"
#include "files/lightcurve.h"
#include "io/file_error.h"
#include "python/binding.h"
#include "shell/lc_range_rules.h"

namespace velmora::python {
namespace {

// The spectrum of a range of orbits and what the plot shows of it.
struct Spectrum {
  I32 first = 0, last = 0, nfft = 0;
  I32 sampleFirst = 0, sampleLast = 0;  // 1-based samples of the range
  float mean = 0, lmin = 0, lmax = 0, fmin = 0, meanAmplitude = 0, sigma = 0, amax = 0;
  bool flat = false;
  py::array_t<float> frequency, amplitude;    // the used bins, cycles per orbit
  py::array_t<float> smoothTime, smoothed;    // the running mean of groups of 5 samples
  py::list peaks;
};

py::dict systemConstants(double m1, double m2, double h, double alpha, double beta) {
  if (!(m1 > 0)) raiseValueError("m1 must be greater than 0");
  if (!(m2 > 0)) raiseValueError("m2 must be greater than 0");
  if (!(h > 0)) raiseValueError("h must be greater than 0");
  if (!(alpha >= 0)) raiseValueError("alpha must not be negative");
  if (!(beta >= 0)) raiseValueError("beta must not be negative");
  auto S = std::make_unique<Sim>();
  S->M1 = static_cast<float>(m1);
  S->M2 = static_cast<float>(m2);
  S->HINJ = static_cast<float>(h);
  S->ALPHA = static_cast<float>(alpha);
  S->BETA = static_cast<float>(beta);
  SETSYS(*S);
  py::dict d;
  for (const auto& [name, v] : velmora::systemConstants(*S)) d[name] = v;
  return d;
}

std::shared_ptr<LightCurve> lightCurveOf(py::handle lc) {
  if (py::isinstance<LightCurve>(lc)) return lc.cast<std::shared_ptr<LightCurve>>();
  return py::module_::import("velmora._velmora").attr("read_lightcurve")(lc).cast<std::shared_ptr<LightCurve>>();
}

// The range as the plot dialog takes it: each orbit typed into its box must stand uncorrected.
void chooseRange(LCRangeRules& r, const LightCurve& lc, const py::object& first, const py::object& last) {
  const auto orbit = [](const py::object& v) { return v.is_none() ? std::nullopt : std::optional(v.cast<long long>()); };
  const auto f = orbit(first), l = orbit(last);
  if (const std::string p = r.typeRange(f, l, lc.file, ""); !p.empty()) raiseValueError(p);
  if (f && l && *l < *f) raiseValueError("last (" + std::to_string(*l) + ") is below first (" + std::to_string(*f) + ")");
}

// The range of orbits first..last of a light curve, as the plot dialog takes it.
LCRangeRules checkedRange(const LightCurve& lc, const py::object& first, const py::object& last) {
  LCRangeRules rules(lc.samples());
  if (!rules.plottable())
    raiseValueError(lc.file + " holds " + std::to_string(lc.samples()) + " samples, less than one orbit (" +
                    std::to_string(LC_SAMPLES_PER_ORBIT) + "): there is nothing to analyse");
  chooseRange(rules, lc, first, last);
  return rules;
}

Spectrum spectrum(py::handle lcArg, const py::object& first, const py::object& last) {
  const auto lc = lightCurveOf(lcArg);
  const LCRangeRules rules = checkedRange(*lc, first, last);
  LCAnalysis a;
  try {
    a = analyseLightCurve(*lc, rules.LCFIRST, rules.LCLAST);
  } catch (const LightCurveAnalysisError& e) {
    raiseValueError(e.what());
  }
  Spectrum s;
  s.first = a.first, s.last = a.last, s.nfft = a.NFFT, s.sampleFirst = a.i0, s.sampleLast = a.i1;
  s.mean = a.mean, s.lmin = a.LMIN, s.lmax = a.LMAX, s.fmin = a.fmin, s.meanAmplitude = a.M, s.sigma = a.sigma;
  s.amax = a.AMAX, s.flat = a.flat;
  const auto bins = static_cast<py::ssize_t>(a.kLast >= a.kFirst ? a.usedBins() : 0);
  s.frequency = py::array_t<float>(bins);
  s.amplitude = py::array_t<float>(bins);
  auto f = s.frequency.mutable_unchecked<1>();
  auto A = s.amplitude.mutable_unchecked<1>();
  for (py::ssize_t j = 0; j < bins; ++j) {
    f(j) = a.freq(a.kFirst + static_cast<I32>(j));
    A(j) = a.A(a.kFirst + static_cast<I32>(j));
  }
  const auto groups = static_cast<py::ssize_t>(a.C.size());
  s.smoothed = py::array_t<float>(groups);
  s.smoothTime = py::array_t<float>(groups);
  auto c = s.smoothed.mutable_unchecked<1>();
  auto t = s.smoothTime.mutable_unchecked<1>();
  for (py::ssize_t g = 0; g < groups; ++g) {
    c(g) = a.C[static_cast<std::size_t>(g)];
    // The middle sample of the group's five.
    t(g) = lc->T[static_cast<std::size_t>(a.i0 - 1 + 5 * g + 2)];
  }
  for (const LCPeak& p : a.peaks) {
    py::dict d;
    d["bin"] = p.bin;
    d["frequency"] = p.freq;
    d["amplitude"] = p.amplitude;
    s.peaks.append(d);
  }
  return s;
}

// A range of a light curve as the superhump search sees it: the relative light curve, the
// trend and the orbital signal removed from it, and what is left.
struct Prewhitened {
  I32 first = 0, last = 0;
  double mean = 0, offset = 0, trendRms = 0;
  py::array_t<double> t, y, trend, orbital, residual;
  py::array_t<double> orbitalAmplitude, orbitalPhase;
};

py::array_t<double> doubles(const std::vector<double>& v) {
  py::array_t<double> a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

Prewhitened prewhitened(py::handle lcArg, const py::object& first, const py::object& last) {
  const auto lc = lightCurveOf(lcArg);
  const LCRangeRules rules = checkedRange(*lc, first, last);
  PreparedSeries p;
  try {
    p = prepareSeries(*lc, rules.LCFIRST, rules.LCLAST);
  } catch (const LightCurveAnalysisError& e) {
    raiseValueError(e.what());
  }
  Prewhitened w;
  w.first = rules.LCFIRST, w.last = rules.LCLAST;
  w.mean = p.mean, w.offset = p.offset, w.trendRms = p.trendRms;
  w.t = doubles(p.t), w.y = doubles(p.y), w.trend = doubles(p.trend), w.orbital = doubles(p.orbital);
  w.residual = doubles(p.residual);
  w.orbitalAmplitude = doubles(p.orbitalAmplitude), w.orbitalPhase = doubles(p.orbitalPhase);
  return w;
}

// Watches an analysis that runs with the GIL released: between growth windows and recorded
// frames it takes the GIL back to let Python handle its signals (Ctrl-C) and to call the
// progress callable with (stage, done, total). An exception from either stops the analysis by
// unwinding it (Stopped), and is raised once the GIL is held again.
class AnalysisWatch {
 public:
  struct Stopped {};

  explicit AnalysisWatch(py::object progress) : progress_(std::move(progress)) {}
  AnalysisWatch(const AnalysisWatch&) = delete;
  AnalysisWatch& operator=(const AnalysisWatch&) = delete;
  ~AnalysisWatch() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(trace_);
  }

  void operator()(const AnalysisProgress& p) {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() < 0) stop();
    if (progress_.is_none()) return;
    PyObject* r = PyObject_CallFunction(progress_.ptr(), "sLL", p.stage.c_str(), p.done, p.total);
    if (r == nullptr) stop();
    Py_DECREF(r);
  }

  // With the GIL held: raises the exception that stopped the analysis, if one did.
  void raisePending() {
    if (type_ == nullptr) return;
    PyErr_Restore(type_, value_, trace_);
    type_ = value_ = trace_ = nullptr;
    throw py::error_already_set();
  }

 private:
  [[noreturn]] void stop() {
    PyErr_Fetch(&type_, &value_, &trace_);
    throw Stopped{};
  }

  py::object progress_;
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* trace_ = nullptr;
};

// A whole number given to `option` (None: not given); anything else is a TypeError.
std::optional<long long> wholeNumber(const py::object& value, const char* option) {
  if (value.is_none()) return std::nullopt;
  if (py::isinstance<py::bool_>(value) || !PyIndex_Check(value.ptr()))
    throw py::type_error(std::string(option) + " takes a whole number (got " + py::repr(value).cast<std::string>() +
                         ")");
  return py::int_(value).cast<long long>();
}

// A real number given to `option` (None: not given).
std::optional<double> realNumber(const py::object& value, const char* option) {
  if (value.is_none()) return std::nullopt;
  if (py::isinstance<py::bool_>(value) || !PyNumber_Check(value.ptr()))
    throw py::type_error(std::string(option) + " takes a number (got " + py::repr(value).cast<std::string>() + ")");
  return py::float_(value).cast<double>();
}

// The light-curve orbits of an analysis, checked as the spectrum's range is.
void chooseAnalysisRange(const RunFiles& files, const std::optional<long long>& first,
                         const std::optional<long long>& last, AnalysisOptions& opt) {
  if (!first && !last) return;
  if (!files.hasLightCurve)
    raiseValueError("first and last choose orbits of " + files.lightCurve + ", which is missing");
  LightCurve lc;
  try {
    lc = readLightCurve(files.lightCurve);
  } catch (const LightCurveError& e) {
    raiseFileError(e.what());
  }
  LCRangeRules rules(lc.samples());
  if (!rules.plottable())
    raiseValueError(files.lightCurve + " holds less than one orbit: first and last cannot be used");
  chooseRange(rules, lc, first ? py::object(py::int_(*first)) : py::object(py::none()),
              last ? py::object(py::int_(*last)) : py::object(py::none()));
  opt.first = rules.LCFIRST;
  opt.last = rules.LCLAST;
}

// The callable that receives (stage, done, total): the one given, a printer for True, or none.
py::object analysisProgress(py::object progress) {
  if (progress.is_none() || (py::isinstance<py::bool_>(progress) && !progress.cast<bool>())) return py::none();
  if (py::isinstance<py::bool_>(progress)) return py::module_::import("velmora._progress").attr("StagePrinter")();
  if (!PyCallable_Check(progress.ptr()))
    throw py::type_error("progress takes True, False, None or a callable receiving (stage, done, total)");
  return progress;
}

// The run's analysis as the JSON text velmora-cli analyse --json prints; the options and errors
// as the command's, spelt for Python.
std::string analyseRunJson(py::handle name, const py::object& firstArg, const py::object& lastArg,
                           const py::object& windowArg, const py::object& qArg, const py::object& precFromArg,
                           const py::object& precToArg, py::object progress) {
  const std::string base = pathText(name);
  const auto first = wholeNumber(firstArg, "first"), last = wholeNumber(lastArg, "last");
  const long long window = wholeNumber(windowArg, "window").value_or(20);
  const auto q = realNumber(qArg, "q"), precFrom = realNumber(precFromArg, "prec_from");
  const auto precTo = realNumber(precToArg, "prec_to");
  if (window < 1 || window > 1000000)
    raiseValueError("window must be between 1 and 1000000 orbits (got " + std::to_string(window) + ")");
  if (q && !(*q > 0.0 && *q <= 100.0))
    raiseValueError("q must be greater than 0 and at most 100 (got " + std::to_string(*q) + ")");
  const RunFiles files = findRunFiles(base);
  if (!files.hasLightCurve && !files.hasRecording && !files.hasRestart) {
    PyErr_SetString(PyExc_FileNotFoundError, ("no file of run " + files.base + ": none of " + files.lightCurve + ", " +
                                              files.recording + " and " + files.restart + " exists")
                                                 .c_str());
    throw py::error_already_set();
  }
  AnalysisOptions opt;
  opt.window = static_cast<I32>(window);
  opt.q = q;
  opt.precessionFrom = precFrom;
  opt.precessionTo = precTo;
  chooseAnalysisRange(files, first, last, opt);
  const py::object callback = analysisProgress(std::move(progress));
  AnalysisWatch watch(callback);
  opt.progress = [&watch](const AnalysisProgress& p) { watch(p); };

  std::string json, fileError, valueError;
  {
    py::gil_scoped_release release;
    try {
      json = analysisJson(analyseRun(base, opt));
    } catch (const AnalysisWatch::Stopped&) {
    } catch (const FileError& e) {
      fileError = e.what();
    } catch (const LightCurveError& e) {
      fileError = e.what();
    } catch (const AnalysisError& e) {
      valueError = e.what();  // an option the files cannot take
    } catch (const LightCurveAnalysisError& e) {
      valueError = e.what();  // a light curve whose spectrum is undefined
    }
  }
  if (!callback.is_none() && py::hasattr(callback, "close")) callback.attr("close")();
  watch.raisePending();
  if (!fileError.empty()) raiseFileError(fileError);
  if (!valueError.empty()) raiseValueError(valueError);
  return json;
}

}  // namespace

void bindAnalysis(py::module_& m) {
  m.def("system", &systemConstants, py::arg("m1"), py::arg("m2"), py::arg("h") = 0.025, py::arg("alpha") = 1.0,
        py::arg("beta") = 1.0,
        "The derived constants of a pair of stars (masses in solar masses), by the names of velmora-cli system "
        "--json, in its order.");

  py::class_<Spectrum>(m, "Spectrum", "The amplitude spectrum of a range of orbits of a light curve and its peaks.")
      .def_readonly("first", &Spectrum::first, "First orbit of the range")
      .def_readonly("last", &Spectrum::last, "Last orbit of the range")
      .def_readonly("nfft", &Spectrum::nfft, "Length of the transform (a power of two)")
      .def_readonly("sample_first", &Spectrum::sampleFirst, "First sample of the range, from 1")
      .def_readonly("sample_last", &Spectrum::sampleLast, "Last sample of the range")
      .def_readonly("mean", &Spectrum::mean, "Mean luminosity of the range")
      .def_readonly("lmin", &Spectrum::lmin, "Lowest luminosity of the range")
      .def_readonly("lmax", &Spectrum::lmax, "Highest luminosity of the range")
      .def_readonly("flat", &Spectrum::flat, "True for a constant light curve (a flat spectrum)")
      .def_readonly("fmin", &Spectrum::fmin, "Lowest frequency used, cycles per orbit")
      .def_readonly("frequency", &Spectrum::frequency, "Frequency of every used bin, cycles per orbit")
      .def_readonly("amplitude", &Spectrum::amplitude, "Amplitude of every used bin (relative to the mean)")
      .def_readonly("mean_amplitude", &Spectrum::meanAmplitude, "Mean amplitude of the used bins")
      .def_readonly("sigma", &Spectrum::sigma, "Spread of the amplitudes of the used bins")
      .def_property_readonly(
          "threshold", [](const Spectrum& s) { return s.meanAmplitude + 5.0f * s.sigma; },
          "Amplitude a peak must reach: the mean amplitude plus 5 sigma")
      .def_readonly("amax", &Spectrum::amax, "Largest amplitude of the peak scan")
      .def_readonly("peaks", &Spectrum::peaks,
                    "Peaks 5 sigma above the mean amplitude up to 5 cycles per orbit: dicts of bin, frequency and "
                    "amplitude (as in fftpeaks.txt)")
      .def_readonly("smoothed_time", &Spectrum::smoothTime, "Time (orbits) of each smoothed value")
      .def_readonly("smoothed", &Spectrum::smoothed, "Running mean of groups of 5 samples, as the plot draws it")
      .def("__repr__", [](const Spectrum& s) {
        return "<velmora.Spectrum orbits " + std::to_string(s.first) + " to " + std::to_string(s.last) + ", " +
               std::to_string(py::len(s.peaks)) + " peaks>";
      });

  m.def("spectrum", &spectrum, py::arg("lc"), py::arg("first") = py::none(), py::arg("last") = py::none(),
        "The amplitude spectrum of orbits first..last (default: every whole orbit) of a light curve (a "
        "velmora.LightCurve or a path), its noise level and its peaks, as velmora-cli lc computes them; "
        "writes no file.");

  py::class_<Prewhitened>(m, "Prewhitened",
                          "A range of a light curve as the superhump search sees it (velmora.prewhitened): "
                          "y = trend + orbital + offset + residual at every sample.")
      .def_readonly("first", &Prewhitened::first, "First orbit of the range")
      .def_readonly("last", &Prewhitened::last, "Last orbit of the range")
      .def_readonly("mean", &Prewhitened::mean, "Mean luminosity of the range")
      .def_readonly("t", &Prewhitened::t, "Time of every sample, orbits")
      .def_readonly("y", &Prewhitened::y, "The relative light curve (L - mean) / mean")
      .def_readonly("trend", &Prewhitened::trend,
                    "The trend removed: the least-squares cubic spline with knots every 5 orbits")
      .def_readonly("orbital", &Prewhitened::orbital,
                    "The orbital signal removed: harmonics 1, 2 and 3 cycles per orbit, scaled by the local level")
      .def_readonly("offset", &Prewhitened::offset, "The constant of the harmonic fit")
      .def_readonly("residual", &Prewhitened::residual,
                    "What is left, detrended and prewhitened: the series the spectrum and the sine fit see")
      .def_readonly("orbital_amplitude", &Prewhitened::orbitalAmplitude,
                    "Semi-amplitude of each removed harmonic n = 1, 2, 3, a fraction of the local mean light")
      .def_readonly("orbital_phase", &Prewhitened::orbitalPhase,
                    "Phase of each removed harmonic's maximum, radians: cos(2 pi n t - phase)")
      .def_readonly("trend_rms", &Prewhitened::trendRms, "Rms of the removed trend about its mean")
      .def("__repr__", [](const Prewhitened& w) {
        return "<velmora.Prewhitened orbits " + std::to_string(w.first) + " to " + std::to_string(w.last) + ">";
      });

  m.def("prewhitened", &prewhitened, py::arg("lc"), py::arg("first") = py::none(), py::arg("last") = py::none(),
        "Orbits first..last (default: every whole orbit) of a light curve (a velmora.LightCurve or a path) as the "
        "superhump search of velmora.analyse sees them: the trend and the orbital harmonics removed, as a "
        "velmora.Prewhitened holding the relative light curve, what was removed and the residual, numpy arrays "
        "with a value per sample. The range is checked as velmora.spectrum checks it; velmora.analyse's "
        "[\"superhump\"][\"first_orbit\"] and [\"last_orbit\"] give the range it searched. Writes no file.");

  m.def("_analyse_json", &analyseRunJson, py::arg("name"), py::kw_only(), py::arg("first") = py::none(),
        py::arg("last") = py::none(), py::arg("window") = 20, py::arg("q") = py::none(),
        py::arg("prec_from") = py::none(), py::arg("prec_to") = py::none(), py::arg("progress") = py::none(),
        "The JSON text velmora-cli analyse --json prints for the run NAME (velmora.analyse reads it).");
}

}  // namespace velmora::python
