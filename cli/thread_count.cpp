// The check of the command line's thread count.
#include "cli/thread_count.h"

#include "shell/headless_run.h"

namespace velmora::cli {

std::string threadsProblem(long long n) {
  return rangeProblem("--threads", static_cast<double>(n), 1, MAX_THREADS, 0);
}

}  // namespace velmora::cli
