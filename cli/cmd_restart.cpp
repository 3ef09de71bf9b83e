// velmora-cli restart: a run continued from a restart file, as the Restart Control dialog's OK.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/registry.h"
#include "cli/run_common.h"
#include "files/files.h"
#include "files/restart_file.h"
#include "shell/file_name_rules.h"
#include "shell/restart_rules.h"

namespace velmora::cli {
namespace {

const char* kCmd = "restart";

struct RestartOptions {
  std::string file, name;
  long long orbits = 0;
  OutputOptions out;
  ThreadsOption threads;
  bool quiet = false;
};

bool validate(const RestartOptions& o) {
  using R = RestartRules;
  if (!inRange(kCmd, "--orbits", static_cast<double>(o.orbits), 0, R::MAX_ORBITS, 0)) return false;
  if (!validName(kCmd, o.name)) return false;
  if (!o.threads.valid(kCmd)) return false;
  return o.out.valid(kCmd, o.orbits, R::RES_MAX, o.name);
}

// The dialog with the options typed into its fields and its boxes checked.
RestartRules dialogFor(const RestartOptions& o, Sim& S) {
  RestartRules d;
  d.opened(S);
  d.orbitsText = std::to_string(o.orbits);
  if (o.out.hasRecord) d.toggleRecord();
  if (o.out.hasLc) d.toggleLightCurve();
  if (o.out.hasRestartEvery) d.toggleRestart();
  d.recStartText = std::to_string(o.out.record);
  d.lcStartText = std::to_string(o.out.lc);
  d.rsEveryText = std::to_string(o.out.restartEvery);
  d.resPos = static_cast<int>(o.out.frameStep);
  return d;
}

void printStart(const RestartFile& R, const std::string& file, long long orbits) {
  std::printf("Velmora restart from %s\n", file.c_str());
  std::printf("  M1 %.3f Msun   M2 %.3f Msun   h %.4f   alpha %.2f   beta %.2f\n", double(R.M1), double(R.M2),
              double(R.HSPH), double(R.ALPHA), double(R.BETA));
  std::printf("  at orbit %d with %d particles on %d levels; %lld further orbits to orbit %lld\n", R.IORBIT, R.NPART,
              R.NLEVELS, orbits, R.IORBIT + orbits);
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<RestartOptions>();
  CLI::App* app = parent.add_subcommand(kCmd, "Continue the run stored in a restart file for further orbits");
  app->add_option("FILE", o->file, "Restart file (NAME_rs.vlm)")->required();
  app->add_option("--orbits", o->orbits, "Further orbits to run (0..10000000)")->required();
  app->add_option("--name", o->name, "Base name of the continued run's files, at most 40 characters");
  o->out.add(*app, RestartRules::RES_MAX, "the continued run");
  o->threads.add(*app);
  app->add_flag("--quiet", o->quiet, "No progress output");

  auto run = [o, app]() -> int {
    o->out.given(*app);
    if (!validate(*o)) return EXIT_USAGE;

    // The file is read once here to describe it; RESTART reads and checks it again.
    RestartFile R;
    try {
      R = readRestartFile(o->file);
    } catch (const FileError& e) {
      std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
      return EXIT_FAILED;
    }

    auto S = std::make_unique<Sim>();
    REINIT(*S);
    S->DATANAME = o->file;
    RunFileName chosen;
    splitRunName(o->file, chosen);  // the title's name; a longer one is cut to the name's length
    S->RUNNAME = chosen.RUNNAME.substr(0, RUNNAME_CHARS);
    S->RUNEXT = chosen.RUNEXT;
    const RestartRules d = dialogFor(*o, *S);
    if (const std::string p = d.problem(); !p.empty()) return usageError(kCmd, p);
    d.accept(*S);
    if (d.needsName()) {
      S->RUNNAME = o->name;
      S->RUNEXT = "vlm";
    }
    printStart(R, o->file, o->orbits);
    printOutputs(*S, R.IORBIT);
    o->threads.apply();
    return runWithHost(kCmd, *S, o->quiet, [](Sim& sim, RunHost& host) { RESTART(sim, host); });
  };
  return {app, run};
}

const Register reg(12, add);

}  // namespace
}  // namespace velmora::cli
