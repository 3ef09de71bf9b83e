// The cost of observing a run (--observe): one phase of observations of a disk of 5000 particles
// at two inclinations (a synthetic disk of Keplerian rings about the white dwarf, no files
// needed), and a whole observed orbit of the filled 5000-particle disk beside BM_Orbit's
// unobserved one (bench/make_disks.sh). The target: observing adds under 5 % to the orbit.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <string>

#include "analysis/fits/run_observer.h"
#include "analysis/observe.h"
#include "bench/filled_disk.h"
#include "core/threads.h"

namespace velmora {
namespace {

std::vector<ObsParticle> syntheticDisk(const ObsBinary& b, int n) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> r(0.05, 0.4), a(0.0, 2 * std::numbers::pi), z(-0.02, 0.02);
  std::vector<ObsParticle> p;
  for (int k = 0; k < n; ++k) {
    const double rr = r(gen), aa = a(gen), vk = std::sqrt(b.ref.MU1 / rr);
    p.push_back({-b.ref.MU2 + rr * std::cos(aa), rr * std::sin(aa), z(gen), -vk * std::sin(aa),
                 vk * std::cos(aa) - b.ref.MU2, 0.0, 1.0});
  }
  return p;
}

void BM_ObservePhase(benchmark::State& state) {
  const ObsBinary b = ObsBinary::make(0.15, 0.014, 600.0, 7064.0);
  ObserveSettings s;
  s.inclinations = {82.0, 60.0};
  s.fwhm = 80.0;
  Observer obs(b, s);
  const auto disk = syntheticDisk(b, static_cast<int>(state.range(0)));
  int j = 0;
  for (auto _ : state) {
    obs.addPhase(j / 200.0, disk);
    if (++j == 200) {  // a fresh observer every orbit keeps the memory flat
      state.PauseTiming();
      obs = Observer(b, s);
      j = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_ObservePhase)->ArgName("particles")->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_OrbitObserved(benchmark::State& state) {
  setThreadCount(static_cast<int>(state.range(0)));
  std::string why;
  ObserveSettings s;
  s.inclinations = {82.0, 60.0};
  s.fwhm = 80.0;
  for (auto _ : state) {
    state.PauseTiming();
    auto S = bench::loadDisk(5000, 1, why);
    if (!S) {
      state.SkipWithError(why.c_str());
      break;
    }
    RunObserver observer(s, "unwritten_obs.fits", 1);
    observer.attach(*S);
    state.ResumeTiming();
    bench::runOrbits(*S);
  }
}
BENCHMARK(BM_OrbitObserved)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace velmora
