// What the views share: captions, the button strip, particle colours, the drawing area.
#include "display/gl/draw.h"

#include "display/gl/display.h"
#include "display/view_rules.h"
#include "io/fortran_format.h"

namespace velmora {
namespace draw {

void reportOnce(Display& D, const std::string& problem) {
  if (problem.empty() || problem == D.lastProblem) return;
  D.lastProblem = problem;
  if (D.warn) D.warn(problem);
}

void caption(Display& D, int base, float x, float y, const std::string& text) {
  D.LABEL = fmt::trimRight(text);
  glListBase(static_cast<GLuint>(base));
  glRasterPos3f(x, y, 0.0f);
  glCallLists(static_cast<GLsizei>(D.LABEL.size()), GL_UNSIGNED_BYTE, D.LABEL.data());
}

namespace {
void greyButton(float x0, float x1) {
  glColor3f(0.4f, 0.4f, 0.4f);
  glBegin(GL_POLYGON);
  glVertex3f(x0, -1.0f, -1.0f);
  glVertex3f(x0, 1.0f, -1.0f);
  glVertex3f(x1, 1.0f, -1.0f);
  glVertex3f(x1, -1.0f, -1.0f);
  glEnd();
}
}  // namespace

void buttonStrip(Display& D, I32 paused, const std::string& counter, const std::string& hint) {
  glLineWidth(px(D, 1.0f));
  MAKEFONT(D.fonts, 4000, px(D, 14), 0);
  reportOnce(D, D.fonts.problem());
  greyButton(QUIT_BUTTON.x0, QUIT_BUTTON.x1);
  glColor3f(1.0f, 1.0f, 1.0f);
  caption(D, 4000, -0.965f, -0.23f, "QUIT");
  greyButton(PAUSE_BUTTON.x0, PAUSE_BUTTON.x1);
  glColor3f(1.0f, 1.0f, 1.0f);
  caption(D, 4000, -0.833f, -0.23f, paused == 0 ? "PAUSE" : "CONT.");
  MAKEFONT(D.fonts, 5000, px(D, 16), 0);
  caption(D, 5000, 0.6f, -0.23f, counter);
  caption(D, 5000, -0.28f, -0.23f, hint);
  glBegin(GL_LINES);
  glVertex3f(-1.0f, 0.99f, 1.0f);
  glVertex3f(1.0f, 0.99f, 1.0f);
  glEnd();
}

void sceneSetup(const Display& D, I32 XANGLE, I32 YANGLE) {
  glClearDepth(-1.0);  // OpenGL clamps it to 0
  glDepthFunc(GL_GREATER);
  glEnable(GL_DEPTH_TEST);
  glViewport(0, D.STRIPPX, D.VIEWW, D.VIEWH - D.STRIPPX);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
  glPushMatrix();
  glRotatef(static_cast<float>(XANGLE), 1.0f, 0.0f, 0.0f);
  glRotatef(static_cast<float>(YANGLE), 0.0f, 1.0f, 0.0f);
}

void lobeLighting(float lx, float ly, float lz, unsigned face) {
  const GLenum f = static_cast<GLenum>(face);
  const GLfloat colour[] = {1.0f, 0.1f, 0.0f, 1.0f};
  const GLfloat specular[] = {1.0f, 0.1f, 0.1f, 1.0f};
  const GLfloat position[] = {lx, ly, lz, 1.0f};
  const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
  const GLfloat diffuse[] = {0.0f, 0.0f, 0.0f, 1.0f};
  const GLfloat bright[] = {1.5f, 1.5f, 1.5f, 1.0f};
  glMaterialfv(f, GL_AMBIENT, colour);
  glMaterialfv(f, GL_DIFFUSE, colour);
  glMaterialfv(f, GL_SPECULAR, specular);
  glMaterialf(f, GL_SHININESS, 100.0f);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, bright);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
}

bool particleColours(Display& D, const float* v, int n) {
  if (D.opt.COLORMODE == 1) scaleColours(ScaleKind::Density, v, n, D.colours);
  else if (D.opt.COLORMODE == 2) scaleColours(ScaleKind::Temperature, v, n, D.colours);
  else return false;
  return true;
}

}  // namespace draw

void resizeDrawingArea(Display& D, int width, int height, double ratio) {
  drawingArea(width, height, D.logicalW, D.logicalH);
  const bool newRatio = ratio != D.RATIO;
  D.RATIO = ratio;
  D.VIEWW = devicePixels(D.logicalW, ratio);
  D.VIEWH = devicePixels(D.logicalH, ratio);
  D.STRIPPX = devicePixels(STRIPH, ratio);
  if (newRatio) {
    buildTitleFonts(D);
    D.progressFontBuilt = false;
  }
  resetUnitProjection(D);
  glViewport(0, 0, D.VIEWW, D.VIEWH);
}

int px(const Display& D, int n) { return devicePixels(n, D.RATIO); }

float px(const Display& D, float n) { return D.RATIO == 1.0 ? n : static_cast<float>(n * D.RATIO); }

void resetUnitProjection(Display&) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
}

void buildTitleFonts(Display& D) {
  MAKEFONT(D.fonts, 1000, px(D, 90), 0);
  MAKEFONT(D.fonts, 2000, px(D, 35), 0);
  draw::reportOnce(D, D.fonts.problem());
}

}  // namespace velmora
