// Binary geometry: L1, the lobe outline and the derived constants.
#include <gtest/gtest.h>

#include <cmath>

#include "core/core.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

struct L1Case {
  float m1, m2, xl1;
};

class LagrangeTest : public ::testing::TestWithParam<L1Case> {};

TEST_P(LagrangeTest, FindsL1) {
  auto S = test::newSim();
  const auto c = GetParam();
  S->MU1 = c.m1 / (c.m1 + c.m2);
  S->MU2 = c.m2 / (c.m1 + c.m2);
  LAGRANGE(*S);
  EXPECT_NEAR(S->XL1, c.xl1, 2e-6);
}

INSTANTIATE_TEST_SUITE_P(Masses, LagrangeTest,
                         ::testing::Values(L1Case{1.0f, 0.5f, 0.237418f}, L1Case{0.8f, 0.2f, 0.438075f},
                                           L1Case{1.0f, 0.1f, 0.626603f}, L1Case{1.0f, 1.0f, 0.0f}),
                         [](const auto& tc) {
                           return test::caseName("m1_" + std::to_string(tc.param.m1) + "_m2_" +
                                                 std::to_string(tc.param.m2));
                         });

TEST(Lagrange, EvaluationCountForHalfMassSecondary) {
  auto S = test::newSim();
  S->MU1 = 1.0f / 1.5f;
  S->MU2 = 0.5f / 1.5f;
  EXPECT_EQ(LAGRANGE(*S), 37);
  // L1 lies 0.570752 separations from the primary.
  EXPECT_NEAR(S->XL1 + S->MU2, 0.570752f, 2e-6);
}

TEST(Setsys, OutlineIsClosedAndSymmetric) {
  auto S = test::newSim();
  S->M1 = 1.0f;
  S->M2 = 0.15f;
  S->HINJ = 0.025f;
  SETSYS(*S);
  EXPECT_EQ(S->YEQ(1), 0.0f);
  EXPECT_EQ(S->YEQ(51), 0.0f);
  EXPECT_EQ(S->YEQ(101), 0.0f);
  EXPECT_EQ(S->XEQ(1), S->XL1);
  EXPECT_EQ(S->XEQ(101), S->XL1);
  EXPECT_EQ(S->XEQ(51), S->XLOBE);
  for (int n = 1; n <= 50; ++n) {
    EXPECT_EQ(S->XEQ(102 - n), S->XEQ(n));
    EXPECT_EQ(S->YEQ(102 - n), -S->YEQ(n));
  }
  // The upper half lies inside the secondary's L1 equipotential, above the axis.
  for (int n = 2; n <= 50; ++n) {
    EXPECT_GT(S->YEQ(n), 0.0f);
    EXPECT_GE(EQUIFUNC(S->YEQ(n), (S->XEQ(n) + S->MU2) * (S->XEQ(n) + S->MU2),
                       (S->XEQ(n) - S->MU1) * (S->XEQ(n) - S->MU1), S->MU2, S->MU1, S->PHIL1),
              0.0f);
  }
  EXPECT_GT(S->XLOBE, S->MU1);
}

TEST(Setsys, DerivedConstantsOfTheDefaults) {
  auto S = test::newSim();
  S->M1 = 1.0f;
  S->M2 = 0.15f;
  S->HINJ = 0.025f;
  S->ALPHA = 1.0f;
  S->BETA = 1.0f;
  SETSYS(*S);
  EXPECT_FLOAT_EQ(S->HSPH, 0.025f);
  EXPECT_FLOAT_EQ(S->HINJ, (S->MU2 + S->XL1) / 90.0f);
  EXPECT_FLOAT_EQ(S->HINJ4, 4 * S->HINJ);
  // Escape limits with h = 0.025: 2.45 in the plane, 0.975 in height.
  EXPECT_FLOAT_EQ(std::sqrt(S->RESCSQ), 2.45f);
  EXPECT_FLOAT_EQ(std::sqrt(S->ZESCSQ), 0.975f);
  EXPECT_FLOAT_EQ(S->ZOFF, 44 * 0.025f);
  EXPECT_FLOAT_EQ(S->CFLA, 2.0f / 0.025f);
  EXPECT_FLOAT_EQ(S->CFLB, 1.0f / 0.025f);
  EXPECT_EQ(S->GAMMA1, 0.00999999f);
  EXPECT_EQ(S->TWOPI, 6.28318548f);
  EXPECT_FLOAT_EQ(S->UMIN, S->UINJ * 1e-8f);
  EXPECT_FLOAT_EQ(S->CINJ, std::sqrt(0.0101f * S->UINJ));
}

TEST(Setsys, BetaZeroIgnoresAlphaInTheStepCoefficients) {
  auto S = test::newSim();
  S->M1 = 1.0f;
  S->M2 = 0.5f;
  S->HINJ = 0.02f;
  S->ALPHA = 1.7f;
  S->BETA = 0.0f;
  SETSYS(*S);
  EXPECT_EQ(S->CFLB, 0.0f);
  EXPECT_EQ(S->CFLA, 2.0f / 0.02f);
}

TEST(Setsys2, KeepsStoredSmoothingLengthAndScalesInjectionEnergy) {
  auto fresh = test::newSim();
  fresh->M1 = 0.9f;
  fresh->M2 = 0.3f;
  fresh->HINJ = 0.02f;
  SETSYS(*fresh);

  auto S = test::newSim();
  S->M1 = 0.9f;
  S->M2 = 0.3f;
  S->HSPH = 0.02f;
  S->TINJ = 0.04f;
  S->IORBIT = 10;
  S->NORBADD = 5;
  SETSYS2(*S);
  EXPECT_EQ(S->NORBEND, 15);
  EXPECT_EQ(S->HSPH, 0.02f);
  EXPECT_EQ(S->TINJ, 0.04f);
  EXPECT_EQ(S->HINJ, fresh->HINJ);
  EXPECT_NEAR(S->UINJ / fresh->UINJ, 2.0f, 1e-5);
  EXPECT_EQ(S->ASEP, fresh->ASEP);
}

}  // namespace
}  // namespace velmora
