// SORT: neighbour lists of the active particles (gas interactions not yet built: lists hold the particle only).
#include "core/core.h"

namespace velmora {

void SORT(Sim& S) {
  for (int i = 1; i <= S.NPART; ++i) S.NNB(i) = 1;
}

}  // namespace velmora
