// The random generator: its sequence, seed errors and the uninitialised stop.
#include <gtest/gtest.h>

#include "core/core.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

TEST(Ranmar, FirstNumbersOfSeed1234) {
  auto S = test::newSim();
  I32 ierr = 0;
  RANDOM(*S, 1234, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(RANMAR(*S), 0.65558857f);
  EXPECT_EQ(RANMAR(*S), 0.85247934f);
  EXPECT_EQ(RANMAR(*S), 0.61125392f);
  EXPECT_EQ(S->RANC, S->RANC);  // state advanced without NaN
}

TEST(Ranmar, SameSeedSameSequence) {
  auto a = test::newSim(), b = test::newSim();
  I32 ierr = 0;
  RANDOM(*a, 1234, ierr);
  RANDOM(*b, 1234, ierr);
  for (int i = 0; i < 1000; ++i) {
    const float u = RANMAR(*a);
    ASSERT_EQ(u, RANMAR(*b));
    ASSERT_GE(u, 0.0f);
    ASSERT_LT(u, 1.0f);
  }
}

TEST(Random, SeedOutOfRangeLeavesGeneratorUninitialised) {
  for (I32 seed : {-1, 30082}) {
    auto S = test::newSim();
    I32 ierr = 0;
    RANDOM(*S, seed, ierr);
    EXPECT_EQ(ierr, 1) << seed;
    EXPECT_EQ(S->RANTEST, FALSE4);
    try {
      RANMAR(*S);
      FAIL() << "RANMAR ran without initialisation";
    } catch (const RunError& e) {
      EXPECT_STREQ(e.what(), " Call the init routine (RMARIN) before calling RANMAR");
    }
  }
}

TEST(Random, BoundarySeedsAccepted) {
  for (I32 seed : {0, 30081}) {
    auto S = test::newSim();
    I32 ierr = 0;
    RANDOM(*S, seed, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(S->RANTEST, TRUE4);
  }
}

}  // namespace
}  // namespace velmora
