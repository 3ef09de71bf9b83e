// ENERGYALL: completing particles back into their level lists at the end of a phase.
#include "core/core.h"

namespace velmora {

void ENERGYALL(Sim& S) { ENERGY(S); }

void EULERALL(Sim&, I32, float&) {}

}  // namespace velmora
