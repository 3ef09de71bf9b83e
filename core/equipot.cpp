// EQUIPOT and EQUIFUNC: the 101-point outline of the secondary's Roche lobe.
#include <cmath>

#include "core/core.h"

namespace velmora {

float EQUIFUNC(float y, float a, float b, float mu2, float mu1, float phi) {
  const float r1sq = y * y + a, r2sq = y * y + b;
  const float r1 = std::sqrt(r1sq), r2 = std::sqrt(r2sq);
  return phi + mu1 / r1 + mu2 / r2 + 0.5f * (mu1 * r1sq + mu2 * r2sq);
}

void EQUIPOT(Sim& S) {
  S.XEQ(1) = S.XL1;
  S.YEQ(1) = 0.0f;
  const float w = (S.XLOBE - S.XL1) / 50.0f;
  const float D = S.MU1 - S.XL1;
  const float s0 = 0.1f * D;

  // Upper half, column by column: step down from the enclosing circle about the secondary.
  for (int k = 1; k <= 49; ++k) {
    const float X = static_cast<float>(k) * w + S.XL1;
    const float a = (X + S.MU2) * (X + S.MU2), b = (X - S.MU1) * (X - S.MU1);
    float y = std::sqrt(D * D - b), s = s0, p = y;
    int r = 1;
    for (;;) {
      const float g = EQUIFUNC(y, a, b, S.MU2, S.MU1, S.PHIL1);
      if (g < 0.0f) {
        p = y;
        y = y - s;
      } else if (g > 0.0f && r <= 5) {
        s = s * 0.1f;
        ++r;
        y = p - s;
      } else {
        break;
      }
    }
    S.XEQ(k + 1) = X;
    S.YEQ(k + 1) = y;
  }
  S.XEQ(51) = S.XLOBE;
  S.YEQ(51) = 0.0f;

  // Lower half by reflection; point 101 closes the outline at L1.
  for (int n = 50; n >= 1; --n) {
    S.XEQ(102 - n) = S.XEQ(n);
    S.YEQ(102 - n) = -S.YEQ(n);
  }
}

}  // namespace velmora
