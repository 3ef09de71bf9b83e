// The recorded-run file: layout and sizes, cadence, create or append, and the frame reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "files/recording.h"
#include "io/binary.h"
#include "tests/support/files_support.h"

namespace velmora {
namespace {

struct Frames {
  std::vector<RecordedFrame> frames;
  std::uint64_t bytes = 0;
};

Frames readAll(const std::string& path) {
  RecordingReader r(path);
  Frames all;
  RecordedFrame f;
  while (r.next(f)) all.frames.push_back(f);
  all.bytes = r.offset();
  return all;
}

TEST(Recording, FrameSizesFollowEachFramesOwnCount) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 1, 40, 10, {.name = "r", .record = 1, .frameStep = 1});
  const std::string raw = test::slurp("r.vlm");
  // Frame 1 holds the first batch of 10 with the 12 header bytes more; 2, 3 and 4 grow by
  // 10 each, and from phase 4 on the 40 particles stay.
  std::uint64_t want = 1332 + 20 * 10 + (1320 + 20 * 20) + (1320 + 20 * 30) + 197 * (1320 + 20 * 40);
  EXPECT_EQ(raw.size(), want);
  const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
  EXPECT_EQ(getI32(b), 10);       // N
  EXPECT_EQ(getI32(b + 4), 1);    // NORBTOT
  EXPECT_EQ(getI32(b + 24), 1);   // IPHASE
  EXPECT_EQ(getI32(b + 28), 1);   // FRAMESTEP
  EXPECT_EQ(getI32(b + 32), 1);   // RECSTART
  EXPECT_EQ(getI32(b + 1532), 20);  // the second frame starts with its own N
  EXPECT_EQ(getI32(b + 1532 + 20), 2);  // and has its phase after the four star coordinates

  const Frames all = readAll("r.vlm");
  ASSERT_EQ(all.frames.size(), 200u);
  EXPECT_EQ(all.bytes, raw.size());
  // The last frame is the state at the end of the run.
  const RecordedFrame& last = all.frames.back();
  EXPECT_EQ(last.IPHASE, 200);
  EXPECT_EQ(last.XPRIM, S->XPRIM);
  EXPECT_EQ(last.YSEC, S->YSEC);
  ASSERT_EQ(last.N, S->NPART);
  for (int i = 1; i <= S->NPART; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    ASSERT_EQ(last.X[k], S->X(i));
    ASSERT_EQ(last.Z[k], S->Z(i));
    ASSERT_EQ(last.RHO[k], S->RHO(i));
    ASSERT_EQ(last.TEMP[k], std::pow(S->U(i), 0.25f));
  }
  EXPECT_EQ(last.LOBEX[0], S->LOBEX(1, 200));
  EXPECT_EQ(last.LOBEY[100], S->LOBEY(101, 200));
  EXPECT_EQ(last.WDX[60], S->WDX(61, 200));
}

TEST(Recording, CadenceAndStartOrbit) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 3, 30, 10, {.name = "c", .record = 2, .frameStep = 7});
  const Frames all = readAll("c.vlm");
  // Orbits 2 and 3: phase 1 and 7, 14, ..., 196 of each.
  ASSERT_EQ(all.frames.size(), 58u);
  std::vector<I32> phases;
  for (std::size_t k = 0; k < 29; ++k) phases.push_back(all.frames[k].IPHASE);
  std::vector<I32> want{1};
  for (int p = 7; p <= 196; p += 7) want.push_back(p);
  EXPECT_EQ(phases, want);
  RecordingReader r("c.vlm");
  EXPECT_EQ(r.NORBTOT(), 3);
  EXPECT_EQ(r.FRAMESTEP(), 7);
  EXPECT_EQ(r.RECSTART(), 2);
  EXPECT_EQ(r.frameTotal(), 56);  // playback shows 28 of each recorded orbit
}

TEST(Recording, FramesWithoutParticlesStillCarryTheOutlines) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 1, 0, 10, {.name = "z", .record = 1, .frameStep = 7});
  // Phases 1 and 7, 14, ..., 196.
  EXPECT_EQ(std::filesystem::file_size("z.vlm"), 1332u + 28 * 1320u);
  const Frames all = readAll("z.vlm");
  ASSERT_EQ(all.frames.size(), 29u);
  EXPECT_EQ(all.frames[28].N, 0);
  EXPECT_EQ(all.frames[28].WDY[30], S->WDY(31, 196));
}

// A particle limit equal to the injection count keeps NPART at the first batch's size for the
// whole run: the recording must still grow by one frame per recorded phase.
TEST(Recording, ParticleLimitEqualToInjectionCountKeepsEveryFrame) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 2, 10, 10, {.name = "eq", .record = 1, .frameStep = 7});
  const Frames all = readAll("eq.vlm");
  EXPECT_EQ(all.frames.size(), 58u);
  EXPECT_EQ(std::filesystem::file_size("eq.vlm"), 1332u + 200 + 57 * (1320u + 200));
}

TEST(Recording, ANewRunWithTheSameNameStartsTheFileAgain) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 2, 30, 10, {.name = "same", .record = 1, .frameStep = 1});
  const auto longer = std::filesystem::file_size("same.vlm");
  test::recordedRun(*S, H, 1, 30, 10, {.name = "same", .record = 1, .frameStep = 7});
  EXPECT_LT(std::filesystem::file_size("same.vlm"), longer);
  EXPECT_EQ(readAll("same.vlm").frames.size(), 29u);
}

TEST(Recording, NewrecStartsTheFileAndIsCleared) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 1, 30, 10, {.name = "n", .record = 1, .frameStep = 1});
  const auto before = std::filesystem::file_size("n.vlm");
  S->NEWREC = TRUE4;
  S->IPHASE = 5;
  WRITEITFRAMES(*S, H, FALSE4);
  EXPECT_EQ(std::filesystem::file_size("n.vlm"), 1332u + 20 * 30);
  EXPECT_EQ(S->NEWREC, FALSE4);
  WRITEITFRAMES(*S, H, FALSE4);  // appended
  EXPECT_EQ(std::filesystem::file_size("n.vlm"), 1332u + 1320u + 40 * 30);
  EXPECT_LT(std::filesystem::file_size("n.vlm"), before);
}

TEST(Recording, AFrameThatCannotBeWrittenIsSkippedWithAWarning) {
  test::TempDir dir;
  std::filesystem::create_directory("blocked.vlm");  // the name is taken by a folder
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 1, 30, 10, {.name = "blocked", .record = 1, .frameStep = 7});
  EXPECT_EQ(S->IORBIT, 1);  // the run went on
  ASSERT_EQ(H.warnings.size(), 29u);
  EXPECT_NE(H.warnings[0].find("blocked.vlm"), std::string::npos) << H.warnings[0];
  EXPECT_NE(H.warnings[0].find("skipped"), std::string::npos) << H.warnings[0];
  // The first frame did not start the file, so the next one will.
  EXPECT_EQ(S->NEWREC, TRUE4);
}

TEST(Reinit, ClearsTheRunButKeepsTheParticleCount) {
  test::TempDir dir;
  auto S = test::newSim();
  test::ScriptedHost H;
  test::recordedRun(*S, H, 1, 30, 10, {.name = "r", .record = 1, .frameStep = 7, .lc = 1, .restartEvery = 1});
  S->ORB0 = 4;
  S->TEMP4(3) = 1.0f;
  REINIT(*S);
  EXPECT_EQ(S->NPART, 30);
  for (L32 f : {S->RECFLAG, S->LCFLAG, S->RSFLAG}) EXPECT_EQ(f, FALSE4);
  EXPECT_EQ(S->ORB0, 0);
  EXPECT_EQ(S->ICUR, 0);
  EXPECT_EQ(S->XPRIM, 0.0f);
  for (int L = 1; L <= MAXLEV; ++L) EXPECT_EQ(S->NLEV(L), 0);
  for (int i = 1; i <= 30; ++i) {
    ASSERT_EQ(S->X(i), 0.0f);
    ASSERT_EQ(S->VHZ(i), 0.0f);
    ASSERT_EQ(S->U(i), 0.0f);
    ASSERT_EQ(S->AHY(i), 0.0f);
  }
  EXPECT_EQ(S->TEMP4(3), 0.0f);
  EXPECT_EQ(S->TPH(200), 0.0f);
  EXPECT_EQ(S->XP0(17), 0.0f);
  EXPECT_NE(S->XP1(1, 17), 0.0f);  // only the phase-start star tables are cleared
}

// ---- the reader on damaged files ----

// A recording of `frames` frames of n particles each, all values 0.5, phases 1, 2, ...
std::string recording(int frames, I32 n, I32 norbtot = 1, I32 framestep = 1, I32 recstart = 1) {
  LEBuffer b;
  for (int k = 1; k <= frames; ++k) {
    b.putI32(n);
    if (k == 1) b.putI32(norbtot);
    for (int s = 0; s < 4; ++s) b.putF32(0.5f);
    b.putI32(k);
    if (k == 1) {
      b.putI32(framestep);
      b.putI32(recstart);
    }
    for (I32 v = 0; v < 5 * n + 2 * (NLOBE + NWDPTS); ++v) b.putF32(0.5f);
  }
  return std::string(b.bytes().begin(), b.bytes().end());
}

void putI32(std::string& s, std::size_t at, std::int32_t v) {
  LEBuffer b;
  b.putI32(v);
  std::memcpy(s.data() + at, b.bytes().data(), 4);
}

struct Damage {
  const char* label;
  std::string bytes;
  const char* where;  // "frame F, byte B"
  const char* what;
};

std::vector<Damage> damages() {
  const std::string good = recording(3, 2);  // frames of 1372, 1360 and 1360 bytes
  std::vector<Damage> d;
  d.push_back({"empty", "", "frame 1, byte 0", "empty"});
  d.push_back({"short_first_header", good.substr(0, 20), "frame 1, byte 20", "ends inside the frame's header"});
  d.push_back({"cut_in_second_header", good.substr(0, 1372 + 10), "frame 2, byte 1382", "header: expected 24 bytes"});
  d.push_back({"cut_in_last_body", good.substr(0, good.size() - 1), "frame 3, byte 4091",
               "particle and outline blocks: expected 1336 bytes, 1335 present"});
  std::string s = good;
  putI32(s, 1372, 25001);
  d.push_back({"count_too_large", s, "frame 2, byte 1372", "N is 25001, expected 0 to 25000"});
  s = good;
  putI32(s, 1372, -1);
  d.push_back({"negative_count", s, "frame 2, byte 1372", "N is -1"});
  s = good;
  putI32(s, 1372 + 20, 201);
  d.push_back({"phase_201", s, "frame 2, byte 1392", "phase is 201, expected 1 to 200"});
  s = good;
  putI32(s, 36 + 4, 0x7FC00000);  // a NaN in particle 1's Y
  d.push_back({"nan", s, "frame 1, byte 40", "particle 1's Y is not a finite number"});
  d.push_back({"framestep_0", recording(1, 2, 1, 0), "frame 1, byte 28", "FRAMESTEP is 0"});
  d.push_back({"recstart_after_the_run", recording(1, 2, 3, 1, 4), "frame 1, byte 32", "RECSTART is 4"});
  d.push_back({"norbtot_0", recording(1, 2, 0), "frame 1, byte 4", "NORBTOT is 0"});
  return d;
}

class DamagedRecording : public ::testing::TestWithParam<Damage> {};

// The first problem as reading frame by frame meets it, or as passing over the frames does
// (empty when every frame is passed over).
std::string problemOf(const std::string& bytes, bool skipping) {
  try {
    RecordingReader r(std::make_unique<std::istringstream>(bytes), "x.vlm");
    RecordedFrame f;
    while (skipping ? r.skip() : r.next(f)) {
    }
  } catch (const FileError& e) {
    return e.what();
  }
  return {};
}

TEST_P(DamagedRecording, FirstProblemWithFrameAndOffset) {
  const Damage& c = GetParam();
  const std::string m = problemOf(c.bytes, false);
  ASSERT_FALSE(m.empty()) << "accepted";
  EXPECT_EQ(m.rfind(std::string("x.vlm: ") + c.where + ": ", 0), 0u) << m;
  EXPECT_NE(m.find(c.what), std::string::npos) << m;
  // Passing over the frames finds every problem but those in the values it does not read,
  // with the same message.
  const std::string skipped = problemOf(c.bytes, true);
  if (std::string(c.label) == "nan") EXPECT_EQ(skipped, "");
  else EXPECT_EQ(skipped, m);
}

INSTANTIATE_TEST_SUITE_P(Reader, DamagedRecording, ::testing::ValuesIn(damages()),
                         [](const auto& tc) { return std::string(tc.param.label); });

TEST(RecordingReader, CounterOffsetAndRewind) {
  RecordingReader r(std::make_unique<std::istringstream>(recording(3, 2)), "x.vlm");
  RecordedFrame f;
  ASSERT_TRUE(r.next(f));
  ASSERT_TRUE(r.next(f));
  EXPECT_EQ(r.frames(), 2);
  EXPECT_EQ(r.offset(), 1372u + 1360u);
  EXPECT_EQ(f.IPHASE, 2);
  r.rewind();
  ASSERT_TRUE(r.next(f));
  EXPECT_EQ(f.IPHASE, 1);
  EXPECT_EQ(r.frames(), 1);
}

// Frames passed over land where reading them lands, and a frame is read again from its place.
TEST(RecordingReader, SkipAndSeekFindTheFramesNextReads) {
  const std::string bytes = recording(4, 2);
  RecordingReader byNext(std::make_unique<std::istringstream>(bytes), "x.vlm");
  RecordingReader bySkip(std::make_unique<std::istringstream>(bytes), "x.vlm");
  RecordedFrame f;
  std::vector<std::uint64_t> places;
  while (bySkip.skip()) {
    ASSERT_TRUE(byNext.next(f));
    EXPECT_EQ(bySkip.offset(), byNext.offset());
    EXPECT_EQ(bySkip.frames(), byNext.frames());
    places.push_back(bySkip.offset());
  }
  EXPECT_FALSE(byNext.next(f));
  ASSERT_EQ(places.size(), 4u);
  bySkip.seek(2, places[1]);  // the third frame
  ASSERT_TRUE(bySkip.next(f));
  EXPECT_EQ(f.IPHASE, 3);
  EXPECT_EQ(bySkip.frames(), 3);
  bySkip.seek(0, 0);  // the first frame, with its longer header
  ASSERT_TRUE(bySkip.next(f));
  EXPECT_EQ(f.IPHASE, 1);
  EXPECT_EQ(bySkip.offset(), 1372u);
}

struct TotalCase {
  I32 norbtot, framestep, recstart;
  long long total;
};

class PlaybackTotal : public ::testing::TestWithParam<TotalCase> {};

TEST_P(PlaybackTotal, Frames) {
  const auto c = GetParam();
  EXPECT_EQ(playbackFrameTotal(c.norbtot, c.framestep, c.recstart), c.total);
}

INSTANTIATE_TEST_SUITE_P(Recording, PlaybackTotal,
                         ::testing::Values(TotalCase{3, 1, 1, 600}, TotalCase{3, 7, 1, 85}, TotalCase{3, 1, 2, 400},
                                           TotalCase{5, 7, 2, 112}, TotalCase{1, 6, 1, 34}),
                         [](const auto& tc) {
                           return "orbits" + std::to_string(tc.param.norbtot) + "_step" +
                                  std::to_string(tc.param.framestep) + "_from" + std::to_string(tc.param.recstart);
                         });

}  // namespace
}  // namespace velmora
