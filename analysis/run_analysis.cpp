// A run's analysis in one call: its files found by name, the mass ratio from the best file
// that gives it, each file measured, and the JSON object and CSV tables of the result.
#include "analysis/run_analysis.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <tuple>

#include <nlohmann/json.hpp>

#include "files/lightcurve.h"
#include "files/recording.h"
#include "files/restart_file.h"

namespace velmora {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string numberText(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

using Json = nlohmann::ordered_json;

// A number of the JSON object: null when it does not exist (NaN, infinite).
Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// The JSON object's text: objects one key a line indented by two blanks a level, arrays on one
// line, numbers to nine significant digits (%.9g, enough for the single-precision values they
// come from), whole numbers as they are. The values and the escaping of the texts are
// nlohmann-json's; the layout is the one the analysis has always been written in, which its
// readers (and the tests' kept text) may rely on.
void layout(const Json& v, int depth, std::string& out) {
  switch (v.type()) {
    case Json::value_t::object: {
      out += "{";
      bool first = true;
      for (const auto& [key, value] : v.items()) {
        out += first ? "\n" : ",\n";
        first = false;
        out += std::string(static_cast<std::size_t>(2 * (depth + 1)), ' ');
        layout(Json(key), depth + 1, out);
        out += ": ";
        layout(value, depth + 1, out);
      }
      out += "\n" + std::string(static_cast<std::size_t>(2 * depth), ' ') + "}";
      return;
    }
    case Json::value_t::array: {
      out += "[";
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (i) out += ", ";
        layout(v[i], depth, out);
      }
      out += "]";
      return;
    }
    case Json::value_t::number_float: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.9g", v.get<double>());
      out += buf;
      return;
    }
    default:  // null, true, false, whole numbers, texts (a byte that is not UTF-8 becomes U+FFFD)
      out += v.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

// A CSV field: a number, or nothing for one that does not exist.
std::string field(double v) { return std::isfinite(v) ? numberText(v) : ""; }

// A column of a table of the analysis: its name and each row's value, written as a JSON array
// under the name and as a CSV column, so that both carry the same columns in the same order.
template <class Row>
struct TableColumn {
  enum Kind { Number, Whole, Flag };
  const char* name;
  double (*value)(const Row&);
  Kind kind = Number;

  Json json(const Row& r) const {
    const double v = value(r);
    if (kind == Whole) return static_cast<long long>(v);
    if (kind == Flag) return v != 0;
    return number(v);
  }
  std::string csv(const Row& r) const {
    const double v = value(r);
    if (kind == Whole) return std::to_string(static_cast<long long>(v));
    if (kind == Flag) return v != 0 ? "1" : "0";
    return field(v);
  }
};

template <class Row>
using Table = std::vector<TableColumn<Row>>;

const Table<GrowthWindow>& windowColumns() {
  using C = TableColumn<GrowthWindow>;
  static const Table<GrowthWindow> t = {
      {"first_orbit", [](const GrowthWindow& x) { return double(x.first); }, C::Whole},
      {"last_orbit", [](const GrowthWindow& x) { return double(x.last); }, C::Whole},
      {"t_start", [](const GrowthWindow& x) { return x.tStart; }},
      {"t_end", [](const GrowthWindow& x) { return x.tEnd; }},
      {"detected", [](const GrowthWindow& x) { return x.detected ? 1.0 : 0.0; }, C::Flag},
      {"frequency", [](const GrowthWindow& x) { return x.frequency; }},
      {"frequency_error", [](const GrowthWindow& x) { return x.frequencyError; }},
      {"epsilon", [](const GrowthWindow& x) { return x.epsilon; }},
      {"epsilon_error", [](const GrowthWindow& x) { return x.epsilonError; }},
      {"amplitude", [](const GrowthWindow& x) { return x.amplitude; }},
      {"upper_limit", [](const GrowthWindow& x) { return x.upperLimit; }},
      {"significance", [](const GrowthWindow& x) { return x.significance; }},
      {"orbital_amplitude", [](const GrowthWindow& x) { return x.orbitalAmplitude; }},
  };
  return t;
}

const Table<DiskSnapshot>& frameColumns() {
  using C = TableColumn<DiskSnapshot>;
  static const Table<DiskSnapshot> t = {
      {"time", [](const DiskSnapshot& d) { return d.time; }},
      {"particles", [](const DiskSnapshot& d) { return double(d.particles); }, C::Whole},
      {"in_lobe", [](const DiskSnapshot& d) { return double(d.inLobe); }, C::Whole},
      {"r10", [](const DiskSnapshot& d) { return d.r10; }},
      {"r50", [](const DiskSnapshot& d) { return d.r50; }},
      {"r90", [](const DiskSnapshot& d) { return d.r90; }},
      {"beyond_r31", [](const DiskSnapshot& d) { return d.beyondR31; }},
      {"m1", [](const DiskSnapshot& d) { return d.m1; }},
      {"m2", [](const DiskSnapshot& d) { return d.m2; }},
      {"m1_phase_deg", [](const DiskSnapshot& d) { return d.m1PhaseDeg; }},
  };
  return t;
}

const Table<EccentricityBin>& binColumns() {
  using C = TableColumn<EccentricityBin>;
  static const Table<EccentricityBin> t = {
      {"r_in", [](const EccentricityBin& x) { return x.rIn; }},
      {"r_out", [](const EccentricityBin& x) { return x.rOut; }},
      {"count", [](const EccentricityBin& x) { return double(x.count); }, C::Whole},
      {"mean_e", [](const EccentricityBin& x) { return x.meanE; }},
      {"coherent_e", [](const EccentricityBin& x) { return x.coherentE; }},
      {"direction_deg", [](const EccentricityBin& x) { return x.directionDeg; }},
  };
  return t;
}

// The table as an object of columns, each a JSON array of the rows' values.
template <class Row>
Json tableJson(const std::vector<Row>& rows, const Table<Row>& columns) {
  Json t = Json::object();
  for (const TableColumn<Row>& c : columns) {
    Json& col = t[c.name] = Json::array();
    for (const Row& r : rows) col.push_back(c.json(r));
  }
  return t;
}

// A column of values made by f, as a JSON array.
template <class T, class F>
Json column(const std::vector<T>& values, F f) {
  Json a = Json::array();
  for (const T& v : values) a.push_back(f(v));
  return a;
}

// The table as CSV: a header line, then a line a row (CRLF line ends).
template <class Row>
std::string tableCsv(const std::vector<Row>& rows, const Table<Row>& columns) {
  std::string s;
  for (std::size_t k = 0; k < columns.size(); ++k) s += (k ? "," : "") + std::string(columns[k].name);
  s += "\r\n";
  for (const Row& r : rows) {
    for (std::size_t k = 0; k < columns.size(); ++k) s += (k ? "," : "") + columns[k].csv(r);
    s += "\r\n";
  }
  return s;
}

void lightCurvePart(RunAnalysis& a, const AnalysisOptions& o) {
  const LightCurve lc = readLightCurve(a.files.lightCurve);
  a.lightCurveSamples = lc.samples();
  a.lightCurveOrbits = lc.orbits();
  if (lc.shorterThanAnnounced())
    a.notes.push_back(lc.file + " holds " + std::to_string(lc.samples()) + " of the " + std::to_string(lc.announced) +
                      " samples it announces (the run was stopped)");
  if (lc.orbits() < 1) {
    a.notes.push_back(lc.file + " holds less than one orbit (200 samples): no superhump search");
    return;
  }
  const I32 first = o.first.value_or(1), last = o.last.value_or(lc.orbits());
  if (first < 1 || last < first || last > lc.orbits())
    throw AnalysisError("orbits " + std::to_string(first) + " to " + std::to_string(last) + " are not a range of " +
                        lc.file + ": it holds orbits 1 to " + std::to_string(lc.orbits()));
  a.growth = superhumpGrowth(lc, first, last, o.window, [&o](long long done, long long total) {
    if (o.progress) o.progress({"light curve windows", done, total});
  });
  // A range given is searched as given; otherwise from the first window that detects the superhump.
  const bool given = o.first || o.last;
  const I32 start = given ? first : defaultSearchStart(a.growth, first);
  a.superhumpRange = given ? "given" : start > first ? "from_first_detection" : "all";
  a.superhump = findSuperhump(lc, start, last);
  if (a.superhumpRange == "from_first_detection")
    a.notes.push_back("the superhump is searched in orbits " + std::to_string(start) + " to " + std::to_string(last) +
                      ", from the first growth window that detects it: the orbits before it hide it");
  if (a.growth.windows.empty())
    a.notes.push_back("orbits " + std::to_string(first) + " to " + std::to_string(last) + " are fewer than one window of " +
                      std::to_string(a.growth.window) + " orbits: no growth table");
  a.hasSuperhump = true;
  a.qFromEpsilon = a.qFromEpsilonError = NaN;
  if (a.superhump.detected && a.superhump.epsilon > 0.0) {
    a.qFromEpsilon = qFromRelation(a.superhump.epsilon);
    a.qFromEpsilonError = qFromRelationSlope(a.qFromEpsilon) * a.superhump.epsilonError;
  }
}

void recordingPart(RunAnalysis& a, RecordingReader& reader, RecordedFrame& f, bool haveFrame,
                   const AnalysisOptions& o) {
  a.NORBTOT = reader.NORBTOT();
  a.FRAMESTEP = reader.FRAMESTEP();
  a.RECSTART = reader.RECSTART();
  a.hasDisk = true;
  if (!a.hasReference) {
    a.notes.push_back(a.files.recording + ": q is unknown, so the disk cannot be told from the rest of the gas");
    a.precession = fitPrecession({}, 0.0, 0.0);
    a.meanR10 = a.meanR50 = a.meanR90 = a.meanBeyondR31 = a.meanM1 = a.meanM2 = NaN;
    return;
  }
  // The file does not hold the orbit it starts at: the run's record does.
  const double start = a.provenance && a.provenance->recordingStart >= 0 ? a.provenance->recordingStart
                                                                          : a.RECSTART - 1.0;
  std::error_code ec;
  const auto size = static_cast<long long>(std::filesystem::file_size(a.files.recording, ec));
  I32 orbit = 0, lastPhase = 0;
  while (haveFrame) {
    if (reader.frames() > 1 && f.IPHASE <= lastPhase) ++orbit;
    lastPhase = f.IPHASE;
    const double time = start + orbit + f.IPHASE / 200.0;
    a.frames.push_back(measureDisk(a.reference, f.X, f.Y, f.Z, f.XPRIM, f.YPRIM, time));
    if (o.progress) o.progress({"recording", static_cast<long long>(reader.offset()), ec ? 0 : size});
    haveFrame = reader.next(f);
  }
  if (a.frames.empty()) {
    a.notes.push_back(a.files.recording + " holds no frame");
  }
  const double from = o.precessionFrom.value_or(-std::numeric_limits<double>::infinity());
  const double to = o.precessionTo.value_or(std::numeric_limits<double>::infinity());
  a.precession = fitPrecession(a.frames, from, to);
  double n = 0, r10 = 0, r50 = 0, r90 = 0, beyond = 0, m1 = 0, m2 = 0;
  for (const DiskSnapshot& d : a.frames) {
    if (d.time < from || d.time > to || d.inLobe == 0) continue;
    ++n, r10 += d.r10, r50 += d.r50, r90 += d.r90, beyond += d.beyondR31, m1 += d.m1, m2 += d.m2;
  }
  a.meanR10 = r10 / n, a.meanR50 = r50 / n, a.meanR90 = r90 / n;
  a.meanBeyondR31 = beyond / n, a.meanM1 = m1 / n, a.meanM2 = m2 / n;
}

std::string qText(double q) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", q);
  return buf;
}

}  // namespace

RunFiles findRunFiles(const std::string& nameOrPrefix) {
  RunFiles f;
  f.base = nameOrPrefix;
  for (const char* tail : {"_lc.vlm", "_rs.vlm", ".vlm"})
    if (endsWith(f.base, tail)) {
      f.base.resize(f.base.size() - std::string(tail).size());
      break;
    }
  f.lightCurve = f.base + "_lc.vlm";
  f.recording = f.base + ".vlm";
  f.restart = f.base + "_rs.vlm";
  f.hasLightCurve = isFile(f.lightCurve);
  f.hasRecording = isFile(f.recording);
  f.hasRestart = isFile(f.restart);
  return f;
}

RunAnalysis analyseRun(const std::string& nameOrPrefix, const AnalysisOptions& o) {
  RunAnalysis a;
  a.files = findRunFiles(nameOrPrefix);
  const RunFiles& F = a.files;
  if (F.base.empty()) throw AnalysisError("no run named: give NAME, the base name of the run's files");
  if (!F.hasLightCurve && !F.hasRecording && !F.hasRestart)
    throw AnalysisError("no file of run " + F.base + ": none of " + F.lightCurve + ", " + F.recording + " and " +
                        F.restart + " exists");
  if (o.window < 1) throw AnalysisError("the window must be at least 1 orbit (got " + std::to_string(o.window) + ")");
  if (o.q && !(*o.q > 0.0 && std::isfinite(*o.q)))
    throw AnalysisError("q must be a positive number (got " + std::to_string(*o.q) + ")");
  if (!F.hasLightCurve) a.notes.push_back(F.lightCurve + " is missing: no superhump search");
  if (!F.hasRecording) a.notes.push_back(F.recording + " is missing: no disk radii, modes or precession");
  if (!F.hasRestart) a.notes.push_back(F.restart + " is missing: no orbital eccentricities");
  a.provenance = readProvenance(F.base);
  if (!a.provenance && F.hasRecording)
    a.notes.push_back(provenanceFileName(F.base) + " is missing: the recording's times count from the start of the run "
                      "that wrote it (a continued run's from 0)");

  // The mass ratio: the restart file's masses, else the stars' positions in the recording,
  // else the option.
  RestartFile R;
  if (F.hasRestart) {
    R = readRestartFile(F.restart);
    a.q = static_cast<double>(R.M2) / static_cast<double>(R.M1);
    a.qSource = "restart";
  }
  std::unique_ptr<RecordingReader> reader;
  RecordedFrame frame;
  bool haveFrame = false;
  a.qRecording = NaN;
  if (F.hasRecording) {
    reader = std::make_unique<RecordingReader>(F.recording);
    haveFrame = reader->next(frame);
    if (haveFrame) a.qRecording = qFromStars(frame.XPRIM, frame.YPRIM, frame.XSEC, frame.YSEC);
    if (a.qSource.empty() && std::isfinite(a.qRecording) && a.qRecording > 0.0) {
      a.q = a.qRecording;
      a.qSource = "recording";
    } else if (std::isfinite(a.qRecording) && std::fabs(a.qRecording - a.q) > 1e-3 * a.q) {
      a.notes.push_back("the recording's stars give q " + qText(a.qRecording) + ", the restart file q " + qText(a.q) +
                        ": the files may be of different runs");
    }
  }
  if (o.q) {
    if (a.qSource.empty()) {
      a.q = *o.q;
      a.qSource = "option";
    } else if (std::fabs(*o.q - a.q) > 1e-6) {
      a.notes.push_back("--q " + qText(*o.q) + " is not used: the " + a.qSource + " gives q " + qText(a.q));
    }
  }
  if (a.qSource.empty()) {
    a.q = NaN;
    a.notes.push_back("q is unknown (no restart file or recording): give --q for the reference values");
  } else {
    a.reference = binaryReference(a.q);
    a.hasReference = true;
  }

  if (F.hasLightCurve) lightCurvePart(a, o);
  if (F.hasRecording) recordingPart(a, *reader, frame, haveFrame, o);
  if (F.hasRestart) {
    a.eccentricity = restartEccentricity(R, a.reference);
    a.restartOrbit = R.IORBIT;
    a.hasEccentricity = true;
  }
  return a;
}

std::string analysisJson(const RunAnalysis& a) {
  Json j = Json::object();
  j["format"] = "velmora-analysis 1";
  j["name"] = a.files.base;
  Json& files = j["files"] = Json::object();
  for (const auto& [key, path, present] : {std::tuple{"light_curve", &a.files.lightCurve, a.files.hasLightCurve},
                                           std::tuple{"recording", &a.files.recording, a.files.hasRecording},
                                           std::tuple{"restart", &a.files.restart, a.files.hasRestart}})
    files[key] = Json{{"path", *path}, {"present", present}};
  j["notes"] = a.notes;
  j["q"] = number(a.q);
  j["q_source"] = a.qSource.empty() ? Json(nullptr) : Json(a.qSource);

  if (a.hasReference) {
    const BinaryReference& r = a.reference;
    j["reference"] = Json{{"r_3to1", number(r.r31)},
                          {"r_circ", number(r.rCirc)},
                          {"roche_lobe_primary", number(r.rocheLobe)},
                          {"l1_distance", number(r.l1Distance)},
                          {"epsilon_relation", number(r.epsilonRelation)}};
  } else {
    j["reference"] = nullptr;
  }

  if (a.hasSuperhump) {
    const SuperhumpResult& s = a.superhump;
    const auto det = [&s](double v) { return number(s.detected ? v : NaN); };
    Json& o = j["superhump"] = Json::object();
    o["range_rule"] = a.superhumpRange;
    o["first_orbit"] = s.first;
    o["last_orbit"] = s.last;
    o["orbits"] = s.orbits;
    o["t_start"] = number(s.tStart);
    o["t_end"] = number(s.tEnd);
    o["nfft"] = s.NFFT;
    o["frequency_step"] = number(s.frequencyStep);
    o["mean_amplitude"] = number(s.meanAmplitude);
    o["sigma"] = number(s.sigma);
    o["band_low"] = number(SUPERHUMP_BAND_LOW);
    o["band_high"] = number(SUPERHUMP_BAND_HIGH);
    o["detected"] = s.detected;
    o["frequency"] = det(s.frequency);
    o["frequency_error"] = det(s.frequencyError);
    o["epsilon"] = det(s.epsilon);
    o["epsilon_error"] = det(s.epsilonError);
    o["period"] = det(s.period);
    o["amplitude"] = det(s.amplitude);
    o["spectrum_amplitude"] = det(s.spectrumAmplitude);
    o["significance"] = det(s.significance);
    o["fit_converged"] = s.detected ? Json(s.fitConverged) : Json(nullptr);
    o["band_max_frequency"] = number(s.bandMaxFrequency);
    o["band_max_spectrum_amplitude"] = number(s.bandMaxSpectrumAmplitude);
    o["band_max_significance"] = number(s.bandMaxSignificance);
    o["upper_limit"] = number(s.upperLimit);
    o["q_from_epsilon"] = number(a.qFromEpsilon);
    o["q_from_epsilon_error"] = number(a.qFromEpsilonError);
    o["spectrum"] = Json{{"frequency", column(s.spectrumFrequency, number)},
                         {"amplitude", column(s.spectrumAmplitudes, number)}};
    const auto& h = s.harmonics;
    const auto found = [&h](double Harmonic::*m) {
      return column(h, [m](const Harmonic& x) { return number(x.found ? x.*m : NaN); });
    };
    o["harmonics"] = Json{{"n", column(h, [](const Harmonic& x) { return Json(x.n); })},
                          {"found", column(h, [](const Harmonic& x) { return Json(x.found); })},
                          {"frequency", found(&Harmonic::frequency)},
                          {"frequency_error", found(&Harmonic::frequencyError)},
                          {"ratio", found(&Harmonic::ratio)},
                          {"amplitude", found(&Harmonic::amplitude)},
                          {"spectrum_amplitude", found(&Harmonic::spectrumAmplitude)},
                          {"significance", found(&Harmonic::significance)}};
    // What was removed before the spectrum: the trend and the orbital harmonics.
    std::vector<int> n;
    for (std::size_t k = 0; k < s.orbitalAmplitude.size(); ++k) n.push_back(static_cast<int>(k) + 1);
    o["removed"] = Json{{"trend", "cubic spline, knots every " + std::to_string(TREND_ORBITS) + " orbits"},
                        {"trend_rms", number(s.trendRms)},
                        {"orbital", Json{{"n", column(n, [](int v) { return Json(v); })},
                                         {"amplitude", column(s.orbitalAmplitude, number)},
                                         {"phase", column(s.orbitalPhase, number)}}},
                        {"lobe_limit", number(s.lobeLimit)},
                        {"rejected_frequency", number(s.rejectedFrequency)}};

    const SuperhumpGrowth& g = a.growth;
    Json& w = j["growth"] = Json::object();
    w["window"] = g.window;
    w["step"] = g.step;
    const bool onset = g.onsetIndex >= 0;
    w["onset_window"] = onset ? Json(g.onsetIndex) : Json(nullptr);
    w["onset_orbit"] = onset ? Json(g.onsetOrbit) : Json(nullptr);
    w["onset_time"] = onset ? number(g.onsetTime) : Json(nullptr);
    w["windows_after_onset"] = g.windowsAfterOnset;
    w["epsilon_mean"] = number(g.epsilonMean);
    w["epsilon_mean_error"] = number(g.epsilonMeanError);
    w["windows"] = tableJson(g.windows, windowColumns());
  } else {
    j["superhump"] = nullptr;
    j["growth"] = nullptr;
  }

  if (a.hasDisk) {
    const Precession& p = a.precession;
    Json& d = j["disk"] = Json::object();
    d["norbtot"] = a.NORBTOT;
    d["framestep"] = a.FRAMESTEP;
    d["recstart"] = a.RECSTART;
    d["q_recording"] = number(a.qRecording);
    d["frame_count"] = static_cast<long long>(a.frames.size());
    d["precession"] = Json{{"measured", p.measured},
                           {"frames", p.frames},
                           {"from", number(p.frames ? p.from : NaN)},
                           {"to", number(p.frames ? p.to : NaN)},
                           {"frequency", number(p.frequency)},
                           {"frequency_error", number(p.frequencyError)},
                           {"epsilon", number(p.epsilon)},
                           {"epsilon_error", number(p.epsilonError)},
                           {"residual_rms_deg", number(p.residualRmsDeg)},
                           {"correlation", number(p.frames >= 3 ? p.correlation : NaN)},
                           {"mean_m1", number(p.meanM1)},
                           {"note", p.note.empty() ? Json(nullptr) : Json(p.note)}};
    d["mean"] = Json{{"r10", number(a.meanR10)},         {"r50", number(a.meanR50)}, {"r90", number(a.meanR90)},
                     {"beyond_r31", number(a.meanBeyondR31)}, {"m1", number(a.meanM1)},   {"m2", number(a.meanM2)}};
    d["frames"] = tableJson(a.frames, frameColumns());
  } else {
    j["disk"] = nullptr;
  }

  if (a.hasEccentricity) {
    const DiskEccentricity& e = a.eccentricity;
    Json& o = j["eccentricity"] = Json::object();
    o["orbit"] = a.restartOrbit;
    o["particles"] = e.particles;
    o["in_lobe"] = e.inLobe;
    o["bound"] = e.bound;
    o["mean_e"] = number(e.meanE);
    o["coherent_e"] = number(e.coherentE);
    o["direction_deg"] = number(e.directionDeg);
    o["r10"] = number(e.disk.r10);
    o["r50"] = number(e.disk.r50);
    o["r90"] = number(e.disk.r90);
    o["beyond_r31"] = number(e.disk.beyondR31);
    o["m1"] = number(e.disk.m1);
    o["m2"] = number(e.disk.m2);
    o["m1_phase_deg"] = number(e.disk.m1PhaseDeg);
    o["bins"] = tableJson(e.bins, binColumns());
  } else {
    j["eccentricity"] = nullptr;
  }

  if (a.provenance) {
    const RunProvenance& p = *a.provenance;
    const auto start = [](double v) { return number(v < 0 ? NaN : v); };
    const auto optional = [](const std::string& v) { return v.empty() ? Json(nullptr) : Json(v); };
    j["provenance"] = Json{{"path", provenanceFileName(a.files.base)},
                           {"invocation", p.invocation},
                           {"end", p.end},
                           {"orbit", p.orbit},
                           {"light_curve_start_orbit", start(p.lightCurveStart)},
                           {"recording_start_orbit", start(p.recordingStart)},
                           {"parent", optional(p.parent)},
                           {"parent_sha256", optional(p.parentSha256)}};
  } else {
    j["provenance"] = nullptr;
  }
  std::string text;
  layout(j, 0, text);
  return text + "\n";
}

std::string windowsCsv(const RunAnalysis& a) { return tableCsv(a.growth.windows, windowColumns()); }

std::string framesCsv(const RunAnalysis& a) { return tableCsv(a.frames, frameColumns()); }

std::string radiiCsv(const RunAnalysis& a) { return tableCsv(a.eccentricity.bins, binColumns()); }

}  // namespace velmora
