// Arithmetic of the views: drawing area, progress text, orbit counter, playback pacing.
#include <gtest/gtest.h>

#include "display/view_rules.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

struct AreaCase {
  int width, height;
  I32 VIEWW, VIEWH;
};

class DrawingArea : public ::testing::TestWithParam<AreaCase> {};

TEST_P(DrawingArea, FromClientSize) {
  const auto c = GetParam();
  I32 w = 0, h = 0;
  drawingArea(c.width, c.height, w, h);
  EXPECT_EQ(w, c.VIEWW);
  EXPECT_EQ(h, c.VIEWH);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DrawingArea,
                         ::testing::Values(AreaCase{800, 600, 575, 600},   // wide: square above the strip
                                           AreaCase{400, 600, 400, 440},   // tall: 40 taller than wide
                                           AreaCase{600, 800, 600, 640},
                                           AreaCase{650, 730, 650, 690},   // the program's window
                                           AreaCase{650, 675, 650, 690},   // h - 25 = w: the tall branch
                                           AreaCase{800, 0, -24, 1},       // minimised: height counts as 1
                                           AreaCase{65536 + 400, 65536 + 600, 400, 440}),  // 16-bit values
                         [](const auto& tc) {
                           return test::caseName(std::to_string(tc.param.width) + "x" +
                                                 std::to_string(tc.param.height));
                         });

TEST(Progress, PercentAndText) {
  // First display update of a 50-orbit run: phase 1, no orbit completed.
  const float first = progressPercent(1, 0, 50);
  EXPECT_EQ(progressText(first).substr(0, 6), " 0.01 ");
  EXPECT_EQ(progressText(first).size(), 75u);
  EXPECT_LT(first, 1.0f);
  // The last phase of the last orbit needs six characters: five asterisks.
  EXPECT_EQ(progressText(progressPercent(200, 49, 50)).substr(0, 5), "*****");
  EXPECT_EQ(progressText(1.234f).substr(0, 5), " 1.23");
  EXPECT_EQ(progressText(99.996f).substr(0, 5), "*****");  // rounds to 100.00
  // A run of no orbits cannot be shown as a share: asterisks, not a crash.
  EXPECT_EQ(progressText(progressPercent(1, 0, 0)).substr(0, 5), "*****");
}

TEST(OrbitCounter, Fields) {
  EXPECT_EQ(orbitCounterText(12.34f, 50), "Orbit  12.34 /  50");
  EXPECT_EQ(orbitCounterText(1000.0f, 50), "Orbit ****** /  50");
  EXPECT_EQ(orbitCounterText(2.0f, 1000), "Orbit   2.00 / ***");
  EXPECT_EQ(liveOrbits(450, 0), 2.25f);
  EXPECT_EQ(liveOrbits(200, 7), 8.0f);
}

struct HintCase {
  float T;
  float tolerance;
  const char* text;
};

class Hint : public ::testing::TestWithParam<HintCase> {};

TEST_P(Hint, CompleteNearTheLastOrbit) {
  EXPECT_EQ(hintText(GetParam().T, 10, GetParam().tolerance), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Tolerances, Hint,
    ::testing::Values(HintCase{10.0f, 0.004f, "SIMULATION COMPLETE!"}, HintCase{9.997f, 0.004f, "SIMULATION COMPLETE!"},
                      HintCase{9.99f, 0.004f, "CLICK -> DRAG TO ROTATE"},
                      HintCase{9.9955f, 0.005f, "SIMULATION COMPLETE!"},
                      HintCase{9.99f, 0.005f, "CLICK -> DRAG TO ROTATE"}),
    [](const auto& tc) {
      return test::caseName(std::to_string(tc.param.T) + "_" + std::to_string(tc.param.tolerance));
    });

TEST(Playback, FramesPerOrbitAndCounter) {
  EXPECT_EQ(playbackFramesPerOrbit(1), 200);
  EXPECT_EQ(playbackFramesPerOrbit(7), 29);
  EXPECT_EQ(playbackFramesPerOrbit(10), 21);
  EXPECT_EQ(playbackOrbits(21, 10, 3), 3.0f);   // one orbit of frames after RECSTART - 1
  EXPECT_EQ(playbackOrbits(100, 1, 1), 0.5f);
}

TEST(Playback, FrameWait) {
  EXPECT_EQ(playbackWaitMs(0, 1), 25);
  EXPECT_EQ(playbackWaitMs(0, 7), 55);
  EXPECT_EQ(playbackWaitMs(19000, 1), 6);
  EXPECT_EQ(playbackWaitMs(1500, 2), 18);  // 8 + 10
}

TEST(Phase, IndexWraps) {
  EXPECT_EQ(phaseIndex(1), 1);
  EXPECT_EQ(phaseIndex(200), 200);
  EXPECT_EQ(phaseIndex(0), 200);  // the end of an orbit is phase 200
  EXPECT_EQ(phaseIndex(201), 1);
}

}  // namespace
}  // namespace velmora
