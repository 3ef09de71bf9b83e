// Speed of the gas passes on a 25000-particle disk round the primary: the full neighbour
// search, the density and force passes, the energy pass and one whole phase of the step loop,
// with nanoflann's radius search of the same pairs as a yardstick. Each benchmark reports
// pairs per second: neighbour-list entries (ordered pairs i, j closer than 2h) handled per
// second of the pass.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <nanoflann.hpp>
#include <vector>

#include "core/core.h"
#include "core/hydro.h"
#include "core/motion.h"
#include "shell/disk_setup_rules.h"

namespace velmora {
namespace {

// A disk generated the same way every time: 25000 particles on circular orbits round the
// primary between radii 0.1 and 0.45 (uniform in area), about h thick, at the largest
// smoothing length the Disk Setup rules allow for 25000 particles, each on the level its
// own step estimate gives it.
struct Disk {
  std::unique_ptr<Sim> S = std::make_unique<Sim>();
  std::unique_ptr<Sim> fresh = std::make_unique<Sim>();  // the state as generated
  long long entries = 0;                                   // neighbour-list entries

  Disk() {
    Sim& s = *S;
    s.M1 = 1.0f;
    s.M2 = 0.15f;
    s.ALPHA = s.BETA = 1.0f;
    s.HINJ = static_cast<float>(DiskSetupRules::hmaxFor(MAXPART)) / 10000.0f;
    s.NPMAX = MAXPART;
    s.NORBEND = 1;
    s.INJOFF = 1;
    SETUP(s, 1);
    s.IPHASE = 1;
    s.XPRIM = s.XP0(1);
    s.YPRIM = s.YP0(1);
    s.XSEC = s.XS0(1);
    s.YSEC = s.YS0(1);
    const float pvx = s.MU2 * s.SIN0(1), pvy = -s.MU2 * s.COS0(1);  // velocity of the primary
    const float h = s.HSPH;
    for (int i = 1; i <= MAXPART; ++i) {
      const float r = std::sqrt(0.01f + RANMAR(s) * (0.45f * 0.45f - 0.01f));
      const float phi = 6.2831853f * RANMAR(s);
      const float z = (RANMAR(s) + RANMAR(s) - 1.0f) * h;
      const float v = std::sqrt(s.MU1 / r);
      s.NPART = i;
      s.X(i) = s.XPRIM + r * std::cos(phi);
      s.Y(i) = s.YPRIM + r * std::sin(phi);
      s.Z(i) = z;
      s.VHX(i) = pvx - v * std::sin(phi);
      s.VHY(i) = pvy + v * std::cos(phi);
      s.VHZ(i) = 0.0f;
      s.U(i) = s.UINJ * (0.5f + RANMAR(s));
      s.CS(i) = std::sqrt(s.GGAM1 * s.U(i));
      kick(s, i, 0.0f);  // gravity of both stars; the velocity equals the drift velocity
      s.LEVEL(i) = static_cast<I16>(s.NLEVELS);
      s.LEVLIST(i, s.NLEVELS) = static_cast<I16>(i);
    }
    s.NLEV(s.NLEVELS) = static_cast<I16>(MAXPART);
    s.NACT = s.NLEVELS;

    // Levels from the particles' own step estimates, as the time-step control would settle them.
    SORTALL(s);
    FLUID2ALL(s);
    s.NLEV.fill(0);
    for (int i = 1; i <= s.NPART; ++i) {
      int L = s.NLEVELS;
      while (L > 1 && s.DTLEV(L) > s.DTREQ(i)) --L;
      s.LEVEL(i) = static_cast<I16>(L);
      s.NLEV(L) = static_cast<I16>(s.NLEV(L) + 1);
      s.LEVLIST(s.NLEV(L), L) = static_cast<I16>(i);
    }
    SORTALL(s);
    FLUID2ALL(s);
    for (int i = 1; i <= s.NPART; ++i) entries += s.NNB(i) - 1;
    *fresh = s;
  }

  void restore() { *S = *fresh; }
};

Disk& disk() {
  static Disk d;
  return d;
}

void pairRate(benchmark::State& state, long long perIteration) {
  state.counters["pairs/s"] =
      benchmark::Counter(static_cast<double>(perIteration) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["pairs"] = static_cast<double>(perIteration);
}

void BM_SORTALL(benchmark::State& state) {
  Disk& d = disk();
  for (auto _ : state) SORTALL(*d.S);
  pairRate(state, d.entries);
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
  Disk& d = disk();
  d.restore();
  const Sim& s = *d.S;
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
  if (pairs != d.entries) state.SkipWithError("nanoflann found other pairs than the search");
  pairRate(state, d.entries);
}

// The density sum of FLUID2ALL alone: every particle, every entry of its list.
void BM_FLUID2ALL_density(benchmark::State& state) {
  Disk& d = disk();
  d.restore();
  Sim& s = *d.S;
  for (auto _ : state)
    for (int i = 1; i <= s.NPART; ++i) densityOf(s, i);
  pairRate(state, d.entries);
}

// The force pass of FLUID2ALL alone (pair terms, kicks, step estimates); the velocities are put
// back between iterations so that every iteration sees the same gas.
void BM_FLUID2ALL_force(benchmark::State& state) {
  Disk& d = disk();
  d.restore();
  Sim& s = *d.S;
  for (auto _ : state) {
    forcePass<Nb::All>(s);
    state.PauseTiming();
    d.restore();
    state.ResumeTiming();
  }
  pairRate(state, d.entries);
}

void BM_FLUID2ALL(benchmark::State& state) {
  Disk& d = disk();
  d.restore();
  Sim& s = *d.S;
  for (auto _ : state) {
    FLUID2ALL(s);
    state.PauseTiming();
    d.restore();
    state.ResumeTiming();
  }
  pairRate(state, d.entries);
}

// The energy pass of the last sub-step over every particle, after the time-step control.
void BM_ENERGYALL(benchmark::State& state) {
  Disk& d = disk();
  Sim& s = *d.S;
  for (auto _ : state) {
    state.PauseTiming();
    d.restore();
    TIMESTEP(s);
    state.ResumeTiming();
    ENERGYALL(s);
  }
  pairRate(state, d.entries);
}

// A host that lets one phase run and then clicks the stop area.
class OnePhase : public RunHost {
 public:
  std::optional<MouseMsg> takeMessage() override { return MouseMsg{MouseMsg::LeftDown, 0, 700}; }
  void setTitle(const std::string&) override {}
  void sleepMs(int) override {}
  void show(const Sim&, I32, I32, I32, I32) override {}
  void progress(I32, I32) override {}
  void viewSize(I32& w, I32& h) const override {
    w = 650;
    h = 700;
  }
  void warn(const std::string&) override {}
};

// One whole phase of the step loop: 64 sub-steps of moves, searches, passes and level
// changes. Its pair rate counts the entries of one full search per phase.
void BM_STEP_phase(benchmark::State& state) {
  Disk& d = disk();
  Sim& s = *d.S;
  OnePhase host;
  for (auto _ : state) {
    state.PauseTiming();
    d.restore();
    state.ResumeTiming();
    STEP(s, host, 1, 10);
  }
  pairRate(state, d.entries);
}

BENCHMARK(BM_SORTALL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_nanoflann_radius)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FLUID2ALL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FLUID2ALL_density)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FLUID2ALL_force)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ENERGYALL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_STEP_phase)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velmora

