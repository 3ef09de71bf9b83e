// Injection at L1, the movers' removal tests and the level bookkeeping of removals.
#include <gtest/gtest.h>

#include "core/core.h"
#include "core/motion.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

std::unique_ptr<Sim> readySim() {
  auto S = test::newSim();
  S->M1 = 1.0f;
  S->M2 = 0.15f;
  S->HINJ = 0.025f;
  S->ALPHA = S->BETA = 1.0f;
  S->NEWRUN = TRUE4;
  SETSYS(*S);
  I32 ierr = 0;
  RANDOM(*S, 1234, ierr);
  TIMELOOP(*S);
  S->IPHASE = 1;
  return S;
}

TEST(Injnew, ParticleAtPhaseZero) {
  auto S = readySim();
  auto R = test::newSim();
  I32 ierr = 0;
  RANDOM(*R, 1234, ierr);
  const float d = RANMAR(*R) * S->HINJ4;
  const float p = (2.0f * RANMAR(*R) - 1.0f) * S->HINJ2;
  const float q = (2.0f * RANMAR(*R) - 1.0f) * S->HINJ2;

  INJNEW(*S, 1);
  ASSERT_EQ(S->NPART, 1);
  EXPECT_EQ(S->NLEV(1), 1);
  EXPECT_EQ(S->LEVLIST(1, 1), 1);
  EXPECT_EQ(S->LEVEL(1), 1);
  EXPECT_EQ(S->X(1), S->XL1 - d);
  EXPECT_EQ(S->Y(1), p);
  EXPECT_EQ(S->Z(1), q);
  EXPECT_EQ(S->VX(1), -S->VINJ - p);
  EXPECT_EQ(S->VY(1), S->XL1 - d);
  EXPECT_EQ(S->VZ(1), 0.0f);
  EXPECT_EQ(S->AX(1), S->AGX(1));
  EXPECT_EQ(S->AHX(1), 0.0f);
  EXPECT_EQ(S->VHX(1), S->VX(1) - S->DT1H * S->AGX(1));
  EXPECT_EQ(S->VHZ(1), -S->DT1H * S->AGZ(1));
  EXPECT_EQ(S->U(1), S->UINJ);
  EXPECT_EQ(S->CS(1), S->CINJ);
  // Gravity pulls the new particle toward the primary (at negative x).
  EXPECT_LT(S->AGX(1), 0.0f);
}

TEST(Injnew, ZeroParticlesOnlySetsTheStars) {
  auto S = readySim();
  S->IPHASE = 7;
  INJNEW(*S, 0);
  EXPECT_EQ(S->NPART, 0);
  EXPECT_EQ(S->NLEV(1), 0);
  EXPECT_EQ(S->XPRIM, S->XP0(7));
  EXPECT_EQ(S->YSEC, S->YS0(7));
}

TEST(Injnew, LastBatchStopsAtTheSlotCapacity) {
  auto S = readySim();
  S->NPART = MAXPART - 3;
  INJNEW(*S, 10);
  EXPECT_EQ(S->NPART, MAXPART);
  EXPECT_EQ(S->NLEV(1), 3);
  INJNEW(*S, 10);
  EXPECT_EQ(S->NPART, MAXPART);
}

// Synthetic limits whose squares are exact, so the boundaries can be hit exactly.
Sim& limits(Sim& S) {
  S.XPRIM = 0.0f;
  S.YPRIM = 0.0f;
  S.XSEC = 1.0f;
  S.YSEC = 0.0f;
  S.ZESCSQ = 0.25f;   // |z| >= 0.5 escapes
  S.RESCSQ = 4.0f;    // 2 from the primary in the plane escapes
  S.RACCSQ = 0.0625f;  // within 0.25 of the primary is accreted
  S.RL2ASQ = 0.0625f;  // within 0.25 of the secondary returns
  return S;
}

struct FateCase {
  const char* what;
  float x, y, z;
  bool full;
  Fate fate;
};

class RemovalTests : public ::testing::TestWithParam<FateCase> {};

TEST_P(RemovalTests, FirstTestThatHoldsDecides) {
  auto S = test::newSim();
  const auto& c = GetParam();
  EXPECT_EQ(removalTest(limits(*S), c.x, c.y, c.z, c.full), c.fate) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, RemovalTests,
    ::testing::Values(FateCase{"z exactly at the escape height", 0.5f, 0.0f, 0.5f, true, Fate::Escaped},
                      FateCase{"z exactly at minus the escape height", 0.5f, 0.0f, -0.5f, true, Fate::Escaped},
                      FateCase{"just below the escape height", 0.5f, 0.0f, 0.49f, true, Fate::Kept},
                      FateCase{"exactly at the escape radius", -2.0f, 0.0f, 0.0f, true, Fate::Escaped},
                      FateCase{"exactly at the accretion radius", 0.0f, 0.25f, 0.0f, true, Fate::Accreted},
                      FateCase{"exactly at the return radius", 1.0f, -0.25f, 0.0f, true, Fate::Returned},
                      FateCase{"drift-only level inside the accretion radius", 0.0f, 0.0f, 0.0f, false, Fate::Kept},
                      FateCase{"drift-only level inside the lobe", 1.0f, 0.0f, 0.0f, false, Fate::Kept},
                      FateCase{"drift-only level escaping in z", 0.0f, 0.0f, 0.6f, false, Fate::Escaped}),
    [](const auto& tc) { return test::caseName(tc.param.what); });

TEST(RemovalTests, OrderWhenSeveralHold) {
  auto S = test::newSim();
  limits(*S);
  S->RACCSQ = 1.0f;  // accretion and return regions now overlap the others
  S->RL2ASQ = 4.0f;
  EXPECT_EQ(removalTest(*S, 0.0f, 0.0f, 0.5f, true), Fate::Escaped);   // escape before accretion
  EXPECT_EQ(removalTest(*S, 0.5f, 0.0f, 0.0f, true), Fate::Accreted);  // accretion before return
  EXPECT_EQ(removalTest(*S, 1.5f, 0.0f, 0.0f, true), Fate::Returned);
}

TEST(Move1, EscapeFromAHigherLevelRefillsTheSlotInLevelOne) {
  auto S = readySim();
  INJNEW(*S, 3);
  // Move particle 2 to level 3, far above the plane, and particle 3 to level 2 on top of the primary.
  S->NLEV(1) = 1;
  S->LEVLIST(1, 1) = 1;
  S->NLEV(3) = 1;
  S->LEVLIST(1, 3) = 2;
  S->LEVEL(2) = 3;
  S->Z(2) = 1.0f;
  S->NLEV(2) = 1;
  S->LEVLIST(1, 2) = 3;
  S->LEVEL(3) = 2;
  S->X(3) = S->XP1(1, 1);
  S->Y(3) = S->YP1(1, 1);
  S->Z(3) = 0.0f;
  S->VHX(3) = S->VHY(3) = S->VHZ(3) = 0.0f;

  MOVE1(*S, 1);
  EXPECT_EQ(S->NESC, 1);
  EXPECT_EQ(S->NACC, 0);  // a drift-only level is not tested for accretion
  EXPECT_EQ(S->NLEV(3), 0);
  EXPECT_EQ(S->NLEV(2), 1);
  EXPECT_EQ(S->NLEV(1), 2);
  EXPECT_EQ(S->LEVLIST(2, 1), 2);
  EXPECT_EQ(S->LEVEL(2), 1);
  EXPECT_LT(std::fabs(S->Z(2)), 2 * S->HINJ2);  // back in the injection box
  EXPECT_EQ(S->NPART, 3);
}

TEST(Move2, AccretionOfACompletingParticle) {
  auto S = readySim();
  INJNEW(*S, 2);
  S->ICUR = 1;
  S->NACT = 2;
  S->X(2) = S->XP2(2, 1);
  S->Y(2) = S->YP2(2, 1);
  S->Z(2) = 0.0f;
  S->VHX(2) = S->VHY(2) = S->VHZ(2) = 0.0f;
  MOVE2(*S, 2);
  EXPECT_EQ(S->NACC, 1);
  EXPECT_EQ(S->NLEV(1), 2);  // level 1's list is not rewritten
  EXPECT_EQ(S->LEVEL(2), 1);
}

}  // namespace
}  // namespace velmora
