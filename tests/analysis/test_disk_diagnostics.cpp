// The disk diagnostics with known answers: a synthetic recording of an eccentric disk turning
// at a known rate about the orbiting primary, and a restart state of particles on known orbits.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "analysis/disk_diagnostics.h"
#include "analysis/run_analysis.h"
#include "files/recording.h"
#include "io/binary.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

constexpr double PI = std::numbers::pi, DEG = PI / 180.0;

struct Orbit {
  double a, e, M, peri;  // semi-major axis, eccentricity, mean anomaly, pericentre direction (radians)
};

// Position and velocity relative to a primary of mass mu.
void kepler(const Orbit& o, double mu, double& x, double& y, double& vx, double& vy) {
  double E = o.M;
  for (int i = 0; i < 50; ++i) E -= (E - o.e * std::sin(E) - o.M) / (1.0 - o.e * std::cos(E));
  const double nu = 2.0 * std::atan2(std::sqrt(1 + o.e) * std::sin(E / 2), std::sqrt(1 - o.e) * std::cos(E / 2));
  const double p = o.a * (1 - o.e * o.e), r = p / (1 + o.e * std::cos(nu));
  const double vr = std::sqrt(mu / p) * o.e * std::sin(nu), vt = std::sqrt(mu / p) * (1 + o.e * std::cos(nu));
  const double ang = nu + o.peri;
  x = r * std::cos(ang);
  y = r * std::sin(ang);
  vx = vr * std::cos(ang) - vt * std::sin(ang);
  vy = vr * std::sin(ang) + vt * std::cos(ang);
}

// 40 semi-major axes from 0.12 to 0.315, 50 mean anomalies spread evenly on each.
std::vector<Orbit> disk(double e, double peri, double t, double mu) {
  std::vector<Orbit> d;
  for (int i = 0; i < 40; ++i)
    for (int k = 0; k < 50; ++k) {
      const double a = 0.12 + 0.005 * i;
      const double n = std::sqrt(mu / (a * a * a));  // mean motion; one orbit is 2 pi
      d.push_back({a, e, 2 * PI * (k + 0.5) / 50 + n * 2 * PI * t, peri});
    }
  return d;
}

constexpr double Q = 0.15, MU1 = 1 / (1 + Q), MU2 = Q / (1 + Q);

// A recording from orbit RECSTART 3 to 12 every 7 phases of the disk above with eccentricity
// 0.25, its pericentre turning prograde at `nu` cycles per orbit, and three particles outside
// the primary's lobe (beyond L1, behind the primary, at the secondary).
void writeEccentricRecording(const std::string& name, double nu) {
  LEBuffer b;
  bool first = true;
  for (int orbit = 3; orbit <= 12; ++orbit)
    for (int ph = 1; ph <= 200; ++ph) {
      if (ph != 1 && ph % 7 != 0) continue;
      const double t = (orbit - 1) + ph / 200.0, th = 2 * PI * t;
      const double xp = -MU2 * std::cos(th), yp = -MU2 * std::sin(th), xs = MU1 * std::cos(th), ys = MU1 * std::sin(th);
      std::vector<std::array<double, 3>> pos;
      for (const Orbit& o : disk(0.25, 30 * DEG + 2 * PI * nu * t, t, MU1)) {
        double x, y, vx, vy;
        kepler(o, MU1, x, y, vx, vy);
        pos.push_back({xp + x, yp + y, 0.001});
      }
      for (double r : {0.75, -0.7}) pos.push_back({xp + r * std::cos(th), yp + r * std::sin(th), 0.0});
      pos.push_back({xs, ys, 0.0});
      b.putI32(static_cast<I32>(pos.size()));
      if (first) b.putI32(12);
      for (double v : {xp, yp, xs, ys}) b.putF32(static_cast<float>(v));
      b.putI32(ph);
      if (first) b.putI32(7), b.putI32(3);
      first = false;
      for (const auto& p : pos)
        for (double v : {p[0], p[1], p[2], 1.0, 1.0}) b.putF32(static_cast<float>(v));
      for (int i = 0; i < 2 * (NLOBE + NWDPTS); ++i) b.putF32(0.0f);
    }
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(b.bytes().data()),
                                              static_cast<std::streamsize>(b.bytes().size()));
}

TEST(DiskDiagnostics, PrecessionOfAnEccentricDiskTurningAtAKnownRate) {
  test::TempDir dir;
  writeEccentricRecording("ecc.vlm", 0.04);
  AnalysisOptions o;
  long long lastDone = 0, total = 0;
  o.progress = [&](const AnalysisProgress& p) {
    EXPECT_EQ(p.stage, "recording");
    EXPECT_GE(p.done, lastDone);
    lastDone = p.done, total = p.total;
  };
  const RunAnalysis a = analyseRun("ecc", o);
  EXPECT_EQ(a.qSource, "recording");
  EXPECT_NEAR(a.q, Q, 1e-5);
  EXPECT_EQ(lastDone, total);
  EXPECT_GT(total, 0);
  ASSERT_EQ(a.frames.size(), 10u * 29u);
  EXPECT_NEAR(a.frames.front().time, 2.005, 1e-12);
  EXPECT_NEAR(a.frames[29].time, 3.005, 1e-12);
  EXPECT_NEAR(a.frames.back().time, 11.98, 1e-12);

  for (const DiskSnapshot& d : a.frames) {
    EXPECT_EQ(d.particles, 2003);
    EXPECT_EQ(d.inLobe, 2000);
    EXPECT_NEAR(d.m1, 0.25, 1e-3);  // |<exp(i phi)>| of orbits of eccentricity e is e
    EXPECT_LT(d.m2, 0.1);
    // The m = 1 mode points to the apocentre, opposite the turning pericentre.
    const double apo = std::fmod(30.0 + 360.0 * 0.04 * d.time + 180.0, 360.0);
    EXPECT_NEAR(std::remainder(d.m1PhaseDeg - apo, 360.0), 0.0, 0.5) << d.time;
    EXPECT_LT(d.r10, d.r50);
    EXPECT_LT(d.r50, d.r90);
    EXPECT_GT(d.r10, 0.12 * 0.75);
    EXPECT_LT(d.r90, 0.315 * 1.25);
  }
  ASSERT_TRUE(a.precession.measured) << a.precession.note;
  EXPECT_EQ(a.precession.frames, 290);
  EXPECT_NEAR(a.precession.frequency, 0.04, 0.02 * 0.04);
  EXPECT_NEAR(a.precession.epsilon, 0.04 / 0.96, 0.02 * 0.04 / 0.96);
  EXPECT_LT(a.precession.frequencyError, 0.02 * 0.04);
  EXPECT_NEAR(a.meanM1, 0.25, 1e-3);

  // A fit over part of the frames uses only those.
  o.progress = {};
  o.precessionFrom = 5.0;
  o.precessionTo = 8.0;
  const RunAnalysis part = analyseRun("ecc.vlm", o);
  EXPECT_EQ(part.precession.frames, 3 * 29);
  EXPECT_NEAR(part.precession.from, 5.005, 1e-9);
  EXPECT_NEAR(part.precession.frequency, 0.04, 0.02 * 0.04);
}

TEST(DiskDiagnostics, RadiiAndTheShareBeyondTheResonance) {
  const BinaryReference ref = binaryReference(Q);
  // Particles at radii 0.1, 0.2, ..., 1.0 from a primary at (-MU2, 0), spread round it.
  std::vector<float> X, Y, Z;
  for (int i = 1; i <= 10; ++i) {
    const double r = 0.05 * i, ang = i * 2.0;
    X.push_back(static_cast<float>(-MU2 + r * std::cos(ang)));
    Y.push_back(static_cast<float>(r * std::sin(ang)));
    Z.push_back(0.0f);
  }
  const DiskSnapshot d = measureDisk(ref, X, Y, Z, static_cast<float>(-MU2), 0.0f, 4.5);
  EXPECT_EQ(d.particles, 10);
  int inside = 0, beyond = 0;
  for (int i = 1; i <= 10; ++i)
    if (ref.insidePrimaryLobe(-MU2 + 0.05 * i * std::cos(i * 2.0), 0.05 * i * std::sin(i * 2.0), 0.0))
      ++inside, beyond += 0.05 * i > ref.r31;
  EXPECT_EQ(d.inLobe, inside);
  EXPECT_GE(inside, 8);  // r <= 0.4 lies inside the lobe in every direction
  EXPECT_DOUBLE_EQ(d.beyondR31, static_cast<double>(beyond) / inside);
  EXPECT_NEAR(d.r50, 0.05 * (inside + 1) / 2.0, 1e-6);
  EXPECT_DOUBLE_EQ(d.time, 4.5);

  const DiskSnapshot none = measureDisk(ref, {}, {}, {}, static_cast<float>(-MU2), 0.0f, 0.0);
  EXPECT_EQ(none.inLobe, 0);
  EXPECT_TRUE(std::isnan(none.r50));
  EXPECT_TRUE(std::isnan(none.m1));
}

TEST(DiskDiagnostics, EccentricityOfParticlesOnKnownOrbits) {
  // The restart state at the end of orbit 20: the primary at (-MU2, 0) moving with (0, -MU2).
  // Each particle's drift velocity is half its level's step ahead of its velocity, as the
  // integrator leaves it: VH = v + (DTLEV / 2) (gravity + hydrodynamic acceleration).
  RestartFile R;
  R.M1 = 1.0f;
  R.M2 = 0.15f;
  R.NLEVELS = 8;
  R.IORBIT = 20;
  const std::vector<Orbit> orbits = disk(0.2, 40 * DEG, 0.0, MU1);
  for (std::size_t i = 0; i < orbits.size(); ++i) {
    double x, y, vx, vy;
    kepler(orbits[i], MU1, x, y, vx, vy);
    const double X = x - MU2, Y = y, Z = 0.0;
    const double sx = X - MU1, r1 = std::hypot(x, y), r2 = std::hypot(sx, Y);
    const double ah[3] = {0.01, -0.02, 0.0};
    const double ax = -MU1 * x / (r1 * r1 * r1) - MU2 * sx / (r2 * r2 * r2) + ah[0];
    const double ay = -MU1 * y / (r1 * r1 * r1) - MU2 * Y / (r2 * r2 * r2) + ah[1];
    const auto level = static_cast<I16>(1 + i % 8);
    const double half = 0.5 * (2 * PI / 200) / std::pow(2.0, 8 - level);
    RestartFile::Particle p{};
    p.X = static_cast<float>(X), p.Y = static_cast<float>(Y), p.Z = static_cast<float>(Z);
    p.VHX = static_cast<float>(vx + half * ax);
    p.VHY = static_cast<float>(vy - MU2 + half * ay);
    p.AHX = static_cast<float>(ah[0]), p.AHY = static_cast<float>(ah[1]);
    p.LEVEL = level;
    R.particles.push_back(p);
  }
  // Inside the lobe but leaving the primary; and one at the secondary.
  RestartFile::Particle fast{};
  fast.X = static_cast<float>(-MU2 + 0.2), fast.VHY = 5.0f, fast.LEVEL = 1;
  R.particles.push_back(fast);
  RestartFile::Particle sec{};
  sec.X = static_cast<float>(MU1), sec.LEVEL = 1;
  R.particles.push_back(sec);
  R.NPART = static_cast<I32>(R.particles.size());

  const DiskEccentricity e = restartEccentricity(R, binaryReference(Q));
  EXPECT_EQ(e.particles, 2002);
  EXPECT_EQ(e.inLobe, 2001);
  EXPECT_EQ(e.bound, 2000);
  EXPECT_DOUBLE_EQ(e.time, 20.0);
  EXPECT_NEAR(e.meanE, 0.2, 1e-4);
  EXPECT_NEAR(e.coherentE, 0.2, 1e-4);
  EXPECT_NEAR(e.directionDeg, 40.0, 0.05);
  EXPECT_NEAR(e.disk.m1, 0.2, 1e-3);
  EXPECT_NEAR(e.disk.m1PhaseDeg, 220.0, 0.5);
  int filled = 0;
  for (const EccentricityBin& b : e.bins) {
    EXPECT_NEAR(b.rOut - b.rIn, DiskEccentricity::BIN_WIDTH, 1e-12);
    if (b.count == 0) {
      EXPECT_TRUE(std::isnan(b.meanE));
      continue;
    }
    ++filled;
    EXPECT_NEAR(b.meanE, 0.2, 1e-4) << b.rIn;
    EXPECT_NEAR(b.directionDeg, 40.0, 0.05) << b.rIn;
  }
  EXPECT_GE(filled, 6);  // radii from 0.096 to 0.378
}

}  // namespace
}  // namespace velmora
