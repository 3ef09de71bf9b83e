// velmora-cli lc: the amplitude spectrum of a light curve, its significant peaks and their files.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/lc_analysis.h"
#include "cli/registry.h"
#include "files/lightcurve.h"
#include "io/file_io.h"
#include "io/fortran_format.h"
#include "shell/lc_range_rules.h"

namespace velmora::cli {
namespace {

const char* kCmd = "lc";

struct LcOptions {
  std::string file;
  long long firstValue = 0, lastValue = 0;
  CLI::Option* firstOpt = nullptr;
  CLI::Option* lastOpt = nullptr;
  std::string spectrum;
  std::optional<long long> first() const { return firstOpt->count() ? std::optional(firstValue) : std::nullopt; }
  std::optional<long long> last() const { return lastOpt->count() ? std::optional(lastValue) : std::nullopt; }
};

int failed(const std::string& message) {
  std::cerr << "velmora-cli " << kCmd << ": " << message << "\n";
  return EXIT_FAILED;
}

void note(const std::string& message) { std::cerr << "velmora-cli " << kCmd << ": note: " << message << "\n"; }

// Notes on a file that holds other than its count line announces.
void describeCount(const LightCurve& lc) {
  if (!lc.countLine) note(lc.file + " has no count line (a continued run started it); its " +
                          std::to_string(lc.samples()) + " samples are used");
  else if (lc.shorterThanAnnounced())
    note(lc.file + " holds " + std::to_string(lc.samples()) + " of the " + std::to_string(lc.announced) +
         " samples it announces (the run was stopped)");
  else if (lc.samples() > lc.announced)
    note(lc.file + " holds " + std::to_string(lc.samples()) + " samples, more than the " +
         std::to_string(lc.announced) + " it announces (a continued run added them)");
  if (const long long rest = lc.samples() % LC_SAMPLES_PER_ORBIT; rest != 0)
    note("the last " + std::to_string(rest) + " samples are not a whole orbit and belong to no range");
}

// Types the options into the dialog's boxes (first, then last) and presses OK. A value the
// dialog would have to correct is refused, naming the valid range.
std::optional<int> chooseRange(LCRangeRules& r, const LcOptions& o, const std::string& file) {
  const auto first = o.first(), last = o.last();
  if (const std::string p = r.typeRange(first, last, file, "--"); !p.empty()) return usageError(kCmd, p);
  if (first && last && *last < *first)
    note("--last " + std::to_string(*last) + " is below --first: the range is orbits " + std::to_string(r.LCFIRST) +
         " to " + std::to_string(r.LCLAST) + ", as the plot dialog's OK takes it");
  return std::nullopt;
}

std::string spectrumCsv(const LCAnalysis& a) {
  std::string s = "frequency,amplitude\r\n";
  char buf[64];
  for (I32 k = a.kFirst; k <= a.kLast; ++k) {
    std::snprintf(buf, sizeof buf, "%.9g,%.9g\r\n", static_cast<double>(a.freq(k)), static_cast<double>(a.A(k)));
    s += buf;
  }
  return s;
}

void printReport(const LightCurve& lc, const LCAnalysis& a) {
  std::printf("%s: orbits %d to %d of %d (samples %d to %d)\n", lc.file.c_str(), a.first, a.last, lc.orbits(), a.i0,
              a.i1);
  std::printf("  luminosity %s to %s, mean %s\n", fmt::freeReal(a.LMIN, 7).c_str() + 1,
              fmt::freeReal(a.LMAX, 7).c_str() + 1, fmt::freeReal(a.mean, 7).c_str() + 1);
  std::printf("  NFFT %d, frequency step %.9g cycles/orbit, bins %d to %d used (from %.9g, fmin %.7g)\n", a.NFFT,
              static_cast<double>(a.freq(2)), a.kFirst, a.kLast, static_cast<double>(a.freq(a.kFirst)),
              static_cast<double>(a.fmin));
  if (a.flat) std::printf("  the light curve is constant over these orbits: its spectrum is flat\n");
  if (a.peaks.empty()) {
    std::printf("  no peak stands 5 sigma above the mean amplitude up to 5 cycles/orbit\n");
  } else {
    std::printf("  peaks 5 sigma above the mean amplitude, up to 5 cycles/orbit:\n");
    std::printf("  %12s %10s %15s %10s\n", "bin", "cycles/orb", "amplitude", "amp/sigma");
    for (const LCPeak& p : a.peaks)
      std::printf("  %12d %10s %15s %10.2f\n", p.bin, p.freqText.c_str(), fmt::ES(p.amplitude, 15, 7, 2).c_str(),
                  static_cast<double>(p.amplitude / a.sigma));
  }
  std::printf("  sigma %s\n", fmt::freeReal(a.sigma, 7).c_str() + 1);
  std::printf("  mean amplitude %s\n", fmt::freeReal(a.M, 7).c_str() + 1);
  std::printf("  AMAX %s\n", fmt::freeReal(a.AMAX, 7).c_str() + 1);
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<LcOptions>();
  CLI::App* app = parent.add_subcommand(
      kCmd, "Amplitude spectrum and significant peaks of a light curve; writes stdev.txt and fftpeaks.txt");
  app->add_option("FILE", o->file, "Light-curve file (NAME_lc.vlm)")->required();
  o->firstOpt = app->add_option("--first", o->firstValue, "First orbit of the range (default 1)");
  o->lastOpt = app->add_option("--last", o->lastValue, "Last orbit of the range (default the last whole orbit)");
  app->add_option("--spectrum", o->spectrum, "Also write the used bins as CSV (frequency, amplitude)");

  auto run = [o]() -> int {
    LightCurve lc;
    try {
      lc = readLightCurve(o->file);
    } catch (const LightCurveError& e) {
      return failed(e.what());
    }
    LCRangeRules rules(lc.samples());
    if (!rules.plottable())
      return failed(o->file + " holds " + std::to_string(lc.samples()) + " samples, less than one orbit (" +
                    std::to_string(LC_SAMPLES_PER_ORBIT) + "): there is nothing to analyse");
    if (const auto code = chooseRange(rules, *o, o->file)) return *code;
    describeCount(lc);

    try {
      const LCAnalysis a = analyseLightCurve(lc, rules.LCFIRST, rules.LCLAST);
      writeAnalysisFiles(a);
      if (!o->spectrum.empty())
        if (const std::string err = replaceAtomically(o->spectrum, spectrumCsv(a)); !err.empty()) return failed(err);
      printReport(lc, a);
      std::printf("Wrote stdev.txt and fftpeaks.txt%s\n",
                  o->spectrum.empty() ? "" : (" and " + o->spectrum).c_str());
    } catch (const std::exception& e) {
      return failed(e.what());
    }
    return EXIT_OK;
  };
  return {app, run};
}

const Register reg(50, add);

}  // namespace
}  // namespace velmora::cli
