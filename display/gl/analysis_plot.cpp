// The analysis picture of a run, in the light-curve plot's style: the spectrum around one cycle
// per orbit with the superhump marked, its growth per window, the disk's radii and its m = 1
// amplitude against time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/run_analysis.h"
#include "display/gl/display.h"
#include "display/gl/draw.h"

namespace velmora {
namespace {

constexpr float PANEL_H = 0.2f;
constexpr float PANEL_Y0[4] = {0.96f, 0.64f, 0.32f, 0.0f};

std::string num(const char* format, double v) {
  if (std::fabs(v) < 1e-6) v = 0.0;  // no "-0.0" for a value rounded just below zero
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// A panel: data ranges mapped onto x 0..1 and y y0..y0 + PANEL_H.
struct Panel {
  float y0;
  double x0, x1, ymin, ymax;
  float X(double x) const { return static_cast<float>((x - x0) / (x1 - x0)); }
  float Y(double y) const { return y0 + static_cast<float>((y - ymin) / (ymax - ymin)) * PANEL_H; }
  bool inside(double x) const { return x >= x0 && x <= x1; }
};

void segment(float xa, float ya, float xb, float yb) {
  glVertex2f(xa, ya);
  glVertex2f(xb, yb);
}

// Axes with five x labels and three y labels, and the panel's titles.
void axes(Display& D, const Panel& p, const char* xFormat, const char* yFormat, const std::string& yTitle,
          const std::string& xTitle) {
  glColor3f(1.0f, 1.0f, 1.0f);
  for (int k = 0; k <= 4; ++k) {
    const double x = p.x0 + (p.x1 - p.x0) * k / 4.0;
    draw::caption(D, 4000, -0.03f + 0.25f * static_cast<float>(k), p.y0 - 0.03f, num(xFormat, x));
  }
  for (int k = 0; k <= 2; ++k) {
    const double y = p.ymin + (p.ymax - p.ymin) * k / 2.0;
    draw::caption(D, 4000, -0.085f, p.y0 + PANEL_H * static_cast<float>(k) / 2.0f, num(yFormat, y));
  }
  glBegin(GL_LINE_STRIP);
  glVertex2f(0.0f, p.y0 + PANEL_H);
  glVertex2f(0.0f, p.y0);
  glVertex2f(1.0f, p.y0);
  glEnd();
  glBegin(GL_LINES);
  for (int k = 0; k <= 4; ++k) segment(0.25f * static_cast<float>(k), p.y0, 0.25f * static_cast<float>(k), p.y0 - 0.01f);
  for (int k = 0; k <= 2; ++k) {
    const float y = p.y0 + PANEL_H * static_cast<float>(k) / 2.0f;
    segment(0.0f, y, -0.009f, y);
  }
  glEnd();
  draw::caption(D, 6000, -0.23f, p.y0 + 0.09f, yTitle);
  draw::caption(D, 6000, 0.38f, p.y0 - 0.06f, xTitle);
}

void dashedHorizontal(const Panel& p, double y) {
  if (!(y >= p.ymin && y <= p.ymax)) return;
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(2, 0x3333);
  glBegin(GL_LINES);
  segment(0.0f, p.Y(y), 1.0f, p.Y(y));
  glEnd();
  glDisable(GL_LINE_STIPPLE);
}

void dashedVertical(const Panel& p, double x, double yTop) {
  if (!p.inside(x)) return;
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(2, 0x3333);
  glBegin(GL_LINES);
  segment(p.X(x), p.y0, p.X(x), p.Y(yTop));
  glEnd();
  glDisable(GL_LINE_STIPPLE);
}

void missing(Display& D, const Panel& p, const std::string& why) {
  glColor3f(0.5f, 0.5f, 0.5f);
  glBegin(GL_LINE_STRIP);
  glVertex2f(0.0f, p.y0 + PANEL_H);
  glVertex2f(0.0f, p.y0);
  glVertex2f(1.0f, p.y0);
  glEnd();
  draw::caption(D, 6000, 0.05f, p.y0 + 0.09f, why);
}

void spectrumPanel(Display& D, const RunAnalysis& a) {
  const float y0 = PANEL_Y0[0];
  if (!a.hasSuperhump || a.superhump.spectrumFrequency.empty()) {
    missing(D, {y0, 0, 1, 0, 1}, a.files.hasLightCurve ? "no whole orbit in the light curve" : "no light curve");
    return;
  }
  const SuperhumpResult& s = a.superhump;
  Panel p{y0, 0.75, 1.25, 0.0, 0.0};
  for (std::size_t i = 0; i < s.spectrumFrequency.size(); ++i)
    if (p.inside(s.spectrumFrequency[i])) p.ymax = std::max(p.ymax, s.spectrumAmplitudes[i]);
  const double threshold = s.meanAmplitude + 5.0 * s.sigma;
  p.ymax = std::max(p.ymax, threshold) * 1.1;
  if (!(p.ymax > 0.0)) p.ymax = 1.0;
  axes(D, p, "%.3f", "%.4f", "Amplitude", "Frequency (cycles/orbit)");

  // The band searched, the 5-sigma threshold, the orbital frequency.
  glColor3f(0.5f, 0.5f, 0.5f);
  dashedHorizontal(p, threshold);
  dashedVertical(p, SUPERHUMP_BAND_LOW, p.ymax);
  dashedVertical(p, SUPERHUMP_BAND_HIGH, p.ymax);
  draw::caption(D, 4000, 1.01f, p.Y(threshold), "5 sigma");

  glColor3f(1.0f, 0.1f, 0.0f);
  glBegin(GL_LINE_STRIP);
  for (std::size_t i = 0; i < s.spectrumFrequency.size(); ++i)
    if (p.inside(s.spectrumFrequency[i])) glVertex2f(p.X(s.spectrumFrequency[i]), p.Y(s.spectrumAmplitudes[i]));
  glEnd();

  // The observed relation's superhump for this q, and the one found.
  if (a.hasReference) {
    const double fRel = 1.0 / (1.0 + a.reference.epsilonRelation);
    glColor3f(1.0f, 1.0f, 1.0f);
    dashedVertical(p, fRel, p.ymax * 0.8);
    if (p.inside(fRel)) draw::caption(D, 4000, p.X(fRel) - 0.085f, p.Y(p.ymax * 0.7), "relation");
  }
  glColor3f(1.0f, 1.0f, 0.0f);
  if (s.detected) {
    glBegin(GL_LINES);
    segment(p.X(s.frequency), p.y0, p.X(s.frequency), p.Y(s.spectrumAmplitude));
    glEnd();
    draw::caption(D, 4000, p.X(s.frequency) + 0.01f, p.Y(s.spectrumAmplitude) - 0.01f,
                  num("%.5f", s.frequency));
    draw::caption(D, 6000, 0.02f, y0 + PANEL_H + 0.015f,
                  "Superhump  eps " + num("%.5f", s.epsilon) + " +- " + num("%.5f", s.epsilonError) + "   amplitude " +
                      num("%.4f", s.amplitude) + "   " + num("%.1f", s.significance) + " sigma");
  } else {
    draw::caption(D, 6000, 0.02f, y0 + PANEL_H + 0.015f,
                  "No superhump   upper limit " + num("%.4f", s.upperLimit) + " of the mean");
  }
}

void growthPanel(Display& D, const RunAnalysis& a) {
  const float y0 = PANEL_Y0[1];
  const auto& w = a.growth.windows;
  if (!a.hasSuperhump || w.empty()) {
    missing(D, {y0, 0, 1, 0, 1}, "no growth windows");
    return;
  }
  Panel p{y0, w.front().tStart, w.back().tEnd, 0.0, 0.0};
  const auto shown = [](const GrowthWindow& g) { return g.detected ? g.amplitude : g.upperLimit; };
  for (const GrowthWindow& g : w)
    if (std::isfinite(shown(g))) p.ymax = std::max(p.ymax, shown(g));
  p.ymax = p.ymax > 0.0 ? p.ymax * 1.1 : 1.0;
  if (!(p.x1 > p.x0)) p.x1 = p.x0 + 1.0;
  axes(D, p, "%.1f", "%.4f", "Amplitude", "Orbits (window middle)");
  glPointSize(4.0f);
  glBegin(GL_POINTS);
  for (const GrowthWindow& g : w) {
    const double t = 0.5 * (g.tStart + g.tEnd);
    if (!std::isfinite(shown(g))) continue;
    if (g.detected) glColor3f(1.0f, 1.0f, 0.0f);
    else glColor3f(0.5f, 0.5f, 0.5f);
    glVertex2f(p.X(t), p.Y(shown(g)));
  }
  glEnd();
  glPointSize(1.0f);
  glColor3f(1.0f, 1.0f, 0.0f);
  glBegin(GL_LINE_STRIP);
  for (const GrowthWindow& g : w)
    if (g.detected) glVertex2f(p.X(0.5 * (g.tStart + g.tEnd)), p.Y(g.amplitude));
  glEnd();
  std::string title = "Growth: windows of " + std::to_string(a.growth.window) + " orbits (grey: upper limits)";
  if (a.growth.onsetIndex >= 0) {
    const GrowthWindow& o = w[static_cast<std::size_t>(a.growth.onsetIndex)];
    glColor3f(1.0f, 0.1f, 0.0f);
    glBegin(GL_LINES);
    segment(p.X(0.5 * (o.tStart + o.tEnd)), p.y0, p.X(0.5 * (o.tStart + o.tEnd)), p.y0 + PANEL_H);
    glEnd();
    title += "   onset orbit " + std::to_string(a.growth.onsetOrbit);
  } else {
    title += "   no onset";
  }
  glColor3f(1.0f, 1.0f, 1.0f);
  draw::caption(D, 6000, 0.02f, y0 + PANEL_H + 0.015f, title);
}

// Time range of the recording's frames.
bool frameRange(const RunAnalysis& a, Panel& p) {
  if (!a.hasDisk || a.frames.empty()) return false;
  p.x0 = a.frames.front().time;
  p.x1 = a.frames.back().time;
  if (!(p.x1 > p.x0)) p.x1 = p.x0 + 1.0;
  return true;
}

template <class Get>
void curve(const RunAnalysis& a, const Panel& p, Get get) {
  glBegin(GL_LINE_STRIP);
  for (const DiskSnapshot& d : a.frames)
    if (std::isfinite(get(d))) glVertex2f(p.X(d.time), p.Y(std::clamp(get(d), p.ymin, p.ymax)));
  glEnd();
}

void radiiPanel(Display& D, const RunAnalysis& a) {
  Panel p{PANEL_Y0[2], 0, 1, 0.0, 0.7};
  if (!frameRange(a, p)) {
    missing(D, p, a.files.hasRecording ? "no frame in the recording" : "no recording");
    return;
  }
  axes(D, p, "%.1f", "%.2f", "Radius", "Orbits");
  glColor3f(0.5f, 0.5f, 0.5f);
  dashedHorizontal(p, a.reference.r31);
  draw::caption(D, 4000, 1.01f, p.Y(a.reference.r31), "3:1");
  dashedHorizontal(p, a.reference.rocheLobe);
  draw::caption(D, 4000, 1.01f, p.Y(a.reference.rocheLobe) - 0.005f, "lobe");
  glColor3f(1.0f, 1.0f, 1.0f);
  curve(a, p, [](const DiskSnapshot& d) { return d.r90; });
  glColor3f(1.0f, 1.0f, 0.0f);
  curve(a, p, [](const DiskSnapshot& d) { return d.r50; });
  glColor3f(1.0f, 0.1f, 0.0f);
  curve(a, p, [](const DiskSnapshot& d) { return d.r10; });
  glColor3f(1.0f, 1.0f, 1.0f);
  draw::caption(D, 6000, 0.02f, p.y0 + PANEL_H + 0.015f, "Disk radii: r90 (white), r50 (yellow), r10 (red)");
}

void modePanel(Display& D, const RunAnalysis& a) {
  Panel p{PANEL_Y0[3], 0, 1, 0.0, 0.0};
  if (!frameRange(a, p)) {
    missing(D, p, a.files.hasRecording ? "no frame in the recording" : "no recording");
    return;
  }
  for (const DiskSnapshot& d : a.frames)
    if (std::isfinite(d.m1)) p.ymax = std::max(p.ymax, d.m1);
  p.ymax = std::max(p.ymax * 1.1, 0.05);
  axes(D, p, "%.1f", "%.3f", "m=1", "Orbits");
  glColor3f(1.0f, 0.1f, 0.0f);
  curve(a, p, [](const DiskSnapshot& d) { return d.m1; });
  glColor3f(1.0f, 1.0f, 1.0f);
  const Precession& pr = a.precession;
  draw::caption(D, 6000, 0.02f, p.y0 + PANEL_H + 0.015f,
                pr.measured ? "m=1 amplitude   precession " + num("%.5f", pr.frequency) + " cycles/orbit   eps " +
                                  num("%.5f", pr.epsilon) + " +- " + num("%.5f", pr.epsilonError)
                            : "m=1 amplitude   precession not measured");
}

}  // namespace

void drawAnalysis(Display& D, const RunAnalysis& a, const std::string& title) {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glViewport(0, 0, D.VIEWW, D.VIEWH);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(-0.25, 1.15, -0.1, 1.3);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glColor3f(1.0f, 1.0f, 1.0f);
  MAKEFONT(D.fonts, 5000, 18, 0);
  draw::reportOnce(D, D.fonts.problem());
  draw::caption(D, 5000, -0.2f, 1.25f, title);
  MAKEFONT(D.fonts, 4000, 12, 0);
  MAKEFONT(D.fonts, 6000, 15, 0);
  if (a.hasReference)
    draw::caption(D, 6000, 0.45f, 1.255f,
                  "q " + num("%.3f", a.q) + "   relation's eps " + num("%.4f", a.reference.epsilonRelation));
  glLineWidth(1.0f);

  spectrumPanel(D, a);
  growthPanel(D, a);
  radiiPanel(D, a);
  modePanel(D, a);

  glFlush();
  if (D.swapBuffers) D.swapBuffers();
  glDisable(GL_LINE_SMOOTH);
}

}  // namespace velmora
