// The arithmetic of the views: drawing area, progress percentage, orbit counter, playback
// pacing (no drawing here).
#pragma once

#include <string>

#include "core/state.h"

namespace velmora {

inline constexpr int STRIPH = 25;  // height of the button strip at the bottom of the drawing area

// A button of the strip: its left and right edges in the strip's coordinates (x from -1 at the
// left to 1 at the right of the drawing area); it fills the strip's height.
struct StripButton {
  float x0, x1;
  // Its centre in pixels from the left of a drawing area VIEWW wide.
  double centreX(int VIEWW) const { return (static_cast<double>(x0 + x1) / 2.0 + 1.0) / 2.0 * VIEWW; }
};
inline constexpr StripButton QUIT_BUTTON{-1.0f, -0.86f};
inline constexpr StripButton PAUSE_BUTTON{-0.85f, -0.71f};  // PAUSE, or CONT. while paused

// Drawing area from the window's client size (each read as a signed 16-bit value): square above
// the strip when the window is wider than tall, otherwise 40 pixels taller than wide.
// A height of 0 (a minimised window) counts as 1.
void drawingArea(int width, int height, I32& VIEWW, I32& VIEWH);

// A length of n logical pixels in device pixels at a device-pixel ratio (2 on a screen scaled to
// 200 %): n times the ratio, rounded to the nearest pixel; n itself at ratio 1.
int devicePixels(int n, double ratio);

// Completed share of the run in per cent: ((phase / 200) + completed orbits) / NORBTOT x 100.
float progressPercent(I32 IPHASE, I32 IORBIT, I32 NORBTOT);
// The 75-character progress text: the percentage as F5.2 (five asterisks from 100 on).
std::string progressText(float percent);

// "Orbit " T (F6.2) " / " orbits (I3): the counter of the live and playback views.
std::string orbitCounterText(float T, I32 orbits);
// The hint beside the counter: complete when T is within `tolerance` of the last orbit.
std::string hintText(float T, I32 orbits, float tolerance);

// Elapsed orbits of the live view: steps of this run / 200 + ORB0.
float liveOrbits(I32 NSTEPS, I32 ORB0);

// Playback: frames per orbit (a phase-1 frame and every FRAMESTEP-th phase are recorded),
// elapsed orbits at a frame counter, and the wait after a frame of N particles.
I32 playbackFramesPerOrbit(I32 FRAMESTEP);
float playbackOrbits(I32 frameCounter, I32 FRAMESTEP, I32 RECSTART);
int playbackWaitMs(I32 N, I32 FRAMESTEP);

// Brings a phase into 1..200 (phase 0 is the end of the previous orbit, phase 200).
I32 phaseIndex(I32 IPHASE);

}  // namespace velmora
