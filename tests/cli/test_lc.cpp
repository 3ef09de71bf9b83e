// velmora-cli lc: the range as the plot dialog checks it, the two files, the peak table, failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

#include "analysis/lc_analysis.h"
#include "files/lightcurve.h"
#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

// A light-curve file as a run writes it: `announced` in the count line, `samples` sample lines
// of a 1.5-cycles-per-orbit sinusoid on a level of 2.
void writeCurve(const std::string& name, long long announced, int samples) {
  std::ofstream f(name, std::ios::binary);
  f << " " << announced << "\r\n";
  for (int i = 1; i <= samples; ++i) {
    const double t = i / 200.0;
    const double l = 2.0 + 0.1 * std::sin(2 * std::numbers::pi * 1.5 * t) + 0.001 * std::sin(i * 0.37);
    char buf[64];
    std::snprintf(buf, sizeof buf, " %18.10E %18.10E\r\n", t, l);
    f << buf;
  }
}

void writeText(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }

TEST(LcCommand, WritesBothFilesAndPrintsThePeakTable) {
  test::TempDir dir;
  writeCurve("demo_lc.vlm", 2000, 2000);
  const auto r = test::runCli("lc demo_lc.vlm --first 3 --last 8 --spectrum spectrum.csv");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;

  // The files are exactly the analysis of the same range.
  const LCAnalysis a = analyseLightCurve(readLightCurve("demo_lc.vlm"), 3, 8);
  EXPECT_EQ(test::slurp("fftpeaks.txt"), a.fftpeaksText);
  EXPECT_EQ(test::slurp("stdev.txt"), a.stdevText);
  ASSERT_FALSE(a.peaks.empty());

  EXPECT_NE(r.out.find("orbits 3 to 8 of 10 (samples 401 to 1600)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("NFFT 2048"), std::string::npos) << r.out;
  const LCPeak& p = a.peaks.front();
  char row[128];
  std::snprintf(row, sizeof row, "  %12d %10s %15s %10.2f\n", p.bin, p.freqText.c_str(),
                a.fftpeaksText.substr(23, 15).c_str(), static_cast<double>(p.amplitude / a.sigma));
  EXPECT_NE(r.out.find(row), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  sigma" + a.stdevText.substr(0, a.stdevText.size() - 2) + "\n"), std::string::npos);
  EXPECT_NE(r.out.find("  AMAX "), std::string::npos);
  EXPECT_NE(r.out.find("  mean amplitude "), std::string::npos);

  // The spectrum CSV: a header and one line for each used bin.
  const std::string csv = test::slurp("spectrum.csv");
  EXPECT_EQ(csv.rfind("frequency,amplitude\r\n", 0), 0u);
  long lines = 0;
  for (char c : csv) lines += c == '\n';
  EXPECT_EQ(lines, 1 + a.usedBins());
  char first[64];
  std::snprintf(first, sizeof first, "\r\n%.9g,%.9g\r\n", static_cast<double>(a.freq(a.kFirst)),
                static_cast<double>(a.A(a.kFirst)));
  EXPECT_NE(csv.find(first), std::string::npos);
}

TEST(LcCommand, LastBelowFirstEndsAtFirstAsTheDialogDoes) {
  test::TempDir dir;
  writeCurve("a_lc.vlm", 10050, 10050);
  const auto r = test::runCli("lc a_lc.vlm --first 30 --last 20");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("orbits 30 to 30 of 50"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("the range is orbits 30 to 30"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the last 50 samples are not a whole orbit"), std::string::npos) << r.err;
}

struct UsageCase {
  const char* args;
  const char* mention;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.args; }

class LcUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(LcUsage, RangeTheDialogCannotTakeExitsTwo) {
  test::TempDir dir;
  writeCurve("a_lc.vlm", 10050, 10050);
  writeText("stdev.txt", "kept");
  const auto r = test::runCli(std::string("lc ") + GetParam().args);
  EXPECT_EQ(r.code, 2) << r.out << r.err;
  EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
  EXPECT_EQ(test::slurp("stdev.txt"), "kept");
  EXPECT_FALSE(std::ifstream("fftpeaks.txt").good());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, LcUsage,
    ::testing::Values(UsageCase{"a_lc.vlm --first 0", "--first must be between 1 and 50 (a_lc.vlm holds 50 whole orbits)"},
                      UsageCase{"a_lc.vlm --first 51", "--first must be between 1 and 50"},
                      UsageCase{"a_lc.vlm --last 60", "--last must be between 1 and 50"},
                      UsageCase{"a_lc.vlm --last -1", "--last must be between 1 and 50"},
                      UsageCase{"a_lc.vlm --last 99999999999", "--last must be between 1 and 50"},
                      UsageCase{"a_lc.vlm --first two", "--first"}, UsageCase{"--first 2", "FILE"}),
    [](const auto& tc) { return test::caseName(tc.param.args); });

struct FailCase {
  const char* name;
  std::string text;  // the file's content; empty: no file
  const char* mention;
};

void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }

class LcBadFile : public ::testing::TestWithParam<FailCase> {};

TEST_P(LcBadFile, ExitsOneWithAMessageAndOverwritesNothing) {
  test::TempDir dir;
  const auto& c = GetParam();
  if (!c.text.empty()) writeText("x_lc.vlm", c.text);
  writeText("stdev.txt", "kept");
  writeText("fftpeaks.txt", "kept too");
  const auto r = test::runCli("lc x_lc.vlm");
  EXPECT_EQ(r.code, 1) << r.out << r.err;
  EXPECT_NE(r.err.find(c.mention), std::string::npos) << r.err;
  EXPECT_EQ(test::slurp("stdev.txt"), "kept");
  EXPECT_EQ(test::slurp("fftpeaks.txt"), "kept too");
}

std::string samples(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "   0.5000000000E-02   0.1000000000E+01\r\n";
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Files, LcBadFile,
    ::testing::Values(FailCase{"missing", "", "x_lc.vlm: cannot open"},
                      FailCase{"less_than_an_orbit", " 600\r\n" + samples(199),
                               "holds 199 samples, less than one orbit (200)"},
                      FailCase{"damaged", " 600\r\n" + samples(4) + "   0.5000000000E-02   0.1000x00000E+01\r\n",
                               "x_lc.vlm: line 6, column 21: expected the luminosity"},
                      FailCase{"zero_mean", " 200\r\n" + [] {
                        std::string s;
                        for (int i = 0; i < 100; ++i)
                          s += "   0.5000000000E-02   0.1000000000E+01\r\n   0.5000000000E-02  -0.1000000000E+01\r\n";
                        return s;
                      }(), "the relative light curve is undefined"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(LcCommand, LightCurveOfARun) {
  test::TempDir dir;
  ASSERT_EQ(test::runCli("run --orbits 2 --particles 60 --lc 1 --name demo --quiet").code, 0);
  const auto r = test::runCli("lc demo_lc.vlm");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("demo_lc.vlm: orbits 1 to 2 of 2 (samples 1 to 400)"), std::string::npos) << r.out;
  EXPECT_TRUE(r.err.empty()) << r.err;
  const LCAnalysis a = analyseLightCurve(readLightCurve("demo_lc.vlm"), 1, 2);
  EXPECT_EQ(test::slurp("fftpeaks.txt"), a.fftpeaksText);
  EXPECT_EQ(test::slurp("stdev.txt"), a.stdevText);
}

}  // namespace
}  // namespace velmora
