// FLUID1: the level-1 step at the midpoint of a sub-step (gravity only until the gas passes exist).
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID1(Sim& S) {
  for (int n = 1; n <= S.NLEV(1); ++n) {
    const int i = S.LEVLIST(n, 1);
    S.AHX(i) = S.AHY(i) = S.AHZ(i) = 0.0f;
    kickParticle(S, i, S.DT1H, S.DT1);
  }
}

}  // namespace velmora
