// The step loop driven by a scripted host: hit areas, pause, rotation, title and determinism.
#include <gtest/gtest.h>

#include <cstring>

#include "core/core.h"
#include "files/files.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

MouseMsg down(int x, int y) { return {MouseMsg::LeftDown, x, y}; }
MouseMsg move(int x, int y) { return {MouseMsg::Move, x, y}; }

void newRun(Sim& S, RunHost& H, I32 orbits, I32 particles, I32 inj = 10, I32 ndisp = 1) {
  REINIT(S);
  S.HINJ = 0.025f;
  S.NORBTOT = orbits;
  S.NINJREC = inj;
  S.RECSTART = S.LCSTART = 1;
  S.FRAMESTEP = 1;
  DISKSUB(S, H, 1.0f, 0.15f, 1.0f, 1.0f, particles, orbits, inj, ndisp, 1);
}

// A narrow view puts the button edges on round numbers: stop up to 55/13.66 = 4.03,
// pause above that and below 2 * 55 / 13.75 = 8 exactly.
struct HitCase {
  int x;
  bool stops;
};

class HitAreas : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitAreas, ClickInTheButtonStrip) {
  const auto c = GetParam();
  auto S = test::newSim();
  test::ScriptedHost H;
  H.viewW = 55;
  H.viewH = 300;
  H.script = {down(c.x, 275)};
  newRun(*S, H, 1, 20);
  if (c.stops) {
    EXPECT_EQ(S->IORBIT, 0);
    EXPECT_EQ(S->IPHASE, 1);  // stopped after the first phase
  } else {
    EXPECT_EQ(S->IORBIT, 1);
    EXPECT_EQ(S->LDRAG, TRUE4);
  }
}

INSTANTIATE_TEST_SUITE_P(Strip, HitAreas,
                         ::testing::Values(HitCase{0, true}, HitCase{4, true}, HitCase{8, false},
                                           HitCase{40, false}),
                         [](const auto& tc) { return "x" + std::to_string(tc.param.x); });

TEST(Step, AboveTheStripIsADragNotAStop) {
  auto S = test::newSim();
  test::ScriptedHost H;
  H.script = {down(0, H.viewH - 26)};
  newRun(*S, H, 1, 20);
  EXPECT_EQ(S->IORBIT, 1);
  EXPECT_EQ(S->LDRAG, TRUE4);
}

TEST(Step, PauseAndResume) {
  auto S = test::newSim();
  test::ScriptedHost H;
  H.viewW = 55;
  H.viewH = 300;
  // Pause at phase 1; three quiet polls while paused; resume; then stop at the next phase.
  H.script = {down(6, 290), std::nullopt, std::nullopt, std::nullopt, down(7, 290), down(1, 299)};
  newRun(*S, H, 1, 20);
  EXPECT_EQ(S->IPHASE, 2);
  EXPECT_EQ(S->IORBIT, 0);
  // Phase 1: three paused redraws, each followed by a 15 ms wait, then after resuming
  // the normal display of phase 1; phase 2 stops before its display.
  EXPECT_EQ(H.shownPaused, (std::vector<I32>{1, 1, 1, 0}));
  EXPECT_EQ(H.sleeps, 3);
  EXPECT_EQ(S->LDRAG, TRUE4);  // resuming starts a left drag
}

TEST(Step, LeftDragUpWrapsTheXAngle) {
  auto S = test::newSim();
  test::ScriptedHost H;
  H.script.push_back(down(300, 100));
  for (int k = 1; k <= 180; ++k) H.script.push_back(move(300, 1000 - k));
  REINIT(*S);
  S->MOUSEY0 = 1000.0f;
  S->HINJ = 0.025f;
  S->NORBTOT = 1;
  S->RECSTART = S->LCSTART = 1;
  DISKSUB(*S, H, 1.0f, 0.15f, 1.0f, 1.0f, 20, 1, 10, 1, 1);
  ASSERT_EQ(H.titles.size(), 180u);
  EXPECT_EQ(H.titles[0], std::string(" Velmora - Simulation Not Recording") + std::string(15, ' ') +
                            "       X-Angle:    -2    " + "     Y-Angle:     0 ");
  EXPECT_NE(H.titles[178].find("-358"), std::string::npos);
  EXPECT_EQ(S->XANGLE, 0);
  EXPECT_EQ(S->YANGLE, 0);
}

TEST(Step, RightDragTurnsAboutYAndTitleNamesTheRecording) {
  auto S = test::newSim();
  test::ScriptedHost H;
  H.script = {MouseMsg{MouseMsg::RightDown, 10, 10}, move(20, 10), move(30, 10), move(25, 10),
              MouseMsg{MouseMsg::RightUp, 25, 10}, move(40, 10)};
  REINIT(*S);
  S->HINJ = 0.025f;
  S->NORBTOT = 1;
  S->RECSTART = 5;  // recording not yet due in a one-orbit run: no file is written
  S->LCSTART = 1;
  S->RECFLAG = TRUE4;
  S->RUNNAME = "a-rather-long-run-name-of-more-than-25-characters";
  DISKSUB(*S, H, 1.0f, 0.15f, 1.0f, 1.0f, 20, 1, 10, 1, 1);
  EXPECT_EQ(S->YANGLE, 2);  // +2, +2, -2, then the button is up
  ASSERT_EQ(H.titles.size(), 4u);
  EXPECT_EQ(H.titles[0].substr(0, 50), " Velmora - Current File: a-rather-long-run-name-of");
}

TEST(Step, DisplayCadenceAndProgressDisplay) {
  auto S = test::newSim();
  test::ScriptedHost H;
  newRun(*S, H, 1, 20, 10, 7);
  EXPECT_EQ(H.shownPaused.size(), 28u);  // phases 7, 14, ..., 196
  EXPECT_EQ(H.progressCalls, 0);

  auto P = test::newSim();
  test::ScriptedHost H2;
  P->SHOWSIM = FALSE4;
  REINIT(*P);
  P->SHOWSIM = FALSE4;
  P->HINJ = 0.025f;
  P->NORBTOT = 1;
  DISKSUB(*P, H2, 1.0f, 0.15f, 1.0f, 1.0f, 20, 1, 10, 1, 1);
  EXPECT_EQ(H2.progressCalls, 200);
  EXPECT_TRUE(H2.shownPaused.empty());
}

TEST(Step, NoParticlesMeansNoWork) {
  auto S = test::newSim();
  test::ScriptedHost H;
  newRun(*S, H, 1, 0);
  EXPECT_EQ(S->IORBIT, 1);
  EXPECT_EQ(S->NPART, 0);
  for (int i = 1; i <= 200; ++i) EXPECT_EQ(S->EDISSPH(i), 0.0f);
  EXPECT_FLOAT_EQ(S->TPH(200), S->TWOPI);
}

TEST(Step, PhaseBookkeeping) {
  auto S = test::newSim();
  test::ScriptedHost H;
  newRun(*S, H, 2, 100, 10, 50);
  EXPECT_EQ(S->NPART, 100);
  EXPECT_EQ(S->IORBIT, 2);
  EXPECT_EQ(S->IPHASE, 0);
  EXPECT_EQ(S->TPH(1), 1.0f * S->TWOPI + 1.0f * S->DTPHASE);
  I32 esc = 0, acc = 0, lost = 0;
  for (int i = 1; i <= 200; ++i) {
    esc += S->NESCPH(i);
    acc += S->NACCPH(i);
    lost += S->NLOSTPH(i);
  }
  EXPECT_EQ(S->NESC0, S->NESC);
  EXPECT_LE(esc + acc + lost, S->NESC + S->NACC + S->NLOST);
  // Every particle sits in exactly one level list.
  I32 inLists = 0;
  for (int L = 1; L <= 8; ++L) inLists += S->NLEV(L);
  EXPECT_EQ(inLists, S->NPART);
}

TEST(Step, TwoIdenticalRunsGiveIdenticalStates) {
  auto A = test::newSim(), B = test::newSim();
  test::ScriptedHost HA, HB;
  newRun(*A, HA, 2, 300);
  newRun(*B, HB, 2, 300);
  EXPECT_EQ(A->NPART, B->NPART);
  EXPECT_EQ(std::memcmp(A->X.data(), B->X.data(), sizeof(float) * MAXPART), 0);
  EXPECT_EQ(std::memcmp(A->VHZ.data(), B->VHZ.data(), sizeof(float) * MAXPART), 0);
  EXPECT_EQ(std::memcmp(A->U.data(), B->U.data(), sizeof(float) * MAXPART), 0);
  EXPECT_EQ(std::memcmp(A->LEVEL.data(), B->LEVEL.data(), sizeof(I16) * MAXPART), 0);
  EXPECT_EQ(std::memcmp(A->EDISSPH.data(), B->EDISSPH.data(), sizeof(float) * NPHASES), 0);
  EXPECT_EQ(A->NESC + A->NACC + A->NLOST, B->NESC + B->NACC + B->NLOST);
}

}  // namespace
}  // namespace velmora
