// Drawing area, progress text, orbit counter and playback pacing.
#include "display/view_rules.h"

#include <cmath>
#include <cstdint>

#include "io/fortran_format.h"

namespace velmora {

void drawingArea(int width, int height, I32& VIEWW, I32& VIEWH) {
  const I32 w = static_cast<std::int16_t>(width);
  I32 h = static_cast<std::int16_t>(height);
  VIEWW = w;
  if (h == 0) h = 1;
  if (h - STRIPH < VIEWW) {
    VIEWW = h - STRIPH;
    VIEWH = h;
  } else {
    VIEWH = VIEWW + 40;
  }
}

int devicePixels(int n, double ratio) {
  if (ratio == 1.0) return n;
  return static_cast<int>(std::lround(static_cast<double>(n) * ratio));
}

float progressPercent(I32 IPHASE, I32 IORBIT, I32 NORBTOT) {
  const float done = static_cast<float>(IPHASE) / 200.0f + static_cast<float>(IORBIT);
  return done / static_cast<float>(NORBTOT) * 100.0f;
}

std::string progressText(float percent) { return fmt::padRight(fmt::F(percent, 5, 2), 75); }

std::string orbitCounterText(float T, I32 orbits) { return "Orbit " + fmt::F(T, 6, 2) + " / " + fmt::I(orbits, 3); }

std::string hintText(float T, I32 orbits, float tolerance) {
  if (std::fabs(T - static_cast<float>(orbits)) < tolerance) return "SIMULATION COMPLETE!";
  return "CLICK -> DRAG TO ROTATE";
}

float liveOrbits(I32 NSTEPS, I32 ORB0) { return static_cast<float>(NSTEPS) / 200.0f + static_cast<float>(ORB0); }

I32 playbackFramesPerOrbit(I32 FRAMESTEP) {
  if (FRAMESTEP == 1) return 200;
  if (FRAMESTEP < 1) return 200;  // not a recording's value; counts every phase
  return 200 / FRAMESTEP + 1;
}

float playbackOrbits(I32 frameCounter, I32 FRAMESTEP, I32 RECSTART) {
  const float F = static_cast<float>(playbackFramesPerOrbit(FRAMESTEP));
  return static_cast<float>(frameCounter) / F + static_cast<float>(RECSTART) - 1.0f;
}

int playbackWaitMs(I32 N, I32 FRAMESTEP) {
  const float ms = 20000.0f / static_cast<float>(N + 1000) + 5.0f * static_cast<float>(FRAMESTEP);
  if (!(ms > 0.0f)) return 0;
  if (ms > 10000.0f) return 10000;
  return static_cast<int>(ms);
}

I32 phaseIndex(I32 IPHASE) {
  I32 k = (IPHASE - 1) % NPHASES;
  if (k < 0) k += NPHASES;
  return k + 1;
}

}  // namespace velmora
