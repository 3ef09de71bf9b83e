// Whole runs with the gas: a short default run forms a ring round the primary, its results
// stay bit for bit what they were (the passes keep their order of operations) on every thread
// count and every vector path, and a capacity fault stops the run with its files complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/core.h"
#include "core/kernels.h"
#include "core/threads.h"
#include "files/files.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

std::uint64_t fnv(std::uint64_t h, const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 0x100000001b3ull;
  return h;
}

// The fingerprint of a state after a run: positions, energies, densities, levels, light curve.
std::uint64_t fingerprint(const Sim& S) {
  const auto n = static_cast<std::size_t>(S.NPART);
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const auto* a : {&S.X, &S.Y, &S.Z, &S.U, &S.RHO}) h = fnv(h, a->data(), n * sizeof(float));
  h = fnv(h, S.LEVEL.data(), n * sizeof(I16));
  h = fnv(h, S.EDISSPH.data(), NPHASES * sizeof(float));
  return h;
}
constexpr std::uint64_t FINGERPRINT = 0x59cafc803c9ac164ull;
// The same run with the synchronous force passes.
constexpr std::uint64_t SYNCHRONOUS_FINGERPRINT = 0x048ba9b3248ae2a3ull;

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
  const std::uint64_t h = fingerprint(*S_);
  EXPECT_EQ(h, FINGERPRINT) << std::hex << "0x" << h;
}

// The run of the fingerprint with its files (recording, light curve, restart file), on a thread
// count and a vector path, in a force scheme. Passes of 16 particles or more are shared, so that the short run takes the
// threaded paths of long ones; the settings are put back afterwards.
struct Outcome {
  std::uint64_t hash = 0;
  std::string recording, lightCurve, restart;
};

Outcome fingerprintRun(int threads, VectorPath path, ForceScheme forces = ForceScheme::Sequential,
                       PhaseWatcher* watcher = nullptr) {
  struct Settings {
    Settings(int threads, VectorPath path) {
      setThreadCount(threads);
      shareShortPasses(true);
      EXPECT_TRUE(setVectorPath(path));
    }
    ~Settings() {
      setThreadCount(0);
      shareShortPasses(false);
      setVectorPath(defaultVectorPath());
    }
  } settings(threads, path);
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  REINIT(*S);
  S->HINJ = 0.025f;
  S->NORBTOT = 2;
  S->RUNNAME = "fp";
  S->RECFLAG = S->LCFLAG = S->RSFLAG = TRUE4;
  S->RECSTART = S->LCSTART = S->RSEVERY = 1;
  S->FRAMESTEP = 5;
  S->watcher = watcher;
  S->keepEmission = watcher != nullptr;
  S->FORCES = forces;
  DISKSUB(*S, H, 1.0f, 0.15f, 1.0f, 1.0f, 300, 2, 10, 50, 1);
  return {fingerprint(*S), test::slurp("fp.vlm"), test::slurp("fp_lc.vlm"), test::slurp("fp_rs.vlm")};
}

void expectSame(const Outcome& a, const Outcome& b, std::uint64_t fingerprint = FINGERPRINT) {
  EXPECT_EQ(a.hash, fingerprint) << std::hex << "0x" << a.hash;
  EXPECT_FALSE(a.recording.empty());
  EXPECT_FALSE(a.lightCurve.empty());
  EXPECT_FALSE(a.restart.empty());
  EXPECT_TRUE(a.recording == b.recording) << "recordings differ";
  EXPECT_TRUE(a.lightCurve == b.lightCurve) << "light curves differ";
  EXPECT_TRUE(a.restart == b.restart) << "restart files differ";
}

// 1, 2 and 3 threads (3 on a 2-core machine shakes the scheduling): the same bits and files.
TEST(SameBits, OnEveryThreadCount) {
  const Outcome one = fingerprintRun(1, defaultVectorPath());
  for (int threads : {2, 3}) {
    SCOPED_TRACE(threads);
    expectSame(fingerprintRun(threads, defaultVectorPath()), one);
  }
}

// The synchronous force passes, shared among the threads in whatever order they come free: the
// same bits and files on 1, 2 and 3 threads, and on the scalar path; not those of the sequential
// scheme (a later particle of a pass no longer sees an earlier one's kick).
TEST(SameBits, SynchronousOnEveryThreadCount) {
  const Outcome one = fingerprintRun(1, defaultVectorPath(), ForceScheme::Synchronous);
  EXPECT_NE(one.hash, FINGERPRINT);
  for (int threads : {2, 3}) {
    SCOPED_TRACE(threads);
    expectSame(fingerprintRun(threads, defaultVectorPath(), ForceScheme::Synchronous), one,
               SYNCHRONOUS_FINGERPRINT);
  }
  expectSame(fingerprintRun(2, VectorPath::Scalar, ForceScheme::Synchronous), one, SYNCHRONOUS_FINGERPRINT);
}

// The plain scalar path and each vector path the processor has (SSE, AVX2): the same bits and
// files as each other and as the fingerprint.
TEST(SameBits, OnEveryVectorPath) {
  const Outcome scalar = fingerprintRun(1, VectorPath::Scalar);
  for (VectorPath p : {VectorPath::Sse, VectorPath::Avx2}) {
    if (!hasVectorPath(p)) continue;
    SCOPED_TRACE(vectorPathName(p));
    expectSame(fingerprintRun(1, p), scalar);
  }
  expectSame(scalar, scalar);
}

// A watched run keeps each particle's light of the phase: its parts add up to the phase's
// light-curve sample, and the run's state and files are the bits of the run nobody watches.
TEST(SameBits, WhenEachParticlesLightIsKept) {
  struct Watcher : PhaseWatcher {
    int phases = 0, restartPoints = 0;
    double worst = 0.0;
    void phaseDone(Sim& S) override {
      double sum = S.emissionRemoved, scale = std::abs(S.emissionRemoved);
      S.emissionRemoved = 0.0;
      for (int i = 1; i <= S.NPART; ++i) {
        sum += S.emission(i);
        scale += std::abs(S.emission(i));
        S.emission(i) = 0.0f;
      }
      worst = std::max(worst, std::abs(sum - double(S.EDISSPH(S.IPHASE))) / std::max(scale, 1e-30));
      ++phases;
    }
    void restartPoint(Sim&, RunHost&) override { ++restartPoints; }
  } watcher;
  const Outcome watched = fingerprintRun(2, defaultVectorPath(), ForceScheme::Sequential, &watcher);
  expectSame(watched, fingerprintRun(2, defaultVectorPath()));
  EXPECT_EQ(watcher.phases, 400);
  EXPECT_EQ(watcher.restartPoints, 2);
  EXPECT_LT(watcher.worst, 1e-5);
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
