// ENERGY: completing particles back into their level lists (the energy equation comes with the gas passes).
#include "core/core.h"

namespace velmora {

void ENERGY(Sim& S) {
  for (int n = 1; n <= S.NTMP; ++n) {
    const int i = S.TMPLIST(n);
    const int L = S.LEVEL(i);
    S.NLEV(L) = static_cast<I16>(S.NLEV(L) + 1);
    S.LEVLIST(S.NLEV(L), L) = static_cast<I16>(i);
  }
}

void EULER(Sim&, I32, float&) {}

}  // namespace velmora
