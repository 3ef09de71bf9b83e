// The observables against cases with known answers: a Keplerian ring's map circle and two-horned
// profile, a single point's S-wave, the white dwarf's eclipse by the secondary's lobe (widths,
// the lowest inclination, the equatorial outline's tangent as an independent check), the lobe in
// velocity space, the fast occultation test against the ray test, and the emission conserved.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "analysis/observe.h"

namespace velmora {
namespace {

constexpr double PI = std::numbers::pi;
const ObsBinary kQ015 = ObsBinary::make(0.15, 0.0, 1.0, 1.0);  // velocities in Omega a

// A ring of n equal lights at radius r about the white dwarf, moving on Keplerian circles.
std::vector<ObsParticle> keplerRing(const ObsBinary& b, double r, int n) {
  std::vector<ObsParticle> p;
  const double vk = std::sqrt(b.ref.MU1 / r);
  for (int k = 0; k < n; ++k) {
    const double a = 2.0 * PI * (k + 0.5) / n;
    p.push_back({-b.ref.MU2 + r * std::cos(a), r * std::sin(a), 0.0, -vk * std::sin(a), vk * std::cos(a) - b.ref.MU2,
                 0.0, 1.0});
  }
  return p;
}

double binCentre(const Observations& o, int k) { return -o.vmax + (k + 0.5) * o.dv; }

TEST(Observe, KeplerRingMapIsACircleAboutTheWhiteDwarf) {
  const double r = 0.3, vk = 1.0 / std::sqrt(1.15 * r);
  EXPECT_NEAR(vk, 1.7025, 5e-5);
  for (double incl : {90.0, 60.0, 30.0}) {
    ObserveSettings s;
    s.inclinations = {incl};
    s.lineBins = 401;
    Observer obs(kQ015, s);
    obs.addPhase(0.0, keplerRing(kQ015, r, 3600));
    const Observations& o = obs.result();
    const double si = std::sin(incl * PI / 180.0), k1 = kQ015.ref.MU2 * si;
    double sum = 0.0;
    for (int iy = 0; iy < 401; ++iy)
      for (int ix = 0; ix < 401; ++ix) {
        const double w = o.maps[0][static_cast<std::size_t>(iy * 401 + ix)];
        if (w == 0.0) continue;
        sum += w;
        EXPECT_NEAR(std::hypot(binCentre(o, ix), binCentre(o, iy) + k1), vk * si, 0.75 * o.dv) << incl;
      }
    EXPECT_DOUBLE_EQ(sum, 3600.0);
  }
}

TEST(Observe, KeplerRingProfileHasTwoHornsAboutTheWhiteDwarfsVelocity) {
  const double r = 0.3, vk = std::sqrt(kQ015.ref.MU1 / r);
  for (auto [incl, phase] : {std::pair{60.0, 0.25}, {45.0, 0.75}, {70.0, 0.4}}) {
    const int bins = 801;
    const double vmax = 4.0, si = std::sin(incl * PI / 180.0);
    const std::vector<double> prof =
        lineProfile(kQ015, keplerRing(kQ015, r, 20000), incl, phase, bins, vmax, 0.0, nullptr);
    const double centre = -kQ015.ref.MU2 * si * std::sin(2 * PI * phase), dv = 2 * vmax / bins;
    std::size_t lo = 0, hi = 0;
    for (std::size_t k = 0; k < prof.size(); ++k) {
      const double v = -vmax + (double(k) + 0.5) * dv;
      if (v < centre && prof[k] > prof[lo]) lo = k;
      if (v > centre && prof[k] > prof[hi]) hi = k;
    }
    EXPECT_NEAR(-vmax + (double(lo) + 0.5) * dv, centre - vk * si, 1.5 * dv) << incl;
    EXPECT_NEAR(-vmax + (double(hi) + 0.5) * dv, centre + vk * si, 1.5 * dv) << incl;
    // Optically thin: no light between the horns falls outside them.
    for (std::size_t k = 0; k < prof.size(); ++k) {
      if (std::abs(-vmax + (double(k) + 0.5) * dv - centre) > vk * si + 1.5 * dv) {
        EXPECT_EQ(prof[k], 0.0);
      }
    }
  }
}

TEST(Observe, SinglePointTracesAnSWave) {
  struct Case {
    double vx, vy, incl;
  };
  for (const Case c : {Case{0.0, 1.0, 90.0}, {-0.8, 0.6, 82.0}, {0.5, -1.2, 60.0}, {-1.5, -0.2, 30.0}}) {
    const ObsParticle p{-0.6, 0.0, 0.3, c.vx, c.vy, 0.0, 1.0};  // far from the lobe, never hidden
    const int bins = 1001;
    const double vmax = 4.0, dv = 2 * vmax / bins, si = std::sin(c.incl * PI / 180.0);
    std::vector<double> vr;
    for (int j = 0; j < 200; ++j) {
      const std::vector<double> prof = lineProfile(kQ015, {p}, c.incl, j / 200.0, bins, vmax, 0.0, nullptr);
      std::size_t k = 0;
      for (std::size_t m = 0; m < prof.size(); ++m)
        if (prof[m] > 0) k = m;
      vr.push_back(-vmax + (double(k) + 0.5) * dv);
    }
    double amp = 0.0;
    for (double v : vr) amp = std::max(amp, std::abs(v));
    EXPECT_NEAR(amp, std::hypot(c.vx, c.vy) * si, dv);
    // Blue to red: the phase where V_R rises through zero.
    double cross = -1.0;
    for (std::size_t j = 0; j < 200; ++j)
      if (vr[j] < 0 && vr[(j + 1) % 200] >= 0) cross = (double(j) + 0.5) / 200.0;
    double expect = std::atan2(c.vx, c.vy) / (2 * PI);
    if (expect < 0) expect += 1.0;
    EXPECT_NEAR(std::remainder(cross - expect, 1.0), 0.0, 0.01) << c.vx << " " << c.vy;
  }
}

// The half-width of the white dwarf's eclipse (orbits) by bisection on the ray test.
double eclipseHalfWidth(double incl) {
  const double x = -kQ015.ref.MU2;
  if (!hiddenByRay(kQ015, observerDirection(incl, 0.0), x, 0, 0)) return 0.0;
  double lo = 0.0, hi = 0.25;
  for (int k = 0; k < 50; ++k) {
    const double mid = 0.5 * (lo + hi);
    (hiddenByRay(kQ015, observerDirection(incl, mid), x, 0, 0) ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

TEST(Observe, WhiteDwarfEclipseWidths) {
  EXPECT_NEAR(2 * eclipseHalfWidth(90.0), 0.0715, 5e-4);
  EXPECT_NEAR(2 * eclipseHalfWidth(80.0), 0.0425, 5e-4);
  EXPECT_EQ(eclipseHalfWidth(77.4), 0.0);
  EXPECT_GT(eclipseHalfWidth(77.8), 0.0);
  // At i = 90 the half-width is the angle of the tangent from the white dwarf to the lobe's
  // equatorial outline (its points from rays out of the secondary, not from the ray test).
  const MapOverlays m = mapOverlays(kQ015);
  double tangent = 0.0;
  for (std::size_t k = 0; k < m.lobeVx.size(); ++k)  // outline point (x, y) = (Vy, -Vx)
    tangent = std::max(tangent, std::atan2(std::abs(m.lobeVx[k]), m.lobeVy[k] + kQ015.ref.MU2));
  EXPECT_NEAR(eclipseHalfWidth(90.0), tangent / (2 * PI), 2e-4);
  // The fast test of the 200 prepared phases hides it for as many phases.
  for (double incl : {90.0, 80.0}) {
    ObserveSettings s;
    s.inclinations = {incl};
    Observer obs(kQ015, s);
    int hidden = 0;
    for (int j = 0; j < 200; ++j) hidden += obs.view(0, j).hidden(-kQ015.ref.MU2, 0, 0) ? 1 : 0;
    EXPECT_NEAR(hidden, 200 * 2 * eclipseHalfWidth(incl), 1.01) << incl;
  }
}

TEST(Observe, SecondarysLobeInVelocitySpace) {
  const MapOverlays m = mapOverlays(kQ015);  // units of K1 + K2 = Omega a
  double vyLo = 1e9, vyHi = -1e9, vx = 0;
  for (std::size_t k = 0; k < m.lobeVx.size(); ++k) {
    vyLo = std::min(vyLo, m.lobeVy[k]), vyHi = std::max(vyHi, m.lobeVy[k]);
    vx = std::max(vx, std::abs(m.lobeVx[k]));
  }
  EXPECT_NEAR(vyLo, 0.5535, 2e-4);
  EXPECT_NEAR(vyHi, 1.1242, 2e-4);
  EXPECT_NEAR(vx, 0.2229, 2e-4);
  // The stream leaves L1 at the lobe's tip and turns to negative Vx (upper left of the map),
  // ending well inside; the Keplerian velocity there lies above it.
  ASSERT_GT(m.streamVx.size(), 10u);
  EXPECT_NEAR(m.streamVy.front(), vyLo, 1e-3);
  EXPECT_LT(m.streamVx.back(), -1.0);
  EXPECT_GT(std::hypot(m.keplerVx[m.keplerVx.size() / 2], m.keplerVy[m.keplerVy.size() / 2]),
            std::hypot(m.streamVx[m.streamVx.size() / 2], m.streamVy[m.streamVy.size() / 2]) * 0.5);
}

TEST(Observe, FastOcclusionAgreesWithTheRayTest) {
  const ObsBinary b = ObsBinary::make(0.15, 0.02, 1.0, 1.0);
  const std::vector<Dir3> surface = lobeSurface(b);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> ux(-0.9, 1.3), uy(-0.6, 0.6), uz(-0.4, 0.4);
  int hiddenCount = 0;
  for (auto [incl, phase] : {std::pair{90.0, 0.0}, {82.0, 0.02}, {82.0, 0.97}, {60.0, 0.05}, {30.0, 0.3}, {0.0, 0.0},
                             {85.0, 0.5}}) {
    const Dir3 n = observerDirection(incl, phase);
    const SkyView sky(b, surface, n);
    for (int k = 0; k < 4000; ++k) {
      const double x = ux(gen), y = uy(gen), z = uz(gen);
      const bool fast = sky.hidden(x, y, z);
      ASSERT_EQ(fast, hiddenByRay(b, n, x, y, z)) << incl << " " << phase << " at " << x << " " << y << " " << z;
      hiddenCount += fast ? 1 : 0;
    }
  }
  EXPECT_GT(hiddenCount, 1000);  // the cases do hide points
}

TEST(Observe, EmissionIsConservedAndNothingIsEclipsedFaceOn) {
  std::vector<ObsParticle> disk;
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (double r : {0.08, 0.15, 0.25, 0.35})
    for (const ObsParticle& p : keplerRing(kQ015, r, 300)) disk.push_back({p.x, p.y, p.z, p.vx, p.vy, p.vz, u01(gen)});
  ObserveSettings s;
  s.inclinations = {0.0, 82.0};
  s.lineBins = 301;
  s.fwhm = 0.05;
  Observer obs(kQ015, s);
  for (int j = 0; j < 200; ++j) obs.addPhase(3.0 + j / 200.0, disk);
  const Observations& o = obs.result();
  bool eclipsed = false;
  for (std::size_t j = 0; j < o.phase.size(); ++j) {
    for (std::size_t k = 0; k < 2; ++k) {
      double sum = 0.0;
      for (int m = 0; m < 301; ++m) sum += o.spectra[k][j * 301 + static_cast<std::size_t>(m)];
      EXPECT_NEAR(sum, o.visible[k][j], 1e-4 * o.total[j]);
    }
    EXPECT_EQ(o.visible[0][j], o.total[j]);
    eclipsed = eclipsed || o.visible[1][j] < 0.9 * o.total[j];
    // Face on: one narrow peak at zero velocity, as wide as the instrument.
    const float* row = &o.spectra[0][j * 301];
    for (int m = 0; m < 301; ++m) {
      if (std::abs(binCentre(o, m)) > 3 * s.fwhm) {
        EXPECT_LT(row[m], 1e-6 * o.total[j]);
      }
    }
  }
  EXPECT_TRUE(eclipsed);
  EXPECT_EQ(o.mapPhases, 200);
}

TEST(Observe, SettingsAreChecked) {
  ObserveSettings s;
  EXPECT_NE(s.problem("--observe", "--line-bins", "--fwhm").find("at least one"), std::string::npos);
  s.inclinations = {82, 91};
  EXPECT_NE(s.problem("--observe", "--line-bins", "--fwhm").find("between 0 and 90"), std::string::npos);
  s.inclinations = {82, 82};
  EXPECT_NE(s.problem("--observe", "--line-bins", "--fwhm").find("twice"), std::string::npos);
  s.inclinations = {82, 60};
  EXPECT_EQ(s.problem("--observe", "--line-bins", "--fwhm"), "");
  s.lineBins = 5;
  EXPECT_NE(s.problem("--observe", "--line-bins", "--fwhm").find("--line-bins"), std::string::npos);
  std::vector<double> v;
  std::string bad;
  EXPECT_TRUE(parseInclinations("82,60.5", v, bad));
  EXPECT_EQ(v, (std::vector<double>{82, 60.5}));
  EXPECT_FALSE(parseInclinations("82,,60", v, bad));
  EXPECT_FALSE(parseInclinations("82,x", v, bad));
  EXPECT_EQ(bad, "x");
  EmissionKind e{};
  EXPECT_TRUE(parseEmission("density2", e));
  EXPECT_EQ(e, EmissionKind::Density2);
  EXPECT_FALSE(parseEmission("light", e));
}

}  // namespace
}  // namespace velmora
