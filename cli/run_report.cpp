// The run under the headless host: exit codes, the refused-file message, the summary.
#include "cli/run_report.h"

#include <cstdio>

#include "cli/headless_host.h"
#include "cli/registry.h"
#include "files/file_error.h"
#include "files/files.h"

namespace velmora::cli {
namespace {

void printSummary(const Sim& S, const HeadlessHost& H) {
  const I32 done = S.IORBIT - S.ORB0, wanted = S.NORBEND - S.ORB0;
  if (H.stoppedByUser()) std::printf("Run stopped after %d of %d orbits\n", done, wanted);
  else std::printf("Run complete: %d orbits\n", done);
  if (S.ORB0 != 0) std::printf("  continued from orbit %d to orbit %d\n", S.ORB0, S.IORBIT);
  std::printf("  particles in use %d\n", S.NPART);
  std::printf("  removed: %d accreted, %d escaped, %d returned to the secondary\n", S.NACC, S.NESC, S.NLOST);
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

std::string outputNeedsName(const std::string& option, const std::string& name) {
  if (!name.empty()) return {};
  return option + " writes a file named after the run: give its base name with --name";
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
