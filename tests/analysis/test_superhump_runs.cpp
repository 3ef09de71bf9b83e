// The superhump of two real runs (3000 particles, 120 orbits, light curve from orbit 1, q 0.15 and
// q 0.35), measured as `analyse` measures a run: the disk's formation in the first orbits hides
// the superhump from a search over every orbit, while the search from the first window that
// detects it finds the period the disk's precession predicts.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/run_analysis.h"
#include "io/fortran_format.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

// tests/analysis/data/NAME_lc.f32: the luminosity of every sample of a run's light curve, 200 per
// orbit from orbit 1, as little-endian 32-bit floats. Written back as the run writes its light
// curve (a count line, then the time and the luminosity as E18.10), with the times rebuilt as
// sample / 200 (the run's own differ by at most 2e-5 orbit).
void writeLightCurveFixture(const std::string& fixture, const std::string& lcFile) {
  std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/tests/analysis/data/" + fixture, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty()) << fixture;
  ASSERT_EQ(bytes.size() % 4, 0u) << fixture;
  const std::size_t n = bytes.size() / 4;
  std::string text = fmt::listInt(static_cast<long long>(n)) + "\r\n";
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t u = 0;
    for (std::size_t k = 0; k < 4; ++k) u |= static_cast<std::uint32_t>(bytes[4 * i + k]) << (8 * k);
    const float t = static_cast<float>(static_cast<double>(i + 1) / 200.0);
    text += " " + fmt::E(t, 18, 10) + " " + fmt::E(std::bit_cast<float>(u), 18, 10) + "\r\n";
  }
  std::ofstream(lcFile, std::ios::binary) << text;
}

struct RealRun {
  const char* name;
  const char* fixture;
  bool everyOrbitDetects;  // the search over orbits 1 to 120
  I32 searchFrom;          // the first orbit of the default search
  I32 onsetOrbit;          // -1: no onset (the last window misses the superhump)
  // eps the disk's precession predicts (nu / (1 - nu), from the recording's m = 1 phase over
  // orbits 99 to 120) and its error.
  double precessionEpsilon, precessionError;
};

class RealRunSuperhump : public ::testing::TestWithParam<RealRun> {};

TEST_P(RealRunSuperhump, FoundFromTheFirstDetectingWindowAtThePrecessionsPeriod) {
  const RealRun c = GetParam();
  test::TempDir dir;
  writeLightCurveFixture(c.fixture, std::string(c.name) + "_lc.vlm");

  const RunAnalysis a = analyseRun(c.name);
  ASSERT_TRUE(a.hasSuperhump);
  const SuperhumpResult& s = a.superhump;
  EXPECT_EQ(a.superhumpRange, "from_first_detection");
  EXPECT_EQ(s.first, c.searchFrom);
  EXPECT_EQ(s.last, 120);
  ASSERT_TRUE(s.detected);
  EXPECT_NEAR(s.epsilon, c.precessionEpsilon, 3.0 * std::hypot(s.epsilonError, c.precessionError));
  EXPECT_GT(s.significance, 10.0);
  EXPECT_EQ(a.growth.onsetIndex >= 0 ? a.growth.onsetOrbit : -1, c.onsetOrbit);
  const std::string json = analysisJson(a);
  EXPECT_NE(json.find("\"range_rule\": \"from_first_detection\""), std::string::npos);

  // Over every orbit, formation and all, the noise the first orbits leave about the band hides it.
  AnalysisOptions every;
  every.first = 1;
  every.last = 120;
  const RunAnalysis b = analyseRun(c.name, every);
  EXPECT_EQ(b.superhumpRange, "given");
  EXPECT_EQ(b.superhump.detected, c.everyOrbitDetects);
}

INSTANTIATE_TEST_SUITE_P(Superhump, RealRunSuperhump,
                         ::testing::Values(RealRun{"q015", "q015_3000_lc.f32", false, 11, 11, 0.04088, 0.00062},
                                           RealRun{"q035", "q035_3000_lc.f32", false, 31, -1, 0.11365, 0.00124}),
                         [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
