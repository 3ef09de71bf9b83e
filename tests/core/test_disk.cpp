// Whole runs with the gas: a short default run forms a ring round the primary, its results
// stay bit for bit what they were (the passes keep their order of operations), and a
// capacity fault stops the run with its files complete.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/core.h"
#include "files/files.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

std::uint64_t fnv(std::uint64_t h, const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 0x100000001b3ull;
  return h;
}

// Two orbits of the default system (M1 1.0, q 0.15, h 0.025, alpha = beta = 1) with 300
// particles, run once for the suite.
class DefaultRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    S_ = test::newSim().release();
    test::ScriptedHost H;
    REINIT(*S_);
    S_->HINJ = 0.025f;
    S_->NORBTOT = 2;
    S_->RECSTART = S_->LCSTART = 1;
    DISKSUB(*S_, H, 1.0f, 0.15f, 1.0f, 1.0f, 300, 2, 10, 50, 1);
  }
  static void TearDownTestSuite() {
    delete S_;
    S_ = nullptr;
  }
  static Sim* S_;
};
Sim* DefaultRun::S_ = nullptr;

TEST_F(DefaultRun, GasSettlesIntoARingRoundThePrimary) {
  const Sim& S = *S_;
  ASSERT_EQ(S.IORBIT, 2);
  ASSERT_EQ(S.NPART, 300);
  // Velocity of the primary at the end of the run, to measure the gas's motion about it.
  const float t = static_cast<float>(S.IORBIT) * S.TWOPI;
  const float pvx = S.MU2 * std::sin(t), pvy = -S.MU2 * std::cos(t);
  int prograde = 0, ring = 0;
  float rhoMax = 0.0f;
  for (int i = 1; i <= S.NPART; ++i) {
    const float dx = S.X(i) - S.XPRIM, dy = S.Y(i) - S.YPRIM;
    const float r = std::sqrt(dx * dx + dy * dy);
    const float l = dx * (S.VY(i) - pvy) - dy * (S.VX(i) - pvx);  // angular momentum about the primary
    if (l > 0.0f) ++prograde;
    const float vt = l / r, vcirc = std::sqrt(S.MU1 / r);
    // Inside the primary's lobe (L1 is 0.68 from it) on a nearly circular orbit.
    if (r > 0.05f && r < 0.5f && std::fabs(vt / vcirc - 1.0f) < 0.25f) ++ring;
    rhoMax = std::max(rhoMax, S.RHO(i));
  }
  EXPECT_EQ(prograde, S.NPART);
  EXPECT_GE(ring, S.NPART * 6 / 10) << "particles on circular orbits round the primary";
  EXPECT_LT(S.NACC + S.NESC + S.NLOST, S.NPART) << "the run loses more gas than it keeps";
  EXPECT_GT(rhoMax, 1.5f);  // the particles are in each other's kernels
  int inLevels = 0;
  for (int L = 1; L <= 8; ++L) inLevels += S.NLEV(L);
  EXPECT_EQ(inLevels, S.NPART);
  float heat = 0.0f;
  for (int i = 1; i <= 200; ++i) heat += S.EDISSPH(i);
  EXPECT_GT(heat, 0.0f);  // the light curve: dissipation heats the gas over an orbit
}

// A fingerprint of the state after the run. Any change of an order of operations or of
// summation in the passes changes it; a deliberate change of the physics must update it.
TEST_F(DefaultRun, ResultsStayBitIdentical) {
  const Sim& S = *S_;
  const auto n = static_cast<std::size_t>(S.NPART);
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const auto* a : {&S.X, &S.Y, &S.Z, &S.U, &S.RHO}) h = fnv(h, a->data(), n * sizeof(float));
  h = fnv(h, S.LEVEL.data(), n * sizeof(I16));
  h = fnv(h, S.EDISSPH.data(), NPHASES * sizeof(float));
  EXPECT_EQ(h, 0x59cafc803c9ac164ull) << std::hex << "0x" << h;
}

// Gas crammed into one spot in the middle of a run: the run stops at once with the message,
// and the light curve and restart file of the finished orbit stay as they were.
TEST(DiskCapacity, OverflowStopsTheRunWithItsFilesComplete) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  REINIT(*S);
  S->HINJ = 0.025f;
  S->NORBTOT = 2;
  S->RECSTART = S->LCSTART = S->RSEVERY = 1;
  S->LCFLAG = S->RSFLAG = TRUE4;
  S->RUNNAME = "full";
  DISKSUB(*S, H, 1.0f, 0.15f, 1.0f, 1.0f, 40, 1, 10, 50, 1);
  ASSERT_EQ(S->IORBIT, 1);
  const std::string lc = test::slurp("full_lc.vlm"), rs = test::slurp("full_rs.vlm");
  ASSERT_FALSE(lc.empty());
  ASSERT_FALSE(rs.empty());

  // 750 more particles at rest in a ball of radius 0.45h: too many for one cell.
  const float h = S->HSPH;
  for (int n = 0; n < MAXNB; ++n) {
    const float a = 0.7f * static_cast<float>(n), r = 0.45f * h * static_cast<float>(n % 10) / 10.0f;
    const int i = test::addParticle(*S, 0.3f + r * std::cos(a), r * std::sin(a), 0.3f * r * std::sin(3.0f * a));
    S->VX(i) = S->VY(i) = S->VZ(i) = S->VHX(i) = S->VHY(i) = S->VHZ(i) = 0.0f;
  }
  S->NORBEND = 2;
  try {
    STEP(*S, H, 50, 10);
    FAIL() << "the run went on";
  } catch (const RunError& e) {
    EXPECT_NE(std::string(e.what()).find("at most 300"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("smaller smoothing length"), std::string::npos) << e.what();
  }
  EXPECT_EQ(S->IORBIT, 1);
  EXPECT_EQ(S->IPHASE, 1);
  EXPECT_EQ(test::slurp("full_lc.vlm"), lc);
  EXPECT_EQ(test::slurp("full_rs.vlm"), rs);
}

}  // namespace
}  // namespace velmora
