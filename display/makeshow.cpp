// MAKESHOW: the lobe and primary outlines rotated to each of the 200 phases.
#include "display/makeshow.h"

#include <cmath>

namespace velmora {

void MAKESHOW(Sim& S) {
  const float d = S.DTPHASE;
  for (int k = 1; k <= NPHASES; ++k) {
    const float phi = static_cast<float>(k) * d;
    const float c = std::cos(phi), s = std::sin(phi);
    for (int i = 1; i <= NLOBE; ++i) {
      S.LOBEX(i, k) = c * S.XEQ(i) - s * S.YEQ(i);
      S.LOBEY(i, k) = s * S.XEQ(i) + c * S.YEQ(i);
    }
    for (int j = 1; j <= NWDPTS; ++j) {
      const float a = static_cast<float>(j) * 0.10471976f;
      S.WDX(j, k) = S.RWD * std::cos(a) - S.MU2 * c;
      S.WDY(j, k) = S.RWD * std::sin(a) - S.MU2 * s;
    }
  }
}

}  // namespace velmora
