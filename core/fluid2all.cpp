// FLUID2ALL: every level's step at the last sub-step of a phase (gravity only until the gas passes exist).
#include "core/core.h"

namespace velmora {

void FLUID2ALL(Sim& S) { FLUID2(S); }

}  // namespace velmora
