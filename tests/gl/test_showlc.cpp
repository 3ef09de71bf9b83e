// The light-curve plot: samples, smoothed curve, spectrum and peak labels; files that cannot be
// plotted.
#include <cmath>
#include <fstream>
#include <functional>

#include "tests/support/gl_support.h"

namespace velmora {
namespace {

using test::Window;
using test::wave;
using test::writeCurve;

// Pixel of a plot point (x, y) in the 650 x 690 drawing area of the default window.
struct At {
  int x, y;
};
At plotPixel(float x, float y) {
  return {static_cast<int>((x + 0.25f) / 1.4f * 650.0f), static_cast<int>((y + 0.1f) / 1.4f * 690.0f)};
}

bool yellow(const test::Pixel& p) { return p[0] > 200 && p[1] > 200 && p[2] < 60; }
bool red(const test::Pixel& p) { return p[0] > 120 && p[1] < p[0] / 3 && p[2] < 40; }

TEST(ShowLC, PanelsSpectrumAndPeaks) {
  test::TempDir dir;
  writeCurve("run_lc.vlm", 8, wave);
  Window w;
  const PlotResult r = w.view.showLC("run_lc.vlm", 1, 8);
  ASSERT_TRUE(r.drawn) << r.message;
  EXPECT_TRUE(r.message.empty()) << r.message;
  // Yellow samples fill each of the four light-curve panels.
  for (float y0 : {1.04f, 0.78f, 0.52f, 0.26f}) {
    const At lo = plotPixel(0.0f, y0), hi = plotPixel(1.0f, y0 + 0.16f);
    EXPECT_GT(w.count(lo.x, lo.y, hi.x + 1, hi.y + 1, yellow), 100) << "panel at " << y0;
    EXPECT_GT(w.count(lo.x, lo.y, hi.x + 1, hi.y + 1, red), 50) << "smoothed curve at " << y0;
  }
  // The spectrum is red, its axes white, and the peak at 1 cycle per orbit carries a yellow label.
  const At s0 = plotPixel(0.0f, 0.0f), s1 = plotPixel(1.0f, 0.16f);
  EXPECT_GT(w.count(s0.x + 2, s0.y + 1, s1.x, s1.y + 2, red), 100);
  EXPECT_TRUE(test::white(w.at(s0.x + 50, plotPixel(0.0f, -0.001f).y)));
  const At label = plotPixel(1.0f / 5.0f + 0.01f, 0.16f);
  EXPECT_GT(w.count(label.x, label.y - 2, label.x + 60, label.y + 16, yellow), 20);
  // Both text files are written beside the light curve.
  EXPECT_NE(test::slurp("fftpeaks.txt").find("  0.9766 "), std::string::npos);  // bin 11 of 2048
  EXPECT_FALSE(test::slurp("stdev.txt").empty());
}

TEST(ShowLC, ConstantLightCurveIsAFlatLineInTheMiddle) {
  test::TempDir dir;
  writeCurve("flat_lc.vlm", 1, [](int) { return 5.0; });
  Window w;
  const PlotResult r = w.view.showLC("flat_lc.vlm", 1, 1);
  ASSERT_TRUE(r.drawn) << r.message;
  const auto curve = [](const test::Pixel& p) { return yellow(p) || red(p); };
  const At mid = plotPixel(0.5f, 1.04f + 0.08f);
  EXPECT_GT(w.count(mid.x - 3, mid.y - 2, mid.x + 3, mid.y + 3, red), 0);
  const At lo = plotPixel(0.05f, 1.04f), hi = plotPixel(0.95f, 1.04f + 0.16f);
  EXPECT_EQ(w.count(lo.x, lo.y + 3, hi.x, mid.y - 3, curve), 0);
  EXPECT_EQ(w.count(lo.x, mid.y + 4, hi.x, hi.y, curve), 0);
}

struct BadCase {
  const char* name;
  std::function<void()> make;
  I32 first, last;
  const char* mention;
};

class ShowLCRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(ShowLCRefuses, LeavesPictureAndFilesAlone) {
  test::TempDir dir;
  GetParam().make();
  std::ofstream("fftpeaks.txt") << "earlier";
  Window w;
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const PlotResult r = w.view.showLC("bad_lc.vlm", GetParam().first, GetParam().last);
  EXPECT_FALSE(r.drawn);
  EXPECT_NE(r.message.find(GetParam().mention), std::string::npos) << r.message;
  EXPECT_EQ(test::slurp("fftpeaks.txt"), "earlier");
  EXPECT_FALSE(std::filesystem::exists("stdev.txt"));
  EXPECT_TRUE(test::near(w.at(300, 300), 0, 0, 255));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShowLCRefuses,
    ::testing::Values(BadCase{"missing", [] {}, 1, 1, "bad_lc.vlm"},
                      BadCase{"less_than_an_orbit", [] { writeCurve("bad_lc.vlm", 0, wave); }, 1, 1, "less than one orbit"},
                      BadCase{"range_beyond_the_file", [] { writeCurve("bad_lc.vlm", 2, wave); }, 2, 3, "3"},
                      BadCase{"malformed", [] { std::ofstream("bad_lc.vlm") << "  200\r\n garbage\r\n"; }, 1, 1,
                              "bad_lc.vlm"}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
