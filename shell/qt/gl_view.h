// The drawing area of the main window: an OpenGL widget that shows the title scene, a live
// run, the progress display, a playback frame or the light-curve plot, through the views.
#pragma once

#include <QOpenGLWidget>
#include <functional>
#include <memory>

#include "core/state.h"
#include "display/gl/display.h"

namespace velmora {

class View;

class GLView : public QOpenGLWidget {
  Q_OBJECT

 public:
  explicit GLView(QWidget* parent = nullptr);
  ~GLView() override;

  // Drawing width and height by the drawing-area rule in logical pixels, the units of the
  // mouse positions the run loop is given: its QUIT and PAUSE hit areas use these. OpenGL
  // draws into the same area in device pixels (deviceArea); at ratio 1 the two are equal.
  void drawingArea(I32& VIEWW, I32& VIEWH) const;
  void deviceArea(I32& VIEWW, I32& VIEWH) const;
  // Star style, particle size and colour of the scenes.
  void setOptions(const ViewOptions& o);
  // The start-up scene file of the title scene.
  void setStartFile(const std::string& path);
  // The plain orthographic projection again, before a run or playback starts.
  void resetProjection();

  // Each of these draws at once into the widget.
  void showLive(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused);
  void showProgress(const Sim& S, I32 IPHASE, I32 IORBIT);
  void showFrame(const PlaybackFrame& F, const PlaybackInfo& P, I32 XANGLE, I32 YANGLE, I32 counter, I32 paused,
                 RunHost& H);
  void showTitle();

  // What a repaint of the window shows.
  enum class Content { Title, LightCurve };
  void setContent(Content c) {
    content_ = c;
    keepPicture_ = false;
  }
  Content content() const { return content_; }
  // The light-curve file and the range of orbits the plot shows.
  void setLightCurve(const QString& path, I32 first, I32 last) {
    lcPath_ = path;
    lcFirst_ = first;
    lcLast_ = last;
  }
  const QString& lightCurvePath() const { return lcPath_; }
  I32 lightCurveFirst() const { return lcFirst_; }
  I32 lightCurveLast() const { return lcLast_; }
  // Repaints leave the picture as it is (the last frame of a run stays) until the view's
  // content is set again or the window's size changes.
  void keepPicture() { keepPicture_ = true; }
  // The next repaint draws the title scene whatever else is set (after a cancelled dialog).
  void forceTitle() { forceTitle_ = true; }
  // While a run or playback is in progress, repaints asked for by the window system keep
  // the last frame; only the loop draws.
  void setLoopActive(bool on) { loopActive_ = on; }

 signals:
  // The light-curve plot could not be drawn (the file changed or vanished); says why.
  void plotFailed(const QString& message);

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;

 private:
  // A drawing call made from outside a paint event.
  void drawNow(const std::function<void()>& draw);
  // The drawing area again when the widget's size or device-pixel ratio has changed (a
  // window moved to a screen of another scale). Needs the context current.
  void syncArea();
  void paintContent();

  std::unique_ptr<View> view_;
  ViewOptions options_;
  std::string startFile_;
  Content content_ = Content::Title;
  bool keepPicture_ = false;
  bool resized_ = true;  // a new frame buffer holds no picture yet
  bool forceTitle_ = false;
  bool loopActive_ = false;
  int areaW_ = -1, areaH_ = -1;  // the logical size and ratio the drawing area was set for
  qreal areaRatio_ = 0;
  QString lcPath_;
  I32 lcFirst_ = 0, lcLast_ = 0;
};

}  // namespace velmora
