// SETSYS2: the derived constants of a run continued from a restart file.
#include "core/core.h"
#include "core/geometry.h"

namespace velmora {

// Masses, smoothing length and injection temperature come from the restart file;
// everything else is recomputed from them.
void SETSYS2(Sim& S) {
  S.NORBEND = S.IORBIT + S.NORBADD;
  deriveSystem(S, false);
}

}  // namespace velmora
