// SHOW2: one frame of a recorded run — particles, the primary, the lit lobe — then the frame wait.
#include <algorithm>
#include <cmath>

#include "display/gl/display.h"
#include "display/gl/draw.h"
#include "display/view_rules.h"

namespace velmora {

void SHOW2(Display& D, const PlaybackFrame& F, const PlaybackInfo& P, I32 XANGLE, I32 YANGLE, I32 frameCounter,
           I32 paused, RunHost& H) {
  const int n = std::clamp<I32>(F.N, 0, MAXPART);
  const float T = playbackOrbits(frameCounter, P.FRAMESTEP, P.RECSTART);

  STARS3D(F.WDX, F.WDY, F.LOBX, F.LOBY, D.playMesh);
  const StarMeshes& M = D.playMesh;

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, D.VIEWW, D.STRIPPX);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  draw::buttonStrip(D, paused, orbitCounterText(T, P.NORBTOT), hintText(T, P.NORBTOT, 0.005f));

  draw::sceneSetup(D, XANGLE, YANGLE);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

  // Particles first, by the recorded density or the recorded temperature value.
  glPointSize(px(D, D.opt.PTSIZE));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float* v = D.opt.COLORMODE == 2 ? F.TEMP : F.RHO;
  const bool coloured = n > 0 && v != nullptr && draw::particleColours(D, v, n);
  glBegin(GL_POINTS);
  if (coloured)
    for (int i = 0; i < n; ++i) {
      const Rgb& c = D.colours[static_cast<std::size_t>(i)];
      glColor3f(c.r, c.g, c.b);
      glVertex3f(F.X[i], F.Y[i], F.Z[i]);
    }
  glEnd();
  glDisable(GL_BLEND);

  GLenum mode = GL_POINTS;
  if (draw::stylePrimitive(D.opt.STARSTYLE, GL_POLYGON, mode)) {
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(mode);
    draw::ringsThenMeridians(F.WDX, F.WDY, 1, 31, M.S1X, M.S1Y, M.S1Z, draw::vertex);
    glEnd();
  }

  // The lobe, lit from above the inner Lagrangian point's distance.
  const float d = std::sqrt(F.LOBX[0] * F.LOBX[0] + F.LOBY[0] * F.LOBY[0]);
  glEnable(GL_AUTO_NORMAL);
  draw::lobeLighting(0.0f, 0.0f, 3.0f * d + 0.5f, GL_FRONT);

  if (draw::stylePrimitive(D.opt.STARSTYLE, GL_TRIANGLE_FAN, mode)) {
    glColor3f(1.0f, 0.1f, 0.0f);
    glBegin(mode);
    draw::ringsThenMeridians(F.LOBX, F.LOBY, 1, 51, M.S2X, M.S2Y, M.S2Z, draw::vertex);
    glEnd();
  }

  glDisable(GL_AUTO_NORMAL);
  glPopMatrix();
  glFlush();
  if (D.swapBuffers) D.swapBuffers();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_AUTO_NORMAL);

  H.sleepMs(playbackWaitMs(n, P.FRAMESTEP));
}

}  // namespace velmora
