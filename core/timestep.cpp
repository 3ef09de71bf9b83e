// TIMESTEP: new levels for the particles that complete their step, from the steps they may take.
#include "core/core.h"

namespace velmora {

void TIMESTEP(Sim& S) {
  S.NTMP = 0;
  for (int L = 1; L <= S.NACT; ++L) {
    for (int m = 1; m <= S.NLEV(L); ++m) {
      const int i = S.LEVLIST(m, L);
      S.NTMP = static_cast<I16>(S.NTMP + 1);
      S.TMPLIST(S.NTMP) = static_cast<I16>(i);
      const float dtreq = S.DTREQ(i);
      int M = L;
      if (L >= 2 && dtreq < S.DTLEV(L)) {
        // Too long a step: down to the longest level that is short enough, level 1 at the least.
        M = 1;
        for (int Lp = L - 1; Lp >= 2; --Lp)
          if (S.DTLEV(Lp) <= dtreq) {
            M = Lp;
            break;
          }
      } else if (L < S.NACT && dtreq >= S.DT2LEV(L)) {
        M = L + 1;  // one level up, to a level that also completes now
      }
      if (M != L) {
        S.LEVEL(i) = static_cast<I16>(M);
        const float f = S.DTHLEV(M) - S.DTHLEV(L);
        S.VHX(i) = S.VHX(i) + f * S.AX(i);
        S.VHY(i) = S.VHY(i) + f * S.AY(i);
        S.VHZ(i) = S.VHZ(i) + f * S.AZ(i);
      }
    }
    S.NLEV(L) = 0;
  }
}

}  // namespace velmora
