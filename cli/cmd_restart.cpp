// velmora-cli restart: a run continued from a restart file, as the Restart Control dialog's OK.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/registry.h"
#include "cli/run_report.h"
#include "files/files.h"
#include "files/restart_file.h"
#include "shell/RestartRules.h"

namespace velmora::cli {
namespace {

const char* kCmd = "restart";

struct RestartOptions {
  std::string file, name;
  long long orbits = 0, record = 1, frameStep = 1, lc = 1, restartEvery = 1;
  bool hasRecord = false, hasFrameStep = false, hasLc = false, hasRestartEvery = false;
  bool quiet = false;
};

bool validate(const RestartOptions& o) {
  using R = RestartRules;
  const double orbits = static_cast<double>(o.orbits);
  if (!inRange(kCmd, "--orbits", orbits, 0, R::MAX_ORBITS, 0)) return false;
  if (o.hasRecord && !inRange(kCmd, "--record", static_cast<double>(o.record), 1, orbits, 0)) return false;
  if (o.hasFrameStep && !inRange(kCmd, "--frame-step", static_cast<double>(o.frameStep), R::RES_MIN, R::RES_MAX, 0))
    return false;
  if (o.hasFrameStep && !o.hasRecord) return usageError(kCmd, "--frame-step needs --record"), false;
  if (o.hasLc && !inRange(kCmd, "--lc", static_cast<double>(o.lc), 1, orbits, 0)) return false;
  if (o.hasRestartEvery &&
      !inRange(kCmd, "--restart-every", static_cast<double>(o.restartEvery), 1, 2147483647, 0))
    return false;
  if (o.name.size() > 40) return usageError(kCmd, "--name takes at most 40 characters"), false;
  if (o.name.find('/') != std::string::npos)
    return usageError(kCmd, "--name is a base name without a folder (the files go in the current directory)"), false;
  for (const auto& [given, option] : {std::pair{o.hasRecord, "--record"}, std::pair{o.hasLc, "--lc"},
                                      std::pair{o.hasRestartEvery, "--restart-every"}}) {
    if (!given) continue;
    if (const std::string p = outputNeedsName(option, o.name); !p.empty()) return usageError(kCmd, p), false;
  }
  return true;
}

// The dialog with the options typed into its fields and its boxes checked.
RestartRules dialogFor(const RestartOptions& o, Sim& S) {
  RestartRules d;
  d.opened(S);
  d.orbitsText = std::to_string(o.orbits);
  if (o.hasRecord) d.toggleRecord();
  if (o.hasLc) d.toggleLightCurve();
  if (o.hasRestartEvery) d.toggleRestart();
  d.recStartText = std::to_string(o.record);
  d.lcStartText = std::to_string(o.lc);
  d.rsEveryText = std::to_string(o.restartEvery);
  d.resPos = static_cast<int>(o.frameStep);
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
  app->add_option("--record", o->record, "Record from this orbit of the continued run on into NAME.vlm (needs --name)");
  app->add_option("--frame-step", o->frameStep, "Phases between recorded frames, 1..6 (default 1)");
  app->add_option("--lc", o->lc, "Write the light curve from this orbit of the continued run on (needs --name)");
  app->add_option("--restart-every", o->restartEvery,
                  "Replace NAME_rs.vlm whenever the orbit count is a multiple of N (needs --name)");
  app->add_flag("--quiet", o->quiet, "No progress output");

  auto run = [o, app]() -> int {
    o->hasRecord = app->count("--record") > 0;
    o->hasFrameStep = app->count("--frame-step") > 0;
    o->hasLc = app->count("--lc") > 0;
    o->hasRestartEvery = app->count("--restart-every") > 0;
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
    RestartRules::nameFromPath(o->file, S->RUNNAME, S->RUNEXT);
    const RestartRules d = dialogFor(*o, *S);
    if (const std::string p = d.problem(); !p.empty()) return usageError(kCmd, p);
    d.accept(*S);
    if (d.needsName()) {
      S->RUNNAME = o->name;
      S->RUNEXT = "vlm";
    }
    printStart(R, o->file, o->orbits);
    printOutputs(*S, R.IORBIT);
    return runWithHost(kCmd, *S, o->quiet, [](Sim& sim, RunHost& host) { RESTART(sim, host); });
  };
  return {app, run};
}

const Register reg(12, add);

}  // namespace
}  // namespace velmora::cli
