// ENERGYALL and EULERALL: the internal energy of every particle at the last sub-step of a
// phase, and their return to the level lists.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void ENERGYALL(Sim& S) { energyPass(S, &EULERALL); }

void EULERALL(Sim& S, I32 i, float& D) { eulerStep<Nb::All>(S, i, D); }

}  // namespace velmora
