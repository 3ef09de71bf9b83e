// DRAWSCENE: the title scene — the program's name above a lit, tilted disk from the start-up file.
#include <cmath>
#include <filesystem>
#include <system_error>

#include "display/gl/display.h"
#include "display/gl/draw.h"

namespace velmora {

void DRAWSCENE(Display& D, const std::string& STARTFILE) {
  glViewport(0, 0, D.VIEWW, D.VIEWH);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 2.0);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glColor3f(1.0f, 1.0f, 1.0f);

  draw::caption(D, 1000, -0.43f, 0.6f, "Velmora");
  draw::caption(D, 2000, -0.43f, 0.35f, "Cataclysmic Variable");
  draw::caption(D, 2000, -0.515f, 0.25f, "Accretion Disk Simulator");

  std::error_code ec;
  bool haveScene = std::filesystem::exists(STARTFILE, ec);
  if (haveScene) {
    std::string error;
    haveScene = readStartScene(STARTFILE, D.scene, error);
    if (!haveScene) draw::reportOnce(D, "start-up scene not shown: " + error);
  }

  if (haveScene) {
    const StartScene& sc = D.scene;
    STARS3D(sc.WDX.data(), sc.WDY.data(), sc.LOBX.data(), sc.LOBY.data(), D.titleMesh);
    const StarMeshes& M = D.titleMesh;
    glRotatef(60.0f, 1.0f, 0.0f, 0.0f);
    const auto at = [](float x, float y, float z) {
      glVertex3f((x - 0.32f) * 1.2f, (y - 0.6f) * 1.2f, z * 1.2f);
    };

    // The lobe, lit from above the midpoint between the centre of mass and the inner Lagrangian point.
    const float x1 = sc.LOBX(1), y1 = sc.LOBY(1);
    const float d = std::sqrt(x1 * x1 + y1 * y1);
    glEnable(GL_AUTO_NORMAL);
    glEnable(GL_POLYGON_OFFSET_FILL);
    draw::lobeLighting(-x1 / 2.0f, -y1 / 2.0f, 1.1f * (3.0f * d + 0.5f), GL_FRONT_AND_BACK);

    glColor3f(1.0f, 0.1f, 0.0f);
    glBegin(GL_TRIANGLE_FAN);
    at(sc.LOBX(1), sc.LOBY(1), 0.0f);
    for (int m = 1; m <= NMERIDIAN; ++m) at(M.S2X(2, m), M.S2Y(2, m), M.S2Z(2, m));
    glEnd();
    glBegin(GL_TRIANGLE_FAN);
    at(sc.LOBX(51), sc.LOBY(51), 0.0f);
    for (int m = 1; m <= NMERIDIAN; ++m) at(M.S2X(NRING2, m), M.S2Y(NRING2, m), M.S2Z(NRING2, m));
    glEnd();
    for (int m = 1; m < NMERIDIAN; ++m) {
      glBegin(GL_TRIANGLE_FAN);
      for (int r = 2; r <= NRING2; ++r) {
        at(M.S2X(r, m), M.S2Y(r, m), M.S2Z(r, m));
        at(M.S2X(r, m + 1), M.S2Y(r, m + 1), M.S2Z(r, m + 1));
      }
      glEnd();
    }

    // Particles by temperature over the lobe, then the primary on top (no depth test).
    glDisable(GL_LIGHTING);
    glPointSize(px(D, 1.0f));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    scaleColours(ScaleKind::Temperature, sc.TEMP4.data(), sc.N, D.colours);
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < static_cast<std::size_t>(sc.N); ++i) {
      const Rgb& c = D.colours[i];
      glColor3f(c.r, c.g, c.b);
      at(sc.X[i], sc.Y[i], sc.Z[i]);
    }
    glEnd();
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_POLYGON);
    draw::ringsThenMeridians(sc.WDX.data(), sc.WDY.data(), 1, 31, M.S1X, M.S1Y, M.S1Z, at);
    glEnd();
  }

  glFlush();
  if (D.swapBuffers) D.swapBuffers();
  glDisable(GL_LIGHTING);
  glDisable(GL_POLYGON_OFFSET_FILL);
}

}  // namespace velmora
