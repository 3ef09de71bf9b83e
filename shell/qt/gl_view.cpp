// The OpenGL drawing area.
#include "shell/qt/gl_view.h"

#include <QOpenGLFunctions>

#include "display/gl/gl.h"
#include "display/gl/view.h"

namespace velmora {

GLView::GLView(QWidget* parent) : QOpenGLWidget(parent) {
  setObjectName(QStringLiteral("drawingArea"));
  // The content of the frame buffer is kept between paints: a skipped paint leaves the last picture.
  setUpdateBehavior(QOpenGLWidget::PartialUpdate);
}

GLView::~GLView() {
  if (view_) {
    makeCurrent();
    view_.reset();
    doneCurrent();
  }
}

void GLView::drawingArea(I32& VIEWW, I32& VIEWH) const {
  VIEWW = view_ ? view_->logicalW() : 1;
  VIEWH = view_ ? view_->logicalH() : 1;
}

void GLView::deviceArea(I32& VIEWW, I32& VIEWH) const {
  VIEWW = view_ ? view_->viewW() : 1;
  VIEWH = view_ ? view_->viewH() : 1;
}

void GLView::setOptions(const ViewOptions& o) {
  options_ = o;
  if (view_) view_->options() = o;
}

void GLView::setStartFile(const std::string& path) {
  startFile_ = path;
  if (view_) view_->setStartFile(path);
}

void GLView::initializeGL() {
  // The frame is complete when paintGL returns: Qt shows it, so the views swap nothing.
  view_ = std::make_unique<View>();
  areaW_ = areaH_ = -1;  // a new context: the drawing area is set again at the first resize
  view_->options() = options_;
  view_->setStartFile(startFile_);
  view_->initialize();
}

// Qt gives the size in logical pixels; the frame buffer is that size times the device-pixel
// ratio. The view takes both: it draws in device pixels and keeps the logical area for the mouse.
void GLView::resizeGL(int, int) { syncArea(); }

void GLView::syncArea() {
  const qreal r = devicePixelRatioF();
  if (width() == areaW_ && height() == areaH_ && r == areaRatio_) return;
  areaW_ = width();
  areaH_ = height();
  areaRatio_ = r;
  view_->resize(areaW_, areaH_, static_cast<double>(r));
  resized_ = true;
}

void GLView::resetProjection() {
  if (!view_) return;
  makeCurrent();
  view_->resetProjection();
  doneCurrent();
}

// Frames of a run come faster than the screen takes them, and Qt drops repaints it cannot
// show; so a frame is drawn straight into the widget's frame buffer, and Qt shows the newest
// picture whenever it composes the window.
void GLView::drawNow(const std::function<void()>& draw) {
  if (!view_) return;  // not shown yet: nothing to draw into
  makeCurrent();
  syncArea();
  glViewport(0, 0, view_->viewW(), view_->viewH());
  draw();
  glFlush();
  doneCurrent();
  update();
}

void GLView::showLive(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) {
  drawNow([&] { view_->show(S, NSTEPS, XANGLE, YANGLE, paused); });
}

void GLView::showProgress(const Sim& S, I32 IPHASE, I32 IORBIT) {
  drawNow([&] { view_->progress(S, IPHASE, IORBIT); });
}

void GLView::showFrame(const PlaybackFrame& F, const PlaybackInfo& P, I32 XANGLE, I32 YANGLE, I32 counter,
                       I32 paused, RunHost& H) {
  drawNow([&] { view_->show2(F, P, XANGLE, YANGLE, counter, paused, H); });
}

void GLView::showTitle() {
  keepPicture_ = false;
  drawNow([&] {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    view_->drawScene();
  });
}

void GLView::paintGL() {
  // Qt sets the viewport to the whole widget before every paint; the views expect the
  // drawing area's.
  syncArea();
  glViewport(0, 0, view_->viewW(), view_->viewH());
  if (loopActive_) return;
  paintContent();
}

// A repaint: the title scene in the scene view (unless the last picture is to stay), the plot
// in the light-curve view.
void GLView::paintContent() {
  if (resized_) keepPicture_ = false;  // the kept picture went with the old frame buffer
  resized_ = false;
  const bool title = forceTitle_ || (!keepPicture_ && content_ == Content::Title);
  if (forceTitle_) keepPicture_ = false;
  forceTitle_ = false;
  if (title) {
    view_->drawScene();
  } else if (content_ == Content::LightCurve) {
    const PlotResult r = view_->showLC(lcPath_.toStdString(), lcFirst_, lcLast_);
    if (!r.drawn) {
      content_ = Content::Title;
      view_->drawScene();
      emit plotFailed(QString::fromStdString(r.message));
    }
  }
}

}  // namespace velmora
