// Neighbour grid and search: forward cells, the lists of SORTALL and SORT against a
// brute-force search and against the sweep order worked out pair by pair on 1 and 3 threads,
// the rules for inactive particles, and the capacities of the tables with the fault a sweep
// meets first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "core/core.h"
#include "core/threads.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

using Entry = std::pair<int, int>;  // neighbour, table index
using Lists = std::vector<std::vector<Entry>>;

int nearestIndex(float d2, float scl) { return static_cast<int>(std::lround(std::sqrt(d2) * scl)) + 1; }

float dist2(const Sim& S, int i, int j) {
  const float dx = S.X(i) - S.X(j), dy = S.Y(i) - S.Y(j), dz = S.Z(i) - S.Z(j);
  return dx * dx + dy * dy + dz * dz;
}

bool active(const Sim& S, int i, bool all) { return all || S.LEVEL(i) <= S.NACT; }

// Runs the body on 1 and on 3 threads (more than this machine's cores), every pass shared.
template <class F>
void onThreads(F body) {
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    setThreadCount(threads);
    shareShortPasses(true);
    body();
  }
  setThreadCount(0);
  shareShortPasses(false);
}

// Slab and cell of a particle, as the sweep numbers them.
std::pair<int, int> slabAndCell(const Sim& S, int i) {
  const float XO = S.TWOH + S.XYOFF - S.XPRIM, YO = S.TWOH + S.XYOFF - S.YPRIM;
  const int s = static_cast<int>((S.Z(i) + S.ZOFF) * S.TWOHINV);
  const int ix = static_cast<int>((S.X(i) + XO) * S.TWOHINV), iy = static_cast<int>((S.Y(i) + YO) * S.TWOHINV);
  return {s, (iy - 1) * 100 + ix};
}

// The lists the sweep must produce, built from the definition: slabs upward, cells in
// increasing number, particles in index order within a cell, each particle against the later
// ones of its cell and then the particles of its forward cells in FWDCELL order.
Lists sweepOrder(const Sim& S, bool all) {
  std::map<std::pair<int, int>, std::vector<int>> cells;  // (slab, cell) -> particles
  for (int i = 1; i <= S.NPART; ++i) cells[slabAndCell(S, i)].push_back(i);
  Lists L(static_cast<std::size_t>(S.NPART) + 1);
  auto put = [&](int p, int q, int k) { L[static_cast<std::size_t>(p)].push_back({q, k}); };
  for (const auto& [key, own] : cells) {
    const auto [s, c] = key;
    std::vector<int> cand;
    for (int f = 1; f <= S.NFWD(c); ++f) {
      const int cf = S.FWDCELL(f, c);
      const auto it = cells.find({s + (cf > 10000 ? 1 : 0), cf > 10000 ? cf - 10000 : cf});
      if (it != cells.end()) cand.insert(cand.end(), it->second.begin(), it->second.end());
    }
    for (std::size_t l = 0; l < own.size(); ++l) {
      std::vector<int> later(own.begin() + static_cast<long>(l) + 1, own.end());
      later.insert(later.end(), cand.begin(), cand.end());
      const int p = own[l];
      for (int q : later) {
        const float d2 = dist2(S, p, q);
        if (!(d2 < S.CUTSQ)) continue;
        const int k = nearestIndex(d2, S.TABSCL);
        const bool pa = active(S, p, all), qa = active(S, q, all);
        if (pa) put(p, q, k);
        if (qa) put(q, p, k);
      }
    }
  }
  return L;
}

Lists listsOf(const Sim& S) {
  Lists L(static_cast<std::size_t>(S.NPART) + 1);
  for (int i = 1; i <= S.NPART; ++i)
    for (int j = 2; j <= S.NNB(i); ++j) L[static_cast<std::size_t>(i)].push_back({S.NBLIST(j, i), S.NBKIDX(j, i)});
  return L;
}

// Every pair closer than 2h, found by testing all pairs.
std::vector<std::set<Entry>> bruteForce(const Sim& S) {
  std::vector<std::set<Entry>> B(static_cast<std::size_t>(S.NPART) + 1);
  for (int i = 1; i <= S.NPART; ++i)
    for (int j = 1; j <= S.NPART; ++j) {
      if (i == j) continue;
      const float d2 = dist2(S, i, j);
      if (d2 < S.CUTSQ) B[static_cast<std::size_t>(i)].insert({j, nearestIndex(d2, S.TABSCL)});
    }
  return B;
}

// ---------------------------------------------------------------------------------------
// Forward cells

TEST(Makesort, InteriorCellHasThirteenForwardCellsInOrder) {
  auto S = test::gasSim(0.025f);
  const int i = 50, j = 40, c = i + 100 * (j - 1);
  ASSERT_EQ(S->NFWD(c), 13);
  std::vector<int> want{c + 1, c + 99, c + 100, c + 101};
  for (int dj = -1; dj <= 1; ++dj)
    for (int di = -1; di <= 1; ++di) want.push_back(10000 + c + 100 * dj + di);
  for (int f = 1; f <= 13; ++f) EXPECT_EQ(S->FWDCELL(f, c), want[static_cast<std::size_t>(f - 1)]) << f;
}

struct BorderCase {
  const char* name;
  int i, j, nfwd;
};

class MakesortBorder : public ::testing::TestWithParam<BorderCase> {};

TEST_P(MakesortBorder, FewerForwardCells) {
  const auto c = GetParam();
  auto S = test::gasSim(0.025f);
  const int cell = c.i + 100 * (c.j - 1);
  EXPECT_EQ(S->NFWD(cell), c.nfwd);
  for (int f = 1; f <= S->NFWD(cell); ++f) {
    const int cf = S->FWDCELL(f, cell);
    EXPECT_GT(cf, cell);
    const int flat = (cf - 1) % 10000, fi = flat % 100 + 1, fj = flat / 100 + 1;
    EXPECT_LE(std::abs(fi - c.i), 1);
    EXPECT_LE(std::abs(fj - c.j), 1);
  }
  for (int f = S->NFWD(cell) + 1; f <= 13; ++f) EXPECT_EQ(S->FWDCELL(f, cell), 0);
}

INSTANTIATE_TEST_SUITE_P(Cells, MakesortBorder,
                         ::testing::Values(BorderCase{"top_right_corner", 100, 100, 4},
                                           BorderCase{"row_100", 50, 100, 7}, BorderCase{"column_1", 1, 50, 9},
                                           BorderCase{"column_100", 100, 50, 8},
                                           BorderCase{"bottom_left_corner", 1, 1, 7}, BorderCase{"row_1", 50, 1, 10}),
                         [](const auto& tc) { return std::string(tc.param.name); });

// ---------------------------------------------------------------------------------------
// Lists against the brute force and the sweep order

struct Cloud {
  const char* name;
  int n;
  float x0, x1, y0, y1, z0, z1;  // box, in units of h, about the primary
  bool onLattice;                // positions on multiples of h: many pairs exactly 2h apart
};

void place(Sim& S, const Cloud& c, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> ux(c.x0, c.x1), uy(c.y0, c.y1), uz(c.z0, c.z1);
  std::uniform_int_distribution<int> lev(1, 8);
  const float h = S.HSPH;
  for (int n = 0; n < c.n; ++n) {
    float x = ux(gen), y = uy(gen), z = uz(gen);
    if (c.onLattice) {
      x = std::floor(x);
      y = std::floor(y);
      z = std::floor(z);
    }
    test::addParticle(S, x * h, y * h, z * h, lev(gen));
  }
}

class SearchCloud : public ::testing::TestWithParam<Cloud> {};

TEST_P(SearchCloud, SortallFindsEveryPairOnceInSweepOrder) {
  auto S = test::gasSim(1.0f / 32.0f);  // dyadic h: the lattice distances are exact
  place(*S, GetParam(), 7);
  const auto brute = bruteForce(*S);
  const Lists want = sweepOrder(*S, true);
  onThreads([&] {
    SORTALL(*S);
    const Lists got = listsOf(*S);
    for (int i = 1; i <= S->NPART; ++i) {
      const auto& l = got[static_cast<std::size_t>(i)];
      const std::set<Entry> asSet(l.begin(), l.end());
      ASSERT_EQ(asSet.size(), l.size()) << "a neighbour listed twice for " << i;
      ASSERT_EQ(asSet, brute[static_cast<std::size_t>(i)]) << "particle " << i;
    }
    EXPECT_EQ(got, want);
  });
}

TEST_P(SearchCloud, SortGivesTheActiveParticlesTheirFullLists) {
  auto S = test::gasSim(1.0f / 32.0f);
  place(*S, GetParam(), 11);
  S->NACT = 3;
  const Lists want = sweepOrder(*S, false);
  onThreads([&] {
    SORTALL(*S);
    const Lists full = listsOf(*S);
    SORT(*S);
    const Lists part = listsOf(*S);
    for (int i = 1; i <= S->NPART; ++i) {
      if (S->LEVEL(i) <= S->NACT) ASSERT_EQ(part[static_cast<std::size_t>(i)], full[static_cast<std::size_t>(i)]) << i;
      else ASSERT_EQ(S->NNB(i), 1) << i;
    }
    EXPECT_EQ(part, want);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Clouds, SearchCloud,
    ::testing::Values(Cloud{"dense_ball", 1500, -6, 6, -6, 6, -5, 5, false},
                      Cloud{"one_slab", 700, -10, 10, -10, 10, 0.0f, 1.999f, false},
                      Cloud{"many_slabs", 900, -20, 20, -20, 20, -40, 39.9f, false},
                      Cloud{"grid_border_low", 600, -100, -95, -100, -95, -3, 3, false},
                      Cloud{"grid_border_high", 600, 95, 99.99f, 95, 99.99f, -3, 3, false},
                      Cloud{"lattice", 1200, -8, 8, -8, 8, -6, 6, true}),
    [](const auto& tc) { return std::string(tc.param.name); });

// ---------------------------------------------------------------------------------------
// Pairs placed by hand (h = 1/32, so 2h = 0.0625 and every position below is exact)

constexpr float H = 1.0f / 32.0f;

TEST(Search, PairExactly2hApartIsNotANeighbourButJustInsideIs) {
  auto S = test::gasSim(H);
  test::addParticle(*S, 0.0f, 0.0f, 0.0f);
  test::addParticle(*S, 2 * H, 0.0f, 0.0f);
  test::addParticle(*S, 0.0f, std::nextafter(2 * H, 0.0f), 0.0f);
  SORTALL(*S);
  EXPECT_EQ(S->NNB(2), 1);
  ASSERT_EQ(S->NNB(3), 2);
  EXPECT_EQ(S->NBLIST(2, 3), 1);
  EXPECT_EQ(S->NBKIDX(2, 3), 4001);  // where every table holds 0
  EXPECT_EQ(S->WTAB(4001), 0.0f);
}

TEST(Search, SameCellAndDiagonalCellOfTheSlabAbove) {
  auto S = test::gasSim(H);
  // Particles 1 and 2 share a cell; 3 is in the diagonally adjacent cell of the slab above
  // (cell edges and slab boundaries lie at multiples of 2h).
  test::addParticle(*S, 1.5f * H, 1.5f * H, 1.5f * H);
  test::addParticle(*S, 1.9f * H, 1.2f * H, 1.8f * H);
  test::addParticle(*S, 2.1f * H, 2.1f * H, 2.1f * H);
  SORTALL(*S);
  const Lists L = listsOf(*S);
  ASSERT_EQ(L[1].size(), 2u);
  ASSERT_EQ(L[2].size(), 2u);
  ASSERT_EQ(L[3].size(), 2u);
  // 1 meets 2 (same cell) then 3; 2 meets 3; so 3 lists 1 before 2.
  EXPECT_EQ(L[1][0].first, 2);
  EXPECT_EQ(L[1][1].first, 3);
  EXPECT_EQ(L[2][0].first, 1);
  EXPECT_EQ(L[2][1].first, 3);
  EXPECT_EQ(L[3][0].first, 1);
  EXPECT_EQ(L[3][1].first, 2);
  EXPECT_EQ(L[1][0].second, L[2][0].second);  // the same index in both lists
  EXPECT_EQ(L[1][1].second, L[3][0].second);
  EXPECT_EQ(L[2][1].second, L[3][1].second);
}

TEST(Search, SortAddsInactiveNeighboursOnlyToActiveLists) {
  auto S = test::gasSim(H);
  test::addParticle(*S, 0.0f, 0.0f, 0.0f, 1);
  test::addParticle(*S, 0.5f * H, 0.0f, 0.0f, 2);
  test::addParticle(*S, 0.0f, 0.5f * H, 0.0f, 2);
  S->NACT = 1;
  SORT(*S);
  ASSERT_EQ(S->NNB(1), 3);
  EXPECT_EQ(S->NBLIST(2, 1), 2);
  EXPECT_EQ(S->NBLIST(3, 1), 3);
  EXPECT_EQ(S->NNB(2), 1);  // two inactive particles: their pair is never formed
  EXPECT_EQ(S->NNB(3), 1);
}

// ---------------------------------------------------------------------------------------
// Capacities: the run stops with a message naming the limit and the remedy, before
// anything is written outside a table.

void expectRunError(Sim& S, const std::vector<std::string>& mentions) {
  try {
    SORTALL(S);
    FAIL() << "no error";
  } catch (const RunError& e) {
    const std::string m = e.what();
    for (const auto& w : mentions) EXPECT_NE(m.find(w), std::string::npos) << m;
  }
}

TEST(SearchCapacity, ThreeHundredInACellFitTheThreeHundredAndFirstStops) {
  auto S = test::gasSim(H);
  std::mt19937 gen(3);
  std::uniform_real_distribution<float> u(0.05f * H, 1.95f * H);  // one cell, one slab
  for (int n = 0; n < MAXINCELL; ++n) test::addParticle(*S, u(gen), u(gen), u(gen));
  EXPECT_NO_THROW(SORTALL(*S));
  test::addParticle(*S, H, H, H);
  expectRunError(*S, {"300", "smaller smoothing length", "fewer particles"});
}

// n particles spread over the eight cells round the grid corner (2h, 2h, 0), all within 2h of
// each other.
void cluster(Sim& S, int n) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> u(-0.55f * H, 0.55f * H);
  for (int m = 0; m < n; ++m) test::addParticle(S, 2 * H + u(gen), 2 * H + u(gen), u(gen));
}

// The particle a sweep meets first: lowest slab, then cell, then index.
int firstInSweep(const Sim& S) {
  int first = 1;
  for (int i = 2; i <= S.NPART; ++i)
    if (std::pair{slabAndCell(S, i), i} < std::pair{slabAndCell(S, first), first}) first = i;
  return first;
}

TEST(SearchCapacity, SevenHundredFiftyEntriesFitTheNextStops) {
  auto S = test::gasSim(H);
  cluster(*S, MAXNB);
  SORTALL(*S);
  for (int i = 1; i <= S->NPART; ++i) ASSERT_EQ(S->NNB(i), MAXNB);
  test::addParticle(*S, 2 * H, 2 * H, 0.0f);
  // Every list overflows; the sweep meets the first particle's first, with all of its 750
  // neighbours after it.
  const std::string first = "particle " + std::to_string(firstInSweep(*S)) + " has";
  onThreads([&] { expectRunError(*S, {first, "749 neighbours", "750 entries", "smaller smoothing length", "fewer particles"}); });
}

// A full cell and an overflowing list in one search: the sweep puts a slab into the grid before
// it pairs the slab below, so a full cell in the slab just above the list's particle comes first,
// and one two slabs above comes after.
struct FaultCase {
  const char* name;
  float zcell;  // height of the full cell's particles, in units of h (the list's particle is just below 0)
  const char* first;
};

class SearchFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SearchFaults, TheSweepOrderDecides) {
  auto S = test::gasSim(H);
  cluster(*S, MAXNB + 1);
  std::mt19937 gen(9);
  std::uniform_real_distribution<float> u(0.05f * H, 1.95f * H);
  for (int n = 0; n <= MAXINCELL; ++n) test::addParticle(*S, 40 * H + u(gen), 40 * H + u(gen), GetParam().zcell * H + u(gen));
  onThreads([&] { expectRunError(*S, {GetParam().first}); });
}

INSTANTIATE_TEST_SUITE_P(Faults, SearchFaults,
                         ::testing::Values(FaultCase{"full_cell_one_slab_up", 0.0f, "in one cell"},
                                           FaultCase{"full_cell_two_slabs_up", 2.0f, "749 neighbours"},
                                           FaultCase{"full_cell_below", -4.0f, "in one cell"}),
                         [](const auto& tc) { return std::string(tc.param.name); });

struct OutsideCase {
  const char* name;
  float x, y, z;  // in units of h
};

class SearchOutside : public ::testing::TestWithParam<OutsideCase> {};

TEST_P(SearchOutside, ParticleOutsideTheWindowStops) {
  const auto c = GetParam();
  auto S = test::gasSim(H);
  test::addParticle(*S, 0.0f, 0.0f, 0.0f);
  test::addParticle(*S, c.x * H, c.y * H, c.z * H);
  expectRunError(*S, {"particle 2", "neighbour grid"});
}

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Positions, SearchOutside,
                         ::testing::Values(OutsideCase{"slab_1", 0, 0, -41}, OutsideCase{"slab_42", 0, 0, 40.5f},
                                           OutsideCase{"below_slab_1", 0, 0, -45},
                                           OutsideCase{"left_of_grid", -100.5f, 0, 0},
                                           OutsideCase{"right_of_grid", 100.0f, 0, 0},
                                           OutsideCase{"above_grid", 0, 100.0f, 0}, OutsideCase{"nan", NaN, 0, 0},
                                           OutsideCase{"infinite", 0, 0, std::numeric_limits<float>::infinity()}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(SearchCapacity, EdgesOfTheWindowAreInside) {
  auto S = test::gasSim(H);
  test::addParticle(*S, -100 * H, -100 * H, -40 * H);
  test::addParticle(*S, 99.99f * H, 99.99f * H, 39.99f * H);
  SORTALL(*S);
  EXPECT_EQ(S->NNB(1), 1);
  EXPECT_EQ(S->NNB(2), 1);
}

}  // namespace
}  // namespace velmora
