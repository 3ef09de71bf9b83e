// FLUID2: the step of the active levels (1..NACT) at an intermediate sub-step: densities,
// level-weighted forces from the active neighbours, kicks and step estimates.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID2(Sim& S) {
  const int n = passOrder(S, S.NACT);
  densityPass(S, n);
  forcePass<Nb::Active>(S, n);
}

}  // namespace velmora
