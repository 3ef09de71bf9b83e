// velmora-cli run: a new run with the Disk Setup parameters.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/observe_options.h"
#include "cli/registry.h"
#include "cli/run_common.h"
#include "core/geometry.h"
#include "shell/headless_run.h"

namespace velmora::cli {
namespace {

struct RunOptions {
  double m1 = 1.0, q = 0.15, h = 0.025, alpha = 1.0, beta = 1.0;
  long long orbits = 10, particles = 1000, inj = 10;
  std::string name;
  bool quiet = false;
  OutputOptions out;
  ThreadsOption threads;
  ObserveOptions observe;
  ForcesOption forces;
};

const char* kCmd = "run";

// The options as the shared run settings.
NewRunSettings settings(const RunOptions& o) {
  NewRunSettings r;
  r.m1 = o.m1, r.q = o.q, r.h = o.h, r.alpha = o.alpha, r.beta = o.beta;
  r.orbits = o.orbits, r.particles = o.particles, r.inj = o.inj;
  r.name = o.name;
  r.out = o.out;
  r.forces = o.forces.scheme();
  return r;
}

// Checks every value before anything runs; prints the first problem.
bool validate(const RunOptions& o) {
  const std::string p = settings(o).problem(OptionSpelling::CommandLine);
  if (!p.empty()) return usageError(kCmd, p), false;
  return o.threads.valid(kCmd);
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
  o->observe.add(*app, "the run");
  o->forces.add(*app, "sequential");
  app->add_flag("--quiet", o->quiet, "No progress output");

  auto run = [o, app]() -> int {
    o->out.given(*app);
    if (!validate(*o) || !o->forces.valid(kCmd, *app)) return EXIT_USAGE;
    if (!o->observe.valid(*app, kCmd, o->orbits, o->name)) return EXIT_USAGE;
    const NewRunSettings r = settings(*o);
    const RunParameters p = r.parameters();
    printParameters(p);
    std::printf("  forces %s\n", forceSchemeName(r.forces));

    auto S = std::make_unique<Sim>();
    r.prepare(*S, p);
    printOutputs(*S, 0);
    o->threads.apply();

    RunProvenance record;
    record.invocation = commandLine();
    record.parameters = r.recordParameters();
    const auto observer = o->observe.attach(*S, o->name);
    bool observed = true;
    const int rc = runWithHost(kCmd, *S, o->quiet, [&](Sim& sim, HeadlessHost& host) {
      const RunOutcome done = runNew(sim, host, p, &record);
      observed = done.end == RunEnd::Refused || finishObserving(kCmd, observer.get());
      return done;
    });
    return rc == EXIT_OK && !observed ? EXIT_FAILED : rc;
  };
  return {app, run};
}

const Register reg(10, add);

}  // namespace
}  // namespace velmora::cli
