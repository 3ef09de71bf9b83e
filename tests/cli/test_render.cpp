// velmora-cli render: PNGs of the views, and the refusals.
#include "tests/support/cli_support.h"
#include "tests/support/gl_support.h"

namespace velmora {
namespace {

// Width and height from a PNG's header, or {0, 0} when it is not one.
std::pair<unsigned, unsigned> pngSize(const std::string& path) {
  const std::string b = test::slurp(path);
  if (b.size() < 24 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  const auto be = [&b](std::size_t at) {
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(b[at + k]);
    return v;
  };
  return {be(16), be(20)};
}

TEST(RenderCli, TitleAndLightCurve) {
  test::TempDir dir;
  auto r = test::runCli("render title --out title.png");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(pngSize("title.png"), std::make_pair(650u, 730u));

  std::filesystem::create_directories("runs");
  test::writeCurve("runs/demo_lc.vlm", 4, test::wave);
  r = test::runCli("render lc runs/demo_lc.vlm --first 2 --last 3 --width 400 --height 500 --out lc.png");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(pngSize("lc.png"), std::make_pair(400u, 500u));
  EXPECT_TRUE(std::filesystem::exists("runs/fftpeaks.txt"));
  EXPECT_TRUE(std::filesystem::exists("runs/stdev.txt"));
  EXPECT_FALSE(std::filesystem::exists("fftpeaks.txt"));
  // The same picture again is the same file, byte for byte.
  r = test::runCli("render lc runs/demo_lc.vlm --first 2 --last 3 --width 400 --height 500 --out again.png");
  EXPECT_EQ(test::slurp("again.png"), test::slurp("lc.png"));
}

TEST(RenderCli, AnalysisOfARun) {
  test::TempDir dir;
  auto r = test::runCli("run --orbits 2 --particles 300 --record 1 --frame-step 7 --lc 1 --restart-every 1 --name an --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  r = test::runCli("render analysis an --window 1 --width 500 --height 560 --out an.png");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(pngSize("an.png"), std::make_pair(500u, 560u));
  // A missing file leaves its panels empty, with a note; no file at all is an error.
  std::filesystem::remove("an.vlm");
  r = test::runCli("render analysis an --quiet --out part.png");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("an.vlm is missing"), std::string::npos) << r.err;
  EXPECT_NE(test::slurp("part.png"), test::slurp("an.png"));
  r = test::runCli("render analysis none --out none.png");
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(std::filesystem::exists("none.png"));
  r = test::runCli("render analysis an --first 3 --out bad.png");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_FALSE(std::filesystem::exists("bad.png"));
}

TEST(RenderCli, RecordingFrame) {
  test::TempDir dir;
  auto r = test::runCli("run --orbits 1 --particles 300 --inj 5 --record 1 --frame-step 2 --name rec --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  r = test::runCli("render recording rec.vlm --frame 80 --out a.png");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(pngSize("a.png"), std::make_pair(650u, 730u));
  r = test::runCli(
      "render recording rec.vlm --frame 80 --angles -30,45 --style points --color temperature --size large "
      "--width 500 --height 400 --out b.png");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(pngSize("b.png"), std::make_pair(500u, 400u));
  r = test::runCli("render recording rec.vlm --frame 80 --out c.png");
  EXPECT_EQ(test::slurp("c.png"), test::slurp("a.png"));
  EXPECT_NE(test::slurp("b.png"), test::slurp("a.png"));
  for (const char* bad : {"--frame 0", "--frame 9999", "--frame 3 --angles 400,0", "--frame 3 --angles 10",
                          "--frame 3 --color heat"}) {
    r = test::runCli(std::string("render recording rec.vlm ") + bad + " --out bad.png");
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_FALSE(std::filesystem::exists("bad.png")) << bad;
  }
}

struct Refusal {
  const char* name;
  const char* args;
  int code;
  const char* mention;
};

class RenderRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(RenderRefuses, WithAMessageAndNoPicture) {
  test::TempDir dir;
  test::writeCurve("demo_lc.vlm", 2, test::wave);
  const auto r = test::runCli(GetParam().args);
  EXPECT_EQ(r.code, GetParam().code) << r.err;
  EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists("out.png"));
  EXPECT_FALSE(std::filesystem::exists("out.png.tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderRefuses,
    ::testing::Values(Refusal{"missing_file", "render lc nothing_lc.vlm --out out.png", 1, "nothing_lc.vlm"},
                      Refusal{"last_beyond_the_file", "render lc demo_lc.vlm --last 3 --out out.png", 2, "--last"},
                      Refusal{"first_after_last", "render lc demo_lc.vlm --first 2 --last 1 --out out.png", 2, "--last"},
                      Refusal{"width_too_small", "render title --width 5 --out out.png", 2, "--width"},
                      Refusal{"no_out", "render title", 2, "--out"},
                      Refusal{"folder_missing", "render title --out no/such/out.png", 1, "no/such/out.png"}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
