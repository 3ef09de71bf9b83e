// The command line's thread count handed to the core.
#include "cli/thread_count.h"

#include <sched.h>

#include <thread>

#include "shell/headless_run.h"

namespace velmora::cli {

int machineThreads() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

std::string threadsProblem(long long n) {
  return rangeProblem("--threads", static_cast<double>(n), 1, MAX_THREADS, 0);
}

void useThreads(int n) {
  // The core's passes run on one thread in this build, so there is nothing to set yet; when
  // they run on several, their thread-count setting is called here with n.
  (void)n;
}

}  // namespace velmora::cli
