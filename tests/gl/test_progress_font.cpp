// The progress screen and the bitmap fonts.
#include "tests/support/gl_support.h"

namespace velmora {
namespace {

using test::Window;

// The progress screen's two lines are exactly these texts in the 20-pixel font.
void expectProgress(Window& w, const std::string& percentText) {
  EXPECT_EQ(test::whiteMask(w, 100, 470, 500, 500),
            test::captionMask(650, 730, 3000, 20, -0.31f, 0.4f, 0, 690, "Current Simulation Progress", 100, 470, 500,
                              500));
  EXPECT_EQ(test::whiteMask(w, 250, 440, 400, 466),
            test::captionMask(650, 730, 3000, 20, -0.1f, 0.3f, 0, 690, percentText, 250, 440, 400, 466))
      << percentText;
}

TEST(Progress, FirstUpdateAndEndOfARun) {
  Window w;
  auto S = test::newSim();
  S->NORBTOT = 50;
  w.view.progress(*S, 1, 0);
  expectProgress(w, " 0.01%");
  w.view.progress(*S, 100, 20);
  expectProgress(w, "41.00%");
  w.view.progress(*S, 200, 49);  // 100 % needs six characters
  expectProgress(w, "*****%");
}

TEST(Progress, FontExistsWhenTheFirstScreenIsBeyondOnePercent) {
  // A continued run's first progress screen may already be past 1 %.
  Window w;
  auto S = test::newSim();
  S->NORBTOT = 10;
  w.view.progress(*S, 100, 5);
  expectProgress(w, "55.00%");
}

struct CapCase {
  int height;
  int capMin, capMax;
};

class FontHeight : public ::testing::TestWithParam<CapCase> {};

// The height is the font's cell (ascender + descender): a capital H of Liberation Sans stands
// 1409/2288 of it.
TEST_P(FontHeight, IsTheCellHeight) {
  Window w;
  Display& D = w.view.display();
  glClear(GL_COLOR_BUFFER_BIT);
  MAKEFONT(D.fonts, 7000, GetParam().height, 0);
  glColor3f(1.0f, 1.0f, 1.0f);
  draw::caption(D, 7000, 0.0f, 0.0f, "H");
  int top = -1, bottom = -1;
  for (int y = 0; y < 730; ++y)
    if (w.count(300, y, 500, y + 1, [](const test::Pixel& p) { return test::white(p); }) > 0) {
      if (bottom < 0) bottom = y;
      top = y;
    }
  ASSERT_GE(bottom, 0);
  EXPECT_GE(top - bottom + 1, GetParam().capMin);
  EXPECT_LE(top - bottom + 1, GetParam().capMax);
  EXPECT_EQ(bottom, 345);  // standing on the baseline at the raster position (345 = 690 / 2)
  EXPECT_TRUE(D.fonts.problem().empty()) << D.fonts.problem();
}

INSTANTIATE_TEST_SUITE_P(Heights, FontHeight,
                         ::testing::Values(CapCase{90, 54, 57}, CapCase{35, 21, 23}, CapCase{14, 8, 10}),
                         [](const auto& tc) { return "h" + std::to_string(tc.param.height); });

TEST(Font, WindowsCodePageGlyphs) {
  Window w;
  Display& D = w.view.display();
  MAKEFONT(D.fonts, 7000, 35, 0);
  glColor3f(1.0f, 1.0f, 1.0f);
  for (const char* text : {"\xE9", "\x80", "\xB0"}) {  // e acute, euro sign, degree sign
    glClear(GL_COLOR_BUFFER_BIT);
    draw::caption(D, 7000, 0.0f, 0.0f, text);
    EXPECT_GT(w.count(320, 330, 360, 380, [](const test::Pixel& p) { return test::white(p); }), 10)
        << static_cast<int>(static_cast<unsigned char>(text[0]));
  }
}

}  // namespace
}  // namespace velmora
