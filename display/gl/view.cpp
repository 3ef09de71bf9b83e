// View: the views' drawing state and the routines behind one interface.
#include "display/gl/view.h"

#include <utility>

namespace velmora {

View::View(std::function<void()> swapBuffers, std::function<void(const std::string&)> warn) {
  D_.swapBuffers = std::move(swapBuffers);
  D_.warn = std::move(warn);
}

View::~View() = default;

void View::initialize() {
  D_.progressFontBuilt = false;
  buildTitleFonts(D_);
}

void View::resize(int width, int height, double ratio) { resizeDrawingArea(D_, width, height, ratio); }

void View::resetProjection() { resetUnitProjection(D_); }

void View::show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) {
  SHOW(D_, S, NSTEPS, XANGLE, YANGLE, paused);
}

void View::progress(const Sim& S, I32 IPHASE, I32 IORBIT) { PROGRESS(D_, S, IPHASE, IORBIT); }

void View::show2(const PlaybackFrame& frame, const PlaybackInfo& info, I32 XANGLE, I32 YANGLE, I32 frameCounter,
                 I32 paused, RunHost& H) {
  SHOW2(D_, frame, info, XANGLE, YANGLE, frameCounter, paused, H);
}

PlotResult View::showLC(const std::string& file, I32 first, I32 last) { return SHOWLC(D_, file, first, last); }

void View::drawAnalysis(const RunAnalysis& a, const std::string& title) { velmora::drawAnalysis(D_, a, title); }

void View::drawObservations(const Observations& o, const MapOverlays& m, std::size_t incl, const std::string& title) {
  velmora::drawObservations(D_, o, m, incl, title);
}

void View::drawScene() { DRAWSCENE(D_, startFile_); }

}  // namespace velmora
