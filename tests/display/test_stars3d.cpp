// Star meshes and the particle colour scale.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/core.h"
#include "display/color_scale.h"
#include "display/makeshow.h"
#include "display/stars3d.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

std::unique_ptr<Sim> system(float m1, float m2) {
  auto S = test::newSim();
  S->M1 = m1;
  S->M2 = m2;
  S->HINJ = 0.025f;
  SETUP(*S, 1);
  return S;
}

TEST(Stars3d, PrimaryIsASphereOfItsRadius) {
  auto S = system(1.0f, 0.3f);
  StarMeshes M;
  const int k = 37;
  STARS3D(S->WDX.col(k), S->WDY.col(k), S->LOBEX.col(k), S->LOBEY.col(k), M);
  const float phi = static_cast<float>(k) * S->DTPHASE;
  const float cx = -S->MU2 * std::cos(phi), cy = -S->MU2 * std::sin(phi);
  for (int r = 2; r <= NRING1; ++r)
    for (int m = 1; m <= NMERIDIAN; ++m) {
      const float dx = M.S1X(r, m) - cx, dy = M.S1Y(r, m) - cy, dz = M.S1Z(r, m);
      ASSERT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), S->RWD, 2e-6f) << "ring " << r << " meridian " << m;
    }
}

TEST(Stars3d, RingsStandOnTheirChords) {
  auto S = system(0.8f, 0.4f);
  StarMeshes M;
  const int k = 123;
  const float* x = S->LOBEX.col(k);
  const float* y = S->LOBEY.col(k);
  STARS3D(S->WDX.col(k), S->WDY.col(k), x, y, M);
  for (int r = 2; r <= NRING2; ++r) {
    const int q = NLOBE + 1 - r;
    const float mx = (x[r - 1] + x[q - 1]) / 2, my = (y[r - 1] + y[q - 1]) / 2;
    const float half = std::hypot(x[r - 1] - mx, y[r - 1] - my);
    // Meridian 36 (360 degrees) and 18 (180) are the chord's ends, in the orbital plane;
    // meridian 9 (90 degrees) is the top of the ring, above the midpoint.
    const int east = x[r - 1] >= x[q - 1] ? r : q, west = east == r ? q : r;
    EXPECT_NEAR(M.S2X(r, 36), x[east - 1], 1e-5f) << r;
    EXPECT_NEAR(M.S2Y(r, 36), y[east - 1], 1e-5f) << r;
    EXPECT_NEAR(M.S2X(r, 18), x[west - 1], 1e-5f) << r;
    EXPECT_NEAR(M.S2Y(r, 18), y[west - 1], 1e-5f) << r;
    EXPECT_NEAR(M.S2Z(r, 36), 0.0f, 1e-5f);
    EXPECT_NEAR(M.S2X(r, 9), mx, 1e-5f);
    EXPECT_NEAR(M.S2Y(r, 9), my, 1e-5f);
    EXPECT_NEAR(M.S2Z(r, 9), half, 1e-6f);
  }
}

TEST(Stars3d, VerticalAndDegenerateChords) {
  // A vertical chord (dx = 0) stands at +-90 degrees; a chord of zero length is a point, not NaN.
  std::vector<float> c1x(NWDPTS, 0.5f), c1y(NWDPTS, 0.0f), c2x(NLOBE, 0.0f), c2y(NLOBE, 0.0f);
  for (int j = 1; j <= NWDPTS; ++j) c1y[static_cast<std::size_t>(j - 1)] = static_cast<float>(31 - j) * 0.01f;
  StarMeshes M;
  STARS3D(c1x.data(), c1y.data(), c2x.data(), c2y.data(), M);
  for (int m = 1; m <= NMERIDIAN; ++m) {
    EXPECT_NEAR(M.S1X(2, m), 0.5f, 1e-6f);
    EXPECT_NEAR(M.S1Y(2, m), 0.29f * std::cos(static_cast<float>(m) * 0.1745329f), 1e-5f);
    EXPECT_EQ(M.S2X(2, m), 0.0f);
    EXPECT_EQ(M.S2Z(25, m), 0.0f);
  }
}

struct ScaleCase {
  float t;
  Rgb colour;
};

class ColourScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ColourScale, ThreePieces) {
  const Rgb c = scaleColour(GetParam().t);
  EXPECT_FLOAT_EQ(c.r, GetParam().colour.r);
  EXPECT_FLOAT_EQ(c.g, GetParam().colour.g);
  EXPECT_FLOAT_EQ(c.b, GetParam().colour.b);
}

INSTANTIATE_TEST_SUITE_P(Positions, ColourScale,
                         ::testing::Values(ScaleCase{0.0f, {1, 0, 0}}, ScaleCase{0.5f, {1, 0.5f, 0}},
                                           ScaleCase{1.0f, {1, 1, 0}}, ScaleCase{1.5f, {1, 1, 0.5f}},
                                           ScaleCase{2.0f, {1, 1, 1}}, ScaleCase{2.25f, {0.75f, 1, 1}},
                                           ScaleCase{3.0f, {0, 1, 1}}),
                         [](const auto& tc) { return test::caseName("t_" + std::to_string(tc.param.t)); });

TEST(ColourScale, FrameExtremes) {
  const float rho[] = {3.0f, 1.0f, 2.0f};
  std::vector<Rgb> c;
  scaleColours(ScaleKind::Density, rho, 3, c);
  EXPECT_FLOAT_EQ(c[1].g, 0.42857f);  // thinnest: orange, not red
  EXPECT_FLOAT_EQ(c[0].r, 3.0f - (2.55f + 0.42857f));  // densest: nearly cyan
  scaleColours(ScaleKind::Temperature, rho, 3, c);
  EXPECT_FLOAT_EQ(c[1].g, 0.0f);  // coolest: red
  EXPECT_FLOAT_EQ(c[0].r, 0.0f);  // hottest: cyan
}

TEST(ColourScale, OneValueTakesTheLowestColour) {
  const float same[] = {2.0f, 2.0f};
  std::vector<Rgb> c;
  scaleColours(ScaleKind::Density, same, 2, c);
  EXPECT_FLOAT_EQ(c[0].g, 0.42857f);
  EXPECT_FLOAT_EQ(c[1].b, 0.0f);
  scaleColours(ScaleKind::Temperature, same, 1, c);
  EXPECT_FLOAT_EQ(c[0].g, 0.0f);
  scaleColours(ScaleKind::Temperature, same, 0, c);
  EXPECT_TRUE(c.empty());
}

}  // namespace
}  // namespace velmora
