// The restart file: its columns, the round trip, RESTART, and the files it refuses.
#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "files/restart_file.h"
#include "io/binary.h"
#include "tests/support/files_support.h"

namespace velmora {
namespace {

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t a = 0;
  while (a < text.size()) {
    const std::size_t b = text.find("\r\n", a);
    if (b == std::string::npos) {
      lines.push_back(text.substr(a));
      break;
    }
    lines.push_back(text.substr(a, b - a));
    a = b + 2;
  }
  return lines;
}

// A state of three particles with chosen values, as WRITEFINAL sees it.
void smallState(Sim& S) {
  S.RUNNAME = "small";
  S.M1 = 1.0f;
  S.M2 = 0.15f;
  S.ASEP = 0.8316f;
  S.PORB = 7063.916f;
  S.RSONE = 1.0f;
  S.TINJ = 0.02f;
  S.HSPH = 0.025f;
  S.NLEVELS = 8;
  S.IORBIT = 10;
  S.ALPHA = 1.0f;
  S.BETA = 0.5f;
  S.NPART = 5;
  const I16 levels[5] = {3, 1, 3, 2, 3};
  for (int i = 1; i <= 5; ++i) {
    S.X(i) = 0.1f * static_cast<float>(i);
    S.Y(i) = -0.123456789f;
    S.Z(i) = 1e-11f * static_cast<float>(i);
    S.VHX(i) = 0.3f;
    S.U(i) = 0.5f;
    S.CS(i) = 0.07f;
    S.LEVEL(i) = levels[i - 1];
  }
}

TEST(RestartFile, ColumnsAndRounding) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  smallState(*S);
  WRITEFINAL(*S, H);
  const std::string text = test::slurp("small_rs.vlm");
  const auto lines = linesOf(text);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0].size(), 161u);
  EXPECT_EQ(lines[0],
            "         1.0000000000         0.1500000060         0.8316000104      7063.9160156250"
            "         1.0000000000         0.0199999996         0.0250000004      5      8");
  EXPECT_EQ(lines[1], " 10 1.0 0.5");
  for (std::size_t k = 2; k < 7; ++k) EXPECT_EQ(lines[k].size(), 233u);
  // Y rounded to ten decimals; a Z below half a unit of the tenth decimal is written as zero.
  EXPECT_EQ(lines[2].substr(21, 21), "        -0.1234567910");
  EXPECT_EQ(lines[2].substr(42, 21), "         0.0000000000");
  EXPECT_EQ(lines[6].substr(42, 21), "         0.0000000001");  // 5e-11 rounds up
  EXPECT_EQ(lines[2].back(), '3');  // LEVEL as I1
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(RestartFile, WriteReadWriteIsByteIdentical) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 2, 300, 10, {.name = "a", .restartEvery = 1});
  const std::string first = test::slurp("a_rs.vlm");
  ASSERT_FALSE(first.empty());

  auto T = test::newSim();
  applyRestartFile(*T, readRestartFile("a_rs.vlm"));
  T->RUNNAME = "b";
  WRITEFINAL(*T, H);
  EXPECT_EQ(test::slurp("b_rs.vlm"), first);
  EXPECT_TRUE(H.warnings.empty());
}

TEST(RestartFile, LevelListsAreRebuiltInSlotOrder) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  smallState(*S);
  WRITEFINAL(*S, H);
  auto T = test::newSim();
  T->NLEV(3) = 7;  // left over from an earlier run: cleared before the lists are rebuilt
  applyRestartFile(*T, readRestartFile("small_rs.vlm"));
  EXPECT_EQ(T->NLEV(1), 1);
  EXPECT_EQ(T->NLEV(2), 1);
  EXPECT_EQ(T->NLEV(3), 3);
  EXPECT_EQ(T->LEVLIST(1, 3), 1);
  EXPECT_EQ(T->LEVLIST(2, 3), 3);
  EXPECT_EQ(T->LEVLIST(3, 3), 5);
  EXPECT_EQ(T->LEVLIST(1, 1), 2);
  EXPECT_EQ(T->LEVLIST(1, 2), 4);
  EXPECT_EQ(T->Y(2), -0.123456791f);
  EXPECT_EQ(T->Z(1), 0.0f);
  EXPECT_EQ(T->BETA, 0.5f);
}

TEST(RestartFile, AValueTooLargeForItsFieldKeepsThePreviousFile) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  smallState(*S);
  WRITEFINAL(*S, H);
  const std::string good = test::slurp("small_rs.vlm");
  S->IORBIT = 11;
  S->AHX(4) = 2.0e9f;
  WRITEFINAL(*S, H);
  EXPECT_EQ(test::slurp("small_rs.vlm"), good);
  ASSERT_EQ(H.warnings.size(), 1u);
  EXPECT_NE(H.warnings[0].find("particle 4"), std::string::npos) << H.warnings[0];
  EXPECT_NE(H.warnings[0].find("previous restart file is kept"), std::string::npos) << H.warnings[0];
  EXPECT_FALSE(std::filesystem::exists("small_rs.vlm.tmp"));
}

// ---- RESTART ----

// A restart file written after `orbits` orbits of a small run.
void restartPoint(I32 orbits, const std::string& name) {
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, orbits, 60, 10, {.name = name, .restartEvery = orbits});
}

// The Restart Control dialog's OK with its values in the state.
void continueRun(Sim& S, RunHost& H, const std::string& file, I32 orbits, const test::Outputs& o) {
  REINIT(S);
  S.DATANAME = file;
  S.NEWREC = TRUE4;
  S.RUNNAME = o.name;
  S.NORBADD = S.NORBTOT = orbits;
  S.RECFLAG = o.record > 0 ? TRUE4 : FALSE4;
  S.LCFLAG = o.lc > 0 ? TRUE4 : FALSE4;
  S.RSFLAG = o.restartEvery > 0 ? TRUE4 : FALSE4;
  S.RECSTART = o.record;
  S.LCSTART = o.lc;
  S.RSEVERY = o.restartEvery;
  S.FRAMESTEP = o.frameStep;
  RESTART(S, H);
}

TEST(Restart, ContinuesTheOrbitCountAndTheFiles) {
  test::TempDir dir;
  restartPoint(3, "p");
  auto S = test::newSim();
  test::ScriptedHost H;
  continueRun(*S, H, "p_rs.vlm", 4, {.name = "q", .record = 1, .frameStep = 6, .lc = 1, .restartEvery = 2});
  EXPECT_EQ(S->ORB0, 3);
  EXPECT_EQ(S->NORBEND, 7);
  EXPECT_EQ(S->IORBIT, 7);
  EXPECT_EQ(S->NPMAX, 60);
  EXPECT_EQ(S->INJOFF, 1);
  EXPECT_EQ(S->NPART, 60);
  EXPECT_EQ(S->LCSTART, 4);  // made absolute: the first orbit of the continued run

  // The light curve starts at orbit 4 and announces the samples of orbits 4 to 7.
  const std::string lc = test::slurp("q_lc.vlm");
  const auto lines = linesOf(lc);
  ASSERT_EQ(lines.size(), 801u);
  EXPECT_EQ(lines[0], " 800");
  EXPECT_EQ(lines[1].substr(0, 19), "   0.3004999876E+01");
  // The restart interval counts absolute orbits: files after orbits 4 and 6, none after 7.
  EXPECT_EQ(readRestartFile("q_rs.vlm").IORBIT, 6);
  // The recording starts anew with the continued run's own orbit count and cadence.
  const std::string rec = test::slurp("q.vlm");
  ASSERT_GE(rec.size(), 36u);
  const auto* b = reinterpret_cast<const unsigned char*>(rec.data());
  EXPECT_EQ(getI32(b + 4), 4);   // NORBTOT
  EXPECT_EQ(getI32(b + 28), 6);  // FRAMESTEP
  EXPECT_EQ(getI32(b + 32), 1);  // RECSTART
  // Phase 1 and every sixth phase of 4 orbits: 136 frames of 60 particles, the first with its header.
  EXPECT_EQ(rec.size(), 1332u + 1200 + 135 * (1320u + 1200));
}

TEST(Restart, AnEmptyRunHasParticleLimitZero) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  smallState(*S);
  S->NPART = 0;
  S->RUNNAME = "empty";
  WRITEFINAL(*S, H);
  auto T = test::newSim();
  continueRun(*T, H, "empty_rs.vlm", 2, {});
  EXPECT_EQ(T->NPMAX, 0);
  EXPECT_EQ(T->NPART, 0);
  EXPECT_EQ(T->IORBIT, 12);
}

// The level count stays what the file says, even after a new run in the same state.
TEST(Restart, KeepsTheFilesLevelCount) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  smallState(*S);
  S->NLEVELS = 4;
  S->NPART = 2;
  S->LEVEL(1) = S->LEVEL(2) = 4;
  WRITEFINAL(*S, H);
  auto T = test::newSim();
  test::recordedRun(*T, H, 1, 20, 10, {});  // NEWRUN is true afterwards
  continueRun(*T, H, "small_rs.vlm", 1, {});
  EXPECT_EQ(T->NLEVELS, 4);
  EXPECT_EQ(T->NSUB, 4);
}

// ---- refused files ----

struct Refusal {
  const char* label;
  int line;        // line to change (1-based), 0: the whole text
  std::string (*change)(const std::string&);
  const char* where;  // "line L, column C"
  const char* what;
};

std::string setField(const std::string& line, std::size_t column, const std::string& text) {
  std::string s = line;
  s.replace(column - 1, text.size(), text);
  return s;
}

const Refusal kRefusals[] = {
    {"level_9", 3, [](const std::string& l) { return setField(l, 233, "9"); }, "line 3, column 233", "LEVEL of particle 1 is 9, expected 1 to 8"},
    {"level_0", 5, [](const std::string& l) { return setField(l, 233, "0"); }, "line 5, column 233", "LEVEL of particle 3 is 0"},
    {"level_star", 4, [](const std::string& l) { return setField(l, 233, "*"); }, "line 4, column 233", "asterisks"},
    {"too_many_particles", 1, [](const std::string& l) { return setField(l, 149, " 25001"); }, "line 1, column 149", "NPART is 25001, expected 0 to 25000"},
    {"levels_0", 1, [](const std::string& l) { return setField(l, 156, "     0"); }, "line 1, column 156", "NLEVELS is 0, expected 1 to 8"},
    {"levels_9", 1, [](const std::string& l) { return setField(l, 156, "     9"); }, "line 1, column 156", "NLEVELS is 9"},
    {"level_above_the_count", 1, [](const std::string& l) { return setField(l, 156, "     2"); }, "line 3, column 233", "LEVEL of particle 1 is 3, expected 1 to 2"},
    {"short_particle_line", 4, [](const std::string& l) { return l.substr(0, 200); }, "line 4, column 201", "the line is short"},
    {"short_head", 1, [](const std::string& l) { return l.substr(0, 160); }, "line 1, column 161", "expected the head line"},
    {"asterisks", 6, [](const std::string& l) { return setField(l, 23, std::string(20, '*')); }, "line 6, column 23", "expected Y as F20.10, found a field of asterisks"},
    {"letters", 3, [](const std::string& l) { return setField(l, 200, "x"); }, "line 3, column 191", "expected U as F20.10, found \"0x5000000000\", which is not a number"},
    {"no_blank_between", 3, [](const std::string& l) { return setField(l, 43, "7"); }, "line 3, column 43", "expected a blank between fields"},
    {"text_after_the_line", 3, [](const std::string& l) { return l + "  9"; }, "line 3, column 236", "expected the end of the line"},
    {"orbit_not_whole", 2, [](const std::string&) { return std::string(" 10.5 1.0 0.5"); }, "line 2, column 2", "expected IORBIT"},
    {"orbit_line_short", 2, [](const std::string&) { return std::string(" 10 1.0"); }, "line 2, column 8", "expected IORBIT, ALPHA and BETA, found 2 values"},
    {"negative_beta", 2, [](const std::string&) { return std::string(" 10 1.0 -0.5"); }, "line 2, column 9", "BETA is -0.5"},
    {"negative_mass", 1, [](const std::string& l) { return setField(l, 2, "       -1.0000000000"); }, "line 1, column 2", "M1 is -1.0, expected a mass above 0"},
    {"zero_h", 1, [](const std::string& l) { return setField(l, 128, "        0.0000000000"); }, "line 1, column 128", "HSPH is 0.0"},
    {"negative_energy", 7, [](const std::string& l) { return setField(l, 191, "       -0.5000000000"); }, "line 7, column 191", "U of particle 5 is -0.5"},
    {"cut_after_two_particles", 0, [](const std::string& t) { return t.substr(0, t.find("\r\n", t.find("\r\n", t.find("\r\n", t.find("\r\n") + 2) + 2) + 2) + 2); }, "line 5, column 1", "the file ends after 2 of 5 particle lines"},
    {"extra_line", 0, [](const std::string& t) { return t + " 1.0\r\n"; }, "line 8, column 2", "expected the end of the file after the 5 particles"},
    {"empty", 0, [](const std::string&) { return std::string(); }, "line 1, column 1", "the file is empty"},
};

class RefusedRestart : public ::testing::TestWithParam<Refusal> {};

// The file of smallState(), made once.
const std::string& smallText() {
  static const std::string text = [] {
    auto S = test::newSim();
    smallState(*S);
    return restartText(*S);
  }();
  return text;
}

TEST_P(RefusedRestart, NamesTheLineColumnAndWhatWasExpected) {
  const Refusal& c = GetParam();
  test::TempDir dir;
  test::ScriptedHost H;
  std::string text = smallText();
  if (c.line == 0) {
    text = c.change(text);
  } else {
    auto lines = linesOf(text);
    lines[static_cast<std::size_t>(c.line - 1)] = c.change(lines[static_cast<std::size_t>(c.line - 1)]);
    text.clear();
    for (const auto& l : lines) text += l + "\r\n";
  }
  writeText("bad_rs.vlm", text);

  // RESTART refuses it and changes nothing.
  auto T = test::newSim();
  T->NPART = 77;
  T->IORBIT = 4;
  T->NLEV(2) = 5;
  T->X(1) = 9.0f;
  T->DATANAME = "bad_rs.vlm";
  T->NORBADD = 1;
  try {
    RESTART(*T, H);
    FAIL() << "accepted";
  } catch (const FileError& e) {
    const std::string m = e.what();
    EXPECT_EQ(m.rfind(std::string("bad_rs.vlm: ") + c.where + ": ", 0), 0u) << m;
    EXPECT_NE(m.find(c.what), std::string::npos) << m;
  }
  EXPECT_EQ(T->NPART, 77);
  EXPECT_EQ(T->IORBIT, 4);
  EXPECT_EQ(T->NLEV(2), 5);
  EXPECT_EQ(T->X(1), 9.0f);
  EXPECT_EQ(T->INJOFF, 0);
  EXPECT_EQ(T->M1, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Restart, RefusedRestart, ::testing::ValuesIn(kRefusals),
                         [](const auto& tc) { return std::string(tc.param.label); });

TEST(RestartFile, LineEndsMayBeLF) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  smallState(*S);
  WRITEFINAL(*S, H);
  std::string text = test::slurp("small_rs.vlm");
  std::string lf;
  for (char c : text)
    if (c != '\r') lf += c;
  const RestartFile R = parseRestartFile(lf, "lf");
  EXPECT_EQ(R.NPART, 5);
  EXPECT_EQ(R.particles[4].LEVEL, 3);
}

TEST(RestartFile, NoFileGivesAMessage) {
  test::TempDir dir;
  try {
    readRestartFile("missing_rs.vlm");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("missing_rs.vlm: cannot open"), std::string::npos) << e.what();
  }
}

// Killed at any moment, a run that replaces its restart file every orbit leaves a whole file.
TEST(RestartFile, AKilledRunLeavesAWholeRestartPoint) {
  test::TempDir dir;
  for (int delayMs : {0, 23, 61, 130}) {
    std::filesystem::remove("k_rs.vlm");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(VELMORA_CLI_PATH, VELMORA_CLI_PATH, "run", "--orbits", "100000", "--particles", "3000", "--h", "0.02",
            "--restart-every", "1", "--name", "k", "--quiet", static_cast<char*>(nullptr));
      _exit(99);
    }
    // Once the first restart point exists, kill the run a little later, in the middle of
    // whatever it is doing.
    for (int k = 0; k < 18000 && !std::filesystem::exists("k_rs.vlm"); ++k)  // up to 3 min on a busy machine
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(std::filesystem::exists("k_rs.vlm"));
    EXPECT_NO_THROW(readRestartFile("k_rs.vlm")) << delayMs;
  }
}

}  // namespace
}  // namespace velmora
