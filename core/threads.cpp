// The thread count of the core's passes.
#include "core/threads.h"

#include <atomic>

#if defined(_OPENMP)
#include <omp.h>
#endif

namespace velmora {
namespace {

std::atomic<int> chosen{0};  // 0: the default
std::atomic<bool> shareAll{false};

}  // namespace

int defaultThreadCount() {
#if defined(_OPENMP)
  const int n = omp_get_max_threads();  // OMP_NUM_THREADS, else every core
  return n >= 1 ? n : 1;
#else
  return 1;
#endif
}

void setThreadCount(int n) { chosen.store(n >= 1 ? n : 0, std::memory_order_relaxed); }

int threadCount() {
  const int n = chosen.load(std::memory_order_relaxed);
  return n >= 1 ? n : defaultThreadCount();
}

int threadsFor(int n, int least) {
  const int T = threadCount();
  if (T < 2) return 1;
  if (shareAll.load(std::memory_order_relaxed) && least > 16) least = 16;
  return n >= least ? T : 1;
}

int threadIndex() {
#if defined(_OPENMP)
  return omp_get_thread_num();
#else
  return 0;
#endif
}

int teamSize() {
#if defined(_OPENMP)
  return omp_get_num_threads();
#else
  return 1;
#endif
}

void shareShortPasses(bool on) { shareAll.store(on, std::memory_order_relaxed); }

}  // namespace velmora
