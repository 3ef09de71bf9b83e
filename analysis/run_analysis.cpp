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

// A small writer of indented JSON: objects one key a line, arrays on one line.
class JsonWriter {
 public:
  std::string text;

  void open(const std::string& key) {
    keyed(key);
    text += "{";
    first_ = true;
    ++depth_;
  }
  void close() {
    --depth_;
    text += "\n" + std::string(static_cast<std::size_t>(2 * depth_), ' ') + "}";
    first_ = false;
  }
  void null(const std::string& key) { keyed(key), text += "null"; }
  void num(const std::string& key, double v) { keyed(key), text += numberText(v); }
  void integer(const std::string& key, long long v) { keyed(key), text += std::to_string(v); }
  void boolean(const std::string& key, bool v) { keyed(key), text += v ? "true" : "false"; }
  void str(const std::string& key, const std::string& v) { keyed(key), text += quoted(v); }
  void optStr(const std::string& key, const std::string& v) { v.empty() ? null(key) : str(key, v); }
  template <class T, class F>
  void column(const std::string& key, const std::vector<T>& rows, F value) {
    keyed(key);
    text += "[";
    for (std::size_t i = 0; i < rows.size(); ++i) text += (i ? ", " : "") + value(rows[i]);
    text += "]";
  }
  void strings(const std::string& key, const std::vector<std::string>& v) {
    column(key, v, [](const std::string& s) { return quoted(s); });
  }

  static std::string quoted(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') q += std::string("\\") + c;
      else if (c == '\n') q += "\\n";
      else if (c == '\r') q += "\\r";
      else if (c == '\t') q += "\\t";
      else if (u < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", u);
        q += buf;
      } else q += c;
    }
    return q + "\"";
  }

 private:
  void keyed(const std::string& key) {
    if (depth_ == 0) return;  // the outermost object has no key
    text += first_ ? "\n" : ",\n";
    first_ = false;
    text += std::string(static_cast<std::size_t>(2 * depth_), ' ') + quoted(key) + ": ";
  }
  int depth_ = 0;
  bool first_ = true;
};

std::string num(double v) { return numberText(v); }
std::string boolText(bool b) { return b ? "true" : "false"; }

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

  std::string json(const Row& r) const {
    const double v = value(r);
    if (kind == Whole) return std::to_string(static_cast<long long>(v));
    if (kind == Flag) return boolText(v != 0);
    return numberText(v);
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

// The table's columns as JSON arrays inside the object open in j.
template <class Row>
void tableJson(JsonWriter& j, const std::vector<Row>& rows, const Table<Row>& columns) {
  for (const TableColumn<Row>& c : columns) j.column(c.name, rows, [&c](const Row& r) { return c.json(r); });
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
  a.superhump = findSuperhump(lc, first, last);
  a.growth = superhumpGrowth(lc, first, last, o.window, [&o](long long done, long long total) {
    if (o.progress) o.progress({"light curve windows", done, total});
  });
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
  JsonWriter j;
  j.open("");
  j.str("format", "velmora-analysis 1");
  j.str("name", a.files.base);
  j.open("files");
  for (const auto& [key, path, present] : {std::tuple{"light_curve", &a.files.lightCurve, a.files.hasLightCurve},
                                           std::tuple{"recording", &a.files.recording, a.files.hasRecording},
                                           std::tuple{"restart", &a.files.restart, a.files.hasRestart}}) {
    j.open(key);
    j.str("path", *path);
    j.boolean("present", present);
    j.close();
  }
  j.close();
  j.strings("notes", a.notes);
  j.num("q", a.q);
  j.optStr("q_source", a.qSource);

  if (a.hasReference) {
    const BinaryReference& r = a.reference;
    j.open("reference");
    j.num("r_3to1", r.r31);
    j.num("r_circ", r.rCirc);
    j.num("roche_lobe_primary", r.rocheLobe);
    j.num("l1_distance", r.l1Distance);
    j.num("epsilon_relation", r.epsilonRelation);
    j.close();
  } else {
    j.null("reference");
  }

  if (a.hasSuperhump) {
    const SuperhumpResult& s = a.superhump;
    const auto det = [&s](double v) { return s.detected ? v : NaN; };
    j.open("superhump");
    j.integer("first_orbit", s.first);
    j.integer("last_orbit", s.last);
    j.integer("orbits", s.orbits);
    j.num("t_start", s.tStart);
    j.num("t_end", s.tEnd);
    j.integer("nfft", s.NFFT);
    j.num("frequency_step", s.frequencyStep);
    j.num("mean_amplitude", s.meanAmplitude);
    j.num("sigma", s.sigma);
    j.num("band_low", SUPERHUMP_BAND_LOW);
    j.num("band_high", SUPERHUMP_BAND_HIGH);
    j.boolean("detected", s.detected);
    j.num("frequency", det(s.frequency));
    j.num("frequency_error", det(s.frequencyError));
    j.num("epsilon", det(s.epsilon));
    j.num("epsilon_error", det(s.epsilonError));
    j.num("period", det(s.period));
    j.num("amplitude", det(s.amplitude));
    j.num("spectrum_amplitude", det(s.spectrumAmplitude));
    j.num("significance", det(s.significance));
    if (s.detected) j.boolean("fit_converged", s.fitConverged);
    else j.null("fit_converged");
    j.num("band_max_frequency", s.bandMaxFrequency);
    j.num("band_max_spectrum_amplitude", s.bandMaxSpectrumAmplitude);
    j.num("band_max_significance", s.bandMaxSignificance);
    j.num("upper_limit", s.upperLimit);
    j.num("q_from_epsilon", a.qFromEpsilon);
    j.num("q_from_epsilon_error", a.qFromEpsilonError);
    j.open("spectrum");
    j.column("frequency", s.spectrumFrequency, [](double v) { return num(v); });
    j.column("amplitude", s.spectrumAmplitudes, [](double v) { return num(v); });
    j.close();
    j.open("harmonics");
    const auto& h = s.harmonics;
    const auto found = [](const Harmonic& x, double v) { return num(x.found ? v : NaN); };
    j.column("n", h, [](const Harmonic& x) { return std::to_string(x.n); });
    j.column("found", h, [](const Harmonic& x) { return boolText(x.found); });
    j.column("frequency", h, [&](const Harmonic& x) { return found(x, x.frequency); });
    j.column("frequency_error", h, [&](const Harmonic& x) { return found(x, x.frequencyError); });
    j.column("ratio", h, [&](const Harmonic& x) { return found(x, x.ratio); });
    j.column("amplitude", h, [&](const Harmonic& x) { return found(x, x.amplitude); });
    j.column("spectrum_amplitude", h, [&](const Harmonic& x) { return found(x, x.spectrumAmplitude); });
    j.column("significance", h, [&](const Harmonic& x) { return found(x, x.significance); });
    j.close();
    // What was removed before the spectrum: the trend and the orbital harmonics.
    j.open("removed");
    j.str("trend", "cubic spline, knots every " + std::to_string(TREND_ORBITS) + " orbits");
    j.num("trend_rms", s.trendRms);
    j.open("orbital");
    std::vector<int> n;
    for (std::size_t k = 0; k < s.orbitalAmplitude.size(); ++k) n.push_back(static_cast<int>(k) + 1);
    j.column("n", n, [](int v) { return std::to_string(v); });
    j.column("amplitude", s.orbitalAmplitude, [](double v) { return num(v); });
    j.column("phase", s.orbitalPhase, [](double v) { return num(v); });
    j.close();
    j.num("lobe_limit", s.lobeLimit);
    j.num("rejected_frequency", s.rejectedFrequency);
    j.close();
    j.close();

    const SuperhumpGrowth& g = a.growth;
    const auto& w = g.windows;
    j.open("growth");
    j.integer("window", g.window);
    j.integer("step", g.step);
    if (g.onsetIndex >= 0) {
      j.integer("onset_window", g.onsetIndex);
      j.integer("onset_orbit", g.onsetOrbit);
      j.num("onset_time", g.onsetTime);
    } else {
      j.null("onset_window");
      j.null("onset_orbit");
      j.null("onset_time");
    }
    j.integer("windows_after_onset", g.windowsAfterOnset);
    j.num("epsilon_mean", g.epsilonMean);
    j.num("epsilon_mean_error", g.epsilonMeanError);
    j.open("windows");
    tableJson(j, w, windowColumns());
    j.close();
    j.close();
  } else {
    j.null("superhump");
    j.null("growth");
  }

  if (a.hasDisk) {
    const Precession& p = a.precession;
    const auto& f = a.frames;
    j.open("disk");
    j.integer("norbtot", a.NORBTOT);
    j.integer("framestep", a.FRAMESTEP);
    j.integer("recstart", a.RECSTART);
    j.num("q_recording", a.qRecording);
    j.integer("frame_count", static_cast<long long>(f.size()));
    j.open("precession");
    j.boolean("measured", p.measured);
    j.integer("frames", p.frames);
    j.num("from", p.frames ? p.from : NaN);
    j.num("to", p.frames ? p.to : NaN);
    j.num("frequency", p.frequency);
    j.num("frequency_error", p.frequencyError);
    j.num("epsilon", p.epsilon);
    j.num("epsilon_error", p.epsilonError);
    j.num("residual_rms_deg", p.residualRmsDeg);
    j.num("correlation", p.frames >= 3 ? p.correlation : NaN);
    j.num("mean_m1", p.meanM1);
    j.optStr("note", p.note);
    j.close();
    j.open("mean");
    j.num("r10", a.meanR10);
    j.num("r50", a.meanR50);
    j.num("r90", a.meanR90);
    j.num("beyond_r31", a.meanBeyondR31);
    j.num("m1", a.meanM1);
    j.num("m2", a.meanM2);
    j.close();
    j.open("frames");
    tableJson(j, f, frameColumns());
    j.close();
    j.close();
  } else {
    j.null("disk");
  }

  if (a.hasEccentricity) {
    const DiskEccentricity& e = a.eccentricity;
    const auto& b = e.bins;
    j.open("eccentricity");
    j.integer("orbit", a.restartOrbit);
    j.integer("particles", e.particles);
    j.integer("in_lobe", e.inLobe);
    j.integer("bound", e.bound);
    j.num("mean_e", e.meanE);
    j.num("coherent_e", e.coherentE);
    j.num("direction_deg", e.directionDeg);
    j.num("r10", e.disk.r10);
    j.num("r50", e.disk.r50);
    j.num("r90", e.disk.r90);
    j.num("beyond_r31", e.disk.beyondR31);
    j.num("m1", e.disk.m1);
    j.num("m2", e.disk.m2);
    j.num("m1_phase_deg", e.disk.m1PhaseDeg);
    j.open("bins");
    tableJson(j, b, binColumns());
    j.close();
    j.close();
  } else {
    j.null("eccentricity");
  }

  if (a.provenance) {
    const RunProvenance& p = *a.provenance;
    const auto start = [](double v) { return v < 0 ? NaN : v; };
    j.open("provenance");
    j.str("path", provenanceFileName(a.files.base));
    j.str("invocation", p.invocation);
    j.str("end", p.end);
    j.integer("orbit", p.orbit);
    j.num("light_curve_start_orbit", start(p.lightCurveStart));
    j.num("recording_start_orbit", start(p.recordingStart));
    j.optStr("parent", p.parent);
    j.optStr("parent_sha256", p.parentSha256);
    j.close();
  } else {
    j.null("provenance");
  }
  j.close();
  return j.text + "\n";
}

std::string windowsCsv(const RunAnalysis& a) { return tableCsv(a.growth.windows, windowColumns()); }

std::string framesCsv(const RunAnalysis& a) { return tableCsv(a.frames, frameColumns()); }

std::string radiiCsv(const RunAnalysis& a) { return tableCsv(a.eccentricity.bins, binColumns()); }

}  // namespace velmora
