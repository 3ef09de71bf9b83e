// SORTALL: complete neighbour lists of every particle.
#include "core/core.h"
#include "core/search.h"

namespace velmora {

void SORTALL(Sim& S) { neighbourSweep(S, true); }

}  // namespace velmora
