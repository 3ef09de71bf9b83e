// Time-step control: promotion and demotion of the completing particles, the drift-velocity
// correction of a change of level, and the work list left for the energy pass.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/core.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

struct LevelCase {
  const char* name;
  int L, NACT;
  double dtreq;  // in units of DTLEV(L); NaN for a step that is not a number
  int M;         // level afterwards
};

class TimestepLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(TimestepLevels, NewLevelAndDriftCorrection) {
  const auto c = GetParam();
  auto S = test::gasSim(0.025f);
  const int i = test::addParticle(*S, 0.1f, 0.0f, 0.0f, c.L);
  S->NACT = static_cast<I16>(c.NACT);
  S->DTREQ(i) = static_cast<float>(c.dtreq * static_cast<double>(S->DTLEV(c.L)));
  S->AX(i) = 3.0f;
  S->AY(i) = -2.0f;
  S->AZ(i) = 0.5f;
  S->VHX(i) = 0.25f;
  S->VHY(i) = 0.5f;
  S->VHZ(i) = -1.0f;
  TIMESTEP(*S);
  EXPECT_EQ(S->LEVEL(i), c.M);
  const float f = S->DTHLEV(c.M) - S->DTHLEV(c.L);
  if (c.M == c.L) {
    EXPECT_EQ(S->VHX(i), 0.25f);
    EXPECT_EQ(S->VHZ(i), -1.0f);
  } else {
    EXPECT_EQ(S->VHX(i), 0.25f + f * 3.0f);
    EXPECT_EQ(S->VHY(i), 0.5f + f * -2.0f);
    EXPECT_EQ(S->VHZ(i), -1.0f + f * 0.5f);
  }
  EXPECT_EQ(S->NTMP, 1);
  EXPECT_EQ(S->TMPLIST(1), i);
  EXPECT_EQ(S->NLEV(c.L), 0);
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Table, TimestepLevels,
    ::testing::Values(LevelCase{"level3_to_1_as_last_resort", 3, 3, 0.3, 1},
                      LevelCase{"level1_never_leaves_downward", 1, 2, 0.1, 1},
                      LevelCase{"double_step_promotes", 2, 3, 2.0, 3},
                      LevelCase{"no_promotion_to_a_level_still_in_its_step", 2, 2, 2.0, 2},
                      LevelCase{"top_level_of_the_call_stays", 5, 5, 100.0, 5},
                      LevelCase{"top_level_of_the_phase_stays", 8, 8, 100.0, 8},
                      LevelCase{"half_step_drops_one", 4, 8, 0.5, 3},
                      LevelCase{"just_under_half_drops_two", 4, 8, 0.49, 2},
                      LevelCase{"just_under_own_step_drops_one", 4, 8, 0.999, 3},
                      LevelCase{"own_step_stays", 4, 8, 1.0, 4},
                      LevelCase{"just_under_double_stays", 4, 8, 1.999, 4},
                      LevelCase{"double_promotes_one_only", 4, 8, 64.0, 5},
                      LevelCase{"not_a_number_stays", 4, 8, NaN, 4}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Timestep, WorkListIsTheCompletingLevelsInOrder) {
  auto S = test::gasSim(0.025f);
  const int levels[] = {3, 1, 2, 1, 4, 3, 2};
  for (int L : levels) test::addParticle(*S, 0.1f, 0.0f, 0.0f, L);
  for (int i = 1; i <= S->NPART; ++i) S->DTREQ(i) = S->DTLEV(S->LEVEL(i));  // no change of level
  S->NACT = 3;
  TIMESTEP(*S);
  ASSERT_EQ(S->NTMP, 6);  // 2 + 2 + 2 particles of levels 1..3
  const int order[] = {2, 4, 3, 7, 1, 6};
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(S->TMPLIST(n), order[n - 1]) << n;
  EXPECT_EQ(S->NLEV(1) + S->NLEV(2) + S->NLEV(3), 0);
  EXPECT_EQ(S->NLEV(4), 1);  // levels above NACT are untouched
  EXPECT_EQ(S->LEVLIST(1, 4), 5);
}

}  // namespace
}  // namespace velmora
