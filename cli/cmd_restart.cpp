// velmora-cli restart: a run continued from a restart file, as the Restart Control dialog's OK.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/observe_options.h"
#include "cli/registry.h"
#include "cli/run_common.h"
#include "files/files.h"
#include "files/run_provenance.h"
#include "files/restart_file.h"
#include "shell/headless_run.h"
#include "shell/restart_rules.h"

namespace velmora::cli {
namespace {

const char* kCmd = "restart";

struct RestartOptions {
  std::string file, name;
  long long orbits = 0;
  OutputOptions out;
  ThreadsOption threads;
  ObserveOptions observe;
  ForcesOption forces;
  bool quiet = false;
};

// The options as the shared restart settings.
RestartSettings settings(const RestartOptions& o) {
  RestartSettings r;
  r.file = o.file;
  r.name = o.name;
  r.orbits = o.orbits;
  r.out = o.out;
  r.forces = o.forces.scheme();
  r.hasForces = o.forces.given;
  return r;
}

bool validate(const RestartOptions& o) {
  const std::string p = settings(o).problem(OptionSpelling::CommandLine);
  if (!p.empty()) return usageError(kCmd, p), false;
  return o.threads.valid(kCmd);
}

void printStart(const RestartFile& R, const std::string& file, long long orbits) {
  std::printf("Velmora restart from %s\n", file.c_str());
  std::printf("  M1 %.3f Msun   M2 %.3f Msun   h %.4f   alpha %.2f   beta %.2f\n", double(R.M1), double(R.M2),
              double(R.HSPH), double(R.ALPHA), double(R.BETA));
  std::printf("  at orbit %d with %d particles on %d levels; %lld further orbits to orbit %lld\n", R.IORBIT, R.NPART,
              R.NLEVELS, orbits, R.IORBIT + orbits);
}

// The scheme the continued run takes, and the file's where another is stated.
void printForces(ForceScheme f, ForceScheme recorded) {
  if (f == recorded) std::printf("  forces %s\n", forceSchemeName(f));
  else std::printf("  forces %s (the run so far: %s)\n", forceSchemeName(f), forceSchemeName(recorded));
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<RestartOptions>();
  CLI::App* app = parent.add_subcommand(kCmd, "Continue the run stored in a restart file for further orbits");
  app->add_option("FILE", o->file, "Restart file (NAME_rs.vlm)")->required();
  app->add_option("--orbits", o->orbits, "Further orbits to run (0..10000000)")->required();
  app->add_option("--name", o->name, "Base name of the continued run's files, at most 40 characters");
  o->out.add(*app, RestartRules::RES_MAX, "the continued run");
  o->threads.add(*app);
  o->observe.add(*app, "the continued run");
  o->forces.add(*app, "the scheme the run was made with (its record NAME.run.json beside FILE), else sequential");
  app->add_flag("--quiet", o->quiet, "No progress output");

  auto run = [o, app]() -> int {
    o->out.given(*app);
    if (!validate(*o) || !o->forces.valid(kCmd, *app)) return EXIT_USAGE;
    if (!o->observe.valid(*app, kCmd, o->orbits, o->name)) return EXIT_USAGE;

    // The file is read once here to describe it; RESTART reads and checks it again.
    RestartFile R;
    ForceScheme recorded = ForceScheme::Sequential;
    try {
      R = readRestartFile(o->file);
      recorded = recordedForces(o->file);
    } catch (const FileError& e) {
      std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
      return EXIT_FAILED;
    }

    auto S = std::make_unique<Sim>();
    if (const std::string p = settings(*o).prepare(*S); !p.empty()) return usageError(kCmd, p);
    printStart(R, o->file, o->orbits);
    printForces(S->FORCES, recorded);
    printOutputs(*S, R.IORBIT);
    o->threads.apply();
    RunProvenance record;
    record.invocation = commandLine();
    record.parameters = settings(*o).recordParameters();
    const auto observer = o->observe.attach(*S, o->name, R.IORBIT);
    bool observed = true;
    const int rc = runWithHost(kCmd, *S, o->quiet, [&](Sim& sim, HeadlessHost& host) {
      const RunOutcome done = runRestart(sim, host, &record);
      observed = done.end == RunEnd::Refused || finishObserving(kCmd, observer.get());
      return done;
    });
    return rc == EXIT_OK && !observed ? EXIT_FAILED : rc;
  };
  return {app, run};
}

const Register reg(12, add);

}  // namespace
}  // namespace velmora::cli
