// The drawing area of the main window: an OpenGL widget that shows the title scene, a live
// run, the progress display, a playback frame or the light-curve plot.
#pragma once

#include <QOpenGLWidget>
#include <functional>

#include "core/state.h"

namespace velmora {

class GLView : public QOpenGLWidget {
  Q_OBJECT

 public:
  explicit GLView(QWidget* parent = nullptr);
  ~GLView() override;

  // Drawing width and height by the drawing-area rule (updated on every resize).
  void drawingArea(I32& VIEWW, I32& VIEWH) const;

  // Each of these draws at once into the widget.
  void showLive(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused);
  void showProgress(I32 IPHASE, I32 IORBIT, I32 NORBTOT);

  // What a repaint of the window shows.
  enum class Content { Title, LightCurve };
  // The light-curve file and the range of orbits the plot shows.
  void setLightCurve(const QString& path, I32 first, I32 last) {
    lcPath_ = path;
    lcFirst_ = first;
    lcLast_ = last;
  }
  const QString& lightCurvePath() const { return lcPath_; }
  I32 lightCurveFirst() const { return lcFirst_; }
  I32 lightCurveLast() const { return lcLast_; }
  void setContent(Content c) { content_ = c; }
  Content content() const { return content_; }
  // The next repaint leaves the picture as it is (the last frame of a run stays).
  void skipNextPaint() { skipPaint_ = true; }
  // The next repaint draws the title scene whatever else is set (after a cancelled dialog).
  void forceTitle() { forceTitle_ = true; }
  // While a run or playback is in progress, repaints asked for by the window system keep
  // the last frame; only the loop draws.
  void setLoopActive(bool on) { loopActive_ = on; }

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;

 private:
  // A drawing call made from outside a paint event: run now through repaint().
  void drawNow(std::function<void()> draw);

  std::function<void()> pending_;
  Content content_ = Content::Title;
  bool skipPaint_ = false;
  bool forceTitle_ = false;
  bool loopActive_ = false;
  I32 viewW_ = 1, viewH_ = 1;
  QString lcPath_;
  I32 lcFirst_ = 0, lcLast_ = 0;
};

}  // namespace velmora
