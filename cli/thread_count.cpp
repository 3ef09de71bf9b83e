// The command line's thread count handed to the core.
#include "cli/thread_count.h"

#include "core/threads.h"
#include "shell/headless_run.h"

namespace velmora::cli {

int machineThreads() { return defaultThreadCount(); }

std::string threadsProblem(long long n) {
  return rangeProblem("--threads", static_cast<double>(n), 1, MAX_THREADS, 0);
}

void useThreads(int n) { setThreadCount(n); }

}  // namespace velmora::cli
