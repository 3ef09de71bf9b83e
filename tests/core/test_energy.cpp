// Energy equation: the chain work form -> shorter levels -> pairwise form -> shorter
// levels -> floor, the level lists it refills, and the dissipated energy it books.
#include <gtest/gtest.h>

#include <cmath>

#include "core/core.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

// One particle of level L with energy u0, hydrodynamic acceleration (ah, 0, 0), drift
// velocity (vh, 0, 0) and total acceleration (a, 0, 0), handed to the energy pass as the
// time-step control leaves it: in TMPLIST, its level list emptied.
struct Fixture {
  std::unique_ptr<Sim> S = test::gasSim(0.025f);
  int i = 0;
  float UMIN = S->UMIN;

  explicit Fixture(int L) {
    i = test::addParticle(*S, 0.1f, 0.0f, 0.0f, L);
    S->NACT = static_cast<I16>(L);
  }
  Fixture(int L, float u0, float ah, float vh, float a) : Fixture(L) { set(u0, ah, vh, a); }
  void set(float u0, float ah, float vh, float a) {
    S->U(i) = u0;
    S->CS(i) = std::sqrt(S->GGAM1 * u0);
    S->AHX(i) = ah;
    S->VHX(i) = vh;
    S->AX(i) = a;
    S->PRHO2(i) = S->GAMMA1 * u0;
  }
  // A neighbour p at distance dx along x with velocity vx (relative to particle i at rest).
  int neighbour(float dx, float vx, int Lp, int k) {
    const int p = test::addParticle(*S, S->X(i) + dx, 0.0f, 0.0f, Lp);
    S->VX(p) = vx;
    S->NLEV(Lp) = static_cast<I16>(S->NLEV(Lp) - 1);  // not part of this pass
    test::setList(*S, i, {{p, k}});
    return p;
  }
  void toPass() {
    S->NTMP = 1;
    S->TMPLIST(1) = static_cast<I16>(i);
    S->NLEV(S->LEVEL(i)) = 0;
  }
  void expectOnlyInLevel(int L) {
    EXPECT_EQ(S->LEVEL(i), L);
    for (int M = 1; M <= 8; ++M) EXPECT_EQ(S->NLEV(M), M == L ? 1 : 0) << M;
    EXPECT_EQ(S->LEVLIST(1, L), i);
  }
};

TEST(Energy, WorkFormAtTheParticlesLevel) {
  Fixture f(3, 1e-3f, 2.0f, -0.5f, 7.0f);  // q = 1 > 0: heating
  f.toPass();
  Sim& S = *f.S;
  S.EDISS = 0.125f;
  ENERGY(S);
  const float du = -(0.0f * 0.0f + 2.0f * -0.5f + 0.0f * 0.0f) * S.DTLEV(3);
  EXPECT_EQ(S.U(f.i), 1e-3f + du);
  EXPECT_EQ(S.CS(f.i), std::sqrt(S.GGAM1 * S.U(f.i)));
  EXPECT_EQ(S.EDISS, 0.125f + (0.0f + du));
  EXPECT_EQ(S.VHX(f.i), -0.5f);
  f.expectOnlyInLevel(3);
}

TEST(Energy, ExpansionLowersTheDissipatedEnergy) {
  Fixture f(2, 1e-3f, 2.0f, 0.5f, 0.0f);  // q = -1 < 0
  f.toPass();
  ENERGYALL(*f.S);
  EXPECT_LT(f.S->EDISS, 0.0f);
  EXPECT_LT(f.S->U(f.i), 1e-3f);
  f.expectOnlyInLevel(2);
}

TEST(Energy, WorkFormFailsAtOwnLevelAndSucceedsOneLower) {
  Fixture f(3);
  const float UMIN = f.UMIN, DT3 = f.S->DTLEV(3);
  // q = -ah * vh: with u0 = 3 UMIN, a full level-3 step takes 2.5 UMIN (fails), a level-2
  // step about half as much (accepted).
  const float u0 = 3.0f * UMIN, ah = 1.0f, vh = 2.5f * UMIN / DT3, a = 1e-6f;
  f.set(u0, ah, vh, a);
  f.toPass();
  Sim& S = *f.S;
  ENERGY(S);
  const float tau = S.DTHLEV(2) - S.DTHLEV(3);
  const float qp = -(0.0f * (0.0f + tau * 0.0f) + ah * (vh + tau * a) + 0.0f * (0.0f + tau * 0.0f));
  const float dup = qp * S.DTLEV(2);
  EXPECT_EQ(S.U(f.i), u0 + dup);
  EXPECT_GT(S.U(f.i), UMIN);
  EXPECT_EQ(S.VHX(f.i), vh + tau * a);
  EXPECT_EQ(S.EDISS, 0.0f + dup);
  f.expectOnlyInLevel(2);
}

// Work form failing at every level; the neighbour decides what the pairwise form gives.
struct PairwiseCase {
  const char* name;
  float vx;    // neighbour velocity along x (it sits at +x): negative approaches
  int Lp;      // neighbour level (above NACT = 3: skipped by EULER, not by EULERALL)
  bool all;    // ENERGYALL instead of ENERGY
  int level;   // level afterwards (0: floored)
};

class EnergyPairwise : public ::testing::TestWithParam<PairwiseCase> {};

TEST_P(EnergyPairwise, Fallback) {
  const auto c = GetParam();
  Fixture f(3);
  const float u0 = 4.0f * f.UMIN;
  f.set(u0, 1.0f, 1.0f, 0.5f);  // q = -1 per unit time: far too much at every level
  const int p = f.neighbour(0.02f, c.vx, c.Lp, 2500);
  f.toPass();
  Sim& S = *f.S;
  S.CS(p) = S.CINJ;
  const float vhBefore = S.VHX(f.i), csBefore = S.CS(f.i);
  if (c.all) ENERGYALL(S);
  else ENERGY(S);

  // The pairwise rate as the text gives it.
  float q = 0.0f;
  if (c.all || c.Lp <= S.NACT) {
    const float vr = (0.0f - c.vx) * (S.X(f.i) - S.X(p)) + 0.0f + 0.0f;
    float g;
    if (vr < 0.0f) {
      const float mu = vr * S.VISTAB(2500) / (csBefore + S.CS(p));
      g = ((S.BETA * mu + S.ALPHA) * mu + 1.0f) * vr * S.DWTAB(2500);
    } else {
      g = vr * S.DWTAB(2500);
    }
    q = S.PRHO2(f.i) * (0.0f + g);
  }
  if (c.level == 0) {
    EXPECT_EQ(S.U(f.i), S.UFLOOR);
    EXPECT_EQ(S.CS(f.i), S.CSFLOOR);
    EXPECT_EQ(S.EDISS, 0.0f + (S.UFLOOR - u0));
    EXPECT_EQ(S.VHX(f.i), vhBefore + (S.DT1H - S.DTHLEV(3)) * 0.5f);
    f.expectOnlyInLevel(1);
    return;
  }
  const float du = q * S.DTLEV(c.level);
  EXPECT_EQ(S.U(f.i), u0 + du);
  EXPECT_EQ(S.EDISS, 0.0f + du);
  if (c.level == 3) EXPECT_EQ(S.VHX(f.i), vhBefore);
  else EXPECT_EQ(S.VHX(f.i), vhBefore + (S.DTHLEV(c.level) - S.DTHLEV(3)) * 0.5f);
  f.expectOnlyInLevel(c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Chain, EnergyPairwise,
    ::testing::Values(PairwiseCase{"compression_heats_at_own_level", -0.5f, 2, false, 3},
                      PairwiseCase{"inactive_neighbour_skipped", -0.5f, 5, false, 3},
                      PairwiseCase{"every_neighbour_counts_at_phase_end", -0.5f, 5, true, 3},
                      PairwiseCase{"no_relative_motion_gives_zero_rate", 0.0f, 2, false, 3},
                      PairwiseCase{"fast_expansion_ends_on_the_floor", 1e6f, 2, false, 0}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Energy, PairwiseFormAcceptedOnlyAtAShorterLevel) {
  Fixture f(3);
  const float UMIN = f.UMIN;
  const float u0 = 4.0f * UMIN;
  f.set(u0, 1.0f, 1.0f, 0.5f);
  Sim& S = *f.S;
  // A receding neighbour: the pairwise rate is negative. Choose its speed so that a level-3
  // step takes 4.4 UMIN (fails) and a level-2 step half of it (accepted).
  const float dx = 0.02f;
  const float g1 = (-1.0f) * (-dx) * S.DWTAB(2500);  // rate per unit neighbour speed
  const float vx = -4.4f * UMIN / (S.PRHO2(f.i) * g1 * S.DTLEV(3));
  const int p = f.neighbour(dx, vx, 2, 2500);
  f.toPass();
  ENERGY(S);
  const float vr = (0.0f - vx) * (S.X(f.i) - S.X(p)) + 0.0f + 0.0f;
  ASSERT_GE(vr, 0.0f);
  const float q = S.PRHO2(f.i) * (0.0f + vr * S.DWTAB(2500));
  EXPECT_EQ(S.U(f.i), u0 + q * S.DTLEV(2));
  EXPECT_EQ(S.VHX(f.i), 1.0f + (S.DTHLEV(2) - S.DTHLEV(3)) * 0.5f);
  f.expectOnlyInLevel(2);
}

TEST(Energy, LevelOneFloorKeepsTheDriftVelocity) {
  Fixture f(1);
  const float u0 = 2.0f * f.UMIN;
  f.set(u0, 1.0f, 1e6f, 3.0f);
  f.neighbour(0.02f, 1e6f, 1, 2500);  // receding fast: the pairwise form fails too
  f.toPass();
  Sim& S = *f.S;
  ENERGY(S);
  EXPECT_EQ(S.U(f.i), S.UFLOOR);
  EXPECT_EQ(S.CS(f.i), S.CSFLOOR);
  EXPECT_EQ(S.VHX(f.i), 1e6f);
  EXPECT_EQ(S.EDISS, 0.0f + (S.UFLOOR - u0));
  f.expectOnlyInLevel(1);
}

TEST(Energy, ExactlyUminIsRejected) {
  Fixture f(1);
  f.set(f.UMIN, 0.0f, 0.0f, 0.0f);  // no force, no neighbours: every rate is 0
  f.toPass();
  ENERGY(*f.S);
  EXPECT_EQ(f.S->U(f.i), f.S->UFLOOR);
}

TEST(Energy, EmptyWorkListChangesNothing) {
  Fixture f(2, 1e-3f, 2.0f, -0.5f, 7.0f);
  f.S->NTMP = 0;
  f.S->EDISS = 0.5f;
  ENERGYALL(*f.S);
  EXPECT_EQ(f.S->EDISS, 0.5f);
  EXPECT_EQ(f.S->U(f.i), 1e-3f);
  EXPECT_EQ(f.S->NLEV(2), 1);
}

}  // namespace
}  // namespace velmora
