// FLUID2: the step of the active levels (1..NACT) at an intermediate sub-step: densities,
// level-weighted forces from the active neighbours, kicks and step estimates.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID2(Sim& S) {
  for (int L = 1; L <= S.NACT; ++L)
    for (int m = 1; m <= S.NLEV(L); ++m) densityOf(S, S.LEVLIST(m, L));
  forcePass<Nb::Active>(S);
}

}  // namespace velmora
