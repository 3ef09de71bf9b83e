// FLUID2: the active levels' step at an intermediate sub-step (gravity only until the gas passes exist).
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID2(Sim& S) {
  for (int L = 1; L <= S.NACT; ++L)
    for (int n = 1; n <= S.NLEV(L); ++n) {
      const int i = S.LEVLIST(n, L);
      S.AHX(i) = S.AHY(i) = S.AHZ(i) = 0.0f;
      kickParticle(S, i, S.DTHLEV(L), S.DTLEV(L));
      S.DTREQ(i) = stepLimit(S, i, 0.0f);
    }
}

}  // namespace velmora
