// DISKSUB: the entry of a new run from the Disk Setup parameters.
#include "core/core.h"

namespace velmora {

void DISKSUB(Sim& S, RunHost& H, float M1, float M2, float ALPHA, float BETA, I32 NPMAX, I32 NORB, I32 NINJ,
             I32 NDISP, I32 INEW) {
  S.M1 = M1;
  S.M2 = M2;
  S.ALPHA = ALPHA;
  S.BETA = BETA;
  S.NPMAX = NPMAX;
  S.NORBEND = NORB;
  S.DEBUGOUT = FALSE4;
  S.INJOFF = 0;
  SETUP(S, INEW);
  const I32 ninj = NINJ;
  STEP(S, H, NDISP, ninj);
}

}  // namespace velmora
