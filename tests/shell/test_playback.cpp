// The playback loop: frame totals, looping, pause and turning, stop, short and damaged files.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/core.h"
#include "files/files.h"
#include "shell/disk_setup_rules.h"
#include "shell/playback.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

// Records a one-orbit run of 30 particles with a frame every 7 phases: 29 frames in the file.
std::string recordOneOrbit() {
  auto S = test::newSim();
  test::ScriptedHost H;
  DiskSetupRules d;
  d.orbits = 1;
  d.particlesChanged(30);
  RunParameters p = d.runParameters();
  p.FRAMESTEP = 7;
  REINIT(*S);
  S->RUNNAME = "pb";
  prepareRun(*S, p, true, false, false);
  DISKSUB(*S, H, p.M1, p.M2, p.ALPHA, p.BETA, p.NPART, p.NORB, p.NINJ, 20, 1);
  return recordingName(*S);
}

struct Shown {
  I32 counter, paused, xangle;
};

PlaybackEnd play(const std::string& file, test::ScriptedHost& H, bool loop, std::vector<Shown>& shown,
                 PlaybackMouse& pb) {
  RecordingReader R(file);
  return playRecording(R, H, loop, " Velmora   Current File Name:  pb", pb,
                  [&](const RecordedFrame&, const RecordingReader&, I32 xa, I32, I32 counter, I32 paused) {
                    shown.push_back({counter, paused, xa});
                  });
}

TEST(Playback, EveryFrameOnceWithoutLoop) {
  test::TempDir dir;
  const std::string file = recordOneOrbit();
  test::ScriptedHost H;
  std::vector<Shown> shown;
  PlaybackMouse pb;
  const PlaybackEnd end = play(file, H, false, shown, pb);
  EXPECT_FALSE(end.stopped);
  EXPECT_TRUE(end.problem.empty());
  ASSERT_EQ(shown.size(), 29u);  // 28 multiples of 7 and phase 1
  for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i].counter, static_cast<I32>(i + 1));
}

TEST(Playback, LoopsUntilQuit) {
  test::TempDir dir;
  const std::string file = recordOneOrbit();
  test::ScriptedHost H;
  H.script.assign(70, std::nullopt);
  H.script.push_back(MouseMsg{MouseMsg::LeftDown, 1, H.viewH - 1});
  std::vector<Shown> shown;
  PlaybackMouse pb;
  const PlaybackEnd end = play(file, H, true, shown, pb);
  EXPECT_TRUE(end.stopped);
  ASSERT_EQ(shown.size(), 70u);
  EXPECT_EQ(shown[28].counter, 29);
  EXPECT_EQ(shown[29].counter, 1);  // again from the first frame
}

TEST(Playback, PausedViewIsRedrawnWhenTurned) {
  test::TempDir dir;
  const std::string file = recordOneOrbit();
  test::ScriptedHost H;
  const int pauseX = 70, stripY = H.viewH - 1;
  H.script = {std::nullopt, MouseMsg{MouseMsg::LeftDown, pauseX, stripY},  // frame 1 shown, then pause
              std::nullopt,                                                // paused: nothing to draw
              MouseMsg{MouseMsg::LeftDown, 300, 300}, MouseMsg{MouseMsg::Move, 300, 310},
              MouseMsg{MouseMsg::LeftUp, 300, 310},
              MouseMsg{MouseMsg::LeftDown, pauseX, stripY},  // resume
              MouseMsg{MouseMsg::LeftDown, 1, stripY}};      // quit
  std::vector<Shown> shown;
  PlaybackMouse pb;
  const PlaybackEnd end = play(file, H, true, shown, pb);
  EXPECT_TRUE(end.stopped);
  // Frame 1, the paused form after the pause click, the paused form after the turn, frame 2.
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1].paused, 1);
  EXPECT_EQ(shown[1].counter, 1);
  EXPECT_EQ(shown[2].paused, 1);
  EXPECT_EQ(shown[2].xangle, 2);
  EXPECT_EQ(shown[3].counter, 2);
  ASSERT_FALSE(H.titles.empty());
  EXPECT_EQ(H.titles.back(), " Velmora   Current File Name:  pb       X-Angle:     2     Y-Angle:     0 ");
}

TEST(Playback, ShortAndDamagedFiles) {
  test::TempDir dir;
  const std::string file = recordOneOrbit();
  const auto size = std::filesystem::file_size(file);
  // Cut a few bytes into the second frame: it is damaged.
  const auto first = firstFrameBytes(10);  // phase 1 of the run: one batch of 10 injected
  std::filesystem::resize_file(file, first + 10);
  test::ScriptedHost H;
  std::vector<Shown> shown;
  PlaybackMouse pb;
  PlaybackEnd end = play(file, H, true, shown, pb);
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_NE(end.problem.find("frame 2"), std::string::npos) << end.problem;

  // Cut exactly after the first frame: the recording simply ends there, and looping shows it again.
  std::filesystem::resize_file(file, first);
  shown.clear();
  H.script.assign(5, std::nullopt);
  H.script.push_back(MouseMsg{MouseMsg::LeftDown, 1, H.viewH - 1});
  end = play(file, H, true, shown, pb);
  EXPECT_TRUE(end.problem.empty()) << end.problem;
  EXPECT_TRUE(end.stopped);
  EXPECT_EQ(shown.size(), 5u);
  EXPECT_LT(first, size);
}

}  // namespace
}  // namespace velmora
