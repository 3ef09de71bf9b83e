// The drawing state of the views and the routines that draw them with OpenGL 1.1.
// Every routine draws into the context that is current when it is called; none makes a context
// current. The View class (display/view.h) is the interface the desktop program and the command
// line use; these routines are its parts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/state.h"
#include "display/color_scale.h"
#include "display/gl/MakeFont.h"
#include "display/stars3d.h"
#include "display/view_rules.h"
#include "display/start_scene.h"
#include "files/recording.h"

namespace velmora {

// The Options menu's settings of the scene views.
struct ViewOptions {
  I32 STARSTYLE = 1;    // 1 Filled, 2 Wire Frame, 3 Point Grid
  float PTSIZE = 1.0f;  // particle size in pixels: 1 Small, 2 Large
  I32 COLORMODE = 1;    // 1 Density, 2 Temperature; any other value draws no particles
};

// One recorded frame as the playback draws it. The arrays belong to the caller and address
// entry 1: N entries for the particles, 101 for the lobe outline, 61 for the primary's.
struct PlaybackFrame {
  I32 N = 0;
  const float *X = nullptr, *Y = nullptr, *Z = nullptr;
  const float* RHO = nullptr;   // density as recorded
  const float* TEMP = nullptr;  // fourth root of the specific internal energy, as recorded
  const float *LOBX = nullptr, *LOBY = nullptr;
  const float *WDX = nullptr, *WDY = nullptr;
};

// A frame as the recording reader gives it, seen as the playback draws it (no copy).
inline PlaybackFrame playbackFrame(const RecordedFrame& f) {
  PlaybackFrame p;
  p.N = f.N;
  p.X = f.X.data(), p.Y = f.Y.data(), p.Z = f.Z.data(), p.RHO = f.RHO.data(), p.TEMP = f.TEMP.data();
  p.LOBX = f.LOBEX.data(), p.LOBY = f.LOBEY.data(), p.WDX = f.WDX.data(), p.WDY = f.WDY.data();
  return p;
}

// The recording's header values that the playback shows.
struct PlaybackInfo {
  I32 FRAMESTEP = 1;  // phases between recorded frames
  I32 RECSTART = 1;   // orbit at which recording started
  I32 NORBTOT = 0;    // orbits of the recorded run
};

// The state the views share: options, drawing area, fonts and each view's mesh storage.
struct Display {
  ViewOptions opt;
  // The drawing area in device pixels (what OpenGL draws into); its bottom STRIPPX rows are the
  // button strip. On a scaled screen (RATIO device pixels to a logical pixel) every length the
  // views give in pixels (the strip, font heights, point sizes, line widths) is scaled by RATIO,
  // so the picture looks as at ratio 1, only sharper.
  I32 VIEWW = 0, VIEWH = 0;
  double RATIO = 1.0;
  I32 STRIPPX = STRIPH;
  // The drawing area in logical pixels, the units of the mouse: the button hit areas use it.
  I32 logicalW = 0, logicalH = 0;
  FontCache fonts;
  StarMeshes liveMesh, playMesh, titleMesh;
  std::string LABEL;            // the caption being drawn
  std::vector<float> values;    // particle values of the frame being drawn
  std::vector<Rgb> colours;     // and their colours
  StartScene scene;             // the title scene as last read
  bool progressFontBuilt = false;
  std::string lastProblem;        // the last problem reported through warn
  // Called where a picture is complete (the buffer swap of a double-buffered window). May be empty.
  std::function<void()> swapBuffers;
  // Told about inputs that cannot be drawn (a damaged start-up scene, a missing font). May be empty.
  std::function<void(const std::string&)> warn;
};

// Drawing-area rule on a resize, for a client area of width x height logical pixels shown at a
// device-pixel ratio: the logical area by the rule, VIEWW and VIEWH in device pixels, the strip's
// height, the plain orthographic projection and the viewport. A change of ratio rebuilds the title
// fonts at their new pixel heights.
void resizeDrawingArea(Display& D, int width, int height, double ratio = 1.0);
// A length in the views' pixels (a font height, a point size) in device pixels.
int px(const Display& D, int n);
float px(const Display& D, float n);
// Projection back to the plain orthographic cube, as the commands that start a view do.
void resetUnitProjection(Display& D);

// Fonts at list bases 1000 (height 90) and 2000 (height 35) for the title scene.
void buildTitleFonts(Display& D);

// Live frame of a run: button strip, both stars, every particle of S.
void SHOW(Display& D, const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused);

// Progress screen instead of the live frame.
void PROGRESS(Display& D, const Sim& S, I32 IPHASE, I32 IORBIT);
void DRAWPRO(Display& D, const std::string& PROGTXT);

// Playback frame; then waits through the host for the frame time.
void SHOW2(Display& D, const PlaybackFrame& F, const PlaybackInfo& P, I32 XANGLE, I32 YANGLE, I32 frameCounter,
           I32 paused, RunHost& H);

// Title scene: the program's name above the start-up scene read from STARTFILE (texts only when
// the file is missing or damaged).
void DRAWSCENE(Display& D, const std::string& STARTFILE);

// What became of a light-curve plot: drawn or not, and what went wrong (empty when nothing did).
struct PlotResult {
  bool drawn = false;
  std::string message;
};

// Light-curve plot of orbits first..last of the light-curve file: reads it, writes "stdev.txt"
// and "fftpeaks.txt" into the current directory and draws. A file that cannot be read, holds less
// than one orbit or does not hold the range is not drawn (the picture and the two text files stay
// as they were); a text file that cannot be written is reported with the plot drawn.
PlotResult SHOWLC(Display& D, const std::string& file, I32 first, I32 last);

struct RunAnalysis;
// The analysis picture of a run (analysis/run_analysis.h): the spectrum around one cycle per
// orbit with the superhump, its growth per window, the disk's radii and m = 1 amplitude against
// time; a panel whose file is missing says so.
void drawAnalysis(Display& D, const RunAnalysis& a, const std::string& title);

struct Observations;
struct MapOverlays;
// The observations' picture (analysis/observe.h): the Doppler map of inclination number `incl`
// with its overlays, its trailed spectrum over two cycles, the eclipse curves of every inclination.
void drawObservations(Display& D, const Observations& o, const MapOverlays& m, std::size_t incl,
                      const std::string& title);

// Shared drawing steps of the views.
namespace draw {
// glCallLists of the caption's characters up to its last non-blank, at a raster position.
void caption(Display& D, int base, float x, float y, const std::string& text);
// The button strip of the live and playback views (everything but the matrix set-up).
void buttonStrip(Display& D, I32 paused, const std::string& counter, const std::string& hint);
// Scene of the live and playback views: the farther fragment wins (GL_GREATER against a cleared
// depth of 0), the scene viewport above the strip, the orthographic cube pushed and turned by the
// angles on the projection matrix.
void sceneSetup(const Display& D, I32 XANGLE, I32 YANGLE);
// Light 0 and the lobe's material for the playback and title scenes; enables lighting.
void lobeLighting(float lx, float ly, float lz, unsigned face);
// Particle colours by the colour mode into D.colours; false when the mode draws no particles.
bool particleColours(Display& D, const float* v, int n);
void reportOnce(Display& D, const std::string& problem);
}  // namespace draw

}  // namespace velmora
