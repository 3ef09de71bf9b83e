// SHOWLC: the light-curve plot — four panels of raw samples and smoothed curve, and the
// amplitude spectrum with its significant peaks labelled. The analysis is lcanalysis.cpp's.
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "analysis/lc_analysis.h"
#include "display/gl/display.h"
#include "display/gl/draw.h"
#include "files/lightcurve.h"
#include "io/fortran_format.h"

namespace velmora {
namespace {

constexpr float PANEL_Y0[5] = {1.04f, 0.78f, 0.52f, 0.26f, 0.0f};
constexpr float PANEL_H = 0.16f;

// Vertical place of a luminosity in a panel; a constant light curve lies in the middle.
float panelY(const LCAnalysis& a, float L, float y0) {
  if (!(a.LRANGE > 0.0f)) return PANEL_H / 2.0f + y0;
  return (L - a.LMIN) * PANEL_H / a.LRANGE + y0;
}

// Horizontal place of a sample time in panel p: the range spans four panel widths.
float panelX(const LCAnalysis& a, const LightCurve& lc, I32 i, int p) {
  const float t0 = lc.T[static_cast<std::size_t>(a.i0 - 1)];
  const float span = lc.T[static_cast<std::size_t>(a.i1 - 1)] - t0;
  const float pf = static_cast<float>(p - 1);
  if (!(span > 0.0f))  // times that do not advance: place the samples by their index
    return static_cast<float>(i - a.i0) * 4.0f / static_cast<float>(a.m) - pf;
  return (lc.T[static_cast<std::size_t>(i - 1)] - t0) * 4.0f / span - pf;
}

// Spectrum height of an amplitude; with no amplitude at all the spectrum is flat.
float spectrumY(const LCAnalysis& a, float A) {
  if (!(a.AMAX > 0.0f)) return 0.0f;
  return A * PANEL_H / a.AMAX;
}

void line(float x0, float y0, float x1, float y1) {
  glVertex2f(x0, y0);
  glVertex2f(x1, y1);
}

void lightCurvePanels(Display& D, const LightCurve& lc, const LCAnalysis& a) {
  const float tStart = std::round(lc.T[static_cast<std::size_t>(a.i0 - 1)]);
  const float N = static_cast<float>(a.N);
  for (int p = 1; p <= 4; ++p) {
    const float y0 = PANEL_Y0[p - 1];
    for (int k = 0; k <= 5; ++k) {
      const float t = tStart + static_cast<float>(p - 1) * N / 4.0f + static_cast<float>(k) * N / 20.0f;
      draw::caption(D, 4000, -0.032f + 0.2f * static_cast<float>(k), y0 - 0.03f, fmt::F(t, 7, 2));
    }
    draw::caption(D, 4000, -0.08f, y0, fmt::F(a.LMIN, 8, 2));
    draw::caption(D, 4000, -0.08f, y0 + 0.08f, fmt::F((a.LMIN + a.LMAX) / 2.0f, 8, 2));
    draw::caption(D, 4000, -0.08f, y0 + 0.16f, fmt::F(a.LMAX, 8, 2));
    glBegin(GL_LINES);
    line(0.0f, y0, 0.0f, y0 + PANEL_H);
    line(0.0f, y0, 1.0f, y0);
    for (int k = 0; k <= 5; ++k) {
      const float x = 0.2f * static_cast<float>(k);
      line(x, y0, x, y0 - 0.01f);
    }
    for (int k = 0; k <= 2; ++k) {
      const float y = y0 + 0.08f * static_cast<float>(k);
      line(0.0f, y, -0.009f, y);
    }
    glEnd();
  }

  // Raw samples, a quarter of the range in each panel.
  glColor3f(1.0f, 1.0f, 0.0f);
  glPointSize(px(D, 1.0f));
  const I32 perPanel = 50 * a.N;
  for (int p = 1; p <= 4; ++p) {
    glBegin(GL_POINTS);
    for (I32 j = (p - 1) * perPanel; j < p * perPanel && j < a.m; ++j) {
      const I32 i = a.i0 + j;
      glVertex2f(panelX(a, lc, i, p), panelY(a, lc.L[static_cast<std::size_t>(i - 1)], PANEL_Y0[p - 1]));
    }
    glEnd();
  }

  // Smoothed curve through the middle sample of each group of 5; the last group is not drawn.
  glColor3f(1.0f, 0.1f, 0.0f);
  const I32 groups = a.m / 5, groupsPerPanel = 10 * a.N;
  for (int p = 1; p <= 4; ++p) {
    glBegin(GL_LINE_STRIP);
    for (I32 g = (p - 1) * groupsPerPanel + 1; g <= p * groupsPerPanel && g <= groups - 1; ++g) {
      const I32 mid = a.i0 + 5 * (g - 1) + 2;
      glVertex2f(panelX(a, lc, mid, p), panelY(a, a.C[static_cast<std::size_t>(g - 1)], PANEL_Y0[p - 1]));
    }
    glEnd();
  }

  glColor3f(1.0f, 1.0f, 1.0f);
  MAKEFONT(D.fonts, 6000, px(D, 15), 0);
  for (int p = 1; p <= 4; ++p) {
    draw::caption(D, 6000, -0.22f, PANEL_Y0[p - 1] + 0.08f, "Luminosity");
    draw::caption(D, 6000, 0.4f, PANEL_Y0[p - 1] - 0.06f, "Completed Orbits");
  }
}

void spectrumPanel(Display& D, const LCAnalysis& a) {
  for (int k = 0; k <= 5; ++k)
    draw::caption(D, 4000, -0.01f + 0.2f * static_cast<float>(k), -0.03f, fmt::F(static_cast<float>(k), 3, 1));
  draw::caption(D, 4000, -0.065f, 0.0f, fmt::F(0.0f, 5, 3));
  draw::caption(D, 4000, -0.065f, 0.08f, fmt::F(a.AMAX / 2.0f, 5, 3));
  draw::caption(D, 4000, -0.065f, 0.16f, fmt::F(a.AMAX, 5, 3));
  draw::caption(D, 6000, -0.2f, 0.093f, "Relative");
  draw::caption(D, 6000, -0.215f, 0.067f, "Amplitude");
  draw::caption(D, 6000, 0.368f, -0.06f, "Frequency (cycles/orbit)");

  glColor3f(1.0f, 1.0f, 0.0f);
  for (const LCPeak& pk : a.peaks)
    draw::caption(D, 4000, a.freq(pk.bin) / 5.0f + 0.01f, spectrumY(a, a.A(pk.bin)), pk.freqText);

  glColor3f(1.0f, 1.0f, 1.0f);
  glBegin(GL_LINE_STRIP);
  glVertex2f(0.0f, PANEL_H);
  glVertex2f(0.0f, -0.001f);
  glVertex2f(1.0f, -0.001f);
  glEnd();
  glBegin(GL_LINES);
  for (int k = 0; k <= 5; ++k) line(0.2f * static_cast<float>(k), 0.0f, 0.2f * static_cast<float>(k), -0.01f);
  for (int k = 0; k <= 2; ++k) line(0.0f, 0.08f * static_cast<float>(k), -0.009f, 0.08f * static_cast<float>(k));
  glEnd();

  glColor3f(1.0f, 0.1f, 0.0f);
  glBegin(GL_LINE_STRIP);
  for (I32 k = a.kFirst; k <= a.kLast && a.freq(k) < 5.0f; ++k)
    glVertex3f(a.freq(k) / 5.0f, spectrumY(a, a.A(k)), 0.0f);
  glEnd();
}

}  // namespace

PlotResult SHOWLC(Display& D, const std::string& file, I32 first, I32 last) {
  // Everything that can fail comes before the first drawing call: a file that cannot be
  // plotted leaves the picture and the two text files as they were.
  LightCurve lc;
  LCAnalysis a;
  try {
    lc = readLightCurve(file);
    if (lc.orbits() < 1)
      return {false, file + ": " + std::to_string(lc.samples()) + " samples, less than one orbit (200): nothing to plot"};
    a = analyseLightCurve(lc, first, last);
  } catch (const std::exception& e) {
    return {false, e.what()};
  }
  PlotResult result{true, {}};
  try {
    writeAnalysisFiles(a);
  } catch (const std::exception& e) {
    result.message = e.what();  // the plot is still drawn
  }

  glClear(GL_COLOR_BUFFER_BIT);
  glViewport(0, 0, D.VIEWW, D.VIEWH);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(-0.25, 1.15, -0.1, 1.3);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glColor3f(1.0f, 1.0f, 1.0f);
  MAKEFONT(D.fonts, 5000, px(D, 18), 0);
  draw::reportOnce(D, D.fonts.problem());
  draw::caption(D, 5000, 0.8f, 1.25f, std::filesystem::path(file).filename().string());
  MAKEFONT(D.fonts, 4000, px(D, 12), 0);
  glLineWidth(px(D, 1.0f));

  lightCurvePanels(D, lc, a);
  spectrumPanel(D, a);

  glFlush();
  if (D.swapBuffers) D.swapBuffers();
  glDisable(GL_LINE_SMOOTH);
  return result;
}

}  // namespace velmora
