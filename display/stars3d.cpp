// STARS3D: each chord between outline points r and n + 1 - r carries a circle of 36 points
// perpendicular to the orbital plane; together they form a surface of revolution.
#include "display/stars3d.h"

#include <cmath>

namespace velmora {
namespace {

template <int R>
void rings(const float* x, const float* y, int n, Arr2<float, R, NMERIDIAN>& MX, Arr2<float, R, NMERIDIAN>& MY,
           Arr2<float, R, NMERIDIAN>& MZ) {
  for (int r = 2; r <= R; ++r) {
    const int q = n + 1 - r;
    const float mx = (x[r - 1] + x[q - 1]) / 2.0f;
    const float my = (y[r - 1] + y[q - 1]) / 2.0f;
    const float dx = x[r - 1] - mx;
    const float dy = y[r - 1] - my;
    const float rho = std::sqrt(dx * dx + dy * dy);
    // A vertical chord gives an infinite quotient and +-90 degrees. A chord of zero length
    // (a degenerate outline) gives 0/0: its ring is a single point, so any direction serves.
    float theta = std::atan(dy / dx);
    if (std::isnan(theta)) theta = 0.0f;
    const float ct = std::cos(theta), st = std::sin(theta);
    for (int m = 1; m <= NMERIDIAN; ++m) {
      const float b = static_cast<float>(m) * 0.1745329f;
      const float cb = std::cos(b), sb = std::sin(b);
      MX(r, m) = mx + rho * cb * ct;
      MY(r, m) = my + rho * cb * st;
      MZ(r, m) = rho * sb;
    }
  }
}

}  // namespace

void STARS3D(const float* C1X, const float* C1Y, const float* C2X, const float* C2Y, StarMeshes& M) {
  rings(C1X, C1Y, NWDPTS, M.S1X, M.S1Y, M.S1Z);
  rings(C2X, C2Y, NLOBE, M.S2X, M.S2Y, M.S2Z);
}

}  // namespace velmora
