// Kernel tables: the values at the branch change, the ends, the formulas of each branch,
// and the rounding of a distance to a table index.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/core.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

std::unique_ptr<Sim> tables(float h) {
  auto S = test::newSim();
  S->HSPH = h;
  S->HSQ = h * h;
  MAKEKERNEL(*S);
  return S;
}

TEST(Kernel, NoJumpWhereTheBranchesMeet) {
  auto S = tables(0.025f);
  EXPECT_EQ(S->WTAB(2000), 0.25037515f);
  EXPECT_EQ(S->WTAB(2001), 0.24999997f);  // q = 2000 * 0.0005f, a little below 1
  EXPECT_EQ(S->WTAB(2002), 0.24962515f);
  const float g = -0.75f / S->HSQ;  // both branches give -0.75/h^2 at q = 1
  EXPECT_NEAR(S->DWTAB(2000), g, 2e-3f * -g);
  EXPECT_NEAR(S->DWTAB(2001), g, 1e-6f * -g);
  EXPECT_NEAR(S->DWTAB(2002), g, 2e-3f * -g);
}

TEST(Kernel, EndsOfTheTable) {
  auto S = tables(0.025f);
  EXPECT_EQ(S->WTAB(1), 1.0f);
  EXPECT_EQ(S->DWTAB(1), 0.0f);  // not the limits -3/h^2 and -200/h of the formulas
  EXPECT_EQ(S->VISTAB(1), 0.0f);
  EXPECT_EQ(S->WTAB(4001), 0.0f);
  EXPECT_EQ(S->DWTAB(4001), 0.0f);
  EXPECT_EQ(S->VISTAB(4001), 0.0f);
  for (int k = 2; k <= 4000; ++k) {
    ASSERT_LT(S->DWTAB(k), 0.0f) << k;
    ASSERT_GT(S->WTAB(k), 0.0f) << k;
    ASSERT_LT(S->WTAB(k), S->WTAB(k - 1)) << k;
  }
}

// Each entry against the branch formulas worked out in double precision: equal to within the
// rounding of one float.
TEST(Kernel, EntriesFollowTheirBranch) {
  const double h = 0.0173;
  auto S = tables(static_cast<float>(h));
  const double hsq = static_cast<double>(S->HSQ);
  for (int k : {2, 3, 1000, 1999, 2000, 2001, 2500, 3999, 4000}) {
    const double q = (k - 1) * static_cast<double>(0.0005f);
    double w, dw;
    if (k <= 2000) {
      w = 1 - 1.5 * q * q + 0.75 * q * q * q;
      dw = 3.0 / hsq * (0.75 * q - 1);
    } else {
      w = 0.25 * (2 - q) * (2 - q) * (2 - q);
      dw = -0.75 / hsq * (2 - q) * (2 - q) / q;
    }
    const double vis = -2 / (static_cast<double>(static_cast<float>(h)) * (q * q + 0.01));
    EXPECT_NEAR(S->WTAB(k), w, 1e-7 * std::fabs(w) + 1e-12) << k;
    EXPECT_NEAR(S->DWTAB(k), dw, 1e-7 * std::fabs(dw)) << k;
    EXPECT_NEAR(S->VISTAB(k), vis, 1e-7 * std::fabs(vis)) << k;
  }
}

TEST(Kernel, RebuildIsIdenticalAndResetsTheRemovalCounters) {
  auto A = tables(0.021f);
  auto B = tables(0.021f);
  B->NESC = 3;
  B->NACC = 4;
  B->NLOST = 5;
  MAKEKERNEL(*B);
  EXPECT_EQ(std::memcmp(A->WTAB.data(), B->WTAB.data(), sizeof(float) * NKERN), 0);
  EXPECT_EQ(std::memcmp(A->DWTAB.data(), B->DWTAB.data(), sizeof(float) * NKERN), 0);
  EXPECT_EQ(std::memcmp(A->VISTAB.data(), B->VISTAB.data(), sizeof(float) * NKERN), 0);
  EXPECT_EQ(B->NESC + B->NACC + B->NLOST, 0);
}

// Table index of a pair found by the search: nearest integer of r * TABSCL plus one, with
// halves rounded up. h = 125/4096 makes TABSCL = 65536, so these separations give exact
// products.
struct IndexCase {
  const char* name;
  double rTimesScale;  // r * TABSCL
  int k;
};

class KernelIndex : public ::testing::TestWithParam<IndexCase> {};

TEST_P(KernelIndex, RoundsToNearestHalvesUp) {
  const auto c = GetParam();
  auto S = test::gasSim(125.0f / 4096.0f);
  ASSERT_EQ(S->TABSCL, 65536.0f);
  const float r = static_cast<float>(c.rTimesScale / 65536.0);
  ASSERT_EQ(static_cast<double>(r) * 65536.0, c.rTimesScale);
  test::addParticle(*S, 0.0f, 0.0f, 0.0f);
  test::addParticle(*S, r, 0.0f, 0.0f);
  SORTALL(*S);
  ASSERT_EQ(S->NNB(1), 2);
  EXPECT_EQ(S->NBKIDX(2, 1), c.k);
  EXPECT_EQ(S->NBKIDX(2, 2), c.k);
}

INSTANTIATE_TEST_SUITE_P(Pairs, KernelIndex,
                         ::testing::Values(IndexCase{"half", 2000.5, 2002}, IndexCase{"below_half", 2000.25, 2001},
                                           IndexCase{"whole", 2000.0, 2001}, IndexCase{"coincident", 0.0, 1},
                                           IndexCase{"quarter", 0.25, 1}, IndexCase{"first_half", 0.5, 2},
                                           IndexCase{"last_half", 3999.5, 4001}),
                         [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
