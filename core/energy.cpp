// ENERGY and EULER: the internal energy of the particles completing a step at an
// intermediate sub-step, and their return to the level lists.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void ENERGY(Sim& S) { energyPass(S, &EULER); }

void EULER(Sim& S, I32 i, float& D) { eulerStep<Nb::Active>(S, i, D); }

}  // namespace velmora
