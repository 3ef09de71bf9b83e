// Level steps, the sub-step schedule and the star tables.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/core.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

std::unique_ptr<Sim> timedSim(I16 levels, bool newRun) {
  auto S = test::newSim();
  S->MU1 = 0.8f;
  S->MU2 = 0.2f;
  S->TWOPI = 6.28318548f;
  S->NEWRUN = newRun ? TRUE4 : FALSE4;
  S->NLEVELS = levels;
  TIMELOOP(*S);
  return S;
}

int powerOfTwoIn(int k) {
  int e = 0;
  while (k % 2 == 0) {
    k /= 2;
    ++e;
  }
  return e;
}

TEST(Timeloop, EightLevelsOfANewRun) {
  auto S = timedSim(3, true);  // a new run always gets 8 levels
  ASSERT_EQ(S->NLEVELS, 8);
  ASSERT_EQ(S->NSUB, 64);
  const std::vector<int> head{2, 3, 2, 4, 2, 3, 2, 5};
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(S->NACTTAB(k), head[static_cast<std::size_t>(k - 1)]);
  for (int k = 1; k <= 64; ++k) EXPECT_EQ(S->NACTTAB(k), 2 + powerOfTwoIn(k)) << k;
  EXPECT_EQ(S->NACTTAB(64), 8);
  for (int k = 1; k < 64; ++k) EXPECT_LT(S->NACTTAB(k), 8);  // the full passes run once per phase

  const float dtphase = 6.28318548f / 200.0f;
  EXPECT_EQ(S->DTPHASE, dtphase);
  EXPECT_EQ(S->DTLEV(1), dtphase / 128.0f);
  EXPECT_EQ(S->DT1, S->DTLEV(1));
  EXPECT_EQ(S->DT1H, 0.5f * S->DT1);
  for (int L = 1; L <= 8; ++L) {
    EXPECT_EQ(S->DTLEV(L), dtphase / static_cast<float>(1 << (8 - L)));
    EXPECT_EQ(S->DTHLEV(L), 0.5f * S->DTLEV(L));
    EXPECT_EQ(S->DT2LEV(L), 2.0f * S->DTLEV(L));
  }
}

struct ScheduleCase {
  I16 levels;
  I16 nsub;
  std::vector<int> nacttab;
};

class FewerLevels : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(FewerLevels, ScheduleOfARestartedRun) {
  const auto& c = GetParam();
  auto S = timedSim(c.levels, false);
  ASSERT_EQ(S->NSUB, c.nsub);
  for (int k = 1; k <= c.nsub; ++k) EXPECT_EQ(S->NACTTAB(k), c.nacttab[static_cast<std::size_t>(k - 1)]) << k;
  EXPECT_EQ(S->DTLEV(c.levels), 6.28318548f / 200.0f);
  EXPECT_EQ(S->DTPHASE, S->DTLEV(c.levels));
}

INSTANTIATE_TEST_SUITE_P(Levels, FewerLevels,
                         ::testing::Values(ScheduleCase{1, 1, {1}}, ScheduleCase{2, 1, {2}},
                                           ScheduleCase{3, 2, {2, 3}}, ScheduleCase{4, 4, {2, 3, 2, 4}},
                                           ScheduleCase{5, 8, {2, 3, 2, 4, 2, 3, 2, 5}}),
                         [](const auto& tc) { return "levels" + std::to_string(tc.param.levels); });

TEST(Timeloop, StarTablesFollowTheOrbit) {
  auto S = timedSim(8, true);
  EXPECT_EQ(S->XP0(1), -S->MU2);
  EXPECT_EQ(S->XS0(1), S->MU1);
  EXPECT_EQ(S->YP0(1), -0.0f);
  EXPECT_EQ(S->COS0(1), 1.0f);
  for (int i : {1, 50, 200}) {
    for (int k : {1, 32, 64}) {
      const float tb = static_cast<float>(i - 1) * S->DTPHASE + static_cast<float>(2 * k) * S->DT1;
      EXPECT_EQ(S->COS2(k, i), std::cos(tb));
      EXPECT_EQ(S->SIN1(k, i), std::sin(tb - S->DT1));
      EXPECT_EQ(S->XP2(k, i), -S->MU2 * std::cos(tb));
      EXPECT_EQ(S->YS1(k, i), S->MU1 * std::sin(tb - S->DT1));
    }
  }
  // The end of the last sub-step of a phase is the start of the next.
  EXPECT_NEAR(S->COS2(64, 1), S->COS0(2), 1e-6);
}

}  // namespace
}  // namespace velmora
