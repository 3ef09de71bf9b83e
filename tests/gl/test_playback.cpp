// Playback frames and the title scene.
#include <fstream>
#include <set>

#include "display/start_scene.h"
#include "tests/support/gl_support.h"

namespace velmora {
namespace {

using test::Window;

// A host that records the waits a playback asks for.
struct WaitHost : test::ScriptedHost {
  std::vector<int> waits;
  void sleepMs(int ms) override { waits.push_back(ms); }
};

// A recorded frame taken from a live state, as the recorder stores it.
struct Frame {
  std::vector<float> X, Y, Z, RHO, TEMP, LOBX, LOBY, WDX, WDY;
  PlaybackFrame view() const {
    PlaybackFrame f;
    f.N = static_cast<I32>(X.size());
    f.X = X.data(), f.Y = Y.data(), f.Z = Z.data(), f.RHO = RHO.data(), f.TEMP = TEMP.data();
    f.LOBX = LOBX.data(), f.LOBY = LOBY.data(), f.WDX = WDX.data(), f.WDY = WDY.data();
    return f;
  }
};

Frame frameOf(const Sim& S) {
  Frame f;
  for (int i = 1; i <= S.NPART; ++i) {
    f.X.push_back(S.X(i)), f.Y.push_back(S.Y(i)), f.Z.push_back(S.Z(i));
    f.RHO.push_back(S.RHO(i)), f.TEMP.push_back(std::pow(S.U(i), 0.25f));
  }
  for (int i = 1; i <= NLOBE; ++i) f.LOBX.push_back(S.LOBEX(i, S.IPHASE)), f.LOBY.push_back(S.LOBEY(i, S.IPHASE));
  for (int j = 1; j <= NWDPTS; ++j) f.WDX.push_back(S.WDX(j, S.IPHASE)), f.WDY.push_back(S.WDY(j, S.IPHASE));
  return f;
}

TEST(Show2, FrameCounterHintAndWait) {
  Window w;
  auto S = test::ringScene(300);
  const Frame f = frameOf(*S);
  WaitHost H;
  const PlaybackInfo info{10, 3, 4};  // 21 frames an orbit, recorded from orbit 3 of 4
  w.view.show2(f.view(), info, 0, 0, 21, 0, H);
  const auto strip = [&](float x, int x0, int x1, const std::string& text, int base, int height) {
    EXPECT_EQ(test::whiteMask(w, x0, 0, x1, 24),
              test::captionMask(650, 730, base, height, x, -0.23f, 0, STRIPH, text, x0, 0, x1, 24))
        << text;
  };
  strip(0.6f, 510, 650, "Orbit   3.00 /   4", 5000, 16);
  strip(-0.28f, 120, 500, "CLICK -> DRAG TO ROTATE", 5000, 16);
  strip(-0.965f, 0, 46, "QUIT", 4000, 14);
  w.view.show2(f.view(), info, 0, 0, 42, 1, H);
  strip(0.6f, 510, 650, "Orbit   4.00 /   4", 5000, 16);
  strip(-0.28f, 120, 500, "SIMULATION COMPLETE!", 5000, 16);
  strip(-0.833f, 48, 95, "CONT.", 4000, 14);
  // 20000 / (300 + 1000) + 5 x 10 = 65.4 ms, truncated.
  EXPECT_EQ(H.waits, (std::vector<int>{65, 65}));
}

TEST(Show2, ParticlesStarsAndLitLobe) {
  Window w;
  auto S = test::ringScene(300, 150);
  const Frame f = frameOf(*S);
  WaitHost H;
  const PlaybackInfo info{1, 1, 10};
  w.view.show2(f.view(), info, 0, 0, 1, 0, H);
  const auto any = [](const test::Pixel& p) { return !test::black(p); };
  EXPECT_EQ(w.count(0, 26, 650, 730, any), 0);  // the first frame of a context: strip only
  w.view.show2(f.view(), info, 0, 0, 2, 0, H);
  // The lobe is lit, not flat: no pixel has its plain colour, and its shades run from the
  // ambient red (0.4 of the material) upwards.
  std::set<int> shades;
  const int lobe = w.count(0, 26, 650, 300, [&](const test::Pixel& p) {
    if (p[0] < 90 || p[1] > p[0] / 2) return false;
    shades.insert(p[0]);
    return true;
  });
  EXPECT_GT(lobe, 5000);
  EXPECT_GT(shades.size(), 20u);
  EXPECT_GE(*shades.begin(), 100);
  EXPECT_EQ(w.count(0, 26, 650, 730, [](const test::Pixel& p) { return test::near(p, 255, 25, 0); }), 0);
  EXPECT_GT(w.count(0, 26, 650, 730, [](const test::Pixel& p) { return test::white(p); }), 20);  // the primary
  // Density colours of the recorded values: the densest particle is nearly cyan.
  EXPECT_GT(w.count(0, 26, 650, 730, [](const test::Pixel& p) { return test::near(p, 5, 255, 255, 2); }), 0);
}

TEST(Show2, TemperatureUsesTheRecordedValue) {
  Window w;
  auto S = test::ringScene(2, 150);
  Frame f = frameOf(*S);
  f.X = {0.5f, -0.5f}, f.Y = {0.5f, 0.5f}, f.Z = {0.0f, 0.0f};
  f.TEMP = {1.0f, 16.0f};  // taken as they are, no further root
  f.TEMP[1] = 2.0f;
  f.X.push_back(0.0f), f.Y.push_back(0.6f), f.Z.push_back(0.0f), f.RHO.push_back(1.0f), f.TEMP.push_back(1.5f);
  w.view.options().COLORMODE = 2;
  w.view.options().PTSIZE = 2.0f;
  WaitHost H;
  w.view.show2(f.view(), {1, 1, 10}, 0, 0, 1, 0, H);
  w.view.show2(f.view(), {1, 1, 10}, 0, 0, 2, 0, H);
  // 1.5 lies halfway: t = 1.5, yellow to white.
  EXPECT_GT(w.count(320, 550, 332, 562, [](const test::Pixel& p) { return test::near(p, 255, 255, 128); }), 0);
}

TEST(TitleScene, TextsWithoutAStartFile) {
  test::TempDir dir;
  Window w;
  w.view.setStartFile("Auxillary Files/startup");
  w.view.drawScene();
  const auto white = [](const test::Pixel& p) { return test::white(p); };
  // "Velmora" in the 90-pixel font from x = -0.43, y = 0.6 of the 650 x 690 drawing area.
  EXPECT_EQ(test::whiteMask(w, 150, 540, 500, 640),
            test::captionMask(650, 730, 1000, 90, -0.43f, 0.6f, 0, 690, "Velmora", 150, 540, 500, 640));
  EXPECT_EQ(test::whiteMask(w, 150, 460, 550, 500),
            test::captionMask(650, 730, 2000, 35, -0.43f, 0.35f, 0, 690, "Cataclysmic Variable", 150, 460, 550,
                              500));
  EXPECT_GT(w.count(150, 410, 600, 440, white), 100);  // "Accretion Disk Simulator"
  EXPECT_EQ(w.count(0, 0, 650, 400, [](const test::Pixel& p) { return !test::black(p); }), 0);
  EXPECT_TRUE(w.warnings.empty());
}

TEST(TitleScene, DrawsTheStartScene) {
  test::TempDir dir;
  auto S = test::ringScene(2000, 20);
  StartScene sc;
  const Frame f = frameOf(*S);
  sc.N = S->NPART;
  sc.X = f.X, sc.Y = f.Y, sc.Z = f.Z, sc.RHO = f.RHO, sc.TEMP4 = f.TEMP;
  for (int i = 1; i <= NLOBE; ++i) sc.LOBX(i) = f.LOBX[static_cast<std::size_t>(i - 1)], sc.LOBY(i) = f.LOBY[static_cast<std::size_t>(i - 1)];
  for (int j = 1; j <= NWDPTS; ++j) sc.WDX(j) = f.WDX[static_cast<std::size_t>(j - 1)], sc.WDY(j) = f.WDY[static_cast<std::size_t>(j - 1)];
  std::filesystem::create_directories("Auxillary Files");
  std::string error;
  ASSERT_TRUE(writeStartScene("Auxillary Files/startup", sc, error)) << error;
  Window w;
  w.view.setStartFile("Auxillary Files/startup");
  w.view.drawScene();
  const auto any = [](const test::Pixel& p) { return !test::black(p); };
  EXPECT_GT(w.count(0, 0, 650, 400, any), 2000);
  // Coolest particles red, hottest cyan.
  EXPECT_GT(w.count(0, 0, 650, 730, [](const test::Pixel& p) { return test::near(p, 0, 255, 255, 2); }), 0);
  EXPECT_TRUE(w.warnings.empty());
}

TEST(TitleScene, DamagedStartFileGivesTheTextsAndOneWarning) {
  test::TempDir dir;
  std::filesystem::create_directories("Auxillary Files");
  std::ofstream("Auxillary Files/startup") << "not a scene";
  Window w;
  w.view.setStartFile("Auxillary Files/startup");
  w.view.drawScene();
  w.view.drawScene();
  EXPECT_EQ(w.count(0, 0, 650, 400, [](const test::Pixel& p) { return !test::black(p); }), 0);
  EXPECT_GT(w.count(150, 540, 500, 640, [](const test::Pixel& p) { return test::white(p); }), 500);
  ASSERT_EQ(w.warnings.size(), 1u);
  EXPECT_NE(w.warnings[0].find("Auxillary Files/startup"), std::string::npos);
}

}  // namespace
}  // namespace velmora
