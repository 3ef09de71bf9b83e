// FLUID2ALL: every particle's step at the last sub-step of a phase: densities of all
// particles, level-weighted forces from every neighbour, kicks and step estimates.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID2ALL(Sim& S) {
  densityAll(S);
  forcePass<Nb::All>(S, passOrder(S, S.NACT));
}

}  // namespace velmora
