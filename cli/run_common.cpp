// The run under the headless host: exit codes, the refused-file message, the summary.
#include "cli/run_common.h"

#include <cstdio>

#include "cli/headless_host.h"
#include "cli/registry.h"
#include "core/threads.h"
#include "files/files.h"
#include "io/file_error.h"

namespace velmora::cli {
namespace {

void printSummary(const Sim& S, const HeadlessHost& H) {
  const I32 done = S.IORBIT - S.ORB0, wanted = S.NORBEND - S.ORB0;
  if (H.stoppedByUser()) std::printf("Run stopped after %d of %d orbits\n", done, wanted);
  else std::printf("Run complete: %d orbits\n", done);
  if (S.ORB0 != 0) std::printf("  continued from orbit %d to orbit %d\n", S.ORB0, S.IORBIT);
  std::printf("  particles in use %d\n", S.NPART);
  std::printf("  removed: %d accreted, %d escaped, %d returned to the secondary\n", S.NACC, S.NESC, S.NLOST);
  if (S.NPART > 0) {
    float lo = S.RHO(1), hi = S.RHO(1);
    for (int i = 2; i <= S.NPART; ++i) {
      if (S.RHO(i) < lo) lo = S.RHO(i);
      if (S.RHO(i) > hi) hi = S.RHO(i);
    }
    std::printf("  density %.3f to %.3f\n", double(lo), double(hi));
    std::printf("  particles per level (1 to %d):", int(S.NLEVELS));
    for (int L = 1; L <= S.NLEVELS; ++L) std::printf(" %d", int(S.NLEV(L)));
    std::printf("\n");
  }
  std::printf("  threads %d\n", threadCount());
  std::printf("  wall time %.1f s\n", H.elapsedSeconds());
}

}  // namespace

int runWithHost(const std::string& command, Sim& S, bool quiet, const std::function<void(Sim&, RunHost&)>& body) {
  HeadlessHost host(S, HeadlessHost::chooseOutput(quiet));
  installStopHandler();
  try {
    body(S, host);
  } catch (const FileError& e) {
    host.finish();
    std::fprintf(stderr, "velmora-cli %s: %s\n", command.c_str(), e.what());
    return EXIT_FAILED;
  } catch (const RunError& e) {
    host.finish();
    std::fprintf(stderr, "velmora-cli %s: the run stopped: %s\n", command.c_str(), e.what());
    printSummary(S, host);
    return EXIT_FAILED;
  }
  host.finish();
  printSummary(S, host);
  return host.stoppedByUser() ? EXIT_STOPPED : EXIT_OK;
}

bool validName(const std::string& cmd, const std::string& name) {
  if (name.size() > 40) return usageError(cmd, "--name takes at most 40 characters"), false;
  if (name.find('/') != std::string::npos)
    return usageError(cmd, "--name is a base name without a folder (the files go in the current directory)"), false;
  return true;
}

void OutputOptions::add(CLI::App& app, int frameSteps, const std::string& orbitsOf) {
  app.add_option("--record", record, "Record from this orbit of " + orbitsOf + " on into NAME.vlm (needs --name)");
  app.add_option("--frame-step", frameStep,
                 "Phases between recorded frames, 1.." + std::to_string(frameSteps) + " (default 1)");
  app.add_option("--lc", lc, "Write the light curve from this orbit of " + orbitsOf + " on into NAME_lc.vlm (needs --name)");
  app.add_option("--restart-every", restartEvery,
                 "Replace NAME_rs.vlm whenever the orbit count is a multiple of N (needs --name)");
}

void OutputOptions::given(const CLI::App& app) {
  hasRecord = app.count("--record") > 0;
  hasFrameStep = app.count("--frame-step") > 0;
  hasLc = app.count("--lc") > 0;
  hasRestartEvery = app.count("--restart-every") > 0;
}

bool OutputOptions::valid(const std::string& cmd, long long orbits, int frameSteps, const std::string& name) const {
  const double n = static_cast<double>(orbits);
  if (hasRecord && !inRange(cmd, "--record", static_cast<double>(record), 1, n, 0)) return false;
  if (hasFrameStep && !inRange(cmd, "--frame-step", static_cast<double>(frameStep), 1, frameSteps, 0)) return false;
  if (hasFrameStep && !hasRecord) return usageError(cmd, "--frame-step needs --record"), false;
  if (hasLc && !inRange(cmd, "--lc", static_cast<double>(lc), 1, n, 0)) return false;
  if (hasRestartEvery && !inRange(cmd, "--restart-every", static_cast<double>(restartEvery), 1, 2147483647, 0))
    return false;
  for (const auto& [on, option] :
       {std::pair{hasRecord, "--record"}, std::pair{hasLc, "--lc"}, std::pair{hasRestartEvery, "--restart-every"}}) {
    if (on && name.empty())
      return usageError(cmd, std::string(option) + " writes a file named after the run: give its base name with --name"),
             false;
  }
  return true;
}

void ThreadsOption::add(CLI::App& app) {
  app.add_option("--threads", threads, "Threads of the simulation (default: every core, or OMP_NUM_THREADS)");
}

bool ThreadsOption::valid(const std::string& cmd) const {
  return threads == 0 || inRange(cmd, "--threads", static_cast<double>(threads), 1, 1024, 0);
}

void ThreadsOption::apply() const { setThreadCount(static_cast<int>(threads)); }

void printOutputs(const Sim& S, I32 done) {
  if (isTrue(S.RECFLAG))
    std::printf("  recording %s from orbit %d, a frame every %d phase%s\n", recordingName(S).c_str(),
                done + S.RECSTART, S.FRAMESTEP, S.FRAMESTEP == 1 ? "" : "s");
  if (isTrue(S.LCFLAG))
    std::printf("  light curve %s from orbit %d\n", lightCurveName(S).c_str(), done + S.LCSTART);
  if (isTrue(S.RSFLAG))
    std::printf("  restart file %s every %d orbit%s\n", restartName(S).c_str(), S.RSEVERY, S.RSEVERY == 1 ? "" : "s");
  std::fflush(stdout);
}

}  // namespace velmora::cli
