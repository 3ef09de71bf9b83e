// Benchmarks of the views, drawn headless: the fonts every frame rebuilds and a whole live frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "core/core.h"
#include "display/gl/gl.h"
#include "display/gl/headless_surface.h"
#include "display/gl/view.h"

namespace velmora {
namespace {

// The two fonts of the button strip, rebuilt as every live or playback frame does (the glyphs
// are rasterised once, then only the display lists are made again).
void BM_StripFonts(benchmark::State& state) {
  HeadlessSurface surface(650, 730);
  FontCache fonts;
  for (auto _ : state) {
    MAKEFONT(fonts, 4000, 14, 0);
    MAKEFONT(fonts, 5000, 16, 0);
  }
  glFinish();
}
BENCHMARK(BM_StripFonts)->Unit(benchmark::kMicrosecond);

// A live frame of a full run: strip, both stars, 25000 particles.
void BM_LiveFrame(benchmark::State& state) {
  HeadlessSurface surface(650, 730);
  View view;
  view.initialize();
  view.resize(650, 730);
  auto S = std::make_unique<Sim>();
  S->M1 = 1.0f, S->M2 = 0.15f, S->HINJ = 0.025f;
  SETUP(*S, 1);
  S->NORBEND = 10, S->IPHASE = 77;
  S->NPART = static_cast<I32>(state.range(0));
  for (int i = 1; i <= S->NPART; ++i) {
    const float a = static_cast<float>(i) * 2.3999632f, r = 0.05f + 0.3f * std::sqrt(static_cast<float>(i) / 25000.0f);
    S->X(i) = r * std::cos(a), S->Y(i) = r * std::sin(a), S->Z(i) = 0.0f;
    S->RHO(i) = 1.0f + static_cast<float>(i % 100), S->U(i) = 0.01f * static_cast<float>(i % 37 + 1);
  }
  for (auto _ : state) {
    view.show(*S, 500, 20, 10, 0);
    glFinish();
  }
}
BENCHMARK(BM_LiveFrame)->Arg(1000)->Arg(25000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
