// The Restart Control dialog's rules: opening, check boxes, the values of OK and their checks.
#include <gtest/gtest.h>

#include "shell/restart_rules.h"
#include "shell/text2real.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

TEST(RestartRules, OpeningResetsTheOutputsAndStartsANewRecording) {
  auto S = test::newSim();
  S->RECFLAG = S->LCFLAG = S->RSFLAG = TRUE4;
  RestartRules d;
  d.toggleRecord();
  d.orbitsText = "9";
  d.resPos = 4;
  d.opened(*S);
  EXPECT_EQ(S->NEWREC, TRUE4);
  EXPECT_EQ(S->RECFLAG, FALSE4);
  EXPECT_EQ(S->LCFLAG, FALSE4);
  EXPECT_EQ(S->RSFLAG, FALSE4);
  EXPECT_EQ(d.RECFLAG, FALSE4);
  EXPECT_EQ(d.orbitsText, "1");
  EXPECT_EQ(d.rsEveryText, "1");
  EXPECT_EQ(d.resPos, 1);
  EXPECT_FALSE(d.needsName());
}

TEST(RestartRules, OkSetsTheRunsValues) {
  auto S = test::newSim();
  RestartRules d;
  d.opened(*S);
  d.toggleLightCurve();
  d.toggleRestart();
  d.toggleRestart();  // twice: off again
  d.orbitsText = "5";
  d.lcStartText = "2";
  d.rsEveryText = "x";  // not a number: 0, and unused with the box unchecked
  d.resPos = RestartRules::RES_MAX;
  EXPECT_EQ(d.problem(), "");
  d.accept(*S);
  EXPECT_EQ(S->NORBADD, 5);
  EXPECT_EQ(S->NORBTOT, 5);
  EXPECT_EQ(S->LCSTART, 2);
  EXPECT_EQ(S->RSEVERY, 0);
  EXPECT_EQ(S->FRAMESTEP, 6);
  EXPECT_EQ(S->LCFLAG, TRUE4);
  EXPECT_EQ(S->RSFLAG, FALSE4);
  EXPECT_TRUE(d.needsName());
}

TEST(DialogBoxes, IntegerBoxesReadAsSignedIntegers) {
  EXPECT_EQ(boxInt("12"), 12);
  EXPECT_EQ(boxInt("  7"), 7);
  EXPECT_EQ(boxInt("-3"), -3);
  EXPECT_EQ(boxInt(""), 0);
  EXPECT_EQ(boxInt("4x"), 0);
  EXPECT_EQ(boxInt("2147483648"), 0);
  EXPECT_EQ(boxInt("-2147483648"), -2147483647 - 1);
}

struct ProblemCase {
  const char* label;
  void (*set)(RestartRules&);
  const char* problem;  // part of the message; empty: accepted
};

const ProblemCase kProblems[] = {
    {"defaults", [](RestartRules&) {}, ""},
    {"zero_orbits", [](RestartRules& d) { d.orbitsText = std::string("0"); }, ""},
    {"negative_orbits", [](RestartRules& d) { d.orbitsText = std::string("-1"); }, "Number of Additional Orbits must be between 0 and"},
    {"restart_every_0", [](RestartRules& d) { d.toggleRestart(); d.rsEveryText = std::string("0"); }, "Output restart file every must be at least 1"},
    {"record_from_0", [](RestartRules& d) { d.toggleRecord(); d.recStartText = std::string("0"); }, "Start recording simulation at orbit # must be between 1 and 1"},
    {"record_after_the_run", [](RestartRules& d) { d.orbitsText = std::string("3"); d.toggleRecord(); d.recStartText = std::string("4"); }, "between 1 and 3"},
    {"lc_with_no_orbits", [](RestartRules& d) { d.orbitsText = std::string("0"); d.toggleLightCurve(); }, "needs at least 1 additional orbit"},
    {"unchecked_zero_start", [](RestartRules& d) { d.recStartText = std::string("0"); d.lcStartText = std::string("-4"); }, ""},
};

class RestartRuleProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(RestartRuleProblems, NamesTheFieldAndRange) {
  auto S = test::newSim();
  RestartRules d;
  d.opened(*S);
  GetParam().set(d);
  const std::string p = d.problem();
  if (std::string(GetParam().problem).empty()) EXPECT_EQ(p, "");
  else EXPECT_NE(p.find(GetParam().problem), std::string::npos) << p;
}

INSTANTIATE_TEST_SUITE_P(RestartRules, RestartRuleProblems, ::testing::ValuesIn(kProblems),
                         [](const auto& tc) { return std::string(tc.param.label); });

TEST(RestartRules, Title) {
  const std::string t = RestartRules::title("disk");
  EXPECT_EQ(t.size(), 101u);
  EXPECT_EQ(t.substr(0, 35), " Velmora - Current File Name:  disk");
  EXPECT_EQ(t.back(), ' ');
}

}  // namespace
}  // namespace velmora
