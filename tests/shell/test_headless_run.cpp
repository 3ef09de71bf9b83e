// The checks of a headless run's options: the first problem, spelt for the command line or for
// Python, and the state a new run is prepared with.
#include <gtest/gtest.h>

#include "shell/headless_run.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

struct ProblemCase {
  const char* label;
  NewRunSettings settings;
  const char* commandLine;  // the message as `velmora-cli run` words it
  const char* python;       // the same for the Python module
};

NewRunSettings with(auto change) {
  NewRunSettings s;
  change(s);
  return s;
}

class NewRunProblem : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(NewRunProblem, NamesTheOptionInEachSpelling) {
  const auto& c = GetParam();
  EXPECT_EQ(c.settings.problem(OptionSpelling::CommandLine), c.commandLine);
  EXPECT_EQ(c.settings.problem(OptionSpelling::Python), c.python);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, NewRunProblem,
    ::testing::Values(
        ProblemCase{"defaults", NewRunSettings{}, "", ""},
        ProblemCase{"m1", with([](auto& s) { s.m1 = 1.4; }), "--m1 must be between 0.50 and 1.30 (got 1.4)",
                    "m1 must be between 0.50 and 1.30 (got 1.4)"},
        // Orbits are checked before the particle count, as the command line always did.
        ProblemCase{"orbits_first", with([](auto& s) { s.orbits = 0, s.particles = 0; }),
                    "--orbits must be at least 1", "orbits must be at least 1"},
        ProblemCase{"h_names_its_largest", with([](auto& s) { s.particles = 25000, s.h = 0.021; }),
                    "--h must be between 0.0080 and 0.0200 (got 0.021)\n"
                    "  (the largest smoothing length for 25000 particles is 0.0200)",
                    "h must be between 0.0080 and 0.0200 (got 0.021)\n"
                    "  (the largest smoothing length for 25000 particles is 0.0200)"},
        ProblemCase{"name_with_folder", with([](auto& s) { s.name = "a/b"; }),
                    "--name is a base name without a folder (the files go in the current directory)",
                    "name is a base name without a folder (the files go in the current directory)"},
        ProblemCase{"frame_step_alone", with([](auto& s) { s.out.hasFrameStep = true, s.out.frameStep = 2; }),
                    "--frame-step needs --record", "frame_step needs record"},
        ProblemCase{"restart_without_name", with([](auto& s) { s.out.hasRestartEvery = true; }),
                    "--restart-every writes a file named after the run: give its base name with --name",
                    "restart_every writes a file named after the run: give its base name with name"}),
    [](const auto& tc) { return std::string(tc.param.label); });

TEST(NewRunSettings, PreparedStateHoldsTheOutputsAndTheGridValues) {
  NewRunSettings s;
  s.m1 = 0.873, s.q = 0.234, s.h = 0.03337, s.particles = 60, s.orbits = 3;
  s.name = "demo";
  s.out.hasLc = true, s.out.lc = 2;
  const RunParameters p = s.parameters();
  EXPECT_FLOAT_EQ(p.M1, 0.87f);
  EXPECT_FLOAT_EQ(p.HINJ, 0.0334f);
  auto S = test::newSim();
  S->RECFLAG = TRUE4;  // left from an earlier run: the reset clears it
  s.prepare(*S, p);
  EXPECT_EQ(S->RUNNAME, "demo");
  EXPECT_EQ(S->RECFLAG, FALSE4);
  EXPECT_EQ(S->LCFLAG, TRUE4);
  EXPECT_EQ(S->LCSTART, 2);
  EXPECT_EQ(S->NORBTOT, 3);
}

TEST(RestartSettings, ProblemsOfTheOptionsAndOfTheDialog) {
  RestartSettings r;
  r.file = "seed_rs.vlm";
  r.orbits = -1;
  EXPECT_EQ(r.problem(OptionSpelling::Python), "orbits must be between 0 and 10000000 (got -1)");
  r.orbits = 0;
  r.out.hasLc = true;
  r.name = "next";
  EXPECT_EQ(r.problem(OptionSpelling::CommandLine), "--lc must be between 1 and 0 (got 1)");
  // The dialog's own check, with its field's name, is what prepare reports.
  auto S = test::newSim();
  EXPECT_EQ(r.prepare(*S), "Start recording light curve at orbit # needs at least 1 additional orbit");
  r.orbits = 2;
  r.out.lc = 2;
  EXPECT_EQ(r.prepare(*S), "");
  EXPECT_EQ(S->RUNNAME, "next");
  EXPECT_EQ(S->DATANAME, "seed_rs.vlm");
  EXPECT_EQ(S->NORBADD, 2);
  EXPECT_EQ(S->LCFLAG, TRUE4);
}

}  // namespace
}  // namespace velmora
