// MOVE1 and INJ1: the level-1 half step at the midpoint of a sub-step.
#include "core/core.h"
#include "core/motion.h"

namespace velmora {

void INJ1(Sim& S, I32 IP, float C, float S_, I32 L) { refill(S, IP, C, S_, L); }

void MOVE1(Sim& S, I32 K) {
  S.XPRIM = S.XP1(K, S.IPHASE);
  S.YPRIM = S.YP1(K, S.IPHASE);
  S.XSEC = S.XS1(K, S.IPHASE);
  S.YSEC = S.YS1(K, S.IPHASE);
  const float c = S.COS1(K, S.IPHASE), s = S.SIN1(K, S.IPHASE);

  // Every level drifts by DT1; level 1 is tested in full and kicked and keeps its list's order,
  // the other levels meet the escape tests and lose their escaped particles from their lists.
  const float dk = S.DT1H;
  moveLevels(S, S.DT1, 1, [dk](int) { return dk; }, [&](int ip, int lev) { INJ1(S, ip, c, s, lev); });
}

}  // namespace velmora
