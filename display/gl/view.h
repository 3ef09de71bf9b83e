// View: the OpenGL views of Velmora behind one object — live scene, progress screen, playback
// frame, title scene and light-curve plot — for the desktop program's OpenGL widget and
// for the headless surface of the command line and the tests.
//
// Using it
//  - Every call draws into the OpenGL context that is current at that moment; the View never
//    makes a context current. With a QOpenGLWidget, call from initializeGL/resizeGL/paintGL, or
//    call makeCurrent() first when drawing from a run or playback loop. With HeadlessSurface
//    (display/HeadlessSurface.h) the surface's context is current once it is constructed.
//  - The context must offer the fixed-function pipeline (OpenGL 1.1 calls, a compatibility
//    profile) with 24-bit colour and a depth buffer: see PixelFormat.h.
//  - Order: initialize() once the context exists (builds the title fonts), resize() on every
//    change of the client size (and once before the first picture), then any picture.
//  - Each picture ends by calling the swap hook given to the constructor: a QOpenGLWidget host
//    can schedule its update there; the headless surface needs none.
//  - The display lists of the fonts (bases 1000 to 6000) belong to the context; after a new
//    context (a widget moved to another window), call initialize() again.
//  - The first live or playback frame of a fresh context shows only the button strip: the
//    scene's depth test compares against the clear depth that the previous frame set.
//  - Single-threaded, like everything that draws.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/state.h"
#include "display/gl/display.h"

namespace velmora {

// A run host for pictures drawn one after the other (the command line's renderings, movies): no
// messages, no frame wait, no window.
struct StillHost : RunHost {
  std::optional<MouseMsg> takeMessage() override { return std::nullopt; }
  void setTitle(const std::string&) override {}
  void sleepMs(int) override {}
  void show(const Sim&, I32, I32, I32, I32) override {}
  void progress(I32, I32) override {}
  void viewSize(I32& w, I32& h) const override { w = h = 0; }
  void warn(const std::string&) override {}
};

class View {
 public:
  // swapBuffers: called when a picture is complete (may be empty).
  // warn: told once about something that cannot be drawn, e.g. a damaged start-up scene.
  explicit View(std::function<void()> swapBuffers = {}, std::function<void(const std::string&)> warn = {});
  ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // Needs a current context: builds the title fonts (list bases 1000 and 2000).
  void initialize();

  // The drawing-area rule for a client area of width x height logical pixels shown at a
  // device-pixel ratio (1 unless the screen is scaled): sets the logical area, viewW() and
  // viewH() in device pixels, the plain orthographic projection and the viewport. At ratio r
  // everything drawn is r times as many pixels across as at ratio 1 (strip, fonts, points).
  void resize(int width, int height, double ratio = 1.0);
  // The drawing area in device pixels, for the viewport.
  I32 viewW() const { return D_.VIEWW; }
  I32 viewH() const { return D_.VIEWH; }
  // The drawing area in logical pixels, the mouse's units: the run loop's button hit areas use
  // these (RunHost::viewSize). Equal to viewW() and viewH() at ratio 1.
  I32 logicalW() const { return D_.logicalW; }
  I32 logicalH() const { return D_.logicalH; }
  double ratio() const { return D_.RATIO; }
  // Back to the plain orthographic projection (the title scene leaves it tilted): call before a
  // run or a playback starts, as the New Disk, Open Recorded and Open Restart commands do.
  void resetProjection();

  // Star style, particle size and particle colour, read at every picture.
  ViewOptions& options() { return D_.opt; }
  const ViewOptions& options() const { return D_.opt; }

  // Live frame of a run: the strip with QUIT, PAUSE/CONT. (paused != 0), the orbit counter
  // (NSTEPS phases of this run since it started, plus S.ORB0) and the hint; both stars at phase
  // S.IPHASE; the S.NPART particles. The signature of RunHost::show.
  void show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused);

  // Progress screen: "Current Simulation Progress" and the percentage of S.NORBTOT orbits done.
  // The signature of RunHost::progress, with the run's state.
  void progress(const Sim& S, I32 IPHASE, I32 IORBIT);

  // One playback frame (frameCounter frames drawn so far, this one included), then the frame
  // wait through H.sleepMs: 20000 / (N + 1000) + 5 FRAMESTEP milliseconds.
  void show2(const PlaybackFrame& frame, const PlaybackInfo& info, I32 XANGLE, I32 YANGLE, I32 frameCounter,
             I32 paused, RunHost& H);

  // Title scene from the start-up scene file (findDataFile(PROGDIR, exeDir, "startup") of files/datafiles.h); the
  // texts alone when the file is missing or damaged.
  void setStartFile(std::string path) { startFile_ = std::move(path); }
  const std::string& startFile() const { return startFile_; }
  void drawScene();

  // Light-curve plot of orbits first..last (counted from the file's first orbit) of a light-curve
  // file: four panels of samples and smoothed curve, the amplitude spectrum and its peaks; writes
  // "stdev.txt" and "fftpeaks.txt" into the current directory. Not drawn when the file cannot be
  // read, holds less than one orbit or lacks the range: result.drawn is false and result.message
  // says why (show it to the user); nothing is then overwritten. Every repaint calls it again.
  PlotResult showLC(const std::string& file, I32 first, I32 last);

  // The analysis picture of a run (see drawAnalysis in display/gl/display.h), titled `title`.
  void drawAnalysis(const RunAnalysis& a, const std::string& title);
  // The observations' picture (see drawObservations in display/gl/display.h).
  void drawObservations(const Observations& o, const MapOverlays& m, std::size_t incl, const std::string& title);

  // The drawing state, for the routines' tests.
  Display& display() { return D_; }

 private:
  Display D_;
  std::string startFile_;
};

}  // namespace velmora
