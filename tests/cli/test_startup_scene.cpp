// velmora-cli startup-scene: a frame of a recording kept as the title scene's start-up file.
#include <gtest/gtest.h>

#include "display/start_scene.h"
#include "files/recording.h"
#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

class StartupSceneCli : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto r = test::runCli("run --orbits 1 --particles 60 --inj 3 --record 1 --frame-step 5 --name r --quiet");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  test::TempDir dir;
};

TEST_F(StartupSceneCli, KeepsTheFrameAsItWasRecorded) {
  const auto r = test::runCli("startup-scene r.vlm --frame 4 --out startup");
  ASSERT_EQ(r.code, 0) << r.err;
  RecordingReader reader("r.vlm");
  RecordedFrame f;
  for (int k = 0; k < 4; ++k) ASSERT_TRUE(reader.next(f));
  StartScene s;
  std::string error;
  ASSERT_TRUE(readStartScene("startup", s, error)) << error;
  ASSERT_EQ(s.N, f.N);
  EXPECT_GT(s.N, 0);
  EXPECT_EQ(s.X, f.X);
  EXPECT_EQ(s.TEMP4, f.TEMP);
  EXPECT_EQ(s.LOBX(1), f.LOBEX[0]);
  EXPECT_EQ(s.WDY(61), f.WDY[60]);
  // The file is the frame's body behind its particle count: the same bytes as in the recording.
  const std::string rec = test::slurp("r.vlm"), scene = test::slurp("startup");
  const std::size_t body = scene.size() - 4;
  EXPECT_NE(rec.find(scene.substr(4, body)), std::string::npos);
}

struct Refusal {
  const char* name;
  const char* args;
  int code;
  const char* mention;
};

class StartupSceneRefuses : public StartupSceneCli, public ::testing::WithParamInterface<Refusal> {};

TEST_P(StartupSceneRefuses, WithAMessageAndNoFile) {
  const auto r = test::runCli(GetParam().args);
  EXPECT_EQ(r.code, GetParam().code) << r.err;
  EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists("startup"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupSceneRefuses,
    ::testing::Values(Refusal{"frame_beyond", "startup-scene r.vlm --frame 999 --out startup", 2, "999"},
                      Refusal{"frame_zero", "startup-scene r.vlm --frame 0 --out startup", 2, "--frame"},
                      Refusal{"missing_recording", "startup-scene none.vlm --frame 1 --out startup", 1, "none.vlm"},
                      Refusal{"no_out", "startup-scene r.vlm --frame 1", 2, "--out"},
                      Refusal{"folder_missing", "startup-scene r.vlm --frame 1 --out no/startup", 1, "no/startup"}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
