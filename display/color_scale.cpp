// The colour scale shared by the live view, the playback and the title scene.
#include "display/color_scale.h"

#include <cstddef>

namespace velmora {

Rgb scaleColour(float t) {
  if (t <= 1.0f) return {1.0f, t, 0.0f};
  if (t <= 2.0f) return {1.0f, 1.0f, t - 1.0f};
  return {3.0f - t, 1.0f, 1.0f};
}

float scalePosition(ScaleKind kind, float v, float vmin, float vmax) {
  const float range = vmax - vmin;
  if (kind == ScaleKind::Density) {
    if (!(range > 0.0f)) return 0.42857f;
    return (v - vmin) / range * 2.55f + 0.42857f;
  }
  if (!(range > 0.0f)) return 0.0f;
  return (v - vmin) / range * 3.0f;
}

void scaleColours(ScaleKind kind, const float* v, int n, std::vector<Rgb>& out) {
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0u);
  if (n <= 0) return;
  float vmin = v[0], vmax = v[0];
  for (int i = 1; i < n; ++i) {
    if (v[i] < vmin) vmin = v[i];
    if (v[i] > vmax) vmax = v[i];
  }
  for (int i = 0; i < n; ++i)
    out[static_cast<std::size_t>(i)] = scaleColour(scalePosition(kind, v[i], vmin, vmax));
}

}  // namespace velmora
