// Reading the light-curve file back: what the writer wrote, stopped and continued runs, damage.
#include <gtest/gtest.h>

#include <fstream>

#include "files/files.h"
#include "files/lightcurve.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

std::string sampleLine(const char* t, const char* l) { return std::string(" ") + t + " " + l + "\r\n"; }

// n announced, `lines` sample lines of orbit-like times.
std::string lightCurveText(long long n, int lines) {
  std::string s = " " + std::to_string(n) + "\r\n";
  for (int i = 1; i <= lines; ++i) {
    char t[32], l[32];
    std::snprintf(t, sizeof t, "%18.10E", i / 200.0);
    std::snprintf(l, sizeof l, "%18.10E", 1.0 + i);
    s += sampleLine(t, l);
  }
  return s;
}

void writeFile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

TEST(LightCurveFile, ReadsBackWhatTheRunWroteExactly) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  S->RUNNAME = "demo";
  S->NORBTOT = 3;
  S->ORB0 = 0;
  S->LCSTART = 1;
  for (int orbit = 1; orbit <= 2; ++orbit) {
    for (int i = 1; i <= NPHASES; ++i) {
      S->TPH(i) = 6.28318548f * (static_cast<float>(orbit - 1) + static_cast<float>(i) / 200.0f);
      S->EDISSPH(i) = i == 7 ? 0.0f : 1.0f / static_cast<float>(i + 3 * orbit) - (i == 9 ? 2.0f : 0.0f);
    }
    if (orbit == 1) newLightCurve(*S, H);
    else WRITE_LC(*S, H);
  }
  const LightCurve lc = readLightCurve("demo_lc.vlm");
  EXPECT_TRUE(lc.countLine);
  EXPECT_EQ(lc.announced, 600);
  ASSERT_EQ(lc.samples(), 400);
  EXPECT_TRUE(lc.shorterThanAnnounced());  // stopped after two of three orbits
  EXPECT_EQ(lc.orbits(), 2);
  // The last orbit written is still in S: every value comes back to the bit.
  for (int i = 1; i <= NPHASES; ++i) {
    EXPECT_EQ(lc.T[static_cast<std::size_t>(199 + i)], S->TPH(i) / 6.28318548f) << i;
    EXPECT_EQ(lc.L[static_cast<std::size_t>(199 + i)], S->EDISSPH(i)) << i;
  }
  EXPECT_EQ(lc.L[206], 0.0f);
  EXPECT_FLOAT_EQ(lc.T[0], 0.005f);
}

TEST(LightCurveFile, LineEndsCountsAndMissingCountLine) {
  test::TempDir dir;
  std::string lf = lightCurveText(400, 400);
  for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
  writeFile("lf.vlm", lf + "\n  \n");  // LF only, blank lines at the end
  const LightCurve a = readLightCurve("lf.vlm");
  EXPECT_EQ(a.samples(), 400);
  EXPECT_EQ(a.orbits(), 2);
  EXPECT_FLOAT_EQ(a.L[399], 401.0f);

  // More samples than announced: a continued run appended without rewriting the count.
  writeFile("more.vlm", lightCurveText(200, 450));
  const LightCurve b = readLightCurve("more.vlm");
  EXPECT_EQ(b.announced, 200);
  EXPECT_EQ(b.samples(), 450);
  EXPECT_EQ(b.orbits(), 2);  // the last 50 samples belong to no orbit
  EXPECT_FALSE(b.shorterThanAnnounced());

  // No count line at all: the file a continued run starts when its light curve was lost.
  const std::string noCount = lightCurveText(0, 200).substr(4);
  writeFile("nocount.vlm", noCount);
  const LightCurve c = readLightCurve("nocount.vlm");
  EXPECT_FALSE(c.countLine);
  EXPECT_EQ(c.announced, 200);
  EXPECT_EQ(c.samples(), 200);

  // A last line without its line end is still a whole sample.
  writeFile("noend.vlm", lightCurveText(1, 1).substr(0, lightCurveText(1, 1).size() - 2));
  EXPECT_EQ(readLightCurve("noend.vlm").samples(), 1);

  // Fields as a formatted read takes them: no point means ten implied decimals, D exponents,
  // an exponent without its letter.
  const LightCurve d = parseLightCurve(" 3\n" + sampleLine("       12345000000", "     -2.5D+01     ") +
                                           sampleLine("      1.0-02      ", "  0.0000000000E+00") +
                                           sampleLine("  +0.1000000000E+1", "                 7") + "\n",
                                       "fields");
  ASSERT_EQ(d.samples(), 3);
  EXPECT_FLOAT_EQ(d.T[0], 1.2345f);
  EXPECT_FLOAT_EQ(d.L[0], -25.0f);
  EXPECT_FLOAT_EQ(d.T[1], 0.01f);
  EXPECT_EQ(d.L[1], 0.0f);
  EXPECT_FLOAT_EQ(d.T[2], 1.0f);
  EXPECT_FLOAT_EQ(d.L[2], 7e-10f);
}

struct DamageCase {
  const char* name;
  std::string text;
  long long line, column;
  const char* mention;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class LightCurveDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(LightCurveDamage, FirstProblemNamedWithLineAndColumn) {
  const auto& c = GetParam();
  try {
    parseLightCurve(c.text, "x_lc.vlm");
    FAIL() << "accepted";
  } catch (const LightCurveError& e) {
    EXPECT_EQ(e.line, c.line) << e.what();
    EXPECT_EQ(e.column, c.column) << e.what();
    const std::string msg = e.what();
    EXPECT_EQ(msg.rfind("x_lc.vlm: line " + std::to_string(c.line) + ", column " + std::to_string(c.column), 0), 0u)
        << msg;
    EXPECT_NE(msg.find(c.mention), std::string::npos) << msg;
  }
}

const std::string good = sampleLine("  0.5000000000E-02", "  0.1000000000E+01");

INSTANTIATE_TEST_SUITE_P(
    Files, LightCurveDamage,
    ::testing::Values(
        DamageCase{"empty", "", 1, 1, "empty file"},
        DamageCase{"count_not_a_number", " six hundred\r\n" + good, 1, 2, "expected the sample count"},
        DamageCase{"count_with_junk", " 600 x\r\n" + good, 1, 2, "\"600 x\""},
        DamageCase{"count_negative", " -5\r\n" + good, 1, 2, "between 0 and 2147483647"},
        DamageCase{"count_too_large", " 2147483648\r\n", 1, 2, "between 0 and 2147483647"},
        DamageCase{"bad_time", " 2\r\n" + good + sampleLine("  0.50000000x0E-02", "  0.1000000000E+01"), 3, 2,
                   "the time in columns 2-19"},
        DamageCase{"bad_luminosity", " 2\r\n" + good + sampleLine("  0.5000000000E-02", "  0.1000000000Q+01"), 3,
                   21, "the luminosity in columns 21-38"},
        DamageCase{"asterisks", " 1\r\n" + sampleLine("  0.5000000000E-02", "******************"), 2, 21,
                   "\"******************\""},
        DamageCase{"outside_single_precision", " 1\r\n" + sampleLine("  0.5000000000E-02", "  0.1000000000E+40"),
                   2, 21, "luminosity"},
        DamageCase{"truncated_line", " 2\r\n" + good + "  0.5000000000E-02  0.10\r\n", 3, 25, "column 38"},
        DamageCase{"truncated_in_time", " 2\r\n" + good + "  0.50000", 3, 10, "column 38"},
        DamageCase{"shifted", " 1\r\n0.5000000000E-02  0.1000000000E+01 \r\n", 2, 1, "a blank"},
        DamageCase{"no_separator", " 1\r\n   0.5000000000E-02x  0.1000000000E+01\r\n", 2, 20, "a blank between"},
        DamageCase{"two_lines_run_together", " 2\r\n" + good.substr(0, 38) + good, 2, 39, "end of the line"},
        DamageCase{"empty_line_inside", " 2\r\n" + good + "\r\n" + good, 3, 1, "empty line"},
        DamageCase{"binary_junk", std::string(" 1\r\n\x01\x02\x03", 7), 2, 1, "\\x01"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(LightCurveFile, MissingFileNamesIt) {
  test::TempDir dir;
  try {
    readLightCurve("nowhere_lc.vlm");
    FAIL();
  } catch (const LightCurveError& e) {
    EXPECT_EQ(std::string(e.what()), "nowhere_lc.vlm: cannot open: No such file or directory");
    EXPECT_EQ(e.line, 0);
  }
}

}  // namespace
}  // namespace velmora
