// The observing options of `run` and `restart`, checked and turned into the run's observer.
#include "cli/observe_options.h"

#include <cstdio>

#include "analysis/fits/obs_fits.h"
#include "cli/registry.h"

namespace velmora::cli {

void ObserveOptions::add(CLI::App& app, const std::string& orbitsOf) {
  app.add_option("--observe", inclinations,
                 "Observe the run at these inclinations, degrees (e.g. 82,60): eclipse light curves, trailed "
                 "spectra and Doppler maps in NAME_obs.fits (needs --name)");
  app.add_option("--observe-from", from, "Observe from this orbit of " + orbitsOf + " on (default 1)");
  app.add_option("--line-bins", lineBins, "Velocity bins of the spectra and maps, 11..4001 (default 201)");
  app.add_option("--fwhm", fwhm, "Instrumental FWHM of the spectra, km/s (default 0)");
  app.add_option("--emission", emission, "Light of a particle: dissipation (default), density2 or uniform");
}

bool ObserveOptions::valid(const CLI::App& app, const std::string& cmd, long long orbits, const std::string& name) {
  given = app.count("--observe") > 0;
  fromGiven = app.count("--observe-from") > 0;
  const bool companions = fromGiven || app.count("--line-bins") > 0 || app.count("--fwhm") > 0 ||
                          app.count("--emission") > 0;
  if (!given) return !companions || (usageError(cmd, "--observe-from, --line-bins, --fwhm and --emission need --observe"), false);
  std::string bad;
  if (!parseInclinations(inclinations, settings.inclinations, bad))
    return usageError(cmd, "--observe takes inclinations in degrees separated by commas (not \"" + bad + "\")"), false;
  settings.lineBins = lineBins;
  settings.fwhm = fwhm;
  if (!parseEmission(emission, settings.emission))
    return usageError(cmd, "--emission is dissipation, density2 or uniform (not \"" + emission + "\")"), false;
  if (const std::string p = settings.problem("--observe", "--line-bins", "--fwhm"); !p.empty())
    return usageError(cmd, p), false;
  if (from < 1 || from > orbits)
    return usageError(cmd, "--observe-from must be between 1 and " + std::to_string(orbits) + " (got " +
                               std::to_string(from) + ")"),
           false;
  if (name.empty()) return usageError(cmd, "--observe writes a file named after the run: give its base name with --name"), false;
  return true;
}

std::unique_ptr<RunObserver> ObserveOptions::attach(Sim& S, const std::string& name, long long done) const {
  if (!given) return nullptr;
  auto o = std::make_unique<RunObserver>(settings, observationsName(name), from);
  o->attach(S);
  std::printf("  observations %s from orbit %lld at inclination%s %s, emission %s\n", o->path().c_str(), done + from,
              settings.inclinations.size() == 1 ? "" : "s", inclinations.c_str(), emission.c_str());
  std::fflush(stdout);
  return o;
}

bool finishObserving(const std::string& cmd, RunObserver* observer) {
  if (observer == nullptr) return true;
  if (const std::string e = observer->finish(); !e.empty()) {
    std::fprintf(stderr, "velmora-cli %s: the observations %s were not written: %s\n", cmd.c_str(),
                 observer->path().c_str(), e.c_str());
    return false;
  }
  return true;
}

}  // namespace velmora::cli
