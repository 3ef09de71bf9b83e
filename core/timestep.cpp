// TIMESTEP: new levels for the particles that complete their step, from the steps they may take.
#include "core/core.h"
#include "core/hydro.h"
#include "core/threads.h"

namespace velmora {

// Each particle's new level depends on its own values alone, so the particles are taken side by
// side; TMPLIST receives them in the order of the level lists, which are then emptied.
void TIMESTEP(Sim& S) {
  const int n = passOrder(S, S.NACT);
  const I16* order = S.passWork.order.data();
  const I16* level = S.passWork.level.data();
  const int T = threadsFor(n, 2048);
#pragma omp parallel for num_threads(T) schedule(static)
  for (int k = 0; k < n; ++k) {
    const int i = order[k], L = level[k];
    S.TMPLIST(k + 1) = static_cast<I16>(i);
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
  S.NTMP = static_cast<I16>(n);
  for (int L = 1; L <= S.NACT; ++L) S.NLEV(L) = 0;
}

}  // namespace velmora
