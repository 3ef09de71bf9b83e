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

// On a screen scaled by r, the same window drawn into r times the pixels: the drawing area by
// the rule in logical pixels (what the mouse's hit areas use) and r times it in device pixels,
// the strip r x 25 rows high with its captions in fonts r times as tall, the stars r x r times
// the area. Ratio 1.5 rounds to whole pixels.
class ScaledScreen : public ::testing::TestWithParam<double> {};

TEST_P(ScaledScreen, LooksAsAtRatioOneOnlySharper) {
  const double r = GetParam();
  const auto dev = [r](int n) { return devicePixels(n, r); };
  Window plain;
  Window scaled(dev(650), dev(730));
  scaled.view.resize(650, 730, r);
  const Display& P = plain.view.display();
  const Display& D = scaled.view.display();
  EXPECT_EQ(scaled.view.logicalW(), P.VIEWW);
  EXPECT_EQ(scaled.view.logicalH(), P.VIEWH);
  EXPECT_EQ(D.VIEWW, dev(P.VIEWW));
  EXPECT_EQ(D.VIEWH, dev(P.VIEWH));
  EXPECT_EQ(D.STRIPPX, dev(STRIPH));

  auto S = test::ringScene(0, 150);
  for (Window* w : {&plain, &scaled}) {
    w->surface.makeCurrent();
    w->view.show(*S, 450, 0, 0, 0);
    w->view.show(*S, 450, 0, 0, 0);
  }
  // The grey buttons and the gap between them, where they are at ratio 1.
  EXPECT_TRUE(test::near(scaled.at(dev(2), dev(2)), 102, 102, 102));
  EXPECT_TRUE(test::near(scaled.at(dev(43), dev(22)), 102, 102, 102));
  EXPECT_TRUE(test::black(scaled.at(dev(46) + 1, dev(12))));
  EXPECT_TRUE(test::white(scaled.at(dev(300), D.STRIPPX - 1)));  // the line along the top of the strip
  EXPECT_TRUE(test::black(scaled.at(dev(300), dev(20))));
  // Each caption in its font at r times the height.
  const int top = D.STRIPPX - 2 * dev(1);  // below the line along the top of the strip
  EXPECT_EQ(test::whiteMask(scaled, 0, 0, dev(46), top),
            test::captionMask(D.VIEWW, dev(730), 4000, dev(14), -0.965f, -0.23f, 0, D.STRIPPX, "QUIT", 0, 0, dev(46),
                              top));
  EXPECT_EQ(test::whiteMask(scaled, dev(510), 0, D.VIEWW, top),
            test::captionMask(D.VIEWW, dev(730), 5000, dev(16), 0.6f, -0.23f, 0, D.STRIPPX, "Orbit   2.25 /  10",
                              dev(510), 0, D.VIEWW, top));
  const auto red = [](const test::Pixel& p) { return test::near(p, 255, 25, 0); };
  const double plainRed = plain.count(0, 26, 650, 730, red);
  const double scaledRed = scaled.count(0, D.STRIPPX + 1, D.VIEWW, dev(730), red);
  EXPECT_NEAR(scaledRed / plainRed, r * r, 0.05 * r * r);
}

INSTANTIATE_TEST_SUITE_P(Ratios, ScaledScreen, ::testing::Values(1.5, 2.0),
                         [](const auto& tc) { return tc.param == 2.0 ? std::string("two") : std::string("one_and_half"); });

}  // namespace
}  // namespace velmora
