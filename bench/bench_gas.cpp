// Speed of the gas passes on the filled 25000-particle disk (bench/make_disks.sh): the full and
// the level-1 neighbour search, the density and force passes, the energy pass, a mover and one
// whole phase of the step loop, each with 1 and 2 threads, with nanoflann's radius search of the
// same pairs as a yardstick. Each benchmark reports pairs per second: neighbour-list entries
// (ordered pairs i, j closer than 2h) of the full search handled per second of the pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <nanoflann.hpp>
#include <string>
#include <vector>

#include "bench/filled_disk.h"
#include "core/threads.h"
#include "core/core.h"
#include "core/hydro.h"
#include "core/kernels.h"

namespace velmora {
namespace {

// The disk as loaded (levels, positions and velocities of a real run at the start of a phase),
// with its full lists and densities worked out.
struct Disk {
  std::unique_ptr<Sim> S;
  std::unique_ptr<Sim> fresh;  // the state as loaded
  long long entries = 0;        // neighbour-list entries
  std::string why;              // why there is no disk

  Disk() {
    S = bench::loadDisk(MAXPART, 1, why);
    if (!S) return;
    Sim& s = *S;
    // The stars at the start of the first phase, where the restart file was written.
    s.IPHASE = 1;
    s.XPRIM = s.XP0(1);
    s.YPRIM = s.YP0(1);
    s.XSEC = s.XS0(1);
    s.YSEC = s.YS0(1);
    s.ICUR = 1;
    s.NACT = s.NLEVELS;
    SORTALL(s);
    FLUID2ALL(s);
    for (int i = 1; i <= s.NPART; ++i) entries += s.NNB(i) - 1;
    fresh = std::make_unique<Sim>(s);
  }

  void restore() { *S = *fresh; }
};

Disk& disk() {
  static Disk d;
  return d;
}

// The disk, with the benchmark's thread count; null (and the benchmark skipped) without it.
Sim* ready(benchmark::State& state) {
  Disk& d = disk();
  if (!d.S) {
    state.SkipWithError(d.why.c_str());
    return nullptr;
  }
  setThreadCount(static_cast<int>(state.range(0)));
  d.restore();
  return d.S.get();
}

void pairRate(benchmark::State& state, long long perIteration) {
  state.counters["pairs/s"] =
      benchmark::Counter(static_cast<double>(perIteration) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["pairs"] = static_cast<double>(perIteration);
}

void BM_SORTALL(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) SORTALL(*s);
  pairRate(state, disk().entries);
}

// The partial search of a level-1 sub-step: lists of the level-1 particles only.
void BM_SORT_level1(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  s->NACT = 1;
  for (auto _ : state) SORT(*s);
  state.counters["active"] = s->NLEV(1);
}

// The yardstick: a k-d tree (leaf size 10) and a radius search of 2h round every particle,
// results unsorted. The tree is built once, outside the timing.
struct Cloud {
  const Sim& S;
  std::size_t kdtree_get_point_count() const { return static_cast<std::size_t>(S.NPART); }
  float kdtree_get_pt(std::size_t i, std::size_t dim) const {
    const long k = static_cast<long>(i) + 1;
    return dim == 0 ? S.X(k) : dim == 1 ? S.Y(k) : S.Z(k);
  }
  template <class Box>
  bool kdtree_get_bbox(Box&) const {
    return false;
  }
};
using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, Cloud>, Cloud, 3, std::uint32_t>;

void BM_nanoflann_radius(benchmark::State& state) {
  Sim* sp = ready(state);
  if (!sp) return;
  const Sim& s = *sp;
  const Cloud cloud{s};
  Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  std::vector<std::pair<std::uint32_t, float>> found;
  found.reserve(MAXNB);
  nanoflann::SearchParams params;
  params.sorted = false;
  long long pairs = 0;
  for (auto _ : state) {
    pairs = 0;
    for (int i = 1; i <= s.NPART; ++i) {
      const float p[3] = {s.X(i), s.Y(i), s.Z(i)};
      tree.radiusSearch(p, s.CUTSQ, found, params);
      pairs += static_cast<long long>(found.size()) - 1;  // less the particle itself
    }
    benchmark::DoNotOptimize(pairs);
  }
  if (pairs != disk().entries) state.SkipWithError("nanoflann found other pairs than the search");
  pairRate(state, disk().entries);
}

// The density sum of FLUID2ALL alone: every particle, every entry of its list.
void BM_density(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) densityAll(*s);
  pairRate(state, disk().entries);
}

// The force pass of FLUID2ALL alone (pair terms, kicks, step estimates); the velocities are put
// back between iterations so that every iteration sees the same gas.
void BM_force(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) {
    forcePass<Nb::All>(*s, passOrder(*s, s->NACT));
    state.PauseTiming();
    disk().restore();
    state.ResumeTiming();
  }
  pairRate(state, disk().entries);
}

void BM_FLUID2ALL(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) {
    FLUID2ALL(*s);
    state.PauseTiming();
    disk().restore();
    state.ResumeTiming();
  }
  pairRate(state, disk().entries);
}

// The time-step control and the energy pass of the last sub-step over every particle.
void BM_TIMESTEP_ENERGYALL(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) {
    TIMESTEP(*s);
    ENERGYALL(*s);
    state.PauseTiming();
    disk().restore();
    state.ResumeTiming();
  }
  pairRate(state, disk().entries);
}

// The mover of the last sub-step: every particle drifted, tested and kicked.
void BM_MOVE2(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) {
    MOVE2(*s, s->NSUB);
    state.PauseTiming();
    disk().restore();
    state.ResumeTiming();
  }
}

// One whole phase of the step loop: 64 sub-steps of moves, searches, passes and level changes.
// Its pair rate counts the entries of one full search per phase.
void BM_STEP_phase(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  for (auto _ : state) {
    bench::runPhases(*s, 1);
    state.PauseTiming();
    disk().restore();
    state.ResumeTiming();
  }
  pairRate(state, disk().entries);
}

// The longest chain of the force pass: a particle waits for every neighbour before it in the
// pass order, so no schedule finishes in fewer than `depth` rounds.
void BM_forceChain(benchmark::State& state) {
  Sim* s = ready(state);
  if (!s) return;
  const int n = passOrder(*s, s->NACT);
  std::vector<int> pos(static_cast<std::size_t>(MAXPART) + 1, -1), depth(static_cast<std::size_t>(n), 0);
  int longest = 0;
  long long sumNear = 0;
  for (auto _ : state) {
    for (int k = 0; k < n; ++k) pos[static_cast<std::size_t>(s->passWork.order[static_cast<std::size_t>(k)])] = k;
    longest = 0;
    sumNear = 0;
    for (int k = 0; k < n; ++k) {
      const int i = s->passWork.order[static_cast<std::size_t>(k)];
      int d = 0;
      for (int j = 1; j < s->NNB(i); ++j) {
        const int p = pos[static_cast<std::size_t>(s->NBLIST(j + 1, i))];
        if (p >= 0 && p < k) {
          d = std::max(d, depth[static_cast<std::size_t>(p)]);
          if (k - p < 32) ++sumNear;
        }
      }
      depth[static_cast<std::size_t>(k)] = d + 1;
      longest = std::max(longest, d + 1);
    }
  }
  state.counters["n"] = n;
  state.counters["depth"] = longest;
  state.counters["near32"] = static_cast<double>(sumNear) / n;
}
void threads(benchmark::internal::Benchmark* b) { b->Arg(1)->Arg(2)->ArgName("threads"); }

// The kernels' paths side by side (1 thread): scalar, SSE, AVX2.
template <void (*Bench)(benchmark::State&)>
void onPath(benchmark::State& state) {
  const auto path = static_cast<VectorPath>(state.range(1));
  if (!setVectorPath(path)) {
    state.SkipWithError("the processor lacks this path");
    return;
  }
  Bench(state);
  setVectorPath(defaultVectorPath());
}
void paths(benchmark::internal::Benchmark* b) {
  b->ArgNames({"threads", "path"})->Args({1, 0})->Args({1, 1})->Args({1, 2});
}

BENCHMARK(BM_SORTALL)->Apply(threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SORT_level1)->Apply(threads)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_nanoflann_radius)->Arg(1)->ArgName("threads")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_density)->Apply(threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_force)->Apply(threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FLUID2ALL)->Apply(threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TIMESTEP_ENERGYALL)->Apply(threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MOVE2)->Apply(threads)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(onPath<BM_SORTALL>)->Name("BM_SORTALL_path")->Apply(paths)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(onPath<BM_force>)->Name("BM_force_path")->Apply(paths)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_forceChain)->Arg(1)->ArgName("threads")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_STEP_phase)->Apply(threads)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace velmora
