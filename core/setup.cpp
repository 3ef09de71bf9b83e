// SETUP: the initialisation of a new run.
#include "core/core.h"
#include "display/makeshow.h"

namespace velmora {

void SETUP(Sim& S, I32 INEW) {
  S.NEWRUN = static_cast<I16>(INEW) == 1 ? TRUE4 : FALSE4;
  if (!isTrue(S.NEWRUN)) return;
  S.IORBIT = 0;
  S.NPART = 0;
  SETSYS(S);
  I32 IERR = 0;
  RANDOM(S, 1234, IERR);
  TIMELOOP(S);
  MAKESORT(S);
  MAKESHOW(S);
}

}  // namespace velmora
