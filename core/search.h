// The neighbour sweep behind SORTALL and SORT: every pair of particles closer than 2h, found
// through a grid of 2h cells, into the neighbour lists and their kernel-table indices.
#pragma once

#include "core/state.h"

namespace velmora {

// Complete lists of every particle (all), or of the active particles (LEVEL <= NACT) with the
// inactive neighbours included, every other list left empty (NNB = 1). Throws RunError when a
// table of the grid or the lists is full, or a particle is outside the grid.
void neighbourSweep(Sim& S, bool all);

}  // namespace velmora
