// REINIT: the reset of the simulation state before a new run, a restart or a playback.
#include "files/files.h"

namespace velmora {

void REINIT(Sim& S) {
  S.RSFLAG = FALSE4;
  S.LCFLAG = FALSE4;
  S.RECFLAG = FALSE4;
  S.ORB0 = 0;
  S.NLEV.fill(0);
  S.XPRIM = S.YPRIM = S.XSEC = S.YSEC = 0.0f;
  for (auto* a : {&S.X, &S.Y, &S.Z, &S.VX, &S.VY, &S.VZ, &S.VHX, &S.VHY, &S.VHZ, &S.RHO, &S.PRHO2, &S.CS, &S.DTREQ,
                  &S.U, &S.AX, &S.AY, &S.AZ, &S.AHX, &S.AHY, &S.AHZ, &S.AGX, &S.AGY, &S.AGZ, &S.TEMP4})
    a->fill(0.0f);
  S.NESC0 = S.NACC0 = S.NLOST0 = 0;
  S.NESCPH.fill(0);
  S.NACCPH.fill(0);
  S.NLOSTPH.fill(0);
  S.EDISSPH.fill(0.0f);
  S.TPH.fill(0.0f);
  for (auto* a : {&S.XP0, &S.YP0, &S.XS0, &S.YS0, &S.COS0, &S.SIN0}) a->fill(0.0f);
  S.ICUR = 0;
}

}  // namespace velmora
