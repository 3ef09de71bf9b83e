// velmora-cli run: a new run with the Disk Setup parameters.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/registry.h"
#include "cli/run_common.h"
#include "core/core.h"
#include "core/geometry.h"
#include "files/files.h"
#include "shell/disk_setup_rules.h"

namespace velmora::cli {
namespace {

struct RunOptions {
  double m1 = 1.0, q = 0.15, h = 0.025, alpha = 1.0, beta = 1.0;
  long long orbits = 10, particles = 1000, inj = 10;
  std::string name;
  bool quiet = false;
  OutputOptions out;
  ThreadsOption threads;
};

const char* kCmd = "run";

// Checks every value before anything runs; prints the first problem.
bool validate(const RunOptions& o) {
  using R = DiskSetupRules;
  if (!inRange(kCmd, "--m1", o.m1, R::M1_MIN / 100.0, R::M1_MAX / 100.0, 2)) return false;
  if (!inRange(kCmd, "--q", o.q, R::Q_MIN / 100.0, R::Q_MAX / 100.0, 2)) return false;
  if (!inRange(kCmd, "--alpha", o.alpha, R::AB_MIN / 100.0, R::AB_MAX / 100.0, 2)) return false;
  if (!inRange(kCmd, "--beta", o.beta, R::AB_MIN / 100.0, R::AB_MAX / 100.0, 2)) return false;
  if (o.orbits < 1) return usageError(kCmd, "--orbits must be at least 1"), false;
  if (!inRange(kCmd, "--particles", static_cast<double>(o.particles), 1, MAXPART, 0)) return false;
  const double injMax = o.particles < R::MAX_INJ ? static_cast<double>(o.particles) : R::MAX_INJ;
  if (!inRange(kCmd, "--inj", static_cast<double>(o.inj), 1, injMax, 0)) return false;
  const double hmax = R::hmaxFor(o.particles) / 10000.0;
  if (!inRange(kCmd, "--h", o.h, R::H_MIN / 10000.0, hmax, 4)) {
    std::fprintf(stderr, "  (the largest smoothing length for %lld particles is %.4f)\n", o.particles, hmax);
    return false;
  }
  if (!validName(kCmd, o.name)) return false;
  if (!o.threads.valid(kCmd)) return false;
  return o.out.valid(kCmd, o.orbits, 7, o.name);
}

// The dialog with the options put on its sliders and typed into its boxes.
RunParameters dialogParameters(const RunOptions& o) {
  DiskSetupRules d;
  d.m1Pos = static_cast<int>(std::lround(o.m1 * 100));
  d.qPos = static_cast<int>(std::lround(o.q * 100));
  d.alphaPos = static_cast<int>(std::lround(o.alpha * 100));
  d.betaPos = static_cast<int>(std::lround(o.beta * 100));
  d.particlesChanged(o.particles);
  d.injectionsChanged(o.inj);
  d.hPos = static_cast<int>(std::lround(o.h * 10000));
  d.resSlider = static_cast<int>(o.out.frameStep) - 1;  // 0: a frame every phase
  d.recStart = o.out.record;
  d.lcStart = o.out.lc;
  d.rsEvery = o.out.restartEvery;
  d.sliderMoved();
  d.orbits = o.orbits;
  return d.runParameters();
}

void printParameters(const RunParameters& p) {
  float asep = 0, porb = 0, vunit = 0;
  orbitUnits(p.M1, p.M2, lobeRadius(p.M2 / p.M1), asep, porb, vunit);
  std::printf("Velmora run\n");
  std::printf("  M1 %.3f Msun   M2 %.3f Msun   q %.3f\n", double(p.M1), double(p.M2), double(p.M2 / p.M1));
  std::printf("  h %.4f   alpha %.2f   beta %.2f\n", double(p.HINJ), double(p.ALPHA), double(p.BETA));
  std::printf("  orbits %d   particles %d   injected per phase %d\n", p.NORB, p.NPART, p.NINJ);
  std::printf("  separation %.4f Rsun   period %.4f h\n", double(asep), double(porb) / 3600.0);
  std::fflush(stdout);
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<RunOptions>();
  CLI::App* app = parent.add_subcommand(kCmd, "Start a new run with the Disk Setup parameters");
  app->add_option("--m1", o->m1, "Primary mass, solar masses (0.50..1.30, on a 0.01 grid)")->capture_default_str();
  app->add_option("--q", o->q, "Mass ratio M2/M1 (0.01..1.00, on a 0.01 grid)")->capture_default_str();
  app->add_option("--h", o->h, "Smoothing length (0.0080 up to 0.0400, less for more than 1000 particles)")
      ->capture_default_str();
  app->add_option("--alpha", o->alpha, "First viscosity coefficient (0.01..2.00)")->capture_default_str();
  app->add_option("--beta", o->beta, "Second viscosity coefficient (0.01..2.00)")->capture_default_str();
  app->add_option("--orbits", o->orbits, "Orbits to run (at least 1)")->capture_default_str();
  app->add_option("--particles", o->particles, "Particle limit (1..25000)")->capture_default_str();
  app->add_option("--inj", o->inj, "Particles injected per phase (1..10, at most the particle limit)")
      ->capture_default_str();
  app->add_option("--name", o->name, "Base name of the run's files, at most 40 characters");
  o->out.add(*app, 7, "the run");
  o->threads.add(*app);
  app->add_flag("--quiet", o->quiet, "No progress output");

  auto run = [o, app]() -> int {
    o->out.given(*app);
    if (!validate(*o)) return EXIT_USAGE;
    const RunParameters p = dialogParameters(*o);
    printParameters(p);

    auto S = std::make_unique<Sim>();
    REINIT(*S);
    S->HINJ = p.HINJ;
    S->RUNNAME = o->name;
    S->RECFLAG = o->out.hasRecord ? TRUE4 : FALSE4;
    S->LCFLAG = o->out.hasLc ? TRUE4 : FALSE4;
    S->RSFLAG = o->out.hasRestartEvery ? TRUE4 : FALSE4;
    S->RECSTART = p.RECSTART;
    S->LCSTART = p.LCSTART;
    S->RSEVERY = p.RSEVERY;
    S->FRAMESTEP = p.FRAMESTEP;
    S->NORBTOT = p.NORB;
    S->NINJREC = p.NINJ;
    printOutputs(*S, 0);
    o->threads.apply();

    return runWithHost(kCmd, *S, o->quiet, [&p](Sim& sim, RunHost& host) {
      DISKSUB(sim, host, p.M1, p.M2, p.ALPHA, p.BETA, p.NPART, p.NORB, p.NINJ, p.NDISP, 1);
    });
  };
  return {app, run};
}

const Register reg(10, add);

}  // namespace
}  // namespace velmora::cli
