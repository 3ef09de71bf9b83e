// The live frame: button strip, depth rule, stars and particle colours.
#include "tests/support/gl_support.h"

namespace velmora {
namespace {

using test::Window;

// Pixel of a scene point (x, y) under the plain projection, in the default window.
struct At {
  int x, y;
};
At scenePixel(const Window& w, float x, float y) {
  const Display& D = const_cast<Window&>(w).view.display();
  const float px = (x + 1.0f) / 2.0f * static_cast<float>(D.VIEWW);
  const float py = static_cast<float>(STRIPH) + (y + 1.0f) / 2.0f * static_cast<float>(D.VIEWH - STRIPH);
  return {static_cast<int>(px), static_cast<int>(py)};
}

TEST(Show, FirstFrameOfAContextShowsOnlyTheStrip) {
  Window w;
  auto S = test::ringScene();
  const auto lit = [](const test::Pixel& p) { return !test::black(p); };
  w.view.show(*S, 450, 0, 0, 0);
  // The depth buffer was cleared to OpenGL's initial 1: no scene fragment is farther.
  EXPECT_EQ(w.count(0, 26, 650, 730, lit), 0);
  EXPECT_GT(w.count(0, 0, 650, 25, lit), 1000);
  w.view.show(*S, 450, 0, 0, 0);
  EXPECT_GT(w.count(0, 26, 650, 730, lit), 1000);
}

TEST(Show, ButtonStrip) {
  Window w;
  auto S = test::ringScene();
  w.view.show(*S, 450, 0, 0, 0);
  // QUIT spans x = -1 .. -0.86 of the strip (pixels 0..45), PAUSE -0.85 .. -0.71 (48..94).
  EXPECT_TRUE(test::near(w.at(2, 2), 102, 102, 102));
  EXPECT_TRUE(test::near(w.at(43, 22), 102, 102, 102));
  EXPECT_TRUE(test::near(w.at(50, 2), 102, 102, 102));
  EXPECT_TRUE(test::black(w.at(46, 12)));  // the gap between the buttons
  EXPECT_TRUE(test::white(w.at(300, 24)));  // the line along the top of the strip
  EXPECT_TRUE(test::black(w.at(300, 20)));

  // Each caption is exactly the text drawn in its font at its place.
  const auto strip = [&](float x, int x0, int x1, const std::string& text, int base, int height) {
    EXPECT_EQ(test::whiteMask(w, x0, 0, x1, 24),
              test::captionMask(650, 730, base, height, x, -0.23f, 0, STRIPH, text, x0, 0, x1, 24))
        << text;
  };
  strip(-0.965f, 0, 46, "QUIT", 4000, 14);
  strip(-0.833f, 48, 95, "PAUSE", 4000, 14);
  strip(-0.28f, 120, 500, "CLICK -> DRAG TO ROTATE", 5000, 16);
  strip(0.6f, 510, 650, "Orbit   2.25 /  10", 5000, 16);

  w.view.show(*S, 2000, 0, 0, 1);  // paused, at the end of the run
  strip(-0.833f, 48, 95, "CONT.", 4000, 14);
  strip(-0.28f, 120, 500, "SIMULATION COMPLETE!", 5000, 16);
  strip(0.6f, 510, 650, "Orbit  10.00 /  10", 5000, 16);
  S->ORB0 = 1;  // a restarted run counts from its restart orbit
  w.view.show(*S, 1799, 0, 0, 1);
  strip(-0.28f, 120, 500, "CLICK -> DRAG TO ROTATE", 5000, 16);
  strip(0.6f, 510, 650, "Orbit   9.99 /  10", 5000, 16);
}

// Two particles apart from the stars: the thinner (RHO 1) and the denser (RHO 2); what each shows.
struct ColourCase {
  const char* name;
  I32 COLORMODE;
  std::array<int, 3> thin, dense;
};

class ParticleColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ParticleColour, FromTheFrameScale) {
  Window w;
  auto S = test::ringScene(2);
  S->X(1) = 0.5f, S->Y(1) = -0.5f, S->Z(1) = 0.0f, S->RHO(1) = 1.0f, S->U(1) = 1.0f;
  S->X(2) = -0.5f, S->Y(2) = -0.5f, S->Z(2) = 0.0f, S->RHO(2) = 2.0f, S->U(2) = 16.0f;
  w.view.options().COLORMODE = GetParam().COLORMODE;
  w.view.options().PTSIZE = 2.0f;
  w.view.show(*S, 450, 0, 0, 0);
  w.view.show(*S, 450, 0, 0, 0);
  const auto probe = [&](float x, float y, std::array<int, 3> c) {
    const At a = scenePixel(w, x, y);
    const int n = w.count(a.x - 2, a.y - 2, a.x + 3, a.y + 3,
                          [&](const test::Pixel& p) { return test::near(p, c[0], c[1], c[2]); });
    EXPECT_GE(n, 1) << "colour " << c[0] << "," << c[1] << "," << c[2] << " at " << x << "," << y;
  };
  if (GetParam().COLORMODE == 3) {
    const At a = scenePixel(w, 0.5f, -0.5f);
    EXPECT_EQ(w.count(a.x - 3, a.y - 3, a.x + 4, a.y + 4, [](const test::Pixel& p) { return !test::black(p); }), 0);
    return;
  }
  probe(0.5f, -0.5f, GetParam().thin);
  probe(-0.5f, -0.5f, GetParam().dense);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ParticleColour,
    ::testing::Values(ColourCase{"density", 1, {255, 109, 0}, {5, 255, 255}},  // orange .. nearly cyan
                      ColourCase{"temperature", 2, {255, 0, 0}, {0, 255, 255}},  // U^0.25 = 1 and 2
                      ColourCase{"none", 3, {0, 0, 0}, {0, 0, 0}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Show, FartherFragmentWins) {
  Window w;
  auto S = test::ringScene(2);
  // Same place; the thin (orange) one lies farther from the viewer, the dense (cyan) one nearer
  // and is drawn later; the farther one shows.
  S->X(1) = 0.5f, S->Y(1) = -0.5f, S->Z(1) = -0.5f, S->RHO(1) = 1.0f;
  S->X(2) = 0.5f, S->Y(2) = -0.5f, S->Z(2) = 0.5f, S->RHO(2) = 2.0f;
  w.view.show(*S, 450, 0, 0, 0);
  w.view.show(*S, 450, 0, 0, 0);
  const At a = scenePixel(w, 0.5f, -0.5f);
  EXPECT_GE(w.count(a.x - 1, a.y - 1, a.x + 2, a.y + 2, [](const auto& p) { return test::near(p, 255, 109, 0); }), 1);
  EXPECT_EQ(w.count(a.x - 1, a.y - 1, a.x + 2, a.y + 2, [](const auto& p) { return test::near(p, 5, 255, 255); }), 0);
}

TEST(Show, ViewTurnsWithTheAngles) {
  Window w;
  auto S = test::ringScene(1);
  S->X(1) = 0.5f, S->Y(1) = 0.5f, S->Z(1) = 0.0f;
  const auto lit = [](const test::Pixel& p) { return test::near(p, 255, 109, 0); };
  w.view.show(*S, 450, 0, 0, 0);
  w.view.show(*S, 450, 0, 0, 0);  // straight down: x to the right, y up
  const At a = scenePixel(w, 0.5f, 0.5f);
  EXPECT_GE(w.count(a.x - 1, a.y - 1, a.x + 2, a.y + 2, lit), 1);
  w.view.show(*S, 450, 180, 0, 0);  // turned over about x: y down
  const At b = scenePixel(w, 0.5f, -0.5f);
  EXPECT_GE(w.count(b.x - 1, b.y - 1, b.x + 2, b.y + 2, lit), 1);
}

struct StyleCase {
  const char* name;
  I32 STARSTYLE;
  int minRed, maxRed;
};

class StarStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(StarStyle, DrawsTheLobe) {
  Window w;
  auto S = test::ringScene(0, 150);  // the lobe on the lower half of the view
  w.view.options().STARSTYLE = GetParam().STARSTYLE;
  w.view.show(*S, 450, 0, 0, 0);
  w.view.show(*S, 450, 0, 0, 0);
  const int red = w.count(0, 26, 650, 730, [](const test::Pixel& p) { return test::near(p, 255, 25, 0); });
  EXPECT_GE(red, GetParam().minRed);
  EXPECT_LE(red, GetParam().maxRed);
}

INSTANTIATE_TEST_SUITE_P(Styles, StarStyle,
                         ::testing::Values(StyleCase{"filled", 1, 15000, 60000}, StyleCase{"wire", 2, 1000, 15000},
                                           StyleCase{"points", 3, 200, 5000}, StyleCase{"unknown", 9, 0, 0}),
                         [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
