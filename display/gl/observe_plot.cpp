// The observations' picture in the plot style of the program: the Doppler map of one inclination
// with its overlays (the secondary's lobe in velocity space, the stream from L1, the Keplerian
// velocity along it, both stars), its trailed spectrum folded on the orbital phase and shown over
// two cycles, and the eclipse light
// curves of every inclination.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/observe.h"
#include "display/gl/display.h"
#include "display/gl/draw.h"

namespace velmora {
namespace {

std::string num(const char* format, double v) {
  if (std::fabs(v) < 1e-9) v = 0.0;
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// A rectangle of the picture onto which a data range is mapped.
struct Box {
  float x0, y0, w, h;
  double u0, u1, v0, v1;
  float X(double u) const { return x0 + static_cast<float>((u - u0) / (u1 - u0)) * w; }
  float Y(double v) const { return y0 + static_cast<float>((v - v0) / (v1 - v0)) * h; }
};

void frame(Display& D, const Box& b, const char* uf, const char* vf, const std::string& uTitle,
           const std::string& vTitle) {
  glColor3f(1.0f, 1.0f, 1.0f);
  glBegin(GL_LINE_LOOP);
  glVertex2f(b.x0, b.y0);
  glVertex2f(b.x0 + b.w, b.y0);
  glVertex2f(b.x0 + b.w, b.y0 + b.h);
  glVertex2f(b.x0, b.y0 + b.h);
  glEnd();
  for (int k = 0; k <= 2; ++k) {
    const float f = static_cast<float>(k) / 2.0f;
    draw::caption(D, 4000, b.x0 + f * b.w - 0.03f, b.y0 - 0.03f, num(uf, b.u0 + (b.u1 - b.u0) * f));
    draw::caption(D, 4000, b.x0 - 0.1f, b.y0 + f * b.h - 0.005f, num(vf, b.v0 + (b.v1 - b.v0) * f));
  }
  draw::caption(D, 6000, b.x0 + 0.3f * b.w, b.y0 - 0.065f, uTitle);
  draw::caption(D, 6000, b.x0 - 0.1f, b.y0 + b.h + 0.015f, vTitle);
}

// Greyscale cells of an image (rows of `nx` values), brightest where the light is most (its
// 99.5th percentile of the positive values and above).
void greyCells(const Box& b, const std::vector<double>& cells, std::size_t nx, std::size_t ny, double du, double dv,
               double u0, double v0) {
  std::vector<double> pos;
  for (double c : cells)
    if (c > 0.0) pos.push_back(c);
  if (pos.empty()) return;
  const std::size_t k = std::min(pos.size() - 1, static_cast<std::size_t>(0.995 * static_cast<double>(pos.size())));
  std::nth_element(pos.begin(), pos.begin() + static_cast<long>(k), pos.end());
  const double top = pos[k] > 0.0 ? pos[k] : 1.0;
  glBegin(GL_QUADS);
  for (std::size_t j = 0; j < ny; ++j)
    for (std::size_t i = 0; i < nx; ++i) {
      const double c = cells[j * nx + i];
      if (!(c > 0.0)) continue;
      const double ua = u0 + du * static_cast<double>(i), va = v0 + dv * static_cast<double>(j);
      if (ua + du < b.u0 || ua > b.u1 || va + dv < b.v0 || va > b.v1) continue;
      const auto g = static_cast<float>(std::min(1.0, c / top));
      glColor3f(g, g, g);
      glVertex2f(b.X(std::max(ua, b.u0)), b.Y(std::max(va, b.v0)));
      glVertex2f(b.X(std::min(ua + du, b.u1)), b.Y(std::max(va, b.v0)));
      glVertex2f(b.X(std::min(ua + du, b.u1)), b.Y(std::min(va + dv, b.v1)));
      glVertex2f(b.X(std::max(ua, b.u0)), b.Y(std::min(va + dv, b.v1)));
    }
  glEnd();
}

// A curve of data points, drawn only where it lies inside the box.
void curve(const Box& b, const std::vector<double>& u, const std::vector<double>& v, double scale) {
  bool open = false;
  for (std::size_t k = 0; k < u.size() && k < v.size(); ++k) {
    const double x = u[k] * scale, y = v[k] * scale;
    const bool in = x >= b.u0 && x <= b.u1 && y >= b.v0 && y <= b.v1;
    if (in && !open) glBegin(GL_LINE_STRIP);
    if (!in && open) glEnd();
    open = in;
    if (in) glVertex2f(b.X(x), b.Y(y));
  }
  if (open) glEnd();
}

void cross(const Box& b, double u, double v) {
  glBegin(GL_LINES);
  glVertex2f(b.X(u) - 0.012f, b.Y(v));
  glVertex2f(b.X(u) + 0.012f, b.Y(v));
  glVertex2f(b.X(u), b.Y(v) - 0.012f);
  glVertex2f(b.X(u), b.Y(v) + 0.012f);
  glEnd();
}

void mapPanel(Display& D, const Observations& o, const MapOverlays& m, std::size_t k) {
  const double incl = o.settings.inclinations[k], si = std::sin(incl * std::numbers::pi / 180.0);
  const double s = si * o.binary.kms;  // Omega a (sin i = 1) to km/s
  const double lim = std::min(o.vmax, std::max(1.6 * s, 2.2 * o.binary.ref.MU1 * s));
  const Box b{0.0f, 0.68f, 0.5f, 0.5f, -lim, lim, -lim, lim};
  const auto n = static_cast<std::size_t>(o.settings.lineBins);
  greyCells(b, o.maps[k], n, n, o.dv, o.dv, -o.vmax, -o.vmax);
  glColor3f(1.0f, 0.2f, 0.1f);
  curve(b, m.lobeVx, m.lobeVy, s);
  cross(b, 0.0, o.binary.ref.MU1 * s);
  cross(b, 0.0, -o.binary.ref.MU2 * s);
  glColor3f(0.3f, 0.6f, 1.0f);
  curve(b, m.streamVx, m.streamVy, s);
  glColor3f(0.2f, 0.9f, 0.3f);
  curve(b, m.keplerVx, m.keplerVy, s);
  frame(D, b, "%.0f", "%.0f", "Vx (km/s)", "Vy (km/s)");
  draw::caption(D, 6000, 0.12f, 1.22f, "Doppler map, i = " + num("%g", incl));
}

void trailPanel(Display& D, const Observations& o, std::size_t k) {
  const double incl = o.settings.inclinations[k], si = std::sin(incl * std::numbers::pi / 180.0);
  const double lim = std::min(o.vmax, 2.0 * si * o.binary.kms + 2.0 * o.dv);
  const Box b{0.64f, 0.68f, 0.45f, 0.5f, -lim, lim, 0.0, 2.0};
  const auto n = static_cast<std::size_t>(o.settings.lineBins);
  // Every observed spectrum folded on the orbital phase, the mean of those at each of the 200
  // phases, shown twice: one orbit's spectra are as noisy as its particles, the mean of many
  // shows the S-waves and the disk's double peaks as an observer's phase-binned spectra do.
  std::vector<double> sum(n * NPHASES, 0.0);
  std::vector<int> count(NPHASES, 0);
  for (std::size_t j = 0; j < o.phase.size(); ++j) {
    const double f = o.phase[j] - std::floor(o.phase[j]);
    const auto row = static_cast<std::size_t>(std::lround(f * NPHASES)) % NPHASES;
    ++count[row];
    for (std::size_t i = 0; i < n; ++i) sum[row * n + i] += o.spectra[k][j * n + i];
  }
  std::vector<double> cells(n * 2 * NPHASES, 0.0);
  for (std::size_t row = 0; row < NPHASES; ++row)
    if (count[row] > 0)
      for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < n; ++i) cells[(row + c * NPHASES) * n + i] = sum[row * n + i] / count[row];
  greyCells(b, cells, n, 2 * NPHASES, o.dv, 1.0 / NPHASES, -o.vmax, -0.5 / NPHASES);
  frame(D, b, "%.0f", "%.1f", "V_R (km/s)", "phase");
  draw::caption(D, 6000, 0.7f, 1.22f, "trailed spectrum, i = " + num("%g", incl));
}

void eclipsePanel(Display& D, const Observations& o) {
  if (o.phase.empty()) return;
  Box b{0.0f, 0.05f, 1.1f, 0.45f, o.phase.front(), o.phase.back(), 0.0, 1.05};
  if (b.u1 <= b.u0) b.u1 = b.u0 + 1.0;
  static const float colours[4][3] = {{1.0f, 0.8f, 0.2f}, {0.3f, 0.6f, 1.0f}, {1.0f, 0.3f, 0.3f}, {0.3f, 0.9f, 0.3f}};
  for (std::size_t k = 0; k < o.settings.inclinations.size(); ++k) {
    const float* c = colours[k % 4];
    glColor3f(c[0], c[1], c[2]);
    glBegin(GL_LINE_STRIP);
    for (std::size_t j = 0; j < o.phase.size(); ++j)
      glVertex2f(b.X(o.phase[j]), b.Y(o.total[j] != 0.0 ? o.visible[k][j] / o.total[j] : 1.0));
    glEnd();
    draw::caption(D, 6000, 0.02f + 0.17f * static_cast<float>(k), 0.52f, "i = " + num("%g", o.settings.inclinations[k]));
  }
  frame(D, b, "%.2f", "%.2f", "orbital phase (orbits)", "");
  draw::caption(D, 6000, 0.62f, 0.52f, "visible / all light");
}

}  // namespace

void drawObservations(Display& D, const Observations& o, const MapOverlays& m, std::size_t incl,
                      const std::string& title) {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glViewport(0, 0, D.VIEWW, D.VIEWH);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(-0.15, 1.2, -0.1, 1.34);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  MAKEFONT(D.fonts, 5000, 18, 0);
  draw::reportOnce(D, D.fonts.problem());
  MAKEFONT(D.fonts, 4000, 12, 0);
  MAKEFONT(D.fonts, 6000, 15, 0);
  glColor3f(1.0f, 1.0f, 1.0f);
  draw::caption(D, 5000, -0.1f, 1.29f, title);
  glLineWidth(1.0f);
  if (incl < o.settings.inclinations.size()) {
    mapPanel(D, o, m, incl);
    if (!o.phase.empty()) trailPanel(D, o, incl);
  }
  eclipsePanel(D, o);
  glFlush();
  if (D.swapBuffers) D.swapBuffers();
  glDisable(GL_LINE_SMOOTH);
}

}  // namespace velmora
