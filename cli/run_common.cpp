// The run under the headless host on the command line: exit codes, the refused-file message,
// the summary.
#include "cli/run_common.h"

#include <cstdio>

#include "cli/registry.h"
#include "cli/thread_count.h"
#include "core/threads.h"
#include "files/files.h"

namespace velmora::cli {

int runWithHost(const std::string& command, Sim& S, bool quiet,
                const std::function<RunOutcome(Sim&, HeadlessHost&)>& body) {
  HeadlessHost host(S, HeadlessHost::chooseOutput(quiet));
  installStopHandler();
  const RunOutcome r = body(S, host);
  host.finish();
  if (r.end == RunEnd::Refused) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", command.c_str(), r.message.c_str());
    return EXIT_FAILED;
  }
  if (r.end == RunEnd::Failed)
    std::fprintf(stderr, "velmora-cli %s: the run stopped: %s\n", command.c_str(), r.message.c_str());
  std::fputs(runSummary(S, host.stoppedByUser(), host.elapsedSeconds()).c_str(), stdout);
  if (r.end == RunEnd::Failed) return EXIT_FAILED;
  return r.end == RunEnd::Stopped ? EXIT_STOPPED : EXIT_OK;
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
  const std::string p = problem(OptionSpelling::CommandLine, orbits, frameSteps, name);
  return p.empty() || (usageError(cmd, p), false);
}

void ThreadsOption::add(CLI::App& app) {
  app.add_option("--threads", threads, "Threads of the simulation (default: every core, or OMP_NUM_THREADS)");
}

bool ThreadsOption::valid(const std::string& cmd) const {
  if (threads == -1) return true;
  const std::string p = threadsProblem(threads);
  return p.empty() || (usageError(cmd, p), false);
}

void ThreadsOption::apply() const { setThreadCount(static_cast<int>(threads)); }

void ForcesOption::add(CLI::App& app, const std::string& byDefault) {
  app.add_option("--forces", text,
                 "Force passes: sequential (the reference scheme: each particle kicked in turn, one thread) or "
                 "synchronous (every force from the state at the pass's start; shared by all threads); default " +
                     byDefault);
}

bool ForcesOption::valid(const std::string& cmd, const CLI::App& app) {
  given = app.count("--forces") > 0;
  ForceScheme f = ForceScheme::Sequential;
  const std::string p = forcesProblem(OptionSpelling::CommandLine, text, f);
  return p.empty() || (usageError(cmd, p), false);
}

ForceScheme ForcesOption::scheme() const {
  ForceScheme f = ForceScheme::Sequential;
  forceSchemeNamed(text, f);
  return f;
}

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
