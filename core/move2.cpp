// MOVE2 and INJ2: the move at the end of a sub-step, for the levels that complete their step.
#include "core/core.h"
#include "core/motion.h"

namespace velmora {

void INJ2(Sim& S, I32 IP, float C, float S_, I32 L) { refill(S, IP, C, S_, L); }

void MOVE2(Sim& S, I32 K) {
  S.XPRIM = S.XP2(K, S.IPHASE);
  S.YPRIM = S.YP2(K, S.IPHASE);
  S.XSEC = S.XS2(K, S.IPHASE);
  S.YSEC = S.YS2(K, S.IPHASE);
  const float c = S.COS2(K, S.IPHASE), s = S.SIN2(K, S.IPHASE);
  const float dt = S.DTLEV(S.ICUR);

  // Every level drifts by the step of the lowest occupied level. The completing levels
  // (1..NACT) meet all four removal tests and are kicked with their own half step; the levels
  // still in mid-step meet the escape tests only. Removed particles leave every list but
  // level 1's, which they join.
  moveLevels(S, dt, S.NACT, [&S](int L) { return S.DTHLEV(L); }, [&](int ip, int lev) { INJ2(S, ip, c, s, lev); });
}

}  // namespace velmora
