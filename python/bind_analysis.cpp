// The analysis from Python: the derived constants of a pair of stars and the light-curve
// spectrum with its peaks, as velmora-cli system and lc compute them.
#include <memory>
#include <string>

#include "analysis/lc_analysis.h"
#include "core/core.h"
#include "core/geometry.h"
#include "files/lightcurve.h"
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
  const std::string valid = " must be between 1 and " + std::to_string(r.ORBREC) + " (" + lc.file + " holds " +
                            std::to_string(r.ORBREC) + " whole orbit" + (r.ORBREC == 1 ? "" : "s") + ")";
  std::string firstText = LCRangeRules::boxText(r.LCFIRST), lastText = LCRangeRules::boxText(r.LCLAST);
  if (!first.is_none()) {
    firstText = std::to_string(first.cast<long long>());
    if (r.firstChanged(firstText)) raiseValueError("first" + valid);
  }
  if (!last.is_none()) {
    lastText = std::to_string(last.cast<long long>());
    if (r.lastChanged(lastText)) raiseValueError("last" + valid);
  }
  if (!first.is_none() && !last.is_none() && last.cast<long long>() < first.cast<long long>())
    raiseValueError("last (" + lastText + ") is below first (" + firstText + ")");
  r.accept(firstText, lastText);
}

Spectrum spectrum(py::handle lcArg, const py::object& first, const py::object& last) {
  const auto lc = lightCurveOf(lcArg);
  LCRangeRules rules(lc->samples());
  if (!rules.plottable())
    raiseValueError(lc->file + " holds " + std::to_string(lc->samples()) + " samples, less than one orbit (" +
                    std::to_string(LC_SAMPLES_PER_ORBIT) + "): there is nothing to analyse");
  chooseRange(rules, *lc, first, last);
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

}  // namespace

void bindAnalysis(py::module_& m) {
  m.def("system", &systemConstants, py::arg("m1"), py::arg("m2"), py::arg("h") = 0.025, py::arg("alpha") = 1.0,
        py::arg("beta") = 1.0,
        "The derived constants of a pair of stars (masses in solar masses), by the names of velmora-cli system "
        "--json, in its order.");

  py::class_<Spectrum>(m, "Spectrum", "The amplitude spectrum of a range of orbits of a light curve and its peaks.")
      .def_readonly("first", &Spectrum::first, "First orbit of the range")
      .def_readonly("last", &Spectrum::last, "Last orbit of the range")
      .def_readonly("nfft", &Spectrum::nfft)
      .def_readonly("sample_first", &Spectrum::sampleFirst, "First sample of the range, from 1")
      .def_readonly("sample_last", &Spectrum::sampleLast, "Last sample of the range")
      .def_readonly("mean", &Spectrum::mean, "Mean luminosity of the range")
      .def_readonly("lmin", &Spectrum::lmin)
      .def_readonly("lmax", &Spectrum::lmax)
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
}

}  // namespace velmora::python
