// SORT: neighbour lists of the active particles (LEVEL <= NACT), inactive neighbours included;
// every other particle's list is left empty (NNB = 1).
#include "core/core.h"
#include "core/search.h"

namespace velmora {

void SORT(Sim& S) { neighbourSweep(S, false); }

}  // namespace velmora
