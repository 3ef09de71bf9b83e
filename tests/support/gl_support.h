// Helpers of the GL tests: a headless surface with a view, a small scene, pixel probes.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "display/gl/gl.h"
#include "display/gl/headless_surface.h"
#include "display/gl/view.h"
#include "display/view_rules.h"
#include "io/fortran_format.h"
#include "tests/support/support.h"

namespace velmora::test {

using Pixel = std::array<unsigned char, 4>;

inline bool near(const Pixel& p, int r, int g, int b, int tol = 3) {
  return std::abs(p[0] - r) <= tol && std::abs(p[1] - g) <= tol && std::abs(p[2] - b) <= tol;
}
inline bool black(const Pixel& p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }
inline bool white(const Pixel& p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

// A window's client area with its view; the picture is saved to $VELMORA_GL_DUMP/NAME.png
// at the end of the test when that variable is set (for looking at what the tests draw).
class Window {
 public:
  Window(int width = 650, int height = 730) : surface(width, height), view({}, [this](const std::string& m) {
    warnings.push_back(m);
  }) {
    view.initialize();
    view.resize(width, height);
  }
  ~Window() {
    const char* dir = std::getenv("VELMORA_GL_DUMP");
    if (!dir || !*dir) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? caseName(std::string(info->test_suite_name()) + "_" + info->name()) : "picture";
    try {
      surface.savePng((std::filesystem::path(dir) / (name + ".png")).string());
    } catch (const HeadlessError&) {
    }
  }
  Pixel at(int x, int y) { return surface.pixel(x, y); }
  // Pixels in a rectangle [x0, x1) x [y0, y1) that satisfy a test.
  template <class Test>
  int count(int x0, int y0, int x1, int y1, Test test) {
    const auto rgba = surface.read();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const std::size_t i = (static_cast<std::size_t>(surface.height() - 1 - y) * static_cast<std::size_t>(surface.width()) +
                               static_cast<std::size_t>(x)) * 4;
        const Pixel p{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
        if (test(p)) ++n;
      }
    return n;
  }

  HeadlessSurface surface;
  View view;
  std::vector<std::string> warnings;
};

// The white pixels of a rectangle, as a mask.
inline std::vector<bool> whiteMask(Window& w, int x0, int y0, int x1, int y1) {
  const auto rgba = w.surface.read();
  std::vector<bool> mask;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const std::size_t i = (static_cast<std::size_t>(w.surface.height() - 1 - y) *
                                 static_cast<std::size_t>(w.surface.width()) + static_cast<std::size_t>(x)) * 4;
      mask.push_back(rgba[i] == 255 && rgba[i + 1] == 255 && rgba[i + 2] == 255);
    }
  return mask;
}

// What a caption alone looks like: `text` in font (base, height) at raster position (x, y) of
// the viewport (0, vy, VIEWW, vh) of a fresh window of the same size, under the plain projection.
inline std::vector<bool> captionMask(int width, int height, int base, int fontHeight, float x, float y, int vy, int vh,
                                     const std::string& text, int x0, int y0, int x1, int y1) {
  Window ref(width, height);
  Display& D = ref.view.display();
  glClear(GL_COLOR_BUFFER_BIT);
  glViewport(0, vy, D.VIEWW, vh);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  MAKEFONT(D.fonts, base, fontHeight, 0);
  glColor3f(1.0f, 1.0f, 1.0f);
  draw::caption(D, base, x, y, text);
  return whiteMask(ref, x0, y0, x1, y1);
}

inline int ones(const std::vector<bool>& mask) {
  int n = 0;
  for (bool b : mask) n += b ? 1 : 0;
  return n;
}

// A run of M1 = 1, M2 = 0.15 at phase `phase` of orbit 3 of 10, with n particles on a ring
// round the primary (densities rising with the slot, energies falling).
inline std::unique_ptr<Sim> ringScene(int n = 500, I32 phase = 50) {
  auto S = newSim();
  S->M1 = 1.0f;
  S->M2 = 0.15f;
  S->HINJ = 0.025f;
  SETUP(*S, 1);
  S->NORBEND = 10;
  S->NORBTOT = 10;
  S->IPHASE = phase;
  S->IORBIT = 2;
  S->NPART = n;
  const float cx = -S->MU2 * std::cos(static_cast<float>(phase) * S->DTPHASE);
  const float cy = -S->MU2 * std::sin(static_cast<float>(phase) * S->DTPHASE);
  for (int i = 1; i <= n; ++i) {
    const float a = static_cast<float>(i) * 0.61803f * 6.2831853f;
    const float r = 0.1f + 0.25f * static_cast<float>(i % 97) / 97.0f;
    S->X(i) = cx + r * std::cos(a);
    S->Y(i) = cy + r * std::sin(a);
    S->Z(i) = 0.0f;
    S->RHO(i) = 1.0f + static_cast<float>(i);
    S->U(i) = 1.0f / static_cast<float>(i);
  }
  return S;
}

// A light-curve file of `orbits` orbits with luminosity f(i) for sample i (from 1).
inline void writeCurve(const std::string& name, int orbits, const std::function<double(int)>& f) {
  std::ofstream out(name, std::ios::binary);
  const int n = 200 * orbits;
  out << fmt::listInt(n) << "\r\n";
  for (int i = 1; i <= n; ++i)
    out << " " << fmt::E(i / 200.0, 18, 10) << " " << fmt::E(static_cast<float>(f(i)), 18, 10) << "\r\n";
}

// A wave of one cycle per orbit with a little deterministic noise.
inline double wave(int i) {
  const double t = i / 200.0;
  const double noise = std::sin(i * 12.9898) * 43758.5453;
  return 10.0 * (1 + 0.05 * std::sin(2 * std::numbers::pi * t) + 0.004 * (noise - std::floor(noise) - 0.5));
}

}  // namespace velmora::test
