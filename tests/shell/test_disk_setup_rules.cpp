// The Disk Setup dialog's rules without widgets: grids, derived values, corrections, run values.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "shell/COMDLGER.h"
#include "shell/disk_setup_rules.h"
#include "shell/file_name_rules.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

TEST(DiskSetupRules, OpeningValues) {
  DiskSetupRules d;
  EXPECT_EQ(d.m1Text, "1.000");
  EXPECT_EQ(d.qText, "0.150");
  EXPECT_EQ(d.m2Text, "0.150");
  EXPECT_EQ(d.aText, " 0.82");
  EXPECT_EQ(d.pText, " 1.91");
  EXPECT_EQ(d.hText, "0.0250");
  EXPECT_EQ(d.alphaText, " 1.00");
  EXPECT_EQ(d.hPos, 250);
  EXPECT_EQ(d.hMax, 400);
  EXPECT_EQ(d.particles, 1000);
  EXPECT_EQ(d.injections, 10);
  // The derived values of the defaults, computed from the sliders.
  d.sliderMoved();
  EXPECT_EQ(d.aText, " 0.82");
  EXPECT_EQ(d.pText, " 1.91");
  EXPECT_NEAR(DiskSetupRules::separation(1.0f, 0.15f), 0.815799f, 2e-6);
  EXPECT_NEAR(DiskSetupRules::periodHours(1.0f, 0.15f, DiskSetupRules::separation(1.0f, 0.15f)), 1.9065112f, 2e-6);
}

struct SliderCase {
  int m1, q, alpha, beta;
  const char *m1Text, *qText, *m2Text, *alphaText;
};

class SliderGrid : public ::testing::TestWithParam<SliderCase> {};

TEST_P(SliderGrid, ValuesFromPositions) {
  const auto& c = GetParam();
  DiskSetupRules d;
  d.m1Pos = c.m1;
  d.qPos = c.q;
  d.alphaPos = c.alpha;
  d.betaPos = c.beta;
  d.sliderMoved();
  EXPECT_EQ(d.m1Text, c.m1Text);
  EXPECT_EQ(d.qText, c.qText);
  EXPECT_EQ(d.m2Text, c.m2Text);
  EXPECT_EQ(d.alphaText, c.alphaText);
  const RunParameters p = d.runParameters();
  EXPECT_EQ(p.M1, std::stof(c.m1Text));
  EXPECT_EQ(p.M2, std::stof(c.m2Text));  // read back to the box's three decimals
}

INSTANTIATE_TEST_SUITE_P(Positions, SliderGrid,
                         ::testing::Values(SliderCase{130, 100, 200, 1, "1.300", "1.000", "1.300", " 2.00"},
                                           SliderCase{50, 1, 1, 200, "0.500", "0.010", "0.005", " 0.01"},
                                           SliderCase{87, 23, 55, 100, "0.870", "0.230", "0.200", " 0.55"}),
                         [](const auto& tc) { return "m1_" + std::to_string(tc.param.m1) + "_q_" + std::to_string(tc.param.q); });

struct ParticleCase {
  long long typed, shown;
  int hmax;
};

class ParticleBox : public ::testing::TestWithParam<ParticleCase> {};

TEST_P(ParticleBox, LimitsTheSmoothingLength) {
  const auto& c = GetParam();
  DiskSetupRules d;
  d.hPos = 400;
  d.sliderMoved();  // h 0.0400
  EXPECT_EQ(d.particlesChanged(c.typed), c.shown);
  EXPECT_EQ(d.hMax, c.hmax);
  EXPECT_LE(d.hPos, c.hmax);
  char expected[16];
  std::snprintf(expected, sizeof expected, "%6.4f", c.hmax / 10000.0);
  EXPECT_EQ(d.hText, expected);
}

INSTANTIATE_TEST_SUITE_P(Counts, ParticleBox,
                         ::testing::Values(ParticleCase{500, 500, 400}, ParticleCase{1000, 1000, 400},
                                           ParticleCase{5000, 5000, 339}, ParticleCase{13000, 13000, 250},
                                           ParticleCase{25000, 25000, 200}, ParticleCase{30000, 25000, 200}),
                         [](const auto& tc) { return "typed" + std::to_string(tc.param.typed); });

TEST(DiskSetupRules, SmallerHKeptWhenTheLimitRises) {
  DiskSetupRules d;
  d.particlesChanged(25000);
  EXPECT_EQ(d.hText, "0.0200");
  EXPECT_EQ(d.hPos, 200);
  d.particlesChanged(500);
  EXPECT_EQ(d.hMax, 400);
  EXPECT_EQ(d.hText, "0.0200");  // allowed up to 0.0400 now, but not raised
}

TEST(DiskSetupRules, InjectionCorrections) {
  DiskSetupRules d;
  EXPECT_EQ(d.injectionsChanged(12), 10);
  d.particlesChanged(5);
  EXPECT_EQ(d.injectionsChanged(12), 5);
  EXPECT_EQ(d.injectionsChanged(3), 3);
}

TEST(DiskSetupRules, FrameStepFromTheResolutionSlider) {
  DiskSetupRules untouched(0);
  EXPECT_EQ(untouched.runParameters().FRAMESTEP, 1);  // never moved in the life of the program
  DiskSetupRules d(0);
  d.resSlider = 6;  // Low
  d.sliderMoved();
  EXPECT_EQ(d.resPos, 6);
  EXPECT_EQ(d.runParameters().FRAMESTEP, 7);
  d.resSlider = 1;  // any slider move reports the resolution slider too
  d.sliderMoved();
  EXPECT_EQ(d.runParameters().FRAMESTEP, 2);
  DiskSetupRules reopened(6);  // kept from an earlier opening
  EXPECT_EQ(reopened.runParameters().FRAMESTEP, 7);
}

TEST(DiskSetupRules, PrepareRunSetsTheOutputs) {
  auto S = test::newSim();
  DiskSetupRules d;
  d.orbits = 3;
  RunParameters p = d.runParameters();
  prepareRun(*S, p, true, false, true);
  EXPECT_EQ(S->RECFLAG, TRUE4);
  EXPECT_EQ(S->LCFLAG, FALSE4);
  EXPECT_EQ(S->RSFLAG, TRUE4);
  EXPECT_EQ(S->NORBTOT, 3);
  EXPECT_EQ(S->NINJREC, 10);
  EXPECT_EQ(S->HINJ, 0.025f);
}

struct NameCase {
  const char *path, *folder, *name, *ext;
  bool ok;
};

class RunNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(RunNames, FromChosenPath) {
  const auto& c = GetParam();
  RunFileName r;
  EXPECT_EQ(splitRunName(c.path, r), c.ok);
  if (!c.ok) return;
  EXPECT_EQ(r.folder, c.folder);
  EXPECT_EQ(r.RUNNAME, c.name);
  EXPECT_EQ(r.RUNEXT, c.ext);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RunNames,
    ::testing::Values(NameCase{"/home/a/runs/demo.vlm", "/home/a/runs", "demo", "vlm", true},
                      NameCase{"/home/a/runs/demo_lc.vlm", "/home/a/runs", "demo_lc", "vlm", true},
                      NameCase{"/x.y/demo", "/x.y", "demo", "", true},
                      NameCase{"/a/b.c.data", "/a", "b.c", "dat", true},
                      NameCase{"/home/me/runs/disk.one_rs.vlm", "/home/me/runs", "disk.one_rs", "vlm", true}, NameCase{"/demo.vlm", "/", "demo", "vlm", true},
                      NameCase{"/a/.vlm", "", "", "", false},
                      NameCase{"/a/12345678901234567890123456789012345678901.vlm", "", "", "", false}),
    [](const auto& tc) { return test::caseName(tc.param.path); });

TEST(Comdlger, Texts) {
  EXPECT_EQ(comdlgerText(0), "");
  EXPECT_EQ(comdlgerText(12290), "A filename is invalid.");
  EXPECT_EQ(comdlgerText(12291).substr(0, 38), "The buffer for a filename is too small");
  EXPECT_EQ(comdlgerText(99), "Unknown error number");
}

}  // namespace
}  // namespace velmora
