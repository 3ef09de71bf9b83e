// The superhump search on synthetic light curves with known answers: a modulation below the
// orbital frequency with its harmonic, an orbital signal and white noise; pure noise; an
// orbital signal alone, whose side lobes fall in the band; the onset of a growing superhump;
// light curves shaped like a run's (the disk forming, an orbital hump with harmonics, red and
// white noise, a superhump that starts at a given orbit and grows), with faint and strong
// flickering.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/binary_reference.h"
#include "analysis/superhump.h"

namespace velmora {
namespace {

constexpr double PI2 = 2.0 * std::numbers::pi;

// A light curve of `orbits` orbits at 200 samples per orbit: level 10 times (1 + shape(t) +
// noise), t in orbits.
LightCurve synthetic(int orbits, double noise, unsigned seed, const std::function<double(double)>& shape) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> normal(0.0, noise);
  LightCurve lc;
  lc.file = "synthetic_lc.vlm";
  const int n = 200 * orbits;
  lc.announced = n;
  for (int i = 1; i <= n; ++i) {
    const double t = i / 200.0;
    lc.T.push_back(static_cast<float>(t));
    lc.L.push_back(static_cast<float>(10.0 * (1.0 + shape(t) + normal(gen))));
  }
  return lc;
}

// A superhump of period excess eps (semi-amplitude 2 %, a first harmonic of 0.8 %) beside an
// orbital signal of 1 %.
std::function<double(double)> superhumpShape(double eps) {
  const double f = 1.0 / (1.0 + eps);
  return [f](double t) {
    return 0.02 * std::sin(PI2 * f * t + 0.7) + 0.008 * std::sin(PI2 * 2 * f * t + 0.2) + 0.01 * std::sin(PI2 * t);
  };
}

TEST(Superhump, EpsilonIsRecoveredWithinItsStatedUncertainty) {
  const double eps = 0.034, noise = 0.1;
  int withinOne = 0, trials = 20;
  for (int seed = 1; seed <= trials; ++seed) {
    const LightCurve lc = synthetic(100, noise, static_cast<unsigned>(seed), superhumpShape(eps));
    const SuperhumpResult r = findSuperhump(lc, 1, 100);
    ASSERT_TRUE(r.detected) << "seed " << seed;
    ASSERT_TRUE(r.fitConverged);
    // The frequency is refined well below the bin spacing; the error is the white-noise one.
    const double expected = std::sqrt(6.0 / 20000.0) * noise / (std::numbers::pi * 0.02 * 100.0);
    EXPECT_NEAR(r.frequencyError, expected, 0.3 * expected) << "seed " << seed;
    EXPECT_LT(std::fabs(r.epsilon - eps), 4.0 * r.epsilonError) << "seed " << seed;
    withinOne += std::fabs(r.epsilon - eps) <= r.epsilonError;
    EXPECT_NEAR(r.amplitude, 0.02, 0.003);
    EXPECT_GT(r.significance, 5.0);
    EXPECT_NEAR(r.period, 1.0 + r.epsilon, 1e-12);
    ASSERT_EQ(r.harmonics.size(), 2u);
    EXPECT_TRUE(r.harmonics[0].found) << "seed " << seed;
    EXPECT_NEAR(r.harmonics[0].ratio, 2.0, 4.0 * r.harmonics[0].frequencyError / r.frequency + 1e-4);
    EXPECT_NEAR(r.harmonics[0].amplitude, 0.008, 0.003);
    EXPECT_FALSE(r.harmonics[1].found) << "seed " << seed;  // no 3f in the signal
  }
  // About 68 % of the trials fall within one standard error (binomial spread over 20 trials).
  EXPECT_GE(withinOne, 8);
  EXPECT_LE(withinOne, 19);
}

struct NoiseCase {
  const char* name;
  double orbital;  // semi-amplitude of an orbital signal at exactly 1 cycle per orbit
  double noise;
};

class NothingFound : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(NothingFound, InNoiseAndBesideAnOrbitalSignal) {
  // The 5-sigma rule leaves about one noise light curve in several hundred with a bin in the
  // band above it (the amplitudes of noise follow a Rayleigh distribution); at most 2 of 100.
  const NoiseCase c = GetParam();
  int found = 0;
  for (unsigned seed = 1; seed <= 100; ++seed) {
    const LightCurve lc = synthetic(100, c.noise, seed, [&c](double t) {
      return c.orbital * (std::sin(PI2 * t) + 0.5 * std::sin(2 * PI2 * t + 1.0));
    });
    const SuperhumpResult r = findSuperhump(lc, 1, 100);
    found += r.detected;
    EXPECT_GE(r.bandMaxFrequency, SUPERHUMP_BAND_LOW);
    EXPECT_LE(r.bandMaxFrequency, SUPERHUMP_BAND_HIGH);
    EXPECT_GT(r.upperLimit, 0.0);
    EXPECT_EQ(r.detected, r.significance >= 5.0) << "seed " << seed;
  }
  EXPECT_LE(found, 2);
}

INSTANTIATE_TEST_SUITE_P(Superhump, NothingFound,
                         ::testing::Values(NoiseCase{"white_noise", 0.0, 0.05},
                                           // The orbital peak's side lobes at 0.986, 0.975, ... stand far
                                           // above 5 sigma but are not a superhump.
                                           NoiseCase{"orbital_signal", 0.05, 0.01}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(Superhump, UpperLimitBoundsAnUndetectedModulation) {
  // A superhump of 0.1 % in noise of 10 % per sample is far below 5 sigma; the upper limit
  // is the band's largest amplitude, at least the hidden one.
  const LightCurve lc = synthetic(50, 0.1, 7, [](double t) { return 0.001 * std::sin(PI2 * t / 1.03); });
  const SuperhumpResult r = findSuperhump(lc, 1, 50);
  EXPECT_FALSE(r.detected);
  EXPECT_GT(r.upperLimit, 0.001);
  EXPECT_LT(r.bandMaxSignificance, 5.0);
}

TEST(Superhump, OnsetIsTheFirstWindowFromWhichItStaysSignificant) {
  // Noise only up to orbit 40, then a superhump whose amplitude grows to 3 % by orbit 60.
  const LightCurve lc = synthetic(120, 0.03, 3, [](double t) {
    const double grow = std::clamp((t - 40.0) / 20.0, 0.0, 1.0);
    return 0.03 * grow * std::sin(PI2 * t / 1.05);
  });
  std::vector<std::pair<long long, long long>> calls;
  const SuperhumpGrowth g =
      superhumpGrowth(lc, 1, 120, 20, [&calls](long long d, long long t) { calls.emplace_back(d, t); });
  EXPECT_EQ(g.window, 20);
  EXPECT_EQ(g.step, 10);
  ASSERT_EQ(g.windows.size(), 11u);  // 1-20, 11-30, ..., 101-120
  EXPECT_EQ(g.windows.back().first, 101);
  EXPECT_EQ(g.windows.back().last, 120);
  ASSERT_EQ(calls.size(), 11u);
  EXPECT_EQ(calls.back(), std::make_pair(11LL, 11LL));
  EXPECT_FALSE(g.windows[0].detected);
  EXPECT_TRUE(std::isnan(g.windows[0].epsilon));
  EXPECT_GT(g.windows[0].upperLimit, 0.0);
  ASSERT_GE(g.onsetIndex, 3);  // not before orbit 31: the windows up to orbit 40 are noise
  ASSERT_LE(g.onsetIndex, 5);  // window 51-70 holds a strong superhump
  EXPECT_EQ(g.onsetOrbit, g.windows[static_cast<std::size_t>(g.onsetIndex)].first);
  EXPECT_NEAR(g.onsetTime, g.onsetOrbit - 1, 1e-4);
  for (std::size_t i = static_cast<std::size_t>(g.onsetIndex); i < g.windows.size(); ++i) {
    EXPECT_TRUE(g.windows[i].detected);
    // Once the amplitude has stopped growing (from orbit 60), eps within its uncertainty.
    if (g.windows[i].first >= 61) {
      // (A 20-orbit window barely resolves 0.952 from the removed orbital frequency: the orbital
      // fit takes a little of it and pulls the frequency by up to a few thousandths.)
      EXPECT_NEAR(g.windows[i].epsilon, 0.05, 3.0 * g.windows[i].epsilonError + 3e-3);
    }
  }
  EXPECT_NEAR(g.windows.back().amplitude, 0.03, 0.004);
  EXPECT_EQ(g.windowsAfterOnset, 11 - g.onsetIndex);
  EXPECT_NEAR(g.epsilonMean, 0.05, 3.0 * g.epsilonMeanError + 2e-3);
  EXPECT_GT(g.epsilonMeanError, 0.0);
}

TEST(Superhump, SineFitRefinesBetweenBins) {
  // A noiseless sine between two bins: the fit finds it to rounding.
  std::vector<double> t, y;
  for (int i = 0; i < 4000; ++i) {
    t.push_back(i / 200.0);
    y.push_back(0.3 + 0.05 * std::cos(PI2 * 0.9617 * t.back() - 1.1));
  }
  const SineFit f = fitSine(t, y, 0.96, 0.02);
  ASSERT_TRUE(f.converged);
  EXPECT_NEAR(f.frequency, 0.9617, 1e-9);
  EXPECT_NEAR(f.amplitude, 0.05, 1e-9);
  EXPECT_NEAR(f.offset, 0.3, 1e-9);
  EXPECT_NEAR(f.phase, 1.1, 1e-6);
}

// A light curve shaped like a run's: the disk forms (the mean light rises over `rise` orbits,
// overshoots by `bump` and settles over `decay` orbits), an orbital hump of `hump` with harmonics
// of half and a quarter of it, red noise (the disk's flickering: rms `red`, correlated over
// `redSamples` samples) and white noise, and a superhump of period excess eps from orbit `onset`
// on, growing to `amp` over `growth` orbits.
struct RunShape {
  const char* name;
  double eps = 0, amp = 0, onset = 0, growth = 10;
  double hump = 0.01, rise = 5, bump = 2, decay = 20;
  double red = 0.003, white = 0.05;
  int orbits = 120, window = 20;
  double redSamples = 10;
};

LightCurve runLike(const RunShape& c, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::uniform_real_distribution<double> phase(0.0, PI2);
  const double p1 = phase(gen), p2 = phase(gen), p3 = phase(gen), ps = phase(gen);
  const double rho = std::exp(-1.0 / c.redSamples);
  double red = 0.0;
  LightCurve lc;
  lc.file = "run_lc.vlm";
  const int n = 200 * c.orbits;
  lc.announced = n;
  const double fsh = 1.0 / (1.0 + c.eps);
  for (int i = 1; i <= n; ++i) {
    const double t = i / 200.0;
    red = rho * red + std::sqrt(1.0 - rho * rho) * c.red * normal(gen);
    const double level = (1.0 - std::exp(-t / c.rise)) * (1.0 + c.bump * std::exp(-t / c.decay));
    const double orbital = c.hump * (std::sin(PI2 * t + p1) + 0.5 * std::sin(2 * PI2 * t + p2) +
                                     0.25 * std::sin(3 * PI2 * t + p3));
    const double a = c.amp * std::clamp((t - c.onset) / c.growth, 0.0, 1.0);
    const double sh = a * (std::sin(PI2 * fsh * t + ps) + 0.3 * std::sin(2 * PI2 * fsh * t + 2 * ps));
    lc.T.push_back(static_cast<float>(t));
    lc.L.push_back(static_cast<float>(10.0 * (level * (1.0 + orbital + sh + red) + c.white * normal(gen))));
  }
  return lc;
}

// The search as `analyse` runs it without a range: the growth windows, then the whole light curve
// from the first window that detects the superhump.
struct DefaultSearch {
  SuperhumpGrowth growth;
  SuperhumpResult result;
};
DefaultSearch defaultSearch(const LightCurve& lc, I32 window) {
  DefaultSearch d;
  d.growth = superhumpGrowth(lc, 1, lc.orbits(), window);
  d.result = findSuperhump(lc, defaultSearchStart(d.growth, 1), lc.orbits());
  return d;
}

class RunLikeSuperhump : public ::testing::TestWithParam<RunShape> {};

TEST_P(RunLikeSuperhump, FrequencyAndOnsetAreFoundBesideTheHumpAndTheFormingDisk) {
  const RunShape c = GetParam();
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const LightCurve lc = runLike(c, seed);
    const auto [g, r] = defaultSearch(lc, c.window);
    ASSERT_TRUE(r.detected) << "seed " << seed;
    // The stated error counts the noise about the peak, red or white.
    EXPECT_NEAR(r.epsilon, c.eps, 3.0 * r.epsilonError) << "seed " << seed;
    // The orbital hump is measured and removed, whatever the superhump beside it.
    ASSERT_EQ(r.orbitalAmplitude.size(), 3u);
    EXPECT_NEAR(r.orbitalAmplitude[0], c.hump, 0.3 * c.hump) << "seed " << seed;
    ASSERT_GE(g.onsetIndex, 0) << "seed " << seed;
    // The first window that detects it holds the superhump's first orbits of full growth, at
    // most one step either way of the window centred on the onset.
    EXPECT_NEAR(g.onsetOrbit + 0.5 * g.window, c.onset + 0.5 * c.growth, g.step) << "seed " << seed;
    EXPECT_NEAR(g.epsilonMean, c.eps, 3.0 * g.epsilonMeanError + 2e-3) << "seed " << seed;
    // The whole range from the first detecting window on: here the onset's window.
    EXPECT_EQ(r.first, g.onsetOrbit) << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Superhump, RunLikeSuperhump,
    ::testing::Values(
        // q about 0.15, 0.25 and 0.35 by the observed relation.
        // A window must span more than 1 / eps orbits to tell the superhump from the orbital
        // signal: 40 orbits for q 0.15.
        RunShape{"q015", 0.034, 0.02, 50, 10, 0.01, 5, 2, 20, 0.003, 0.05, 120, 40},
        RunShape{"q025", 0.063, 0.03, 40, 10},
        RunShape{"q035", 0.099, 0.03, 30, 10},
        // The disk forms slowly and brightly: the whole range finds the superhump all the same.
        RunShape{"slow_formation", 0.063, 0.03, 40, 10, 0.01, 15, 4, 30},
        // The disk flickers: red noise as strong as the white in the band, correlated over a
        // twentieth of an orbit and over half an orbit.
        RunShape{"q025_flickering", 0.063, 0.03, 40, 10, 0.01, 5, 2, 20, 0.02},
        RunShape{"q035_slow_flickering", 0.099, 0.03, 30, 10, 0.01, 5, 2, 20, 0.02, 0.05, 120, 20, 100}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Superhump, TheStatedErrorHoldsUnderRedNoise) {
  // Red noise raises the spectrum in the band above the residuals' average: an error from the
  // residuals' scatter alone is about half the true one there. Over 40 flickering light curves
  // the deviations, in units of the stated error, scatter by about 1 (2 with that error).
  RunShape c{"flickering", 0.063, 0.03, 40, 10, 0.01, 5, 2, 20, 0.02};
  double sq = 0;
  int within = 0;
  const int curves = 40;
  for (int seed = 1; seed <= curves; ++seed) {
    const SuperhumpResult r = findSuperhump(runLike(c, static_cast<unsigned>(seed)), 41, 120);
    ASSERT_TRUE(r.detected) << "seed " << seed;
    const double d = (r.epsilon - c.eps) / r.epsilonError;
    sq += d * d;
    within += std::fabs(d) <= 1.0;
  }
  EXPECT_GT(std::sqrt(sq / curves), 0.6);
  EXPECT_LT(std::sqrt(sq / curves), 1.4);
  // About 68 % within one error for a normal scatter; the tails of red noise are a little wider.
  EXPECT_GE(within, 16);
}

struct NoiseColour {
  const char* name;
  double red, redSamples;
};

class NoSuperhump : public ::testing::TestWithParam<NoiseColour> {};

TEST_P(NoSuperhump, InRunLikeCurvesWithoutOne) {
  // 100 light curves with an orbital hump, a forming disk, red and white noise and no superhump:
  // at most one passes for a superhump in the whole range (as analyse searches it, from the first
  // window that detects one), and no window sequence for an onset. Against the noise of the whole
  // spectrum (white, up to 100 cycles per orbit) most flickering curves showed a "superhump".
  const NoiseColour n = GetParam();
  int found = 0;
  for (unsigned seed = 1; seed <= 100; ++seed) {
    RunShape c{"none"};
    c.hump = 0.005 + 0.0005 * (seed % 10);
    c.rise = 3.0 + seed % 8;
    c.bump = 0.5 + 0.3 * (seed % 7);
    c.decay = 10.0 + 2.0 * (seed % 11);
    c.red = n.red;
    c.redSamples = n.redSamples;
    const auto [g, r] = defaultSearch(runLike(c, 1000 + seed), 20);
    found += r.detected;
    EXPECT_EQ(g.onsetIndex, -1) << "seed " << seed << " onset at orbit " << g.onsetOrbit;
  }
  EXPECT_LE(found, 1);
}

INSTANTIATE_TEST_SUITE_P(Superhump, NoSuperhump,
                         ::testing::Values(NoiseColour{"faint_flickering", 0.003, 10},
                                           NoiseColour{"flickering", 0.02, 10},
                                           NoiseColour{"slow_flickering", 0.02, 100}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(Superhump, AnOrbitalHumpIsNoSuperhumpInAnyWindow) {
  // 1 % at 1 cycle per orbit in white noise: the main lobe of the orbital peak of a 20-orbit
  // window reaches into the band, and a sine fit started there walks to 1.0.
  const LightCurve lc = synthetic(120, 0.02, 5, [](double t) { return 0.01 * std::sin(PI2 * t + 0.3); });
  EXPECT_FALSE(findSuperhump(lc, 1, 120).detected);
  const SuperhumpGrowth g = superhumpGrowth(lc, 1, 120, 20);
  for (const GrowthWindow& w : g.windows) {
    EXPECT_FALSE(w.detected) << "orbits " << w.first << " to " << w.last << " at " << w.frequency;
    EXPECT_NEAR(w.orbitalAmplitude, 0.01, 0.002);
  }
  EXPECT_EQ(g.onsetIndex, -1);
  EXPECT_TRUE(std::isnan(g.epsilonMean));
}

TEST(Superhump, TheTrendPassesASinusoidUnchanged) {
  // The trend's spline and the harmonic fit take next to nothing of a sinusoid in the band: a pure
  // sinusoid keeps its frequency and its amplitude.
  // (Closer to 1 than about 3 / N the orbital fit takes a part of the sinusoid: it can hardly be
  // told from the orbital signal.)
  for (const double f : {0.81, 0.9, 0.95}) {
    const LightCurve lc = synthetic(120, 0.0, 1, [f](double t) { return 0.02 * std::sin(PI2 * f * t + 0.4); });
    const SuperhumpResult r = findSuperhump(lc, 1, 120);
    ASSERT_TRUE(r.detected) << f;
    EXPECT_NEAR(r.frequency, f, 1e-5) << f;
    EXPECT_NEAR(r.amplitude, 0.02, 0.02 * 0.005) << f;
    const PreparedSeries p = prepareSeries(lc, 1, 120);
    // The trend holds next to nothing of the sinusoid (a little at the range's ends).
    double sq = 0;
    for (const double v : p.trend) sq += v * v;
    EXPECT_LT(std::sqrt(sq / static_cast<double>(p.trend.size())), 0.02 * 0.05) << f;
  }
  EXPECT_NEAR(findSuperhump(synthetic(120, 0.0, 1, [](double) { return 0.0; }), 1, 120).lobeLimit, 1.0 - 0.6 / 120,
              1e-12);
}

TEST(BinaryReference, RadiiAndTheObservedRelation) {
  const BinaryReference r = binaryReference(0.5);
  EXPECT_NEAR(r.XL1, 0.237418, 2e-6);  // L1 of M1 1.0, M2 0.5, as SETSYS finds it
  EXPECT_NEAR(r.r31, std::pow(3.0, -2.0 / 3.0) * std::pow(1.5, -1.0 / 3.0), 1e-12);
  EXPECT_NEAR(r.rCirc, 1.5 * std::pow(r.l1Distance, 4), 1e-12);
  EXPECT_NEAR(r.rocheLobe, eggletonRadius(2.0), 1e-12);
  EXPECT_NEAR(eggletonRadius(1.0), 0.3789, 1e-4);  // equal masses
  EXPECT_NEAR(binaryReference(0.15).epsilonRelation, 0.18 * 0.15 + 0.29 * 0.0225, 1e-15);
  for (double q : {0.05, 0.15, 0.35, 1.0}) EXPECT_NEAR(qFromRelation(epsilonFromRelation(q)), q, 1e-12);
  EXPECT_TRUE(std::isnan(qFromRelation(-0.01)));
  // The lobe: the primary's surroundings are inside, L1's far side and the secondary are not.
  EXPECT_TRUE(r.insidePrimaryLobe(-r.MU2 + 0.2, 0.1, 0.01));
  EXPECT_TRUE(r.insidePrimaryLobe(r.XL1 - 1e-3, 0.0, 0.0));
  EXPECT_FALSE(r.insidePrimaryLobe(r.XL1 + 1e-3, 0.0, 0.0));
  EXPECT_FALSE(r.insidePrimaryLobe(r.MU1, 0.05, 0.0));
  EXPECT_FALSE(r.insidePrimaryLobe(-r.MU2, 0.5, 0.0));  // beyond the lobe's side
  EXPECT_THROW(binaryReference(0.0), std::invalid_argument);
}

}  // namespace
}  // namespace velmora
