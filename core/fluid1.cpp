// FLUID1: the level-1 step at the midpoint of a sub-step: densities, forces from level-1
// neighbours with the kick, and the internal energy of the level-1 particles.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID1(Sim& S) {
  const int n = passOrder(S, 1);

  // 1. Densities from every neighbour.
  densityPass(S, n);

  // 2. Forces from the level-1 neighbours only, each particle kicked at once (sequential) or
  // every kick after every sum (synchronous).
  levelOneForcePass(S, n);

  // 3. Internal energy: the work of the hydrodynamic force on the drift velocity; where that
  // would leave too little energy, the pairwise form; failing both, the floor.
  levelOneEnergy(S, n);
}

}  // namespace velmora
