// The three-piece colour scale of the particles (no drawing here).
#pragma once

#include <vector>

namespace velmora {

struct Rgb {
  float r, g, b;
};

// Red through orange to yellow (t <= 1), yellow to white (t <= 2), white to cyan (t > 2).
Rgb scaleColour(float t);

// How a value is placed on the scale.
enum class ScaleKind {
  Density,      // t from 0.42857 (thinnest, orange) to 2.97857 (densest, nearly cyan)
  Temperature,  // t from 0 (coolest, red) to 3 (hottest, cyan)
};

// Position on the scale of v between the frame's extremes. When every value of the frame is
// the same (vmax = vmin) the scale has no width; the particles then take its lowest colour.
float scalePosition(ScaleKind kind, float v, float vmin, float vmax);

// The colours of n values (first pass: their extremes; second: each value's colour).
void scaleColours(ScaleKind kind, const float* v, int n, std::vector<Rgb>& out);

}  // namespace velmora
