// velmora-cli observe: one state of a restart file seen through a whole orbit. The run goes on
// for one phase, which gives every particle its density, synchronised velocity and the energy it
// dissipated; the disk of that moment is then held still in the binary's frame while the
// observer goes round it (the "instantaneous" pictures of the papers).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>

#include "analysis/fits/obs_fits.h"
#include "analysis/observe.h"
#include "cli/registry.h"
#include "cli/run_common.h"
#include "files/restart_file.h"
#include "io/file_error.h"
#include "shell/headless_run.h"

namespace velmora::cli {
namespace {

const char* kCmd = "observe";

struct ObserveCommand {
  std::string file, out, inclinations, emission = "dissipation";
  int lineBins = 201;
  double fwhm = 0.0;
  bool quiet = false;
  ThreadsOption threads;
};

// Takes the state at the end of the continuation's first phase, then asks the host to stop.
struct OnePhase : PhaseWatcher {
  EmissionKind kind{};
  std::vector<ObsParticle> particles;
  double removed = 0.0;
  bool taken = false;
  void phaseDone(Sim& S) override {
    if (taken) return;
    const double theta = 2.0 * std::numbers::pi * S.IPHASE / NPHASES;
    particles = observedParticles(S, static_cast<float>(std::cos(theta)), static_cast<float>(std::sin(theta)), kind);
    removed = S.emissionRemoved;
    taken = true;
  }
  void restartPoint(Sim&, RunHost&) override {}
};

class OnePhaseHost : public HeadlessHost {
 public:
  OnePhaseHost(const Sim& S, Output out, const OnePhase& w) : HeadlessHost(S, out), w_(w) {}

 protected:
  bool stopWanted() override { return w_.taken || HeadlessHost::stopWanted(); }

 private:
  const OnePhase& w_;
};

// NAME_atORBIT_obs.fits for NAME_rs.vlm written after ORBIT (any other file name less its
// extension), so that it never replaces the observations of the run NAME itself.
std::string defaultOut(const std::string& file, I32 orbit) {
  std::string base = file.substr(file.find_last_of('/') + 1);
  if (base.ends_with("_rs.vlm")) base.resize(base.size() - 7);
  else if (const auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
  return observationsName(base + "_at" + std::to_string(orbit));
}

int observe(const ObserveCommand& o, const ObserveSettings& settings) {
  RestartFile R;
  try {
    R = readRestartFile(o.file);
  } catch (const FileError& e) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
    return EXIT_FAILED;
  }
  if (R.NPART < 1) {
    std::fprintf(stderr, "velmora-cli %s: %s: the restart file holds no particles\n", kCmd, o.file.c_str());
    return EXIT_FAILED;
  }
  auto S = std::make_unique<Sim>();
  RestartSettings rs;
  rs.file = o.file;
  rs.orbits = 1;
  if (const std::string p = rs.prepare(*S); !p.empty()) return usageError(kCmd, p);
  OnePhase w;
  w.kind = settings.emission;
  S->watcher = &w;
  S->keepEmission = settings.emission == EmissionKind::Dissipation;
  o.threads.apply();
  std::printf("Velmora observe %s: orbit %d, %d particles, one phase further\n", o.file.c_str(), R.IORBIT, R.NPART);
  std::fflush(stdout);
  installStopHandler();
  OnePhaseHost host(*S, HeadlessHost::chooseOutput(o.quiet), w);
  const RunOutcome r = runRestart(*S, host);
  host.finish();
  if (r.end == RunEnd::Refused || r.end == RunEnd::Failed) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, r.message.c_str());
    return EXIT_FAILED;
  }
  if (!w.taken) return EXIT_STOPPED;  // Ctrl-C before the phase was done

  Observer obs(obsBinaryOf(*S), settings);
  obs.result().firstOrbit = R.IORBIT;
  for (int j = 0; j < NPHASES; ++j) obs.addPhase(static_cast<double>(j) / NPHASES, w.particles, j == 0 ? w.removed : 0.0);
  const std::string out = o.out.empty() ? defaultOut(o.file, R.IORBIT) : o.out;
  if (const std::string e = writeObservations(out, obs.result()); !e.empty()) {
    std::fprintf(stderr, "velmora-cli %s: %s: %s\n", kCmd, out.c_str(), e.c_str());
    return EXIT_FAILED;
  }
  const Observations& res = obs.result();
  std::printf("  wrote %s: %d spectra of %d bins per inclination, emission %s\n", out.c_str(), NPHASES,
              settings.lineBins, emissionName(settings.emission));
  for (std::size_t k = 0; k < settings.inclinations.size(); ++k) {
    const double lo = *std::min_element(res.visible[k].begin(), res.visible[k].end());
    std::printf("  i = %g deg: lowest visible light %.4f of the total (phase %.3f)\n", settings.inclinations[k],
                res.total[0] != 0.0 ? lo / res.total[0] : 1.0,
                static_cast<double>(std::min_element(res.visible[k].begin(), res.visible[k].end()) - res.visible[k].begin()) /
                    NPHASES);
  }
  return EXIT_OK;
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<ObserveCommand>();
  CLI::App* app = parent.add_subcommand(
      kCmd, "See one state of a restart file through a whole orbit: eclipse curves, trailed spectra, Doppler maps");
  app->add_option("FILE", o->file, "Restart file (NAME_rs.vlm)")->required();
  app->add_option("--inclination", o->inclinations, "Inclinations in degrees, e.g. 82,60")->required();
  app->add_option("--line-bins", o->lineBins, "Velocity bins of the spectra and maps, 11..4001 (default 201)");
  app->add_option("--fwhm", o->fwhm, "Instrumental FWHM of the spectra, km/s (default 0)");
  app->add_option("--emission", o->emission,
                  "Light of a particle: dissipation (in the phase that follows the file's state; default), "
                  "density2 or uniform");
  app->add_option("--out", o->out, "The FITS file (default NAME_atORBIT_obs.fits in the current directory)");
  o->threads.add(*app);
  app->add_flag("--quiet", o->quiet, "No progress output");
  auto run = [o]() -> int {
    ObserveSettings s;
    std::string bad;
    if (!parseInclinations(o->inclinations, s.inclinations, bad))
      return usageError(kCmd, "--inclination takes degrees separated by commas (not \"" + bad + "\")");
    s.lineBins = o->lineBins;
    s.fwhm = o->fwhm;
    if (!parseEmission(o->emission, s.emission))
      return usageError(kCmd, "--emission is dissipation, density2 or uniform (not \"" + o->emission + "\")");
    if (const std::string p = s.problem("--inclination", "--line-bins", "--fwhm"); !p.empty()) return usageError(kCmd, p);
    if (!o->threads.valid(kCmd)) return EXIT_USAGE;
    return observe(*o, s);
  };
  return {app, run};
}

const Register reg(13, add);

}  // namespace
}  // namespace velmora::cli
