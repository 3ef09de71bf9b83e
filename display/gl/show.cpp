// SHOW: the live frame of a run — button strip, both stars and every particle.
#include <algorithm>
#include <cmath>

#include "display/gl/display.h"
#include "display/gl/draw.h"
#include "display/view_rules.h"

namespace velmora {

void SHOW(Display& D, const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) {
  const int n = std::clamp<I32>(S.NPART, 0, MAXPART);
  const float T = liveOrbits(NSTEPS, S.ORB0);

  // Outlines of this phase and their meshes.
  const I32 k = phaseIndex(S.IPHASE);
  const float* C1X = S.WDX.col(k);
  const float* C1Y = S.WDY.col(k);
  const float* C2X = S.LOBEX.col(k);
  const float* C2Y = S.LOBEY.col(k);
  STARS3D(C1X, C1Y, C2X, C2Y, D.liveMesh);
  const StarMeshes& M = D.liveMesh;

  // The clear uses the clear depth the previous frame left (OpenGL's 1 before any frame).
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

  glViewport(0, 0, D.VIEWW, D.STRIPPX);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  draw::buttonStrip(D, paused, orbitCounterText(T, S.NORBEND), hintText(T, S.NORBEND, 0.004f));

  draw::sceneSetup(D, XANGLE, YANGLE);

  GLenum mode = GL_POINTS;
  if (draw::stylePrimitive(D.opt.STARSTYLE, GL_POLYGON, mode)) {
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(mode);
    draw::ringsThenMeridians(C1X, C1Y, 1, 31, M.S1X, M.S1Y, M.S1Z, draw::vertex);
    glEnd();
    glColor3f(1.0f, 0.1f, 0.0f);
    glBegin(mode);
    draw::meridiansThenRings(C2X, C2Y, 1, 51, M.S2X, M.S2Y, M.S2Z, draw::vertex);
    glEnd();
  }

  // Particles by density or by the fourth root of the specific internal energy.
  glPointSize(px(D, D.opt.PTSIZE));
  D.values.resize(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i)
    D.values[static_cast<std::size_t>(i - 1)] = D.opt.COLORMODE == 2 ? std::pow(S.U(i), 0.25f) : S.RHO(i);
  const bool coloured = draw::particleColours(D, D.values.data(), n);
  glBegin(GL_POINTS);
  if (coloured)
    for (int i = 1; i <= n; ++i) {
      const Rgb& c = D.colours[static_cast<std::size_t>(i - 1)];
      glColor3f(c.r, c.g, c.b);
      glVertex3f(S.X(i), S.Y(i), S.Z(i));
    }
  glEnd();

  glPopMatrix();
  glFlush();
  if (D.swapBuffers) D.swapBuffers();
  glDisable(GL_DEPTH_TEST);
}

}  // namespace velmora
