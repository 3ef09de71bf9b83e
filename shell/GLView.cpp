// The OpenGL drawing area.
#include "shell/GLView.h"

#include <QOpenGLFunctions>

namespace velmora {

GLView::GLView(QWidget* parent) : QOpenGLWidget(parent) {
  setObjectName(QStringLiteral("drawingArea"));
  // The content of the frame buffer is kept between paints: a skipped paint leaves the last picture.
  setUpdateBehavior(QOpenGLWidget::PartialUpdate);
}

GLView::~GLView() = default;

void GLView::drawingArea(I32& VIEWW, I32& VIEWH) const {
  VIEWW = viewW_;
  VIEWH = viewH_;
}

void GLView::initializeGL() {}

void GLView::resizeGL(int w, int h) {
  // The drawing-area rule: a square scene above the 25-pixel strip.
  const int hh = h == 0 ? 1 : h;
  if (hh - 25 < w) {
    viewW_ = hh - 25;
    viewH_ = hh;
  } else {
    viewW_ = w;
    viewH_ = w + 40;
  }
}

void GLView::drawNow(std::function<void()> draw) {
  pending_ = std::move(draw);
  repaint();
  pending_ = nullptr;
}

void GLView::showLive(const Sim&, I32, I32, I32, I32) {
  drawNow([] {});
}

void GLView::showProgress(I32, I32, I32) {
  drawNow([] {});
}

void GLView::paintGL() {
  if (pending_) {
    pending_();
    return;
  }
  if (loopActive_) return;
  if (forceTitle_ || !skipPaint_) {
    forceTitle_ = false;
    auto* f = context()->functions();
    f->glClearColor(0, 0, 0, 0);
    f->glClear(GL_COLOR_BUFFER_BIT);
  }
  skipPaint_ = false;
}

}  // namespace velmora
