// Hydrodynamic passes: density, the pair term with its viscosity, the level weighting of
// FLUID2 and FLUID2ALL, the kick that later particles see, the step estimate, and FLUID1's
// energy update.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/core.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

constexpr int K = 2500;  // table index of the hand-made pairs (q = 1.25)

// Two particles 0.6h apart along x, each in the other's list at index K.
struct Pair {
  std::unique_ptr<Sim> S;
  int a = 0, b = 0;
  Pair(int La, int Lb, float alpha = 1.0f, float beta = 1.0f) : S(test::gasSim(0.025f, alpha, beta)) {
    a = test::addParticle(*S, 0.1f, 0.0f, 0.0f, La);
    b = test::addParticle(*S, 0.1f + 0.015f, 0.0f, 0.0f, Lb);
    test::setList(*S, a, {{b, K}});
    test::setList(*S, b, {{a, K}});
    S->U(b) = 2.0f * S->UINJ;
    S->CS(b) = std::sqrt(S->GGAM1 * S->U(b));
  }
  // Velocities (and drift velocities) along x.
  void moving(float va, float vb) {
    S->VX(a) = S->VHX(a) = va;
    S->VX(b) = S->VHX(b) = vb;
  }
  float prho2(int i) const { return S->GAMMA1 * S->U(i) / (1.0f + (0.0f + S->WTAB(K))); }
};

TEST(Hydro, DensityCountsTheWholeListInOrder) {
  auto S = test::gasSim(0.025f);
  const int i = test::addParticle(*S, 0.1f, 0.0f, 0.0f, 1);
  for (int n = 0; n < 5; ++n) test::addParticle(*S, 0.1f, 0.0f, 0.0f, 2);
  test::setList(*S, i, {{2, 10}, {3, 1500}, {4, 2001}, {5, 3999}, {6, 4001}});
  FLUID1(*S);
  const float sum = (((((0.0f + S->WTAB(10)) + S->WTAB(1500)) + S->WTAB(2001)) + S->WTAB(3999)) + S->WTAB(4001));
  EXPECT_EQ(S->RHO(i), 1.0f + sum);
  EXPECT_EQ(S->PRHO2(i), S->GAMMA1 * S->U(i) / S->RHO(i));
  // Level-2 neighbours count in the density but exert no force in the midpoint pass.
  EXPECT_EQ(S->AHX(i), 0.0f);
  EXPECT_EQ(S->AX(i), S->AGX(i));
}

// Level weighting: particle a (level L) summing over particle b (level Lp).
struct WeightCase {
  const char* name;
  bool all;  // FLUID2ALL (NACT = 8) instead of FLUID2
  int NACT, L, Lp;
  float weight;  // 0: neighbour skipped
};

class HydroWeights : public ::testing::TestWithParam<WeightCase> {};

TEST_P(HydroWeights, PairFactorScaledByLevels) {
  const auto c = GetParam();
  Pair P(c.L, c.Lp);
  Sim& S = *P.S;
  S.NACT = static_cast<I16>(c.NACT);
  P.moving(0.0f, 0.0f);  // at rest: pressure pushes the pair apart, it stays receding
  if (c.all) FLUID2ALL(S);
  else FLUID2(S);
  const float f = (P.prho2(P.a) + P.prho2(P.b)) * S.DWTAB(K);
  EXPECT_EQ(S.AHX(P.a), c.weight == 0.0f ? 0.0f : (S.X(P.b) - S.X(P.a)) * (f * c.weight));
  if (c.all || c.Lp <= c.NACT) EXPECT_GT(S.AHX(P.b), 0.0f);  // b is pushed away from a, toward +x
  else EXPECT_EQ(S.AHX(P.b), 0.0f);                           // an inactive particle is left alone
}

INSTANTIATE_TEST_SUITE_P(
    Table, HydroWeights,
    ::testing::Values(WeightCase{"same_level", false, 2, 1, 1, 1.0f},
                      WeightCase{"higher_neighbour_counts_twice", false, 2, 1, 2, 2.0f},
                      WeightCase{"lower_neighbour_counts_once", false, 2, 2, 1, 1.0f},
                      WeightCase{"inactive_neighbour_skipped", false, 2, 1, 3, 0.0f},
                      WeightCase{"phase_end_three_levels_down_is_a_quarter", true, 8, 4, 1, 0.25f},
                      WeightCase{"phase_end_seven_levels_down", true, 8, 8, 1, 1.0f / 64.0f},
                      WeightCase{"phase_end_higher_neighbour", true, 8, 1, 4, 2.0f},
                      WeightCase{"phase_end_same_level", true, 8, 6, 6, 1.0f}),
    [](const auto& tc) { return std::string(tc.param.name); });

// The pair term with and without viscosity, and the step estimate that follows it.
struct ViscCase {
  const char* name;
  float alpha, beta;
  float vb;        // velocity of b along x (a at rest, b at +x): negative approaches
  bool viscous;    // the viscosity factor applies
};

class HydroViscosity : public ::testing::TestWithParam<ViscCase> {};

TEST_P(HydroViscosity, PairFactorAndStepEstimate) {
  const auto c = GetParam();
  Pair P(1, 1, c.alpha, c.beta);
  Sim& S = *P.S;
  S.NACT = 2;
  P.moving(0.0f, c.vb);
  S.AGX(P.a) = -3.0f;
  FLUID2(S);
  const float pr = P.prho2(P.a) + P.prho2(P.b);
  const float vr = (0.0f - c.vb) * (S.X(P.a) - S.X(P.b)) + (0.0f - 0.0f) * (0.0f - 0.0f) + (0.0f - 0.0f) * (0.0f - 0.0f);
  float f, mumax = 0.0f;
  if (vr < 0.0f) {
    const float mu = vr * S.VISTAB(K) / (S.CS(P.a) + S.CS(P.b));
    mumax = mu;
    f = ((S.BETA * mu + S.ALPHA) * mu + 1.0f) * S.DWTAB(K) * pr;
  } else {
    f = pr * S.DWTAB(K);
  }
  const float pressureOnly = (S.X(P.b) - S.X(P.a)) * (pr * S.DWTAB(K));
  const float ah = (S.X(P.b) - S.X(P.a)) * f;
  EXPECT_EQ(S.AHX(P.a), ah);
  if (c.viscous) EXPECT_LT(S.AHX(P.a), pressureOnly);  // a stronger push away from b
  else EXPECT_EQ(S.AHX(P.a), pressureOnly);

  // Kick and step estimate of a.
  const float ax = ah + -3.0f;
  EXPECT_EQ(S.AX(P.a), ax);
  EXPECT_EQ(S.VX(P.a), 0.0f + S.DTHLEV(1) * ax);
  EXPECT_EQ(S.VHX(P.a), 0.0f + S.DTLEV(1) * ax);
  const float cfla = c.beta == 0.0f ? 2.0f / S.HSPH : (c.alpha + 1.0f) / S.HSPH;
  const float cflb = c.beta == 0.0f ? 0.0f : std::sqrt(c.beta) / S.HSPH;
  EXPECT_EQ(S.CFLA, cfla);
  EXPECT_EQ(S.CFLB, cflb);
  const float sound = S.CS(P.a) * (cfla + cflb * mumax);
  const float accel = std::sqrt(std::sqrt(ax * ax + 0.0f * 0.0f + 0.0f * 0.0f) * S.HINV);
  EXPECT_EQ(S.DTREQ(P.a), S.COURANT / std::max(sound, accel));
}

INSTANTIATE_TEST_SUITE_P(Pairs, HydroViscosity,
                         ::testing::Values(ViscCase{"approaching", 1.0f, 1.0f, -0.3f, true},
                                           ViscCase{"approaching_beta_zero", 1.5f, 0.0f, -0.3f, true},
                                           ViscCase{"approaching_without_viscosity", 0.0f, 0.0f, -0.3f, false},
                                           ViscCase{"receding", 1.0f, 1.0f, 0.3f, false},
                                           ViscCase{"at_rest", 1.0f, 1.0f, 0.0f, false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

// A particle kicked earlier in the pass moves with its new velocity in the later ones' pairs.
TEST(Hydro, LaterParticlesSeeTheEarlierKick) {
  Pair P(1, 1);
  Sim& S = *P.S;
  S.NACT = 2;
  P.moving(0.2f, -0.2f);  // approaching
  S.AGX(P.a) = 50.0f;     // a strong kick of a toward b
  FLUID2(S);
  const float va = S.VX(P.a);
  ASSERT_NE(va, 0.2f);
  const float pr = P.prho2(P.a) + P.prho2(P.b);
  const float vr = (-0.2f - va) * (S.X(P.b) - S.X(P.a)) + 0.0f + 0.0f;
  const float mu = vr * S.VISTAB(K) / (S.CS(P.b) + S.CS(P.a));
  const float f = ((S.BETA * mu + S.ALPHA) * mu + 1.0f) * S.DWTAB(K) * pr;
  EXPECT_EQ(S.AHX(P.b), (S.X(P.a) - S.X(P.b)) * f);
}

// FLUID1's energy update: work form, pairwise form, floor, and the dissipated energy.
TEST(Hydro, MidpointEnergyWorkFormAndFloor) {
  Pair P(1, 1);
  Sim& S = *P.S;
  S.NACT = 1;
  P.moving(0.0f, 0.0f);
  S.U(P.b) = S.UMIN * 1.0001f;  // b recedes (pressure) and has almost no energy left to give
  S.VHX(P.b) = 1.0e3f;          // and runs away fast: both forms fail for it
  S.VX(P.b) = 1.0e3f;
  const float ua = S.U(P.a), ub = S.U(P.b);
  FLUID1(S);
  const float qa = -(S.AHX(P.a) * S.VHX(P.a) + 0.0f * 0.0f + 0.0f * 0.0f);
  EXPECT_EQ(S.U(P.a), ua + S.DT1 * qa);
  EXPECT_EQ(S.CS(P.a), std::sqrt(S.GGAM1 * S.U(P.a)));
  EXPECT_EQ(S.U(P.b), S.UFLOOR);
  EXPECT_EQ(S.CS(P.b), S.CSFLOOR);
  const float qb = (S.UFLOOR - ub) / S.DT1;
  EXPECT_EQ(S.EDISS, 0.0f + ((0.0f + qa) + qb) * S.DT1);
  EXPECT_EQ(S.LEVEL(P.b), 1);
}

TEST(Hydro, MidpointEnergyFallsBackToThePairwiseForm) {
  Pair P(1, 1);
  Sim& S = *P.S;
  S.NACT = 1;
  // Both move together toward -x, a fast: its drift velocity does negative work against the
  // pressure force beyond its energy, but the pair hardly separates.
  const float ua = 1.5f * S.UMIN;
  S.U(P.a) = ua;
  S.CS(P.a) = std::sqrt(S.GGAM1 * ua);
  P.moving(-1.0e3f, -1.0e3f);
  FLUID1(S);
  const float vr = (S.VX(P.a) - S.VX(P.b)) * (S.X(P.a) - S.X(P.b)) + 0.0f + 0.0f;
  float g;
  if (vr < 0.0f) {
    const float mu = vr * S.VISTAB(K) / (S.CS(P.a) + S.CS(P.b));
    g = ((S.BETA * mu + S.ALPHA) * mu + 1.0f) * vr * S.DWTAB(K);
  } else {
    g = vr * S.DWTAB(K);
  }
  const float q = S.PRHO2(P.a) * (0.0f + g);
  ASSERT_GT(ua + S.DT1 * q, S.UMIN);
  EXPECT_EQ(S.U(P.a), ua + S.DT1 * q);
}

}  // namespace
}  // namespace velmora
