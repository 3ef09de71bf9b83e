// The light-curve analysis: frequency grid, spectrum of known sinusoids, the 5-sigma run scan,
// the exact texts of "stdev.txt" and "fftpeaks.txt", flat and unusable light curves.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <numbers>

#include "analysis/lc_analysis.h"
#include "io/fortran_format.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

// A light curve of `samples` samples at 200 per orbit with luminosity f(i), i counted from 1.
LightCurve curve(int samples, const std::function<double(int)>& f) {
  LightCurve lc;
  lc.file = "test_lc.vlm";
  lc.announced = samples;
  for (int i = 1; i <= samples; ++i) {
    lc.T.push_back(static_cast<float>(i / 200.0));
    lc.L.push_back(static_cast<float>(f(i)));
  }
  return lc;
}

// Two sinusoids (1 and 2.5 cycles per orbit, relative amplitudes 5% and 2%) on a level of 10,
// with a little deterministic noise.
double twoSines(int i) {
  const double t = i / 200.0, pi2 = 2 * std::numbers::pi;
  const double noise = std::sin(i * 12.9898) * 43758.5453;
  return 10.0 * (1 + 0.05 * std::sin(pi2 * t) + 0.02 * std::sin(pi2 * 2.5 * t + 0.3) +
                 0.002 * (noise - std::floor(noise) - 0.5));
}

struct GridCase {
  int samples, first, last;
  int m, i0, NFFT;
  float step, fmin;
};

class FrequencyGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(FrequencyGrid, RangeSamplesBinsAndFirstUsedBin) {
  const auto c = GetParam();
  const LCAnalysis a = analyseLightCurve(curve(c.samples, twoSines), c.first, c.last);
  EXPECT_EQ(a.N, c.last - c.first + 1);
  EXPECT_EQ(a.m, c.m);
  EXPECT_EQ(a.i0, c.i0);
  EXPECT_EQ(a.i1, 200 * c.last);
  EXPECT_EQ(a.NFFT, c.NFFT);
  EXPECT_FLOAT_EQ(a.freq(2), c.step);
  EXPECT_FLOAT_EQ(a.freq(c.NFFT), static_cast<float>(c.NFFT - 1) * c.step);
  EXPECT_EQ(a.fmin, c.fmin);
  // Bins 1 and 2 lie below one cycle over the range; bins 3 .. NFFT/2 are used.
  EXPECT_LT(a.freq(2), a.fmin);
  EXPECT_GE(a.freq(3), a.fmin);
  EXPECT_EQ(a.kFirst, 3);
  EXPECT_EQ(a.kLast, c.NFFT / 2);
  EXPECT_EQ(a.usedBins(), c.NFFT / 2 - 2);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FrequencyGrid,
    ::testing::Values(GridCase{200, 1, 1, 200, 1, 256, 0.78125f, 1.0f},
                      GridCase{10050, 1, 50, 10000, 1, 16384, 0.01220703125f, 0.02f},
                      GridCase{1200, 3, 5, 600, 401, 1024, 0.1953125f, 1.0f / 3.0f}),
    [](const auto& tc) {
      return "orbits" + std::to_string(tc.param.first) + "to" + std::to_string(tc.param.last);
    });

TEST(LightCurveAnalysis, OneOrbitSpectrumStartsAtTheThirdBin) {
  const LCAnalysis a = analyseLightCurve(curve(200, twoSines), 1, 1);
  EXPECT_EQ(a.freq(3), 1.5625f);
}

// The amplitude of bin k from an independent transform of the relative series, in double.
double referenceAmplitude(const LightCurve& lc, const LCAnalysis& a, int k) {
  double mean = 0;
  for (int j = 0; j < a.m; ++j) mean += lc.L[static_cast<std::size_t>(a.i0 - 1 + j)];
  mean /= a.m;
  std::complex<double> X = 0;
  for (int j = 0; j < a.m; ++j) {
    const double x = (lc.L[static_cast<std::size_t>(a.i0 - 1 + j)] - mean) / mean;
    X += x * std::polar(1.0, 2 * std::numbers::pi * j * (k - 1) / a.NFFT);
  }
  return 2 * std::sqrt(2.0) * std::abs(X) / a.NFFT;
}

TEST(LightCurveAnalysis, KnownSinusoidsPeakAtTheirBinsWithTheirAmplitudes) {
  const LightCurve lc = curve(10000, twoSines);
  const LCAnalysis a = analyseLightCurve(lc, 1, 50);
  ASSERT_GE(a.peaks.size(), 2u);
  std::vector<LCPeak> byAmp = a.peaks;
  std::sort(byAmp.begin(), byAmp.end(), [](auto& x, auto& y) { return x.amplitude > y.amplitude; });
  const double step = 200.0 / a.NFFT;
  const int k1 = static_cast<int>(std::lround(1.0 / step)) + 1;  // 82.92 steps: bin 83
  const int k2 = static_cast<int>(std::lround(2.5 / step)) + 1;
  EXPECT_EQ(byAmp[0].bin, k1);
  EXPECT_EQ(byAmp[1].bin, k2);
  for (const auto& p : {byAmp[0], byAmp[1]}) {
    EXPECT_NEAR(p.amplitude, referenceAmplitude(lc, a, p.bin), 1e-4 * p.amplitude) << p.bin;
    EXPECT_EQ(p.amplitude, a.A(p.bin));
    EXPECT_EQ(p.freq, a.freq(p.bin));
  }
  // A zero-filled sinusoid of relative amplitude r peaks near sqrt(2) r m / NFFT.
  EXPECT_NEAR(byAmp[0].amplitude, std::sqrt(2.0) * 0.05 * a.m / a.NFFT, 0.02 * byAmp[0].amplitude);
  // Every peak stands 5 sigma above the mean amplitude; the spectrum values are amplitudes.
  for (const auto& p : a.peaks) EXPECT_GE(p.amplitude - a.M, 5 * a.sigma);
  EXPECT_NEAR(a.A(40), referenceAmplitude(lc, a, 40), 1e-3 * a.A(40) + 1e-7);
  EXPECT_EQ(a.AMAX, byAmp[0].amplitudeRead);
}

TEST(LightCurveAnalysis, NoiseLevelUsesTheUsedBinsAndItsDivisor) {
  const LCAnalysis a = analyseLightCurve(curve(400, twoSines), 1, 2);
  double sum = 0, sq = 0;
  for (int k = a.kFirst; k <= a.kLast; ++k) sum += a.A(k);
  const double M = sum / (a.NFFT / 2 - 2);
  for (int k = a.kFirst; k <= a.kLast; ++k) sq += (a.A(k) - M) * (a.A(k) - M);
  EXPECT_NEAR(a.M, M, 1e-6 * M);
  EXPECT_NEAR(a.sigma, std::sqrt(sq / (a.NFFT / 2 - 4)), 1e-5 * a.sigma);
}

struct ScanCase {
  const char* name;
  std::vector<float> A;  // bins 1..; FREQ(k) = (k - 1) / 2, fmin = 1 (bins 3 on), M = 1, sigma = 1
  float sigma;
  int scanLimit;
  std::vector<std::pair<int, float>> peaks;  // bin, amplitude
  float NMAX;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class PeakScanRules : public ::testing::TestWithParam<ScanCase> {};

TEST_P(PeakScanRules, RunsOfBinsAboveFiveSigma) {
  const auto& c = GetParam();
  std::vector<float> freq;
  for (std::size_t k = 1; k <= c.A.size(); ++k) freq.push_back(static_cast<float>(k - 1) / 2.0f);
  const PeakScan r = scanPeaks(c.A, freq, 1.0f, 1.0f, c.sigma, c.scanLimit);
  ASSERT_EQ(r.peaks.size(), c.peaks.size());
  for (std::size_t i = 0; i < c.peaks.size(); ++i) {
    EXPECT_EQ(r.peaks[i].bin, c.peaks[i].first) << i;
    EXPECT_EQ(r.peaks[i].amplitude, c.peaks[i].second) << i;
    EXPECT_EQ(r.peaks[i].freq, freq[static_cast<std::size_t>(c.peaks[i].first - 1)]);
  }
  EXPECT_EQ(r.NMAX, c.NMAX);
}

// Threshold: A - M >= 5 sigma, so A >= 6 with M = 1, sigma = 1. Bins 1 and 2 lie below fmin,
// bins above 11 above 5 cycles per orbit.
INSTANTIATE_TEST_SUITE_P(
    Cases, PeakScanRules,
    ::testing::Values(
        // Equal maxima: the first wins. The bin ending a run (4.5) is passed over and does not
        // count as noise; a bin exactly at the threshold starts a run.
        ScanCase{"equal_maxima_first_wins", {100, 50, 2, 7, 9, 9, 8, 4.5f, 6, 1, 3, 20, 1}, 1.0f, 100,
                 {{5, 9.0f}, {9, 6.0f}}, 3.0f},
        // A run that starts at 5 cycles per orbit goes on above it; the larger bin there is the peak.
        ScanCase{"run_goes_past_five", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 7, 8, 12, 2, 30}, 1.0f, 100, {{13, 12.0f}}, 1.0f},
        // A run still above the threshold at the last bin ends there.
        ScanCase{"run_ends_at_last_bin", {1, 1, 2, 8, 9, 10}, 1.0f, 100, {{6, 10.0f}}, 2.0f},
        // sigma 0: every amplitude equals the mean, no bin stands out.
        ScanCase{"sigma_zero_no_peak", {1, 1, 1, 1, 1, 1}, 0.0f, 100, {}, 1.0f},
        // Bins with 2k - 1 beyond the scan limit are not looked at.
        ScanCase{"scan_limit", {1, 1, 2, 3, 9, 9}, 1.0f, 8, {}, 3.0f}),
    [](const auto& tc) { return std::string(tc.param.name); });

std::string record(int bin, float freq, float amp) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %12d %8.4f %15.7E\r\n", bin, static_cast<double>(freq), static_cast<double>(amp));
  return buf;
}

TEST(LightCurveAnalysis, ExactTextOfBothFiles) {
  test::TempDir dir;
  const LCAnalysis a = analyseLightCurve(curve(2000, twoSines), 2, 9);
  ASSERT_FALSE(a.peaks.empty());
  std::string want;
  float amax = 0;  // the peaks stand above every noise bin: the largest record read back
  for (const auto& p : a.peaks) {
    const std::string rec = record(p.bin, p.freq, p.amplitude);
    ASSERT_EQ(rec.size(), 40u);
    EXPECT_EQ(p.freqText, rec.substr(14, 8));
    EXPECT_EQ(p.amplitudeRead, std::strtof(rec.substr(23, 15).c_str(), nullptr));
    amax = std::max(amax, p.amplitudeRead);
    want += rec;
  }
  char line[64];
  std::snprintf(line, sizeof line, " %.6E\r\n", static_cast<double>(amax));
  if (amax >= 0.1f) std::snprintf(line, sizeof line, " %.7f\r\n", static_cast<double>(amax));
  want += line;
  EXPECT_EQ(a.AMAX, amax);
  EXPECT_EQ(a.fftpeaksText, want);
  std::snprintf(line, sizeof line, " %.6E\r\n", static_cast<double>(a.sigma));
  EXPECT_EQ(a.stdevText, line);

  // The files hold these texts, replacing what was there; a second analysis writes the same bytes.
  { std::FILE* f = std::fopen("fftpeaks.txt", "wb"); std::fputs(std::string(5000, 'x').c_str(), f); std::fclose(f); }
  writeAnalysisFiles(a);
  EXPECT_EQ(test::slurp("fftpeaks.txt"), want);
  EXPECT_EQ(test::slurp("stdev.txt"), a.stdevText);
  writeAnalysisFiles(analyseLightCurve(curve(2000, twoSines), 2, 9));
  EXPECT_EQ(test::slurp("fftpeaks.txt"), want);
}

TEST(LightCurveAnalysis, FlatLightCurvesHaveNoPeak) {
  // 1.0 sums exactly, 0.1 does not; zero is a flat curve too.
  for (double level : {1.0, 0.1, 0.0, 3.0e7}) {
    const LCAnalysis a = analyseLightCurve(curve(600, [level](int) { return level; }), 1, 3);
    EXPECT_TRUE(a.flat) << level;
    EXPECT_TRUE(a.peaks.empty()) << level;
    EXPECT_EQ(a.sigma, 0.0f) << level;
    EXPECT_EQ(a.AMAX, 0.0f) << level;
    EXPECT_EQ(a.fftpeaksText, " 0.000000\r\n") << level;
    EXPECT_EQ(a.stdevText, " 0.000000\r\n") << level;
    EXPECT_EQ(a.LRANGE, 0.0f);
  }
}

TEST(LightCurveAnalysis, RangeExtremesAndSmoothedCurve) {
  // Luminosities far above a million and far below minus a hundred thousand.
  const LCAnalysis big = analyseLightCurve(curve(400, [](int i) { return 5.0e6 + i; }), 2, 2);
  EXPECT_EQ(big.LMIN, 5.0e6f + 201);
  EXPECT_EQ(big.LMAX, 5.0e6f + 400);
  const LCAnalysis neg = analyseLightCurve(curve(200, [](int i) { return -3.0e5 - i; }), 1, 1);
  EXPECT_EQ(neg.LMAX, -300001.0f);
  EXPECT_EQ(neg.LRANGE, 199.0f);

  const LCAnalysis a = analyseLightCurve(curve(200, [](int i) { return i; }), 1, 1);
  ASSERT_EQ(a.B.size(), 40u);
  EXPECT_EQ(a.B[0], 3.0f);                 // mean of 1..5
  EXPECT_EQ(a.B[39], 198.0f);
  EXPECT_EQ(a.C[0], 13.0f);                // groups 1..5: fewer at the start
  EXPECT_EQ(a.C[19], a.B[19]);             // groups 16..24, symmetric
  EXPECT_EQ(a.C[39], 188.0f);              // groups 36..40
}

struct BadRange {
  const char* name;
  int samples, first, last;
  const char* mention;
};

void PrintTo(const BadRange& c, std::ostream* os) { *os << c.name; }

class UnusableRange : public ::testing::TestWithParam<BadRange> {};

TEST_P(UnusableRange, RefusedWithAMessage) {
  const auto& c = GetParam();
  const LightCurve lc = curve(c.samples, twoSines);
  try {
    analyseLightCurve(lc, c.first, c.last);
    FAIL();
  } catch (const LightCurveAnalysisError& e) {
    EXPECT_NE(std::string(e.what()).find(c.mention), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, UnusableRange,
                         ::testing::Values(BadRange{"less_than_an_orbit", 199, 1, 1, "199 samples: less than one orbit"},
                                           BadRange{"last_beyond_file", 599, 1, 3, "it holds orbits 1 to 2"},
                                           BadRange{"first_zero", 600, 0, 2, "orbits 0 to 2"},
                                           BadRange{"reversed", 600, 3, 2, "orbits 3 to 2"}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(LightCurveAnalysis, UndefinedRelativeValuesAreRefused) {
  const auto alternating = [](int i) { return i % 2 ? 1.0 : -1.0; };
  EXPECT_THROW(analyseLightCurve(curve(200, alternating), 1, 1), LightCurveAnalysisError);
  const auto huge = [](int i) { return i % 2 ? 3.0e38 : 2.0e38; };
  EXPECT_THROW(analyseLightCurve(curve(200, huge), 1, 1), LightCurveAnalysisError);
}

struct FreeCase {
  float v;
  const char* text;
};

TEST(LightCurveAnalysis, FreeFormatWithSevenDigits) {
  for (const auto& c : {FreeCase{0.0f, " 0.000000"}, FreeCase{0.12345678f, " 0.1234568"},
                        FreeCase{12.345678f, " 12.34568"}, FreeCase{9.9999999f, " 10.00000"},
                        FreeCase{0.099999999f, " 0.1000000"}, FreeCase{1.234e-4f, " 1.234000E-04"},
                        FreeCase{1.5e7f, " 1.500000E+07"}, FreeCase{9999999.0f, " 9999999."}})
    EXPECT_EQ(fmt::freeReal(c.v, 7), c.text) << c.v;
}

}  // namespace
}  // namespace velmora
