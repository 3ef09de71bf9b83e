// A whole orbit of a filled disk continued from its restart file, as `velmora-cli restart
// --orbits 1` runs it, at 5000, 10000 and 25000 particles with 1 and 2 threads, in the
// sequential (synchronous:0) and the synchronous force scheme (synchronous:1) (wall time; the
// disks come from bench/make_disks.sh). Also reports the peak resident size of the process.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/filled_disk.h"
#include "core/threads.h"

namespace velmora {
namespace {

void BM_Orbit(benchmark::State& state) {
  const int particles = static_cast<int>(state.range(0));
  setThreadCount(static_cast<int>(state.range(1)));
  std::string why;
  for (auto _ : state) {
    state.PauseTiming();
    auto S = bench::loadDisk(particles, 1, why);
    if (!S) {
      state.SkipWithError(why.c_str());
      break;
    }
    S->FORCES = state.range(2) != 0 ? ForceScheme::Synchronous : ForceScheme::Sequential;
    state.ResumeTiming();
    bench::runOrbits(*S);
    state.PauseTiming();
    S.reset();
    state.ResumeTiming();
  }
  state.counters["peakRSS_MB"] = bench::peakResidentMB();
}

BENCHMARK(BM_Orbit)
    ->ArgNames({"particles", "threads", "synchronous"})
    ->ArgsProduct({{25000, 10000, 5000}, {1, 2}, {0, 1}})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace velmora
