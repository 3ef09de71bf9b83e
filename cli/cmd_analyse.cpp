// velmora-cli analyse: the superhump, the disk and its orbits measured from a run's files.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/lc_analysis.h"
#include "analysis/run_analysis.h"
#include "cli/progress_meter.h"
#include "cli/registry.h"
#include "files/lightcurve.h"
#include "io/file_error.h"
#include "io/file_io.h"
#include "shell/lc_range_rules.h"

namespace velmora::cli {
namespace {

const char* kCmd = "analyse";

struct AnalyseOptions {
  std::string name;
  long long firstValue = 0, lastValue = 0;
  CLI::Option* firstOpt = nullptr;
  CLI::Option* lastOpt = nullptr;
  long long window = 20;
  double q = 0;
  CLI::Option* qOpt = nullptr;
  double precFrom = 0, precTo = 0;
  CLI::Option* precFromOpt = nullptr;
  CLI::Option* precToOpt = nullptr;
  bool json = false, quiet = false;
  std::string csv;
};

int failed(const std::string& message) {
  std::cerr << "velmora-cli " << kCmd << ": " << message << "\n";
  return EXIT_FAILED;
}

void note(const std::string& message) { std::cerr << "velmora-cli " << kCmd << ": note: " << message << "\n"; }

// The light-curve range as `lc` takes it: the plot dialog's boxes and its OK.
std::optional<int> chooseRange(const AnalyseOptions& o, const RunFiles& files, AnalysisOptions& opt) {
  const bool given = o.firstOpt->count() || o.lastOpt->count();
  if (!files.hasLightCurve) {
    if (given) return usageError(kCmd, "--first and --last choose orbits of " + files.lightCurve + ", which is missing");
    return std::nullopt;
  }
  if (!given) return std::nullopt;
  const LightCurve lc = readLightCurve(files.lightCurve);
  LCRangeRules r(lc.samples());
  if (!r.plottable()) return usageError(kCmd, files.lightCurve + " holds less than one orbit: --first and --last cannot be used");
  const auto first = o.firstOpt->count() ? std::optional(o.firstValue) : std::nullopt;
  const auto last = o.lastOpt->count() ? std::optional(o.lastValue) : std::nullopt;
  if (const std::string p = r.typeRange(first, last, files.lightCurve, "--"); !p.empty()) return usageError(kCmd, p);
  if (first && last && *last < *first)
    note("--last " + std::to_string(*last) + " is below --first: the range is orbits " + std::to_string(r.LCFIRST) +
         " to " + std::to_string(r.LCLAST) + ", as the plot dialog's OK takes it");
  opt.first = r.LCFIRST;
  opt.last = r.LCLAST;
  return std::nullopt;
}

std::string fixed(double v, int decimals) {
  if (!std::isfinite(v)) return "-";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string pm(double v, double e, int decimals) { return fixed(v, decimals) + " +- " + fixed(e, decimals); }

void printReference(const RunAnalysis& a) {
  if (!a.hasReference) return;
  const BinaryReference& r = a.reference;
  const char* from = a.qSource == "restart" ? "the restart file's masses"
                     : a.qSource == "recording" ? "the recording's stars" : "--q";
  std::printf("Mass ratio q %.4f (from %s)\n", a.q, from);
  std::printf("  3:1 resonance radius        %.4f\n", r.r31);
  std::printf("  circularisation radius      %.4f\n", r.rCirc);
  std::printf("  primary's Roche lobe        %.4f  (L1 at %.4f from the primary)\n", r.rocheLobe, r.l1Distance);
  std::printf("  observed relation's eps     %.4f  (0.18 q + 0.29 q^2)\n", r.epsilonRelation);
}

void printSuperhump(const RunAnalysis& a) {
  if (!a.hasSuperhump) return;
  const SuperhumpResult& s = a.superhump;
  std::printf("Superhump in %s, orbits %d to %d%s (NFFT %d, bins of %.5f cycles/orbit, sigma %.3g):\n",
              a.files.lightCurve.c_str(), s.first, s.last,
              a.superhumpRange == "from_first_detection" ? " (from the first window that detects it)" : "", s.NFFT,
              s.frequencyStep, s.sigma);
  if (s.orbitalAmplitude.size() == 3)
    std::printf("  removed      the trend (rms %.4f) and the orbital signal: %.5f at 1, %.5f at 2, %.5f at 3 "
                "cycles/orbit\n",
                s.trendRms, s.orbitalAmplitude[0], s.orbitalAmplitude[1], s.orbitalAmplitude[2]);
  if (std::isfinite(s.rejectedFrequency))
    std::printf("  not counted  a peak refined to %.5f cycles/orbit: outside the band or within the orbital peak "
                "(above %.5f)\n",
                s.rejectedFrequency, s.lobeLimit);
  if (!s.detected) {
    std::printf("  none: no peak 5 sigma above the noise about it between %.3f and %.3f cycles/orbit\n",
                SUPERHUMP_BAND_LOW, SUPERHUMP_BAND_HIGH);
    if (std::isfinite(s.upperLimit))
      std::printf("  upper limit %.5f of the mean luminosity (the band's largest amplitude, at %.4f cycles/orbit, "
                  "%.1f sigma)\n",
                  s.upperLimit, s.bandMaxFrequency, s.bandMaxSignificance);
    else std::printf("  no upper limit: the range is too short for a bin of its spectrum to fall in the band\n");
  } else {
    std::printf("  frequency    %s cycles/orbit (peak bin %.5f)%s\n", pm(s.frequency, s.frequencyError, 5).c_str(),
                s.binFrequency, s.fitConverged ? "" : "  [sine fit did not converge: the bin's frequency]");
    std::printf("  eps          %s  (period %.5f orbits)\n", pm(s.epsilon, s.epsilonError, 5).c_str(), s.period);
    std::printf("  amplitude    %.5f of the mean luminosity, %.1f sigma above the noise about it\n", s.amplitude,
                s.significance);
    for (const Harmonic& h : s.harmonics) {
      if (h.found)
        std::printf("  harmonic %df  %.5f cycles/orbit (%.4f f), amplitude %.5f, %.1f sigma\n", h.n, h.frequency,
                    h.ratio, h.amplitude, h.significance);
      else std::printf("  harmonic %df  not found\n", h.n);
    }
    if (std::isfinite(a.qFromEpsilon))
      std::printf("  q from the observed relation  %s\n", pm(a.qFromEpsilon, a.qFromEpsilonError, 4).c_str());
  }
  const SuperhumpGrowth& g = a.growth;
  if (g.windows.empty()) return;
  std::printf("Growth, windows of %d orbits every %d:\n", g.window, g.step);
  std::printf("  %-11s %-20s %-10s %s\n", "orbits", "eps", "amplitude", "sigma");
  for (const GrowthWindow& w : g.windows) {
    const std::string orbits = std::to_string(w.first) + "-" + std::to_string(w.last);
    if (w.detected)
      std::printf("  %-11s %-20s %-10.5f %.1f\n", orbits.c_str(), pm(w.epsilon, w.epsilonError, 5).c_str(), w.amplitude,
                  w.significance);
    else
      std::printf("  %-11s %-20s <%-9s %s\n", orbits.c_str(), "none", fixed(w.upperLimit, 5).c_str(),
                  fixed(w.significance, 1).c_str());
  }
  if (g.onsetIndex >= 0)
    std::printf("  onset: orbit %d (the superhump is significant in every window from orbits %d-%d on, time %.2f)\n",
                g.onsetOrbit, g.windows[static_cast<std::size_t>(g.onsetIndex)].first,
                g.windows[static_cast<std::size_t>(g.onsetIndex)].last, g.onsetTime);
  if (g.onsetIndex >= 0)
    std::printf("  eps over the %d windows from the onset on  %s\n", g.windowsAfterOnset,
                pm(g.epsilonMean, g.epsilonMeanError, 5).c_str());
  else std::printf("  onset: none (the last window shows no significant superhump)\n");
}

void printDisk(const RunAnalysis& a) {
  if (!a.hasDisk || a.frames.empty()) return;
  const Precession& p = a.precession;
  std::printf("Disk in %s, %zu frames, time %.3f to %.3f orbits:\n", a.files.recording.c_str(), a.frames.size(),
              a.frames.front().time, a.frames.back().time);
  const DiskSnapshot& last = a.frames.back();
  std::printf("  particles in the primary's lobe  %d of %d in the last frame\n", last.inLobe, last.particles);
  std::printf("  radii r10 %s  r50 %s  r90 %s (mean over the fitted frames)\n", fixed(a.meanR10, 4).c_str(),
              fixed(a.meanR50, 4).c_str(), fixed(a.meanR90, 4).c_str());
  std::printf("  beyond the 3:1 radius  %s of the disk particles\n", fixed(a.meanBeyondR31, 4).c_str());
  std::printf("  modes m=1 %s  m=2 %s\n", fixed(a.meanM1, 4).c_str(), fixed(a.meanM2, 4).c_str());
  if (p.measured)
    std::printf("  precession   %s cycles/orbit over %d frames (%.2f to %.2f), phase scatter %.1f deg\n"
                "  eps predicted  %s  (nu / (1 - nu))\n",
                pm(p.frequency, p.frequencyError, 5).c_str(), p.frames, p.from, p.to, p.residualRmsDeg,
                pm(p.epsilon, p.epsilonError, 5).c_str());
  else std::printf("  precession   not measured: %s\n", p.note.c_str());
}

void printEccentricity(const RunAnalysis& a) {
  if (!a.hasEccentricity) return;
  const DiskEccentricity& e = a.eccentricity;
  std::printf("Orbits about the primary in %s (orbit %d):\n", a.files.restart.c_str(), a.restartOrbit);
  std::printf("  particles in the primary's lobe  %d of %d, %d on bound orbits\n", e.inLobe, e.particles, e.bound);
  std::printf("  mean e %s   coherent e %s   pericentre direction %s deg\n", fixed(e.meanE, 4).c_str(),
              fixed(e.coherentE, 4).c_str(), fixed(e.directionDeg, 1).c_str());
  std::printf("  %-13s %6s %8s %10s %9s\n", "radius", "count", "mean e", "coherent e", "direction");
  for (const EccentricityBin& b : e.bins)
    std::printf("  %.2f - %.2f   %6d %8s %10s %9s\n", b.rIn, b.rOut, b.count, fixed(b.meanE, 4).c_str(),
                fixed(b.coherentE, 4).c_str(), fixed(b.directionDeg, 1).c_str());
}

int writeTables(const RunAnalysis& a, const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return failed(dir + ": cannot create the folder: " + ec.message());
  std::string written;
  const auto put = [&](bool has, const char* file, const std::string& text) {
    if (!has) return std::string{};
    const std::string path = (fs::path(dir) / file).string();
    if (std::string err = replaceAtomically(path, text); !err.empty()) return err;
    written += (written.empty() ? "" : ", ") + path;
    return std::string{};
  };
  for (const std::string& err : {put(a.hasSuperhump, "windows.csv", windowsCsv(a)),
                                 put(a.hasDisk, "frames.csv", framesCsv(a)),
                                 put(a.hasEccentricity, "radii.csv", radiiCsv(a))})
    if (!err.empty()) return failed(err);
  if (!written.empty()) std::cerr << "velmora-cli " << kCmd << ": wrote " << written << "\n";
  return EXIT_OK;
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<AnalyseOptions>();
  CLI::App* app = parent.add_subcommand(
      kCmd, "Measure a run: the superhump of its light curve and its growth, the disk of its recording and its "
            "precession, the orbits of its restart file.\n"
            "Before the superhump search, in the whole range and in every window, two known signals are removed "
            "from the light curve: the trend (a least-squares cubic spline with knots every 5 orbits, which "
            "follows the disk's formation and any slow change of the mean light and leaves a sinusoid in the "
            "band its frequency and its amplitude to 0.2 %) and the orbital signal (the harmonics at 1, 2 and 3 cycles per orbit, fitted "
            "and subtracted). A refined frequency above 1 - 0.6/N (N orbits: the orbital peak's main lobe) is "
            "no detection, and the next significant peak is tried. A peak counts when it stands 5 sigma above "
            "the noise about it: the mean and spread that the median amplitude of the spectrum within 0.5 "
            "cycles per orbit of it gives (the removed orbital frequencies left out), so red noise, which raises "
            "the spectrum at low frequencies, is not taken for a superhump. Without --first and --last the "
            "superhump is searched from the first orbit of the first growth window that detects it to the last "
            "whole orbit (all of them when no window detects it): the disk's formation in the first orbits "
            "hides a superhump that grows later, and observers measure a period over the nights that show it. "
            "Times are the run's own orbits when NAME.run.json gives where the files start.");
  app->add_option("NAME", o->name, "The run's base name or path prefix (finds NAME_lc.vlm, NAME.vlm, NAME_rs.vlm)")
      ->required();
  o->firstOpt = app->add_option("--first", o->firstValue, "First light-curve orbit of the range (default 1; the superhump search then starts at the first window that detects it)");
  o->lastOpt = app->add_option("--last", o->lastValue, "Last light-curve orbit of the range (default the last whole one)");
  app->add_option("--window", o->window, "Orbits of a growth window, stepped by half of it (default 20)");
  o->qOpt = app->add_option("--q", o->q, "Mass ratio M2/M1 when neither the restart file nor the recording gives it");
  o->precFromOpt = app->add_option("--prec-from", o->precFrom, "First time (orbits) of the frames the precession fit uses");
  o->precToOpt = app->add_option("--prec-to", o->precTo, "Last time (orbits) of the frames the precession fit uses");
  app->add_flag("--json", o->json, "Print one JSON object (the manual lists its keys: The analysis JSON) instead of the report");
  app->add_option("--csv", o->csv, "Write windows.csv, frames.csv and radii.csv into this folder");
  app->add_flag("--quiet", o->quiet, "No progress output");

  auto run = [o]() -> int {
    if (o->window < 1 || o->window > 1000000)
      return usageError(kCmd, "--window must be between 1 and 1000000 orbits (got " + std::to_string(o->window) + ")");
    if (o->qOpt->count() && !(o->q > 0.0 && o->q <= 100.0))
      return usageError(kCmd, "--q must be greater than 0 and at most 100 (got " + std::to_string(o->q) + ")");
    const RunFiles files = findRunFiles(o->name);
    if (!files.hasLightCurve && !files.hasRecording && !files.hasRestart)
      return failed("no file of run " + files.base + ": none of " + files.lightCurve + ", " + files.recording + " and " +
                    files.restart + " exists");
    AnalysisOptions opt;
    opt.window = static_cast<I32>(o->window);
    if (o->qOpt->count()) opt.q = o->q;
    if (o->precFromOpt->count()) opt.precessionFrom = o->precFrom;
    if (o->precToOpt->count()) opt.precessionTo = o->precTo;
    ProgressMeter progress(o->quiet);
    opt.progress = [&progress](const AnalysisProgress& p) { progress.update(p.stage, p.done, p.total); };
    RunAnalysis a;
    try {
      if (const auto code = chooseRange(*o, files, opt)) return *code;
      a = analyseRun(o->name, opt);
    } catch (const std::exception& e) {
      progress.end();
      std::fflush(stdout);
      return failed(e.what());
    }
    progress.end();
    for (const std::string& n : a.notes) note(n);
    if (!o->csv.empty())
      if (const int code = writeTables(a, o->csv); code != EXIT_OK) return code;
    if (o->json) {
      std::fputs(analysisJson(a).c_str(), stdout);
      return EXIT_OK;
    }
    std::printf("Run %s:", a.files.base.c_str());
    for (const auto& [has, path] : {std::pair{a.files.hasLightCurve, &a.files.lightCurve},
                                    std::pair{a.files.hasRecording, &a.files.recording},
                                    std::pair{a.files.hasRestart, &a.files.restart}})
      if (has) std::printf(" %s", path->c_str());
    std::printf("\n");
    printReference(a);
    printSuperhump(a);
    printDisk(a);
    printEccentricity(a);
    return EXIT_OK;
  };
  return {app, run};
}

const Register reg(55, add);

}  // namespace
}  // namespace velmora::cli
