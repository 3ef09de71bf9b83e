// OUTERLOBE: the Roche potential at L1 and the back end of the secondary's lobe.
#include <cmath>

#include "core/core.h"

namespace velmora {

void OUTERLOBE(Sim& S) {
  const float r1 = S.XL1 + S.MU2, r2 = S.MU1 - S.XL1;
  S.PHIL1 = -(S.MU1 / r1 + S.MU2 / r2 + 0.5f * (S.MU1 * r1 * r1 + S.MU2 * r2 * r2));

  // Step inward from the mirror image of L1 behind the secondary until inside the lobe.
  float x = 2.0f * S.MU1 - S.XL1, p = x, d = 0.1f * (S.MU1 - S.XL1);
  int r = 1;
  for (;;) {
    const float s1 = x + S.MU2, s2 = x - S.MU1;
    const float g = S.PHIL1 + S.MU1 / s1 + S.MU2 / std::fabs(s2) + 0.5f * (S.MU1 * s1 * s1 + S.MU2 * s2 * s2);
    if (g < 0.0f) {
      p = x;
      x = x - d;
    } else if (g > 0.0f && r <= 5) {
      d = d * 0.1f;
      ++r;
      x = p - d;
    } else {
      break;
    }
  }
  S.XLOBE = x;
}

}  // namespace velmora
