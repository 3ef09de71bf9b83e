// The light-curve file as the run writes it: count line, sample lines, creation and appending.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/files_support.h"

namespace velmora {
namespace {

std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t a = 0;
  while (a < text.size()) {
    const std::size_t b = text.find("\r\n", a);
    EXPECT_NE(b, std::string::npos) << "a line without CR LF";
    if (b == std::string::npos) break;
    lines.push_back(text.substr(a, b - a));
    a = b + 2;
  }
  return lines;
}

TEST(LightCurveFile, CountLineAndOneSampleLinePerPhase) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 3, 40, 10, {.name = "l", .lc = 1});
  const auto lines = crlfLines(test::slurp("l_lc.vlm"));
  ASSERT_EQ(lines.size(), 601u);
  EXPECT_EQ(lines[0], " 600");
  for (std::size_t k = 1; k < lines.size(); ++k) ASSERT_EQ(lines[k].size(), 38u) << k;
  // The first sample is 1/200 of an orbit in, the last of orbit k at k orbits.
  EXPECT_EQ(lines[1].substr(0, 19), "   0.4999999888E-02");
  EXPECT_EQ(lines[200].substr(0, 19), "   0.1000000000E+01");
  EXPECT_EQ(lines[600].substr(0, 19), "   0.3000000000E+01");
}

TEST(LightCurveFile, StartingLaterAnnouncesTheRemainingOrbits) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 3, 40, 10, {.name = "l", .lc = 2});
  const auto lines = crlfLines(test::slurp("l_lc.vlm"));
  ASSERT_EQ(lines.size(), 401u);
  EXPECT_EQ(lines[0], " 400");
  EXPECT_EQ(lines[1].substr(0, 19), "   0.1004999995E+01");
}

TEST(LightCurveFile, SampleColumns) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  S->RUNNAME = "cols";
  for (int i = 1; i <= 200; ++i) S->TPH(i) = 6.28318548f * static_cast<float>(i) / 200.0f;
  S->EDISSPH(1) = 0.0f;
  S->EDISSPH(2) = 1.25e-3f;
  S->EDISSPH(3) = -2.0f;
  WRITE_LC(*S, H);  // no file yet: created without the count line
  const auto lines = crlfLines(test::slurp("cols_lc.vlm"));
  ASSERT_EQ(lines.size(), 200u);
  // Single-precision values as stored, rounded to ten digits.
  EXPECT_EQ(lines[0], "   0.4999999888E-02   0.0000000000E+00");
  EXPECT_EQ(lines[1], "   0.9999999776E-02   0.1249999972E-02");
  EXPECT_EQ(lines[2], "   0.1499999966E-01  -0.2000000000E+01");
  WRITE_LC(*S, H);  // appended
  EXPECT_EQ(crlfLines(test::slurp("cols_lc.vlm")).size(), 400u);
}

// Stopped during orbit 2: the file holds orbit 1 whole, under a count line of the full run.
TEST(LightCurveFile, AStoppedRunLeavesWholeOrbits) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  for (int k = 0; k < 250; ++k) H.script.push_back(std::nullopt);
  H.script.push_back(MouseMsg{MouseMsg::LeftDown, 1, H.viewH - 1});
  test::recordedRun(*S, H, 3, 40, 10, {.name = "stop", .lc = 1});
  EXPECT_EQ(S->IORBIT, 1);
  const auto lines = crlfLines(test::slurp("stop_lc.vlm"));
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines[0], " 600");
}

TEST(LightCurveFile, AFileThatCannotBeWrittenGivesWarningsAndTheRunGoesOn) {
  test::TempDir dir;
  std::filesystem::create_directory("d_lc.vlm");
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 2, 40, 10, {.name = "d", .lc = 1});
  EXPECT_EQ(S->IORBIT, 2);
  ASSERT_EQ(H.warnings.size(), 3u);  // the count line, then the samples of orbits 1 and 2
  EXPECT_NE(H.warnings[0].find("d_lc.vlm"), std::string::npos) << H.warnings[0];
  EXPECT_NE(H.warnings[2].find("orbit 2"), std::string::npos) << H.warnings[2];
}

}  // namespace
}  // namespace velmora
